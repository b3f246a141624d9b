// The main of the tests of what the window shows: its messages in Chinese, as the window speaks.
#include <gtest/gtest.h>

#include "core/messages.h"

int main(int argc, char** argv) {
    quorvel::BindCatalogue(QUORVEL_LOCALE_DIR);
    quorvel::UseChinese();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
