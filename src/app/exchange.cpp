#include "exchange.h"

#include "dialogs/songmusicdlg.h"
#include "dialogs/trackchoicedlg.h"
#include "document/kesdoc.h"
#include "settings/safefile.h"
#include "settings/settingsfile.h"
#include "song/cp932.h"
#include "song/songcodec.h"
#include "songfilemessages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
    case MidiReadError::NoNotes:
        return ExchangeText::tr("音符がありません（ドラムを除く）。");
    case MidiReadError::NoSuchTrack:
        return ExchangeText::tr("トラック %1 には旋律にできる音符がありません。").arg(result.track);
    case MidiReadError::UnsupportedFormat:
        return ExchangeText::tr("フォーマット 2 の MIDI ファイルには対応していません。");
    case MidiReadError::NoNotesInRange:
        return ExchangeText::tr("旋律の音符がすべて曲に書けない高さです。");
    case MidiReadError::NotesBeyondSong:
        return ExchangeText::tr("旋律の最初の音符が %1 イベントの曲に収まりません"
                                "（その前の休符か、音符そのものが長すぎます）。")
            .arg(kMaxEvents);
    case MidiReadError::Cancelled:
        return ExchangeText::tr("読み込みを中止しました。");
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

std::string TitleToCp932(const std::string& bytes) {
    const QString text = DecodeMidiText(bytes);
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

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += size_t(written);
    }
    return true;
}

bool HasSuffix(const QString& path, std::initializer_list<const char*> suffixes) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const char* one : suffixes) {
        if (suffix == QLatin1String(one))
            return true;
    }
    return false;
}

// Whether the name of an output must carry the type's extension: not for standard output nor
// for a device or FIFO that is there already.
bool NamesItsType(const QString& path) {
    if (path == QLatin1String("-"))
        return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode);
}

} // namespace

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

QString PrintableName(const QString& name) {
    QString shown;
    shown.reserve(name.size());
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

bool IsSameFile(const QString& first, const QString& second) {
    struct stat a {};
    struct stat b {};
    return ::stat(QFile::encodeName(first).constData(), &a) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool WriteOutputFile(const QString& path, std::span<const uint8_t> bytes, QString* error) {
    if (path == QLatin1String("-")) {
        std::fflush(stdout);
        if (!WriteAll(STDOUT_FILENO, bytes)) {
            *error = ExchangeText::tr("標準出力に書き込めません: %1").arg(SystemError(errno));
            return false;
        }
        return true;
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) {
            *error = ExchangeText::tr("フォルダには書き出せません。");
            return false;
        }
        // A device or FIFO is written as it is, never replaced by a plain file.
        const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = ExchangeText::tr("ファイルを開けません: %1").arg(SystemError(errno));
            return false;
        }
        const bool written = WriteAll(fd, bytes);
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            *error = ExchangeText::tr("ファイルに書き込めません: %1").arg(SystemError(writeError));
            return false;
        }
        return true;
    }
    if (FileWriteError failure; !WriteFileSafely(name.toStdString(), bytes, &failure)) {
        *error = DescribeFileWriteError(failure);
        return false;
    }
    return true;
}

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
    return WriteOutputFile(path, bytes, error);
}

bool ReadMidiCandidates(const QString& path, std::vector<MelodyCandidate>& candidates,
                        QString* error, const std::stop_token& stop) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error))
        return false;
    const MidiReadResult result = ReadMelodyCandidates(
        {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())}, candidates,
        stop);
    if (result.error != MidiReadError::None) {
        *error = DescribeReadError(result);
        return false;
    }
    return true;
}

bool ImportSongFromMidi(const QString& path, MidiImport& import, QString* error,
                        MelodyChoice choice, const std::stop_token& stop) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error))
        return false;
    MidiImport read;
    const MidiReadResult result =
        DecodeMidiFile({reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())},
                       read, choice, stop);
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

void AppendTempoAndMeterRemarks(QStringList& parts, int tempoChangesFolded, int timeNumerator,
                                int timeDenominator, const TimeSignature& signature) {
    if (tempoChangesFolded > 0)
        parts << ExchangeText::tr("テンポ変更 %n 個を一つのテンポにまとめました", nullptr,
                                  tempoChangesFolded);
    if (timeNumerator > 0 &&
        (timeNumerator != signature.beatsPerBar || timeDenominator != signature.beatUnit))
        parts << ExchangeText::tr("ファイルは %1/%2 拍子です")
                     .arg(timeNumerator)
                     .arg(timeDenominator);
}

void AppendKeyRemark(QStringList& parts, const Song& song, bool keyDetected) {
    if (keyDetected && song.music.key)
        parts << ExchangeText::tr("調を音符から%1としました")
                     .arg(CSongMusicDlg::KeyName(*song.music.key));
}

QStringList ImportRemarks(const MidiImport& import, const TimeSignature& signature) {
    QStringList parts;
    AppendTempoAndMeterRemarks(parts, import.tempoChangesFolded, import.timeNumerator,
                               import.timeDenominator, import.song.music.time.value_or(signature));
    AppendKeyRemark(parts, import.song, import.keyDetected);
    if (import.lastTrackCut)
        parts << ExchangeText::tr("最後のトラックの長さをファイルの終わりまでとしました");
    if (import.extraTracks)
        parts << ExchangeText::tr("複数トラックのフォーマット 0 をフォーマット 1 として読みました");
    if (import.timeCode)
        parts << (import.dropFrameGuessed
                      ? ExchangeText::tr("SMPTE の 29.97 フレームを 30 フレームとして読みました")
                      : ExchangeText::tr("SMPTE の時間をテンポ 120 として読みました"));
    if (import.notesOutOfRange > 0)
        parts << ExchangeText::tr("音域外の音符 %n 個を除きました", nullptr,
                                  import.notesOutOfRange);
    if (import.notesTooShort > 0)
        parts << ExchangeText::tr("短すぎる音符 %n 個を除きました", nullptr, import.notesTooShort);
    if (import.truncated)
        parts << ExchangeText::tr("%1 イベントを超える分は読み込んでいません").arg(kMaxEvents);
    return parts;
}

QString DescribeImport(const MidiImport& import, const TimeSignature& signature) {
    const QStringList parts = ImportRemarks(import, signature);
    if (parts.isEmpty())
        return ExchangeText::tr("MIDI ファイルを読み込みました");
    return ExchangeText::tr("MIDI ファイルを読み込みました（%1）")
        .arg(parts.join(ExchangeText::tr("、")));
}

int RunConversion(Conversion conversion, const QString& outPath, const QString& inPath,
                  const ConversionOptions& options, QString* message) {
    const auto failWith = [&](const QString& path, const QString& text, int status) {
        *message = QStringLiteral("%1: %2").arg(Native(path), OneLine(text));
        return status;
    };
    if (outPath != QLatin1String("-") && IsSameFile(outPath, inPath))
        return failWith(outPath, ExchangeText::tr("出力が入力と同じファイルです"), 2);
    const bool named = NamesItsType(outPath);
    AudioFileType type = AudioFileType::Wav;
    if (conversion == Conversion::ExportMidi && named && !HasSuffix(outPath, {"mid", "midi"}))
        return failWith(outPath, ExchangeText::tr("名前の末尾は .mid または .midi にしてください"),
                        2);
    if ((conversion == Conversion::ImportMidi || conversion == Conversion::ImportMusicXml ||
         conversion == Conversion::ImportAbc) &&
        named && !HasSuffix(outPath, {"kes"}))
        return failWith(outPath, ExchangeText::tr("名前の末尾は .kes にしてください"), 2);
    if (conversion == Conversion::ExportMusicXml && named &&
        !HasSuffix(outPath, {"musicxml", "mxl", "xml"}))
        return failWith(outPath,
                        ExchangeText::tr("名前の末尾は .musicxml、.mxl または .xml にしてください"),
                        2);
    if (conversion == Conversion::ExportAudio &&
        !AudioFileTypeOfPath(QFile::encodeName(outPath).toStdString(), type) && named)
        return failWith(outPath,
                        ExchangeText::tr("名前の末尾は .wav、.flac または .ogg にしてください"), 2);
    if (conversion == Conversion::ExportAbc && named && !HasSuffix(outPath, {"abc"}))
        return failWith(outPath, ExchangeText::tr("名前の末尾は .abc にしてください"), 2);
    if (conversion == Conversion::ExportAbc || conversion == Conversion::ImportAbc)
        return RunAbcConversion(conversion, outPath, inPath, options, message);

    QString error;
    if (conversion == Conversion::ImportMidi) {
        MidiImport import;
        if (!ImportSongFromMidi(inPath, import, &error, options.melody))
            return failWith(inPath, error, 1);
        if (!WriteOutputFile(outPath, EncodeSong(import.song), &error))
            return failWith(outPath, error, 1);
        const TimeSignature signature = LoadSettings(DefaultSettingsPath()).GetTimeSignature();
        if (!ImportRemarks(import, signature).isEmpty())
            *message = DescribeImport(import, signature);
        return 0;
    }
    if (conversion == Conversion::ImportMusicXml) {
        MusicXmlImport import;
        if (!ImportSongFromMusicXml(inPath, import, &error, std::max(0, options.melody.track)))
            return failWith(inPath, error, 1);
        if (!WriteOutputFile(outPath, EncodeSong(import.song), &error))
            return failWith(outPath, error, 1);
        const TimeSignature signature = LoadSettings(DefaultSettingsPath()).GetTimeSignature();
        if (!MusicXmlImportRemarks(import, signature).isEmpty())
            *message = DescribeMusicXmlImport(import, signature);
        return 0;
    }
    CKesDoc document;
    if (SongFileError fileError; !document.OnOpenDocument(inPath, &fileError))
        return failWith(inPath, DescribeSongFileError(fileError), 1);
    const Song& song = document.GetSong();
    if (conversion == Conversion::ExportMidi || conversion == Conversion::ExportMusicXml) {
        const TimeSignature signature = LoadSettings(DefaultSettingsPath()).GetTimeSignature();
        const bool written = conversion == Conversion::ExportMidi
                                 ? ExportSongToMidi(song, signature, outPath, &error)
                                 : ExportSongToMusicXml(song, signature, outPath, &error);
        if (!written)
            return failWith(outPath, error, 1);
        return 0;
    }
    AudioRenderOptions render;
    render.normalize = options.normalize;
    if (const AudioRenderResult rendered =
            RenderSongToAudio(song, QFile::encodeName(outPath).toStdString(), type, {}, render);
        !rendered)
        return failWith(outPath, DescribeAudioFailure(rendered), 1);
    return 0;
}

int ListMidiTracks(const QString& path, QString* text, QString* message) {
    std::vector<MelodyCandidate> candidates;
    QString error;
    if (!ReadMidiCandidates(path, candidates, &error)) {
        *message = QStringLiteral("%1: %2").arg(Native(path), OneLine(error));
        return 1;
    }
    QStringList lines;
    lines << ExchangeText::tr("トラック  ch  音符数  音域       得点  音色 / 名前");
    for (const MelodyCandidate& candidate : candidates) {
        const QString range =
            QStringLiteral("%1-%2").arg(QString::fromStdString(MidiKeyName(candidate.lowestKey)),
                                        QString::fromStdString(MidiKeyName(candidate.highestKey)));
        lines << QStringLiteral("%1  %2  %3  %4  %5  %6 / %7")
                     .arg(candidate.track + 1, 8)
                     .arg(candidate.channel + 1, 2)
                     .arg(candidate.notes, 6)
                     .arg(range, -9)
                     .arg(candidate.score, 5, 'f', 1)
                     .arg(CTrackChoiceDlg::InstrumentName(candidate.program),
                          PrintableName(DecodeMidiText(candidate.trackName)));
    }
    *text = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return 0;
}
