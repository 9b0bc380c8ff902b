#include "frmDirSelectionList.h"

#include "Desktop.h"
#include "FolderBrowser.h"
#include "HelpWindow.h"
#include "ListText.h"
#include "ui_frmDirSelectionList.h"

#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>

TfrmDirSelectionList::TfrmDirSelectionList(QWidget* parent)
    : QDialog(parent), FUi(std::make_unique<Ui::TfrmDirSelectionList>()) {
    FUi->setupUi(this);
    // The form's size is the designed one; a larger font or screen scale asks for more.
    resize(size().expandedTo(sizeHint()));
    FFolderBrowser = new TFolderBrowser(this);
    FFolderBrowser->BrowseFlags = {bfDirsOnly};
    connect(FUi->bAdd, &QPushButton::clicked, this, &TfrmDirSelectionList::acAddExecute);
    connect(FUi->bDelete, &QPushButton::clicked, this, &TfrmDirSelectionList::acDeleteExecute);
    connect(FUi->lbSelectedDir, &QListWidget::itemSelectionChanged, this,
            &TfrmDirSelectionList::ActionListUpdate);
    ActionListUpdate();
    FUi->OKBtn->setFocus();
}

TfrmDirSelectionList::~TfrmDirSelectionList() = default;

void TfrmDirSelectionList::EditListText(QWidget* parent, QLineEdit* edit, const QString& caption) {
    TfrmDirSelectionList editor(parent);
    editor.setWindowTitle(caption);
    editor.SetEntries(SplitListText(EncodedName(edit->text())));
    if (editor.exec() == QDialog::Accepted)
        edit->setText(DecodedName(JoinListText(editor.Entries())));
}

void TfrmDirSelectionList::SetEntries(const std::vector<std::string>& entries) {
    FUi->lbSelectedDir->clear();
    for (const std::string& entry : entries)
        FUi->lbSelectedDir->addItem(DecodedName(entry));
    ActionListUpdate();
}

std::vector<std::string> TfrmDirSelectionList::Entries() const {
    std::vector<std::string> entries;
    for (int row = 0; row < FUi->lbSelectedDir->count(); ++row)
        entries.push_back(EncodedName(FUi->lbSelectedDir->item(row)->text()));
    return entries;
}

void TfrmDirSelectionList::acAddExecute() {
    FFolderBrowser->Title = "Select a directory";
    if (!FFolderBrowser->Execute())
        return;
    // No check for duplicates: the folder is added as the chooser gives it.
    FUi->lbSelectedDir->addItem(FFolderBrowser->Folder);
    ActionListUpdate();
}

void TfrmDirSelectionList::acDeleteExecute() {
    for (int row = 0; row < FUi->lbSelectedDir->count();) {
        if (FUi->lbSelectedDir->item(row)->isSelected())
            delete FUi->lbSelectedDir->takeItem(row);
        else
            ++row;
    }
    ActionListUpdate();
}

void TfrmDirSelectionList::ActionListUpdate() {
    FUi->bDelete->setEnabled(!FUi->lbSelectedDir->selectedItems().isEmpty());
}

void TfrmDirSelectionList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        THelpWindow::Instance().ShowContext(hcDirectoryList);
        return;
    }
    QDialog::keyPressEvent(event);
}
