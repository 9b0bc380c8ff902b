#pragma once

#include "OptionRec.h"

#include <QDialog>
#include <memory>

class QButtonGroup;
class QLineEdit;

namespace Ui {
class TfrmOptionDialog;
}

// Edits the search options; opens and saves configuration files from its tool bar. The main
// window takes the options (and the configuration file's name) only when it closes with OK.
class TfrmOptionDialog : public QDialog {
    Q_OBJECT

  public:
    explicit TfrmOptionDialog(QWidget* parent = nullptr);
    ~TfrmOptionDialog() override;

    // The configuration file the options came from or were last saved to.
    QString FConfigFileName;

    // Into the controls; the compare mode is clamped to -1 (no item) .. 3.
    void SetOptions(const TOptionRec& options);
    // From the controls, as they are: nothing is trimmed or checked.
    TOptionRec GetOptions() const;
    void UpdateCaption();

    void ActionListUpdate();
    void acEditIncludeDirExecute();
    void acEditExcludeDirExecute();
    void acOpenConfigExecute();
    void acSaveConfigExecute();

    Ui::TfrmOptionDialog& Form() const { return *FUi; }

    // Where the configuration dialogs open: the program's folder when it is writable, else
    // the home folder.
    static QString ConfigDirectory();
    // Why a configuration file was not accepted, naming it: it does not exist, or it is not
    // one of ours in the version this program reads.
    static QString ConfigRefusalText(const QString& fileName);

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::unique_ptr<Ui::TfrmOptionDialog> FUi;
    QButtonGroup* FCompareModes;
};
