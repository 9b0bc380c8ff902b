// Times the window: from Start to the rows shown for a scan of each directory given, the showing
// of 100,000 rows (with the measuring of their widest values), and the sorting of 100,000 rows
// by every column in both directions. Runs offscreen unless QT_QPA_PLATFORM names another
// platform (xcb under xvfb-run, say).
#include "FileListModel.h"
#include "frmTwinseek.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <random>

namespace {

double TimeScan(const char* root) {
    TfrmTwinseek window;
    TOptionRec options = window.Options();
    options.ScanPath = root;
    window.SetOptions(options);
    window.show();
    QElapsedTimer timer;
    timer.start();
    window.acStartExecute();
    // The scan has ended when Start is enabled again (after the rows were shown). The loop
    // sleeps between events, as the program's own event loop does: with a time limit,
    // processEvents would not wait and its polling would take a processor from the scan.
    while (window.IsScanning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents(); // the first paint of the rows
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("window-scan %s %.3f s, %d rows\n", root, seconds, window.FileList().rowCount());
    return seconds;
}

std::vector<TResultRow> MakeRows(int rowCount) {
    std::mt19937 random(42);
    std::vector<TResultRow> rows;
    const char* exts[] = {"txt", "TXT", "jpg", "", "tar.gz", "html", "c", "h"};
    for (int i = 0; i < rowCount; ++i) {
        TResultRow row;
        row.Caption = "name" + std::to_string(random() % 1000000) + "." + exts[random() % 8];
        row.Group = std::make_unique<TFileGroup>();
        const int copies = 2 + static_cast<int>(random() % 4);
        for (int c = 0; c < copies; ++c) {
            TFileInfoRec info = FileInfoForPath("/d" + std::to_string(c) + "/" + row.Caption);
            info.Size = static_cast<int64_t>(random() % 10000000);
            row.Group->Add(info);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void TimeShowing(int rowCount) {
    TfrmTwinseek window;
    window.show();
    TScanResult result;
    result.Rows = MakeRows(rowCount);
    QElapsedTimer timer;
    timer.start();
    window.ShowResult(std::move(result));
    QCoreApplication::processEvents(); // the first paint of the rows
    std::printf("show %d rows %.3f s\n", rowCount, static_cast<double>(timer.nsecsElapsed()) / 1e9);
}

void TimeSorting(int rowCount) {
    TFileListModel model;
    model.SetRows(MakeRows(rowCount));
    const char* names[] = {"Name", "Ext", "Count", "Space"};
    for (int column = 0; column < 4; ++column) {
        for (bool descending : {true, false}) {
            QElapsedTimer timer;
            timer.start();
            model.SortRows(column, descending);
            std::printf("sort %d rows by %-5s %-10s %.3f s\n", rowCount, names[column],
                        descending ? "descending" : "ascending",
                        static_cast<double>(timer.nsecsElapsed()) / 1e9);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Start with an empty working directory's settings: no configuration file.
    for (int i = 1; i < argc; ++i)
        TimeScan(argv[i]);
    TimeShowing(100000);
    TimeSorting(100000);
    return 0;
}
