#include "conversion.h"

#include "document/kesdoc.h"
#include "exchange.h"
#include "exchangetext.h"
#include "formats/generalmidi.h"
#include "outputfile.h"
#include "song/songcodec.h"
#include "songfilemessages.h"
#include "text/cp932.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool HasSuffix(const QString& path, std::initializer_list<const char*> suffixes) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const char* one : suffixes) {
        if (suffix == QLatin1String(one))
            return true;
    }
    return false;
}

// The ABC conversions of RunConversion, once the names are checked.
int RunAbcConversion(Conversion conversion, const QString& outPath, const QString& inPath,
                     const ConversionOptions& options, QString* message) {
    const auto failWith = [&](const QString& path, const QString& text, int status) {
        *message = QStringLiteral("%1: %2").arg(Native(path), OneLine(text));
        return status;
    };
    const TimeSignature& signature = options.signature;
    QString error;
    if (conversion == Conversion::ExportAbc) {
        CKesDoc document;
        if (SongFileError fileError; !document.OnOpenDocument(inPath, &fileError))
            return failWith(inPath, DescribeSongFileError(fileError), 1);
        if (!ExportSongToAbc(document.GetSong(), signature, outPath, &error))
            return failWith(outPath, error, 1);
        return 0;
    }
    QByteArray bytes;
    if (!ReadAbcFile(inPath, bytes, &error))
        return failWith(inPath, error, 1);
    int index = 0;
    if (options.tune >= 0) {
        index = FindAbcTune({bytes.constData(), size_t(bytes.size())}, options.tune);
        if (index < 0)
            return failWith(inPath, ExchangeText::tr("X:%1 の曲がありません").arg(options.tune), 1);
    }
    AbcTune import;
    if (!ImportSongFromAbcText(bytes, import, &error, index))
        return failWith(inPath, error, 1);
    if (!WriteOutputFile(outPath, EncodeSong(import.song), &error))
        return failWith(outPath, error, 1);
    if (!AbcImportRemarks(import, signature).isEmpty())
        *message = DescribeAbcImport(import, signature);
    return 0;
}

} // namespace

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
        if (!ImportRemarks(import, options.signature).isEmpty())
            *message = DescribeImport(import, options.signature);
        return 0;
    }
    if (conversion == Conversion::ImportMusicXml) {
        MusicXmlImport import;
        if (!ImportSongFromMusicXml(inPath, import, &error, std::max(0, options.melody.track)))
            return failWith(inPath, error, 1);
        if (!WriteOutputFile(outPath, EncodeSong(import.song), &error))
            return failWith(outPath, error, 1);
        if (!MusicXmlImportRemarks(import, options.signature).isEmpty())
            *message = DescribeMusicXmlImport(import, options.signature);
        return 0;
    }
    CKesDoc document;
    if (SongFileError fileError; !document.OnOpenDocument(inPath, &fileError))
        return failWith(inPath, DescribeSongFileError(fileError), 1);
    const Song& song = document.GetSong();
    if (conversion == Conversion::ExportMidi || conversion == Conversion::ExportMusicXml) {
        const bool written = conversion == Conversion::ExportMidi
                                 ? ExportSongToMidi(song, options.signature, outPath, &error)
                                 : ExportSongToMusicXml(song, options.signature, outPath, &error);
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
                     .arg(GeneralMidiInstrumentName(candidate.program),
                          PrintableName(DecodeMidiText(candidate.trackName)));
    }
    *text = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return 0;
}

int ListAbcFileTunes(const QString& path, QString* text, QString* message) {
    std::vector<AbcTuneInfo> tunes;
    QString error;
    if (!ReadAbcTunes(path, tunes, &error)) {
        *message = QStringLiteral("%1: %2").arg(Native(path), OneLine(error));
        return 1;
    }
    QStringList lines;
    lines << ExchangeText::tr("   X:  調      拍子    イベント  曲名");
    for (const AbcTuneInfo& tune : tunes) {
        const QString events =
            tune.read.error == AbcError::None ? QString::number(tune.events) : QStringLiteral("-");
        const auto field = [](const std::string& text) {
            return text.empty() ? QStringLiteral("-") : QString::fromStdString(text).left(6);
        };
        lines << QStringLiteral("%1  %2  %3  %4  %5")
                     .arg(tune.number, 4)
                     .arg(field(tune.key), -6)
                     .arg(field(tune.meter), -6)
                     .arg(events, 8)
                     .arg(QString::fromStdString(tune.title));
    }
    *text = lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return 0;
}
