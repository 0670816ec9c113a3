#include "filesizelimit.h"
#include "settings/settingsfile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kesv-settings-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

EnvSettings Defaults() {
    EnvSettings s;
    s.SetDefaults();
    return s;
}

} // namespace

TEST(EnvSettingsRecord, Defaults) {
    const EnvSettings s = Defaults();
    EXPECT_EQ(s.font.height, 12);
    EXPECT_EQ(s.font.charSet, 128);
    EXPECT_EQ(s.font.pitchAndFamily, 1);
    EXPECT_STREQ(s.font.faceName, "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e");
    EXPECT_STREQ(s.styleName, "\x95\x57\x8f\x80");
    EXPECT_EQ(s.flags, 0x40u);
    EXPECT_FALSE(s.IsPianoInput());
    EXPECT_EQ(s.GetBeatUnit(), 4);
    EXPECT_EQ(s.beatsPerBar, 4);
    EXPECT_EQ(s.GetTicksPerBar(), 1920);
    EXPECT_EQ(s.InputDeviceName(), "");
    EXPECT_EQ(s.OutputDeviceName(), "");
}

TEST(EnvSettingsRecord, DefaultBindings) {
    const EnvSettings s = Defaults();
    const BindingTable expectPlain{0, 0, 15, 16, 7, 8, 11, 12, 13, 14, 9, 10, 0};
    const BindingTable expectShift{0, 0, 0, 0, 3, 4, 5, 6, 0, 0, 0, 0, 0};
    const BindingTable expectCtrl{0, 0, 0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(*s.GetBindingTable(0), expectPlain);
    EXPECT_EQ(*s.GetBindingTable(kModShift), expectShift);
    EXPECT_EQ(*s.GetBindingTable(kModCtrl), expectCtrl);
    EXPECT_EQ(*s.GetBindingTable(kModShift | kModCtrl), BindingTable{});
    EXPECT_EQ(s.GetBindingTable(2), nullptr);
    EXPECT_EQ(s.GetBindingTable(16), nullptr);
}

TEST(EnvSettingsRecord, ResetKeyBindings_TouchesOnlyTheTables) {
    EnvSettings s = Defaults();
    s.flags = 0x81;
    s.beatsPerBar = 3;
    EnvSettings::SetNameField(s.midiOutName, "Synth");
    for (BindingTable& t : s.bindings)
        t.fill(14);
    s.ResetKeyBindings();
    EXPECT_EQ((*s.GetBindingTable(kModShift))[7], 6);
    for (const BindingTable& t : s.bindings)
        EXPECT_EQ(t[0], 0);
    EXPECT_EQ(s.flags, 0x81u);
    EXPECT_EQ(s.beatsPerBar, 3);
    EXPECT_EQ(s.OutputDeviceName(), "Synth");
}

TEST(EnvSettingsRecord, ToleratesBadStoredValues) {
    EnvSettings s = Defaults();
    std::memset(s.midiInName, 'x', sizeof(s.midiInName)); // no terminator at all
    EXPECT_EQ(s.InputDeviceName(), std::string(32, 'x'));
    EXPECT_EQ(ValidFunctionId(17), 0);
    EXPECT_EQ(ValidFunctionId(-1), 0);
    EXPECT_EQ(ValidFunctionId(16), 16);
    s.flags = 0xFFFFFFFF;
    EXPECT_EQ(s.GetBeatUnit(), 16);
    s.beatsPerBar = 0;
    EXPECT_EQ(s.GetTicksPerBar(), 120);
    EnvSettings::SetNameField(s.midiOutName, std::string(40, 'y'));
    EXPECT_EQ(s.OutputDeviceName(), std::string(31, 'y'));
}

TEST_F(SettingsFileTest, MissingFile_GivesDefaultsAndWritesNothing) {
    const fs::path path = dir / "KesV.env";
    const EnvSettings s = LoadSettings(path);
    const EnvSettings defaults = Defaults();
    EXPECT_EQ(std::memcmp(&s, &defaults, sizeof(s)), 0);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(SettingsFileTest, SaveWrites360BytesThatReadBack) {
    const fs::path path = dir / "sub" / "KesV.env";
    EnvSettings s = Defaults();
    s.flags = 0x81;
    EnvSettings::SetNameField(s.midiInName, "Keyboard In");
    ASSERT_TRUE(SaveSettings(s, path));
    EXPECT_EQ(fs::file_size(path), 360u);
    const EnvSettings back = LoadSettings(path);
    EXPECT_EQ(std::memcmp(&s, &back, sizeof(s)), 0);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), {}), 1);
}

TEST_F(SettingsFileTest, ShortFile_FillsOnlyTheBeginning) {
    EnvSettings full = Defaults();
    EnvSettings::SetNameField(full.midiInName, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EnvSettings::SetNameField(full.midiOutName, "Out");
    const fs::path path = dir / "KesV.env";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&full), 100);
    }
    const EnvSettings s = LoadSettings(path);
    EXPECT_EQ(std::memcmp(&s, &full, 85), 0); // font, style, flags, beats per bar
    EXPECT_EQ(s.InputDeviceName(), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(s.OutputDeviceName(), "");
    for (const BindingTable& t : s.bindings)
        EXPECT_EQ(t, BindingTable{});
}

TEST_F(SettingsFileTest, NoRegularFile_GivesDefaultsWithoutBlocking) {
    const EnvSettings defaults = Defaults();
    const fs::path folder = dir / "folder";
    fs::create_directories(folder);
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& path : {folder, fifo}) {
        const EnvSettings s = LoadSettings(path);
        EXPECT_EQ(std::memcmp(&s, &defaults, sizeof(s)), 0) << path;
    }
}

// Runs `save` as a user who may not write root's files: as root, in a child process that
// gives up its rights. Returns whether it saved.
bool SaveUnprivileged(const std::function<bool()>& save) {
    if (::geteuid() != 0)
        return save();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && save() ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(SettingsFileTest, Save_KeepsLinksAndModesAndRespectsReadOnlyFiles) {
    EnvSettings changed = Defaults();
    changed.beatsPerBar = 7;
    SettingsFileError reason;

    // Through a relative link to a dotfiles folder: the file changes, the link stays.
    const fs::path real = dir / "dotfiles" / "KesV.env";
    ASSERT_TRUE(SaveSettings(Defaults(), real));
    fs::permissions(real, fs::perms(0600));
    fs::create_directories(dir / "config");
    fs::create_symlink("../dotfiles/KesV.env", dir / "config" / "KesV.env");
    ASSERT_TRUE(SaveSettings(changed, dir / "config" / "KesV.env", &reason))
        << int(reason.step) << " " << reason.systemError;
    EXPECT_TRUE(fs::is_symlink(dir / "config" / "KesV.env"));
    EXPECT_EQ(LoadSettings(real).beatsPerBar, 7);
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0600));

    // A file made read-only is left alone, even by root, and the failure says why.
    fs::permissions(real, fs::perms(0444));
    changed.beatsPerBar = 5;
    EXPECT_FALSE(SaveSettings(changed, real, &reason));
    EXPECT_EQ(reason.step, SettingsFileError::Step::ReadOnly);
    EXPECT_EQ(LoadSettings(real).beatsPerBar, 7);
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0444));

    // A writable file in a folder that takes no new file is written in place; a missing
    // one there cannot be, and says why.
    const fs::path locked = dir / "locked";
    ASSERT_TRUE(SaveSettings(Defaults(), locked / "KesV.env"));
    fs::permissions(locked / "KesV.env", fs::perms(0666));
    fs::permissions(locked, fs::perms(0555));
    EXPECT_TRUE(SaveUnprivileged([&] { return SaveSettings(changed, locked / "KesV.env"); }));
    EXPECT_TRUE(SaveUnprivileged([&] {
        SettingsFileError why;
        return !SaveSettings(changed, locked / "other.env", &why) &&
               why.step == SettingsFileError::Step::Create && why.systemError == EACCES;
    }));
    fs::permissions(locked, fs::perms(0755));
    EXPECT_EQ(LoadSettings(locked / "KesV.env").beatsPerBar, 5);
    EXPECT_FALSE(fs::exists(locked / "other.env"));
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), {}), 1);
}

// In a folder that takes no new file the settings are written in place: a file-size limit
// that would cut that write short (as a full disk would a replacing one) leaves them whole.
TEST_F(SettingsFileTest, FailedSaveInPlace_KeepsTheOldSettings) {
    const fs::path path = dir / "KesV.env";
    ASSERT_TRUE(SaveSettings(Defaults(), path));
    fs::permissions(path, fs::perms(0666));
    fs::permissions(dir, fs::perms(0555));
    EXPECT_TRUE(SaveUnprivileged([&] {
        EnvSettings changed = Defaults();
        changed.beatsPerBar = 3;
        SettingsFileError why;
        const FileSizeLimit full(100);
        return !SaveSettings(changed, path, &why) && why.systemError == EFBIG;
    }));
    fs::permissions(dir, fs::perms(0755));
    EXPECT_EQ(LoadSettings(path).beatsPerBar, Defaults().beatsPerBar);
}
