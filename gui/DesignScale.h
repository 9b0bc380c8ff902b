#pragma once

class QWidget;

// The windows were laid out in pixels for a smaller font than today's desktops use. With a larger
// desktop font, every child's position and size and the dialog's own size grow by the same factor.
double DesignScale(const QWidget* widget);
void ScaleDesignedLayout(QWidget* dialog);
