// MusicXML scores at the application's level: the song written as a score, a score's melody
// read in, and the words for what went wrong or was left out.
#include "exchange.h"

#include "exchangetext.h"
#include "outputfile.h"
#include <QFile>
#include <QFileInfo>

namespace {

QString DescribeReadError(const MusicXmlReadResult& result) {
    switch (result.error) {
    case MusicXmlError::None:
        break;
    case MusicXmlError::TooLarge:
        return ExchangeText::tr("MusicXML ファイルとしては大きすぎます。");
    case MusicXmlError::Malformed:
        return ExchangeText::tr("XML が壊れています（%1 行目）。").arg(result.line);
    case MusicXmlError::DeclaresEntities:
        return ExchangeText::tr("実体を宣言する文書型定義のあるファイルは読み込みません。");
    case MusicXmlError::WrongRoot:
        return ExchangeText::tr("MusicXML の楽譜ではありません。");
    case MusicXmlError::Timewise:
        return ExchangeText::tr("score-timewise 形式の MusicXML には対応していません。");
    case MusicXmlError::NoParts:
        return ExchangeText::tr("楽譜にパートがありません。");
    case MusicXmlError::NoSuchPart:
        return ExchangeText::tr("指定のパートがありません。");
    case MusicXmlError::NoNotes:
        return ExchangeText::tr("パートに音符がありません。");
    case MusicXmlError::NoNotesInRange:
        return ExchangeText::tr("パートの音符がすべて曲に書けない高さです。");
    case MusicXmlError::NotesBeyondSong:
        return ExchangeText::tr("パートの最初の音符が %1 イベントの曲に収まりません"
                                "（その前の休符か、音符そのものが長すぎます）。")
            .arg(kMaxEvents);
    case MusicXmlError::TooComplex:
        return ExchangeText::tr(
            "XML の構造が複雑すぎて読めません（入れ子が深すぎるか、属性が多すぎます）。");
    case MusicXmlError::Cancelled:
        return ExchangeText::tr("読み込みを中止しました。");
    case MusicXmlError::NotZip:
        return ExchangeText::tr("圧縮 MusicXML ファイル（zip）が壊れています。");
    case MusicXmlError::NoScoreInZip:
        return ExchangeText::tr("圧縮ファイルの中に楽譜がありません（META-INF/container.xml）。");
    }
    return {};
}

// The score of a file, unpacked when it is a zip archive whatever its name.
bool ReadScore(const QString& path, QByteArray& xml, QString* error) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        *error = info.exists() ? ExchangeText::tr("通常のファイルではありません。")
                               : ExchangeText::tr("ファイルがありません。");
        return false;
    }
    QFile file(path);
    if (info.size() > kMaxMusicXmlBytes) {
        *error = DescribeReadError({MusicXmlError::TooLarge});
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = ExchangeText::tr("ファイルを開けません: %1").arg(file.errorString());
        return false;
    }
    QByteArray bytes = file.read(kMaxMusicXmlBytes + 1);
    MusicXmlReadResult result;
    if (bytes.size() > kMaxMusicXmlBytes)
        result.error = MusicXmlError::TooLarge;
    else if (LooksLikeZip(bytes))
        result = UnpackMxl(bytes, xml);
    else
        xml = std::move(bytes);
    if (result.error != MusicXmlError::None) {
        *error = DescribeReadError(result);
        return false;
    }
    return true;
}

} // namespace

QString MusicXmlFileFilter() {
    return ExchangeText::tr("MusicXML (*.musicxml *.mxl *.xml)");
}

bool IsMusicXmlFileName(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("musicxml") || suffix == QLatin1String("mxl") ||
           suffix == QLatin1String("xml");
}

bool ExportSongToMusicXml(const Song& song, const TimeSignature& signature, const QString& path,
                          QString* error) {
    QByteArray bytes = EncodeMusicXml(song, signature);
    if (QFileInfo(path).suffix().toLower() == QLatin1String("mxl")) {
        bytes = PackMxl(bytes);
        if (bytes.isEmpty()) {
            *error = ExchangeText::tr("圧縮ファイルを作れませんでした。");
            return false;
        }
    }
    return WriteOutputFile(
        path, {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())}, error);
}

bool ReadMusicXmlParts(const QString& path, std::vector<MusicXmlPart>& parts, QString* error,
                       const std::stop_token& stop) {
    QByteArray xml;
    if (!ReadScore(path, xml, error))
        return false;
    if (const MusicXmlReadResult result = ListMusicXmlParts(xml, parts, stop);
        result.error != MusicXmlError::None) {
        *error = DescribeReadError(result);
        return false;
    }
    return true;
}

bool ImportSongFromMusicXml(const QString& path, MusicXmlImport& import, QString* error, int part,
                            const std::stop_token& stop) {
    QByteArray xml;
    if (!ReadScore(path, xml, error))
        return false;
    if (const MusicXmlReadResult result = DecodeMusicXml(xml, import, part, stop);
        result.error != MusicXmlError::None) {
        *error = DescribeReadError(result);
        return false;
    }
    return true;
}

QStringList MusicXmlImportRemarks(const MusicXmlImport& import, const TimeSignature& signature) {
    QStringList parts;
    if (import.parts > 1)
        parts << ExchangeText::tr("%1 パートのうちパート %2 を読みました")
                     .arg(import.parts)
                     .arg(import.part + 1);
    if (import.graceNotes > 0)
        parts << ExchangeText::tr("装飾音 %n 個を除きました", nullptr, import.graceNotes);
    if (import.chordNotes > 0)
        parts << ExchangeText::tr("和音の下の音 %n 個を除きました", nullptr, import.chordNotes);
    if (import.otherVoices > 0)
        parts << ExchangeText::tr("ほかの声部の音符 %n 個を除きました", nullptr,
                                  import.otherVoices);
    if (import.unpitched > 0)
        parts << ExchangeText::tr("音高のない音符 %n 個を休符にしました", nullptr,
                                  import.unpitched);
    if (import.outOfRange > 0)
        parts << ExchangeText::tr("音域外の音符 %n 個を休符にしました", nullptr, import.outOfRange);
    if (import.overlapping > 0)
        parts << ExchangeText::tr("前の音符と重なる音符 %n 個を除きました", nullptr,
                                  import.overlapping);
    if (import.overlapsCut > 0)
        parts << ExchangeText::tr("前の音符と重なる音符 %n 個をその終わりから始めました", nullptr,
                                  import.overlapsCut);
    if (import.withoutLength > 0)
        parts << ExchangeText::tr("長さのない音符 %n 個を除きました", nullptr,
                                  import.withoutLength);
    if (import.lengthsCut > 0)
        parts << ExchangeText::tr("曲に収まらない長さ %n 個を切り詰めました", nullptr,
                                  import.lengthsCut);
    if (import.lengthsRounded > 0)
        parts << ExchangeText::tr("音価 %n 個を近い長さにしました", nullptr, import.lengthsRounded);
    AppendTempoAndMeterRemarks(parts, import.tempoChangesFolded, import.timeNumerator,
                               import.timeDenominator, import.song.music.time.value_or(signature));
    AppendKeyRemark(parts, import.song, import.keyDetected);
    if (import.truncated)
        parts << ExchangeText::tr("%1 イベントを超える分は読み込んでいません").arg(kMaxEvents);
    return parts;
}

QString DescribeMusicXmlImport(const MusicXmlImport& import, const TimeSignature& signature) {
    const QStringList parts = MusicXmlImportRemarks(import, signature);
    if (parts.isEmpty())
        return ExchangeText::tr("MusicXML ファイルを読み込みました");
    return ExchangeText::tr("MusicXML ファイルを読み込みました（%1）")
        .arg(parts.join(ExchangeText::tr("、")));
}
