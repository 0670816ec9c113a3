#include "exchange.h"

#include "document/kesdoc.h"
#include "settings/settingsfile.h"
#include "song/cp932.h"
#include "song/songcodec.h"
#include "songfilemessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <vector>

namespace {

struct ExchangeText {
    Q_DECLARE_TR_FUNCTIONS(Exchange)
};

// Far more than 999 events can take; beyond this it is no melody for us.
constexpr qint64 kMaxMidiFileBytes = qint64(64) << 20;

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString DescribeReadError(const MidiReadResult& result) {
    QString what;
    switch (result.error) {
    case MidiReadError::NotMidi:
        return ExchangeText::tr("Standard MIDI File ではありません（先頭に MThd がありません）。");
    case MidiReadError::BadHeader:
        return ExchangeText::tr(
            "MIDI ファイルのヘッダが壊れています（形式、トラック数または分解能）。");
    case MidiReadError::SmpteDivision:
        return ExchangeText::tr("SMPTE タイムコードの分解能には対応していません。");
    case MidiReadError::UnsupportedFormat:
        return ExchangeText::tr("フォーマット 2 の MIDI ファイルには対応していません。");
    case MidiReadError::TrackMissing:
        what = ExchangeText::tr("ヘッダにあるトラックの前でファイルが終わっています");
        break;
    case MidiReadError::ChunkPastEnd:
        what = ExchangeText::tr("チャンクの長さがファイルの終わりを越えています");
        break;
    case MidiReadError::BadEvent:
        what = ExchangeText::tr("不正なイベントがあります");
        break;
    case MidiReadError::EventPastEnd:
        what = ExchangeText::tr("イベントがトラックの終わりを越えています");
        break;
    case MidiReadError::None:
        return {};
    }
    QString where = ExchangeText::tr("%1 バイト目").arg(result.offset);
    if (result.track > 0)
        where = ExchangeText::tr("トラック %1、").arg(result.track) + where;
    return ExchangeText::tr("MIDI ファイルが壊れています: %1（%2）。").arg(what, where);
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
        *error = ExchangeText::tr("ファイルがありません。");
        return false;
    }
    if (!info.isFile()) {
        *error = ExchangeText::tr("通常のファイルではありません。");
        return false;
    }
    if (info.size() > kMaxMidiFileBytes) {
        *error =
            ExchangeText::tr("MIDI ファイルとしては大きすぎます（%1 バイト）。").arg(info.size());
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = ExchangeText::tr("ファイルを開けません: %1").arg(file.errorString());
        return false;
    }
    bytes = file.read(kMaxMidiFileBytes + 1);
    if (bytes.size() > kMaxMidiFileBytes) {
        *error = ExchangeText::tr("MIDI ファイルとしては大きすぎます。");
        return false;
    }
    return true;
}

QString OneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

} // namespace

QString SongFileFilter() {
    return ExchangeText::tr("Velori Files (*.kes)");
}

QString MidiFileFilter() {
    return ExchangeText::tr("Standard MIDI File (*.mid *.midi)");
}

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
        *error = ExchangeText::tr("ファイルを作成できません: %1").arg(file.errorString());
        return false;
    }
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    if (!file.commit()) {
        *error = ExchangeText::tr("ファイルに書き込めません: %1").arg(file.errorString());
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

QString DescribeAudioFailure(const AudioRenderResult& result) {
    using Failure = AudioRenderResult::Failure;
    const auto system = [&result] { return qt_error_string(result.systemError); };
    const QString subject = QString::fromLocal8Bit(result.subject.c_str());
    switch (result.failure) {
    case Failure::None:
    case Failure::Cancelled:
        break;
    case Failure::NoLibrary:
        return ExchangeText::tr("FluidSynth のライブラリ（libfluidsynth.so.3）を読み込めません。");
    case Failure::NoSoundFont:
        return ExchangeText::tr("General MIDI のサウンドフォントが見つかりません"
                                "（timgm6mb-soundfont をインストールしてください）。");
    case Failure::CannotCreate:
        return ExchangeText::tr("同じフォルダにファイルを作成できません: %1").arg(system());
    case Failure::SynthFailed:
        return ExchangeText::tr("FluidSynth を開始できません。");
    case Failure::TypeUnsupported:
        return ExchangeText::tr("この FluidSynth は %1 ファイルを書き出せません。").arg(subject);
    case Failure::SoundFontUnreadable:
        return ExchangeText::tr("サウンドフォント %1 を読み込めません。").arg(subject);
    case Failure::CannotWrite:
        return result.systemError ? ExchangeText::tr("ファイルに書き込めません: %1").arg(system())
                                  : ExchangeText::tr("ファイルに書き込めません。");
    }
    return {};
}

QString DescribeImport(const MidiImport& import) {
    QStringList parts;
    if (import.notesOutOfRange > 0)
        parts << ExchangeText::tr("音域外の音符 %1 個を除きました").arg(import.notesOutOfRange);
    if (import.notesTooShort > 0)
        parts << ExchangeText::tr("短すぎる音符 %1 個を除きました").arg(import.notesTooShort);
    if (import.truncated)
        parts << ExchangeText::tr("%1 イベントを超える分は読み込んでいません").arg(kMaxEvents);
    if (parts.isEmpty())
        return ExchangeText::tr("MIDI ファイルを読み込みました");
    return ExchangeText::tr("MIDI ファイルを読み込みました（%1）")
        .arg(parts.join(ExchangeText::tr("、")));
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
        if (SongFileError fileError; !document.OnSaveDocument(outPath, &fileError)) {
            *message = QStringLiteral("%1: %2").arg(Native(outPath),
                                                    OneLine(DescribeSongFileError(fileError)));
            return 1;
        }
        if (import.notesOutOfRange > 0 || import.notesTooShort > 0 || import.truncated)
            *message = DescribeImport(import);
        return 0;
    }
    if (SongFileError fileError; !document.OnOpenDocument(inPath, &fileError)) {
        *message =
            QStringLiteral("%1: %2").arg(Native(inPath), OneLine(DescribeSongFileError(fileError)));
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
        *message = ExchangeText::tr("%1: 名前の末尾は .wav、.flac または .ogg にしてください")
                       .arg(Native(outPath));
        return 2;
    }
    if (const AudioRenderResult rendered =
            RenderSongToAudio(song, QFile::encodeName(outPath).toStdString(), type, {});
        !rendered) {
        *message = QStringLiteral("%1: %2").arg(Native(outPath), DescribeAudioFailure(rendered));
        return 1;
    }
    return 0;
}
