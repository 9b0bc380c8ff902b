#include "HelpWindow.h"

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
#include <QVBoxLayout>

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
};

QString PlainTextOf(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    return document.toPlainText();
}

} // namespace

THelpWindow::THelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), FBrowser(new QTextBrowser(this)), FSearch(new QLineEdit(this)),
      FHits(new QListWidget(this)) {
    setObjectName("HelpWindow");
    setWindowTitle("Twin Seek Help");
    resize(820, 560);

    auto* contents = new QPushButton("Contents", this);
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
    show();
    raise();
    activateWindow();
}

void THelpWindow::ShowContext(THelpContext context) {
    FBrowser->setSource(ContextUrl(context));
    show();
    raise();
    activateWindow();
}

void THelpWindow::Search(const QString& text) {
    FHits->clear();
    const QStringList words = text.simplified().split(' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    const QStringList pages = QDir(":/help").entryList({"*.html"}, QDir::Files, QDir::Name);
    for (const QString& page : pages) {
        const QString plain = PlainTextOf(":/help/" + page);
        bool all = true;
        for (const QString& word : words)
            all = all && plain.contains(word, Qt::CaseInsensitive);
        if (!all)
            continue;
        QString title = plain.section('\n', 0, 0).trimmed();
        auto* item = new QListWidgetItem(title.isEmpty() ? page : title, FHits);
        item->setData(Qt::UserRole, QUrl(HelpRoot + page));
    }
}
