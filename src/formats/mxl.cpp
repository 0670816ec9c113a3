// Compressed MusicXML (.mxl): a zip archive whose META-INF/container.xml names the score.
#include "musicxml.h"
#include "xmlreader.h"
#include "ziparchive.h"

namespace {

constexpr char kContainerName[] = "META-INF/container.xml";
constexpr char kScoreName[] = "score.musicxml";
constexpr char kMimeType[] = "application/vnd.recordare.musicxml";

MusicXmlError ReadEntry(const CZipArchiveReader& archive, const std::string& name,
                        QByteArray& out) {
    switch (archive.Read(name, kMaxMusicXmlBytes, out)) {
    case CZipArchiveReader::Result::Ok:
        return MusicXmlError::None;
    case CZipArchiveReader::Result::NoEntry:
        return MusicXmlError::NoScoreInZip;
    case CZipArchiveReader::Result::TooLarge:
        return MusicXmlError::TooLarge;
    case CZipArchiveReader::Result::Damaged:
        break;
    }
    return MusicXmlError::NotZip;
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

} // namespace

bool LooksLikeZip(const QByteArray& bytes) {
    return bytes.startsWith("PK\x03\x04");
}

QByteArray PackMxl(const QByteArray& xml) {
    const QByteArray container =
        QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<container>\n  <rootfiles>\n"
                          "    <rootfile full-path=\"score.musicxml\" "
                          "media-type=\"application/vnd.recordare.musicxml+xml\"/>\n"
                          "  </rootfiles>\n</container>\n");
    // The mime type comes first and stored, so that a reader can tell the type by its bytes.
    return WriteZipArchive({{"mimetype", QByteArray(kMimeType), false},
                            {kContainerName, container, true},
                            {kScoreName, xml, true}});
}

MusicXmlReadResult UnpackMxl(const QByteArray& archiveBytes, QByteArray& xml) {
    if (archiveBytes.size() > kMaxMusicXmlBytes)
        return {MusicXmlError::TooLarge};
    const CZipArchiveReader archive(archiveBytes);
    if (!archive.IsValid())
        return {MusicXmlError::NotZip};
    QByteArray container;
    if (const MusicXmlError read = ReadEntry(archive, kContainerName, container);
        read != MusicXmlError::None)
        return {read};
    QByteArray root;
    if (const MusicXmlError error = RootFilePath(container, root); error != MusicXmlError::None)
        return {error};
    QByteArray score;
    if (const MusicXmlError read = ReadEntry(archive, root.toStdString(), score);
        read != MusicXmlError::None)
        return {read};
    xml = std::move(score);
    return {};
}
