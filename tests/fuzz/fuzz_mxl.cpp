// Fuzz target: compressed MusicXML around fuzzed XML, so that mutations reach the reading
// of the archive's container and score rather than failing the zip checks. The first byte
// chooses: even, the bytes after it are the score of a well-formed archive; odd, they are
// the container up to the first NUL and the score after it.
#include "musicxmlcheck.h"
#include "mxlarchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const bool ownContainer = data[0] & 1;
    const qsizetype split = ownContainer ? rest.indexOf('\0') : -1;
    const QByteArray container = split >= 0 ? rest.left(split) : ContainerNaming("score.musicxml");
    const QByteArray score = split >= 0 ? rest.mid(split + 1) : rest;
    const QByteArray archive = MakeZip({{"mimetype", "application/vnd.recordare.musicxml"},
                                        {"META-INF/container.xml", container},
                                        {"score.musicxml", score}});
    if (archive.isEmpty())
        std::abort();
    QByteArray xml;
    const MusicXmlError unpacked = UnpackMxl(archive, xml).error;
    // The program's own container always finds the score.
    if (!ownContainer && (unpacked != MusicXmlError::None || xml != score))
        std::abort();
    if (unpacked == MusicXmlError::None)
        CheckScore(xml);
    return 0;
}
