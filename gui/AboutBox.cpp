#include "AboutBox.h"

#include "ui_AboutBox.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), FUi(std::make_unique<Ui::TAboutBox>()) {
    FUi->setupUi(this);
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        FUi->laProgramIcon->setPixmap(icon.pixmap(48, 48));
    else
        FUi->laProgramIcon->hide();
}

TAboutBox::~TAboutBox() = default;
