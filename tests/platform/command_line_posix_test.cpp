#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/command_line.h"

// Linux takes the arguments as given; Windows reads its own UTF-16 command line instead, which
// tests/windows checks through the program.
namespace quorvel::platform {
namespace {

TEST(CommandLineArguments, AreArgvOnLinux) {
    char a0[] = "quorvel-batch", a1[] = "中文.csv", a2[] = "";
    char* argv[] = {a0, a1, a2, nullptr};
    EXPECT_EQ(CommandLineArguments(3, argv),
              (std::vector<std::string>{"quorvel-batch", "中文.csv", ""}));
}

}  // namespace
}  // namespace quorvel::platform
