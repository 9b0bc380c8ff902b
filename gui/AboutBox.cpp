#include "AboutBox.h"

#include "URLLabel.h"
#include "Version.h"
#include "ui_AboutBox.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), FUi(std::make_unique<Ui::TAboutBox>()) {
    FUi->setupUi(this);
    FUi->laVersion->setText(FUi->laVersion->text().arg(TwinseekVersion));
    // The program's pages on the web.
    auto* link = new TURLLabel(this);
    link->setObjectName("laHomePage");
    link->setText(HomePage);
    link->setAlignment(Qt::AlignCenter);
    link->SetEffect98(true);
    FUi->layout->insertWidget(FUi->layout->indexOf(FUi->bOK), link);
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        FUi->laProgramIcon->setPixmap(icon.pixmap(48, 48));
    else
        FUi->laProgramIcon->hide();
}

TAboutBox::~TAboutBox() = default;
