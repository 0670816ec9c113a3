#include "soundfont.h"

#include "settings/userfolders.h"

#include <algorithm>
#include <filesystem>
#include <vector>

std::string FindSoundFont() {
    namespace fs = std::filesystem;
    const UserFolders& user = GetUserFolders();
    std::vector<fs::path> folders = {user.data / "soundfonts"};
    if (const fs::path usual = user.home / ".local/share/soundfonts"; usual != folders.front())
        folders.push_back(usual);
    for (const char* folder : {"/usr/local/share/soundfonts", "/usr/share/soundfonts",
                               "/usr/share/sounds/sf2", "/usr/share/sounds/sf3"})
        folders.emplace_back(folder);

    static const char* const preferred[] = {"default-GM.sf2", "FluidR3_GM.sf2", "TimGM6mb.sf2",
                                            "default-GM.sf3", "FluidR3_GM.sf3"};
    std::error_code error;
    for (const auto& folder : folders) {
        for (const char* name : preferred) {
            if (fs::is_regular_file(folder / name, error))
                return (folder / name).string();
        }
    }
    for (const auto& folder : folders) {
        std::vector<fs::path> found;
        for (const auto& item : fs::directory_iterator(folder, error)) {
            const auto extension = item.path().extension();
            if ((extension == ".sf2" || extension == ".sf3") && item.is_regular_file(error))
                found.push_back(item.path());
        }
        if (!found.empty())
            return std::min_element(found.begin(), found.end())->string();
    }
    return {};
}
