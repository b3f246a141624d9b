#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string_view>

#include "ui/app_window.h"
#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            std::printf("quorvel %s\n", QUORVEL_VERSION);
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            std::printf(
                "usage: quorvel [Qt options]\n"
                "Gauss-Krueger projection calculator: opens its window. See quorvel(1); for "
                "files of points, quorvel-batch(1).\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    quorvel::PrepareApplication();
    QApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    // Lets the desktop match the window to quorvel.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvel"));
    QIcon icon;
    for (int size : {48, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/quorvel-%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
    quorvel::AppWindow window;
    window.show();
    return app.exec();
}
