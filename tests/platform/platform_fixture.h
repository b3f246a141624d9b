#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/paths.h"

namespace quorvel::platform {

// A scratch folder of its own per test, its names and contents as UTF-8 text.
class ScratchFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string name = Utf8Path(std::filesystem::temp_directory_path()) + "/qv-files-XXXXXX";
        ASSERT_EQ(CreateUniqueFolder(name), 0);
        dir_ = name;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(PathFromUtf8(dir_), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(PathFromUtf8(dir_), ec);
    }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void Put(const std::string& name, const std::string& text) const {
        std::ofstream out(PathFromUtf8(Path(name)), std::ios::binary);
        out << text;
        ASSERT_TRUE(out.good());
    }
    std::string Text(const std::string& name) const {
        std::ifstream in(PathFromUtf8(Path(name)), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(PathFromUtf8(Path(name)));
    }
    std::set<std::string> Names(const std::string& folder = "") const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(
                 PathFromUtf8(folder.empty() ? dir_ : Path(folder))))
            names.insert(Utf8Path(e.path().filename()));
        return names;
    }
    void MakeReadOnly(const std::string& name) const {
        using std::filesystem::perms;
        std::filesystem::permissions(PathFromUtf8(Path(name)),
                                     perms::owner_write | perms::group_write | perms::others_write,
                                     std::filesystem::perm_options::remove);
    }

    std::string dir_;
};

}  // namespace quorvel::platform
