#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutBox;
}

// Where the program lives on the web, without its scheme (the link label adds "http://").
inline const char* const HomePage = "www.twinseek.org";

// The about window: the program's name and version, a link to its pages, and OK.
class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

  private:
    std::unique_ptr<Ui::TAboutBox> FUi;
};
