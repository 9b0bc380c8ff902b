#include "Desktop.h"

#include <QMessageBox>

namespace {
TDesktop* current = nullptr;
}

TDesktop& TDesktop::Current() {
    static TQtDesktop real;
    return current != nullptr ? *current : real;
}

void TDesktop::SetCurrent(TDesktop* desktop) { current = desktop; }

QString ErrorReportText(const QString& text) {
    if (!text.isEmpty() && text.back() > QChar('.'))
        return text + '.';
    return text;
}

void TQtDesktop::ShowErrorReport(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, ErrorReportText(text), QMessageBox::Ok,
                    parent);
    box.exec();
}

void TQtDesktop::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, text, QMessageBox::Ok, parent);
    box.exec();
}
