#include "FolderBrowser.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <stdexcept>

TFolderBrowser::TFolderBrowser(QObject* owner) : QObject(owner) {
    FOwner = qobject_cast<QWidget*>(owner);
    if (FOwner == nullptr)
        throw std::runtime_error("I need WinControl!!!");
}

bool TFolderBrowser::Execute() {
    QFileDialog dialog(FOwner, Title);
    dialog.setObjectName("FolderBrowser");
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // Qt's own dialog: the chooser needs its OK button and a status line of its own.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!Folder.isEmpty()) {
        dialog.setDirectory(Folder);
        dialog.selectFile(Folder);
    }

    auto* status = new QLabel(&dialog);
    status->setObjectName("StatusText");
    status->setVisible(BrowseFlags.count(bfStatusText) != 0);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
    QPushButton* ok = nullptr;
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
        ok = buttons->button(QDialogButtonBox::Open);

    // The handler's answer about OK stands until the next change. The dialog sets its OK
    // button itself when a click goes on to select the item and fill the name field; connected
    // after the dialog's own handling, the answer is applied again then.
    int okAnswer = -1;
    auto applyOk = [&] {
        if (okAnswer != -1 && ok != nullptr)
            ok->setEnabled(okAnswer != 0);
    };
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [&](const QString& path) {
        int enabledOK = -1;
        QString statusText;
        if (OnChangeFolder && !path.isEmpty())
            OnChangeFolder(path, enabledOK, statusText);
        okAnswer = enabledOK;
        applyOk();
        QTimer::singleShot(0, &dialog, applyOk);
        if (!statusText.isEmpty())
            status->setText(statusText);
    });
    if (auto* name = dialog.findChild<QLineEdit*>("fileNameEdit"))
        QObject::connect(name, &QLineEdit::textChanged, &dialog, applyOk);

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    Folder = dialog.selectedFiles().first();
    return true;
}
