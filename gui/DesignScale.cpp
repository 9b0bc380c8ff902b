#include "DesignScale.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>
#include <algorithm>

double DesignScale(const QWidget* widget) {
    // The designed font was 13 pixels high with characters about 5.5 pixels wide on average.
    const QFontMetrics metrics = widget->fontMetrics();
    return std::max({1.0, metrics.height() / 13.0, metrics.averageCharWidth() / 5.5});
}

namespace {

void ScaleChildren(QWidget* parent, double scale) {
    auto scaled = [scale](int pixels) { return static_cast<int>(pixels * scale + 0.5); };
    for (QWidget* child : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect r = child->geometry();
        child->setGeometry(scaled(r.x()), scaled(r.y()), scaled(r.width()), scaled(r.height()));
    }
}

// A caption gets at least the room its text needs in this font.
void FitCaption(QWidget* widget) {
    widget->resize(std::max(widget->width(), widget->sizeHint().width()), widget->height());
}

} // namespace

void ScaleDesignedLayout(QWidget* dialog) {
    const double scale = DesignScale(dialog);
    if (scale > 1.0) {
        ScaleChildren(dialog, scale);
        // Group boxes place their buttons by pixels as well.
        for (QGroupBox* group :
             dialog->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly))
            ScaleChildren(group, scale);
        dialog->resize(static_cast<int>(dialog->width() * scale + 0.5),
                       static_cast<int>(dialog->height() * scale + 0.5));
    }
    for (QLabel* label : dialog->findChildren<QLabel*>())
        FitCaption(label);
    for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
        FitCaption(box);
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
        int right = group->width();
        for (QRadioButton* radio : group->findChildren<QRadioButton*>()) {
            FitCaption(radio);
            right = std::max(right, radio->geometry().right() + 8);
        }
        group->resize(right, group->height());
    }
}
