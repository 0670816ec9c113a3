// Compressed MusicXML (.mxl): a zip archive whose META-INF/container.xml names the score.
#include "musicxml.h"
#include "xmlreader.h"

#include <zip.h>

#include <cstdio>
#include <memory>

namespace {

constexpr char kContainerName[] = "META-INF/container.xml";
constexpr char kScoreName[] = "score.musicxml";
constexpr char kMimeType[] = "application/vnd.recordare.musicxml";

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

// An entry's bytes, read no further than kMaxMusicXmlBytes whatever its header says.
MusicXmlError ReadEntry(zip_t* archive, const char* name, QByteArray& out) {
    const zip_int64_t index = zip_name_locate(archive, name, 0);
    if (index < 0)
        return MusicXmlError::NoScoreInZip;
    zip_stat_t stat;
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) == 0 &&
        (stat.valid & ZIP_STAT_SIZE) && stat.size > zip_uint64_t(kMaxMusicXmlBytes))
        return MusicXmlError::TooLarge;
    zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    if (!file)
        return MusicXmlError::NotZip;
    QByteArray bytes;
    char chunk[64 * 1024];
    zip_int64_t got = 0;
    while ((got = zip_fread(file, chunk, sizeof chunk)) > 0) {
        bytes.append(chunk, qsizetype(got));
        if (bytes.size() > kMaxMusicXmlBytes)
            break;
    }
    zip_fclose(file);
    if (bytes.size() > kMaxMusicXmlBytes)
        return MusicXmlError::TooLarge;
    if (got < 0)
        return MusicXmlError::NotZip;
    out = std::move(bytes);
    return MusicXmlError::None;
}

// The path of a container's first rootfile.
class CContainerReader : public CXmlReader {
public:
    QByteArray m_path;
    bool m_found = false;

protected:
    void OnStartElement(std::string_view name, const char* const* attributes) override {
        if (name != "rootfile")
            return;
        const std::string_view path = Attribute(attributes, "full-path");
        m_path = QByteArray(path.data(), qsizetype(path.size()));
        m_found = true;
        StopReading();
    }
    void OnEndElement() override {}
    void OnText(std::string_view) override {}
};

// The first rootfile's path; NoScoreInZip when there is none or it names no file.
MusicXmlError RootFilePath(const QByteArray& container, QByteArray& path) {
    CContainerReader reader;
    const MusicXmlError error = reader.Parse(container).error;
    if (reader.m_found) {
        path = reader.m_path;
        return path.isEmpty() ? MusicXmlError::NoScoreInZip : MusicXmlError::None;
    }
    return error != MusicXmlError::None ? error : MusicXmlError::NoScoreInZip;
}

bool AddEntry(zip_t* archive, const char* name, const QByteArray& bytes, bool compress) {
    zip_source_t* source = zip_source_buffer(archive, bytes.constData(), bytes.size(), 0);
    if (!source)
        return false;
    const zip_int64_t index = zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    return zip_set_file_compression(archive, zip_uint64_t(index),
                                    compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) == 0;
}

} // namespace

bool LooksLikeZip(const QByteArray& bytes) {
    return bytes.startsWith("PK\x03\x04");
}

QByteArray PackMxl(const QByteArray& xml) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer)
        return {};
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!archive) {
        zip_source_free(buffer);
        return {};
    }
    zip_source_keep(buffer); // the archive's bytes are read from it after the close
    // The mime type comes first and stored, so that a reader can tell the type by its bytes.
    const QByteArray mimeType(kMimeType);
    const QByteArray container =
        QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<container>\n  <rootfiles>\n"
                          "    <rootfile full-path=\"score.musicxml\" "
                          "media-type=\"application/vnd.recordare.musicxml+xml\"/>\n"
                          "  </rootfiles>\n</container>\n");
    const bool added = AddEntry(archive, "mimetype", mimeType, false) &&
                       AddEntry(archive, kContainerName, container, true) &&
                       AddEntry(archive, kScoreName, xml, true);
    if (!added || zip_close(archive) != 0) {
        zip_discard(archive);
        zip_source_free(buffer);
        return {};
    }
    QByteArray out;
    if (zip_source_open(buffer) == 0) {
        zip_source_seek(buffer, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(buffer);
        zip_source_seek(buffer, 0, SEEK_SET);
        if (size > 0) {
            out.resize(qsizetype(size));
            if (zip_source_read(buffer, out.data(), zip_uint64_t(size)) != size)
                out.clear();
        }
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

MusicXmlReadResult UnpackMxl(const QByteArray& archiveBytes, QByteArray& xml) {
    if (archiveBytes.size() > kMaxMusicXmlBytes)
        return {MusicXmlError::TooLarge};
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archiveBytes.constData(),
                                                    zip_uint64_t(archiveBytes.size()), 0, &error);
    if (!source)
        return {MusicXmlError::NotZip};
    Archive archive(zip_open_from_source(source, ZIP_RDONLY, &error));
    if (!archive) {
        zip_source_free(source);
        return {MusicXmlError::NotZip};
    }
    QByteArray container;
    if (const MusicXmlError read = ReadEntry(archive.get(), kContainerName, container);
        read != MusicXmlError::None)
        return {read};
    QByteArray root;
    if (const MusicXmlError error = RootFilePath(container, root); error != MusicXmlError::None)
        return {error};
    QByteArray score;
    if (const MusicXmlError read = ReadEntry(archive.get(), root.constData(), score);
        read != MusicXmlError::None)
        return {read};
    xml = std::move(score);
    return {};
}
