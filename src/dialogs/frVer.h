#pragma once
// The version dialog: product name, version number, the program's picture and a link to the
// project's web page.
#include <QDialog>
#include <QImage>

class QFrame;
class QLabel;
class QPushButton;

// The 64 x 64 picture of the version dialog, drawn at the given device pixel ratio so that it
// stays sharp on a high-density screen.
QImage RenderProgramIcon(qreal devicePixelRatio = 1.0);

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // The dialog's title, which the menu entry that opens it shows as well (UTF-8).
    static const char* const Title;
    // The project's web page behind the link, and the text the link shows (without the scheme).
    static const char* const WebPage;
    static QString WebPageText();

    QFrame* Panel1 = nullptr;
    QWidget* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* OKButton = nullptr;

    void Label2Click();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
