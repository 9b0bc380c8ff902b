#include "Icons.h"
#include "TwinseekApplication.h"
#include "frmTwinseek.h"

int main(int argc, char** argv) {
    TTwinseekApplication app(argc, argv);
    SetUpIconTheme();
    TfrmTwinseek window;
    window.show();
    return app.exec();
}
