#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quorvel::PrepareApplication();
    quorvel::MainWindow window;
    window.show();
    return app.exec();
}
