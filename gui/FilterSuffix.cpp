#include "FilterSuffix.h"

#include <QFileDialog>
#include <QRegularExpression>

QString FilterSuffix(const QString& nameFilter) {
    // "Text (*.txt *.text)" names its patterns in parentheses; a bare filter is one pattern list.
    static const QRegularExpression inParentheses(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = inParentheses.match(nameFilter);
    const QString patterns = match.hasMatch() ? match.captured(1) : nameFilter;
    const QString first = patterns.simplified().section(' ', 0, 0);
    const qsizetype dot = first.lastIndexOf('.');
    if (dot < 0)
        return {};
    const QString suffix = first.mid(dot + 1);
    static const QRegularExpression wildcard(QStringLiteral("[*?\\[\\]/]"));
    if (suffix.contains(wildcard))
        return {};
    return suffix;
}

void FollowFilterWithSuffix(QFileDialog& dialog) {
    dialog.setDefaultSuffix(FilterSuffix(dialog.selectedNameFilter()));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(FilterSuffix(filter)); });
}
