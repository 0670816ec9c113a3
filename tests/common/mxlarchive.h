// Tests: a zip archive of any entries, for compressed MusicXML files the program would not
// write itself (a container naming another path, or none).
#pragma once

#include "formats/ziparchive.h"

#include <QByteArray>

#include <utility>
#include <vector>

/// The archive of `entries` (name, bytes) in order, each deflated; empty when zlib fails.
inline QByteArray MakeZip(const std::vector<std::pair<const char*, QByteArray>>& entries) {
    std::vector<ZipEntryToWrite> written;
    for (const auto& [name, bytes] : entries)
        written.push_back({name, bytes, true});
    return WriteZipArchive(written);
}

/// A container naming `path` as the score, as META-INF/container.xml holds it.
inline QByteArray ContainerNaming(const QByteArray& path) {
    return "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"" + path +
           "\" media-type=\"application/vnd.recordare.musicxml+xml\"/></rootfiles></container>";
}
