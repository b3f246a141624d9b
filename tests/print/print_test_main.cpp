#include <gtest/gtest.h>

#include <QGuiApplication>

#include "print/fonts.h"

// GoogleTest with the application object the printer surface needs. Listing the tests (as the
// build does to discover them) needs no display, so it makes none.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QGuiApplication app(argc, argv);
    quorvel::InstallFontSubstitutions();
    return RUN_ALL_TESTS();
}
