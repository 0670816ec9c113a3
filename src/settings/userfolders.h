// The user's folders for settings, data, state and temporary files, found once by the XDG rules.
// The program's start-up reads the environment (InitUserFolders); everything else asks
// GetUserFolders.
#pragma once

#include <filesystem>

struct UserFolders {
    std::filesystem::path home;   // $HOME
    std::filesystem::path config; // $XDG_CONFIG_HOME, else ~/.config
    std::filesystem::path data;   // $XDG_DATA_HOME, else ~/.local/share
    std::filesystem::path state;  // $XDG_STATE_HOME, else ~/.local/state
    std::filesystem::path temp;   // $TMPDIR, else /tmp
};

/// The folders for the given values of HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_STATE_HOME and
/// TMPDIR (null when unset). An empty or relative value is ignored, as the XDG rules say for
/// theirs. Without an absolute HOME the account's home folder counts, and /tmp for an account
/// without one.
UserFolders ResolveUserFolders(const char* home, const char* configHome, const char* dataHome,
                               const char* stateHome, const char* temp);

/// Reads the environment once and keeps its folders for GetUserFolders. The program calls it
/// at the start of main, tests after they set their own folders.
void InitUserFolders();

/// The folders of the last InitUserFolders. Asked before it ran, the program stops with a
/// message: a folder guessed then would be the wrong one.
const UserFolders& GetUserFolders();
