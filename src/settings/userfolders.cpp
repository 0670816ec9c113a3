#include "userfolders.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::optional<UserFolders> g_folders;

fs::path AccountHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_t(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && fs::path(found->pw_dir).is_absolute())
        return fs::path(found->pw_dir);
    return fs::path("/tmp");
}

bool IsAbsolute(const char* value) {
    return value && *value && fs::path(value).is_absolute();
}

fs::path Absolute(const char* value, const fs::path& fallback) {
    return IsAbsolute(value) ? fs::path(value) : fallback;
}

} // namespace

UserFolders ResolveUserFolders(const char* home, const char* configHome, const char* dataHome,
                               const char* stateHome, const char* temp) {
    UserFolders folders;
    folders.home = IsAbsolute(home) ? fs::path(home) : AccountHome();
    folders.config = Absolute(configHome, folders.home / ".config");
    folders.data = Absolute(dataHome, folders.home / ".local/share");
    folders.state = Absolute(stateHome, folders.home / ".local/state");
    folders.temp = Absolute(temp, "/tmp");
    return folders;
}

void InitUserFolders() {
    g_folders = ResolveUserFolders(std::getenv("HOME"), std::getenv("XDG_CONFIG_HOME"),
                                   std::getenv("XDG_DATA_HOME"), std::getenv("XDG_STATE_HOME"),
                                   std::getenv("TMPDIR"));
}

const UserFolders& GetUserFolders() {
    if (!g_folders) {
        std::fputs("kesv: the user's folders were asked for before InitUserFolders\n", stderr);
        std::abort();
    }
    return *g_folders;
}
