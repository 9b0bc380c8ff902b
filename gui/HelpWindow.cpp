#include "HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QVBoxLayout>
#include <QWindow>

namespace {

// The pages are built into the program, so help works wherever the program runs from.
const QString HelpRoot = QStringLiteral("qrc:/help/");

struct TContext {
    THelpContext Number;
    const char* Page;
};
const TContext Contexts[] = {
    {hcMainWindow, "main-window.html#context-1"},
    {hcOptions, "options.html#context-2"},
    {hcDirectoryList, "directory-list.html#context-3"},
    {hcCleanUp, "clean-up.html#context-4"},
};

QString HtmlOf(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString PlainTextOf(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

// The text of the first element with this tag, its markup and character references resolved.
QString ElementText(const QString& html, const QString& tag) {
    const QRegularExpression element(QStringLiteral("<%1(?:\\s[^>]*)?>(.*?)</%1\\s*>").arg(tag),
                                     QRegularExpression::CaseInsensitiveOption |
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = element.match(html);
    if (!match.hasMatch())
        return {};
    return QTextDocumentFragment::fromHtml(match.captured(1)).toPlainText().simplified();
}

} // namespace

THelpWindow::THelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), FBrowser(new QTextBrowser(this)), FSearch(new QLineEdit(this)),
      FHits(new QListWidget(this)) {
    setObjectName("HelpWindow");
    setWindowTitle("Twin Seek Help");
    resize(820, 560);

    auto* contents = new QPushButton("Contents", this);
    contents->setObjectName("bContents");
    FSearch->setPlaceholderText("Search");
    FSearch->setClearButtonEnabled(true);
    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(contents);
    sideLayout->addWidget(new QLabel("Search the help:", side));
    sideLayout->addWidget(FSearch);
    sideLayout->addWidget(FHits);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(side);
    splitter->addWidget(FBrowser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 600});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    FBrowser->setOpenExternalLinks(true);
    FBrowser->setSearchPaths({":/help"});
    connect(contents, &QPushButton::clicked, this,
            [this] { FBrowser->setSource(HelpRoot + "index.html"); });
    connect(FSearch, &QLineEdit::textChanged, this, &THelpWindow::Search);
    connect(FHits, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        FBrowser->setSource(item->data(Qt::UserRole).toUrl());
    });
    connect(FHits, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        FBrowser->setSource(item->data(Qt::UserRole).toUrl());
    });
}

QString THelpWindow::PageTitle(const QString& html) {
    const QString heading = ElementText(html, "h1");
    return heading.isEmpty() ? ElementText(html, "title") : heading;
}

THelpWindow& THelpWindow::Instance() {
    static THelpWindow* window = new THelpWindow();
    return *window;
}

QUrl THelpWindow::ContextUrl(THelpContext context) {
    for (const TContext& entry : Contexts)
        if (entry.Number == context)
            return QUrl(HelpRoot + entry.Page);
    return QUrl(HelpRoot + "index.html");
}

void THelpWindow::ShowContents() {
    FBrowser->setSource(QUrl(HelpRoot + "index.html"));
    FSearch->setFocus();
    Present();
}

void THelpWindow::ShowContext(THelpContext context) {
    FBrowser->setSource(ContextUrl(context));
    Present();
}

void THelpWindow::Present() {
    show();
    // F1 comes from a dialog that may be modal: the window is its own before it is raised.
    FollowModalDialog();
    raise();
    activateWindow();
}

void THelpWindow::FollowModalDialog() {
    FFollowPending = false;
    QWindow* own = windowHandle();
    if (own == nullptr)
        return;
    QWidget* modal = QApplication::activeModalWidget();
    QWindow* owner = modal != nullptr && modal != this ? modal->windowHandle() : nullptr;
    if (own->transientParent() != owner)
        own->setTransientParent(owner);
}

void THelpWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // While the window is shown, dialogs that open or close take it along.
    qApp->installEventFilter(this);
}

void THelpWindow::hideEvent(QHideEvent* event) {
    qApp->removeEventFilter(this);
    QWidget::hideEvent(event);
}

bool THelpWindow::eventFilter(QObject* watched, QEvent* event) {
    // A window shown or hidden may change the modal dialog; it is known once the event is
    // handled, so the window looks again from the event loop.
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && watched != this &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow() && !FFollowPending) {
        FFollowPending = true;
        QMetaObject::invokeMethod(this, &THelpWindow::FollowModalDialog, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void THelpWindow::Search(const QString& text) {
    FHits->clear();
    const QStringList words = text.simplified().split(' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    const QStringList pages = QDir(":/help").entryList({"*.html"}, QDir::Files, QDir::Name);
    for (const QString& page : pages) {
        const QString html = HtmlOf(":/help/" + page);
        const QString plain = PlainTextOf(html);
        bool all = true;
        for (const QString& word : words)
            all = all && plain.contains(word, Qt::CaseInsensitive);
        if (!all)
            continue;
        const QString title = PageTitle(html);
        auto* item = new QListWidgetItem(title.isEmpty() ? page : title, FHits);
        item->setData(Qt::UserRole, QUrl(HelpRoot + page));
    }
}
