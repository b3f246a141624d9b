// Loading GDAL's module: what a run says when it cannot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/reading/text_io.h"
#include "engine/writers/gdal_writer.h"

namespace quorvel::engine {
namespace {

class GdalLoader : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::path(testing::TempDir()) / "quorvel-gdal-loader";
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        ::unsetenv("QUORVEL_GDAL_MODULE");
        std::filesystem::remove_all(folder_);
    }
    // The message LoadGdalWriter throws with the module looked for at `module`.
    static std::string FailureWith(const std::filesystem::path& module) {
        ::setenv("QUORVEL_GDAL_MODULE", module.c_str(), 1);
        try {
            LoadGdalWriter();
        } catch (const IoError& e) {
            return e.what();
        }
        return "loaded";
    }
    std::filesystem::path folder_;
};

TEST_F(GdalLoader, AFolderWithoutTheModuleIsAnErrorNamingIt) {
    const std::string why = FailureWith(folder_ / "quorvel-gdal.so");
    EXPECT_EQ(why.find("cannot load GDAL, which writes this format (quorvel-gdal.so): "), 0u)
        << why;
    EXPECT_NE(why.find("quorvel-gdal.so: cannot open shared object file"), std::string::npos)
        << why;
}

TEST_F(GdalLoader, AFileThatIsNoModuleIsAnError) {
    std::ofstream(folder_ / "quorvel-gdal.so") << "not a library\n";
    const std::string why = FailureWith(folder_ / "quorvel-gdal.so");
    EXPECT_EQ(why.find("cannot load GDAL"), 0u) << why;
    EXPECT_NE(why.find("quorvel-gdal.so"), std::string::npos) << why;
}

TEST_F(GdalLoader, AModuleWithoutTheEntryPointIsAnError) {
    // Any shared library of the system lacks Quorvel's entry point.
    const std::filesystem::path other = "libm.so.6";
    const std::string why = FailureWith(other);
    EXPECT_EQ(why.find("cannot load GDAL"), 0u) << why;
    EXPECT_NE(why.find("quorvel_new_gdal_writer"), std::string::npos) << why;
}

}  // namespace
}  // namespace quorvel::engine
