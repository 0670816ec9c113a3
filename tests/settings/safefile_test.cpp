// The safe writer: a failed write leaves the old file and nothing beside it; what a killed
// write left behind is recognised and removed, and nothing else is.
#include "filesizelimit.h"
#include "settings/safefile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kesv-safefile-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir;
};

void WriteRaw(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadAll(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

std::span<const uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace

TEST_F(SafeFileTest, FailedWrite_KeepsTheOldFileAndSaysWhy) {
    const fs::path song = dir / "song.kes";
    WriteRaw(song, "old song");
    const std::string bytes(4000, 'n');
    // Nothing fits, or the write stops part way, as on a disk that fills while it is written.
    for (const rlim_t limit : {rlim_t(0), rlim_t(1000)}) {
        FileWriteError error;
        bool written = true;
        {
            const FileSizeLimit full(limit);
            written = WriteFileSafely(song, BytesOf(bytes), &error);
        }
        EXPECT_FALSE(written) << limit;
        EXPECT_EQ(error.step, FileWriteError::Step::Write) << limit;
        EXPECT_EQ(error.systemError, EFBIG) << limit;
        EXPECT_EQ(ReadAll(song), "old song");
        EXPECT_EQ(Names(), std::vector<std::string>{"song.kes"});
    }
    ASSERT_TRUE(WriteFileSafely(song, BytesOf(bytes), nullptr));
    EXPECT_EQ(ReadAll(song), bytes);
}

TEST_F(SafeFileTest, Leftovers_OfAKilledWriteGoAndNothingElse) {
    const fs::path song = dir / "song.kes";
    WriteRaw(song, "old");
    WriteRaw(dir / ".song.kes.kesv-Ab3xY9", "killed before the rename");
    // One that a running write holds, and names that only look alike.
    WriteRaw(dir / ".song.kes.kesv-InUse1", "being written");
    const int held = ::open((dir / ".song.kes.kesv-InUse1").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const std::vector<std::string> others = {".song.kes.kesv-InUse1", ".song.kes.kesv-Ab3xY9z",
                                             ".song.kes.kesv-short",  ".tune.kes.kesv-Ab3xY9",
                                             "song.kes.Ab3xY9",       "song.kes.backup"};
    for (const std::string& name : others)
        WriteRaw(dir / name, "the user's");

    ASSERT_TRUE(WriteFileSafely(song, BytesOf("new"), nullptr));
    ::close(held);
    std::vector<std::string> expected = others;
    expected.push_back("song.kes");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(ReadAll(song), "new");

    // A name at the longest a folder takes still gets a temporary file beside it.
    const fs::path longest = dir / (std::string(251, 'x') + ".kes");
    EXPECT_TRUE(WriteFileSafely(longest, BytesOf("long"), nullptr));
    EXPECT_EQ(ReadAll(longest), "long");
    EXPECT_EQ(Names().size(), expected.size() + 1);
}
