#pragma once

#include <QLabel>
#include <cstdint>

enum TLabelType : uint8_t { hmHTTP = 0, hmMAIL = 1, hmFTP = 2, hmCUSTOM = 3 };

// A label that behaves like a link: underlined in the link colour, a pointing hand, feedback on
// hover and press, and on a click the desktop opens the scheme prefix followed by the caption.
// Colours are 0x00BBGGRR values.
class TURLLabel : public QLabel {
    Q_OBJECT

  public:
    explicit TURLLabel(QWidget* parent = nullptr);

    TLabelType LabelType() const { return FLabelType; }
    uint32_t URLColStd() const { return FURLColStd; }
    uint32_t URLColPre() const { return FURLColPre; }
    bool AllowDown() const { return FAllowDown; }
    bool Effect98() const { return FEffect98; }

    void SetLabelType(TLabelType value);
    void SetURLColStd(uint32_t value);
    void SetURLColPre(uint32_t value);
    void SetAllowDown(bool value);
    void SetEffect98(bool value);
    // Takes the font like any label, and its colour becomes the colour at rest.
    void SetFont(const QFont& font, uint32_t colour);

    // The colour and underline the label shows now.
    uint32_t FontColour() const { return FFontColour; }
    bool Underlined() const { return font().underline(); }
    // What a click opens: the prefix of the label type and the caption, unchanged.
    QString Target() const;

    static QColor ToQColor(uint32_t colour);

  signals:
    void clicked();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void SetFontColour(uint32_t colour);
    void Hover(bool inside);
    void SetUnderline(bool underline);
    void Click();

    TLabelType FLabelType = hmHTTP;
    uint32_t FURLColStd = 0x00FF0000;
    uint32_t FURLColPre = 0x000000FF;
    bool FAllowDown = false;
    bool FEffect98 = false;
    uint32_t FFontColour = 0x00FF0000;
    bool FPressed = false;
};
