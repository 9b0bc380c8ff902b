#include "DesignScale.h"

#include <QFontMetrics>
#include <QWidget>
#include <algorithm>

double DesignScale(const QWidget* widget) {
    // The designed font was 13 pixels high with characters about 5.5 pixels wide on average.
    const QFontMetrics metrics = widget->fontMetrics();
    return std::max({1.0, metrics.height() / 13.0, metrics.averageCharWidth() / 5.5});
}
