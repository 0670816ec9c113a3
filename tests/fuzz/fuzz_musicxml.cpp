// Fuzz target: any bytes given to the MusicXML reader (unpacked first when they look like a
// zip archive) either fail without touching the import or give a valid song that, written as
// a score again, reads back as the very same song.
#include "formats/musicxml.h"
#include "song/songcodec.h"

#include <cstdlib>

namespace {

bool IsValidSong(const Song& song) {
    if (song.count < 0 || song.count > kMaxEvents)
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
    QByteArray xml(reinterpret_cast<const char*>(data), qsizetype(size));
    if (LooksLikeZip(xml) && UnpackMxl(QByteArray(xml), xml).error != MusicXmlError::None)
        return 0;
    std::vector<MusicXmlPart> parts;
    const bool listed = ListMusicXmlParts(xml, parts).error == MusicXmlError::None;
    MusicXmlImport import;
    import.title = "unchanged";
    if (DecodeMusicXml(xml, import).error != MusicXmlError::None) {
        if (import.title != "unchanged" || import.song.count != 0)
            std::abort();
        return 0;
    }
    if (!listed || parts.empty() || !IsValidSong(import.song))
        std::abort();
    MusicXmlImport back;
    if (DecodeMusicXml(EncodeMusicXml(import.song, TimeSignature{}), back).error !=
            MusicXmlError::None ||
        EncodeSong(back.song) != EncodeSong(import.song))
        std::abort();
    return 0;
}
