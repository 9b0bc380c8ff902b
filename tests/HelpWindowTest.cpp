// The help window: usable while a modal dialog is open, and its search hits titled with the
// pages' headings.

#include "HelpWindow.h"
#include "LocaleFormats.h"
#include "frmCleanUp.h"
#include "frmDirSelectionList.h"
#include "frmOptionDialog.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

// Clicks a widget as the window system delivers a click: through its window, which a modal
// dialog that blocks the window keeps from it.
void ClickThroughWindow(QWidget* widget) {
    QWidget* window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(window, widget->rect().center()));
}

std::unique_ptr<QDialog> MakeDialog(const QString& which) {
    if (which == "options")
        return std::make_unique<TfrmOptionDialog>();
    if (which == "directory list")
        return std::make_unique<TfrmDirSelectionList>();
    static const std::vector<TResultRow> noRows;
    return std::make_unique<TfrmCleanUp>(noRows, -1, TLocaleFormats::Current());
}

QString HtmlOf(const QString& page) {
    QFile file(":/help/" + page);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        THelpWindow::Instance().hide();
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void usableWhileADialogIsOpen_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<bool>("helpFirst"); // help is open before the dialog, else F1 opens it
        QTest::addColumn<QString>("page");
        QTest::newRow("options: F1") << "options" << false << "options.html#context-2";
        QTest::newRow("directory list: F1")
            << "directory list" << false << "directory-list.html#context-3";
        QTest::newRow("clean-up: F1") << "clean-up" << false << "clean-up.html#context-4";
        QTest::newRow("options: help open before") << "options" << true << "index.html";
    }

    // The help window takes clicks and keys while a modal dialog is open, and gives them back
    // to the dialog's rule once the dialog closed.
    void usableWhileADialogIsOpen() {
        QFETCH(QString, dialog);
        QFETCH(bool, helpFirst);
        QFETCH(QString, page);
        THelpWindow& help = THelpWindow::Instance();
        if (helpFirst)
            help.ShowContents();
        const std::unique_ptr<QDialog> box = MakeDialog(dialog);
        box->setWindowModality(Qt::ApplicationModal); // as exec() makes it
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        QCOMPARE(QApplication::activeModalWidget(), box.get());
        if (!helpFirst)
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box.get(), Qt::Key_F1);
        QVERIFY(help.isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QVERIFY2(help.Browser()->source().toString().endsWith(page),
                 qPrintable(help.Browser()->source().toString()));

        // Keys scroll the page.
        help.Browser()->setSource(QUrl("qrc:/help/main-window.html"));
        help.Browser()->setFocus();
        QScrollBar* scroll = help.Browser()->verticalScrollBar();
        QVERIFY(scroll->maximum() > 0);
        scroll->setValue(0);
        QTest::keyClick(help.windowHandle(), Qt::Key_PageDown);
        QVERIFY2(scroll->value() > 0, "the key did not reach the help window");
        // A click reaches its buttons.
        ClickThroughWindow(help.findChild<QPushButton*>("bContents"));
        QVERIFY2(help.Browser()->source().toString().endsWith("index.html"),
                 "the click did not reach the help window");
        QVERIFY(box->isVisible());

        // Closed, the dialog no longer owns the help window, which stays open and usable.
        box->close();
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QTRY_COMPARE(help.windowHandle()->transientParent(), nullptr);
        QVERIFY(help.isVisible());
        help.Browser()->setSource(QUrl("qrc:/help/about.html"));
        ClickThroughWindow(help.findChild<QPushButton*>("bContents"));
        QVERIFY(help.Browser()->source().toString().endsWith("index.html"));
    }

    // A message box over a dialog over the help: the help follows the box, then the dialog.
    void followsNestedDialogs() {
        THelpWindow& help = THelpWindow::Instance();
        const std::unique_ptr<QDialog> options = MakeDialog("options");
        options->setWindowModality(Qt::ApplicationModal);
        options->show();
        QVERIFY(QTest::qWaitForWindowExposed(options.get()));
        help.ShowContents();
        QCOMPARE(help.windowHandle()->transientParent(), options->windowHandle());
        QMessageBox box(QMessageBox::NoIcon, "t", "x", QMessageBox::Ok, options.get());
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTRY_COMPARE(help.windowHandle()->transientParent(), box.windowHandle());
        help.Browser()->setSource(QUrl("qrc:/help/about.html"));
        ClickThroughWindow(help.findChild<QPushButton*>("bContents"));
        QVERIFY(help.Browser()->source().toString().endsWith("index.html"));
        box.close();
        QTRY_COMPARE(help.windowHandle()->transientParent(), options->windowHandle());
        help.Browser()->setSource(QUrl("qrc:/help/about.html"));
        ClickThroughWindow(help.findChild<QPushButton*>("bContents"));
        QVERIFY(help.Browser()->source().toString().endsWith("index.html"));
    }

    void pageTitle_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("title");
        QTest::newRow("heading after a navigation bar")
            << "<title>Help: A</title><p class=\"nav\"><a href=\"index.html\">Contents</a> | "
               "B</p>\n<h1 id=\"x\">The\n  <em>A</em> &amp; B</h1><p>text</p>"
            << "The A & B";
        QTest::newRow("upper-case tag") << "<H1>Big</H1>"
                                        << "Big";
        QTest::newRow("no heading: the title") << "<head><title>Only &lt;title&gt;</title></head>"
                                               << "Only <title>";
        QTest::newRow("neither") << "<p>text</p>"
                                 << "";
        QTest::newRow("h10 is no heading") << "<h10>x</h10><title>T</title>"
                                           << "T";
    }

    void pageTitle() {
        QFETCH(QString, html);
        QFETCH(QString, title);
        QCOMPARE(THelpWindow::PageTitle(html), title);
    }

    // Every hit is titled with its page's heading, never with the navigation bar above it.
    void searchHitsShowTheHeadings() {
        THelpWindow& help = THelpWindow::Instance();
        help.SearchEdit()->setText("copies");
        QListWidget* hits = help.Hits();
        QVERIFY(hits->count() >= 3);
        QStringList titles;
        for (int row = 0; row < hits->count(); ++row) {
            const QString page = hits->item(row)->data(Qt::UserRole).toUrl().fileName();
            const QString text = hits->item(row)->text();
            titles << text;
            QVERIFY2(!text.contains('|'), qPrintable(text));
            QCOMPARE(text, THelpWindow::PageTitle(HtmlOf(page)));
        }
        QVERIFY2(titles.contains("Working with the copies"), qPrintable(titles.join(", ")));
        QVERIFY2(titles.contains("Clean up"), qPrintable(titles.join(", ")));
        // Every page has a heading to show.
        for (const QString& page : QDir(":/help").entryList({"*.html"}))
            QVERIFY2(!THelpWindow::PageTitle(HtmlOf(page)).isEmpty(), qPrintable(page));
        help.SearchEdit()->clear();
    }
};

QTEST_MAIN(HelpWindowTest)
#include "HelpWindowTest.moc"
