#include "frmCleanUp.h"

#include "Desktop.h"
#include "FolderBrowser.h"
#include "FolderSet.h"
#include "FormatSize.h"
#include "HelpWindow.h"
#include "ListText.h"
#include "frmDirSelectionList.h"
#include "ui_frmCleanUp.h"

#include <QButtonGroup>
#include <QKeyEvent>

namespace {

// The preview lists at most this many copies: a longer list would only slow the dialog down.
constexpr size_t PreviewLines = 5000;

} // namespace

TfrmCleanUp::TfrmCleanUp(const std::vector<TResultRow>& rows, int selectedRow,
                         const TLocaleFormats& formats, QWidget* parent)
    : QDialog(parent), FUi(std::make_unique<Ui::TfrmCleanUp>()), FRows(rows),
      FSelectedRow(selectedRow), FFormats(formats), FRules(new QButtonGroup(this)) {
    FUi->setupUi(this);
    QRadioButton* rules[] = {FUi->rbNewest, FUi->rbOldest, FUi->rbFirst, FUi->rbShortestPath,
                             FUi->rbFirstBelow};
    for (QRadioButton* button : rules)
        FRules->addButton(button);
    FRules->setId(FUi->rbNewest, static_cast<int>(TKeepRule::Newest));
    FRules->setId(FUi->rbOldest, static_cast<int>(TKeepRule::Oldest));
    FRules->setId(FUi->rbFirst, static_cast<int>(TKeepRule::First));
    FRules->setId(FUi->rbShortestPath, static_cast<int>(TKeepRule::ShortestPath));
    FRules->setId(FUi->rbFirstBelow, static_cast<int>(TKeepRule::FirstBelow));
    FFolderBrowser = new TFolderBrowser(this);
    FFolderBrowser->BrowseFlags = {bfDirsOnly};
    FUi->cbOnlySelected->setEnabled(FSelectedRow >= 0);
    // The form's size is the designed one; a larger font or screen scale asks for more.
    resize(size().expandedTo(sizeHint()));

    auto preview = [this] { RunAction(this, [this] { UpdatePreview(); }); };
    connect(FRules, &QButtonGroup::idToggled, this, [preview](int, bool checked) {
        if (checked)
            preview();
    });
    connect(FUi->edKeepBelow, &QLineEdit::textChanged, this, preview);
    connect(FUi->edProtected, &QLineEdit::textChanged, this, preview);
    connect(FUi->cbOnlySelected, &QCheckBox::toggled, this, preview);
    connect(FUi->bTrash, &QPushButton::clicked, this,
            [this] { RunAction(this, [this] { bTrashClick(); }); });
    connect(FUi->bDelete, &QPushButton::clicked, this,
            [this] { RunAction(this, [this] { bDeleteClick(); }); });
    connect(FUi->bCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(FUi->bKeepBelow, &QToolButton::clicked, this,
            [this] { RunAction(this, [this] { bKeepBelowClick(); }); });
    connect(FUi->bProtected, &QToolButton::clicked, this,
            [this] { RunAction(this, [this] { bProtectedClick(); }); });
    UpdatePreview();
    FUi->bTrash->setFocus();
}

TfrmCleanUp::~TfrmCleanUp() = default;

void TfrmCleanUp::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        THelpWindow::Instance().ShowContext(hcCleanUp);
        return;
    }
    QDialog::keyPressEvent(event);
}

TKeepRule TfrmCleanUp::Rule() const {
    return static_cast<TKeepRule>(FRules->checkedId());
}

void TfrmCleanUp::SetRule(TKeepRule rule) {
    FRules->button(static_cast<int>(rule))->setChecked(true);
}

std::vector<std::string> TfrmCleanUp::ProtectedFolders() const {
    return SplitListText(EncodedName(FUi->edProtected->text()));
}

TCleanUpPlan TfrmCleanUp::Plan() const {
    const TKeepRule rule = Rule();
    const TFolderSet keepIn(rule == TKeepRule::FirstBelow
                                ? std::vector<std::string>{EncodedName(FUi->edKeepBelow->text())}
                                : std::vector<std::string>{});
    const int onlyRow = FUi->cbOnlySelected->isChecked() ? FSelectedRow : -1;
    return PlanCleanUp(FRows, rule, keepIn, TFolderSet(ProtectedFolders()), onlyRow);
}

TCleanUpMethod TfrmCleanUp::Method() const {
    TCleanUpMethod how;
    how.Method = FMethod;
    how.Verify = FUi->cbVerify->isChecked();
    return how;
}

void TfrmCleanUp::UpdatePreview() {
    FUi->edKeepBelow->setEnabled(Rule() == TKeepRule::FirstBelow);
    FUi->bKeepBelow->setEnabled(Rule() == TKeepRule::FirstBelow);
    const TCleanUpPlan plan = Plan();
    QString text =
        QStringLiteral("At most %1 copies of %2 names, %3")
            .arg(plan.Steps.size())
            .arg(plan.Names)
            .arg(QString::fromStdString(FormatSize(static_cast<float>(plan.Bytes), FFormats)));
    if (plan.ProtectedCopies > 0)
        text += QStringLiteral(" (%1 more in protected folders)").arg(plan.ProtectedCopies);
    FUi->laPreview->setText(text + '.');
    FUi->lbPreview->clear();
    QStringList lines;
    for (size_t step = 0; step < std::min(plan.Steps.size(), PreviewLines); ++step) {
        const TCleanUpStep& copy = plan.Steps[step];
        lines << DecodedName(FRows[static_cast<size_t>(copy.Row)].Group->Path(copy.Copy));
    }
    if (plan.Steps.size() > PreviewLines)
        lines << QStringLiteral("... and %1 more").arg(plan.Steps.size() - PreviewLines);
    FUi->lbPreview->addItems(lines);
}

bool TfrmCleanUp::FoldersFound() {
    if (Rule() == TKeepRule::FirstBelow && FUi->edKeepBelow->text().isEmpty()) {
        TDesktop::Current().ShowMessage(
            this, QStringLiteral("Choose the folder below which copies are kept."));
        return false;
    }
    std::vector<std::string> missing = TFolderSet(ProtectedFolders()).Missing();
    if (Rule() == TKeepRule::FirstBelow) {
        const std::vector<std::string> below =
            TFolderSet({EncodedName(FUi->edKeepBelow->text())}).Missing();
        missing.insert(missing.end(), below.begin(), below.end());
    }
    if (missing.empty())
        return true;
    QStringList lines;
    for (const std::string& folder : missing)
        lines << ShownText(folder);
    TDesktop::Current().ShowMessage(
        this, QStringLiteral("Nothing was removed: these folders cannot be found:\n%1")
                  .arg(lines.join('\n')));
    return false;
}

void TfrmCleanUp::Run(TRemovalMethod method) {
    if (!FoldersFound())
        return;
    if (method == TRemovalMethod::Delete &&
        !TDesktop::Current().AskQuestion(
            this, QStringLiteral("Delete up to %1 copies permanently? They cannot be restored.")
                      .arg(Plan().Steps.size())))
        return;
    FMethod = method;
    accept();
}

void TfrmCleanUp::bTrashClick() {
    Run(TRemovalMethod::Trash);
}

void TfrmCleanUp::bDeleteClick() {
    Run(TRemovalMethod::Delete);
}

void TfrmCleanUp::bKeepBelowClick() {
    FFolderBrowser->Title = "Keep the first copy below";
    FFolderBrowser->Folder = FUi->edKeepBelow->text();
    if (FFolderBrowser->Execute())
        FUi->edKeepBelow->setText(FFolderBrowser->Folder);
}

void TfrmCleanUp::bProtectedClick() {
    TfrmDirSelectionList::EditListText(this, FUi->edProtected, "Protected folders");
}
