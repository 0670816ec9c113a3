// The user's folders by the XDG rules, and the settings file found in them.
#include "settings/settingsfile.h"
#include "settings/userfolders.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(UserFolders, AbsoluteValuesAreTaken) {
    const UserFolders folders =
        ResolveUserFolders("/home/u", "/cfg", "/data", "/state", "/scratch");
    EXPECT_EQ(folders.home, "/home/u");
    EXPECT_EQ(folders.config, "/cfg");
    EXPECT_EQ(folders.data, "/data");
    EXPECT_EQ(folders.state, "/state");
    EXPECT_EQ(folders.temp, "/scratch");
}

TEST(UserFolders, UnsetEmptyOrRelativeValuesFallBackToTheHomeFolders) {
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/cfg", "./x"}) {
        const UserFolders folders = ResolveUserFolders("/home/u", value, value, value, value);
        EXPECT_EQ(folders.config, "/home/u/.config") << (value ? value : "unset");
        EXPECT_EQ(folders.data, "/home/u/.local/share");
        EXPECT_EQ(folders.state, "/home/u/.local/state");
        EXPECT_EQ(folders.temp, "/tmp");
    }
    // Without a usable HOME the account's home folder counts: never the current folder.
    for (const char* home : {static_cast<const char*>(nullptr), "", "home"})
        EXPECT_TRUE(
            ResolveUserFolders(home, nullptr, nullptr, nullptr, nullptr).config.is_absolute());
}

TEST(UserFolders, TheSettingsFileFollowsTheInitialisedConfigFolder) {
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = before ? before : "";
    setenv("XDG_CONFIG_HOME", "relative-config", 1);
    InitUserFolders();
    EXPECT_TRUE(DefaultSettingsPath().is_absolute());
    setenv("XDG_CONFIG_HOME", "/elsewhere", 1);
    EXPECT_NE(DefaultSettingsPath().string().rfind("/elsewhere", 0), 0u); // read once
    InitUserFolders();
    EXPECT_EQ(DefaultSettingsPath(), "/elsewhere/KesV/KesV.env");
    if (before)
        setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    InitUserFolders();
}
