#include "CliScan.h"

#include "CliListener.h"
#include "ScanThread.h"

TScanResult RunCliScan(const TOptionRec& options, FILE* progress, const TLocaleFormats& formats) {
    TCliListener listener(progress, formats);
    TScanThread scanThread(listener);
    listener.Start();
    scanThread.StartScan(options);
    listener.WaitDone();
    // The scan is over: its result stays with the thread until a next scan, which never comes.
    return scanThread.TakeResult();
}
