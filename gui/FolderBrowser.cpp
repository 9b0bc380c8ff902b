#include "FolderBrowser.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
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

    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [&](const QString& path) {
        int enabledOK = -1;
        QString statusText;
        if (OnChangeFolder && !path.isEmpty())
            OnChangeFolder(path, enabledOK, statusText);
        if (enabledOK != -1 && ok != nullptr)
            ok->setEnabled(enabledOK != 0);
        if (!statusText.isEmpty())
            status->setText(statusText);
    });

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    Folder = dialog.selectedFiles().first();
    return true;
}
