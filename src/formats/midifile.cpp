#include "midifile.h"

#include "smf.h"
#include "song/musickey.h"

#include <algorithm>

namespace {

int Log2OfBeatUnit(int unit) {
    int power = 0;
    while (unit > 1 && power < 7) {
        unit >>= 1;
        ++power;
    }
    return power;
}

} // namespace

uint32_t MidiTempoOfByte(uint8_t tempoByte) {
    // Playback takes a tempo below 1 as 1; the event holds 24 bits.
    const int bpm = std::max(1, TempoFromByte(tempoByte));
    return std::min<uint32_t>(0xFFFFFF, uint32_t((60000000 + bpm / 2) / bpm));
}

std::vector<uint8_t> EncodeMidiFile(const Song& song, const TimeSignature& signature,
                                    const std::string& title) {
    // All meta events lie at tick 0.
    std::vector<uint8_t> track;
    track.reserve(size_t(song.count) * 8 + title.size() + 32);
    if (!title.empty())
        PutMetaEvent(track, 0, 0x03,
                     {reinterpret_cast<const uint8_t*>(title.data()), title.size()});
    const uint32_t tempo = MidiTempoOfByte(song.tempo);
    const uint8_t tempoBytes[3] = {uint8_t(tempo >> 16), uint8_t(tempo >> 8), uint8_t(tempo)};
    PutMetaEvent(track, 0, 0x51, tempoBytes);
    const TimeSignature time = SongMeter(song, signature).signature;
    const int unit = time.beatUnit > 0 ? time.beatUnit : 4;
    const uint8_t signatureBytes[4] = {uint8_t(std::clamp(time.beatsPerBar, 1, 255)),
                                       uint8_t(Log2OfBeatUnit(unit)),
                                       uint8_t(std::max(1, 96 / unit)), 8};
    PutMetaEvent(track, 0, 0x58, signatureBytes);
    if (const std::optional<SongKey> key = song.music.key ? song.music.key : DetectKey(song)) {
        const uint8_t keyBytes[2] = {uint8_t(int8_t(key->fifths)), uint8_t(key->minor)};
        PutMetaEvent(track, 0, 0x59, keyBytes);
    }

    int32_t now = 0;
    for (const PlayEvent& event : BuildPerformance(song)) {
        PutShortMessage(track, uint32_t(std::max(0, event.tick - now)), event.message);
        now = std::max(now, event.tick);
    }
    int32_t end = 0;
    for (int i = 0; i < song.count; ++i)
        end += GetDurationTicks(song.events[size_t(i)].code);
    PutEndOfTrack(track, uint32_t(std::max(0, end - now)));
    return MakeFormat0File(kMidiFileDivision, track);
}
