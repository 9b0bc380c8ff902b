#pragma once

#include "CleanUp.h"
#include "FileRemoval.h"
#include "KeepRule.h"
#include "LocaleFormats.h"
#include "ResultRow.h"

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

class QButtonGroup;
class TFolderBrowser;

namespace Ui {
class TfrmCleanUp;
}

// Chooses how the copies of the duplicate list are cleaned up: the rule that picks the copy kept,
// the folders never touched, whether only copies of equal content go, and whether they go to the
// trash or for good. A preview tells what would go at most. The dialog closes with Accepted once
// a way to remove was chosen; the window then runs the plan.
class TfrmCleanUp : public QDialog {
    Q_OBJECT

  public:
    // The rows must stay as they are while the dialog is open; `selectedRow` is the row the
    // window shows the copies of, or -1.
    TfrmCleanUp(const std::vector<TResultRow>& rows, int selectedRow, const TLocaleFormats& formats,
                QWidget* parent = nullptr);
    ~TfrmCleanUp() override;

    TKeepRule Rule() const;
    void SetRule(TKeepRule rule);
    // The folders of the protected list, as its text names them.
    std::vector<std::string> ProtectedFolders() const;
    // The plan of the choices now; nothing is read but the folders' places.
    TCleanUpPlan Plan() const;
    // How the plan is to run, once the dialog was accepted.
    TCleanUpMethod Method() const;
    // Shows what the choices now would remove at most.
    void UpdatePreview();

    // The buttons: each checks the folders first; Delete permanently asks once more.
    void bTrashClick();
    void bDeleteClick();
    void bKeepBelowClick();
    void bProtectedClick();

    Ui::TfrmCleanUp& Form() const { return *FUi; }
    TFolderBrowser& FolderBrowser() const { return *FFolderBrowser; }

  protected:
    // F1 shows the clean-up's help page.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Whether the folders of the choices are found; when not, a message names them.
    bool FoldersFound();
    void Run(TRemovalMethod method);

    std::unique_ptr<Ui::TfrmCleanUp> FUi;
    const std::vector<TResultRow>& FRows;
    int FSelectedRow;
    TLocaleFormats FFormats;
    QButtonGroup* FRules;
    TFolderBrowser* FFolderBrowser;
    TRemovalMethod FMethod = TRemovalMethod::Trash;
};
