#include "URLLabel.h"

#include "Desktop.h"

#include <QMouseEvent>

TURLLabel::TURLLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    SetFontColour(FURLColStd);
    SetUnderline(true);
}

QColor TURLLabel::ToQColor(uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xff), static_cast<int>((colour >> 8) & 0xff),
                  static_cast<int>((colour >> 16) & 0xff));
}

void TURLLabel::SetFontColour(uint32_t colour) {
    FFontColour = colour;
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ToQColor(colour));
    setPalette(palette);
}

void TURLLabel::SetUnderline(bool underline) {
    QFont current = font();
    current.setUnderline(underline);
    setFont(current);
}

void TURLLabel::SetLabelType(TLabelType value) {
    if (value == FLabelType)
        return;
    FLabelType = value;
    SetUnderline(!(value == hmCUSTOM || FEffect98));
    update();
}

void TURLLabel::SetURLColStd(uint32_t value) {
    if (value == FURLColStd)
        return;
    FURLColStd = value;
    SetFontColour(value);
    update();
}

void TURLLabel::SetURLColPre(uint32_t value) {
    if (value == FURLColPre)
        return;
    FURLColPre = value;
    update();
}

void TURLLabel::SetAllowDown(bool value) {
    if (value == FAllowDown)
        return;
    FAllowDown = value;
    update();
}

void TURLLabel::SetEffect98(bool value) {
    if (value == FEffect98)
        return;
    FEffect98 = value;
    if (value)
        SetUnderline(false);
    else if (FLabelType != hmCUSTOM)
        SetUnderline(true);
    update();
}

void TURLLabel::SetFont(const QFont& newFont, uint32_t colour) {
    setFont(newFont);
    SetFontColour(colour);
    FURLColStd = colour;
}

QString TURLLabel::Target() const {
    switch (FLabelType) {
    case hmHTTP:
        return "http://" + text();
    case hmFTP:
        return "ftp://" + text();
    case hmMAIL:
        return "mailto:" + text();
    default:
        return {};
    }
}

void TURLLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    Hover(true);
}

void TURLLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    Hover(false);
}

void TURLLabel::Hover(bool inside) {
    // Without Effect98 hovering changes nothing.
    if (!FEffect98)
        return;
    SetFontColour(inside ? FURLColPre : FURLColStd);
    if (FLabelType != hmCUSTOM)
        SetUnderline(inside);
    update();
}

void TURLLabel::mousePressEvent(QMouseEvent* event) {
    QLabel::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    FPressed = true;
    if (FAllowDown)
        move(x(), y() + 1);
    SetFontColour(FURLColPre);
}

void TURLLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (!FEffect98)
        SetFontColour(FURLColStd);
    const bool left = event->button() == Qt::LeftButton;
    if (FAllowDown && left)
        move(x(), y() - 1);
    // A click is a left press and release on the label.
    if (left && FPressed && rect().contains(event->position().toPoint()))
        Click();
    if (left)
        FPressed = false;
}

void TURLLabel::Click() {
    emit clicked();
    if (FLabelType == hmCUSTOM)
        return;
    TDesktop::Current().OpenUrl(Target());
}
