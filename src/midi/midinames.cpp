#include "midinames.h"

#include "midibackend.h"
#include "text/cp932.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <regex>

std::string StripVolatileNumbers(const std::string& name) {
    static const std::regex trailingAddress(R"(\s+\d+:\d+$)");
    static const std::regex bracketNumber(R"(\s*\[\d+\])");
    std::string out = std::regex_replace(name, trailingAddress, "");
    out = std::regex_replace(out, bracketNumber, "");
    return out;
}

bool IsOwnPortName(const std::string& fullName) {
    static const std::regex own(R"(^KesV(-\d+)*:.*)");
    return std::regex_match(fullName, own);
}

void AddPortRecords(const std::vector<std::string>& fullNames, uint16_t productId,
                    uint32_t driverVersion, std::vector<MidiPortRecord>& ports) {
    for (const std::string& full : fullNames) {
        if (full.empty() || IsOwnPortName(full))
            continue;
        MidiPortRecord record;
        record.key = full;
        record.legacyName = StripVolatileNumbers(full);
        record.name = ToDeviceName(record.legacyName);
        record.wPid = productId;
        record.vDriverVersion = driverVersion;
        record.wTechnology = kModMidiPort;
        ports.push_back(std::move(record));
    }
}

std::string ToDeviceName(const std::string& utf8) {
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; }))
        return utf8;
    std::string out;
    for (const uint code : QString::fromUtf8(utf8).toUcs4()) {
        if (code < 0x80) {
            out += char(code);
            continue;
        }
        const char32_t c = code; // one character at a time: a missing one costs only itself
        const std::optional<std::string> bytes = EncodeCp932(QString::fromUcs4(&c, 1));
        if (bytes && !bytes->empty())
            out += *bytes;
        else
            out += kUnmappableNameChar;
    }
    return out;
}

std::string TruncateName(const std::string& name, size_t maxBytes, NameEncoding encoding) {
    if (name.size() <= maxBytes)
        return name;
    size_t cut = 0;
    if (encoding == NameEncoding::Utf8) {
        // Step back over continuation bytes so no character is split.
        cut = maxBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        return name.substr(0, cut);
    }
    // From the start: a cp932 trail byte may look like a lead byte or like ASCII.
    while (cut < name.size()) {
        const auto lead = static_cast<unsigned char>(name[cut]);
        const bool pair = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
        if (cut + (pair ? 2 : 1) > maxBytes)
            break;
        cut += pair ? 2 : 1;
    }
    return name.substr(0, cut);
}

void MakeNamesUnique(std::vector<std::string>& names, NameEncoding encoding) {
    std::vector<std::string> done;
    done.reserve(names.size());
    for (std::string& name : names) {
        std::string candidate = TruncateName(name, kMaxDeviceNameBytes, encoding);
        for (int n = 2; std::find(done.begin(), done.end(), candidate) != done.end(); ++n) {
            const std::string suffix = " (" + std::to_string(n) + ")";
            candidate = TruncateName(name, kMaxDeviceNameBytes - suffix.size(), encoding) + suffix;
        }
        name = candidate;
        done.push_back(candidate);
    }
}
