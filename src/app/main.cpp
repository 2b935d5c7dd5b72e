#include <QApplication>

#include "app/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vellaro");
    TMainCrt w;
    w.show();
    return QApplication::exec();
}
