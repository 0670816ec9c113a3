#include "melodyscore.h"

#include <algorithm>
#include <array>
#include <memory>

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

// How much a channel is like a tune: enough notes, mostly one at a time (`alone` of them),
// high rather than low, what its name and instrument say.
double Score(int notes, int alone, double meanKey, const std::string& name, int program) {
    const double count = notes;
    double score = 25.0 * std::min(1.0, count / 32.0);
    if (count < 8)
        score -= 20; // a few notes are a signal or an effect, no tune
    score += 30.0 * alone / count;
    score += std::clamp((meanKey - 55.0) * 1.2, -25.0, 25.0);
    score += 40.0 * NameHint(name);
    score += ProgramHint(program);
    return score;
}

// What the scoring gathers of one channel while the track is read.
struct ChannelReading {
    std::array<CHeldNotes, 128> held;
    // Each note's end less the overlap that does not count, or its start when that is later.
    std::vector<int64_t> ends;
    double keys = 0;
    int lowestKey = 127;
    int highestKey = 0;
    int struck = 0; // note-ons read in the second pass
    size_t endsPassed = 0;
    int alone = 0;
};

} // namespace

void CHeldNotes::Strike(int64_t tick) {
    if (!Empty() && m_runs.back().first == tick) {
        ++m_runs.back().second;
        return;
    }
    if (m_head > 0 && m_head * 2 >= m_runs.size()) {
        m_runs.erase(m_runs.begin(), m_runs.begin() + std::ptrdiff_t(m_head));
        m_head = 0;
    }
    m_runs.emplace_back(tick, 1);
}

int64_t CHeldNotes::Release() {
    std::pair<int64_t, int>& run = m_runs[m_head];
    const int64_t start = run.first;
    if (--run.second == 0 && ++m_head == m_runs.size()) {
        m_runs.clear();
        m_head = 0;
    }
    return start;
}

std::vector<MelodyCandidate> ScoreTrack(const SmfTrack& track, size_t trackIndex, uint32_t division,
                                        const std::stop_token& stop) {
    std::array<std::unique_ptr<ChannelReading>, 16> channels;
    for (size_t c = 0; c < channels.size(); ++c) {
        // Channel 10 is General MIDI's drum kit: never a melody.
        if (c != 9 && track.notesPerChannel[c] > 0) {
            channels[c] = std::make_unique<ChannelReading>();
            channels[c]->ends.reserve(size_t(track.notesPerChannel[c]));
        }
    }
    // One note at a time: a note counts as alone when no other note of the channel sounds as
    // it starts (an overlap of a 32nd, a legato player's, does not count). The first pass
    // gathers the ends, the second counts, for each note as it starts, the ends before it.
    const int64_t overlap = std::max<int64_t>(1, int64_t(division) / 8);
    SmfNoteEvent event{};
    unsigned count = 0;
    for (CSmfNoteReader notes(track); notes.Next(event);) {
        if ((++count & 0xFFFF) == 0 && stop.stop_requested())
            return {};
        ChannelReading* channel = channels[size_t(event.channel)].get();
        if (!channel)
            continue;
        CHeldNotes& held = channel->held[size_t(event.key)];
        if (event.on) {
            held.Strike(event.tick);
            channel->keys += event.key;
            channel->lowestKey = std::min(channel->lowestKey, event.key);
            channel->highestKey = std::max(channel->highestKey, event.key);
        } else if (!held.Empty()) {
            const int64_t start = held.Release();
            channel->ends.push_back(std::max(start, event.tick - overlap));
        }
    }
    for (const std::unique_ptr<ChannelReading>& channel : channels) {
        if (!channel)
            continue;
        for (CHeldNotes& held : channel->held) {
            // A note never released lasts to the end of the track.
            held.ReleaseAll([&](int64_t start, int notes) {
                channel->ends.insert(channel->ends.end(), size_t(notes),
                                     std::max(start, track.endTick - overlap));
            });
        }
        std::sort(channel->ends.begin(), channel->ends.end());
    }
    for (CSmfNoteReader notes(track); notes.Next(event);) {
        if ((++count & 0xFFFF) == 0 && stop.stop_requested())
            return {};
        ChannelReading* channel = channels[size_t(event.channel)].get();
        if (!channel || !event.on)
            continue;
        std::vector<int64_t>& ends = channel->ends;
        while (channel->endsPassed < ends.size() && ends[channel->endsPassed] <= event.tick)
            ++channel->endsPassed;
        if (channel->endsPassed >= size_t(channel->struck++))
            ++channel->alone; // every note before this one has ended
    }
    std::vector<MelodyCandidate> candidates;
    for (size_t c = 0; c < channels.size(); ++c) {
        const ChannelReading* channel = channels[c].get();
        if (!channel)
            continue;
        MelodyCandidate candidate;
        candidate.track = int(trackIndex);
        candidate.channel = int(c);
        candidate.program = track.programs[c];
        candidate.trackName = track.name;
        candidate.notes = track.notesPerChannel[c];
        candidate.lowestKey = channel->lowestKey;
        candidate.highestKey = channel->highestKey;
        candidate.score = Score(candidate.notes, channel->alone, channel->keys / candidate.notes,
                                track.name, candidate.program);
        candidates.push_back(std::move(candidate));
    }
    return candidates;
}
