#include "cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
constexpr const char* kCodec = "Shift_JIS";
}

std::optional<std::string> EncodeCp932(const QString& text) {
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return std::nullopt;
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    // The encoder may substitute '?' for characters it cannot map without flagging an
    // error; a round trip tells.
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    if (QString(decoder.decode(bytes)) != text)
        return std::nullopt;
    return bytes.toStdString();
}

QString DecodeCp932(const char* bytes, qsizetype length) {
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, length));
}

QString DecodeCp932(const std::string& bytes) {
    return DecodeCp932(bytes.data(), qsizetype(bytes.size()));
}
