#include "exchange.h"

#include "document/kesdoc.h"
#include "settings/settingsfile.h"
#include "song/cp932.h"
#include "song/songcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <vector>

namespace {

// Far more than 999 events can take; beyond this it is no melody for us.
constexpr qint64 kMaxMidiFileBytes = qint64(64) << 20;

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString DescribeReadError(const MidiReadResult& result) {
    QString what;
    switch (result.error) {
    case MidiReadError::NotMidi:
        return QStringLiteral("Standard MIDI File ではありません（先頭に MThd がありません）。");
    case MidiReadError::BadHeader:
        return QStringLiteral(
            "MIDI ファイルのヘッダが壊れています（形式、トラック数または分解能）。");
    case MidiReadError::SmpteDivision:
        return QStringLiteral("SMPTE タイムコードの分解能には対応していません。");
    case MidiReadError::UnsupportedFormat:
        return QStringLiteral("フォーマット 2 の MIDI ファイルには対応していません。");
    case MidiReadError::TrackMissing:
        what = QStringLiteral("ヘッダにあるトラックの前でファイルが終わっています");
        break;
    case MidiReadError::ChunkPastEnd:
        what = QStringLiteral("チャンクの長さがファイルの終わりを越えています");
        break;
    case MidiReadError::BadEvent:
        what = QStringLiteral("不正なイベントがあります");
        break;
    case MidiReadError::EventPastEnd:
        what = QStringLiteral("イベントがトラックの終わりを越えています");
        break;
    case MidiReadError::None:
        return {};
    }
    QString where = QStringLiteral("%1 バイト目").arg(result.offset);
    if (result.track > 0)
        where = QStringLiteral("トラック %1、").arg(result.track) + where;
    return QStringLiteral("MIDI ファイルが壊れています: %1（%2）。").arg(what, where);
}

// The title's text: UTF-8 when the bytes are UTF-8, else cp932 as older files have it.
std::string TitleToCp932(const std::string& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (utf8.hasError())
        text = DecodeCp932(bytes);
    std::string out;
    for (const QChar& c : text) {
        if (c.isSurrogate() || c == QChar(0xFFFD)) {
            out += '?';
            continue;
        }
        const std::optional<std::string> one = EncodeCp932(QString(c));
        out += one ? *one : std::string("?");
    }
    return TruncateTitle(out);
}

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("ファイルがありません。");
        return false;
    }
    if (!info.isFile()) {
        *error = QStringLiteral("通常のファイルではありません。");
        return false;
    }
    if (info.size() > kMaxMidiFileBytes) {
        *error =
            QStringLiteral("MIDI ファイルとしては大きすぎます（%1 バイト）。").arg(info.size());
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("ファイルを開けません: %1").arg(file.errorString());
        return false;
    }
    bytes = file.read(kMaxMidiFileBytes + 1);
    if (bytes.size() > kMaxMidiFileBytes) {
        *error = QStringLiteral("MIDI ファイルとしては大きすぎます。");
        return false;
    }
    return true;
}

QString OneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

} // namespace

QStringList AudioFileFilters() {
    QStringList filters;
    for (AudioFileType type : AvailableAudioFileTypes()) {
        switch (type) {
        case AudioFileType::Wav:
            filters << QStringLiteral("WAV (*.wav)");
            break;
        case AudioFileType::Flac:
            filters << QStringLiteral("FLAC (*.flac)");
            break;
        case AudioFileType::Ogg:
            filters << QStringLiteral("OGG Vorbis (*.ogg)");
            break;
        }
    }
    return filters;
}

AudioFileType AudioFileTypeOfFilter(const QString& filter) {
    if (filter.startsWith(QLatin1String("FLAC")))
        return AudioFileType::Flac;
    if (filter.startsWith(QLatin1String("OGG")))
        return AudioFileType::Ogg;
    return AudioFileType::Wav;
}

bool ExportSongToMidi(const Song& song, const TimeSignature& signature, const QString& path,
                      QString* error) {
    const std::vector<uint8_t> bytes =
        EncodeMidiFile(song, signature, DecodeCp932(song.title).toStdString());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("ファイルを作成できません: %1").arg(file.errorString());
        return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    if (!file.commit()) {
        *error = QStringLiteral("ファイルに書き込めません: %1").arg(file.errorString());
        return false;
    }
    return true;
}

bool ImportSongFromMidi(const QString& path, MidiImport& import, QString* error) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error))
        return false;
    MidiImport read;
    const MidiReadResult result = DecodeMidiFile(
        {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())}, read);
    if (result.error != MidiReadError::None) {
        *error = DescribeReadError(result);
        return false;
    }
    read.song.title = TitleToCp932(read.title);
    import = std::move(read);
    return true;
}

QString DescribeImport(const MidiImport& import) {
    QStringList parts;
    if (import.notesOutOfRange > 0)
        parts << QStringLiteral("音域外の音符 %1 個を除きました").arg(import.notesOutOfRange);
    if (import.notesTooShort > 0)
        parts << QStringLiteral("短すぎる音符 %1 個を除きました").arg(import.notesTooShort);
    if (import.truncated)
        parts << QStringLiteral("%1 イベントを超える分は読み込んでいません").arg(kMaxEvents);
    if (parts.isEmpty())
        return QStringLiteral("MIDI ファイルを読み込みました");
    return QStringLiteral("MIDI ファイルを読み込みました（%1）")
        .arg(parts.join(QStringLiteral("、")));
}

int RunConversion(Conversion conversion, const QString& outPath, const QString& inPath,
                  QString* message) {
    CKesDoc document;
    QString error;
    if (conversion == Conversion::ImportMidi) {
        MidiImport import;
        if (!ImportSongFromMidi(inPath, import, &error)) {
            *message = QStringLiteral("%1: %2").arg(Native(inPath), OneLine(error));
            return 1;
        }
        document.ReplaceSong(import.song);
        if (!document.OnSaveDocument(outPath, &error)) {
            *message = QStringLiteral("%1: %2").arg(Native(outPath), OneLine(error));
            return 1;
        }
        if (import.notesOutOfRange > 0 || import.notesTooShort > 0 || import.truncated)
            *message = DescribeImport(import);
        return 0;
    }
    if (!document.OnOpenDocument(inPath, &error)) {
        *message = QStringLiteral("%1: %2").arg(Native(inPath), OneLine(error));
        return 1;
    }
    const Song& song = document.GetSong();
    if (conversion == Conversion::ExportMidi) {
        const TimeSignature signature = LoadSettings(DefaultSettingsPath()).GetTimeSignature();
        if (!ExportSongToMidi(song, signature, outPath, &error)) {
            *message = QStringLiteral("%1: %2").arg(Native(outPath), OneLine(error));
            return 1;
        }
        return 0;
    }
    AudioFileType type;
    if (!AudioFileTypeOfPath(QFile::encodeName(outPath).toStdString(), type)) {
        *message =
            QStringLiteral("%1: the name must end in .wav, .flac or .ogg").arg(Native(outPath));
        return 2;
    }
    if (const MidiStatus rendered =
            RenderSongToAudio(song, QFile::encodeName(outPath).toStdString(), type, {});
        !rendered) {
        *message =
            QStringLiteral("%1: %2").arg(Native(outPath), QString::fromStdString(rendered.Text()));
        return 1;
    }
    return 0;
}
