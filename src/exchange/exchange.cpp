#include "exchange.h"

#include "exchangetext.h"
#include "outputfile.h"
#include "text/cp932.h"
#include "text/keynames.h"

#include <QFile>
#include <QFileInfo>

#include <vector>

namespace {

// Far more than 999 events can take; beyond this it is no melody for us.
constexpr qint64 kMaxMidiFileBytes = qint64(64) << 20;

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
    read.song.title = TitleToCp932(DecodeMidiText(read.title));
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
        parts << ExchangeText::tr("調を音符から%1としました").arg(SongKeyName(*song.music.key));
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
