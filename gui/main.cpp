#include "Desktop.h"
#include "Icons.h"
#include "StartupFile.h"
#include "TwinseekApplication.h"
#include "frmTwinseek.h"

#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    TTwinseekApplication app(argc, argv);
    // The toolkit has taken its own options out of argv.
    const TStartupArguments arguments = ParseStartupArguments(argc, argv);
    if (!arguments.Complaint.empty())
        std::fputs(arguments.Complaint.c_str(), stderr);
    SetUpIconTheme();
    TfrmTwinseek window;
    window.show();
    // The file is opened once the window is up, so that a message about it has a window.
    if (!arguments.File.empty())
        QTimer::singleShot(0, &window, [&window, &arguments] {
            RunAction(&window, [&] { OpenStartupFile(window, arguments.File); });
        });
    return app.exec();
}
