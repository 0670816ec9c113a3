#include "cp932.h"

#include "song/songcodec.h"

#include <QStringDecoder>

#include <iconv.h>

#include <cerrno>
#include <cstring>

// The C library's CP932 table (Microsoft's) through iconv: it is the code page the files were
// written in, byte for byte, and it costs a small module where a full Unicode library would
// weigh a megabyte at start-up.

namespace {

/// One conversion direction, opened on first use by each thread (a descriptor keeps state and
/// may not be shared) and kept for the thread's life.
class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv() {
        if (IsOpen())
            iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;

    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    /// Converts as much of the input as it can, appending to out; false stops at a sequence
    /// it can't convert (errno tells which kind), with in and inLeft at that sequence.
    bool Convert(char*& in, size_t& inLeft, std::string& out) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t result = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, size_t(outPtr - buffer));
            if (result == size_t(-1) && errno != E2BIG)
                return false;
        }
        return true;
    }

private:
    iconv_t m_cd;
};

CIconv& Decoder() {
    thread_local CIconv decoder("UTF-16LE", "CP932");
    return decoder;
}

CIconv& Encoder() {
    thread_local CIconv encoder("CP932", "UTF-16LE");
    return encoder;
}

bool IsAscii(const char* bytes, qsizetype length) {
    for (qsizetype i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    }
    return true;
}

bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsTrailByte(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

QString FromUtf16(const std::string& utf16) {
    return QString(reinterpret_cast<const QChar*>(utf16.data()), qsizetype(utf16.size() / 2));
}

} // namespace

std::optional<std::string> EncodeCp932(const QString& text) {
    // cp932's first 128 codes are ASCII's, so most names need no table.
    bool ascii = true;
    for (const QChar ch : text)
        ascii = ascii && ch.unicode() < 0x80;
    if (ascii)
        return text.toLatin1().toStdString();
    CIconv& encoder = Encoder();
    if (!encoder.IsOpen())
        return std::nullopt;
    std::string utf16(reinterpret_cast<const char*>(text.utf16()), size_t(text.size()) * 2);
    char* in = utf16.data();
    size_t inLeft = utf16.size();
    std::string bytes;
    if (!encoder.Convert(in, inLeft, bytes))
        return std::nullopt;
    // A character the table maps only one way (to a look-alike) would come back as another:
    // a round trip tells.
    if (DecodeCp932(bytes) != text)
        return std::nullopt;
    return bytes;
}

QString DecodeCp932(const char* bytes, qsizetype length) {
    if (IsAscii(bytes, length))
        return QString::fromLatin1(bytes, length);
    CIconv& decoder = Decoder();
    if (!decoder.IsOpen())
        return QString(length, QChar::ReplacementCharacter);
    std::string input(bytes, size_t(length));
    char* in = input.data();
    size_t inLeft = input.size();
    std::string utf16;
    while (!decoder.Convert(in, inLeft, utf16)) {
        // One replacement character for each byte that starts nothing, for a lead byte the
        // text ends on, and for a lead and trail pair the table leaves empty.
        const auto byte = static_cast<unsigned char>(in[0]);
        const size_t skip =
            inLeft >= 2 && IsLeadByte(byte) && IsTrailByte(static_cast<unsigned char>(in[1])) ? 2
                                                                                              : 1;
        utf16.append("\xFD\xFF", 2);
        in += skip;
        inLeft -= skip;
    }
    return FromUtf16(utf16);
}

QString DecodeCp932(const std::string& bytes) {
    return DecodeCp932(bytes.data(), qsizetype(bytes.size()));
}

std::string TitleToCp932(const QString& text) {
    std::string out;
    for (const QChar& c : text) {
        const std::optional<std::string> one =
            c.isSurrogate() || c == QChar(0xFFFD) ? std::nullopt : EncodeCp932(QString(c));
        out += one ? *one : std::string("?");
    }
    return TruncateTitle(out);
}

QString DecodeMidiText(const std::string& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!utf8.hasError())
        return text;
    // Older Japanese files hold cp932; a text that reads as cp932 only by accident shows
    // no full-width character or a half-width katakana that Latin-1 letters would give.
    const QString japanese = DecodeCp932(bytes);
    bool wide = false;
    bool plausible = true;
    for (const QChar c : japanese) {
        if (c == QChar(0xFFFD) || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F))
            plausible = false;
        if ((c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF) ||
            (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E))
            wide = true;
    }
    if (plausible && wide)
        return japanese;
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}
