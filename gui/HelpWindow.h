#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

// The help contexts of the windows: each leads to an anchor in the help pages.
enum THelpContext : int { hcMainWindow = 1, hcOptions = 2, hcDirectoryList = 3, hcCleanUp = 4 };

// The program's help: its HTML pages in a browser, with the contents and a search over all
// pages beside them. Help contexts are anchors in the pages.
// The window stays usable while a dialog is open: a modal dialog blocks every window that is not
// its own, so while one is open the help window is made the dialog's own (its transient child)
// and is handed back when the dialog closes.
class THelpWindow : public QWidget {
    Q_OBJECT

  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // The contents and search window.
    void ShowContents();
    // The page of a help context.
    void ShowContext(THelpContext context);

    QTextBrowser* Browser() const { return FBrowser; }
    QLineEdit* SearchEdit() const { return FSearch; }
    QListWidget* Hits() const { return FHits; }

    // The one help window of the program, made on first use.
    static THelpWindow& Instance();
    // Where a context leads: a page and its anchor.
    static QUrl ContextUrl(THelpContext context);
    // The title of a help page for the list of search hits: its heading, else its title.
    static QString PageTitle(const QString& html);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Search(const QString& text);
    void Present();
    // Makes the help window the own window of the modal dialog open now, or of none.
    void FollowModalDialog();

    QTextBrowser* FBrowser;
    QLineEdit* FSearch;
    QListWidget* FHits;
    bool FFollowPending = false;
};
