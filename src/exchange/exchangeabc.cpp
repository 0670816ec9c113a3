// ABC tunes at the application's level: the song written as a tune, a tune read in, the tunes of
// a file listed, and the words for what went wrong or was left out.
#include "exchange.h"

#include "exchangetext.h"
#include "outputfile.h"
#include "song/musickey.h"
#include "song/musictime.h"
#include "text/cp932.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr qint64 kMaxAbcFileBytes = qint64(64) << 20;

AbcWriteOptions OptionsForSong(const Song& song, const TimeSignature& signature) {
    AbcWriteOptions options;
    options.title = DecodeCp932(song.title).toStdString();
    const Meter meter = SongMeter(song, signature);
    options.signature = meter.signature;
    options.pickup = meter.pickup;
    options.key = song.music.key;
    options.detectKey = [](const Song& notes) { return DetectKey(notes); };
    return options;
}

} // namespace

bool ReadAbcFile(const QString& path, QByteArray& bytes, QString* error) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        *error = info.exists() ? ExchangeText::tr("通常のファイルではありません。")
                               : ExchangeText::tr("ファイルがありません。");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = ExchangeText::tr("ファイルを開けません: %1").arg(file.errorString());
        return false;
    }
    bytes = file.read(kMaxAbcFileBytes + 1);
    if (bytes.size() > kMaxAbcFileBytes) {
        *error = ExchangeText::tr("ABC ファイルとしては大きすぎます。");
        return false;
    }
    return true;
}

QString AbcFileFilter() {
    return ExchangeText::tr("ABC (*.abc)");
}

bool IsAbcFileName(const QString& path) {
    return QFileInfo(path).suffix().toLower() == QLatin1String("abc");
}

QString SongToAbcText(const Song& song, const TimeSignature& signature, int firstRow,
                      int rowCount) {
    AbcWriteOptions options = OptionsForSong(song, signature);
    options.firstRow = firstRow;
    options.rowCount = rowCount;
    // Rows from within a bar keep their place in it: the first bar is a pickup. A pickup of
    // the song's own holds the last beats of its first bar.
    const int perBar = GetTicksPerBar(options.signature);
    int64_t start = options.pickup > 0 && options.pickup < perBar ? perBar - options.pickup : 0;
    for (int i = 0; i < std::min(firstRow, song.count); ++i)
        start += GetDurationTicks(song.events[size_t(i)].code);
    if (firstRow > 0)
        options.pickup = perBar - int(start % perBar); // a whole bar: none
    return QString::fromStdString(EncodeAbc(song, options));
}

bool ExportSongToAbc(const Song& song, const TimeSignature& signature, const QString& path,
                     QString* error) {
    const std::string text = EncodeAbc(song, OptionsForSong(song, signature));
    return WriteOutputFile(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                           error);
}

QString DescribeAbcError(const AbcReadResult& result, const QByteArray& text) {
    // The character the reading stopped at, for the words.
    QString at;
    if (result.line > 0 && result.column > 0) {
        const QList<QByteArray> lines = text.split('\n');
        if (result.line <= lines.size()) {
            const std::u32string line = QString::fromUtf8(lines[result.line - 1]).toStdU32String();
            if (size_t(result.column) <= line.size())
                at = QString::fromStdU32String(line.substr(size_t(result.column - 1), 1));
        }
    }
    const auto placed = [&result](const QString& what) {
        return ExchangeText::tr("%1 行 %2 列: %3").arg(result.line).arg(result.column).arg(what);
    };
    switch (result.error) {
    case AbcError::None:
        break;
    case AbcError::NoTune:
        return ExchangeText::tr("ABC の曲がありません（X: の行も K: の行もありません）。");
    case AbcError::NoSuchTune:
        return ExchangeText::tr("指定の曲がありません。");
    case AbcError::NoNotes:
        return ExchangeText::tr("%1 行目からの曲には音符がありません。").arg(result.line);
    case AbcError::UnexpectedChar:
    case AbcError::UnexpectedBracket:
        return placed(ExchangeText::tr("予期しない「%1」").arg(at));
    case AbcError::UnclosedChord:
        return placed(ExchangeText::tr("和音の「[」が閉じていません"));
    case AbcError::UnclosedGrace:
        return placed(ExchangeText::tr("装飾音の「{」が閉じていません"));
    case AbcError::UnclosedText:
        return placed(ExchangeText::tr("「%1」が閉じていません").arg(at));
    case AbcError::BadLength:
        return placed(ExchangeText::tr("音の長さが正しくありません"));
    case AbcError::BadTuplet:
        return placed(ExchangeText::tr("連符の指定が正しくありません"));
    case AbcError::BadMeter:
        return placed(ExchangeText::tr("拍子（M:）が読めません"));
    case AbcError::BadUnit:
        return placed(ExchangeText::tr("単位の音の長さ（L:）が読めません"));
    case AbcError::BadKey:
        return placed(ExchangeText::tr("調（K:）が読めません"));
    }
    return {};
}

bool ReadAbcTunes(const QString& path, std::vector<AbcTuneInfo>& tunes, QString* error) {
    QByteArray bytes;
    if (!ReadAbcFile(path, bytes, error))
        return false;
    std::vector<AbcTuneInfo> read = ListAbcTunes({bytes.constData(), size_t(bytes.size())});
    if (read.empty()) {
        *error = DescribeAbcError({AbcError::NoTune}, bytes);
        return false;
    }
    tunes = std::move(read);
    return true;
}

bool ImportSongFromAbcText(const QByteArray& text, AbcTune& import, QString* error, int index) {
    AbcTune read;
    if (const AbcReadResult result =
            DecodeAbc({text.constData(), size_t(text.size())}, read, index);
        result.error != AbcError::None) {
        *error = DescribeAbcError(result, text);
        return false;
    }
    read.song.title = TitleToCp932(QString::fromStdString(read.title));
    // The tune's key, metre and upbeat become the song's own.
    read.song.music.key = read.key;
    if (const TimeSignature time{read.meter.numerator, read.meter.denominator};
        IsSongTimeSignature(time))
        read.song.music.time = time;
    read.song.music.pickup = read.pickup;
    import = std::move(read);
    return true;
}

bool ImportSongFromAbc(const QString& path, AbcTune& import, QString* error, int index) {
    QByteArray bytes;
    return ReadAbcFile(path, bytes, error) && ImportSongFromAbcText(bytes, import, error, index);
}

QStringList AbcImportRemarks(const AbcTune& import, const TimeSignature& signature) {
    const AbcRemarks& r = import.remarks;
    QStringList parts;
    const auto count = [&parts](int n, const char* text) {
        if (n > 0)
            parts << QCoreApplication::translate("Exchange", text, nullptr, n);
    };
    count(r.chords, QT_TRANSLATE_N_NOOP("Exchange", "和音 %n 個を一番上の音にしました"));
    count(r.graceNotes, QT_TRANSLATE_N_NOOP("Exchange", "装飾音 %n 個を除きました"));
    count(r.decorations, QT_TRANSLATE_N_NOOP("Exchange", "装飾記号 %n 個を無視しました"));
    count(r.annotations, QT_TRANSLATE_N_NOOP("Exchange", "コードネームと注釈 %n 個を無視しました"));
    count(r.otherVoices, QT_TRANSLATE_N_NOOP("Exchange", "ほかの声部 %n 個を除きました"));
    count(r.lyricLines, QT_TRANSLATE_N_NOOP("Exchange", "歌詞 %n 行を除きました"));
    count(r.repeatsUnfolded,
          QT_TRANSLATE_N_NOOP("Exchange", "繰り返し %n 回を書き出して読みました"));
    count(r.splitLengths,
          QT_TRANSLATE_N_NOOP("Exchange", "音価 %n 個をタイでつないだ長さにしました"));
    count(r.roundedLengths, QT_TRANSLATE_N_NOOP("Exchange", "音価 %n 個を近い長さにしました"));
    count(r.outOfRange, QT_TRANSLATE_N_NOOP("Exchange", "音域外の音符 %n 個を休符にしました"));
    count(r.microtones, QT_TRANSLATE_N_NOOP("Exchange", "微分音 %n 個を半音単位にしました"));
    count(r.keyChanges, QT_TRANSLATE_N_NOOP("Exchange", "途中の転調 %n 個は曲の調にしていません"));
    count(r.meterChanges,
          QT_TRANSLATE_N_NOOP("Exchange", "途中の拍子の変更 %n 個は曲の拍子にしていません"));
    if (r.modeApproximated)
        parts << ExchangeText::tr("旋法を同じ調号の長調または短調にしました");
    if (r.oddSignature)
        parts << ExchangeText::tr("どの調にもない調号です");
    if (r.tempoClamped)
        parts << ExchangeText::tr("テンポ %1 を 60 から 378 の間にしました").arg(import.tempo);
    const AbcMeter& meter = import.meter;
    // A metre the song can hold became its own: only one it cannot is remarked.
    AppendTempoAndMeterRemarks(parts, r.tempoChanges, meter.numerator, meter.denominator,
                               import.song.music.time.value_or(signature));
    if (r.truncated)
        parts << ExchangeText::tr("%1 イベントを超える分は読み込んでいません").arg(kMaxEvents);
    return parts;
}

QString DescribeAbcImport(const AbcTune& import, const TimeSignature& signature) {
    const QStringList parts = AbcImportRemarks(import, signature);
    if (parts.isEmpty())
        return ExchangeText::tr("ABC ファイルを読み込みました");
    return ExchangeText::tr("ABC ファイルを読み込みました（%1）")
        .arg(parts.join(ExchangeText::tr("、")));
}
