#include "musictime.h"

#include <algorithm>

namespace {

struct DurationRow {
    uint8_t code;
    int ticks;
};

constexpr DurationRow kDurations[] = {
    {0xC0, 1920}, {0xC1, 1440}, {0xC2, 960},  {0xC3, 720},  {0xC4, 480}, {0xC5, 360},
    {0xC6, 240},  {0xC7, 160},  {0xC8, 80},   {0xC9, 120},  {0xCA, 96},  {0xCB, 60},
    {0xCC, 30},   {0xCD, 15},   {0xCE, 1200}, {0xCF, 2360}, {0xD0, 600}, {0xD1, 1680},
};

constexpr const char* kNoteNames[12] = {"C ", "C#", "D ", "D#", "E ", "F ",
                                        "F#", "G ", "G#", "A ", "A#", "B "};

constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kVelocity = 127;

int GatherTiedUnitUntil(const Song& song, int& index, int end) {
    int length = 0;
    for (; index < end; ++index) {
        length += GetDurationTicks(song.events[size_t(index)].code);
        if (song.events[size_t(index)].pitch != kPitchTie)
            break;
    }
    return length;
}

} // namespace

int GetDurationTicks(uint8_t code) {
    for (const DurationRow& row : kDurations) {
        if (row.code == code)
            return row.ticks;
    }
    return 0;
}

int GetTicksPerBeat(const TimeSignature& signature) {
    const int unit = signature.beatUnit > 0 ? signature.beatUnit : 4;
    return kTicksPerWhole / unit;
}

int GetTicksPerBar(const TimeSignature& signature) {
    const int beats = signature.beatsPerBar > 0 ? signature.beatsPerBar : 1;
    return GetTicksPerBeat(signature) * beats;
}

BeatSplit SplitBeats(int ticks, const TimeSignature& signature) {
    const int perBeat = GetTicksPerBeat(signature);
    return {ticks / perBeat, ticks % perBeat};
}

BarBeatTick SplitBarBeat(uint32_t tick, const TimeSignature& signature) {
    const uint32_t perBeat = uint32_t(GetTicksPerBeat(signature));
    const uint32_t beatsPerBar = signature.beatsPerBar > 0 ? uint32_t(signature.beatsPerBar) : 1;
    const uint32_t beats = tick / perBeat;
    return {int(beats / beatsPerBar), int(beats % beatsPerBar), int(tick % perBeat)};
}

BarBeatTick SplitBarBeat(uint32_t tick, const Meter& meter) {
    if (meter.pickup <= 0)
        return SplitBarBeat(tick, meter.signature);
    // Counted as if a whole bar began before the song, so the pickup's beats are its last ones.
    return SplitBarBeat(tick + uint32_t(GetTicksPerBar(meter.signature) - meter.pickup),
                        meter.signature);
}

uint32_t BarStartTick(uint32_t tick, const Meter& meter) {
    const uint32_t perBar = uint32_t(GetTicksPerBar(meter.signature));
    const uint32_t pickup = uint32_t(std::max(0, meter.pickup));
    if (tick < pickup)
        return 0;
    return (tick - pickup) / perBar * perBar + pickup;
}

bool IsSongTimeSignature(const TimeSignature& signature) {
    const int unit = signature.beatUnit;
    return signature.beatsPerBar >= 1 && signature.beatsPerBar <= 99 &&
           (unit == 2 || unit == 4 || unit == 8 || unit == 16);
}

Meter SongMeter(const Song& song, const TimeSignature& fallback) {
    Meter meter{song.music.time.value_or(fallback), 0};
    if (song.music.pickup > 0 && song.music.pickup < GetTicksPerBar(meter.signature))
        meter.pickup = song.music.pickup;
    return meter;
}

std::array<char, 3> GetNoteName(uint8_t pitch) {
    const int n = pitch + kPitchToKey;
    const char* name = kNoteNames[n % 12];
    return {name[0], name[1], char('0' + n / 12 - 1)};
}

const std::array<uint8_t, 12> kLetterTable = {0x08, 0x18, 0x09, 0x19, 0x0A, 0x0B,
                                              0x1B, 0x0C, 0x1C, 0x0D, 0x1D, 0x0E};

int TempoFromByte(uint8_t tempoByte) {
    return 2 * int(tempoByte) - 132;
}

uint8_t TempoToByte(int tempo) {
    return uint8_t((tempo - 60) / 2 + 0x60);
}

void ComputeStartTicks(Song& song) {
    uint32_t tick = 0;
    for (int i = 0; i < song.count; ++i) {
        song.events[i].startTick = tick;
        tick += uint32_t(GetDurationTicks(song.events[i].code));
    }
    song.events[song.count].startTick = tick;
}

int GatherTiedUnit(const Song& song, int& index) {
    return GatherTiedUnitUntil(song, index, song.count);
}

std::vector<PlayEvent> BuildPerformance(const Song& song) {
    return BuildPerformance(song, 0, song.count);
}

std::vector<PlayEvent> BuildPerformance(const Song& song, int firstRow, int rowCount) {
    const int first = std::clamp(firstRow, 0, song.count);
    const int end = first + std::clamp(rowCount, 0, song.count - first);
    std::vector<PlayEvent> out;
    out.reserve(size_t(end - first) * 2);
    int32_t t = 0;
    int i = first;
    while (i < end) {
        const int length = GatherTiedUnitUntil(song, i, end);
        if (i >= end)
            break; // trailing ties sound nothing
        const uint8_t pitch = song.events[i].pitch;
        if (length != 0) {
            if (pitch == kPitchRest) {
                t += length;
            } else {
                const uint8_t key = uint8_t((pitch + kPitchToKey) & 0x7F);
                out.push_back({t, PackShortMessage(kNoteOn, key, kVelocity)});
                t += length;
                out.push_back({t - kReleaseGapTicks, PackShortMessage(kNoteOff, key, 0)});
            }
        }
        ++i;
    }
    return out;
}
