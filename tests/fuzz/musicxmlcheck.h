// The fuzz targets' check of a MusicXML score, plain or unpacked from an archive: the parts
// list as the part table shows them, and the import either fails without touching its result
// or gives a valid song that, written as a score again, reads back as the very same song.
#pragma once

#include "formats/midiimport.h"
#include "formats/musicxml.h"
#include "song/songcodec.h"

#include <cstdlib>

inline bool IsValidImportedSong(const Song& song) {
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

inline void CheckScore(const QByteArray& xml) {
    std::vector<MusicXmlPart> parts;
    const bool listed = ListMusicXmlParts(xml, parts).error == MusicXmlError::None;
    for (const MusicXmlPart& part : parts) {
        // The part table's row: its range as key names.
        if (MidiKeyName(part.lowestKey) == "?" || MidiKeyName(part.highestKey) == "?" ||
            part.lowestKey > part.highestKey || part.notes < 0)
            std::abort();
    }
    MusicXmlImport import;
    import.title = "unchanged";
    if (DecodeMusicXml(xml, import).error != MusicXmlError::None) {
        if (import.title != "unchanged" || import.song.count != 0)
            std::abort();
        return;
    }
    if (!listed || parts.empty() || !IsValidImportedSong(import.song))
        std::abort();
    MusicXmlImport back;
    if (DecodeMusicXml(EncodeMusicXml(import.song, TimeSignature{}), back).error !=
            MusicXmlError::None ||
        EncodeSong(back.song) != EncodeSong(import.song))
        std::abort();
}
