<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>CEnvDlg</name>
    <message>
        <source>動作環境</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CEnvKey</name>
    <message>
        <source>(なし)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを先頭へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを末尾へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを一頁上へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを一頁下へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを前小節へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを次小節へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを一行上へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを一行下へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>入力確定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>入力取消</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを左へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>カーソルを右へ移動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>イベントを挿入</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>イベントを削除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>値を１加算</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>値を１減算</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キー定義</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定の変更</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更新</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>対になるキーに、逆の機能を同時に割当てる</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CExchangeCommands</name>
    <message>
        <source>%1 に書き出せませんでした。
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 に書き出しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 を読み込めませんでした。
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>オーディオファイルを書き出しています...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>オーディオファイルの書き出しを中止しました</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CInputDlg</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>このタイトルには曲ファイルに保存できない文字が含まれています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>タイトルが長すぎます（%1 バイト）。半角で %2 文字、全角で %3 文字までにしてください。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>新規作成(&amp;N)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新規にﾌｧｲﾙを作成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>開く(&amp;O)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>既存のﾌｧｲﾙを開く</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを上書きして保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを新しい名前で保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI ファイルへ書き出し(&amp;M)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>曲を Standard MIDI File に書き出し</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI ファイルから読み込み(&amp;I)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Standard MIDI File の旋律を新しい曲として読み込み</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>オーディオファイルへ書き出し(&amp;W)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>曲を内蔵シンセサイザの音でオーディオファイルに書き出し</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>印刷(&amp;P)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを印刷</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>印刷ﾌﾟﾚﾋﾞｭｰ(&amp;V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>印刷ｲﾒｰｼﾞを表示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌﾟﾘﾝﾀの設定(&amp;R)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌﾟﾘﾝﾀ/印刷ｵﾌﾟｼｮﾝの変更</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了(&amp;X)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>直前に行った動作を元に戻す</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>やり直し(&amp;R)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>元に戻した操作をやり直す</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>切り取り(&amp;T)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ(&amp;C)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI演奏</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI中断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI録音</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KesV のﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｽﾃｰﾀｽ ﾊﾞｰ(&amp;S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>鍵盤入力(&amp;K)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ピアノ鍵盤の配列で音名を入力します</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>動作環境</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>指定のﾌｧｲﾙを開く</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>やり直し</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最近使ったﾌｧｲﾙ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>演奏(&amp;P)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾂｰﾙ ﾊﾞｰ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Midi接続ﾊﾞｰ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾂｰﾙ ﾊﾞｰ(&amp;T)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾂｰﾙ ﾊﾞｰの 表示/非表示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Midi接続ﾊﾞｰ(&amp;M)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾚﾃﾞｨ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｶﾅ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>無題</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1[*] - KesV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 に保存できませんでした。
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 を開けませんでした。
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 への変更を保存しますか?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTempoDlg</name>
    <message>
        <source>Tempo 設定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>特定値</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自由設定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>テンポには %1 から %2 までの整数を入力してください。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>開く曲ファイル。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SONG.kes を Standard MIDI File（フォーマット 0）に書き出して終了します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SONG.kes を .wav、.flac または .ogg ファイルに書き出して終了します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Standard MIDI File（最後の引数）を曲ファイルに読み込んで終了します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--export-midi、--export-audio、--import-midi のどれか一つを指定してください</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>出力ファイルの後に入力ファイルを一つ指定してください</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Exchange</name>
    <message>
        <source>Standard MIDI File ではありません（先頭に MThd がありません）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI ファイルのヘッダが壊れています（形式、トラック数または分解能）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SMPTE タイムコードの分解能には対応していません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>フォーマット 2 の MIDI ファイルには対応していません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘッダにあるトラックの前でファイルが終わっています</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>チャンクの長さがファイルの終わりを越えています</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不正なイベントがあります</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>イベントがトラックの終わりを越えています</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 バイト目</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>トラック %1、</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI ファイルが壊れています: %1（%2）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルがありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通常のファイルではありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI ファイルとしては大きすぎます（%1 バイト）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを開けません: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI ファイルとしては大きすぎます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velori Files (*.kes)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Standard MIDI File (*.mid *.midi)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを作成できません: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルに書き込めません: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>音域外の音符 %1 個を除きました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>短すぎる音符 %1 個を除きました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 イベントを超える分は読み込んでいません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI ファイルを読み込みました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI ファイルを読み込みました（%1）</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>、</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>通常のファイルではありません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>書き込みが禁止されています</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>リンク先を読めません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを開けません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>書き込めません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>フォルダを作成できません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを作成できません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを置き換えられません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定ファイル %1 を保存できません: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SongFile</name>
    <message>
        <source>曲ファイルの形式ではありません（先頭が E1 で始まらないか、末尾が FF で終わっていません）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>曲ファイルが壊れています（タイトルが終わっていません）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>曲ファイルが壊れています（テンポがありません）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>フォルダ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>デバイス</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名前付きパイプ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ソケット</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>特殊なファイル</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通常のファイルではありません（%1）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを開けません: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを読み込めません: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>曲ファイルとしては大きすぎます（%1 バイト）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルを作成できません: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ファイルに書き込めません: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
