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

/// A song's title from a text: each character in cp932, "?" for one that cp932 lacks or that
/// stands for bytes the text's own encoding could not read (U+FFFD), cut to a title's length
/// on a whole character.
std::string TitleToCp932(const QString& text);

/// The text of a name a MIDI file stores without saying its encoding: UTF-8 when the bytes
/// are, else cp932 when they read as Japanese, else Latin-1.
QString DecodeMidiText(const std::string& bytes);
