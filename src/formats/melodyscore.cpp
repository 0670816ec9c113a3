#include "melodyscore.h"

#include <algorithm>

// The words of a name in lower case, split at anything but letters and digits.
std::vector<std::string> NameWords(const std::string& name) {
    std::vector<std::string> words(1);
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || u >= 0x80)
            words.back() += c;
        else if (u >= 'A' && u <= 'Z')
            words.back() += char(u - 'A' + 'a');
        else if (!words.back().empty())
            words.emplace_back();
    }
    if (words.back().empty())
        words.pop_back();
    return words;
}

namespace {

// +1 for a name that says melody, -1 for one that says bass or accompaniment, else 0.
int NameHint(const std::string& name) {
    static constexpr std::string_view kMelody[] = {"melod", "vocal", "voice", "lead",  "sopran",
                                                   "right", "rh",    "solo",  "theme", "tune",
                                                   "sing",  "vox",   "main",  "cantus"};
    static constexpr std::string_view kAccompaniment[] = {
        "bass",   "accomp", "chord", "left", "lh",    "pad",  "backing", "harmon",
        "rhythm", "drum",   "perc",  "alto", "tenor", "comp", "arp",     "string"};
    // Japanese names in UTF-8: melody, vocal, main tune; bass, accompaniment, drums.
    static constexpr std::string_view kMelodyJa[] = {"メロディ", "ボーカル", "主旋律", "歌"};
    static constexpr std::string_view kAccompanimentJa[] = {"ベース", "伴奏", "ドラム", "和音"};
    const auto startsWith = [](const std::string& word, std::string_view prefix) {
        return word.size() >= prefix.size() && word.compare(0, prefix.size(), prefix) == 0 &&
               (prefix.size() > 2 || word.size() == prefix.size());
    };
    int hint = 0;
    for (const std::string& word : NameWords(name)) {
        for (std::string_view prefix : kMelody)
            hint = startsWith(word, prefix) ? 1 : hint;
        for (std::string_view prefix : kAccompaniment) {
            if (startsWith(word, prefix))
                return -1;
        }
    }
    for (std::string_view text : kAccompanimentJa) {
        if (name.find(text) != std::string::npos)
            return -1;
    }
    for (std::string_view text : kMelodyJa)
        hint = name.find(text) != std::string::npos ? 1 : hint;
    return hint;
}

// The General MIDI family of a program counts a little: a lead sound for, a bass, a pad or a
// percussive or effect sound against.
double ProgramHint(int program) {
    if (program < 0)
        return 0;
    const int family = program / 8;
    switch (family) {
    case 4: // bass
        return -15;
    case 10: // synth lead
        return 10;
    case 11: // synth pad
        return -10;
    case 14: // percussive
    case 15: // sound effects
        return -25;
    default:
        return 0;
    }
}

} // namespace

MelodyCandidate ScoreCandidate(const SmfTrack& track, size_t trackIndex, int channel,
                               uint32_t division, const std::vector<RawNote>& notes) {
    MelodyCandidate candidate;
    candidate.track = int(trackIndex);
    candidate.channel = channel;
    candidate.program = track.programs[size_t(channel)];
    candidate.trackName = track.name;
    candidate.notes = int(notes.size());
    if (notes.empty())
        return candidate;
    // One note at a time: a note counts as alone when no other note of the channel sounds
    // as it starts (an overlap of a 32nd, a legato player's, does not count).
    const int64_t overlap = std::max<int64_t>(1, int64_t(division) / 8);
    std::vector<int64_t> ends; // the notes start in order already
    ends.reserve(notes.size());
    double keys = 0;
    candidate.lowestKey = 127;
    for (const RawNote& note : notes) {
        ends.push_back(std::max(note.start, note.end - overlap));
        keys += note.key;
        candidate.lowestKey = std::min(candidate.lowestKey, note.key);
        candidate.highestKey = std::max(candidate.highestKey, note.key);
    }
    std::sort(ends.begin(), ends.end());
    size_t endsPassed = 0;
    int alone = 0;
    for (size_t i = 0; i < notes.size(); ++i) {
        while (endsPassed < ends.size() && ends[endsPassed] <= notes[i].start)
            ++endsPassed;
        if (endsPassed >= i)
            ++alone; // every note before this one has ended
    }
    const double count = double(notes.size());
    const double meanKey = keys / count;
    double score = 25.0 * std::min(1.0, count / 32.0);
    if (count < 8)
        score -= 20; // a few notes are a signal or an effect, no tune
    score += 30.0 * alone / count;
    score += std::clamp((meanKey - 55.0) * 1.2, -25.0, 25.0);
    score += 40.0 * NameHint(track.name);
    score += ProgramHint(candidate.program);
    candidate.score = score;
    return candidate;
}
