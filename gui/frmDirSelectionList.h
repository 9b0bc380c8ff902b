#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class TFolderBrowser;

namespace Ui {
class TfrmDirSelectionList;
}

// Edits a list of directories one per line: Add picks one in the folder browser, Delete
// removes the selected entries.
class TfrmDirSelectionList : public QDialog {
    Q_OBJECT

  public:
    explicit TfrmDirSelectionList(QWidget* parent = nullptr);
    ~TfrmDirSelectionList() override;

    // Edits the list text of a line edit in the editor, titled with the caption; the edit takes
    // the entries when the editor is closed with OK.
    static void EditListText(QWidget* parent, QLineEdit* edit, const QString& caption);

    void SetEntries(const std::vector<std::string>& entries);
    std::vector<std::string> Entries() const;

    void acAddExecute();
    void acDeleteExecute();
    void ActionListUpdate();

    Ui::TfrmDirSelectionList& Form() const { return *FUi; }
    TFolderBrowser& FolderBrowser() const { return *FFolderBrowser; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::unique_ptr<Ui::TfrmDirSelectionList> FUi;
    TFolderBrowser* FFolderBrowser;
};
