<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>Sinora</name>
    <message>
        <source>新規作成(&amp;N)</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>開く(&amp;O)...&#9;Ctrl+O</source>
        <translation>&amp;Open...&#9;Ctrl+O</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>印刷(&amp;P)...&#9;Ctrl+P</source>
        <translation>&amp;Print...&#9;Ctrl+P</translation>
    </message>
    <message>
        <source>印刷ﾌﾟﾚﾋﾞｭｰ(&amp;V)</source>
        <translation>Print Pre&amp;view</translation>
    </message>
    <message>
        <source>ﾌﾟﾘﾝﾀの設定(&amp;R)...</source>
        <translation>P&amp;rint Setup...</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Sinora のﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation>&amp;About Sinora...</translation>
    </message>
    <message>
        <source>画像表示</source>
        <translation>Images</translation>
    </message>
    <message>
        <source>逐次近似再構成(&amp;O)...</source>
        <translation>Iterative Rec&amp;onstruction...</translation>
    </message>
    <message>
        <source>フィルタ解析(&amp;F)...</source>
        <translation>&amp;Filter Analysis...</translation>
    </message>
    <message>
        <source>ファントム実験(&amp;P)...</source>
        <translation>&amp;Phantom Lab...</translation>
    </message>
    <message>
        <source>生ﾃﾞｰﾀを開く(&amp;R)...</source>
        <translation>Open &amp;Raw Data...</translation>
    </message>
    <message>
        <source>基本</source>
        <translation>Basics</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>切り取り(&amp;T)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>次のﾍﾟｲﾝ</source>
        <translation>Next Pane</translation>
    </message>
    <message>
        <source>前のﾍﾟｲﾝ</source>
        <translation>Previous Pane</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>最近使ったﾌｧｲﾙ</source>
        <translation>Recent File</translation>
    </message>
    <message>
        <source>応用(&amp;A)</source>
        <translation>&amp;Advanced</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Language / 言語</source>
        <translation>Language / 言語</translation>
    </message>
    <message>
        <source>日本語</source>
        <translation>日本語</translation>
    </message>
    <message>
        <source>%1 を開けません。
%2</source>
        <translation>Cannot open %1.
%2</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>ﾌﾟﾘﾝﾀの設定</source>
        <translation>Print Setup</translation>
    </message>
    <message>
        <source>無題</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>ファントム: %1</source>
        <translation>Phantom: %1</translation>
    </message>
    <message>
        <source>ファントム</source>
        <translation>Phantom</translation>
    </message>
    <message>
        <source>脳血流サンプル</source>
        <translation>Brain perfusion sample</translation>
    </message>
    <message>
        <source>3次元 Shepp-Logan</source>
        <translation>3-D Shepp-Logan</translation>
    </message>
    <message>
        <source>Jaszczak 型</source>
        <translation>Jaszczak-like</translation>
    </message>
    <message>
        <source>一様円柱</source>
        <translation>Uniform cylinder</translation>
    </message>
    <message>
        <source>3本の線線源</source>
        <translation>Three line sources</translation>
    </message>
    <message>
        <source>点線源</source>
        <translation>Point source</translation>
    </message>
    <message>
        <source>ホットとコールドの円板</source>
        <translation>Hot and cold discs</translation>
    </message>
    <message>
        <source>SPECT　再  構　成　画　像　の　体　験　ウ　イ　ン　ド　ウ</source>
        <translation>SPECT  reconstruction:  try  it  yourself</translation>
    </message>
    <message>
        <source>ポイントソースによるSPECT再構成画像の体験ウインドウ</source>
        <translation>SPECT reconstruction of a point source: try it yourself</translation>
    </message>
    <message>
        <source>Sinoraのﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About Sinora</translation>
    </message>
    <message>
        <source>SPECT再構成用教育ソフト</source>
        <translation>SPECT teaching software</translation>
    </message>
    <message>
        <source>Ver1（2005.04.05）</source>
        <translation>Ver1 (2005.04.05)</translation>
    </message>
    <message>
        <source>ﾞ</source>
        <translation>Reconstruction</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>→</source>
        <translation>→</translation>
    </message>
    <message>
        <source>←</source>
        <translation>←</translation>
    </message>
    <message>
        <source>スムージング</source>
        <translation>Smoothing</translation>
    </message>
    <message>
        <source>再構成フィルタ</source>
        <translation>Recon filter</translation>
    </message>
    <message>
        <source>プロジェクション・プロジェクション+前処理画像</source>
        <translation>Projection / pre-filtered projection</translation>
    </message>
    <message>
        <source>逆投影画像</source>
        <translation>Backproj.</translation>
    </message>
    <message>
        <source>（再構成フィルタ+逆投影）画像</source>
        <translation>Filtered backprojection</translation>
    </message>
    <message>
        <source>（前処理+再構成+逆投影）画像</source>
        <translation>Pre-filter + filtered BP</translation>
    </message>
    <message>
        <source>（再構成フィルタ＋逆投影）画像</source>
        <translation>Filtered backprojection</translation>
    </message>
    <message>
        <source>（前処理＋再構成＋逆投影）画像</source>
        <translation>Pre-filter + filtered BP</translation>
    </message>
    <message>
        <source>プロジェクションデータ</source>
        <translation>Projection data</translation>
    </message>
    <message>
        <source>プロジェクションデータ＋前処理フィルタ</source>
        <translation>Projection data + pre-filter</translation>
    </message>
    <message>
        <source>濃度調整</source>
        <translation>Density</translation>
    </message>
    <message>
        <source>再構成画像表示</source>
        <translation>Reconstruct</translation>
    </message>
    <message>
        <source>MLEM/OSEM で再構成し、FBP と比べる
逐次近似再構成</source>
        <translation>Reconstruct by MLEM/OSEM and compare with FBP
Iterative reconstruction</translation>
    </message>
    <message>
        <source>サイノグラム、フィルタの周波数応答、カットオフ付き再構成フィルタ
フィルタ解析</source>
        <translation>Sinograms, filter frequency responses, windowed reconstruction filters
Filter analysis</translation>
    </message>
    <message>
        <source>ﾚｲｱｳﾄを指定して生ﾃﾞｰﾀを開く
生ﾃﾞｰﾀを開く</source>
        <translation>Open raw data of a given layout
Open raw data</translation>
    </message>
    <message>
        <source>既知の物体の収集を作り、現在の検査にする
ファントム実験</source>
        <translation>Make an acquisition of a known object the current study
Phantom lab</translation>
    </message>
    <message>
        <source>ﾚﾃﾞｨ</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>新規にﾌｧｲﾙを作成
新規ﾌｧｲﾙ</source>
        <translation>Create a new document
New</translation>
    </message>
    <message>
        <source>既存のﾌｧｲﾙを開く
開く</source>
        <translation>Open an existing document
Open</translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを閉じる
閉じる</source>
        <translation>Close the active document
Close</translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを上書きして保存
保存</source>
        <translation>Save the active document
Save</translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを新しい名前で保存
名前をつけて保存</source>
        <translation>Save the active document with a new name
Save As</translation>
    </message>
    <message>
        <source>印刷ｵﾌﾟｼｮﾝの変更
ﾍﾟｰｼﾞ ﾚｲｱｳﾄの設定</source>
        <translation>Change the printing options
Page Setup</translation>
    </message>
    <message>
        <source>ﾌﾟﾘﾝﾀ/印刷ｵﾌﾟｼｮﾝの変更
印刷設定</source>
        <translation>Change the printer and printing options
Print Setup</translation>
    </message>
    <message>
        <source>作業中のﾌｧｲﾙを印刷
印刷</source>
        <translation>Print the active document
Print</translation>
    </message>
    <message>
        <source>印刷ｲﾒｰｼﾞを表示
印刷ﾌﾟﾚﾋﾞｭｰ</source>
        <translation>Display full pages
Print Preview</translation>
    </message>
    <message>
        <source>指定のﾌｧｲﾙを開く</source>
        <translation>Open this document</translation>
    </message>
    <message>
        <source>選択範囲を消去
消去</source>
        <translation>Erase the selection
Erase</translation>
    </message>
    <message>
        <source>すべて消去
すべて消去</source>
        <translation>Erase everything
Erase All</translation>
    </message>
    <message>
        <source>選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存
ｺﾋﾟｰ</source>
        <translation>Copy the selection and put it on the Clipboard
Copy</translation>
    </message>
    <message>
        <source>選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存
切り取り</source>
        <translation>Cut the selection and put it on the Clipboard
Cut</translation>
    </message>
    <message>
        <source>指定した文字列の検索
検索</source>
        <translation>Find the specified text
Find</translation>
    </message>
    <message>
        <source>ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け
貼り付け</source>
        <translation>Insert Clipboard contents
Paste</translation>
    </message>
    <message>
        <source>直前に行った動作を繰り返す
繰り返し</source>
        <translation>Repeat the last action
Repeat</translation>
    </message>
    <message>
        <source>指定した文字列を他の文字列で置換
置換</source>
        <translation>Replace specific text with different text
Replace</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ内のすべてを選択
すべて選択</source>
        <translation>Select the entire document
Select All</translation>
    </message>
    <message>
        <source>直前に行った動作を元に戻す
元に戻す</source>
        <translation>Undo the last action
Undo</translation>
    </message>
    <message>
        <source>直前に行った動作を繰り返す
繰り返す</source>
        <translation>Redo the previously undone action
Redo</translation>
    </message>
    <message>
        <source>作業中のｳｨﾝﾄﾞｳを分割
分割</source>
        <translation>Split the active window into panes
Split</translation>
    </message>
    <message>
        <source>ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示
ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>Display program information, version number and copyright
About</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示
終了</source>
        <translation>Quit the application; prompts to save documents
Exit</translation>
    </message>
    <message>
        <source>次のｳｨﾝﾄﾞｳに切り替える
次のﾍﾟｲﾝ</source>
        <translation>Switch to the next window pane
Next Pane</translation>
    </message>
    <message>
        <source>前のｳｨﾝﾄﾞｳに切り替える
前のﾍﾟｲﾝ</source>
        <translation>Switch back to the previous window pane
Previous Pane</translation>
    </message>
    <message>
        <source>上書</source>
        <translation>OVR</translation>
    </message>
    <message>
        <source>記録</source>
        <translation>REC</translation>
    </message>
    <message>
        <source>ｶﾅ</source>
        <translation>KANA</translation>
    </message>
    <message>
        <source>ﾂｰﾙ ﾊﾞｰの 表示/非表示
ﾂｰﾙ ﾊﾞｰの表示切り替え</source>
        <translation>Show or hide the toolbar
Toggle ToolBar</translation>
    </message>
    <message>
        <source>ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示
ｽﾃｰﾀｽ ﾊﾞｰの表示切り替え</source>
        <translation>Show or hide the status bar
Toggle StatusBar</translation>
    </message>
    <message>
        <source>ｳｨﾝﾄﾞｳのｻｲｽﾞを変更</source>
        <translation>Change the window size</translation>
    </message>
    <message>
        <source>ｳｨﾝﾄﾞｳの位置を変更</source>
        <translation>Change the window position</translation>
    </message>
    <message>
        <source>ｳｨﾝﾄﾞｳを最小化する</source>
        <translation>Reduce the window to an icon</translation>
    </message>
    <message>
        <source>ｳｨﾝﾄﾞｳを最大化する</source>
        <translation>Enlarge the window to full size</translation>
    </message>
    <message>
        <source>次のｳｨﾝﾄﾞｳに切り替える</source>
        <translation>Switch to the next document window</translation>
    </message>
    <message>
        <source>前のｳｨﾝﾄﾞｳに切り替える</source>
        <translation>Switch to the previous document window</translation>
    </message>
    <message>
        <source>作業中のｳｨﾝﾄﾞｳを閉じ、変更したﾌｧｲﾙの保存を指示</source>
        <translation>Close the active window and prompt to save the documents</translation>
    </message>
    <message>
        <source>ｳｨﾝﾄﾞｳを通常のｻｲｽﾞに戻す</source>
        <translation>Restore the window to normal size</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの切り替え</source>
        <translation>Activate Task List</translation>
    </message>
    <message>
        <source>印刷ﾌﾟﾚﾋﾞｭｰ ﾓｰﾄﾞの終わり
ﾌﾟﾚﾋﾞｭｰのｷｬﾝｾﾙ</source>
        <translation>Close print preview mode
Cancel Preview</translation>
    </message>
    <message>
        <source>画素サイズ不明</source>
        <translation>pixel size unknown</translation>
    </message>
    <message>
        <source>%1: %2 ビュー / %3°, %4 x %5, %6, 総カウント %7</source>
        <translation>%1: %2 views / %3°, %4 x %5, %6, total counts %7</translation>
    </message>
</context>
</TS>
