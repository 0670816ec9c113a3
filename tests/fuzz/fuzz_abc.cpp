// Fuzz target: any text given to the ABC reader is listed and read without a crash or a hang;
// a failed reading leaves the tune untouched and names a place, a successful one gives a valid
// song that, written as ABC again, reads back as the very same song.
#include "formats/abc.h"
#include "song/songcodec.h"

#include <cstdlib>

namespace {

bool IsValidSong(const Song& song) {
    if (song.count < 1 || song.count > kMaxEvents)
        return false;
    for (int i = 0; i < song.count; ++i) {
        const SongEvent& event = song.events[size_t(i)];
        if (GetDurationTicks(event.code) == 0 ||
            (event.pitch != kPitchRest && event.pitch != kPitchTie && event.pitch > 0x5F))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<AbcTuneInfo> tunes = ListAbcTunes(text);
    AbcTune tune;
    tune.title = "unchanged";
    const AbcReadResult result = DecodeAbc(text, tune);
    if (result.error != AbcError::None) {
        const bool placed = result.line > 0 && result.column > 0;
        const bool placeless =
            result.error == AbcError::NoTune || result.error == AbcError::NoSuchTune;
        if (tune.title != "unchanged" || tune.song.count != 0 || placed == placeless ||
            (!tunes.empty() && tunes.front().read.error != result.error))
            std::abort();
        return 0;
    }
    if (tunes.empty() || tunes.front().events != tune.song.count || !IsValidSong(tune.song))
        std::abort();
    AbcWriteOptions options;
    options.title = tune.title;
    options.key = tune.key;
    if (tune.meter.numerator > 0 && tune.meter.numerator <= 99 &&
        (tune.meter.denominator == 2 || tune.meter.denominator == 4 ||
         tune.meter.denominator == 8 || tune.meter.denominator == 16))
        options.signature = {tune.meter.numerator, tune.meter.denominator};
    options.pickup = tune.pickup;
    AbcTune back;
    if (DecodeAbc(EncodeAbc(tune.song, options), back).error != AbcError::None ||
        EncodeSong(back.song) != EncodeSong(tune.song) || back.title != tune.title)
        std::abort();
    return 0;
}
