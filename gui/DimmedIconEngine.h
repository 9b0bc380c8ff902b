#pragma once

#include <QIcon>
#include <QIconEngine>

// An icon whose disabled form is its normal image, grey and faint, whatever the theme's image
// is: the style's own disabled form of a grey symbolic image looks almost the same as the
// enabled one. A grey image (a theme's symbolic one) is drawn in the text colour, as the desktop
// draws such images, so that it does not look disabled when it is not. Coloured images keep
// their colours.
class TDimmedIconEngine : public QIconEngine {
  public:
    explicit TDimmedIconEngine(const QIcon& icon);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QString iconName() override;
    bool isNull() override;
    QIconEngine* clone() const override;
    QString key() const override;

    // The disabled form of an image.
    static QPixmap Dimmed(const QPixmap& pixmap);
    // A grey image in the colour given, its opacity kept; other images as they are.
    static QPixmap InkedIfGrey(const QPixmap& pixmap, const QColor& ink);

  private:
    QIcon FIcon;
};
