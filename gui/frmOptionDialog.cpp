#include "frmOptionDialog.h"

#include "ConfigFile.h"
#include "Desktop.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "frmDirSelectionList.h"
#include "ui_frmOptionDialog.h"

#include <QAbstractTextDocumentLayout>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextBlock>
#include <algorithm>
#include <cmath>
#include <string>

namespace {

// Makes a read-only text large enough for all its lines, without scroll bars, in its own font.
void ShowWholeText(QPlainTextEdit& text) {
    QAbstractTextDocumentLayout* layout = text.document()->documentLayout();
    qreal height = 0;
    for (QTextBlock block = text.document()->begin(); block.isValid(); block = block.next())
        height += layout->blockBoundingRect(block).height();
    // Once every block is laid out, the document is as wide as its longest line and margins.
    const qreal margin = text.document()->documentMargin();
    const int frame = 2 * text.frameWidth();
    text.setMinimumSize(static_cast<int>(std::ceil(layout->documentSize().width())) + frame,
                        static_cast<int>(std::ceil(height + 2 * margin)) + frame);
}

} // namespace

TfrmOptionDialog::TfrmOptionDialog(QWidget* parent)
    : QDialog(parent), FUi(std::make_unique<Ui::TfrmOptionDialog>()),
      FCompareModes(new QButtonGroup(this)) {
    FUi->setupUi(this);
    QRadioButton* modes[] = {FUi->rbCompare0, FUi->rbCompare1, FUi->rbCompare2, FUi->rbCompare3};
    for (int index = 0; index < 4; ++index)
        FCompareModes->addButton(modes[index], index);

    FUi->acOpenConfig->setIcon(ActionImage(aiOpen));
    FUi->acSaveConfig->setIcon(ActionImage(aiSave));
    // A tool button would drop the trailing dots of its action's text; its icon text keeps them.
    FUi->acEditIncludeDir->setIconText("...");
    FUi->acEditExcludeDir->setIconText("...");
    FUi->bIncludeDir->setDefaultAction(FUi->acEditIncludeDir);
    FUi->bExcludeDir->setDefaultAction(FUi->acEditExcludeDir);
    FUi->bIncludeDir->setToolButtonStyle(Qt::ToolButtonTextOnly);
    FUi->bExcludeDir->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // A tool bar's buttons take no focus of their own; these two are reached with Tab after
    // Cancel, as they are read: above the options.
    QWidget* openConfig = FUi->ToolBar1->widgetForAction(FUi->acOpenConfig);
    QWidget* saveConfig = FUi->ToolBar1->widgetForAction(FUi->acSaveConfig);
    openConfig->setObjectName("bOpenConfig");
    saveConfig->setObjectName("bSaveConfig");
    for (QWidget* button : {openConfig, saveConfig})
        button->setFocusPolicy(Qt::TabFocus);
    setTabOrder(FUi->BitBtn2, openConfig);
    setTabOrder(openConfig, saveConfig);
    setTabOrder(saveConfig, FUi->rbCompare0);
    QPalette palette = FUi->memIgnoreChar->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    FUi->memIgnoreChar->setPalette(palette);
    QFont font = FUi->memIgnoreChar->font();
    font.setPointSize(10);
    FUi->memIgnoreChar->setFont(font);
    ShowWholeText(*FUi->memIgnoreChar);
    // The caption starts where the check box's text does, after its indicator, in any style.
    QStyleOptionButton checkBox;
    checkBox.initFrom(FUi->cbCaseSensitive);
    FUi->laIgnoreChar->setIndent(
        FUi->cbCaseSensitive->style()
            ->subElementRect(QStyle::SE_CheckBoxContents, &checkBox, FUi->cbCaseSensitive)
            .left());
    // The form's size is the designed one; a larger font or screen scale asks for more.
    resize(size().expandedTo(sizeHint()));

    // Errors of the configuration files end the action and leave the dialog as it was.
    connect(FUi->acOpenConfig, &QAction::triggered, this,
            [this] { RunAction(this, [this] { acOpenConfigExecute(); }); });
    connect(FUi->acSaveConfig, &QAction::triggered, this,
            [this] { RunAction(this, [this] { acSaveConfigExecute(); }); });
    connect(FUi->acEditIncludeDir, &QAction::triggered, this,
            &TfrmOptionDialog::acEditIncludeDirExecute);
    connect(FUi->acEditExcludeDir, &QAction::triggered, this,
            &TfrmOptionDialog::acEditExcludeDirExecute);
    // The ignore characters apply only when names are compared without regard to case.
    connect(FUi->cbCaseSensitive, &QCheckBox::toggled, this, &TfrmOptionDialog::ActionListUpdate);
    // Equal extensions do not matter while every extension is left out.
    connect(FUi->cbIgnoreExtension, &QCheckBox::toggled, this, &TfrmOptionDialog::ActionListUpdate);
    ActionListUpdate();
    FUi->BitBtn1->setFocus();
}

TfrmOptionDialog::~TfrmOptionDialog() = default;

void TfrmOptionDialog::SetOptions(const TOptionRec& options) {
    const int index = std::clamp(options.CompareMode, -1, 3);
    if (index < 0) {
        // An exclusive group always keeps one button checked; no selection needs a pause.
        FCompareModes->setExclusive(false);
        for (QAbstractButton* button : FCompareModes->buttons())
            button->setChecked(false);
        FCompareModes->setExclusive(true);
    } else {
        FCompareModes->button(index)->setChecked(true);
    }
    FUi->cbCaseSensitive->setChecked(options.CaseSensitive);
    FUi->edIgnoreChar->setText(DecodedName(options.IgnoreChar));
    FUi->edIncludeDir->setText(DecodedName(options.ScanPath));
    FUi->edExcludeDir->setText(DecodedName(options.ExcludePath));
    FUi->edFileTypes->setText(DecodedName(options.FileTypes));
    FUi->cbUnicodeNames->setChecked(options.UnicodeNames);
    FUi->cbIgnoreCopyMarks->setChecked(options.IgnoreCopyMarks);
    FUi->cbIgnoreExtension->setChecked(options.IgnoreExtension);
    FUi->edEqualExtensions->setText(DecodedName(options.EqualExtensions));
    ActionListUpdate();
}

TOptionRec TfrmOptionDialog::GetOptions() const {
    TOptionRec options;
    options.CompareMode = FCompareModes->checkedId();
    options.CaseSensitive = FUi->cbCaseSensitive->isChecked();
    options.IgnoreChar = EncodedName(FUi->edIgnoreChar->text());
    options.ScanPath = EncodedName(FUi->edIncludeDir->text());
    options.ExcludePath = EncodedName(FUi->edExcludeDir->text());
    options.FileTypes = EncodedName(FUi->edFileTypes->text());
    options.UnicodeNames = FUi->cbUnicodeNames->isChecked();
    options.IgnoreCopyMarks = FUi->cbIgnoreCopyMarks->isChecked();
    options.IgnoreExtension = FUi->cbIgnoreExtension->isChecked();
    options.EqualExtensions = EncodedName(FUi->edEqualExtensions->text());
    return options;
}

void TfrmOptionDialog::UpdateCaption() {
    if (FConfigFileName.isEmpty())
        setWindowTitle("Options");
    else
        setWindowTitle(QStringLiteral("Options [%1]")
                           .arg(FConfigFileName.mid(FConfigFileName.lastIndexOf('/') + 1)));
}

void TfrmOptionDialog::showEvent(QShowEvent* event) {
    UpdateCaption();
    QDialog::showEvent(event);
}

void TfrmOptionDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        THelpWindow::Instance().ShowContext(hcOptions);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmOptionDialog::ActionListUpdate() {
    const bool ignoring = !FUi->cbCaseSensitive->isChecked();
    FUi->laIgnoreChar->setEnabled(ignoring);
    FUi->edIgnoreChar->setEnabled(ignoring);
    const bool extensions = !FUi->cbIgnoreExtension->isChecked();
    FUi->laEqualExtensions->setEnabled(extensions);
    FUi->edEqualExtensions->setEnabled(extensions);
}

void TfrmOptionDialog::acEditIncludeDirExecute() {
    TfrmDirSelectionList::EditListText(this, FUi->edIncludeDir, "Scan directories");
}

void TfrmOptionDialog::acEditExcludeDirExecute() {
    TfrmDirSelectionList::EditListText(this, FUi->edExcludeDir, "Exclude directories");
}

QString TfrmOptionDialog::ConfigDirectory() {
    const QString programDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(programDir).isWritable())
        return programDir + '/';
    return QDir::homePath() + '/';
}

void TfrmOptionDialog::acOpenConfigExecute() {
    TDesktop::TFileDialog dialog;
    dialog.Filters = {"Twinseek config (*.twc)"};
    dialog.DefaultSuffix = ConfigFileExtension;
    dialog.Directory = ConfigDirectory();
    dialog.MustExist = true;
    if (!TDesktop::Current().GetOpenFileName(this, dialog))
        return;
    FConfigFileName = dialog.FileName;
    // A file that is not accepted empties every control, and the user is told why.
    const TLoadedConfig loaded = LoadConfigFile(EncodedName(FConfigFileName));
    SetOptions(loaded.Options);
    UpdateCaption();
    if (!loaded.Accepted)
        TDesktop::Current().ShowMessage(this, ConfigRefusalText(FConfigFileName));
}

QString TfrmOptionDialog::ConfigRefusalText(const QString& fileName) {
    return ShownText(::ConfigRefusalText(EncodedName(fileName)));
}

void TfrmOptionDialog::acSaveConfigExecute() {
    TDesktop::TFileDialog dialog;
    dialog.Filters = {"Twinseek config (*.twc)"};
    dialog.DefaultSuffix = ConfigFileExtension;
    dialog.Directory = ConfigDirectory();
    if (!TDesktop::Current().GetSaveFileName(this, dialog))
        return;
    FConfigFileName = dialog.FileName;
    SaveConfigFile(EncodedName(FConfigFileName), GetOptions());
    UpdateCaption();
}
