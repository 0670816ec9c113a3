#include "commandtable.h"

#include "commandids.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QtGlobal>

namespace {

// The keys beyond the classic accelerators (Save As, Quit, Preferences) are the desktop's
// usual ones; no binding table holds a letter or a comma, so the editor never claims them.
const CommandEntry kCommands[] = {
    {cmd::FileNew,
     QT_TRANSLATE_NOOP("CMainFrame", "新規作成(&N)"),
     QT_TRANSLATE_NOOP("CMainFrame", "新規にﾌｧｲﾙを作成"),
     ":/new.png",
     {Qt::CTRL | Qt::Key_N},
     QT_TRANSLATE_NOOP("CMainFrame", "新規ﾌｧｲﾙ")},
    {cmd::FileOpen,
     QT_TRANSLATE_NOOP("CMainFrame", "開く(&O)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "既存のﾌｧｲﾙを開く"),
     ":/open.png",
     {Qt::CTRL | Qt::Key_O},
     QT_TRANSLATE_NOOP("CMainFrame", "開く")},
    {cmd::FileSave,
     QT_TRANSLATE_NOOP("CMainFrame", "上書き保存(&S)"),
     QT_TRANSLATE_NOOP("CMainFrame", "作業中のﾌｧｲﾙを上書きして保存"),
     ":/save.png",
     {Qt::CTRL | Qt::Key_S},
     QT_TRANSLATE_NOOP("CMainFrame", "保存")},
    {cmd::FileSaveAs,
     QT_TRANSLATE_NOOP("CMainFrame", "名前を付けて保存(&A)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "作業中のﾌｧｲﾙを新しい名前で保存"),
     nullptr,
     {Qt::CTRL | Qt::SHIFT | Qt::Key_S}},
    {cmd::FileExportMidi,
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI ﾌｧｲﾙへ書き出し(&M)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "曲を Standard MIDI File に書き出し"),
     nullptr,
     {}},
    {cmd::FileImportMidi,
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI ﾌｧｲﾙから読み込み(&I)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "Standard MIDI File の旋律を新しい曲として読み込み"),
     nullptr,
     {}},
    {cmd::FileExportMusicXml,
     QT_TRANSLATE_NOOP("CMainFrame", "MusicXML ﾌｧｲﾙへ書き出し(&E)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "曲を MusicXML の楽譜に書き出し"),
     nullptr,
     {}},
    {cmd::FileImportMusicXml,
     QT_TRANSLATE_NOOP("CMainFrame", "MusicXML ﾌｧｲﾙから読み込み(&L)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "MusicXML の楽譜の旋律を新しい曲として読み込み"),
     nullptr,
     {}},
    {cmd::FileExportAbc,
     QT_TRANSLATE_NOOP("CMainFrame", "ABC ﾌｧｲﾙへ書き出し(&B)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "曲を ABC 記譜法のﾃｷｽﾄに書き出し"),
     nullptr,
     {}},
    {cmd::FileImportAbc,
     QT_TRANSLATE_NOOP("CMainFrame", "ABC ﾌｧｲﾙから読み込み(&C)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "ABC 記譜法の曲を新しい曲として読み込み"),
     nullptr,
     {}},
    {cmd::FileExportAudio,
     QT_TRANSLATE_NOOP("CMainFrame", "ｵｰﾃﾞｨｵ ﾌｧｲﾙへ書き出し(&W)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "曲を内蔵ｼﾝｾｻｲｻﾞの音でｵｰﾃﾞｨｵ ﾌｧｲﾙに書き出し"),
     nullptr,
     {}},
    {cmd::FilePrint,
     QT_TRANSLATE_NOOP("CMainFrame", "印刷(&P)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "作業中のﾌｧｲﾙを印刷"),
     ":/print.png",
     {Qt::CTRL | Qt::Key_P},
     QT_TRANSLATE_NOOP("CMainFrame", "印刷")},
    {cmd::FilePrintPreview,
     QT_TRANSLATE_NOOP("CMainFrame", "印刷ﾌﾟﾚﾋﾞｭｰ(&V)"),
     QT_TRANSLATE_NOOP("CMainFrame", "印刷ｲﾒｰｼﾞを表示"),
     nullptr,
     {}},
    {cmd::FilePrintSetup,
     QT_TRANSLATE_NOOP("CMainFrame", "ﾌﾟﾘﾝﾀの設定(&R)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "ﾌﾟﾘﾝﾀ/印刷ｵﾌﾟｼｮﾝの変更"),
     nullptr,
     {}},
    {cmd::AppExit,
     QT_TRANSLATE_NOOP("CMainFrame", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"),
     QT_TRANSLATE_NOOP("CMainFrame", "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示"),
     nullptr,
     {Qt::CTRL | Qt::Key_Q}},
    {cmd::EditUndo,
     QT_TRANSLATE_NOOP("CMainFrame", "元に戻す(&U)"),
     QT_TRANSLATE_NOOP("CMainFrame", "直前に行った動作を元に戻す"),
     nullptr,
     {Qt::CTRL | Qt::Key_Z, Qt::ALT | Qt::Key_Backspace}},
    {cmd::EditRedo,
     QT_TRANSLATE_NOOP("CMainFrame", "やり直し(&R)"),
     QT_TRANSLATE_NOOP("CMainFrame", "元に戻した操作をやり直す"),
     nullptr,
     {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z}},
    {cmd::EditCut,
     QT_TRANSLATE_NOOP("CMainFrame", "切り取り(&T)"),
     QT_TRANSLATE_NOOP("CMainFrame", "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存"),
     ":/cut.png",
     {Qt::CTRL | Qt::Key_X, Qt::SHIFT | Qt::Key_Delete},
     QT_TRANSLATE_NOOP("CMainFrame", "切り取り")},
    {cmd::EditCopy,
     QT_TRANSLATE_NOOP("CMainFrame", "ｺﾋﾟｰ(&C)"),
     QT_TRANSLATE_NOOP("CMainFrame", "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存"),
     ":/copy.png",
     {Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert},
     QT_TRANSLATE_NOOP("CMainFrame", "ｺﾋﾟｰ")},
    {cmd::EditCopyAsAbc,
     QT_TRANSLATE_NOOP("CMainFrame", "ABC としてコピー(&B)"),
     QT_TRANSLATE_NOOP("CMainFrame",
                       "選択範囲（選択がなければ曲全体）を ABC 記譜法のﾃｷｽﾄでｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ"),
     nullptr,
     {}},
    {cmd::EditPaste,
     QT_TRANSLATE_NOOP("CMainFrame", "貼り付け(&P)"),
     QT_TRANSLATE_NOOP("CMainFrame", "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け"),
     ":/paste.png",
     {Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert},
     QT_TRANSLATE_NOOP("CMainFrame", "貼り付け")},
    {cmd::EditSelectAll,
     QT_TRANSLATE_NOOP("CMainFrame", "すべて選択(&A)"),
     QT_TRANSLATE_NOOP("CMainFrame", "すべてのｲﾍﾞﾝﾄを選択"),
     nullptr,
     {Qt::CTRL | Qt::Key_A}},
    // A screen reader takes Insert for its own commands: this inserts under any binding.
    // Letters with CTRL are never in a binding table.
    {cmd::EditInsertEvent,
     QT_TRANSLATE_NOOP("CMainFrame", "イベントを挿入(&I)"),
     QT_TRANSLATE_NOOP("CMainFrame", "ｶｰｿﾙの行にｲﾍﾞﾝﾄを挿入（Insert ｷｰと同じ）"),
     nullptr,
     {Qt::CTRL | Qt::SHIFT | Qt::Key_I}},
    {cmd::EditTempo,
     QT_TRANSLATE_NOOP("CMainFrame", "テンポ設定(&M)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "曲のﾃﾝﾎﾟを変更（ﾍｯﾀﾞｰの Tempo と同じ）"),
     nullptr,
     {Qt::CTRL | Qt::Key_T}},
    {cmd::EditTitle,
     QT_TRANSLATE_NOOP("CMainFrame", "タイトル編集(&L)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "曲のﾀｲﾄﾙを変更（ﾍｯﾀﾞｰの Title と同じ）"),
     nullptr,
     {Qt::CTRL | Qt::SHIFT | Qt::Key_T}},
    // Every SHIFT and CTRL form of the arrows is a bindable key; ALT is never bound.
    {cmd::EditExtendUp,
     QT_TRANSLATE_NOOP("CMainFrame", "選択範囲を上へ広げる"),
     QT_TRANSLATE_NOOP("CMainFrame", "ｶｰｿﾙの行から選択範囲を 1 行上へ広げる"),
     nullptr,
     {Qt::ALT | Qt::SHIFT | Qt::Key_Up}},
    {cmd::EditExtendDown,
     QT_TRANSLATE_NOOP("CMainFrame", "選択範囲を下へ広げる"),
     QT_TRANSLATE_NOOP("CMainFrame", "ｶｰｿﾙの行から選択範囲を 1 行下へ広げる"),
     nullptr,
     {Qt::ALT | Qt::SHIFT | Qt::Key_Down}},
    // Ctrl+K: no binding table holds letters, and the editor takes no Ctrl+letter.
    {cmd::EditSongMusic,
     QT_TRANSLATE_NOOP("CMainFrame", "調と拍子(&K)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "曲の調、拍子と弱起を設定"),
     nullptr,
     {Qt::CTRL | Qt::Key_K}},
    {cmd::MidiPlay,
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI演奏"),
     QT_TRANSLATE_NOOP("CMainFrame", "曲を MIDI 出力デバイスで演奏"),
     ":/play.png",
     {},
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI演奏")},
    // Ctrl+Space: no key binding table holds Space, so the editor never claims it.
    {cmd::MidiPlayFromCursor,
     QT_TRANSLATE_NOOP("CMainFrame", "ｶｰｿﾙ位置から演奏"),
     QT_TRANSLATE_NOOP("CMainFrame", "ｶｰｿﾙの行から、選択中は選択した行だけを演奏"),
     nullptr,
     {Qt::CTRL | Qt::Key_Space}},
    {cmd::MidiStop,
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI中断"),
     QT_TRANSLATE_NOOP("CMainFrame", "演奏を止めて音をすべて消す"),
     ":/stop.png",
     {},
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI中断")},
    {cmd::MidiRecord,
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI録音"),
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI 入力デバイスで弾いた音高をｶｰｿﾙの行に入力"),
     ":/record.png",
     {},
     QT_TRANSLATE_NOOP("CMainFrame", "MIDI録音")},
    {cmd::MidiAudition,
     QT_TRANSLATE_NOOP("CMainFrame", "入力時に発音"),
     QT_TRANSLATE_NOOP("CMainFrame", "入力した音をその場で MIDI 出力デバイスに鳴らします"),
     nullptr,
     {}},
    {cmd::AppAbout,
     QT_TRANSLATE_NOOP("CMainFrame", "KesV のﾊﾞｰｼﾞｮﾝ情報(&A)..."),
     QT_TRANSLATE_NOOP("CMainFrame", "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"),
     ":/about.png",
     {},
     QT_TRANSLATE_NOOP("CMainFrame", "ﾊﾞｰｼﾞｮﾝ情報")},
    {cmd::ViewStatusBar,
     QT_TRANSLATE_NOOP("CMainFrame", "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"),
     QT_TRANSLATE_NOOP("CMainFrame", "ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示"),
     nullptr,
     {}},
    {cmd::PianoInput,
     QT_TRANSLATE_NOOP("CMainFrame", "鍵盤入力(&K)"),
     QT_TRANSLATE_NOOP("CMainFrame", "ﾋﾟｱﾉ鍵盤の配列で音名を入力します"),
     nullptr,
     {}},
    {cmd::Environment,
     QT_TRANSLATE_NOOP("CMainFrame", "動作環境"),
     QT_TRANSLATE_NOOP("CMainFrame", "動作環境"),
     nullptr,
     {Qt::CTRL | Qt::Key_Comma}},
};

} // namespace

std::span<const CommandEntry> FrameCommands() {
    return kCommands;
}

namespace {

// Dark colours lightened, hue and saturation kept: navy, dark blue and green mirrored in
// lightness, black and grey outlines a mid grey that still parts them from white fills. The
// picture reads the same on a dark bar as on a light one; light colours stay.
QPixmap LightenedForDark(const QString& path) {
    QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            QColor color = QColor::fromRgba(line[x]);
            float hue, saturation, lightness, alpha;
            color.getHslF(&hue, &saturation, &lightness, &alpha);
            if (alpha > 0 && lightness < 0.5f) {
                const bool grey = saturation < 0.2f;
                color.setHslF(hue, saturation, grey ? 0.6f + lightness * 0.4f : 1.0f - lightness,
                              alpha);
                line[x] = color.rgba();
            }
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

QIcon CommandIcon(const CommandEntry& entry, bool darkPalette) {
    if (!entry.icon)
        return QIcon();
    const QString path = QString::fromLatin1(entry.icon);
    QString dense = path;
    dense.replace(QStringLiteral(".png"), QStringLiteral("@2x.png"));
    QIcon icon;
    for (const QString& file : {path, dense}) {
        if (darkPalette)
            icon.addPixmap(LightenedForDark(file));
        else
            icon.addFile(file);
    }
    return icon;
}
