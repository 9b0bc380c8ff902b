// Takes the README's picture of the window: scans a folder, selects the first duplicated name
// and saves the window as a PNG file. scripts/screenshot.sh runs it under Xvfb.
#include "Icons.h"
#include "TwinseekApplication.h"
#include "frmTwinseek.h"
#include "ui_frmTwinseek.h"

#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: twinseek-screenshot FOLDER PICTURE.png\n");
        return 2;
    }
    TTwinseekApplication app(argc, argv);
    SetUpIconTheme();
    TfrmTwinseek window;
    TOptionRec options = window.Options();
    options.ScanPath = argv[1];
    options.CompareMode = cmNameSize;
    window.SetOptions(options);
    window.show();
    window.acStartExecute();
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (window.IsScanning())
            return;
        poll->stop();
        QTreeView* files = window.Form().lvFiles;
        files->setCurrentIndex(files->model()->index(0, 0));
        QTimer::singleShot(500, [&] {
            const bool saved = window.grab().save(argv[2]);
            app.exit(saved ? 0 : 1);
        });
    });
    poll->start(100);
    return app.exec();
}
