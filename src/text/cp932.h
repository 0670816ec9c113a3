// Conversion between the program's text (QString) and the cp932 bytes that song and
// settings files keep.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

/// The cp932 bytes of a text, or nothing when the text holds a character cp932 lacks.
std::optional<std::string> EncodeCp932(const QString& text);

/// The text of cp932 bytes; a byte sequence that is not cp932 shows as U+FFFD.
QString DecodeCp932(const std::string& bytes);
QString DecodeCp932(const char* bytes, qsizetype length);
