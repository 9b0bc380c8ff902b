#include "DimmedIconEngine.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <cstdlib>

namespace {

// The share of its opacity a disabled image keeps.
constexpr double DisabledOpacity = 0.35;
// How far the channels of a grey pixel may lie apart, and the share of an image's opacity that
// may lie in other pixels (stray tints at the edges) for it to count as a grey image.
constexpr int GreyTolerance = 16;
constexpr double TintedShare = 0.01;

} // namespace

TDimmedIconEngine::TDimmedIconEngine(const QIcon& icon) : FIcon(icon) {}

QPixmap TDimmedIconEngine::Dimmed(const QPixmap& pixmap) {
    if (pixmap.isNull())
        return pixmap;
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, static_cast<int>(qAlpha(line[x]) * DisabledOpacity));
        }
    }
    QPixmap dimmed = QPixmap::fromImage(image);
    dimmed.setDevicePixelRatio(pixmap.devicePixelRatio());
    return dimmed;
}

QPixmap TDimmedIconEngine::InkedIfGrey(const QPixmap& pixmap, const QColor& ink) {
    if (pixmap.isNull())
        return pixmap;
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    double opacity = 0, tinted = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const int red = qRed(pixel), green = qGreen(pixel), blue = qBlue(pixel);
            opacity += qAlpha(pixel);
            if (std::abs(red - green) > GreyTolerance || std::abs(green - blue) > GreyTolerance ||
                std::abs(red - blue) > GreyTolerance)
                tinted += qAlpha(pixel);
        }
    }
    if (opacity == 0 || tinted > opacity * TintedShare)
        return pixmap;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgba(ink.red(), ink.green(), ink.blue(), qAlpha(line[x]));
    }
    QPixmap inked = QPixmap::fromImage(image);
    inked.setDevicePixelRatio(pixmap.devicePixelRatio());
    return inked;
}

void TDimmedIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                              QIcon::State state) {
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
    QPixmap image = pixmap(rect.size() * ratio, mode, state);
    image.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, image);
}

QPixmap TDimmedIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    const QPalette palette = QGuiApplication::palette();
    if (mode == QIcon::Disabled)
        return Dimmed(InkedIfGrey(FIcon.pixmap(size, 1.0, QIcon::Normal, state),
                                  palette.color(QPalette::ButtonText)));
    const QColor ink =
        palette.color(mode == QIcon::Selected ? QPalette::HighlightedText : QPalette::ButtonText);
    return InkedIfGrey(FIcon.pixmap(size, 1.0, mode, state), ink);
}

QSize TDimmedIconEngine::actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return FIcon.actualSize(size, mode == QIcon::Disabled ? QIcon::Normal : mode, state);
}

QList<QSize> TDimmedIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state) {
    return FIcon.availableSizes(mode == QIcon::Disabled ? QIcon::Normal : mode, state);
}

QString TDimmedIconEngine::iconName() {
    return FIcon.name();
}

bool TDimmedIconEngine::isNull() {
    return FIcon.isNull();
}

QIconEngine* TDimmedIconEngine::clone() const {
    return new TDimmedIconEngine(FIcon);
}

QString TDimmedIconEngine::key() const {
    return QStringLiteral("TDimmedIconEngine");
}
