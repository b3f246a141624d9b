#include <QApplication>

#include "ui/app_window.h"
#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quorvel::PrepareApplication();
    quorvel::AppWindow window;
    window.show();
    return app.exec();
}
