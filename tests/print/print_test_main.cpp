#include <gtest/gtest.h>

#include <QGuiApplication>

#include "core/messages.h"
#include "print/fonts.h"

// GoogleTest with the application object the printer surface needs, speaking Chinese as the
// window does. Listing the tests (as the build does to discover them) needs no display, so it
// makes none.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QGuiApplication app(argc, argv);
    quorvel::InstallFontSubstitutions();
    quorvel::BindCatalogue(QUORVEL_LOCALE_DIR);
    quorvel::UseChinese();
    return RUN_ALL_TESTS();
}
