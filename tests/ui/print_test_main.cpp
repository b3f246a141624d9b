#include <gtest/gtest.h>

#include <QApplication>

#include "ui/fonts.h"

// GoogleTest with the application object the printer surface needs. Listing the tests (as the
// build does to discover them) needs no display, so it makes none.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    quorvel::InstallFontSubstitutions();
    return RUN_ALL_TESTS();
}
