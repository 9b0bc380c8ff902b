#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

// The program's help: its HTML pages in a browser, with the contents and a search over all
// pages beside them. Help contexts are anchors in the pages.
class THelpWindow : public QWidget {
    Q_OBJECT

  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // The contents and search window.
    void ShowContents();
    // The page of a help context (1 main window, 2 options, 3 directory list).
    void ShowContext(int context);

    QTextBrowser* Browser() const { return FBrowser; }

    // The one help window of the program, made on first use.
    static THelpWindow& Instance();
    // Where a context leads: a page and its anchor.
    static QUrl ContextUrl(int context);

  private:
    void Search(const QString& text);

    QTextBrowser* FBrowser;
    QLineEdit* FSearch;
    QListWidget* FHits;
};
