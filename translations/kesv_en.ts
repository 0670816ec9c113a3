<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>KesVのﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About KesV</translation>
    </message>
    <message>
        <source>Copyright © 2026 KesV の開発者</source>
        <translation>Copyright © 2026 The KesV developers</translation>
    </message>
    <message>
        <source>GNU 一般公衆利用許諾書（GPL）バージョン 3 以降の下で配布されるフリーソフトウェアです。</source>
        <translation>Free software under the GNU General Public License, version 3 or later.</translation>
    </message>
    <message>
        <source>Built: %1</source>
        <translation>Built on %1</translation>
    </message>
</context>
<context>
    <name>CEnvDlg</name>
    <message>
        <source>動作環境</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CEnvKey</name>
    <message>
        <source>(なし)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>カーソルを先頭へ移動</source>
        <translation>Cursor to first row</translation>
    </message>
    <message>
        <source>カーソルを末尾へ移動</source>
        <translation>Cursor to end row</translation>
    </message>
    <message>
        <source>カーソルを一頁上へ移動</source>
        <translation>Cursor one page up</translation>
    </message>
    <message>
        <source>カーソルを一頁下へ移動</source>
        <translation>Cursor one page down</translation>
    </message>
    <message>
        <source>カーソルを前小節へ移動</source>
        <translation>Cursor to previous bar</translation>
    </message>
    <message>
        <source>カーソルを次小節へ移動</source>
        <translation>Cursor to next bar</translation>
    </message>
    <message>
        <source>カーソルを一行上へ移動</source>
        <translation>Cursor one row up</translation>
    </message>
    <message>
        <source>カーソルを一行下へ移動</source>
        <translation>Cursor one row down</translation>
    </message>
    <message>
        <source>入力確定</source>
        <translation>Confirm input</translation>
    </message>
    <message>
        <source>入力取消</source>
        <translation>Cancel input</translation>
    </message>
    <message>
        <source>カーソルを左へ移動</source>
        <translation>Cursor left</translation>
    </message>
    <message>
        <source>カーソルを右へ移動</source>
        <translation>Cursor right</translation>
    </message>
    <message>
        <source>イベントを挿入</source>
        <translation>Insert event</translation>
    </message>
    <message>
        <source>イベントを削除</source>
        <translation>Delete event</translation>
    </message>
    <message>
        <source>値を１加算</source>
        <translation>Add one to value</translation>
    </message>
    <message>
        <source>値を１減算</source>
        <translation>Subtract one from value</translation>
    </message>
    <message>
        <source>キー定義</source>
        <translation>Keys</translation>
    </message>
    <message>
        <source>設定の変更</source>
        <translation>Change binding</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>対になるキーに、逆の機能を同時に割当てる</source>
        <translation>Give the paired key the opposite function</translation>
    </message>
    <message>
        <source>PageUp</source>
        <translation>Page Up</translation>
    </message>
    <message>
        <source>PageDown</source>
        <translation>Page Down</translation>
    </message>
    <message>
        <source>INS</source>
        <translation>Insert</translation>
    </message>
    <message>
        <source>DEL</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>TAB</source>
        <translation>Tab</translation>
    </message>
    <message>
        <source>&amp;Default</source>
        <translation>Restore &amp;Defaults</translation>
    </message>
    <message>
        <source>KEY</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>FUNC</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>キーと割り当てた機能</source>
        <translation>Keys and their functions</translation>
    </message>
    <message>
        <source>割り当てる機能</source>
        <translation>Function to bind</translation>
    </message>
</context>
<context>
    <name>CEnvMain</name>
    <message>
        <source>(なし)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>基本</source>
        <translation>General</translation>
    </message>
    <message>
        <source>音階の入力方法</source>
        <translation>Note input</translation>
    </message>
    <message>
        <source>階名を直接記入する</source>
        <translation>Type note names</translation>
    </message>
    <message>
        <source>鍵盤に見立てる</source>
        <translation>Keys as a piano keyboard</translation>
    </message>
    <message>
        <source>小節設定</source>
        <translation>Time Signature</translation>
    </message>
    <message>
        <source>情報...</source>
        <translation>Info...</translation>
    </message>
    <message>
        <source>最新表示</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>入力</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>出力</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>1 小節の拍数には 1 から %1 までの整数を入力してください。</source>
        <translation>Enter a whole number from 1 to %1 for the beats per bar.</translation>
    </message>
    <message>
        <source>MIDIハードウェア ポート</source>
        <translation>MIDI hardware port</translation>
    </message>
    <message>
        <source>矩形波シンセサイザ</source>
        <translation>Square-wave synthesizer</translation>
    </message>
    <message>
        <source>FMシンセサイザ</source>
        <translation>FM synthesizer</translation>
    </message>
    <message>
        <source>内蔵シンセサイザ</source>
        <translation>Built-in synthesizer</translation>
    </message>
    <message>
        <source>Microsoft MIDIマッパー</source>
        <translation>MIDI mapper</translation>
    </message>
    <message>
        <source>&#x3000;左右別ボリューム制御
</source>
        <translation>  Separate left and right volume
</translation>
    </message>
    <message>
        <source>&#x3000;ボリューム制御
</source>
        <translation>  Volume control
</translation>
    </message>
    <message>
        <source>&#x3000;パッチのキャッシュ
</source>
        <translation>  Patch caching
</translation>
    </message>
    <message>
        <source>種類 : </source>
        <translation>Type     : </translation>
    </message>
    <message>
        <source>機能 : %1
</source>
        <translation>Features : %1
</translation>
    </message>
    <message>
        <source>音声数     : %1
同時発音数 : %2
有効 ch.   : %3
</source>
        <translation>Voices     : %1
Polyphony  : %2
Channels   : %3
</translation>
    </message>
    <message>
        <source>OKT:装置の情報</source>
        <translation>Device information</translation>
    </message>
    <message>
        <source>MIDI I/F</source>
        <translation>MIDI Devices</translation>
    </message>
    <message>
        <source>1 小節の拍数</source>
        <translation>Beats per bar</translation>
    </message>
    <message>
        <source>拍の単位（何分音符を 1 拍とするか）</source>
        <translation>Beat unit (the note that counts as one beat)</translation>
    </message>
    <message>
        <source>MIDI 入力デバイス</source>
        <translation>MIDI input device</translation>
    </message>
    <message>
        <source>MIDI 出力デバイス</source>
        <translation>MIDI output device</translation>
    </message>
    <message>
        <source>入力デバイスの情報</source>
        <translation>Input device information</translation>
    </message>
    <message>
        <source>出力デバイスの情報</source>
        <translation>Output device information</translation>
    </message>
</context>
<context>
    <name>CExchangeCommands</name>
    <message>
        <source>%1 に書き出せませんでした。
%2</source>
        <translation>Could not export to %1.
%2</translation>
    </message>
    <message>
        <source>%1 に書き出しました</source>
        <translation>Exported to %1</translation>
    </message>
    <message>
        <source>%1 を読み込めませんでした。
%2</source>
        <translation>Could not import %1.
%2</translation>
    </message>
    <message>
        <source>オーディオファイルを書き出しています...</source>
        <translation>Exporting the audio file...</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>オーディオファイルの書き出しを中止しました</source>
        <translation>Audio export cancelled</translation>
    </message>
    <message>
        <source>MIDI ファイルを読み込んでいます...</source>
        <translation>Reading the MIDI file...</translation>
    </message>
    <message>
        <source>音量を揃える（ピークを -1 dBFS に）</source>
        <translation>Normalize the level (peak at -1 dBFS)</translation>
    </message>
    <message>
        <source>MusicXML ファイルを読み込んでいます...</source>
        <translation>Reading the MusicXML file...</translation>
    </message>
    <message>
        <source>読み込みを中止しました</source>
        <translation>Import cancelled</translation>
    </message>
    <message>
        <source>ABC ファイルを読み込んでいます...</source>
        <translation>Reading the ABC file...</translation>
    </message>
    <message>
        <source>曲全体を ABC としてコピーしました</source>
        <translation>Whole song copied as ABC</translation>
    </message>
    <message numerus="yes">
        <source>%n 個のイベントを ABC としてコピーしました</source>
        <translation>
            <numerusform>%n event copied as ABC</numerusform>
            <numerusform>%n events copied as ABC</numerusform>
        </translation>
    </message>
    <message>
        <source>ABC の曲を貼り付けできません。
%1</source>
        <translation>The ABC tune cannot be pasted.
%1</translation>
    </message>
    <message>
        <source>ABC の曲を貼り付けました</source>
        <translation>ABC tune pasted</translation>
    </message>
    <message>
        <source>ABC の曲を貼り付けました（%1）</source>
        <translation>ABC tune pasted (%1)</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>CInputDlg</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>このタイトルには曲ファイルに保存できない文字が含まれています。</source>
        <translation>This title contains characters that a song file cannot store.</translation>
    </message>
    <message>
        <source>タイトルが長すぎます（%1 バイト）。半角で %2 文字、全角で %3 文字までにしてください。</source>
        <translation>The title is too long (%1 bytes). Use at most %2 single-width or %3 double-width characters.</translation>
    </message>
</context>
<context>
    <name>CKesApp</name>
    <message>
        <source>プロファイルを保存できません: %1</source>
        <translation>Cannot save the profile: %1</translation>
    </message>
</context>
<context>
    <name>CKesView</name>
    <message>
        <source>Title編集</source>
        <translation>Edit Title</translation>
    </message>
    <message>
        <source>MIDI 出力デバイスが使用できません</source>
        <translation>The MIDI output device cannot be used</translation>
    </message>
    <message>
        <source>OKT:MIDI録音</source>
        <translation>MIDI Recording</translation>
    </message>
    <message>
        <source>MIDI 入力デバイスが使用できません</source>
        <translation>The MIDI input device cannot be used</translation>
    </message>
    <message>
        <source>「%1」は音名ではないため貼り付けできません</source>
        <translation>Cannot paste: “%1” is not a note name</translation>
    </message>
    <message>
        <source>イベント数が上限（999）を超えるため貼り付けできません</source>
        <translation>Cannot paste: the song would exceed 999 events</translation>
    </message>
    <message>
        <source>MIDI 出力デバイスが選ばれていません（表示 → 動作環境 で選べます）</source>
        <translation>No MIDI output device is chosen (choose one in View → Preferences)</translation>
    </message>
    <message>
        <source>テンポ変更</source>
        <translation>Tempo Change</translation>
    </message>
    <message>
        <source>タイトル変更</source>
        <translation>Title Change</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>挿入</source>
        <translation>Insert</translation>
    </message>
    <message>
        <source>入力</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>切り取り</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>「%1」は音長ではないため貼り付けできません</source>
        <translation>Cannot paste: “%1” is not a note length</translation>
    </message>
    <message>
        <source>貼り付け</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>イベント数が上限（999）を超えるため複製できません</source>
        <translation>Cannot duplicate: the song would have more than 999 events</translation>
    </message>
    <message>
        <source>イベント数が上限（999）に達しているため追加できません</source>
        <translation>Cannot add an event: the song already has 999 events</translation>
    </message>
    <message>
        <source>タイ</source>
        <translation>Tie</translation>
    </message>
    <message>
        <source>休符</source>
        <translation>Rest</translation>
    </message>
    <message>
        <source>音長</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>1 加算</source>
        <translation>Add One</translation>
    </message>
    <message>
        <source>1 減算</source>
        <translation>Subtract One</translation>
    </message>
    <message>
        <source>MIDI 入力デバイスが選ばれていません（表示 → 動作環境 で選べます）</source>
        <translation>No MIDI input device is chosen (choose one in View → Preferences)</translation>
    </message>
    <message>
        <source>終端行には音符がありません。F1〜F10 で音長を入れてから音高を入力してください</source>
        <translation>The end row holds no note: enter a length with F1 to F10 first, then the pitch</translation>
    </message>
    <message>
        <source>%1の列はもう満杯です（「%2」は入りません）</source>
        <translation>The %1 column is full (“%2” does not fit)</translation>
    </message>
    <message>
        <source>「%1」は%2の列には入力できません</source>
        <translation>“%1” cannot be typed in the %2 column</translation>
    </message>
    <message>
        <source>調と拍子の変更</source>
        <translation>Key and Time Signature</translation>
    </message>
    <message>
        <source>録音中に MIDI 入力の一部が失われたかもしれません（処理が間に合いませんでした）</source>
        <translation>Some MIDI input may have been lost while recording (the system could not keep up)</translation>
    </message>
</context>
<context>
    <name>CListPainter</name>
    <message>
        <source>[F1] 全音符        [F7]  八分音符      </source>
        <translation>[F1] whole          [F7]  eighth       </translation>
    </message>
    <message>
        <source>[F2] 符点二分音符  [F8]  16分音符      </source>
        <translation>[F2] dotted half    [F8]  sixteenth    </translation>
    </message>
    <message>
        <source>[F3] 二分音符      [F9]  ３連符        </source>
        <translation>[F3] half           [F9]  triplet      </translation>
    </message>
    <message>
        <source>[F4] 符点四分音符  [F10] ６連符        </source>
        <translation>[F4] dotted quarter [F10] sextuplet    </translation>
    </message>
    <message>
        <source>[F5] 四分音符      [F11] タイ          </source>
        <translation>[F5] quarter        [F11] tie          </translation>
    </message>
    <message>
        <source>[F6] 符点八分音符  [F12] 休符          </source>
        <translation>[F6] dotted eighth  [F12] rest         </translation>
    </message>
    <message>
        <source>No. bin.    TimeStamp ♪   Len.</source>
        <translation>No. Bytes   Position  ♪ Length</translation>
    </message>
    <message>
        <source>休</source>
        <translation>r</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>新規作成(&amp;N)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>新規にﾌｧｲﾙを作成</source>
        <translation>Create a new song</translation>
    </message>
    <message>
        <source>開く(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>既存のﾌｧｲﾙを開く</source>
        <translation>Open an existing song</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを上書きして保存</source>
        <translation>Save the song</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを新しい名前で保存</source>
        <translation>Save the song under a new name</translation>
    </message>
    <message>
        <source>曲を Standard MIDI File に書き出し</source>
        <translation>Write the song as a Standard MIDI File</translation>
    </message>
    <message>
        <source>Standard MIDI File の旋律を新しい曲として読み込み</source>
        <translation>Read the melody of a Standard MIDI File as a new song</translation>
    </message>
    <message>
        <source>印刷(&amp;P)...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを印刷</source>
        <translation>Print the song</translation>
    </message>
    <message>
        <source>印刷ﾌﾟﾚﾋﾞｭｰ(&amp;V)</source>
        <translation>Print Pre&amp;view</translation>
    </message>
    <message>
        <source>印刷ｲﾒｰｼﾞを表示</source>
        <translation>Show the printed pages</translation>
    </message>
    <message>
        <source>ﾌﾟﾘﾝﾀの設定(&amp;R)...</source>
        <translation>P&amp;rint Setup...</translation>
    </message>
    <message>
        <source>ﾌﾟﾘﾝﾀ/印刷ｵﾌﾟｼｮﾝの変更</source>
        <translation>Change the printer and printing options</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示</source>
        <translation>Quit the program; asks to save the song</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>直前に行った動作を元に戻す</source>
        <translation>Undo the last action</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>元に戻した操作をやり直す</source>
        <translation>Redo the action undone</translation>
    </message>
    <message>
        <source>切り取り(&amp;T)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存</source>
        <translation>Cut the selection to the clipboard</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存</source>
        <translation>Copy the selection to the clipboard</translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け</source>
        <translation>Paste the clipboard</translation>
    </message>
    <message>
        <source>MIDI演奏</source>
        <translation>Play MIDI</translation>
    </message>
    <message>
        <source>MIDI中断</source>
        <translation>Stop MIDI</translation>
    </message>
    <message>
        <source>MIDI録音</source>
        <translation>Record MIDI</translation>
    </message>
    <message>
        <source>KesV のﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation>&amp;About KesV...</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示</source>
        <translation>Show the program&apos;s information, version and copyright</translation>
    </message>
    <message>
        <source>ｽﾃｰﾀｽ ﾊﾞｰ(&amp;S)</source>
        <translation>&amp;Status Bar</translation>
    </message>
    <message>
        <source>ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示</source>
        <translation>Show or hide the status bar</translation>
    </message>
    <message>
        <source>鍵盤入力(&amp;K)</source>
        <translation>Piano &amp;Keyboard Input</translation>
    </message>
    <message>
        <source>動作環境</source>
        <translation>Preferences</translation>
    </message>
    <message>
        <source>指定のﾌｧｲﾙを開く</source>
        <translation>Open this song</translation>
    </message>
    <message>
        <source>やり直し</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>最近使ったﾌｧｲﾙ</source>
        <translation>Recent Files</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>演奏(&amp;P)</source>
        <translation>&amp;Play</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>ﾂｰﾙ ﾊﾞｰ</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>Midi接続ﾊﾞｰ</source>
        <translation>MIDI Bar</translation>
    </message>
    <message>
        <source>ﾂｰﾙ ﾊﾞｰ(&amp;T)</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>ﾂｰﾙ ﾊﾞｰの 表示/非表示</source>
        <translation>Show or hide the toolbar</translation>
    </message>
    <message>
        <source>Midi接続ﾊﾞｰ(&amp;M)</source>
        <translation>&amp;MIDI Bar</translation>
    </message>
    <message>
        <source>ﾚﾃﾞｨ</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>ｶﾅ</source>
        <translation>KANA</translation>
    </message>
    <message>
        <source>無題</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>%1[*] - KesV</source>
        <translation>%1[*] - KesV</translation>
    </message>
    <message>
        <source>%1 に保存できませんでした。
%2</source>
        <translation>Could not save %1.
%2</translation>
    </message>
    <message>
        <source>%1 を開けませんでした。
%2</source>
        <translation>Could not open %1.
%2</translation>
    </message>
    <message>
        <source>%1 への変更を保存しますか?</source>
        <translation>Save changes to %1?</translation>
    </message>
    <message>
        <source>MIDI ﾌｧｲﾙへ書き出し(&amp;M)...</source>
        <translation>Export as &amp;MIDI File...</translation>
    </message>
    <message>
        <source>MIDI ﾌｧｲﾙから読み込み(&amp;I)...</source>
        <translation>&amp;Import MIDI File...</translation>
    </message>
    <message>
        <source>ｵｰﾃﾞｨｵ ﾌｧｲﾙへ書き出し(&amp;W)...</source>
        <translation>Export as A&amp;udio File...</translation>
    </message>
    <message>
        <source>曲を内蔵ｼﾝｾｻｲｻﾞの音でｵｰﾃﾞｨｵ ﾌｧｲﾙに書き出し</source>
        <translation>Render the song with the built-in synthesizer to an audio file</translation>
    </message>
    <message>
        <source>ﾋﾟｱﾉ鍵盤の配列で音名を入力します</source>
        <translation>Enter note names with the keys laid out as a piano keyboard</translation>
    </message>
    <message>
        <source>ｶｰｿﾙ位置から演奏</source>
        <translation>Play from Cursor</translation>
    </message>
    <message>
        <source>ｶｰｿﾙの行から、選択中は選択した行だけを演奏</source>
        <translation>Play from the cursor row, or only the selected rows</translation>
    </message>
    <message>
        <source>入力時に発音</source>
        <translation>Sound Notes on Entry</translation>
    </message>
    <message>
        <source>入力した音をその場で MIDI 出力デバイスに鳴らします</source>
        <translation>Sound each entered note on the MIDI output device</translation>
    </message>
    <message>
        <source>すべて選択(&amp;A)</source>
        <translation>Select &amp;All</translation>
    </message>
    <message>
        <source>すべてのｲﾍﾞﾝﾄを選択</source>
        <translation>Select every event</translation>
    </message>
    <message>
        <source>選択範囲を上へ広げる</source>
        <translation>Extend Selection Up</translation>
    </message>
    <message>
        <source>ｶｰｿﾙの行から選択範囲を 1 行上へ広げる</source>
        <translation>Extend the selection from the cursor row by one row up</translation>
    </message>
    <message>
        <source>選択範囲を下へ広げる</source>
        <translation>Extend Selection Down</translation>
    </message>
    <message>
        <source>ｶｰｿﾙの行から選択範囲を 1 行下へ広げる</source>
        <translation>Extend the selection from the cursor row by one row down</translation>
    </message>
    <message>
        <source>元に戻す: %1(&amp;U)</source>
        <translation>&amp;Undo %1</translation>
    </message>
    <message>
        <source>やり直し: %1(&amp;R)</source>
        <translation>&amp;Redo %1</translation>
    </message>
    <message>
        <source>MusicXML ﾌｧｲﾙへ書き出し(&amp;E)...</source>
        <translation>&amp;Export as MusicXML File...</translation>
    </message>
    <message>
        <source>曲を MusicXML の楽譜に書き出し</source>
        <translation>Write the song as a MusicXML score</translation>
    </message>
    <message>
        <source>MusicXML ﾌｧｲﾙから読み込み(&amp;L)...</source>
        <translation>Import MusicXM&amp;L File...</translation>
    </message>
    <message>
        <source>MusicXML の楽譜の旋律を新しい曲として読み込み</source>
        <translation>Read the melody of a MusicXML score as a new song</translation>
    </message>
    <message>
        <source>新規ﾌｧｲﾙ</source>
        <translation>New</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>切り取り</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>貼り付け</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>曲を MIDI 出力デバイスで演奏</source>
        <translation>Play the song on the MIDI output device</translation>
    </message>
    <message>
        <source>演奏を止めて音をすべて消す</source>
        <translation>Stop playing and silence every note</translation>
    </message>
    <message>
        <source>MIDI 入力デバイスで弾いた音高をｶｰｿﾙの行に入力</source>
        <translation>Enter the pitches played on the MIDI input device at the cursor row</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About KesV</translation>
    </message>
    <message>
        <source>Midi接続ﾊﾞｰの 表示/非表示</source>
        <translation>Show or hide the MIDI bar</translation>
    </message>
    <message>
        <source>イベントを挿入(&amp;I)</source>
        <translation>&amp;Insert Event</translation>
    </message>
    <message>
        <source>ｶｰｿﾙの行にｲﾍﾞﾝﾄを挿入（Insert ｷｰと同じ）</source>
        <translation>Insert an event at the cursor row (as the Insert key does)</translation>
    </message>
    <message>
        <source>テンポ設定(&amp;M)...</source>
        <translation>Te&amp;mpo...</translation>
    </message>
    <message>
        <source>曲のﾃﾝﾎﾟを変更（ﾍｯﾀﾞｰの Tempo と同じ）</source>
        <translation>Change the song&apos;s tempo (as the header&apos;s Tempo does)</translation>
    </message>
    <message>
        <source>タイトル編集(&amp;L)...</source>
        <translation>Tit&amp;le...</translation>
    </message>
    <message>
        <source>曲のﾀｲﾄﾙを変更（ﾍｯﾀﾞｰの Title と同じ）</source>
        <translation>Change the song&apos;s title (as the header&apos;s Title does)</translation>
    </message>
    <message>
        <source>%1 は、開いた後（または前回の保存の後）にほかのウィンドウかプログラムで変更されています。上書きしますか?</source>
        <translation>%1 has been changed by another window or program since it was opened (or last saved). Overwrite it?</translation>
    </message>
    <message>
        <source>上書き保存</source>
        <translation>Overwrite</translation>
    </message>
    <message>
        <source>ウィンドウの配置と最近使ったファイルを保存できません（%1）。
%2</source>
        <translation>Cannot save the window layout and the recent files (%1).
%2</translation>
    </message>
    <message>
        <source>調と拍子(&amp;K)...</source>
        <translation>&amp;Key and Time Signature...</translation>
    </message>
    <message>
        <source>曲の調、拍子と弱起を設定</source>
        <translation>Set the key, time signature and pickup of the song</translation>
    </message>
    <message>
        <source>ABC ﾌｧｲﾙへ書き出し(&amp;B)...</source>
        <translation>Export as A&amp;BC File...</translation>
    </message>
    <message>
        <source>曲を ABC 記譜法のﾃｷｽﾄに書き出し</source>
        <translation>Write the song as a tune in ABC notation</translation>
    </message>
    <message>
        <source>ABC ﾌｧｲﾙから読み込み(&amp;C)...</source>
        <translation>Import AB&amp;C File...</translation>
    </message>
    <message>
        <source>ABC 記譜法の曲を新しい曲として読み込み</source>
        <translation>Read a tune in ABC notation as a new song</translation>
    </message>
    <message>
        <source>ABC としてコピー(&amp;B)</source>
        <translation>Copy as A&amp;BC</translation>
    </message>
    <message>
        <source>選択範囲（選択がなければ曲全体）を ABC 記譜法のﾃｷｽﾄでｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ</source>
        <translation>Copy the selection (the whole song without one) to the clipboard as text in ABC notation</translation>
    </message>
</context>
<context>
    <name>CSongMusicDlg</name>
    <message>
        <source>音符から検出(&amp;D)</source>
        <translation>&amp;Detect from Notes</translation>
    </message>
    <message>
        <source>曲の拍子を使う(&amp;T)</source>
        <translation>Song has its own &amp;time signature</translation>
    </message>
    <message>
        <source>調と拍子</source>
        <translation>Key and Time Signature</translation>
    </message>
    <message>
        <source>なし（シャープで表示）</source>
        <translation>None (black keys as sharps)</translation>
    </message>
    <message>
        <source>音符の調: %1</source>
        <translation>Key of the notes: %1</translation>
    </message>
    <message>
        <source>音符がありません</source>
        <translation>The song has no notes</translation>
    </message>
    <message>
        <source>1 小節の拍数</source>
        <translation>Beats per bar</translation>
    </message>
    <message>
        <source>拍の音価</source>
        <translation>Beat unit</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source> ティック</source>
        <translation> ticks</translation>
    </message>
    <message>
        <source>調(&amp;K):</source>
        <translation>&amp;Key:</translation>
    </message>
    <message>
        <source>拍子:</source>
        <translation>Time signature:</translation>
    </message>
    <message>
        <source>弱起(&amp;P):</source>
        <translation>&amp;Pickup:</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>弱起は 1 小節（%1 ティック）より短くしてください。</source>
        <translation>The pickup must be shorter than one bar (%1 ticks).</translation>
    </message>
</context>
<context>
    <name>CSpokenText</name>
    <message>
        <source>イベント一覧</source>
        <translation>Event list</translation>
    </message>
    <message numerus="yes">
        <source>%n 個のイベント</source>
        <translation>
            <numerusform>%n event</numerusform>
            <numerusform>%n events</numerusform>
        </translation>
    </message>
    <message>
        <source>押すとテンポの設定を開きます</source>
        <translation>Opens the tempo dialog</translation>
    </message>
    <message>
        <source>押すとタイトルの編集を開きます</source>
        <translation>Opens the title dialog</translation>
    </message>
    <message>
        <source>曲の編集</source>
        <translation>Song editor</translation>
    </message>
    <message>
        <source>全音符</source>
        <translation>whole note</translation>
    </message>
    <message>
        <source>付点二分音符</source>
        <translation>dotted half note</translation>
    </message>
    <message>
        <source>二分音符</source>
        <translation>half note</translation>
    </message>
    <message>
        <source>付点四分音符</source>
        <translation>dotted quarter note</translation>
    </message>
    <message>
        <source>四分音符</source>
        <translation>quarter note</translation>
    </message>
    <message>
        <source>付点八分音符</source>
        <translation>dotted eighth note</translation>
    </message>
    <message>
        <source>八分音符</source>
        <translation>eighth note</translation>
    </message>
    <message>
        <source>八分音符の３連符</source>
        <translation>eighth-note triplet</translation>
    </message>
    <message>
        <source>16分音符の６連符</source>
        <translation>sixteenth-note sextuplet</translation>
    </message>
    <message>
        <source>16分音符</source>
        <translation>sixteenth note</translation>
    </message>
    <message>
        <source>16分音符の５連符</source>
        <translation>sixteenth-note quintuplet</translation>
    </message>
    <message>
        <source>32分音符</source>
        <translation>thirty-second note</translation>
    </message>
    <message>
        <source>64分音符</source>
        <translation>sixty-fourth note</translation>
    </message>
    <message>
        <source>128分音符</source>
        <translation>hundred-twenty-eighth note</translation>
    </message>
    <message>
        <source>二分音符と八分音符のタイ</source>
        <translation>half note tied to an eighth note</translation>
    </message>
    <message>
        <source>全音符と四分音符の３連符と16分音符のタイ</source>
        <translation>whole note tied to a quarter-note triplet and a sixteenth note</translation>
    </message>
    <message>
        <source>四分音符と16分音符のタイ</source>
        <translation>quarter note tied to a sixteenth note</translation>
    </message>
    <message>
        <source>複付点二分音符</source>
        <translation>double-dotted half note</translation>
    </message>
    <message>
        <source>番号</source>
        <translation>number</translation>
    </message>
    <message>
        <source>長さコード</source>
        <translation>length code</translation>
    </message>
    <message>
        <source>音高コード</source>
        <translation>pitch code</translation>
    </message>
    <message>
        <source>位置</source>
        <translation>position</translation>
    </message>
    <message>
        <source>音符</source>
        <translation>note</translation>
    </message>
    <message>
        <source>音長</source>
        <translation>length</translation>
    </message>
    <message>
        <source>長さのないコード %1</source>
        <translation>code %1 without a length</translation>
    </message>
    <message>
        <source>休符</source>
        <translation>rest</translation>
    </message>
    <message>
        <source>タイ</source>
        <translation>tie</translation>
    </message>
    <message>
        <source>%1シャープ%2</source>
        <translation>%1 sharp %2</translation>
    </message>
    <message>
        <source>%1 小節 %2 拍</source>
        <translation>bar %1 beat %2</translation>
    </message>
    <message>
        <source>%1 小節 %2 拍 %3 ティック</source>
        <translation>bar %1 beat %2 tick %3</translation>
    </message>
    <message>
        <source>終端</source>
        <translation>end</translation>
    </message>
    <message>
        <source>ここに新しい音符が入ります</source>
        <translation>new notes go here</translation>
    </message>
    <message>
        <source>%1 行目、選択中</source>
        <translation>row %1, selected</translation>
    </message>
    <message>
        <source>%1 行目</source>
        <translation>row %1</translation>
    </message>
    <message>
        <source>長さ %1</source>
        <translation>length %1</translation>
    </message>
    <message>
        <source>音高 %1</source>
        <translation>pitch %1</translation>
    </message>
    <message>
        <source>休符、%1</source>
        <translation>rest, %1</translation>
    </message>
    <message>
        <source>タイ、%1</source>
        <translation>tie, %1</translation>
    </message>
    <message>
        <source>%1、%2</source>
        <translation>%1, %2</translation>
    </message>
    <message numerus="yes">
        <source>%n 拍</source>
        <translation>
            <numerusform>%n beat</numerusform>
            <numerusform>%n beats</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n ティック</source>
        <translation>
            <numerusform>%n tick</numerusform>
            <numerusform>%n ticks</numerusform>
        </translation>
    </message>
    <message>
        <source>テンポ なし</source>
        <translation>Tempo none</translation>
    </message>
    <message>
        <source>テンポ %1</source>
        <translation>Tempo %1</translation>
    </message>
    <message>
        <source>タイトル なし</source>
        <translation>Title none</translation>
    </message>
    <message>
        <source>タイトル %1</source>
        <translation>Title %1</translation>
    </message>
    <message>
        <source>%1 拍目</source>
        <translation>beat %1</translation>
    </message>
    <message>
        <source>%1 拍目 %2 ティック</source>
        <translation>beat %1 tick %2</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>譜表 %1 小節: 音符なし</source>
        <translation>Staff, bar %1: no notes</translation>
    </message>
    <message>
        <source>譜表 %1 小節: %2</source>
        <translation>Staff, bar %1: %2</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1フラット%2</source>
        <translation>%1 flat %2</translation>
    </message>
</context>
<context>
    <name>CTempoDlg</name>
    <message>
        <source>Tempo 設定</source>
        <translation>Tempo</translation>
    </message>
    <message>
        <source>特定値</source>
        <translation>Preset</translation>
    </message>
    <message>
        <source>自由設定</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>テンポには %1 から %2 までの整数を入力してください。</source>
        <translation>Enter a whole number from %1 to %2 for the tempo.</translation>
    </message>
    <message>
        <source>テンポの特定値</source>
        <translation>Preset tempo</translation>
    </message>
    <message>
        <source>テンポの自由設定（%1〜%2）</source>
        <translation>Custom tempo (%1 to %2)</translation>
    </message>
</context>
<context>
    <name>CTrackChoiceDlg</name>
    <message>
        <source>旋律のトラック</source>
        <translation>Melody Track</translation>
    </message>
    <message>
        <source>旋律として読み込むトラックを選んでください。</source>
        <translation>Choose the track to import as the melody.</translation>
    </message>
    <message>
        <source>トラック</source>
        <translation>Track</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>音色</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>ﾁｬﾝﾈﾙ</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>音符数</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>音域</source>
        <translation>Range</translation>
    </message>
</context>
<context>
    <name>CTuneChoiceDlg</name>
    <message>
        <source>ABC の曲</source>
        <translation>ABC Tune</translation>
    </message>
    <message>
        <source>読み込む曲を選んでください。</source>
        <translation>Choose the tune to import.</translation>
    </message>
    <message>
        <source>曲名</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>調</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>拍子</source>
        <translation>Metre</translation>
    </message>
    <message>
        <source>イベント数</source>
        <translation>Events</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>開く曲ファイル。</source>
        <translation>The song to open.</translation>
    </message>
    <message>
        <source>SONG.kes を Standard MIDI File（フォーマット 0）に書き出して終了します。</source>
        <translation>Write SONG.kes as a Standard MIDI File (format 0) and exit.</translation>
    </message>
    <message>
        <source>SONG.kes を .wav、.flac または .ogg ファイルに書き出して終了します。</source>
        <translation>Render SONG.kes to a .wav, .flac or .ogg file and exit.</translation>
    </message>
    <message>
        <source>Standard MIDI File（最後の引数）を曲ファイルに読み込んで終了します。</source>
        <translation>Read a Standard MIDI File (the last argument) into a song file and exit.</translation>
    </message>
    <message>
        <source>出力ファイルの後に入力ファイルを一つ指定してください</source>
        <translation>give one input file after the output file</translation>
    </message>
    <message>
        <source>DISPLAY も WAYLAND_DISPLAY も設定されていません</source>
        <translation>neither DISPLAY nor WAYLAND_DISPLAY is set</translation>
    </message>
    <message>
        <source>ディスプレイを開けません（%1）</source>
        <translation>cannot open a display (%1)</translation>
    </message>
    <message>
        <source>MIDI ファイルの旋律の候補を得点つきで表示して終了します。</source>
        <translation>Lists the melody candidates of a MIDI file with their scores, then exits.</translation>
    </message>
    <message>
        <source>--export-audio で音量を揃えず、シンセサイザーの音量のまま書き出します。</source>
        <translation>--export-audio keeps the synthesizer&apos;s own level instead of normalizing it.</translation>
    </message>
    <message>
        <source>--list-tracks には MIDI ファイルを一つだけ指定してください</source>
        <translation>give --list-tracks one MIDI file and nothing else</translation>
    </message>
    <message>
        <source>SONG.kes を MusicXML の楽譜（.musicxml、圧縮は .mxl）に書き出して終了します。</source>
        <translation>Write SONG.kes as a MusicXML score (.musicxml, compressed .mxl) and exit.</translation>
    </message>
    <message>
        <source>MusicXML の楽譜（.musicxml か .mxl、最後の引数）を曲ファイルに読み込んで終了します。</source>
        <translation>Read a MusicXML score (.musicxml or .mxl, the last argument) into a song file and exit.</translation>
    </message>
    <message>
        <source>--import-midi で旋律を取るトラック（--list-tracks の番号、:ch でチャンネルも）、--import-musicxml では読むパートの番号。</source>
        <translation>The track --import-midi takes the melody from (the number --list-tracks shows; :ch adds the channel); for --import-musicxml the number of the part to read.</translation>
    </message>
    <message>
        <source>--track は --import-midi（または --import-musicxml）と一つ、番号（または番号:チャンネル）で指定してください</source>
        <translation>give --track once, with --import-midi (or --import-musicxml), as a number (or number:channel)</translation>
    </message>
    <message>
        <source>MIDI、MusicXML と ABC の書き出しの拍子、読み込みで比べる拍子（例: 3/4）。省略すると設定ファイル（~/.config/KesV/KesV.env）の拍子です。</source>
        <translation>The time signature of a MIDI, MusicXML or ABC export, and the one an import is compared with (e.g. 3/4). Without it, the settings file&apos;s (~/.config/KesV/KesV.env).</translation>
    </message>
    <message>
        <source>--time は拍数/単位（例: 3/4、単位は 2、4、8、16）で一つ指定してください</source>
        <translation>give --time once, as beats/unit (e.g. 3/4; the unit 2, 4, 8 or 16)</translation>
    </message>
    <message>
        <source>SONG.kes を ABC 記譜法のファイル（.abc）に書き出して終了します。</source>
        <translation>Writes SONG.kes as an ABC notation file (.abc) and exits.</translation>
    </message>
    <message>
        <source>ABC ファイル（最後の引数）の曲を曲ファイルに読み込んで終了します。</source>
        <translation>Reads a tune of an ABC file (the last argument) into a song file and exits.</translation>
    </message>
    <message>
        <source>ABC ファイルの曲の一覧（X: の番号、調、拍子、長さ、曲名）を表示して終了します。</source>
        <translation>Lists the tunes of an ABC file (X: number, key, metre, length, title) and exits.</translation>
    </message>
    <message>
        <source>--import-abc で読む曲の X: の番号（既定は最初の曲）。</source>
        <translation>The X: number of the tune --import-abc reads (by default the first tune).</translation>
    </message>
    <message>
        <source>--list-tunes には ABC ファイルを一つだけ指定してください</source>
        <translation>give --list-tunes exactly one ABC file</translation>
    </message>
    <message>
        <source>--export-midi、--export-audio、--import-midi、--export-musicxml、--import-musicxml、--export-abc、--import-abc のどれか一つを指定してください</source>
        <translation>give one of --export-midi, --export-audio, --import-midi, --export-musicxml, --import-musicxml, --export-abc, --import-abc</translation>
    </message>
    <message>
        <source>--tune は --import-abc と一つ、X: の番号で指定してください</source>
        <translation>give --tune once, with --import-abc and an X: number</translation>
    </message>
</context>
<context>
    <name>Exchange</name>
    <message>
        <source>Standard MIDI File ではありません（先頭に MThd がありません）。</source>
        <translation>Not a Standard MIDI File (it does not start with MThd).</translation>
    </message>
    <message>
        <source>MIDI ファイルのヘッダが壊れています（形式、トラック数または分解能）。</source>
        <translation>The MIDI file&apos;s header is damaged (format, number of tracks or resolution).</translation>
    </message>
    <message>
        <source>フォーマット 2 の MIDI ファイルには対応していません。</source>
        <translation>Format 2 MIDI files are not supported.</translation>
    </message>
    <message>
        <source>ヘッダにあるトラックの前でファイルが終わっています</source>
        <translation>the file ends before a track its header announces</translation>
    </message>
    <message>
        <source>チャンクの長さがファイルの終わりを越えています</source>
        <translation>a chunk&apos;s length runs past the end of the file</translation>
    </message>
    <message>
        <source>不正なイベントがあります</source>
        <translation>an invalid event</translation>
    </message>
    <message>
        <source>イベントがトラックの終わりを越えています</source>
        <translation>an event runs past the end of its track</translation>
    </message>
    <message>
        <source>%1 バイト目</source>
        <translation>byte %1</translation>
    </message>
    <message>
        <source>トラック %1、</source>
        <translation>track %1, </translation>
    </message>
    <message>
        <source>MIDI ファイルが壊れています: %1（%2）。</source>
        <translation>The MIDI file is damaged: %1 (%2).</translation>
    </message>
    <message>
        <source>ファイルがありません。</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <source>通常のファイルではありません。</source>
        <translation>Not a regular file.</translation>
    </message>
    <message>
        <source>MIDI ファイルとしては大きすぎます（%1 バイト）。</source>
        <translation>Too large for a MIDI file (%1 bytes).</translation>
    </message>
    <message>
        <source>ファイルを開けません: %1</source>
        <translation>Cannot open the file: %1</translation>
    </message>
    <message>
        <source>MIDI ファイルとしては大きすぎます。</source>
        <translation>Too large for a MIDI file.</translation>
    </message>
    <message>
        <source>Velori Files (*.kes)</source>
        <translation>KesV songs (*.kes)</translation>
    </message>
    <message>
        <source>Standard MIDI File (*.mid *.midi)</source>
        <translation>Standard MIDI Files (*.mid *.midi)</translation>
    </message>
    <message>
        <source>ファイルに書き込めません: %1</source>
        <translation>Cannot write the file: %1</translation>
    </message>
    <message>
        <source>%1 イベントを超える分は読み込んでいません</source>
        <translation>nothing beyond %1 events read</translation>
    </message>
    <message>
        <source>MIDI ファイルを読み込みました</source>
        <translation>MIDI file imported</translation>
    </message>
    <message>
        <source>MIDI ファイルを読み込みました（%1）</source>
        <translation>MIDI file imported (%1)</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>FluidSynth のライブラリ（libfluidsynth.so.3）を読み込めません。</source>
        <translation>The FluidSynth library (libfluidsynth.so.3) cannot be loaded.</translation>
    </message>
    <message>
        <source>General MIDI のサウンドフォントが見つかりません（timgm6mb-soundfont をインストールしてください）。</source>
        <translation>No General MIDI soundfont found (install timgm6mb-soundfont).</translation>
    </message>
    <message>
        <source>同じフォルダにファイルを作成できません: %1</source>
        <translation>Cannot create a file in the same folder: %1</translation>
    </message>
    <message>
        <source>FluidSynth を開始できません。</source>
        <translation>FluidSynth could not start.</translation>
    </message>
    <message>
        <source>この FluidSynth は %1 ファイルを書き出せません。</source>
        <translation>This FluidSynth cannot write %1 files.</translation>
    </message>
    <message>
        <source>サウンドフォント %1 を読み込めません。</source>
        <translation>Cannot load the soundfont %1.</translation>
    </message>
    <message>
        <source>ファイルに書き込めません。</source>
        <translation>Cannot write the file.</translation>
    </message>
    <message>
        <source>音符がありません（ドラムを除く）。</source>
        <translation>No notes (other than drums).</translation>
    </message>
    <message>
        <source>トラック %1 には旋律にできる音符がありません。</source>
        <translation>Track %1 holds no notes to take a melody from.</translation>
    </message>
    <message>
        <source>標準出力に書き込めません: %1</source>
        <translation>Cannot write to standard output: %1</translation>
    </message>
    <message>
        <source>フォルダには書き出せません。</source>
        <translation>Cannot write to a folder.</translation>
    </message>
    <message>
        <source>ファイルは %1/%2 拍子です</source>
        <translation>the file is in %1/%2 time</translation>
    </message>
    <message>
        <source>最後のトラックの長さをファイルの終わりまでとしました</source>
        <translation>the last track read to the end of the file</translation>
    </message>
    <message>
        <source>複数トラックのフォーマット 0 をフォーマット 1 として読みました</source>
        <translation>a format 0 file with several tracks read as format 1</translation>
    </message>
    <message>
        <source>SMPTE の 29.97 フレームを 30 フレームとして読みました</source>
        <translation>SMPTE 29.97 frames read as 30 frames</translation>
    </message>
    <message>
        <source>SMPTE の時間をテンポ 120 として読みました</source>
        <translation>SMPTE time read at tempo 120</translation>
    </message>
    <message>
        <source>出力が入力と同じファイルです</source>
        <translation>the output is the input file</translation>
    </message>
    <message>
        <source>名前の末尾は .mid または .midi にしてください</source>
        <translation>the name must end in .mid or .midi</translation>
    </message>
    <message>
        <source>名前の末尾は .kes にしてください</source>
        <translation>the name must end in .kes</translation>
    </message>
    <message>
        <source>名前の末尾は .wav、.flac または .ogg にしてください</source>
        <translation>the name must end in .wav, .flac or .ogg</translation>
    </message>
    <message>
        <source>トラック  ch  音符数  音域       得点  音色 / 名前</source>
        <translation>   Track  ch   Notes  Range      Score  Instrument / Name</translation>
    </message>
    <message>
        <source>名前の末尾は .musicxml、.mxl または .xml にしてください</source>
        <translation>the name must end in .musicxml, .mxl or .xml</translation>
    </message>
    <message>
        <source>MusicXML ファイルとしては大きすぎます。</source>
        <translation>Too large for a MusicXML file.</translation>
    </message>
    <message>
        <source>XML が壊れています（%1 行目）。</source>
        <translation>The XML is damaged (line %1).</translation>
    </message>
    <message>
        <source>実体を宣言する文書型定義のあるファイルは読み込みません。</source>
        <translation>Files whose document type declares entities are not read.</translation>
    </message>
    <message>
        <source>MusicXML の楽譜ではありません。</source>
        <translation>Not a MusicXML score.</translation>
    </message>
    <message>
        <source>score-timewise 形式の MusicXML には対応していません。</source>
        <translation>Timewise MusicXML scores (score-timewise) are not supported.</translation>
    </message>
    <message>
        <source>楽譜にパートがありません。</source>
        <translation>The score has no part.</translation>
    </message>
    <message>
        <source>指定のパートがありません。</source>
        <translation>There is no such part.</translation>
    </message>
    <message>
        <source>パートに音符がありません。</source>
        <translation>The part has no notes.</translation>
    </message>
    <message>
        <source>圧縮 MusicXML ファイル（zip）が壊れています。</source>
        <translation>The compressed MusicXML file (zip) is damaged.</translation>
    </message>
    <message>
        <source>圧縮ファイルの中に楽譜がありません（META-INF/container.xml）。</source>
        <translation>The compressed file holds no score (META-INF/container.xml).</translation>
    </message>
    <message>
        <source>MusicXML (*.musicxml *.mxl *.xml)</source>
        <translation>MusicXML (*.musicxml *.mxl *.xml)</translation>
    </message>
    <message>
        <source>圧縮ファイルを作れませんでした。</source>
        <translation>The compressed file could not be made.</translation>
    </message>
    <message>
        <source>%1 パートのうちパート %2 を読みました</source>
        <translation>part %2 of %1 read</translation>
    </message>
    <message>
        <source>MusicXML ファイルを読み込みました</source>
        <translation>MusicXML file imported</translation>
    </message>
    <message>
        <source>MusicXML ファイルを読み込みました（%1）</source>
        <translation>MusicXML file imported (%1)</translation>
    </message>
    <message numerus="yes">
        <source>テンポ変更 %n 個を一つのテンポにまとめました</source>
        <translation>
            <numerusform>%n tempo change folded into one tempo</numerusform>
            <numerusform>%n tempo changes folded into one tempo</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>音域外の音符 %n 個を除きました</source>
        <translation>
            <numerusform>%n note out of range left out</numerusform>
            <numerusform>%n notes out of range left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>短すぎる音符 %n 個を除きました</source>
        <translation>
            <numerusform>%n note too short left out</numerusform>
            <numerusform>%n notes too short left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>装飾音 %n 個を除きました</source>
        <translation>
            <numerusform>%n grace note left out</numerusform>
            <numerusform>%n grace notes left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>和音の下の音 %n 個を除きました</source>
        <translation>
            <numerusform>%n lower chord note left out</numerusform>
            <numerusform>%n lower chord notes left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>ほかの声部の音符 %n 個を除きました</source>
        <translation>
            <numerusform>%n note of another voice left out</numerusform>
            <numerusform>%n notes of other voices left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>音高のない音符 %n 個を休符にしました</source>
        <translation>
            <numerusform>%n unpitched note made a rest</numerusform>
            <numerusform>%n unpitched notes made rests</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>音域外の音符 %n 個を休符にしました</source>
        <translation>
            <numerusform>%n note out of range made a rest</numerusform>
            <numerusform>%n notes out of range made rests</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>音価 %n 個を近い長さにしました</source>
        <translation>
            <numerusform>%n note value rounded to the nearest length</numerusform>
            <numerusform>%n note values rounded to the nearest length</numerusform>
        </translation>
    </message>
    <message>
        <source>名前の末尾は .abc にしてください</source>
        <translation>the name must end in .abc</translation>
    </message>
    <message>
        <source>ABC ファイルとしては大きすぎます。</source>
        <translation>The file is too large for an ABC file.</translation>
    </message>
    <message>
        <source>ABC (*.abc)</source>
        <translation>ABC (*.abc)</translation>
    </message>
    <message>
        <source>%1 行 %2 列: %3</source>
        <translation>line %1, column %2: %3</translation>
    </message>
    <message>
        <source>ABC の曲がありません（X: の行も K: の行もありません）。</source>
        <translation>The file holds no ABC tune (no X: line and no K: line).</translation>
    </message>
    <message>
        <source>指定の曲がありません。</source>
        <translation>There is no such tune.</translation>
    </message>
    <message>
        <source>%1 行目からの曲には音符がありません。</source>
        <translation>The tune from line %1 has no notes.</translation>
    </message>
    <message>
        <source>予期しない「%1」</source>
        <translation>unexpected &apos;%1&apos;</translation>
    </message>
    <message>
        <source>和音の「[」が閉じていません</source>
        <translation>the chord&apos;s &apos;[&apos; is not closed</translation>
    </message>
    <message>
        <source>装飾音の「{」が閉じていません</source>
        <translation>the grace notes&apos; &apos;{&apos; is not closed</translation>
    </message>
    <message>
        <source>「%1」が閉じていません</source>
        <translation>&apos;%1&apos; is not closed</translation>
    </message>
    <message>
        <source>音の長さが正しくありません</source>
        <translation>the note length is not valid</translation>
    </message>
    <message>
        <source>連符の指定が正しくありません</source>
        <translation>the tuplet is not valid</translation>
    </message>
    <message>
        <source>拍子（M:）が読めません</source>
        <translation>the metre (M:) cannot be read</translation>
    </message>
    <message>
        <source>単位の音の長さ（L:）が読めません</source>
        <translation>the unit note length (L:) cannot be read</translation>
    </message>
    <message>
        <source>調（K:）が読めません</source>
        <translation>the key (K:) cannot be read</translation>
    </message>
    <message numerus="yes">
        <source>和音 %n 個を一番上の音にしました</source>
        <translation>
            <numerusform>%n chord taken as its top note</numerusform>
            <numerusform>%n chords taken as their top notes</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>装飾記号 %n 個を無視しました</source>
        <translation>
            <numerusform>%n decoration ignored</numerusform>
            <numerusform>%n decorations ignored</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>コードネームと注釈 %n 個を無視しました</source>
        <translation>
            <numerusform>%n guitar chord or annotation ignored</numerusform>
            <numerusform>%n guitar chords and annotations ignored</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>ほかの声部 %n 個を除きました</source>
        <translation>
            <numerusform>%n other voice left out</numerusform>
            <numerusform>%n other voices left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>歌詞 %n 行を除きました</source>
        <translation>
            <numerusform>%n line of words left out</numerusform>
            <numerusform>%n lines of words left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>繰り返し %n 回を書き出して読みました</source>
        <translation>
            <numerusform>%n repeat played out</numerusform>
            <numerusform>%n repeats played out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>音価 %n 個をタイでつないだ長さにしました</source>
        <translation>
            <numerusform>%n length made of tied lengths</numerusform>
            <numerusform>%n lengths made of tied lengths</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>微分音 %n 個を半音単位にしました</source>
        <translation>
            <numerusform>%n microtone taken to whole semitones</numerusform>
            <numerusform>%n microtones taken to whole semitones</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>途中の転調 %n 個は曲の調にしていません</source>
        <translation>
            <numerusform>%n later key change not taken as the song&apos;s key</numerusform>
            <numerusform>%n later key changes not taken as the song&apos;s key</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>途中の拍子の変更 %n 個は曲の拍子にしていません</source>
        <translation>
            <numerusform>%n later metre change not taken as the song&apos;s metre</numerusform>
            <numerusform>%n later metre changes not taken as the song&apos;s metre</numerusform>
        </translation>
    </message>
    <message>
        <source>旋法を同じ調号の長調または短調にしました</source>
        <translation>mode taken as the major or minor key of its signature</translation>
    </message>
    <message>
        <source>どの調にもない調号です</source>
        <translation>a key signature no key has</translation>
    </message>
    <message>
        <source>テンポ %1 を 60 から 378 の間にしました</source>
        <translation>tempo %1 brought within 60 to 378</translation>
    </message>
    <message>
        <source>ABC ファイルを読み込みました</source>
        <translation>ABC file imported</translation>
    </message>
    <message>
        <source>ABC ファイルを読み込みました（%1）</source>
        <translation>ABC file imported (%1)</translation>
    </message>
    <message>
        <source>X:%1 の曲がありません</source>
        <translation>there is no tune X:%1</translation>
    </message>
    <message>
        <source>   X:  調      拍子    イベント  曲名</source>
        <translation>   X:  key     metre     events  title</translation>
    </message>
    <message>
        <source>調を音符から%1としました</source>
        <translation>key %1 taken from the notes</translation>
    </message>
    <message>
        <source>旋律の音符がすべて曲に書けない高さです。</source>
        <translation>Every note of the melody lies outside the pitches a song can hold.</translation>
    </message>
    <message>
        <source>旋律の最初の音符が %1 イベントの曲に収まりません（その前の休符か、音符そのものが長すぎます）。</source>
        <translation>The melody&apos;s first note does not fit into a song of %1 events (the rest before it, or the note itself, is too long).</translation>
    </message>
    <message>
        <source>読み込みを中止しました。</source>
        <translation>The import was cancelled.</translation>
    </message>
    <message>
        <source>パートの音符がすべて曲に書けない高さです。</source>
        <translation>Every note of the part lies outside the pitches a song can hold.</translation>
    </message>
    <message>
        <source>パートの最初の音符が %1 イベントの曲に収まりません（その前の休符か、音符そのものが長すぎます）。</source>
        <translation>The part&apos;s first note does not fit into a song of %1 events (the rest before it, or the note itself, is too long).</translation>
    </message>
    <message>
        <source>XML の構造が複雑すぎて読めません（入れ子が深すぎるか、属性が多すぎます）。</source>
        <translation>The XML is too complex to read (nested too deeply, or too many attributes).</translation>
    </message>
    <message numerus="yes">
        <source>前の音符と重なる音符 %n 個を除きました</source>
        <translation>
            <numerusform>%n note under an earlier one left out</numerusform>
            <numerusform>%n notes under an earlier one left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>前の音符と重なる音符 %n 個をその終わりから始めました</source>
        <translation>
            <numerusform>%n note overlapping an earlier one started where it ends</numerusform>
            <numerusform>%n notes overlapping an earlier one started where they end</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>長さのない音符 %n 個を除きました</source>
        <translation>
            <numerusform>%n note without a length left out</numerusform>
            <numerusform>%n notes without a length left out</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>曲に収まらない長さ %n 個を切り詰めました</source>
        <translation>
            <numerusform>%n length longer than a song cut</numerusform>
            <numerusform>%n lengths longer than a song cut</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>GeneralMidi</name>
    <message>
        <source>ピアノ</source>
        <translation>Piano</translation>
    </message>
    <message>
        <source>クロマチック打楽器</source>
        <translation>Chromatic percussion</translation>
    </message>
    <message>
        <source>オルガン</source>
        <translation>Organ</translation>
    </message>
    <message>
        <source>ギター</source>
        <translation>Guitar</translation>
    </message>
    <message>
        <source>ベース</source>
        <translation>Bass</translation>
    </message>
    <message>
        <source>ストリングス</source>
        <translation>Strings</translation>
    </message>
    <message>
        <source>アンサンブル</source>
        <translation>Ensemble</translation>
    </message>
    <message>
        <source>ブラス</source>
        <translation>Brass</translation>
    </message>
    <message>
        <source>リード</source>
        <translation>Reed</translation>
    </message>
    <message>
        <source>パイプ</source>
        <translation>Pipe</translation>
    </message>
    <message>
        <source>シンセリード</source>
        <translation>Synth lead</translation>
    </message>
    <message>
        <source>シンセパッド</source>
        <translation>Synth pad</translation>
    </message>
    <message>
        <source>シンセ効果</source>
        <translation>Synth effects</translation>
    </message>
    <message>
        <source>民族楽器</source>
        <translation>Ethnic</translation>
    </message>
    <message>
        <source>打楽器</source>
        <translation>Percussive</translation>
    </message>
    <message>
        <source>効果音</source>
        <translation>Sound effects</translation>
    </message>
</context>
<context>
    <name>KeyName</name>
    <message>
        <source>ハ</source>
        <translation>C</translation>
    </message>
    <message>
        <source>ニ</source>
        <translation>D</translation>
    </message>
    <message>
        <source>ホ</source>
        <translation>E</translation>
    </message>
    <message>
        <source>ヘ</source>
        <translation>F</translation>
    </message>
    <message>
        <source>ト</source>
        <translation>G</translation>
    </message>
    <message>
        <source>イ</source>
        <translation>A</translation>
    </message>
    <message>
        <source>ロ</source>
        <translation>B</translation>
    </message>
    <message>
        <source>嬰%1</source>
        <translation>%1♯</translation>
    </message>
    <message>
        <source>変%1</source>
        <translation>%1♭</translation>
    </message>
    <message>
        <source>%1短調</source>
        <translation>%1 minor</translation>
    </message>
    <message>
        <source>%1長調</source>
        <translation>%1 major</translation>
    </message>
</context>
<context>
    <name>Profile</name>
    <message>
        <source>%1 は通常のファイルではありません。</source>
        <translation>%1 is not a regular file.</translation>
    </message>
    <message>
        <source>ファイルを読み込めません: %1</source>
        <translation>Cannot read the file: %1</translation>
    </message>
    <message>
        <source>一時フォルダを作成できません: %1</source>
        <translation>Cannot create a temporary folder: %1</translation>
    </message>
    <message>
        <source>Qt の設定ファイルを書き出せません。</source>
        <translation>Qt cannot write its settings file.</translation>
    </message>
    <message>
        <source>書き出した内容が読み戻せません。</source>
        <translation>What was written does not read back.</translation>
    </message>
</context>
<context>
    <name>Recovery</name>
    <message>
        <source>復元</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>破棄</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>後で</source>
        <translation>Later</translation>
    </message>
    <message>
        <source>壊れた復元ファイルを %1 に移しました</source>
        <translation>A damaged recovery file was moved to %1</translation>
    </message>
    <message>
        <source>自動バックアップを %1 に書けません: %2</source>
        <translation>Cannot write the automatic backup to %1: %2</translation>
    </message>
    <message>
        <source>自動バックアップを %1 に書けません: 別の KesV が使っています</source>
        <translation>Cannot write the automatic backup to %1: another KesV is using it</translation>
    </message>
    <message>
        <source>壊れた復元ファイル %1 を移せませんでした: %2</source>
        <translation>Could not move the damaged recovery file %1 aside: %2</translation>
    </message>
    <message>
        <source>%1 の保存されていない変更が残っています（%2）。</source>
        <translation>Unsaved changes to %1 were kept (%2).</translation>
    </message>
    <message>
        <source>%1 はその後（%2）に保存されています。</source>
        <translation>%1 was saved after that (%2).</translation>
    </message>
    <message>
        <source>復元しますか?</source>
        <translation>Restore them?</translation>
    </message>
    <message>
        <source>復元ファイル %1 を削除できませんでした: %2</source>
        <translation>Could not delete the recovery file %1: %2</translation>
    </message>
    <message>
        <source>自動バックアップは切られています</source>
        <translation>The automatic backup is off</translation>
    </message>
    <message>
        <source>%1。復元ファイル %2 は曲を保存するまで残します</source>
        <translation>%1. The recovery file %2 is kept until the song is saved</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>通常のファイルではありません</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>書き込みが禁止されています</source>
        <translation>the file is read-only</translation>
    </message>
    <message>
        <source>リンク先を読めません</source>
        <translation>cannot follow the link</translation>
    </message>
    <message>
        <source>ファイルを開けません</source>
        <translation>cannot open the file</translation>
    </message>
    <message>
        <source>書き込めません</source>
        <translation>cannot write</translation>
    </message>
    <message>
        <source>フォルダを作成できません</source>
        <translation>cannot create the folder</translation>
    </message>
    <message>
        <source>ファイルを作成できません</source>
        <translation>cannot create the file</translation>
    </message>
    <message>
        <source>ファイルを置き換えられません</source>
        <translation>cannot replace the file</translation>
    </message>
    <message>
        <source>設定ファイル %1 を保存できません: %2</source>
        <translation>Cannot save the settings file %1: %2</translation>
    </message>
</context>
<context>
    <name>SongFile</name>
    <message>
        <source>曲ファイルが壊れています（タイトルが終わっていません）。</source>
        <translation>The song file is damaged (its title does not end).</translation>
    </message>
    <message>
        <source>曲ファイルが壊れています（テンポがありません）。</source>
        <translation>The song file is damaged (it has no tempo).</translation>
    </message>
    <message>
        <source>フォルダ</source>
        <translation>a folder</translation>
    </message>
    <message>
        <source>デバイス</source>
        <translation>a device</translation>
    </message>
    <message>
        <source>名前付きパイプ</source>
        <translation>a named pipe</translation>
    </message>
    <message>
        <source>ソケット</source>
        <translation>a socket</translation>
    </message>
    <message>
        <source>特殊なファイル</source>
        <translation>a special file</translation>
    </message>
    <message>
        <source>通常のファイルではありません（%1）。</source>
        <translation>Not a regular file (%1).</translation>
    </message>
    <message>
        <source>ファイルを開けません: %1</source>
        <translation>Cannot open the file: %1</translation>
    </message>
    <message>
        <source>ファイルを読み込めません: %1</source>
        <translation>Cannot read the file: %1</translation>
    </message>
    <message>
        <source>曲ファイルとしては大きすぎます（%1 バイト）。</source>
        <translation>Too large for a song file (%1 bytes).</translation>
    </message>
    <message>
        <source>ファイルを作成できません: %1</source>
        <translation>Cannot create the file: %1</translation>
    </message>
    <message>
        <source>ファイルに書き込めません: %1</source>
        <translation>Cannot write the file: %1</translation>
    </message>
    <message>
        <source>KesV の曲ファイルではありません（先頭が E1 で始まらないか、末尾が FF で終わっていません）。MIDI ファイルや MusicXML の楽譜は読み込みのコマンドで開いてください。</source>
        <translation>Not a KesV song file (it does not start with E1 or end with FF). MIDI files and MusicXML scores are read with the Import commands.</translation>
    </message>
    <message>
        <source>通常のファイルではありません。</source>
        <translation>Not a regular file.</translation>
    </message>
    <message>
        <source>ファイルは書き込みが禁止されています。</source>
        <translation>The file is write-protected.</translation>
    </message>
    <message>
        <source>リンク先を読めません: %1</source>
        <translation>Cannot read the link: %1</translation>
    </message>
    <message>
        <source>フォルダを作成できません: %1</source>
        <translation>Cannot create the folder: %1</translation>
    </message>
    <message>
        <source>ファイルを置き換えられません: %1</source>
        <translation>Cannot replace the file: %1</translation>
    </message>
</context>
</TS>
