#include "CliScan.h"

#include "CliListener.h"

TCliScanResult RunCliScan(const TOptionRec& options, FILE* progress,
                          const TLocaleFormats& formats) {
    TFileInfoList resultList;
    TCliListener listener(resultList, progress, formats);
    TCliScanResult result;
    {
        TScanThread scanThread(listener, resultList);
        listener.Start();
        scanThread.StartScan(options);
        listener.WaitDone();
        // The scan is over: what it reports stays until a next scan, which never comes.
        result.Failure = scanThread.Failure();
        result.RootFailures = scanThread.RootFailures();
    }
    result.Rows = std::move(listener.Rows());
    result.FilesRead = listener.FilesRead();
    result.ElapsedTime = listener.ElapsedTime();
    return result;
}
