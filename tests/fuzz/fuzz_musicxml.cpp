// Fuzz target: any bytes given to the MusicXML reader (unpacked first when they look like a
// zip archive) are read as musicxmlcheck.h expects.
#include "musicxmlcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray xml(reinterpret_cast<const char*>(data), qsizetype(size));
    if (LooksLikeZip(xml) && UnpackMxl(QByteArray(xml), xml).error != MusicXmlError::None)
        return 0;
    CheckScore(xml);
    return 0;
}
