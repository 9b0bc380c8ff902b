// The options dialog: its controls, the options in and out, configuration files opened and saved
// from it, the main window's Options action, the directory list editor behind its "..." buttons
// and the folder chooser behind the editor's Add.

#include "ConfigFile.h"
#include "Desktop.h"
#include "FolderBrowser.h"
#include "HelpWindow.h"
#include "IniFile.h"
#include "OptionRecords.h"
#include "WindowOptions.h"
#include "WindowTestPlace.h"
#include "frmDirSelectionList.h"
#include "frmOptionDialog.h"
#include "frmTwinseek.h"
#include "ui_frmDirSelectionList.h"
#include "ui_frmOptionDialog.h"
#include "ui_frmTwinseek.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>
#include <functional>
#include <optional>

Q_DECLARE_METATYPE(TOptionRec)

namespace {

// Hands the modal dialog of that object name to `handle` once it is open, polling from the
// event loop. After ten seconds any modal dialog still open is rejected, so that the call
// waiting for it returns and the test fails instead of hanging.
class TModalWatch {
  public:
    TModalWatch(const QString& name, std::function<void(QDialog&)> handle) {
        FClock.start();
        QObject::connect(&FTimer, &QTimer::timeout, &FTimer, [this, name, handle] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!FFound && dialog != nullptr && dialog->objectName() == name) {
                FFound = true;
                FTimer.stop();
                handle(*dialog);
                FTimer.start();
            } else if (dialog != nullptr && FClock.elapsed() > 10000) {
                dialog->reject();
            }
        });
        FTimer.start(10);
    }
    bool Found() const { return FFound; }

  private:
    QTimer FTimer;
    QElapsedTimer FClock;
    bool FFound = false;
};

// The fields of an options record, for comparisons that show what differs.
QStringList Fields(const TOptionRec& o) {
    return {QString::number(o.CompareMode),
            o.CaseSensitive ? "case sensitive" : "ignoring case",
            QString::fromStdString(o.IgnoreChar),
            QString::fromStdString(o.ScanPath),
            QString::fromStdString(o.ExcludePath),
            QString::fromStdString(o.FileTypes),
            o.UnicodeNames ? "unicode names" : "byte names",
            o.IgnoreCopyMarks ? "ignoring copy marks" : "keeping copy marks",
            o.IgnoreExtension ? "ignoring extensions" : "keeping extensions",
            QString::fromStdString(o.EqualExtensions)};
}

QStringList Items(const QListWidget& list) {
    QStringList items;
    for (int row = 0; row < list.count(); ++row)
        items << list.item(row)->text();
    return items;
}

// Opens the directory list editor from a "..." button; `handle` closes it.
bool EditList(QAbstractButton* button, const std::function<void(TfrmDirSelectionList&)>& handle) {
    TModalWatch watch("frmDirSelectionList",
                      [&](QDialog& dialog) { handle(static_cast<TfrmDirSelectionList&>(dialog)); });
    button->click();
    return watch.Found();
}

// Adds through the editor's Add: a folder is typed into the chooser's name field in place of
// its selection, or the chooser is accepted as it opened (typed empty), or cancelled. Gives the
// chooser's title and what it preselected.
QStringList Add(TfrmDirSelectionList& editor, const QString& typed, bool accept = true) {
    QStringList seen{"(no chooser)"};
    TModalWatch watch("FolderBrowser", [&](QDialog& dialog) {
        auto& chooser = static_cast<QFileDialog&>(dialog);
        seen = QStringList{chooser.windowTitle(), chooser.selectedFiles().value(0)};
        if (!typed.isEmpty()) {
            chooser.findChild<QAbstractItemView*>("listView")->selectionModel()->clear();
            chooser.findChild<QLineEdit*>("fileNameEdit")->setText(typed);
        }
        // Through QDialog, where accept() is public; the chooser still checks the choice.
        accept ? dialog.accept() : dialog.reject();
    });
    editor.Form().bAdd->click();
    return seen;
}

// The widgets Tab visits from the focus, until it comes back; a radio button stands for its group.
QStringList TabOrder() {
    QStringList order;
    QWidget* first = QApplication::focusWidget();
    for (QWidget* focus = first; focus != nullptr && order.size() < 20;) {
        const QString name = qobject_cast<QRadioButton*>(focus)
                                 ? focus->parentWidget()->objectName()
                                 : focus->objectName();
        if (order.isEmpty() || order.last() != name)
            order << name;
        QTest::keyClick(focus, Qt::Key_Tab);
        focus = QApplication::focusWidget();
        if (focus == first)
            break;
    }
    return order;
}

} // namespace

class OptionDialogTest : public QObject {
    Q_OBJECT

    std::optional<TWindowTestPlace> FPlace;

    QString WorkPath(const QString& name) const { return FPlace->WorkDir.filePath(name); }
    bool MakeDir(const QString& name) const { return QDir(FPlace->WorkDir.path()).mkpath(name); }

  private slots:
    void initTestCase() {
        // Qt's own file dialog remembers its state in the user's configuration; keep it here.
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    }

    void init() {
        // The main window keeps its settings file in the working directory.
        FPlace.emplace();
        QVERIFY(FPlace->WorkDir.IsValid());
    }

    void cleanup() { FPlace.reset(); }

    void controlsAndTexts() {
        TfrmOptionDialog dialog;
        const Ui::TfrmOptionDialog& form = dialog.Form();
        QCOMPARE(form.rgOptions->title(), QString(" Compare with "));
        QStringList texts;
        for (QLabel* label : {form.Label3, form.Label2, form.Label4, form.laIgnoreChar})
            texts << label->text() + " -> " +
                         (label->buddy() ? label->buddy()->objectName() : "none");
        QCOMPARE(texts, (QStringList{"File&types (default *.*) -> edFileTypes",
                                     "Directories to &scan -> edIncludeDir",
                                     "&Exclude directories -> edExcludeDir",
                                     "&Ignore characters: -> edIgnoreChar"}));
        QCOMPARE(form.cbCaseSensitive->text(), QString("&Case sensitive"));
        const QString hint = form.edIgnoreChar->toolTip();
        QCOMPARE(hint, QString("Separate characters with comma. Space has to be in quotation marks "
                               "\" \": e.g.: a file 'FileA.txt' is equal to "));
        QCOMPARE(hint.size(), 109);
        QCOMPARE(
            form.memIgnoreChar->toPlainText().split('\n'),
            (QStringList{
                "Separate characters with semicolons (;). ", "",
                "Space has to be in quotation marks \" \":  e.g.: a file 'FileA.txt' is equal ",
                "to 'File_A.txt' or 'File A.txt' if ignored characters are [ _ , \" \" ]"}));
        QVERIFY(form.memIgnoreChar->isReadOnly());
        QCOMPARE(form.BitBtn1->text() + "|" + form.BitBtn2->text(), QString("OK|Cancel"));
        QVERIFY(form.BitBtn1->isDefault());
        QCOMPARE(form.ToolBar1->actions(), (QList<QAction*>{form.acOpenConfig, form.acSaveConfig}));
        QCOMPARE(form.acOpenConfig->text() + "|" + form.acOpenConfig->toolTip(),
                 QString("Open config|Open configuration file"));
        QCOMPARE(form.acSaveConfig->text() + "|" + form.acSaveConfig->toolTip(),
                 QString("Save config|Save configuration file"));
        QVERIFY(!form.acOpenConfig->icon().isNull() && !form.acSaveConfig->icon().isNull());
        QCOMPARE(form.bIncludeDir->text() + form.bExcludeDir->text(), QString("......"));
    }

    void keyboard_data() {
        QTest::addColumn<bool>("editor");
        QTest::addColumn<QStringList>("tabOrder");
        QTest::addColumn<QString>("help");
        QTest::newRow("options") << false << QStringList{"BitBtn1",           "BitBtn2",
                                                         "bOpenConfig",       "bSaveConfig",
                                                         "rgOptions",         "edFileTypes",
                                                         "edIncludeDir",      "bIncludeDir",
                                                         "edExcludeDir",      "bExcludeDir",
                                                         "cbCaseSensitive",   "edIgnoreChar",
                                                         "memIgnoreChar",     "cbUnicodeNames",
                                                         "cbIgnoreCopyMarks", "cbIgnoreExtension",
                                                         "edEqualExtensions"}
                                 << "options.html#context-2";
        QTest::newRow("directory list")
            << true << QStringList{"OKBtn", "CancelBtn", "lbSelectedDir", "bAdd", "bDelete"}
            << "directory-list.html#context-3";
    }

    // Tab from the focus at opening, F1 and Enter in a field.
    void keyboard() {
        QFETCH(bool, editor);
        QFETCH(QStringList, tabOrder);
        QFETCH(QString, help);
        TfrmOptionDialog options;
        options.SetOptions(ClassicOptions(1, false, "", "/tmp", "", ""));
        TfrmDirSelectionList list;
        list.SetEntries({"/a", "/b"});
        list.Form().lbSelectedDir->item(1)->setSelected(true); // else Delete is disabled
        QDialog& dialog = editor ? static_cast<QDialog&>(list) : options;
        QWidget* field =
            editor ? static_cast<QWidget*>(list.Form().lbSelectedDir) : options.Form().edFileTypes;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(TabOrder(), tabOrder);

        THelpWindow& helpWindow = THelpWindow::Instance();
        helpWindow.Browser()->setSource(QUrl("qrc:/help/index.html"));
        QTest::keyClick(field, Qt::Key_F1);
        const QString source = helpWindow.Browser()->source().toString();
        const bool helpShown = helpWindow.isVisible();
        helpWindow.hide();
        QVERIFY(helpShown);
        QVERIFY2(source.endsWith(help), qPrintable(source));

        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }

    void optionsInAndOut_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<int>("modeBack");
        QTest::newRow("first item") << 0 << "Name, size and time" << 0;
        QTest::newRow("in range") << 2 << "Name and time" << 2;
        QTest::newRow("above the range") << 9 << "Name only" << 3;
        QTest::newRow("below the range") << -3 << "" << -1;
    }

    void optionsInAndOut() {
        QFETCH(int, mode);
        QFETCH(QString, checked);
        QFETCH(int, modeBack);
        TfrmOptionDialog dialog;
        const Ui::TfrmOptionDialog& form = dialog.Form();
        dialog.SetOptions(ClassicOptions(1, false, "", "", "", ""));
        const TOptionRec in = ClassicOptions(mode, true, "_;\" \"", "/tmp/M\xC3\xBCll;\"/a b\"",
                                             " /x , y", "*.txt,*.doc");
        dialog.SetOptions(in);
        QString shown;
        for (QRadioButton* button :
             {form.rbCompare0, form.rbCompare1, form.rbCompare2, form.rbCompare3})
            shown += button->isChecked() ? button->text() : QString();
        QCOMPARE(shown, checked);
        QVERIFY(form.cbCaseSensitive->isChecked());
        QCOMPARE((QStringList{form.edIgnoreChar->text(), form.edIncludeDir->text(),
                              form.edExcludeDir->text(), form.edFileTypes->text()}),
                 Fields(in).mid(2, 4));
        TOptionRec expected = in;
        expected.CompareMode = modeBack;
        QCOMPARE(Fields(dialog.GetOptions()), Fields(expected));
    }

    void caseSensitiveDisablesIgnoreCharacters() {
        TfrmOptionDialog dialog;
        const Ui::TfrmOptionDialog& form = dialog.Form();
        dialog.SetOptions(ClassicOptions(0, false, "_;-", "/tmp", "", ""));
        QVERIFY(form.laIgnoreChar->isEnabled() && form.edIgnoreChar->isEnabled());
        form.cbCaseSensitive->click();
        QVERIFY(!form.laIgnoreChar->isEnabled());
        QVERIFY(!form.edIgnoreChar->isEnabled());
        QCOMPARE(Fields(dialog.GetOptions()).mid(1, 2), (QStringList{"case sensitive", "_;-"}));
        form.cbCaseSensitive->click();
        QVERIFY(form.laIgnoreChar->isEnabled() && form.edIgnoreChar->isEnabled());
        QCOMPARE(form.edIgnoreChar->text(), QString("_;-"));
        dialog.SetOptions(ClassicOptions(0, true, "x", "/tmp", "", ""));
        QVERIFY(!form.laIgnoreChar->isEnabled() && !form.edIgnoreChar->isEnabled());
    }

    // The group of further name rules below the other options: its captions, a tip of one line
    // for each control, and a place in the options' own layout.
    void nameRuleControls() {
        TfrmOptionDialog dialog;
        const Ui::TfrmOptionDialog& form = dialog.Form();
        QCOMPARE(form.gbNameRules->title(), QString("More name rules"));
        QCOMPARE((QStringList{form.cbUnicodeNames->text(), form.cbIgnoreCopyMarks->text(),
                              form.cbIgnoreExtension->text(), form.laEqualExtensions->text()}),
                 (QStringList{"&Unicode names", "Ignore copy &marks", "Ignore e&xtension",
                              "E&qual extensions:"}));
        QCOMPARE(form.laEqualExtensions->buddy(), form.edEqualExtensions);
        QCOMPARE(form.edEqualExtensions->placeholderText(), QString("jpg=jpeg;tif=tiff"));
        for (QWidget* control :
             std::initializer_list<QWidget*>{form.cbUnicodeNames, form.cbIgnoreCopyMarks,
                                             form.cbIgnoreExtension, form.edEqualExtensions}) {
            const QString tip = control->toolTip();
            QVERIFY2(!tip.isEmpty() && !tip.contains('\n'), qPrintable(control->objectName()));
        }
        auto* options = dialog.findChild<QVBoxLayout*>("OptionsLayout");
        QVERIFY(options != nullptr);
        QCOMPARE(options->indexOf(form.gbNameRules), options->count() - 1);
        QCOMPARE(options->indexOf(form.memIgnoreChar), options->count() - 2);
    }

    // Every underlined letter of the dialog leads to one control only.
    void shortcutLettersDiffer() {
        TfrmOptionDialog dialog;
        QStringList letters;
        for (QWidget* widget : dialog.findChildren<QWidget*>()) {
            QString text;
            if (auto* label = qobject_cast<QLabel*>(widget))
                text = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                text = button->text();
            const qsizetype at = text.remove("&&").indexOf('&');
            if (at >= 0 && at + 1 < text.size())
                letters << text.mid(at + 1, 1).toLower();
        }
        QCOMPARE(letters.size(), 9);
        letters.removeDuplicates();
        QCOMPARE(letters.size(), 9);

        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Q, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), dialog.Form().edEqualExtensions);
    }

    void nameRulesInAndOut_data() {
        QTest::addColumn<TOptionRec>("in");
        const TOptionRec base = ClassicOptions(1, false, "_", "/data", "", "*.jpg");
        const auto with = [&](const std::function<void(TOptionRec&)>& change) {
            TOptionRec options = base;
            change(options);
            return options;
        };
        QTest::newRow("none") << base;
        QTest::newRow("unicode names") << with([](TOptionRec& o) { o.UnicodeNames = true; });
        QTest::newRow("copy marks") << with([](TOptionRec& o) { o.IgnoreCopyMarks = true; });
        QTest::newRow("extension") << with([](TOptionRec& o) { o.IgnoreExtension = true; });
        QTest::newRow("equal extensions")
            << with([](TOptionRec& o) { o.EqualExtensions = "jpg=jpeg;tif=tiff"; });
        // Letters beyond ASCII and blanks around the sets come back as they went.
        QTest::newRow("all four") << with([](TOptionRec& o) {
            o.UnicodeNames = o.IgnoreCopyMarks = o.IgnoreExtension = true;
            o.EqualExtensions = " jpg = jpeg ; \xC3\xA9t=\xC3\xA9te;";
        });
    }

    // The four name rules reach the controls and come back, whatever the controls held before.
    void nameRulesInAndOut() {
        QFETCH(TOptionRec, in);
        TfrmOptionDialog dialog;
        const Ui::TfrmOptionDialog& form = dialog.Form();
        TOptionRec before = in;
        before.UnicodeNames = !in.UnicodeNames;
        before.IgnoreCopyMarks = !in.IgnoreCopyMarks;
        before.IgnoreExtension = !in.IgnoreExtension;
        before.EqualExtensions = "x=y";
        dialog.SetOptions(before);
        dialog.SetOptions(in);
        QCOMPARE((QList<bool>{form.cbUnicodeNames->isChecked(), form.cbIgnoreCopyMarks->isChecked(),
                              form.cbIgnoreExtension->isChecked()}),
                 (QList<bool>{in.UnicodeNames, in.IgnoreCopyMarks, in.IgnoreExtension}));
        QCOMPARE(form.edEqualExtensions->text(), DecodedName(in.EqualExtensions));
        QCOMPARE(Fields(dialog.GetOptions()), Fields(in));
        QVERIFY(dialog.GetOptions() == in);
    }

    // With the defaults, and with an empty record, the dialog gives back exactly what it got.
    void defaultsComeBackUnchanged() {
        for (const TOptionRec& record : {DefaultOptions(), TOptionRec()}) {
            TfrmOptionDialog dialog;
            dialog.SetOptions(record);
            QCOMPARE(Fields(dialog.GetOptions()), Fields(record));
            QVERIFY(dialog.GetOptions() == record);
        }
    }

    // Equal extensions do not matter while extensions are ignored; their text stays.
    void ignoreExtensionDisablesEqualExtensions() {
        TfrmOptionDialog dialog;
        const Ui::TfrmOptionDialog& form = dialog.Form();
        TOptionRec options = ClassicOptions(0, false, "", "/tmp", "", "");
        options.EqualExtensions = "jpg=jpeg";
        dialog.SetOptions(options);
        QVERIFY(form.laEqualExtensions->isEnabled() && form.edEqualExtensions->isEnabled());
        form.cbIgnoreExtension->click();
        QVERIFY(!form.laEqualExtensions->isEnabled() && !form.edEqualExtensions->isEnabled());
        QCOMPARE(dialog.GetOptions().EqualExtensions, std::string("jpg=jpeg"));
        form.cbIgnoreExtension->click();
        QVERIFY(form.laEqualExtensions->isEnabled() && form.edEqualExtensions->isEnabled());
        options.IgnoreExtension = true;
        dialog.SetOptions(options);
        QVERIFY(!form.laEqualExtensions->isEnabled() && !form.edEqualExtensions->isEnabled());
    }

    // The buttons Tab reaches work with the space bar: the configuration buttons open their
    // file dialogs, a "..." button the directory list editor.
    void buttonsFromTheKeyboard() {
        TfrmOptionDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (const char* name : {"bOpenConfig", "bSaveConfig"}) {
            auto* button = dialog.findChild<QToolButton*>(name);
            QVERIFY2(button != nullptr, name);
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(button, Qt::Key_Space);
        }
        QCOMPARE(FPlace->Desktop.Offers.size(), 2);
        QCOMPARE(
            (QList<bool>{FPlace->Desktop.Offers[0].MustExist, FPlace->Desktop.Offers[1].MustExist}),
            (QList<bool>{true, false}));
        for (QToolButton* button : {dialog.Form().bIncludeDir, dialog.Form().bExcludeDir}) {
            QString title;
            TModalWatch watch("frmDirSelectionList", [&](QDialog& editor) {
                title = editor.windowTitle();
                editor.reject();
            });
            button->setFocus(Qt::TabFocusReason);
            QTest::keyClick(button, Qt::Key_Space);
            QVERIFY(watch.Found());
            QCOMPARE(title, QString(button == dialog.Form().bIncludeDir ? "Scan directories"
                                                                        : "Exclude directories"));
        }
    }

    void configFiles_data() {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("name");       // the file chosen; empty: the dialog is cancelled
        QTest::addColumn<QByteArray>("content"); // null: the file is not written first
        QTest::addColumn<TOptionRec>("shown");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("message"); // what the user is told; %1: the file
        const QByteArray keys =
            "CompareMode=1\r\nCaseSensitive=1\r\nIgnoreChar=-\r\nScanPath=/data\r\n"
            "ExcludePath=/data/tmp\r\nFileTypes=*.txt\r\n";
        const TOptionRec before = ClassicOptions(2, true, "_", "/a", "/a/b", "*.c"),
                         empty = ClassicOptions(0, false, "", "", "", "");
        QTest::newRow("open") << false << "work.twc"
                              << "[Options]\r\nVersion=3\r\n" + keys
                              << ClassicOptions(1, true, "-", "/data", "/data/tmp", "*.txt")
                              << "Options [work.twc]"
                              << ""
                              << "";
        QTest::newRow("open, other version")
            << false << "old.twc"
            << "[Options]\r\nVersion=2\r\n" + keys << empty << "Options [old.twc]"
            << ""
            << "%1 is not a Twinseek configuration file (version 3 expected).";
        QTest::newRow("open, not a configuration file")
            << false << "text.twc" << QByteArray("just text\n") << empty << "Options [text.twc]"
            << ""
            << "%1 is not a Twinseek configuration file (version 3 expected).";
        QTest::newRow("open, missing")
            << false << "gone.twc" << QByteArray() << empty << "Options [gone.twc]"
            << ""
            << "%1 does not exist.";
        QTest::newRow("open, cancelled")
            << false << "" << QByteArray() << before << "Options [before.twc]"
            << ""
            << "";
        QTest::newRow("open a directory")
            << false << "folder.twc" << QByteArray() << before << "Options [before.twc]"
            << "Cannot open file "
            << "";
        QTest::newRow("save") << true << "saved.twc" << QByteArray() << before
                              << "Options [saved.twc]"
                              << ""
                              << "";
        QTest::newRow("save into a missing directory")
            << true << "missing/x.twc" << QByteArray() << before << "Options [before.twc]"
            << "Cannot create file "
            << "";
    }

    // What opening or saving a configuration file leaves in the dialog. An error ends the
    // action once the file name is taken: the controls and the caption stay as they were.
    void configFiles() {
        QFETCH(bool, save);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(TOptionRec, shown);
        QFETCH(QString, caption);
        QFETCH(QString, error);
        QFETCH(QString, message);
        QVERIFY(MakeDir("folder.twc"));
        QFile file(WorkPath(name));
        QVERIFY(content.isNull() ||
                (file.open(QIODevice::WriteOnly) && file.write(content) == content.size()));
        file.close();
        TfrmOptionDialog dialog;
        const TOptionRec before = ClassicOptions(2, true, "_", "/a", "/a/b", "*.c");
        dialog.SetOptions(before);
        dialog.FConfigFileName = WorkPath("before.twc");
        dialog.UpdateCaption();
        FPlace->Desktop.DialogAnswers = {{name.isEmpty() ? 0 : 1, WorkPath(name)}};
        // An error must not pass through Qt's signal code, which does not unwind cleanly; where
        // one is expected the handler is called directly.
        QString raised;
        try {
            if (!error.isEmpty())
                save ? dialog.acSaveConfigExecute() : dialog.acOpenConfigExecute();
            else
                (save ? dialog.Form().acSaveConfig : dialog.Form().acOpenConfig)->trigger();
        } catch (const EFileError& failure) {
            raised = failure.what();
        }
        QCOMPARE(raised, error.isEmpty() ? QString() : error + WorkPath(name));
        // A file that was opened but not accepted is named once, with the reason.
        QCOMPARE(FPlace->Desktop.Messages,
                 message.isEmpty() ? QStringList() : QStringList{message.arg(WorkPath(name))});
        QCOMPARE(Fields(dialog.GetOptions()), Fields(shown));
        QCOMPARE(dialog.windowTitle(), caption);
        QCOMPARE(dialog.FConfigFileName, WorkPath(name.isEmpty() ? "before.twc" : name));

        QCOMPARE(FPlace->Desktop.Offers.size(), 1);
        const TDesktop::TFileDialog& offer = FPlace->Desktop.Offers.first();
        QCOMPARE(offer.Title + "|" + offer.Filters.join('|') + "|" + offer.DefaultSuffix,
                 QString("|Twinseek config (*.twc)|twc"));
        QCOMPARE(offer.MustExist, !save);
        // The build folder the test runs from is writable.
        QCOMPARE(offer.Directory, QCoreApplication::applicationDirPath() + "/");
        if (save && error.isEmpty()) {
            const TOptionRec written =
                LoadConfigFile(QFile::encodeName(WorkPath(name)).toStdString()).Options;
            QCOMPARE(Fields(written), Fields(before));
        }
    }

    void optionsAction_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }

    // The window takes the options, the file name and the caption on OK only; a configuration
    // file saved before Cancel stays written.
    void optionsAction() {
        QFETCH(bool, ok);
        TfrmTwinseek window;
        EditOptions(window, [&](TOptionRec& o) { o.FileTypes = "*.doc"; });
        window.SetConfigFileName(WorkPath("old.twc"));
        const TOptionRec before = window.Options();
        TOptionRec shown;
        QStringList captions;
        FPlace->Desktop.DialogAnswers = {{1, WorkPath("work.twc")}};
        TModalWatch watch("frmOptionDialog", [&](QDialog& dialog) {
            auto& options = static_cast<TfrmOptionDialog&>(dialog);
            shown = options.GetOptions();
            captions << options.windowTitle();
            options.Form().edFileTypes->setText("*.c");
            options.Form().acSaveConfig->trigger();
            captions << options.windowTitle();
            (ok ? options.Form().BitBtn1 : options.Form().BitBtn2)->click();
        });
        window.Form().acOption->trigger();
        QVERIFY(watch.Found());
        QCOMPARE(Fields(shown), Fields(before));
        QCOMPARE(captions, (QStringList{"Options [old.twc]", "Options [work.twc]"}));
        TOptionRec edited = before;
        edited.FileTypes = "*.c";
        QCOMPARE(Fields(window.Options()), Fields(ok ? edited : before));
        QCOMPARE(window.ConfigFileName(), WorkPath(ok ? "work.twc" : "old.twc"));
        QCOMPARE(window.windowTitle(),
                 QString(ok ? "Twin Seek [work.twc]" : "Twin Seek [old.twc]"));
        const TOptionRec written =
            LoadConfigFile(QFile::encodeName(WorkPath("work.twc")).toStdString()).Options;
        QCOMPARE(Fields(written), Fields(edited));
    }

    void listEditor_data() {
        QTest::addColumn<bool>("exclude");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("result");
        const QStringList ab{"/a", "/b"};
        QTest::newRow("semicolons") << false << "/a;/b" << ab << true << "/a;/b";
        QTest::newRow("commas") << false << "/a,/b" << ab << true << "/a;/b";
        QTest::newRow("blank, no quotes")
            << false << "/my dir" << QStringList{"/my", "dir"} << true << "/my;dir";
        QTest::newRow("blank in quotes")
            << false << "\"/my dir\"" << QStringList{"/my dir"} << true << "\"/my dir\"";
        QTest::newRow("empty") << false << "" << QStringList{} << true << "";
        QTest::newRow("exclude list") << true << "/a,/b" << ab << true << "/a;/b";
        QTest::newRow("cancel") << false << " /a , \"/b\"" << ab << false << " /a , \"/b\"";
        QTest::newRow("cancel, exclude list") << true << "/a,/b" << ab << false << "/a,/b";
    }

    void listEditor() {
        QFETCH(bool, exclude);
        QFETCH(QString, typed);
        QFETCH(QStringList, entries);
        QFETCH(bool, ok);
        QFETCH(QString, result);
        TfrmOptionDialog dialog;
        const Ui::TfrmOptionDialog& form = dialog.Form();
        QLineEdit* edit = exclude ? form.edExcludeDir : form.edIncludeDir;
        QLineEdit* other = exclude ? form.edIncludeDir : form.edExcludeDir;
        edit->setText(typed);
        other->setText("/other,x");
        QStringList shown;
        QVERIFY(EditList(exclude ? form.bExcludeDir : form.bIncludeDir,
                         [&](TfrmDirSelectionList& editor) {
                             shown << editor.windowTitle() << Items(*editor.Form().lbSelectedDir);
                             (ok ? editor.Form().OKBtn : editor.Form().CancelBtn)->click();
                         }));
        QCOMPARE(shown,
                 QStringList(exclude ? "Exclude directories" : "Scan directories") + entries);
        QCOMPARE(edit->text(), result);
        QCOMPARE(other->text(), QString("/other,x"));
    }

    void deleteSelected_data() {
        QTest::addColumn<int>("last"); // clicked with the modifier after a plain click on the first
        QTest::addColumn<int>("modifier");
        QTest::addColumn<QString>("result");
        QTest::newRow("every entry (Shift)") << 3 << int(Qt::ShiftModifier) << "";
        QTest::newRow("first and third (Ctrl)") << 2 << int(Qt::ControlModifier) << "/b;/d";
    }

    void deleteSelected() {
        QFETCH(int, last);
        QFETCH(int, modifier);
        QFETCH(QString, result);
        TfrmOptionDialog dialog;
        dialog.Form().edIncludeDir->setText("/a;/b;/c;/d");
        QList<bool> deleteEnabled;
        QVERIFY(EditList(dialog.Form().bIncludeDir, [&](TfrmDirSelectionList& editor) {
            QListWidget* list = editor.Form().lbSelectedDir;
            deleteEnabled << editor.Form().bDelete->isEnabled();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(0)).center());
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::KeyboardModifiers(modifier),
                              list->visualItemRect(list->item(last)).center());
            deleteEnabled << editor.Form().bDelete->isEnabled();
            editor.Form().bDelete->click();
            deleteEnabled << editor.Form().bDelete->isEnabled();
            editor.Form().OKBtn->click();
        }));
        QCOMPARE(deleteEnabled, (QList<bool>{false, true, false}));
        QCOMPARE(dialog.Form().edIncludeDir->text(), result);
    }

    void addedDirectories() {
        QVERIFY(MakeDir("plain") && MakeDir("my dir"));
        const QString plain = WorkPath("plain"), spaced = WorkPath("my dir");
        TfrmOptionDialog dialog;
        dialog.Form().edIncludeDir->setText("/a");
        QList<QStringList> chooser;
        QVERIFY(EditList(dialog.Form().bIncludeDir, [&](TfrmDirSelectionList& editor) {
            chooser << Add(editor, plain);
            chooser << Add(editor, QString()); // accepted as it opened
            chooser << Add(editor, spaced);
            chooser << Add(editor, QString(), false);
            editor.Form().OKBtn->click();
        }));
        // Each Add starts at the folder the one before chose.
        QCOMPARE(chooser.value(0).value(0), QString("Select a directory"));
        QCOMPARE(chooser.mid(1), (QList<QStringList>{{"Select a directory", plain},
                                                     {"Select a directory", plain},
                                                     {"Select a directory", spaced}}));
        QCOMPARE(dialog.Form().edIncludeDir->text(),
                 "/a;" + plain + ";" + plain + ";\"" + spaced + "\"");
    }

    // The chooser needs a widget as its owner. A user clicks a folder that the handler locks,
    // then one it allows, and cancels.
    void folderBrowser() {
        QObject plain;
        QStringList errors;
        for (QObject* owner : {&plain, static_cast<QObject*>(nullptr)}) {
            try {
                TFolderBrowser browser(owner);
            } catch (const std::exception& failure) {
                errors << failure.what();
            }
        }
        QCOMPARE(errors, (QStringList{"I need WinControl!!!", "I need WinControl!!!"}));

        QVERIFY(MakeDir("locked") && MakeDir("free") && MakeDir("from"));
        QWidget owner;
        TFolderBrowser browser(&owner);
        QCOMPARE(browser.Title, QString("Select folder"));
        browser.BrowseFlags = {bfDirsOnly, bfStatusText};
        browser.Folder = WorkPath("from");
        QStringList changes;
        browser.OnChangeFolder = [&](const QString& folder, int& enabledOK, QString& status) {
            changes << folder;
            enabledOK = folder.endsWith("/locked") ? 0 : 1;
            status = "at " + QFileInfo(folder).fileName();
        };
        QStringList seen, statusLines;
        QList<bool> okEnabled;
        TModalWatch watch("FolderBrowser", [&](QDialog& dialog) {
            auto& chooser = static_cast<QFileDialog&>(dialog);
            seen << chooser.selectedFiles().value(0)
                 << (chooser.parent() == &owner ? "owned" : "not owned")
                 << (chooser.fileMode() == QFileDialog::Directory ? "directories" : "files");
            chooser.setDirectory(FPlace->WorkDir.path());
            QAbstractItemView* view = chooser.findChild<QAbstractItemView*>("treeView");
            if (view == nullptr || !view->isVisible())
                view = chooser.findChild<QAbstractItemView*>("listView");
            auto* model = qobject_cast<QFileSystemModel*>(view ? view->model() : nullptr);
            auto* buttons = chooser.findChild<QDialogButtonBox*>();
            QPushButton* ok = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
            auto* status = chooser.findChild<QLabel*>("StatusText");
            for (const char* name : {"locked", "free"}) {
                QModelIndex index;
                if (model == nullptr || ok == nullptr || status == nullptr ||
                    !QTest::qWaitFor(
                        [&] {
                            index = model->index(WorkPath(name));
                            return index.isValid() && !view->visualRect(index).isEmpty();
                        },
                        5000))
                    break;
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                  view->visualRect(index).center());
                statusLines << status->text() + (status->isVisible() ? "" : " (hidden)");
                okEnabled << ok->isEnabled();
            }
            dialog.reject();
        });
        QVERIFY(!browser.Execute());
        QVERIFY(watch.Found());
        QCOMPARE(seen, (QStringList{WorkPath("from"), "owned", "directories"}));
        QCOMPARE(browser.Folder, WorkPath("from"));
        QCOMPARE(changes, (QStringList{WorkPath("locked"), WorkPath("free")}));
        QCOMPARE(statusLines, (QStringList{"at locked", "at free"}));
        QCOMPARE(okEnabled, (QList<bool>{false, true}));
    }
};

QTEST_MAIN(OptionDialogTest)
#include "OptionDialogTest.moc"
