// How the options dialog, the directory list editor and the clean-up dialog place their controls:
// every caption shows its whole text, no two controls overlap and none lies outside its dialog
// or group box, at the first size, at the smallest size the dialog takes and when the user makes
// it larger, with the desktop's font and with larger, wider and smaller ones.

#include "frmCleanUp.h"
#include "frmDirSelectionList.h"
#include "frmOptionDialog.h"
#include "ui_frmDirSelectionList.h"
#include "ui_frmOptionDialog.h"

#include <QAbstractTextDocumentLayout>
#include <QBoxLayout>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStyleOptionGroupBox>
#include <QTextBlock>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <memory>

namespace {

std::unique_ptr<QDialog> MakeDialog(const QString& name) {
    if (name == "options")
        return std::make_unique<TfrmOptionDialog>();
    if (name == "clean up") {
        static const std::vector<TResultRow> noRows;
        return std::make_unique<TfrmCleanUp>(noRows, -1, TLocaleFormats::Current());
    }
    return std::make_unique<TfrmDirSelectionList>();
}

QString NameOf(const QWidget* widget) {
    if (!widget->objectName().isEmpty())
        return widget->objectName();
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    return QString(widget->metaObject()->className()) + (button ? " " + button->text() : "");
}

QString Text(const QSize& size) {
    return QString("%1x%2").arg(size.width()).arg(size.height());
}

// Where a group box draws its title; its controls must stay clear of it.
QRect TitleRect(const QGroupBox& group) {
    QStyleOptionGroupBox option;
    option.initFrom(&group);
    option.text = group.title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.lineWidth = 1;
    return group.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                         &group);
}

// Where a label's text ends, from the label's left edge: measured in its font, after its
// indent and margin, without the "&" that marks its shortcut.
int TextEnd(const QLabel& label) {
    QString text = label.text();
    text.replace("&&", "\x01").remove('&').replace('\x01', '&');
    const int indent = std::max(label.indent(), 0);
    return label.contentsRect().left() + label.margin() + indent +
           label.fontMetrics().horizontalAdvance(text);
}

// What a read-only text needs to show all its lines unscrolled, in its own font.
QSize WholeTextSize(QPlainTextEdit& text) {
    QAbstractTextDocumentLayout* layout = text.document()->documentLayout();
    qreal height = 0;
    for (QTextBlock block = text.document()->begin(); block.isValid(); block = block.next())
        height += layout->blockBoundingRect(block).height();
    const qreal margin = text.document()->documentMargin();
    return QSize(static_cast<int>(std::ceil(layout->documentSize().width())),
                 static_cast<int>(std::ceil(height + 2 * margin)));
}

// Everything wrong with the places of the dialog's controls as they are now; empty when none.
QString LayoutFaults(QDialog& dialog) {
    QStringList faults;
    QList<QWidget*> containers{&dialog};
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&dialog))
            continue;
        QSize needed;
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty())
            needed = label->sizeHint();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                 button && !button->text().isEmpty())
            needed = button->sizeHint();
        else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            // Its minimum holds the title as well as the controls inside.
            needed = group->minimumSizeHint();
            containers << group;
        }
        // A read-only text explains; it is no use when the user has to scroll it.
        if (auto* text = qobject_cast<QPlainTextEdit*>(widget); text && text->isReadOnly()) {
            const QSize whole = WholeTextSize(*text);
            if (text->horizontalScrollBar()->maximum() > 0 ||
                text->verticalScrollBar()->maximum() > 0 ||
                text->horizontalScrollBar()->isVisible() ||
                text->verticalScrollBar()->isVisible() ||
                whole.width() > text->viewport()->width() ||
                whole.height() > text->viewport()->height())
                faults << NameOf(widget) + " does not show its whole text: it needs " +
                              Text(whole) + " in " + Text(text->viewport()->size());
        }
        // A label's text ends inside the label and before the control it names, when that
        // control stands to its right.
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            const int end = TextEnd(*label);
            if (end > label->contentsRect().right() + 1)
                faults << NameOf(widget) + "'s text ends at " + QString::number(end) +
                              ", beyond the label";
            QWidget* buddy = label->buddy();
            if (buddy != nullptr && buddy->isVisibleTo(&dialog)) {
                const QRect place(buddy->mapTo(&dialog, QPoint(0, 0)) -
                                      label->mapTo(&dialog, QPoint(0, 0)),
                                  buddy->size());
                const bool besides =
                    place.left() > 0 && place.top() < label->height() && place.bottom() >= 0;
                if (besides && end > place.left())
                    faults << NameOf(buddy) + " covers the end of " + NameOf(widget);
            }
        }
        if (needed.isValid() &&
            (widget->width() < needed.width() || widget->height() < needed.height()))
            faults << NameOf(widget) + " is " + Text(widget->size()) + ", its text needs " +
                          Text(needed);
    }
    for (QWidget* container : containers) {
        QList<QWidget*> children;
        for (QWidget* child :
             container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (child->isVisibleTo(&dialog) && !child->isWindow())
                children << child;
        const auto* group = qobject_cast<QGroupBox*>(container);
        for (int i = 0; i < children.size(); ++i) {
            const QRect place = children[i]->geometry();
            if (!container->rect().contains(place))
                faults << NameOf(children[i]) + " lies outside " + NameOf(container);
            if (group != nullptr && place.intersects(TitleRect(*group)))
                faults << NameOf(children[i]) + " covers the title of " + NameOf(container);
            for (int j = i + 1; j < children.size(); ++j)
                if (place.intersects(children[j]->geometry()))
                    faults << NameOf(children[i]) + " overlaps " + NameOf(children[j]);
        }
    }
    return faults.join("; ");
}

// Waits until a shown dialog has the size it asked the window system for, at least its minimum,
// and its layout has placed the controls for that size. The window system answers a resize of a
// shown window later, from the event loop.
bool Settled(QDialog& dialog, QSize size) {
    size = size.expandedTo(dialog.minimumSize());
    const bool done = QTest::qWaitFor([&] { return dialog.size() == size; }, 5000);
    QApplication::sendPostedEvents(&dialog, QEvent::LayoutRequest);
    return done;
}

bool ResizeTo(QDialog& dialog, const QSize& size) {
    dialog.resize(size);
    return Settled(dialog, size);
}

} // namespace

class DialogLayoutTest : public QObject {
    Q_OBJECT

    QFont FDesktopFont;

  private slots:
    void initTestCase() { FDesktopFont = QApplication::font(); }
    void cleanup() { QApplication::setFont(FDesktopFont); }

    void captionsFit_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QSize>("designed");
        QTest::addColumn<QStringList>("wider"); // the controls that take the extra room
        QTest::addColumn<QStringList>("taller");
        QTest::addColumn<int>("pointSize");     // 0: the desktop's
        QTest::addColumn<int>("letterSpacing"); // per cent; 100: as the font has it
        const struct {
            const char* name;
            QSize designed;
            QStringList wider, taller;
        } dialogs[] = {
            {"options",
             {419, 347},
             {"edFileTypes", "edIncludeDir", "edExcludeDir", "memIgnoreChar", "edEqualExtensions"},
             {"memIgnoreChar"}},
            {"directory list", {347, 258}, {"lbSelectedDir"}, {"lbSelectedDir"}},
            {"clean up", {460, 420}, {"edKeepBelow", "edProtected", "lbPreview"}, {"lbPreview"}}};
        for (const auto& d : dialogs) {
            const auto row = [&](const char* font, int pointSize, int spacing) {
                QTest::addRow("%s, %s", d.name, font)
                    << QString(d.name) << d.designed << d.wider << d.taller << pointSize << spacing;
            };
            row("desktop font", 0, 100);
            row("20 pt", 20, 100);
            // Wider letters at the same height: a layout that scales by the height alone
            // cuts the captions.
            row("wide letters", 0, 160);
            row("6 pt", 6, 100);
        }
    }

    // The dialog opens at least at its designed size and large enough for every caption; it
    // shrinks no further than its captions allow; grown, it gives the room to its edit fields
    // and lists.
    void captionsFit() {
        QFETCH(QString, dialog);
        QFETCH(QSize, designed);
        QFETCH(QStringList, wider);
        QFETCH(QStringList, taller);
        QFETCH(int, pointSize);
        QFETCH(int, letterSpacing);
        QFont font = FDesktopFont;
        if (pointSize > 0)
            font.setPointSize(pointSize);
        font.setLetterSpacing(QFont::PercentageSpacing, letterSpacing);
        QApplication::setFont(font);

        const std::unique_ptr<QDialog> window = MakeDialog(dialog);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QSize first = window->size();
        QVERIFY2(first.width() >= designed.width() && first.height() >= designed.height(),
                 qPrintable(Text(first)));
        QCOMPARE(LayoutFaults(*window), QString());

        QVERIFY(ResizeTo(*window, QSize(1, 1)));
        QCOMPARE(LayoutFaults(*window), QString());

        const auto sizes = [&](const QStringList& names, int (QSize::*extent)() const) {
            QList<int> extents;
            for (const QString& name : names)
                extents << (window->findChild<QWidget*>(name)->size().*extent)();
            return extents;
        };
        const QList<int> widths = sizes(wider, &QSize::width);
        const QList<int> heights = sizes(taller, &QSize::height);
        QVERIFY(ResizeTo(*window, first + QSize(120, 90)));
        QCOMPARE(LayoutFaults(*window), QString());
        const QList<int> widthsNow = sizes(wider, &QSize::width);
        const QList<int> heightsNow = sizes(taller, &QSize::height);
        for (int i = 0; i < wider.size(); ++i)
            QVERIFY2(widthsNow[i] > widths[i], qPrintable(wider[i] + " is no wider"));
        for (int i = 0; i < taller.size(); ++i)
            QVERIFY2(heightsNow[i] > heights[i], qPrintable(taller[i] + " is no taller"));
    }

    // The ignore characters belong to the check box above them: their caption starts where the
    // check box's text does.
    void ignoreCaptionUnderCheckBoxText() {
        TfrmOptionDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const Ui::TfrmOptionDialog& form = dialog.Form();
        QStyleOptionButton option;
        option.initFrom(form.cbCaseSensitive);
        option.text = form.cbCaseSensitive->text();
        const QRect text = form.cbCaseSensitive->style()->subElementRect(
            QStyle::SE_CheckBoxContents, &option, form.cbCaseSensitive);
        QLabel* label = form.laIgnoreChar;
        QCOMPARE(label->x() + label->contentsRect().left() + label->indent(),
                 form.cbCaseSensitive->x() + text.left());
    }

    // The screen scale changes the pixels a font takes, and with them every text's width; the
    // checks above run again in a program of their own started at scale 2.
    void captionsFitAtScaleTwo() {
        if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2")
            QSKIP("this is the run at scale 2");
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_SCALE_FACTOR", "2");
        run.setProcessEnvironment(environment);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(),
                  {"captionsFit", "ignoreCaptionUnderCheckBoxText", "roomForAnotherGroup"});
        QVERIFY(run.waitForFinished(120000));
        const QByteArray output = run.readAll();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains(" 0 failed") && !output.contains(" 0 passed"), output.constData());
    }

    // A further group of options goes into the options' own layout: it comes below the
    // controls there, above OK and Cancel, and the dialog makes room for it.
    void roomForAnotherGroup() {
        TfrmOptionDialog dialog;
        auto* options = dialog.findChild<QVBoxLayout*>("OptionsLayout");
        QVERIFY(options != nullptr);
        auto* group = new QGroupBox("A further group of options");
        auto* inside = new QVBoxLayout(group);
        inside->addWidget(new QCheckBox("An option with a caption longer than the dialog's"));
        options->addWidget(group);

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(Settled(dialog, dialog.size()));
        QCOMPARE(LayoutFaults(dialog), QString());
        const Ui::TfrmOptionDialog& form = dialog.Form();
        QVERIFY(group->geometry().top() > form.memIgnoreChar->geometry().bottom());
        QVERIFY(group->geometry().bottom() < form.BitBtn1->geometry().top());
    }
};

QTEST_MAIN(DialogLayoutTest)
#include "DialogLayoutTest.moc"
