#include "midinames.h"

#include <algorithm>
#include <regex>

std::string StripVolatileNumbers(const std::string& name) {
    static const std::regex trailingAddress(R"(\s+\d+:\d+$)");
    static const std::regex bracketNumber(R"(\s*\[\d+\])");
    std::string out = std::regex_replace(name, trailingAddress, "");
    out = std::regex_replace(out, bracketNumber, "");
    return out;
}

std::string TruncateName(const std::string& name, size_t maxBytes) {
    if (name.size() <= maxBytes)
        return name;
    size_t cut = maxBytes;
    // Step back over UTF-8 continuation bytes so no character is split.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

void MakeNamesUnique(std::vector<std::string>& names) {
    std::vector<std::string> done;
    done.reserve(names.size());
    for (std::string& name : names) {
        std::string candidate = TruncateName(name);
        for (int n = 2; std::find(done.begin(), done.end(), candidate) != done.end(); ++n) {
            const std::string suffix = " (" + std::to_string(n) + ")";
            candidate = TruncateName(name, kMaxDeviceNameBytes - suffix.size()) + suffix;
        }
        name = candidate;
        done.push_back(candidate);
    }
}
