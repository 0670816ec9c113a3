// Compressed MusicXML (.mxl): a zip archive whose META-INF/container.xml names the score.
#include "musicxml.h"
#include "ziparchive.h"

#include <QXmlStreamReader>

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

// The first rootfile's path; empty when there is none.
QByteArray RootFilePath(const QByteArray& container, MusicXmlError& error) {
    QXmlStreamReader xml(container);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isDTD() && !xml.entityDeclarations().isEmpty()) {
            error = MusicXmlError::DeclaresEntities;
            return {};
        }
        if (xml.isStartElement() && xml.name() == QLatin1String("rootfile"))
            return xml.attributes().value(QLatin1String("full-path")).toUtf8();
    }
    error = xml.hasError() ? MusicXmlError::Malformed : MusicXmlError::NoScoreInZip;
    return {};
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
    MusicXmlError rootError = MusicXmlError::None;
    const QByteArray root = RootFilePath(container, rootError);
    if (root.isEmpty())
        return {rootError};
    QByteArray score;
    if (const MusicXmlError read = ReadEntry(archive, root.toStdString(), score);
        read != MusicXmlError::None)
        return {read};
    xml = std::move(score);
    return {};
}
