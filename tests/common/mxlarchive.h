// Tests: a zip archive of any entries, for compressed MusicXML files the program would not
// write itself (a container naming another path, or none).
#pragma once

#include <QByteArray>

#include <zip.h>

#include <cstdio>
#include <utility>
#include <vector>

/// The archive of `entries` (name, bytes) in order; empty when libzip fails.
inline QByteArray MakeZip(const std::vector<std::pair<const char*, QByteArray>>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (!archive) {
        zip_source_free(buffer);
        return {};
    }
    zip_source_keep(buffer);
    bool added = true;
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.constData(), bytes.size(), 0);
        if (!source || zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            added = false;
        }
    }
    const bool closed = added && zip_close(archive) == 0;
    if (!closed)
        zip_discard(archive);
    QByteArray out;
    if (closed && zip_source_open(buffer) == 0) {
        zip_source_seek(buffer, 0, SEEK_END);
        out.resize(qsizetype(zip_source_tell(buffer)));
        zip_source_seek(buffer, 0, SEEK_SET);
        if (zip_source_read(buffer, out.data(), zip_uint64_t(out.size())) != out.size())
            out.clear();
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

/// A container naming `path` as the score, as META-INF/container.xml holds it.
inline QByteArray ContainerNaming(const QByteArray& path) {
    return "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"" + path +
           "\" media-type=\"application/vnd.recordare.musicxml+xml\"/></rootfiles></container>";
}
