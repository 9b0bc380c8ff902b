#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

// The help contexts of the windows: each leads to an anchor in the help pages.
enum THelpContext : int { hcMainWindow = 1, hcOptions = 2, hcDirectoryList = 3 };

// The program's help: its HTML pages in a browser, with the contents and a search over all
// pages beside them. Help contexts are anchors in the pages.
class THelpWindow : public QWidget {
    Q_OBJECT

  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // The contents and search window.
    void ShowContents();
    // The page of a help context.
    void ShowContext(THelpContext context);

    QTextBrowser* Browser() const { return FBrowser; }

    // The one help window of the program, made on first use.
    static THelpWindow& Instance();
    // Where a context leads: a page and its anchor.
    static QUrl ContextUrl(THelpContext context);

  private:
    void Search(const QString& text);

    QTextBrowser* FBrowser;
    QLineEdit* FSearch;
    QListWidget* FHits;
};
