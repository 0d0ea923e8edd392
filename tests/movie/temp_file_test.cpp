#include "movie/temp_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        saved_ = old ? old : "";
        hadOld_ = old != nullptr;
        folder_ = fs::temp_directory_path() / ("clipmoor-temp-test-" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        setenv("TMPDIR", folder_.c_str(), 1); // no trailing slash: one is added
    }
    void TearDown() override {
        if (hadOld_)
            setenv("TMPDIR", saved_.c_str(), 1);
        else
            unsetenv("TMPDIR");
        fs::remove_all(folder_);
    }
    fs::path folder_;
    std::string saved_;
    bool hadOld_ = false;
};

TEST_F(TempFolder, NumbersCountUpAndFilesAreCreatedExclusively) {
    std::string first = MakeTempFileName("tempjpg", ".jpg");
    EXPECT_EQ(first, folder_.string() + "/tempjpg0.jpg");
    EXPECT_TRUE(fs::exists(first));
    EXPECT_EQ(MakeTempFileName("tempjpg", ".jpg"), folder_.string() + "/tempjpg1.jpg");
    fs::remove(first);
    EXPECT_EQ(MakeTempFileName("tempjpg", ".jpg"), folder_.string() + "/tempjpg0.jpg");
}

TEST_F(TempFolder, LinksAreNeverFollowed) {
    // A dangling link where the first name would be: it must be skipped, not written through.
    fs::path victim = folder_ / "victim";
    fs::create_symlink(victim, folder_ / "tempjpg0.jpg");
    EXPECT_EQ(MakeTempFileName("tempjpg", ".jpg"), folder_.string() + "/tempjpg1.jpg");
    EXPECT_FALSE(fs::exists(victim));
}

TEST_F(TempFolder, UnwritableFolderGivesNoName) {
    setenv("TMPDIR", (folder_ / "does-not-exist").c_str(), 1);
    EXPECT_EQ(MakeTempFileName("tempjpg", ".jpg"), "");
}

} // namespace
