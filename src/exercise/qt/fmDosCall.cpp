#include "exercise/qt/fmDosCall.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QTimer>

#include "exercise/qt/Process.h"

namespace {

// Opacity alone hides a window only where a compositor honours it. So the window also keeps
// away from the window manager, sits one pixel big outside every screen, and its shape holds
// no pixel of it at all.
constexpr int kSize = 1;

QPoint OffScreen() {
    QRect desktop;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        desktop = screen->virtualGeometry();
    }
    return QPoint(desktop.left() - 100, desktop.top() - 100);
}

} // namespace

TShellDiasp::TShellDiasp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint) {
    setObjectName("ShellDiasp");
    setWindowOpacity(0.0);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kSize, kSize);
    move(OffScreen());
    setMask(QRegion(kSize + 1, kSize + 1, 1, 1));

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(500);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TShellDiasp::Timer1Timer);
}

void TShellDiasp::showEvent(QShowEvent* event) {
    // The screens may have changed since start-up.
    move(OffScreen());
    QDialog::showEvent(event);
}

void TShellDiasp::Timer1Timer() {
    Timer1->stop(); // one run per arming
    vellaro::RunAndWait(m_command, m_consoleFont);
    close();
}

void TShellDiasp::ExecuteRun(const vellaro::Command& command, const QFont& consoleFont) {
    m_command = command;
    m_consoleFont = consoleFont;
    Timer1->start();
    // Modal to the whole application: until the run ends, the main window takes no input but
    // keeps repainting.
    setWindowModality(Qt::ApplicationModal);
    exec();
    Timer1->stop();
}
