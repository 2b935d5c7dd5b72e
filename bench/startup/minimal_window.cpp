// The floor for start-up: a bare Qt main window with a tab widget and two text editors, the
// smallest program of Vellaro's kind. bench/startup.sh starts it in turn with Vellaro.
#include <QApplication>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTabWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    auto* tabs = new QTabWidget(&window);
    tabs->addTab(new QPlainTextEdit, QStringLiteral("プログラム入力"));
    tabs->addTab(new QPlainTextEdit, QStringLiteral("コンパイル"));
    window.setCentralWidget(tabs);
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
