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
        <source>比較ボード(&amp;C)...</source>
        <translation>&amp;Comparison board...</translation>
    </message>
    <message>
        <source>生ﾃﾞｰﾀを開く(&amp;R)...</source>
        <translation>Open &amp;Raw Data...</translation>
    </message>
    <message>
        <source>開き方(&amp;W)...</source>
        <translation>Open &amp;Way...</translation>
    </message>
    <message>
        <source>レッスン(&amp;L)...</source>
        <translation>Lessons(&amp;L)...</translation>
    </message>
    <message>
        <source>CT / μマップを開く</source>
        <translation>Open CT / μ map</translation>
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
        <source>CT のスライスか μ マップ (*.dcm *.DCM *.ima *.hv *.h33 *)</source>
        <translation>CT slices or μ maps (*.dcm *.DCM *.ima *.hv *.h33 *)</translation>
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
        <source>エネルギーウィンドウ(&amp;E)</source>
        <translation>&amp;Energy window</translation>
    </message>
    <message>
        <source>エネルギーウィンドウ %1（%2）を表示しています。</source>
        <translation>Showing energy window %1 (%2).</translation>
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
        <source>CT の画像ではありません（モダリティ %1）。</source>
        <translation>Not a CT image (modality %1).</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>画素データがありません。</source>
        <translation>There is no pixel data.</translation>
    </message>
    <message>
        <source>画像の大きさ %1 x %2 は読めません（1 から %3 まで）。</source>
        <translation>An image of %1 x %2 cannot be read (1 to %3).</translation>
    </message>
    <message>
        <source>%1 フレームの画像です。1 ファイル 1 スライスの CT だけを読みます。</source>
        <translation>The image has %1 frames. Only CT with one slice per file is read.</translation>
    </message>
    <message>
        <source>画素のビット数 %1 は読めません（8 または 16）。</source>
        <translation>Cannot read %1 bits per pixel (8 or 16).</translation>
    </message>
    <message>
        <source>1 画素 1 サンプルの画像ではありません（Samples per Pixel (0028,0002)）。</source>
        <translation>The image does not have one sample per pixel (Samples per Pixel (0028,0002)).</translation>
    </message>
    <message>
        <source>Image Position (Patient) (0020,0032) がありません。</source>
        <translation>Image Position (Patient) (0020,0032) is missing.</translation>
    </message>
    <message>
        <source>Image Orientation (Patient) (0020,0037) がありません。</source>
        <translation>Image Orientation (Patient) (0020,0037) is missing.</translation>
    </message>
    <message>
        <source>Pixel Spacing (0028,0030) がないか、正しくありません。</source>
        <translation>Pixel Spacing (0028,0030) is missing or wrong.</translation>
    </message>
    <message>
        <source>Image Orientation (Patient) (0020,0037) が直交する 2 つの単位ベクトルではありません。</source>
        <translation>Image Orientation (Patient) (0020,0037) is not two orthogonal unit vectors.</translation>
    </message>
    <message>
        <source>Rescale Slope (0028,1053) か Rescale Intercept (0028,1052) が正しくありません。</source>
        <translation>Rescale Slope (0028,1053) or Rescale Intercept (0028,1052) is wrong.</translation>
    </message>
    <message>
        <source>ガントリが %1 度傾いています（Gantry/Detector Tilt (0018,1120)）。傾いた CT は読めません。</source>
        <translation>The gantry is tilted by %1 degrees (Gantry/Detector Tilt (0018,1120)). A tilted CT cannot be read.</translation>
    </message>
    <message>
        <source>画素データを読めません（Pixel Data (7FE0,0010) の形が違います）。</source>
        <translation>Cannot read the pixel data (Pixel Data (7FE0,0010) is not of the right kind).</translation>
    </message>
    <message>
        <source>圧縮された画素データに断片がありません。</source>
        <translation>The compressed pixel data have no fragments.</translation>
    </message>
    <message>
        <source>RLE で圧縮された画素データが壊れています。</source>
        <translation>The RLE-compressed pixel data are damaged.</translation>
    </message>
    <message>
        <source>画素データが短すぎます（%1 バイト、%2 バイトが必要）。</source>
        <translation>The pixel data are too short (%1 bytes, %2 bytes needed).</translation>
    </message>
    <message>
        <source>画素データを読めないか展開できません（DCMTK: %1）。</source>
        <translation>The pixel data cannot be read or decompressed (DCMTK: %1).</translation>
    </message>
    <message>
        <source>DICOM ファイルではありません。</source>
        <translation>Not a DICOM file.</translation>
    </message>
    <message>
        <source>CT のスライスとしては大きすぎます（%1 バイト、%2 バイトまで）。</source>
        <translation>Too large for a CT slice (%1 bytes; at most %2 bytes).</translation>
    </message>
    <message>
        <source>DICOM ファイルとして読めません（DCMTK: %1）。</source>
        <translation>Cannot be read as a DICOM file (DCMTK: %1).</translation>
    </message>
    <message>
        <source>フォルダまたはファイルが見つかりません。</source>
        <translation>The folder or file does not exist.</translation>
    </message>
    <message>
        <source>開けません（%1）。</source>
        <translation>Cannot be opened (%1).</translation>
    </message>
    <message>
        <source>ファイル %1: %2</source>
        <translation>File %1: %2</translation>
    </message>
    <message>
        <source>フォルダ %1 を読めません（%2）。</source>
        <translation>The folder %1 cannot be read (%2).</translation>
    </message>
    <message>
        <source>フォルダ %1 のファイルが多すぎます（%2 個まで）。</source>
        <translation>The folder %1 holds too many files (at most %2).</translation>
    </message>
    <message>
        <source>フォルダ %1 に CT のスライスがありません（DICOM ファイル %2 個、そのうち CT 以外 %3 個）。</source>
        <translation>The folder %1 holds no CT slices (%2 DICOM files, %3 of them not CT).</translation>
    </message>
    <message>
        <source>フォルダに CT のシリーズが %1 個あります。スライスのいちばん多いシリーズ（%2 枚）を読みました。</source>
        <translation>The folder holds %1 CT series. The series with the most slices (%2) was read.</translation>
    </message>
    <message>
        <source>%1: スライスが 1 枚しかありません。断面を作るには同じシリーズのスライスが 2 枚以上要ります。</source>
        <translation>%1: there is only one slice. Sections need two or more slices of the same series.</translation>
    </message>
    <message>
        <source>スライスが多すぎます（%1 枚、%2 枚まで）。</source>
        <translation>Too many slices (%1; at most %2).</translation>
    </message>
    <message>
        <source>%1: スライスの大きさ %2 x %3 が %4 の %5 x %6 と違います。</source>
        <translation>%1: the slice size %2 x %3 differs from %5 x %6 of %4.</translation>
    </message>
    <message>
        <source>%1: スライスの向き（Image Orientation (Patient)）が %2 と違います。</source>
        <translation>%1: the slice orientation (Image Orientation (Patient)) differs from that of %2.</translation>
    </message>
    <message>
        <source>%1: 画素の大きさ（Pixel Spacing）が %2 と違います。</source>
        <translation>%1: the pixel size (Pixel Spacing) differs from that of %2.</translation>
    </message>
    <message>
        <source>%1 と %2 が同じ位置にあります（Image Position (Patient)）。</source>
        <translation>%1 and %2 lie at the same position (Image Position (Patient)).</translation>
    </message>
    <message>
        <source>スライスの間隔がそろっていません: %1 と %2 の間は %3 mm、ほかは %4 mm です。</source>
        <translation>The slices are not evenly spaced: %3 mm between %1 and %2, %4 mm elsewhere.</translation>
    </message>
    <message>
        <source>%1 と %2 の位置が断面に垂直な向きからずれています（ガントリの傾き、%3 mm）。傾いた CT は読めません。</source>
        <translation>The positions of %1 and %2 are offset across the slices' normal (gantry tilt, %3 mm). A tilted CT cannot be read.</translation>
    </message>
    <message>
        <source>CT が大きすぎます（%1 x %2 x %3 ボクセル、%4 まで）。</source>
        <translation>The CT is too large (%1 x %2 x %3 voxels; at most %4).</translation>
    </message>
    <message>
        <source>CT: %1 枚のスライス（%2 x %3、%4 mm 間隔）を読みました。</source>
        <translation>CT: %1 slices (%2 x %3, %4 mm apart) were read.</translation>
    </message>
    <message>
        <source>%1: ヘッダが大きすぎます（%2 バイトまで）。</source>
        <translation>%1: the header is too large (at most %2 bytes).</translation>
    </message>
    <message>
        <source>%1: ヘッダのキー「%2」の値「%3」%4</source>
        <translation>%1: the value "%3" of the header key "%2" %4</translation>
    </message>
    <message>
        <source>%1: ヘッダにキー「%2」がありません。</source>
        <translation>%1: the header has no key "%2".</translation>
    </message>
    <message>
        <source>は 1 から 512 までの整数ではありません。</source>
        <translation>is not a whole number from 1 to 512.</translation>
    </message>
    <message>
        <source>%1: ヘッダにスライス数のキー（「matrix size [3]」「number of slices」「total number of images」）がありません。</source>
        <translation>%1: the header has no key for the number of slices ("matrix size [3]", "number of slices", "total number of images").</translation>
    </message>
    <message>
        <source>%1: μ マップの大きさ %2 x %3 x %4 が、今の収集の再構成 %5 x %5 x %6 と合いません。</source>
        <translation>%1: the μ map's size %2 x %3 x %4 does not match the reconstruction of the current study, %5 x %5 x %6.</translation>
    </message>
    <message>
        <source>μ マップの値の単位がヘッダにないので、cm^-1 と見なしました。</source>
        <translation>The header gives no unit for the μ map's values: they were taken as cm^-1.</translation>
    </message>
    <message>
        <source>%1: 値が 1 画素あたりですが、画素の大きさが分かりません（scaling factor (mm/pixel)）。</source>
        <translation>%1: the values are per pixel, but the pixel size is not known (scaling factor (mm/pixel)).</translation>
    </message>
    <message>
        <source>μ マップの値を 1 画素あたりと読み、画素の大きさ %1 mm で cm^-1 にしました。</source>
        <translation>The μ map's values were read as per pixel and turned into cm^-1 with a pixel size of %1 mm.</translation>
    </message>
    <message>
        <source>μ マップの値を mm^-1 と読み、cm^-1 にしました。</source>
        <translation>The μ map's values were read as mm^-1 and turned into cm^-1.</translation>
    </message>
    <message>
        <source>μ マップの値を cm^-1 と読みました。</source>
        <translation>The μ map's values were read as cm^-1.</translation>
    </message>
    <message>
        <source>は μ の単位（cm^-1、mm^-1、1 画素あたり）ではありません。</source>
        <translation>is not a unit of μ (cm^-1, mm^-1, per pixel).</translation>
    </message>
    <message>
        <source>は keV の数（1 から 2000）ではありません。</source>
        <translation>is not an energy in keV (1 to 2000).</translation>
    </message>
    <message>
        <source>は下限より大きい keV の数（2000 まで）ではありません。</source>
        <translation>is not an energy in keV above the lower level (up to 2000).</translation>
    </message>
    <message>
        <source>%1: データファイル %2: %3</source>
        <translation>%1: data file %2: %3</translation>
    </message>
    <message>
        <source>%1: データファイル %2 は %3 バイトで、%4 バイトに足りません。</source>
        <translation>%1: the data file %2 has %3 bytes, fewer than the %4 bytes needed.</translation>
    </message>
    <message>
        <source>%1: データファイル %2 を最後まで読めません。</source>
        <translation>%1: the data file %2 cannot be read to its end.</translation>
    </message>
    <message>
        <source>負の値、数でない値、100 cm^-1 を超える値が %1 個あり、0 または 100 にしました。</source>
        <translation>%1 values were negative, not numbers or above 100 cm^-1; they were set to 0 or 100.</translation>
    </message>
    <message>
        <source>%1: DICOM の CT でも Interfile の μ マップでもありません。</source>
        <translation>%1: neither a DICOM CT nor an Interfile μ map.</translation>
    </message>
    <message>
        <source>DICOM の構造として読めません</source>
        <translation>its structure is not DICOM's</translation>
    </message>
    <message>
        <source>ファイルが途中で終わっています</source>
        <translation>the file ends part way through</translation>
    </message>
    <message>
        <source>ファイルの途中でデータの構造が壊れています</source>
        <translation>the structure is broken part way through the file</translation>
    </message>
    <message>
        <source>読めない属性があります</source>
        <translation>it holds an attribute that cannot be read</translation>
    </message>
    <message>
        <source>DICOM のファイルメタ情報がありません</source>
        <translation>it has no DICOM file meta information</translation>
    </message>
    <message>
        <source>DICOM ファイルとして読めません: %1（DCMTK: %2）。</source>
        <translation>Cannot read it as a DICOM file: %1 (DCMTK: %2).</translation>
    </message>
    <message>
        <source>画素データが大きすぎます（%1 フレーム、%2 バイト。読めるのは %3 バイトまで）。</source>
        <translation>The pixel data is too large (%1 frames, %2 bytes; at most %3 bytes can be read).</translation>
    </message>
    <message>
        <source>圧縮された画素データの断片が %1 個しかありません（%2 フレームには %2 個以上が必要）。</source>
        <translation>The compressed pixel data has only %1 fragments (%2 frames need at least %2).</translation>
    </message>
    <message>
        <source>RLE で圧縮された断片 %1 が壊れています。</source>
        <translation>RLE-compressed fragment %1 is damaged.</translation>
    </message>
    <message>
        <source>画素データが短すぎます（%1 画素、%2 フレームには %3 画素が必要）。</source>
        <translation>The pixel data are too short (%1 pixels; %2 frames need %3).</translation>
    </message>
    <message>
        <source>フレーム %1 の画素データを読めないか展開できません（DCMTK: %2）。</source>
        <translation>Cannot read or decompress the pixel data of frame %1 (DCMTK: %2).</translation>
    </message>
    <message>
        <source>検出器 %1 は開始角度がないので、Image Orientation (Patient) から %2 度としました。</source>
        <translation>Detector %1 has no start angle; it was placed at %2 degrees from its Image Orientation (Patient).</translation>
    </message>
    <message>
        <source>検出器 %1 の Image Orientation (Patient) では列の向きが逆なので、そのビューを 180 度回して読みました。</source>
        <translation>The Image Orientation (Patient) of detector %1 has its columns the other way round; its views were read turned by 180 degrees.</translation>
    </message>
    <message>
        <source>検出器 %1 の Image Orientation (Patient)（%2 度）は開始角度 %3 度と合わないので使いませんでした。</source>
        <translation>The Image Orientation (Patient) of detector %1 (%2 degrees) does not agree with its start angle of %3 degrees and was not used.</translation>
    </message>
    <message>
        <source>頭から伏臥位（HFP）</source>
        <translation>head first, prone (HFP)</translation>
    </message>
    <message>
        <source>足から仰臥位（FFS）</source>
        <translation>feet first, supine (FFS)</translation>
    </message>
    <message>
        <source>足から伏臥位（FFP）</source>
        <translation>feet first, prone (FFP)</translation>
    </message>
    <message>
        <source>患者の体位は%1です。DICOM の角度は患者を基準にしているので、そのまま読みました。</source>
        <translation>The patient lay %1. DICOM's angles are referred to the patient, so they were read as they are.</translation>
    </message>
    <message>
        <source>核医学（NM）の画像ではありません（モダリティ %1）。</source>
        <translation>Not a nuclear medicine (NM) image (modality %1).</translation>
    </message>
    <message>
        <source>再構成済みの断層画像（%1）です。プロジェクションデータではありません。</source>
        <translation>A reconstructed tomographic image (%1), not projection data.</translation>
    </message>
    <message>
        <source>断層収集（TOMO）のプロジェクションデータではありません（画像の種類 %1）。</source>
        <translation>Not projection data of a tomographic (TOMO) acquisition (image type %1).</translation>
    </message>
    <message>
        <source>ファンビーム</source>
        <translation>fan beam</translation>
    </message>
    <message>
        <source>コーンビーム</source>
        <translation>cone beam</translation>
    </message>
    <message>
        <source>ピンホール</source>
        <translation>pinhole</translation>
    </message>
    <message>
        <source>ダイバージング</source>
        <translation>diverging</translation>
    </message>
    <message>
        <source>アスティグマティック</source>
        <translation>astigmatic</translation>
    </message>
    <message>
        <source>コリメータが平行多孔ではありません（%1、%2）。このプログラムは平行ビームの投影だけを再構成します。</source>
        <translation>The collimator is not parallel-hole (%1, %2). This program reconstructs parallel-beam projections only.</translation>
    </message>
    <message>
        <source>画像の大きさ %1 x %2 は読めません（1 から 512 まで）。</source>
        <translation>Cannot read an image of %1 x %2 (1 to 512).</translation>
    </message>
    <message>
        <source>フレーム数 %1 は読めません（1 から %2 まで）。</source>
        <translation>Cannot read %1 frames (1 to %2).</translation>
    </message>
    <message>
        <source>回転 %1 の Angular Step (0018,1144) がないか 0 なので、Scan Arc %2 度と Number of Frames in Rotation %3 から %4 度ごとと読みました。</source>
        <translation>Rotation %1 has no Angular Step (0018,1144) or a step of 0, so the step was taken from Scan Arc %2 degrees and Number of Frames in Rotation %3: %4 degrees.</translation>
    </message>
    <message>
        <source>回転 %1 の Angular Step (0018,1144) がないか、0 か数ではありません。Scan Arc (0018,1143) と Number of Frames in Rotation (0018,1142) からも求められないので、ビューの角度が決まりません。</source>
        <translation>Rotation %1 has no Angular Step (0018,1144), or it is 0 or not a number, and it cannot be found from Scan Arc (0018,1143) and Number of Frames in Rotation (0018,1142) either, so the views' angles are unknown.</translation>
    </message>
    <message>
        <source>1 番目のエネルギーウィンドウのフレームがありません。</source>
        <translation>There are no frames of the first energy window.</translation>
    </message>
    <message>
        <source>ビュー数 %1 は多すぎます（1024 まで）。</source>
        <translation>%1 views are too many (up to 1024).</translation>
    </message>
    <message>
        <source>エネルギーウィンドウが %1 個あります。1 番目を開きました。</source>
        <translation>There are %1 energy windows; the first was opened.</translation>
    </message>
    <message>
        <source>エネルギーウィンドウが %1 個あります。1 番目（%2）を開きました。</source>
        <translation>There are %1 energy windows; the first (%2) was opened.</translation>
    </message>
    <message>
        <source>%1 つの検出器のフレームを角度の順に 1 回転にまとめました。</source>
        <translation>The frames of %1 detectors were merged into one rotation in angle order.</translation>
    </message>
    <message>
        <source>エネルギーウィンドウ %1 のフレームは 1 番目と同じビューではないので読みませんでした。</source>
        <translation>Energy window %1 was not read: its frames are not the views of the first.</translation>
    </message>
    <message>
        <source>連続回転の収集です。各フレームの角度を、そのフレームの間に検出器が回った角度の中ほどとしました。</source>
        <translation>A continuous rotation: each frame's angle is taken at the middle of the arc the detector turned through during the frame.</translation>
    </message>
    <message>
        <source>%1 個の負の値を 0 にしました（最小値 %2）。</source>
        <translation>%1 negative values were set to 0 (the lowest was %2).</translation>
    </message>
    <message>
        <source>DICOM のメタ情報を作れません。</source>
        <translation>Cannot make the DICOM meta information.</translation>
    </message>
    <message>
        <source>DICOM ファイルを作れません（%1）。</source>
        <translation>Cannot make the DICOM file (%1).</translation>
    </message>
    <message>
        <source>書き出す断面がありません。</source>
        <translation>There are no slices to export.</translation>
    </message>
    <message>
        <source>NIfTI の見出しを作れません。</source>
        <translation>Cannot make the NIfTI header.</translation>
    </message>
    <message>
        <source>ビューの角度が等間隔ではないので、1 回転として書き出せません。</source>
        <translation>The views are not evenly spaced in angle, so they cannot be written as one rotation.</translation>
    </message>
    <message>
        <source>ファイル名が指定されていません。</source>
        <translation>No file name was given.</translation>
    </message>
    <message>
        <source>開始角度は DICOM と同じく 0 度で検出器が患者の背側にあるものと読みました（STIR の書き方、%1）。</source>
        <translation>The start angle was read as DICOM's, 0 degrees with the detector at the patient's back (as STIR writes it: %1).</translation>
    </message>
    <message>
        <source>開始角度は Interfile 3.3 のとおり 0 度で検出器が患者の腹側にある（DICOM の角度 + 180 度）ものと読みました（書いたプログラムを示すキーがありません）。</source>
        <translation>The start angle was read as Interfile 3.3 has it, 0 degrees with the detector at the patient's front (DICOM's angle + 180 degrees); no key names the program that wrote the header.</translation>
    </message>
    <message>
        <source>開始角度は Interfile 3.3 のとおり 0 度で検出器が患者の腹側にある（DICOM の角度 + 180 度）ものと読みました（%1）。</source>
        <translation>The start angle was read as Interfile 3.3 has it, 0 degrees with the detector at the patient's front (DICOM's angle + 180 degrees; %1).</translation>
    </message>
    <message>
        <source>ヘッダにキー「%1」がありません。</source>
        <translation>The header has no key “%1”.</translation>
    </message>
    <message>
        <source>ヘッダのキー「%1」の値「%2」%3</source>
        <translation>The value “%2” of the header key “%1” %3</translation>
    </message>
    <message>
        <source>は核医学（nucmed、NM、SPECT）ではありません。</source>
        <translation>is not nuclear medicine (nucmed, NM, SPECT).</translation>
    </message>
    <message>
        <source>再構成済みの断層画像（process status := reconstructed）です。プロジェクションデータではありません。</source>
        <translation>This is a reconstructed tomographic image (process status := reconstructed), not projection data.</translation>
    </message>
    <message>
        <source>は断層収集（Tomographic）のプロジェクションデータではありません。</source>
        <translation>is not projection data of a tomographic acquisition (Tomographic).</translation>
    </message>
    <message>
        <source>ヘッダのキー「%1」の値に制御文字（%2）があります。</source>
        <translation>The value of the header key “%1” holds a control character (%2).</translation>
    </message>
    <message>
        <source>は分かりません。</source>
        <translation>is not understood.</translation>
    </message>
    <message>
        <source>は 1, 2, 4, 8 のいずれでもありません。</source>
        <translation>is none of 1, 2, 4 and 8.</translation>
    </message>
    <message>
        <source>は読めない数の形式です。</source>
        <translation>is a number format that cannot be read.</translation>
    </message>
    <message>
        <source>は short float（4 バイト）と合いません。</source>
        <translation>does not agree with short float (4 bytes).</translation>
    </message>
    <message>
        <source>は long float（8 バイト）と合いません。</source>
        <translation>does not agree with long float (8 bytes).</translation>
    </message>
    <message>
        <source>は浮動小数点数に使えません。</source>
        <translation>cannot be used for floating-point numbers.</translation>
    </message>
    <message>
        <source>は 1 から 1024 までの整数ではありません。</source>
        <translation>is not a whole number from 1 to 1024.</translation>
    </message>
    <message>
        <source>は 0 より大きく 360 以下の角度ではありません。</source>
        <translation>is not an angle above 0 and up to 360.</translation>
    </message>
    <message>
        <source>は -360 から 360 までの角度ではありません。</source>
        <translation>is not an angle from -360 to 360.</translation>
    </message>
    <message>
        <source>は CW でも CCW でもありません。</source>
        <translation>is neither CW nor CCW.</translation>
    </message>
    <message>
        <source>は 0 以上の整数ではありません。</source>
        <translation>is not a whole number from 0.</translation>
    </message>
    <message>
        <source>キー「%1」がヘッダ自身を指しています。</source>
        <translation>The key “%1” names the header itself.</translation>
    </message>
    <message>
        <source>データファイル %1: %2</source>
        <translation>Data file %1: %2</translation>
    </message>
    <message>
        <source>ヘッダが大きすぎます（%1 バイト、Interfile のヘッダは %2 バイトまで）。</source>
        <translation>The header is too large (%1 bytes; an Interfile header has at most %2 bytes).</translation>
    </message>
    <message>
        <source>キー「name of data file」がヘッダ自身を指しています。</source>
        <translation>The key “name of data file” names the header itself.</translation>
    </message>
    <message>
        <source>データファイル %1 は %2 バイトで、ヘッダのキー「matrix size」「number of projections」「number of bytes per pixel」から求めた %3 バイトに足りません。</source>
        <translation>The data file %1 has %2 bytes, fewer than the %3 bytes the header keys “matrix size”, “number of projections” and “number of bytes per pixel” call for.</translation>
    </message>
    <message>
        <source>ビュー数は 1 から 1024 までです（%1）。</source>
        <translation>Views are 1 to 1024 (1).</translation>
    </message>
    <message>
        <source>行数は 1 から 512 までです（%1）。</source>
        <translation>Rows are 1 to 512 (1).</translation>
    </message>
    <message>
        <source>ビン数は 1 から 512 までです（%1）。</source>
        <translation>Bins are 1 to 512 (1).</translation>
    </message>
    <message>
        <source>1 画素のバイト数は 1, 2, 4, 8 のいずれかです（%1）。</source>
        <translation>Bytes per count are 1, 2, 4 or 8 (1).</translation>
    </message>
    <message>
        <source>浮動小数点数は 4 または 8 バイトです（%1）。</source>
        <translation>Floating-point counts take 4 or 8 bytes (4).</translation>
    </message>
    <message>
        <source>角度が数ではありません。</source>
        <translation>An angle is not a number.</translation>
    </message>
    <message>
        <source>%1 個の値を 0〜65535 の整数カウントに丸めました（元の最大値 %2、NaN を含む）。</source>
        <translation>%1 values were rounded to whole counts of 0 to 65535 (the largest was %2; NaN among them).</translation>
    </message>
    <message>
        <source>%1 個の値を 0〜65535 の整数カウントに丸めました（元の最大値 %2）。</source>
        <translation>%1 values were rounded to whole counts of 0 to 65535 (the largest was %2).</translation>
    </message>
    <message>
        <source>フォルダです。プロジェクションデータのファイルではありません。</source>
        <translation>It is a folder, not a file of projection data.</translation>
    </message>
    <message>
        <source>通常のファイルではありません（パイプ、ソケットまたはデバイス）。</source>
        <translation>It is not a regular file (a pipe, socket or device).</translation>
    </message>
    <message>
        <source>回転範囲は最初のビューから最後のビューまでと読みました（%1 度ごと）。</source>
        <translation>The arc was read as running from the first view to the last (%1 degrees apart).</translation>
    </message>
    <message>
        <source>ファイルが見つかりません。</source>
        <translation>The file is not there.</translation>
    </message>
    <message>
        <source>ファイルを開けません（%1）。</source>
        <translation>The file cannot be opened (%1).</translation>
    </message>
    <message>
        <source>ファイルを最後まで読めません（%1）。</source>
        <translation>The file cannot be read to its end (%1).</translation>
    </message>
    <message>
        <source>データが短すぎます（%1 バイト、必要なのは %2 バイト）。</source>
        <translation>The data are too short (%1 bytes; %2 are needed).</translation>
    </message>
    <message>
        <source>カットオフは 0 より大きく 0.5 サイクル/画素以下にしてください。</source>
        <translation>The cut-off must be above 0 and at most 0.5 cycles/pixel.</translation>
    </message>
    <message>
        <source>次数は 0.5 から 50 までにしてください。</source>
        <translation>The order must be 0.5 to 50.</translation>
    </message>
    <message>
        <source>CT と SPECT の Frame of Reference UID が同じなので、DICOM の患者座標で位置を合わせました。</source>
        <translation>The CT and the SPECT share their Frame of Reference UID: they were registered by DICOM patient coordinates.</translation>
    </message>
    <message>
        <source>収集に患者座標がないので、CT の中心を再構成の中心に置きました。ずらしで位置を合わせてください。</source>
        <translation>The study has no patient coordinates: the CT's middle was placed on the reconstruction's. Place it with the shift.</translation>
    </message>
    <message>
        <source>CT と SPECT の Frame of Reference UID が違うので、CT の中心を再構成の中心に置きました。ずらしで位置を合わせてください。</source>
        <translation>The CT and the SPECT have different Frame of Reference UIDs: the CT's middle was placed on the reconstruction's. Place it with the shift.</translation>
    </message>
    <message>
        <source>μ マップの大きさ %1 x %1 x %2 が、この収集の再構成 %3 x %3 x %4 と合いません。</source>
        <translation>The μ map's size %1 x %1 x %2 does not match this study's reconstruction, %3 x %3 x %4.</translation>
    </message>
    <message>
        <source>μ マップは %1 keV のものです（ヘッダのエネルギーウィンドウ）。</source>
        <translation>The μ map is for %1 keV (the header's energy window).</translation>
    </message>
    <message>
        <source>μ マップのエネルギーがヘッダにないので、収集の光子エネルギー %1 keV のものと見なしました。</source>
        <translation>The header gives no energy for the μ map, so it was taken to be for the study's photon energy, %1 keV.</translation>
    </message>
    <message>
        <source>μ を %1 keV から %2 keV に換算しました（水と皮質骨の係数で）。</source>
        <translation>μ converted from %1 keV to %2 keV (by the coefficients of water and cortical bone).</translation>
    </message>
    <message>
        <source>CT も μ マップも開かれていません。</source>
        <translation>No CT or μ map is open.</translation>
    </message>
    <message>
        <source>CT が届くのは %1 行のうち %2 行です。届かない行は空気（μ = 0）としました。</source>
        <translation>The CT reaches %2 of the %1 rows. The rows it does not reach were taken as air (μ = 0).</translation>
    </message>
    <message>
        <source>CT を x %1 mm、y %2 mm、z %3 mm ずらしました。</source>
        <translation>The CT was shifted by x %1 mm, y %2 mm, z %3 mm.</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1 度回す</source>
        <translation>turned by %1 degrees</translation>
    </message>
    <message>
        <source>回転方向を逆に</source>
        <translation>direction of rotation reversed</translation>
    </message>
    <message>
        <source>エネルギーウィンドウ %1（%2）</source>
        <translation>energy window %1 (%2)</translation>
    </message>
    <message>
        <source>前回選んだ開き方（%1）で開きました。変えるときは「応用」→「開き方...」を選ぶか、Shift を押しながら開いてください。</source>
        <translation>Opened the way chosen before (%1). To change it, choose Advanced &gt; Open Way... or hold Shift while opening.</translation>
    </message>
    <message>
        <source>ビュー数は 4 から 360 です。</source>
        <translation>Views: 4 to 360.</translation>
    </message>
    <message>
        <source>収集角度は 180 度か 360 度です。</source>
        <translation>The arc is 180 or 360 degrees.</translation>
    </message>
    <message>
        <source>開始角度は -360 から 360 度です。</source>
        <translation>The start angle is -360 to 360 degrees.</translation>
    </message>
    <message>
        <source>マトリクスは 64、128、256 のどれかです。</source>
        <translation>The matrix is 64, 128 or 256.</translation>
    </message>
    <message>
        <source>画素サイズは 0 より大きく 20 mm までです。</source>
        <translation>The pixel size is above 0, up to 20 mm.</translation>
    </message>
    <message>
        <source>総計数は 1000 から 10^9 です。</source>
        <translation>Total counts: 1000 to 10^9.</translation>
    </message>
    <message>
        <source>総計数 (ノイズなしでも尺度に使います) は 1000 から 10^9 です。</source>
        <translation>Total counts (the scale even without noise): 1000 to 10^9.</translation>
    </message>
    <message>
        <source>コリメータの FWHM は 0 から 50 mm です。</source>
        <translation>The collimator FWHM is 0 to 50 mm.</translation>
    </message>
    <message>
        <source>回転半径は視野の半径 (%1 mm) 以上、1000 mm までです。</source>
        <translation>The radius is at least the field's (%1 mm), up to 1000 mm.</translation>
    </message>
    <message>
        <source>回転半径は 0 より大きく 1000 mm までです。</source>
        <translation>The radius is above 0, up to 1000 mm.</translation>
    </message>
    <message>
        <source>回転中心のずれは -20 から 20 画素です。</source>
        <translation>The offset is -20 to 20 pixels.</translation>
    </message>
    <message>
        <source>減弱係数 μ は 0 から 2 cm^-1 です。</source>
        <translation>μ is 0 to 2 cm^-1.</translation>
    </message>
    <message>
        <source>核種は tc99m、i123、lu177 のどれかです。</source>
        <translation>The isotope is one of tc99m, i123 and lu177.</translation>
    </message>
    <message>
        <source>エネルギーウィンドウの幅はピークが 2 から 50 %、両側が 1 から 30 % です。</source>
        <translation>The energy windows are 2 to 50 % wide at the peak and 1 to 30 % at each side.</translation>
    </message>
    <message>
        <source>エネルギー分解能は 0 から 30 % です。</source>
        <translation>The energy resolution is 0 to 30 %.</translation>
    </message>
    <message>
        <source>コリメータは R_i と R_c0 が 0 から 50 mm、k が 0 から 1 です。</source>
        <translation>The collimator's R_i and R_c0 are 0 to 50 mm and k is 0 to 1.</translation>
    </message>
    <message>
        <source>胸部は幅 330 mm あります。視野（マトリクス × 画素サイズ = %1 mm）を 340 mm 以上にしてください。</source>
        <translation>The thorax is 330 mm wide. Make the field of view (matrix × pixel size = %1 mm) at least 340 mm.</translation>
    </message>
    <message>
        <source>点線源の位置に数でないものがあります。</source>
        <translation>A coordinate is not a number.</translation>
    </message>
    <message>
        <source>点線源が視野の外です (中心から %1 mm まで)。</source>
        <translation>Outside the field (up to %1 mm from the centre).</translation>
    </message>
    <message>
        <source>中止しました。</source>
        <translation>Stopped.</translation>
    </message>
    <message>
        <source>投影に計数がありません (物体が視野の外です)。</source>
        <translation>The projections hold no counts (the object is outside the field).</translation>
    </message>
    <message>
        <source>計数が多すぎます: 最大のピクセルが %1 カウントになり 65535 を超えます。</source>
        <translation>Too many counts: the largest bin would hold %1 counts, over 65535.</translation>
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
        <source>胸部（心筋）</source>
        <translation>Thorax (myocardium)</translation>
    </message>
    <message>
        <source>%1 行目はファントムの輪郭の外です。</source>
        <translation>Row %1 is outside the phantom's outline.</translation>
    </message>
    <message>
        <source>%1 行目の FBP にしきい値を超える画素がありません。</source>
        <translation>No pixel of the FBP of row %1 is above the threshold.</translation>
    </message>
    <message>
        <source>μ マップの大きさ（%1 値）がこの検査（%2 行 × %3 x %3 画素）と合いません。</source>
        <translation>The μ map's size (%1 values) does not fit this study (%2 rows × %3 x %3 pixels).</translation>
    </message>
    <message>
        <source>μ マップの値は 0 から 10 cm^-1 までです。</source>
        <translation>The μ map's values are 0 to 10 cm^-1.</translation>
    </message>
    <message>
        <source>分解能補正は MLEM/OSEM にだけ使えます。</source>
        <translation>Resolution recovery works with MLEM/OSEM only.</translation>
    </message>
    <message>
        <source>画素サイズが分からないため、分解能補正ができません。</source>
        <translation>The pixel size is not known, so the resolution cannot be recovered.</translation>
    </message>
    <message>
        <source>分解能補正には回転半径（0 より大きく 1000 mm まで）が要ります。検査に記録がなければ入力してください。</source>
        <translation>Resolution recovery needs the radius of rotation (above 0, up to 1000 mm). Type it in when the study does not record it.</translation>
    </message>
    <message>
        <source>Chang の補正は Ramp か Shepp-Logan の FBP にだけ使えます。</source>
        <translation>Chang's correction works only with a Ramp or Shepp-Logan FBP.</translation>
    </message>
    <message>
        <source>サブセット数 %1 はビュー数 %2 を割り切れません。</source>
        <translation>%1 subsets do not divide the %2 views.</translation>
    </message>
    <message>
        <source>反復回数は 1 から 100 までです。</source>
        <translation>Iterations run from 1 to 100.</translation>
    </message>
    <message>
        <source>後処理の FWHM は 0 から 100 画素までです。</source>
        <translation>The post-filter's FWHM runs from 0 to 100 pixels.</translation>
    </message>
    <message>
        <source>画素サイズが分からないため、μ（cm^-1）を画素あたりにできず、減弱を補正できません。</source>
        <translation>The pixel size is unknown, so μ (cm^-1) cannot be made per pixel: attenuation cannot be corrected.</translation>
    </message>
    <message>
        <source>μ は 0 から 10 cm^-1 までです。</source>
        <translation>mu runs from 0 to 10 cm^-1.</translation>
    </message>
    <message>
        <source>この検査（%1 ビュー × %2 x %2）は減弱込みの OSEM には大きすぎます。</source>
        <translation>This study (%1 views × %2 x %2) is too big for OSEM with attenuation.</translation>
    </message>
    <message>
        <source>%1 行目</source>
        <translation>row %1</translation>
    </message>
    <message>
        <source>全スライス</source>
        <translation>All slices</translation>
    </message>
    <message>
        <source>FBP（%1）</source>
        <translation>FBP (%1)</translation>
    </message>
    <message>
        <source>FBP（%1 窓、カットオフ %2、次数 %3）</source>
        <translation>FBP (%1 window, cut-off %2, order %3)</translation>
    </message>
    <message>
        <source>FBP（%1 窓、カットオフ %2）</source>
        <translation>FBP (%1 window, cut-off %2)</translation>
    </message>
    <message>
        <source>BW 前処理（次数 %1、カットオフ %2）</source>
        <translation>BW pre-filter (order %1, cut-off %2)</translation>
    </message>
    <message>
        <source>MLEM %1 回</source>
        <translation>MLEM %1 iterations</translation>
    </message>
    <message>
        <source>OSEM %1 サブセット × %2 回</source>
        <translation>OSEM %1 subsets x %2 iterations</translation>
    </message>
    <message>
        <source>Chang 1次 + 反復1回</source>
        <translation>Chang + 1 iteration</translation>
    </message>
    <message>
        <source>Chang 1次</source>
        <translation>Chang, first order</translation>
    </message>
    <message>
        <source>減弱込みの投影</source>
        <translation>attenuated projector</translation>
    </message>
    <message>
        <source>μ マップ</source>
        <translation>μ map</translation>
    </message>
    <message>
        <source>ファントムの輪郭</source>
        <translation>Phantom's outline</translation>
    </message>
    <message>
        <source>FBP のしきい値 %1 % の輪郭</source>
        <translation>outline at %1 % of the FBP</translation>
    </message>
    <message>
        <source>ファントムの輪郭（なければ FBP の %1 %）</source>
        <translation>phantom's outline (else %1 % of the FBP)</translation>
    </message>
    <message>
        <source>減弱補正なし</source>
        <translation>no attenuation correction</translation>
    </message>
    <message>
        <source>散乱補正 TEW</source>
        <translation>scatter correction TEW</translation>
    </message>
    <message>
        <source>散乱補正 DEW（k = %1）</source>
        <translation>scatter correction DEW (k = %1)</translation>
    </message>
    <message>
        <source>分解能補正</source>
        <translation>resolution recovery</translation>
    </message>
    <message>
        <source>ガウス後処理 FWHM %1 画素</source>
        <translation>Gaussian post-filter FWHM %1 pixels</translation>
    </message>
    <message>
        <source>後処理なし</source>
        <translation>no post-filter</translation>
    </message>
    <message>
        <source>この検査にはエネルギーウィンドウが 1 つしかないため、散乱を推定できません。</source>
        <translation>This study has one energy window only, so its scatter cannot be estimated.</translation>
    </message>
    <message>
        <source>散乱の推定に使う下側のウィンドウがありません。</source>
        <translation>There is no lower window to estimate the scatter from.</translation>
    </message>
    <message>
        <source>散乱の推定に使う上側のウィンドウがありません。</source>
        <translation>There is no upper window to estimate the scatter from.</translation>
    </message>
    <message>
        <source>散乱の推定の係数 k は 0 から 10、平滑化の FWHM は 0 から 100 画素です。</source>
        <translation>The scatter estimate's k is 0 to 10 and its smoothing FWHM 0 to 100 pixels.</translation>
    </message>
    <message>
        <source>散乱の推定に使うウィンドウの幅か計数が合いません。</source>
        <translation>The widths or counts of the windows for the scatter estimate do not fit.</translation>
    </message>
    <message>
        <source>読み取りの権限がありません</source>
        <translation>no permission to read</translation>
    </message>
    <message>
        <source>ファイルが見つかりません</source>
        <translation>the file is not there</translation>
    </message>
    <message>
        <source>パスの途中がフォルダではありません</source>
        <translation>a part of the path is not a folder</translation>
    </message>
    <message>
        <source>ファイル名が長すぎます</source>
        <translation>the file name is too long</translation>
    </message>
    <message>
        <source>シンボリックリンクが多すぎます</source>
        <translation>too many symbolic links</translation>
    </message>
    <message>
        <source>入出力エラーが起きました</source>
        <translation>an input/output error occurred</translation>
    </message>
    <message>
        <source>フォルダです</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <source>ディスクに空きがありません</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>読み取り専用のファイルシステムです</source>
        <translation>the file system is read-only</translation>
    </message>
    <message>
        <source>同じ名前のファイルがすでにあります</source>
        <translation>a file of that name is already there</translation>
    </message>
    <message>
        <source>システムエラー %1: %2</source>
        <translation>system error %1: %2</translation>
    </message>
    <message>
        <source>ファイルが空です。プロジェクションデータには %1 バイト以上が必要です。</source>
        <translation>The file is empty. Projection data need at least %1 bytes.</translation>
    </message>
    <message>
        <source>ファイルが短すぎます（%1 バイト）。プロジェクションデータには %2 バイト以上が必要です。</source>
        <translation>The file is too short (%1 bytes). Projection data need at least %2 bytes.</translation>
    </message>
    <message>
        <source>式の入れ子が深すぎます</source>
        <translation>The expression is nested too deeply</translation>
    </message>
    <message>
        <source>式が途中で終わっています</source>
        <translation>The expression ends too early</translation>
    </message>
    <message>
        <source>閉じ括弧がありません</source>
        <translation>A closing bracket is missing</translation>
    </message>
    <message>
        <source>数が読めません</source>
        <translation>A number cannot be read</translation>
    </message>
    <message>
        <source>読めない文字があります: %1</source>
        <translation>A character cannot be read: %1</translation>
    </message>
    <message>
        <source>測定の引数が空です</source>
        <translation>A measurement has an empty argument</translation>
    </message>
    <message>
        <source>大きすぎます (%1 バイトまで)</source>
        <translation>Too large (up to %1 bytes)</translation>
    </message>
    <message>
        <source>テキストファイルではありません</source>
        <translation>Not a text file</translation>
    </message>
    <message>
        <source>行が長すぎます (%1 バイトまで)</source>
        <translation>The line is too long (up to %1 bytes)</translation>
    </message>
    <message>
        <source>UTF-8 ではない文字があります</source>
        <translation>A character is not UTF-8</translation>
    </message>
    <message>
        <source>最初の行は見出し部を始める --- でなければなりません</source>
        <translation>The first line must be --- to start the header</translation>
    </message>
    <message>
        <source>「名前: 値」の形ではありません</source>
        <translation>Not of the form "key: value"</translation>
    </message>
    <message>
        <source>id は英小文字・数字・- で書きます</source>
        <translation>id is written with lower-case letters, digits and -</translation>
    </message>
    <message>
        <source>lang は ja か en です</source>
        <translation>lang is ja or en</translation>
    </message>
    <message>
        <source>order は 0 から 10000 の整数です</source>
        <translation>order is a whole number from 0 to 10000</translation>
    </message>
    <message>
        <source>見出し部に知らない項目があります: %1</source>
        <translation>The header has an unknown key: %1</translation>
    </message>
    <message>
        <source>見出し部を閉じる --- がありません</source>
        <translation>The header has no closing ---</translation>
    </message>
    <message>
        <source>見出し部には id, lang, title が要ります</source>
        <translation>The header needs id, lang and title</translation>
    </message>
    <message>
        <source>手順が多すぎます (%1 まで)</source>
        <translation>Too many steps (up to %1)</translation>
    </message>
    <message>
        <source>手順の見出しが空です</source>
        <translation>The step's heading is empty</translation>
    </message>
    <message>
        <source>``` の囲みが閉じていません</source>
        <translation>The ``` block is not closed</translation>
    </message>
    <message>
        <source>操作と問題は手順 (## 見出し) の中に書きます</source>
        <translation>Actions and questions go inside a step (a ## heading)</translation>
    </message>
    <message>
        <source>空の囲みです</source>
        <translation>The block is empty</translation>
    </message>
    <message>
        <source>一つの手順の操作が多すぎます</source>
        <translation>Too many actions in one step</translation>
    </message>
    <message>
        <source>操作は問題より前に書きます</source>
        <translation>Actions come before the question</translation>
    </message>
    <message>
        <source>一つの手順に問題は一つです</source>
        <translation>One question per step</translation>
    </message>
    <message>
        <source>手順 (## 見出し) が一つもありません</source>
        <translation>There is no step (## heading)</translation>
    </message>
    <message>
        <source>絵はレッスンのフォルダの中のファイルで示します: %1</source>
        <translation>Pictures are files in the lesson's folder: %1</translation>
    </message>
    <message>
        <source>絵がありません: %1</source>
        <translation>The picture is missing: %1</translation>
    </message>
    <message>
        <source>この囲みに知らない項目があります: %1</source>
        <translation>The block has an unknown key: %1</translation>
    </message>
    <message>
        <source>項目が二度あります: %1</source>
        <translation>A key is given twice: %1</translation>
    </message>
    <message>
        <source>知らないファントムです: %1</source>
        <translation>Unknown phantom: %1</translation>
    </message>
    <message>
        <source>値が読めません: %1</source>
        <translation>The value cannot be read: %1</translation>
    </message>
    <message>
        <source>spheres は jaszczak ファントムの球の放射能です</source>
        <translation>spheres is the activity of the jaszczak phantom's spheres</translation>
    </message>
    <message>
        <source>開く検査を書きます (sample か data:パス かファイル)</source>
        <translation>Name the study to open (sample, data:PATH or a file)</translation>
    </message>
    <message>
        <source>検査はレッスンかデータのフォルダの中のファイルで示します: %1</source>
        <translation>Studies are files in the lesson's or the data folder: %1</translation>
    </message>
    <message>
        <source>検査が見つかりません: %1</source>
        <translation>The study is not found: %1</translation>
    </message>
    <message>
        <source>energy-window は 1 から 64 の整数です</source>
        <translation>energy-window is a whole number from 1 to 64</translation>
    </message>
    <message>
        <source>知らないウィンドウです: %1</source>
        <translation>Unknown window: %1</translation>
    </message>
    <message>
        <source>再構成の名前は英小文字・数字・- で書きます</source>
        <translation>A reconstruction's name is written with lower-case letters, digits and -</translation>
    </message>
    <message>
        <source>この前に検査を開くかファントムを作ってください</source>
        <translation>Open a study or make a phantom before this</translation>
    </message>
    <message>
        <source>知らない操作です: %1</source>
        <translation>Unknown action: %1</translation>
    </message>
    <message>
        <source>method は fbp, backprojection, osem, mlem のどれかです</source>
        <translation>method is one of fbp, backprojection, osem, mlem</translation>
    </message>
    <message>
        <source>知らないフィルタです: %1</source>
        <translation>Unknown filter: %1</translation>
    </message>
    <message>
        <source>subsets は 1 以上の整数です</source>
        <translation>subsets is a whole number from 1</translation>
    </message>
    <message>
        <source>サブセット数 %1 は投影数 %2 を割り切りません</source>
        <translation>%1 subsets do not divide the %2 views</translation>
    </message>
    <message>
        <source>iterations は 1 から 100 の整数です</source>
        <translation>iterations is a whole number from 1 to 100</translation>
    </message>
    <message>
        <source>row は 0 から 511 の整数です</source>
        <translation>row is a whole number from 0 to 511</translation>
    </message>
    <message>
        <source>行 %1 はこの検査にありません (0 から %2)</source>
        <translation>Row %1 is not in this study (0 to %2)</translation>
    </message>
    <message>
        <source>post-filter は 0 から 20 ピクセルです</source>
        <translation>post-filter is 0 to 20 pixels</translation>
    </message>
    <message>
        <source>mu は 0 から 2 (/cm) です</source>
        <translation>mu is 0 to 2 (/cm)</translation>
    </message>
    <message>
        <source>chang は none, first, iterated のどれかです</source>
        <translation>chang is one of none, first, iterated</translation>
    </message>
    <message>
        <source>scatter は none, dew, tew のどれかです</source>
        <translation>scatter is none, dew or tew</translation>
    </message>
    <message>
        <source>散乱補正は fbp, osem, mlem の再構成で使います</source>
        <translation>Scatter correction is for fbp, osem and mlem reconstructions</translation>
    </message>
    <message>
        <source>scatter-smooth は 0 から 20 ピクセルです</source>
        <translation>scatter-smooth is 0 to 20 pixels</translation>
    </message>
    <message>
        <source>dew-k は 0 より大きく 2 までです</source>
        <translation>dew-k is above 0 and at most 2</translation>
    </message>
    <message>
        <source>分解能補正 (psf) は osem か mlem の再構成で使います</source>
        <translation>Resolution recovery (psf) is for osem and mlem reconstructions</translation>
    </message>
    <message>
        <source>psf: phantom はファントムの検査で使います</source>
        <translation>psf: phantom needs a phantom study</translation>
    </message>
    <message>
        <source>psf は phantom, lehr, legp, megp か R_I,R_C0,K です</source>
        <translation>psf is phantom, lehr, legp, megp or R_I,R_C0,K</translation>
    </message>
    <message>
        <source>mu-map は phantom です (ファントムの μ マップ)</source>
        <translation>mu-map is phantom (the phantom's μ map)</translation>
    </message>
    <message>
        <source>mu-map: phantom は減弱のあるファントム (mu が 0 より大きい) で使います</source>
        <translation>mu-map: phantom needs a phantom with attenuation (mu above 0)</translation>
    </message>
    <message>
        <source>mu と mu-map は一緒に使えません</source>
        <translation>mu and mu-map cannot be used together</translation>
    </message>
    <message>
        <source>mu-map は減弱補正 (fbp なら chang、osem なら attenuated: yes) と使います</source>
        <translation>mu-map goes with an attenuation correction (chang for fbp, attenuated: yes for osem)</translation>
    </message>
    <message>
        <source>mu-shift は x, y, z (mm) の三つの数です</source>
        <translation>mu-shift is three numbers: x, y, z (mm)</translation>
    </message>
    <message>
        <source>mu-shift は各軸 -50 から 50 mm です</source>
        <translation>mu-shift is -50 to 50 mm along each axis</translation>
    </message>
    <message>
        <source>mu-shift は mu-map と使います</source>
        <translation>mu-shift goes with mu-map</translation>
    </message>
    <message>
        <source>知らない測定です: %1</source>
        <translation>Unknown measurement: %1</translation>
    </message>
    <message>
        <source>測定 %1 の引数の数が違います</source>
        <translation>Measurement %1 has the wrong number of arguments</translation>
    </message>
    <message>
        <source>測定 %1 の引数は数です</source>
        <translation>Measurement %1 takes numbers</translation>
    </message>
    <message>
        <source>この前に %1 という再構成がありません</source>
        <translation>There is no reconstruction named %1 before this</translation>
    </message>
    <message>
        <source>測定 %1 はファントムの真の分布が要ります</source>
        <translation>Measurement %1 needs a phantom's truth</translation>
    </message>
    <message>
        <source>式が長すぎます</source>
        <translation>The expression is too long</translation>
    </message>
    <message>
        <source>答えはプログラムの測定で決めます: 式に測定がありません</source>
        <translation>Answers are decided by the program's measurements: the expression measures nothing</translation>
    </message>
    <message>
        <source>問題に %1 がありません</source>
        <translation>The question has no %1</translation>
    </message>
    <message>
        <source>tolerance は 0 より大きい数 (または %) です</source>
        <translation>tolerance is a number above 0 (or a %)</translation>
    </message>
    <message>
        <source>reference は数です</source>
        <translation>reference is a number</translation>
    </message>
    <message>
        <source>wrong は数です</source>
        <translation>wrong is a number</translation>
    </message>
    <message>
        <source>数で答える問題に choice と correct は使えません</source>
        <translation>A number question cannot use choice or correct</translation>
    </message>
    <message>
        <source>choice は「選択肢 | 測定」と書きます</source>
        <translation>choice is written "label | measurement"</translation>
    </message>
    <message>
        <source>選択肢の文が空です</source>
        <translation>A choice's label is empty</translation>
    </message>
    <message>
        <source>選択肢が多すぎます</source>
        <translation>Too many choices</translation>
    </message>
    <message>
        <source>選択肢は二つ以上要ります</source>
        <translation>A question needs two choices or more</translation>
    </message>
    <message>
        <source>correct は lowest, highest, true のどれかです</source>
        <translation>correct is one of lowest, highest, true</translation>
    </message>
    <message>
        <source>reference は選択肢の番号 (1 から) です</source>
        <translation>reference is a choice's number (from 1)</translation>
    </message>
    <message>
        <source>wrong は正解ではない選択肢の番号です</source>
        <translation>wrong is the number of a choice that is not right</translation>
    </message>
    <message>
        <source>選ぶ問題に %1 は使えません</source>
        <translation>A choice question cannot use %1</translation>
    </message>
    <message>
        <source>answer は number か choice です</source>
        <translation>answer is number or choice</translation>
    </message>
    <message>
        <source>式の終わりに余分な文字があります</source>
        <translation>The expression has extra characters at its end</translation>
    </message>
    <message>
        <source>%1 の %2 行目: %3</source>
        <translation>%1, line %2: %3</translation>
    </message>
    <message>
        <source>%1 行目の操作: %2</source>
        <translation>The action on line %1: %2</translation>
    </message>
    <message>
        <source>データのフォルダが見つかりません</source>
        <translation>The data folder is not found</translation>
    </message>
    <message>
        <source>この検査にエネルギーウィンドウ %1 はありません</source>
        <translation>This study has no energy window %1</translation>
    </message>
    <message>
        <source>行 %1 はこの検査にありません</source>
        <translation>Row %1 is not in this study</translation>
    </message>
    <message>
        <source>このファントムは μ マップを持ちません (減弱なし)</source>
        <translation>This phantom has no μ map (no attenuation)</translation>
    </message>
    <message>
        <source>再構成 %1 はまだありません</source>
        <translation>There is no reconstruction %1 yet</translation>
    </message>
    <message>
        <source>0 で割る測定です</source>
        <translation>The measurement divides by 0</translation>
    </message>
    <message>
        <source>この検査はピクセルの大きさを持ちません</source>
        <translation>This study does not give its pixel size</translation>
    </message>
    <message>
        <source>投影 %1 はこの検査にありません</source>
        <translation>Projection %1 is not in this study</translation>
    </message>
    <message>
        <source>中心のずれは 360 度収集の偶数の投影で測ります</source>
        <translation>The centre-of-rotation offset is measured on an even number of views over 360 degrees</translation>
    </message>
    <message>
        <source>行 %1 に計数がありません</source>
        <translation>Row %1 has no counts</translation>
    </message>
    <message>
        <source>この検査は散乱を含めたファントムではありません</source>
        <translation>This study is not a phantom acquired with scatter</translation>
    </message>
    <message>
        <source>ウィンドウ %1 に計数がありません</source>
        <translation>Window %1 has no counts</translation>
    </message>
    <message>
        <source>半値幅が測れません (半分まで下がりません)</source>
        <translation>The FWHM cannot be measured (the profile does not fall to half)</translation>
    </message>
    <message>
        <source>中心の平均が 0 以下で雑音が測れません</source>
        <translation>The mean at the centre is 0 or below: the noise cannot be measured</translation>
    </message>
    <message>
        <source>再構成 %1 は散乱を補正していません</source>
        <translation>Reconstruction %1 does not correct scatter</translation>
    </message>
    <message>
        <source>散乱の推定がありません</source>
        <translation>There is no scatter estimate</translation>
    </message>
    <message>
        <source>この検査に計数がありません</source>
        <translation>This study has no counts</translation>
    </message>
    <message>
        <source>このファントムに球はありません</source>
        <translation>This phantom has no spheres</translation>
    </message>
    <message>
        <source>球 %1 はありません (1 から %2)</source>
        <translation>There is no sphere %1 (1 to %2)</translation>
    </message>
    <message>
        <source>球 %1 はこの行にありません</source>
        <translation>Sphere %1 is not in this row</translation>
    </message>
    <message>
        <source>このファントムに心筋はありません</source>
        <translation>This phantom has no myocardium</translation>
    </message>
    <message>
        <source>この行に心筋の壁がありません</source>
        <translation>This row has no wall of the myocardium</translation>
    </message>
    <message>
        <source>真の分布と比べられません</source>
        <translation>Cannot be compared with the truth</translation>
    </message>
    <message>
        <source>再構成 %1 に %2 回目の反復はありません</source>
        <translation>Reconstruction %1 has no iteration %2</translation>
    </message>
    <message>
        <source>このファントムのコントラストは測れません</source>
        <translation>This phantom's contrast cannot be measured</translation>
    </message>
    <message>
        <source>このファントムは減弱する輪郭を持ちません</source>
        <translation>This phantom has no attenuating outline</translation>
    </message>
    <message>
        <source>輪郭の中が小さすぎて測れません</source>
        <translation>The outline is too small to measure inside</translation>
    </message>
    <message>
        <source>測定の値が数になりません</source>
        <translation>The measurement is not a number</translation>
    </message>
    <message>
        <source>成り立つ選択肢が一つではありません (%1 個)</source>
        <translation>Not exactly one choice holds (%1 do)</translation>
    </message>
    <message>
        <source>通常のファイルではありません（パイプ、ソケットまたはデバイス）</source>
        <translation>it is not a regular file (a pipe, socket or device)</translation>
    </message>
    <message>
        <source>PNG に変換できません</source>
        <translation>the picture cannot be encoded as PNG</translation>
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
        <source>Sinora Version 1.0</source>
        <translation>Sinora Version 1.0</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Sinora developers</source>
        <translation>Sinora developers</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>Ribbon</source>
        <translation>Ribbon</translation>
    </message>
    <message>
        <source>Black-White</source>
        <translation>Black-White</translation>
    </message>
    <message>
        <source>BW-Filter</source>
        <translation>BW-Filter</translation>
    </message>
    <message>
        <source>Order</source>
        <translation>Order</translation>
    </message>
    <message>
        <source>Cutoff-Frec</source>
        <translation>Cutoff-Freq</translation>
    </message>
    <message>
        <source>Ramp</source>
        <translation>Ramp</translation>
    </message>
    <message>
        <source>Shepp-Logan</source>
        <translation>Shepp-Logan</translation>
    </message>
    <message>
        <source>Black-Wthite</source>
        <translation>Black-White</translation>
    </message>
    <message>
        <source>BKprojection</source>
        <translation>BKprojection</translation>
    </message>
    <message>
        <source>Ramp*BKprojection</source>
        <translation>Ramp*BKprojection</translation>
    </message>
    <message>
        <source>Ramp*BW*BKprojection</source>
        <translation>Ramp*BW*BKprojection</translation>
    </message>
    <message>
        <source>1.Color</source>
        <translation>1.Color</translation>
    </message>
    <message>
        <source>Degrees</source>
        <translation>Degrees</translation>
    </message>
    <message>
        <source>2.Degrees</source>
        <translation>2.Degrees</translation>
    </message>
    <message>
        <source>3.BW-Filter</source>
        <translation>3.BW-Filter</translation>
    </message>
    <message>
        <source>Cutoff-F</source>
        <translation>Cutoff-F</translation>
    </message>
    <message>
        <source>projection Image</source>
        <translation>Projection Image</translation>
    </message>
    <message>
        <source>Prijection + Ramp</source>
        <translation>Projection + Ramp</translation>
    </message>
    <message>
        <source>Projection + BW +Ramp</source>
        <translation>Projection + BW + Ramp</translation>
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
        <source>開いているファイルを、向きとエネルギーウィンドウを選び直して開き直す
開き方</source>
        <translation>Open the file again, choosing its orientation and energy window anew
Open Way</translation>
    </message>
    <message>
        <source>既知の物体の収集を作り、現在の検査にする
ファントム実験</source>
        <translation>Make an acquisition of a known object the current study
Phantom lab</translation>
    </message>
    <message>
        <source>比較に追加した画像を並べて見る
比較ボード</source>
        <translation>Shows the kept pictures side by side
Comparison board</translation>
    </message>
    <message>
        <source>CT のシリーズか Interfile の μ マップを開き、減弱補正と重ね合わせに使う
CT / μマップを開く</source>
        <translation>Open a CT series or an Interfile μ map for attenuation correction and fusion
Open CT / μ map</translation>
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
    <message>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <source>比較ボード</source>
        <translation>Comparison board</translation>
    </message>
    <message>
        <source>表示窓を連動</source>
        <translation>Link display window</translation>
    </message>
    <message>
        <source>差を追加</source>
        <translation>Add difference</translation>
    </message>
    <message>
        <source>すべて消す</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <source>図として書き出す...</source>
        <translation>Export figure...</translation>
    </message>
    <message>
        <source>画像の右クリックメニューの「比較に追加」で、ここに並べられます。</source>
        <translation>Pictures kept with "Keep for comparison" in a picture's right-click menu are shown here.</translation>
    </message>
    <message>
        <source>差: [%1] − [%2]</source>
        <translation>Difference: [%1] − [%2]</translation>
    </message>
    <message>
        <source>この画像を消す</source>
        <translation>Remove this picture</translation>
    </message>
    <message>
        <source>真値との RMSE %1 %、回復コントラスト %2</source>
        <translation>RMSE against the truth %1 %, recovered contrast %2</translation>
    </message>
    <message>
        <source>CT / μ マップ</source>
        <translation>CT / μ map</translation>
    </message>
    <message>
        <source>肺を軟部組織とする</source>
        <translation>Lung as soft tissue</translation>
    </message>
    <message>
        <source>骨を軟部組織とする</source>
        <translation>Bone as soft tissue</translation>
    </message>
    <message>
        <source>減弱補正にこの μ マップを使う</source>
        <translation>Use this μ map for attenuation correction</translation>
    </message>
    <message>
        <source>下に重ねる</source>
        <translation>Underneath</translation>
    </message>
    <message>
        <source>SPECT の不透明度</source>
        <translation>SPECT opacity</translation>
    </message>
    <message>
        <source>光子エネルギー</source>
        <translation>Photon energy</translation>
    </message>
    <message>
        <source>ずらし（mm）</source>
        <translation>Shift (mm)</translation>
    </message>
    <message>
        <source>CT も μ マップも開かれていません（応用 &gt; CT / μマップを開く）。</source>
        <translation>No CT or μ map is open (Advanced &gt; Open CT / μ map).</translation>
    </message>
    <message>
        <source>書き出せる形式は DICOM（.dcm）、Interfile（.hv）、NIfTI（.nii）です。</source>
        <translation>Exports are DICOM (.dcm), Interfile (.hv) or NIfTI (.nii).</translation>
    </message>
    <message>
        <source>%1 は開いている検査のファイルです。何も書きませんでした。</source>
        <translation>%1 is the file of the open study. Nothing was written.</translation>
    </message>
    <message>
        <source>%1 に書けません（%2）。</source>
        <translation>Cannot write %1 (%2).</translation>
    </message>
    <message>
        <source>書き出すものがありません。</source>
        <translation>There is nothing to export.</translation>
    </message>
    <message>
        <source>図として書き出す</source>
        <translation>Export figure</translation>
    </message>
    <message>
        <source>倍率</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>300 dpi で幅</source>
        <translation>300 dpi, width</translation>
    </message>
    <message>
        <source>形式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>フィルタ解析</source>
        <translation>Filter analysis</translation>
    </message>
    <message>
        <source>スタディ</source>
        <translation>Study</translation>
    </message>
    <message>
        <source>サイクル/画素</source>
        <translation>cycles/pixel</translation>
    </message>
    <message>
        <source>サイクル/cm</source>
        <translation>cycles/cm</translation>
    </message>
    <message>
        <source>換算: このプログラムの次数 n は、2n を「次数」とするメーカーの「パワー」n にあたる。カットオフは振幅が 1/2 になる周波数（0.707 の点で表すメーカーもある）。サイクル/画素 = サイクル/cm × 画素サイズ（cm）。ナイキストに対する割合 = サイクル/画素 ÷ 0.5。</source>
        <translation>Conversion: this program's order n is the "power" n of makers who call 2n the "order". The cut-off is the frequency where the amplitude is 1/2 (some makers give the 0.707 point). cycles/pixel = cycles/cm × pixel size (cm). Fraction of Nyquist = cycles/pixel ÷ 0.5.</translation>
    </message>
    <message>
        <source>スライス（行）</source>
        <translation>Slice (row)</translation>
    </message>
    <message>
        <source>サイノグラム</source>
        <translation>Sinogram</translation>
    </message>
    <message>
        <source>カットオフ</source>
        <translation>Cut-off</translation>
    </message>
    <message>
        <source>カットオフ（サイクル/画素）</source>
        <translation>Cut-off (cycles/pixel)</translation>
    </message>
    <message>
        <source>次数（Butterworth）</source>
        <translation>Order (Butterworth)</translation>
    </message>
    <message>
        <source>BW 前処理</source>
        <translation>BW pre-filter</translation>
    </message>
    <message>
        <source>画素サイズ（mm）</source>
        <translation>Pixel size (mm)</translation>
    </message>
    <message>
        <source>周波数の単位</source>
        <translation>Frequency unit</translation>
    </message>
    <message>
        <source>窓付きフィルタの FBP</source>
        <translation>FBP, windowed filter</translation>
    </message>
    <message>
        <source>Ramp の FBP</source>
        <translation>FBP, Ramp</translation>
    </message>
    <message>
        <source>プロジェクション（クリックで行）</source>
        <translation>Projection (click: row)</translation>
    </message>
    <message>
        <source>サイノグラム（ビュー↓ ビン→）</source>
        <translation>Sinogram (views ↓ bins →)</translation>
    </message>
    <message>
        <source>点線源の位置（クリック）</source>
        <translation>Point source (click)</translation>
    </message>
    <message>
        <source>真の分布</source>
        <translation>Truth</translation>
    </message>
    <message>
        <source>周波数応答</source>
        <translation>Frequency response</translation>
    </message>
    <message>
        <source>周波数（サイクル/画素）</source>
        <translation>Frequency (cycles/pixel)</translation>
    </message>
    <message>
        <source>応答</source>
        <translation>Response</translation>
    </message>
    <message>
        <source>プロファイル</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>距離（画素）</source>
        <translation>Distance (pixels)</translation>
    </message>
    <message>
        <source>カウント/画素</source>
        <translation>counts/pixel</translation>
    </message>
    <message>
        <source>画像</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>グラフ</source>
        <translation>Plots</translation>
    </message>
    <message>
        <source>散乱</source>
        <translation>Scatter</translation>
    </message>
    <message>
        <source>%1: プロジェクション 0</source>
        <translation>%1: projection 0</translation>
    </message>
    <message>
        <source>%1: 点線源 (%2, %3) のサイノグラム</source>
        <translation>%1: sinogram of a point source at (%2, %3)</translation>
    </message>
    <message>
        <source>%1、%2 行目: サイノグラム</source>
        <translation>%1, row %2: sinogram</translation>
    </message>
    <message>
        <source>計算中...</source>
        <translation>Computing...</translation>
    </message>
    <message>
        <source>BW 前処理の Order と Cutoff は有限の数で入力してください（%1, %2）。Order 1、Cutoff 1 として描いています。</source>
        <translation>Type finite numbers for the BW pre-filter's Order and Cutoff (%1, %2). Drawn with Order 1 and Cutoff 1.</translation>
    </message>
    <message>
        <source>Ramp（255 タップの DFT）</source>
        <translation>Ramp (DFT of 255 taps)</translation>
    </message>
    <message>
        <source>Shepp-Logan（DFT）</source>
        <translation>Shepp-Logan (DFT)</translation>
    </message>
    <message>
        <source>BW 公称 1/(1+(f/fc)^n)</source>
        <translation>BW nominal 1/(1+(f/fc)^n)</translation>
    </message>
    <message>
        <source>BW 9 タップ</source>
        <translation>BW 9 taps</translation>
    </message>
    <message>
        <source>BW 9 タップ × Ramp</source>
        <translation>BW 9 taps × Ramp</translation>
    </message>
    <message>
        <source>（選択、DFT）</source>
        <translation> (chosen, DFT)</translation>
    </message>
    <message>
        <source>パワースペクトル（右軸）</source>
        <translation>Power spectrum (right axis)</translation>
    </message>
    <message>
        <source>点線源 (%1, %2)</source>
        <translation>point source (%1, %2)</translation>
    </message>
    <message>
        <source>横 %1 × 縦 %2 画素</source>
        <translation>%1 across x %2 down pixels</translation>
    </message>
    <message>
        <source>点を通る FWHM: %1 %2、Ramp %3</source>
        <translation>FWHM through the point: %1 %2, Ramp %3</translation>
    </message>
    <message>
        <source>%1、%2 行目: 真の分布</source>
        <translation>%1, row %2: true distribution</translation>
    </message>
    <message>
        <source>真値との誤差（尺度を合わせた RMSE）: 窓付きフィルタの FBP %1 %、Ramp の FBP %2 %</source>
        <translation>Error against the truth (RMSE after scaling): windowed FBP %1 %, Ramp FBP %2 %</translation>
    </message>
    <message>
        <source>パワー</source>
        <translation>Power</translation>
    </message>
    <message>
        <source>周波数（サイクル/cm）</source>
        <translation>Frequency (cycles/cm)</translation>
    </message>
    <message>
        <source>逐次近似再構成</source>
        <translation>Iterative reconstruction</translation>
    </message>
    <message>
        <source>再構成</source>
        <translation>Reconstruct</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>書き出し...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>領域</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>OSEM の投影に減弱を入れる</source>
        <translation>Attenuation in the OSEM projector</translation>
    </message>
    <message>
        <source>FBP のしきい値</source>
        <translation>FBP threshold</translation>
    </message>
    <message>
        <source>ファントムの μ マップ</source>
        <translation>The phantom's μ map</translation>
    </message>
    <message>
        <source>ファントムの μ マップ（右へ 1 cm ずれた）</source>
        <translation>The phantom's μ map, 1 cm to the right</translation>
    </message>
    <message>
        <source>方法</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>サブセット数</source>
        <translation>Subsets</translation>
    </message>
    <message>
        <source>反復回数</source>
        <translation>Iterations</translation>
    </message>
    <message>
        <source>ガウス後処理 FWHM（画素）</source>
        <translation>Gaussian post-filter FWHM (pixels)</translation>
    </message>
    <message>
        <source>FBP フィルタ</source>
        <translation>FBP filter</translation>
    </message>
    <message>
        <source>FBP の減弱補正</source>
        <translation>FBP attenuation correction</translation>
    </message>
    <message>
        <source>μ（cm^-1）</source>
        <translation>μ (cm^-1)</translation>
    </message>
    <message>
        <source>減弱の輪郭</source>
        <translation>Attenuation outline</translation>
    </message>
    <message>
        <source>ドラッグ</source>
        <translation>Drag</translation>
    </message>
    <message>
        <source>プロジェクション（クリックで行を選ぶ）</source>
        <translation>Projection (click to pick the row)</translation>
    </message>
    <message>
        <source>反復</source>
        <translation>Iteration</translation>
    </message>
    <message>
        <source>対数尤度</source>
        <translation>Log-likelihood</translation>
    </message>
    <message>
        <source>領域の平均（実線）と SD/平均（破線）</source>
        <translation>Region mean (solid) and SD/mean (dashed)</translation>
    </message>
    <message>
        <source>全スライスはまだありません。</source>
        <translation>No volume yet.</translation>
    </message>
    <message>
        <source>横断</source>
        <translation>Transverse</translation>
    </message>
    <message>
        <source>冠状断</source>
        <translation>Coronal</translation>
    </message>
    <message>
        <source>矢状断</source>
        <translation>Sagittal</translation>
    </message>
    <message>
        <source>表示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>分解能</source>
        <translation>Resolution</translation>
    </message>
    <message>
        <source>%1 行目を再構成しています...</source>
        <translation>Reconstructing row %1...</translation>
    </message>
    <message>
        <source>%1 行目の再構成を中止しました。画像は前のままです。</source>
        <translation>Row %1 was cancelled; the pictures are as they were.</translation>
    </message>
    <message>
        <source>選んだ領域</source>
        <translation>chosen region</translation>
    </message>
    <message>
        <source>物体の特徴部</source>
        <translation>object's feature</translation>
    </message>
    <message>
        <source>真値との誤差（尺度を合わせた RMSE）: FBP %1 %、OSEM %2 %
回復コントラスト（%3 / 背景）: FBP %4、OSEM %5</source>
        <translation>Error against the truth (RMSE after scaling): FBP %1 %, OSEM %2 %
Recovered contrast (%3 / background): FBP %4, OSEM %5</translation>
    </message>
    <message>
        <source>SD/平均 (%)</source>
        <translation>SD/mean (%)</translation>
    </message>
    <message>
        <source>FBP × π/V</source>
        <translation>FBP × π/V</translation>
    </message>
    <message>
        <source>全スライスには約 %1 MB のメモリーが要り、上限の %2 MB を超えるため再構成しません。</source>
        <translation>All slices would need about %1 MB of memory, more than the limit of %2 MB: not reconstructed.</translation>
    </message>
    <message>
        <source>全スライスを再構成しています...</source>
        <translation>Reconstructing every slice...</translation>
    </message>
    <message>
        <source>全スライスの再構成を中止しました。</source>
        <translation>Reconstruction of every slice stopped.</translation>
    </message>
    <message>
        <source>全スライス: %1 行</source>
        <translation>All slices: %1 rows</translation>
    </message>
    <message>
        <source>画像は %1 行目です。%2 行目は「再構成」で作ります。</source>
        <translation>The pictures are of row %1. Reconstruct to see row %2.</translation>
    </message>
    <message>
        <source>全スライスの結果を捨てて閉じますか？</source>
        <translation>Discard the reconstructed volume and close?</translation>
    </message>
    <message>
        <source>横断 %1 行目</source>
        <translation>transverse, row %1</translation>
    </message>
    <message>
        <source>冠状断 j = %1</source>
        <translation>coronal, j = %1</translation>
    </message>
    <message>
        <source>矢状断 i = %1</source>
        <translation>sagittal, i = %1</translation>
    </message>
    <message>
        <source>横断 %1 行目、冠状断 j = %2、矢状断 i = %3</source>
        <translation>transverse row %1, coronal j = %2, sagittal i = %3</translation>
    </message>
    <message>
        <source>再構成してから書き出してください。</source>
        <translation>Reconstruct first, then export.</translation>
    </message>
    <message>
        <source>%1 に書き出しました。</source>
        <translation>Exported to %1.</translation>
    </message>
    <message>
        <source>ファイルがありません</source>
        <translation>The file does not exist</translation>
    </message>
    <message>
        <source>フォルダです。レッスンのファイルを選んでください</source>
        <translation>This is a folder. Choose a lesson file</translation>
    </message>
    <message>
        <source>読めません</source>
        <translation>Cannot be read</translation>
    </message>
    <message>
        <source>ファントム実験</source>
        <translation>Phantom lab</translation>
    </message>
    <message>
        <source>レッスンを開く</source>
        <translation>Open a lesson</translation>
    </message>
    <message>
        <source>レッスン (*.md)</source>
        <translation>Lessons (*.md)</translation>
    </message>
    <message>
        <source>レッスンのフォルダ</source>
        <translation>Lessons folder</translation>
    </message>
    <message>
        <source>レッスン</source>
        <translation>Lessons</translation>
    </message>
    <message>
        <source>レッスンを開く...</source>
        <translation>Open a lesson...</translation>
    </message>
    <message>
        <source>レッスンのフォルダ...</source>
        <translation>Lessons folder...</translation>
    </message>
    <message>
        <source>&lt; 戻る</source>
        <translation>&lt; Back</translation>
    </message>
    <message>
        <source>次へ &gt;</source>
        <translation>Next &gt;</translation>
    </message>
    <message>
        <source>答え合わせ</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>答えを入力</source>
        <translation>Type your answer</translation>
    </message>
    <message>
        <source>この手順の準備ができません: %1</source>
        <translation>This step cannot be set up: %1</translation>
    </message>
    <message>
        <source>レッスンの検査</source>
        <translation>Lesson study</translation>
    </message>
    <message>
        <source>このレッスンの目標</source>
        <translation>This lesson's goals</translation>
    </message>
    <message>
        <source>「%1」を開く</source>
        <translation>Open "%1"</translation>
    </message>
    <message>
        <source>手順 %1 / %2</source>
        <translation>Step %1 / %2</translation>
    </message>
    <message>
        <source>正解です。</source>
        <translation>Right.</translation>
    </message>
    <message>
        <source>プログラムの測定値: %1 %2</source>
        <translation>The program measured: %1 %2</translation>
    </message>
    <message>
        <source>違います。</source>
        <translation>Not right.</translation>
    </message>
    <message>
        <source>ヒント: %1</source>
        <translation>Hint: %1</translation>
    </message>
    <message>
        <source>答えを数で入力してください。</source>
        <translation>Please type your answer as a number.</translation>
    </message>
    <message>
        <source>選択肢を一つ選んでください。</source>
        <translation>Please choose one answer.</translation>
    </message>
    <message>
        <source>この問題はいま測れません: %1</source>
        <translation>This question cannot be measured now: %1</translation>
    </message>
    <message>
        <source>開き方</source>
        <translation>Open Way</translation>
    </message>
    <message>
        <source>%1 の向きを確かめてください。断面が前を上に、患者の左を右にして見えるように、必要なら回すか回転方向を逆にします。</source>
        <translation>Check the orientation of %1. The slice should show the front at the top and the patient's left on the right; turn it or reverse its direction of rotation if it does not.</translation>
    </message>
    <message>
        <source>前 (A)</source>
        <translation>Anterior (A)</translation>
    </message>
    <message>
        <source>右 (R)</source>
        <translation>Right (R)</translation>
    </message>
    <message>
        <source>左 (L)</source>
        <translation>Left (L)</translation>
    </message>
    <message>
        <source>後 (P)</source>
        <translation>Posterior (P)</translation>
    </message>
    <message>
        <source>全行の和の FBP（Hann 0.25）、足側から見る</source>
        <translation>FBP (Hann 0.25) of all rows added, seen from the feet</translation>
    </message>
    <message>
        <source>開始角度に足す角度</source>
        <translation>Add to the start angle</translation>
    </message>
    <message>
        <source>そのまま</source>
        <translation>As read</translation>
    </message>
    <message>
        <source>%1 度</source>
        <translation>%1°</translation>
    </message>
    <message>
        <source>回転方向を逆にする（断面が鏡像のとき）</source>
        <translation>Reverse the direction of rotation (when the slice is mirrored)</translation>
    </message>
    <message>
        <source>光電ピークのエネルギーウィンドウ</source>
        <translation>Photopeak energy window</translation>
    </message>
    <message>
        <source>選んだ開き方はこのファイルについて記憶され、次からは確かめずに使われます。変えるときは「応用」→「開き方...」を選ぶか、Shift を押しながら開いてください。</source>
        <translation>The way chosen is remembered for this file and used without asking next time. To change it, choose Advanced &gt; Open Way... or hold Shift while opening.</translation>
    </message>
    <message>
        <source>ビュー数 (4-360)</source>
        <translation>Views (4-360)</translation>
    </message>
    <message>
        <source>開始角度 (度)</source>
        <translation>Start angle (degrees)</translation>
    </message>
    <message>
        <source>画素サイズ (mm)</source>
        <translation>Pixel size (mm)</translation>
    </message>
    <message>
        <source>総計数 (10^3-10^9)</source>
        <translation>Total counts (10^3-10^9)</translation>
    </message>
    <message>
        <source>コリメータ FWHM (mm, 回転中心で)</source>
        <translation>Collimator FWHM (mm, at the centre)</translation>
    </message>
    <message>
        <source>回転半径 (mm)</source>
        <translation>Radius of rotation (mm)</translation>
    </message>
    <message>
        <source>回転中心のずれ (画素)</source>
        <translation>Centre-of-rotation offset (pixels)</translation>
    </message>
    <message>
        <source>減弱係数 μ (cm^-1, 水の Tc-99m は 0.15)</source>
        <translation>Attenuation μ (cm^-1; Tc-99m in water 0.15)</translation>
    </message>
    <message>
        <source>光電ピークのウィンドウ幅 (%, 2-50)</source>
        <translation>Photopeak window width (%, 2-50)</translation>
    </message>
    <message>
        <source>下側ウィンドウの幅 (%, 1-30)</source>
        <translation>Lower window width (%, 1-30)</translation>
    </message>
    <message>
        <source>上側ウィンドウの幅 (%, 1-30)</source>
        <translation>Upper window width (%, 1-30)</translation>
    </message>
    <message>
        <source>エネルギー分解能 (% FWHM, 140 keV で)</source>
        <translation>Energy resolution (% FWHM at 140 keV)</translation>
    </message>
    <message>
        <source>点線源 x (mm, 右へ)</source>
        <translation>Point x (mm, to the right)</translation>
    </message>
    <message>
        <source>点線源 y (mm, 背側へ)</source>
        <translation>Point y (mm, to the back)</translation>
    </message>
    <message>
        <source>点線源 z (mm, 尾側へ)</source>
        <translation>Point z (mm, to the feet)</translation>
    </message>
    <message>
        <source>乱数の種</source>
        <translation>Seed</translation>
    </message>
    <message>
        <source>物体</source>
        <translation>Object</translation>
    </message>
    <message>
        <source>360 度</source>
        <translation>360 degrees</translation>
    </message>
    <message>
        <source>180 度</source>
        <translation>180 degrees</translation>
    </message>
    <message>
        <source>CW (角度が増える)</source>
        <translation>CW (angle grows)</translation>
    </message>
    <message>
        <source>CC (角度が減る)</source>
        <translation>CC (angle falls)</translation>
    </message>
    <message>
        <source>ノイズなし</source>
        <translation>Noise-free</translation>
    </message>
    <message>
        <source>検出器からの距離に比例</source>
        <translation>Growing with the distance to the detector</translation>
    </message>
    <message>
        <source>一定</source>
        <translation>Constant</translation>
    </message>
    <message>
        <source>散乱を入れる</source>
        <translation>Add scatter</translation>
    </message>
    <message>
        <source>FWHM で指定（下の 2 行）</source>
        <translation>By FWHM (the two rows below)</translation>
    </message>
    <message>
        <source>入力</source>
        <translation>Typed</translation>
    </message>
    <message>
        <source>核種</source>
        <translation>Isotope</translation>
    </message>
    <message>
        <source>収集角度</source>
        <translation>Arc</translation>
    </message>
    <message>
        <source>回転方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>マトリクス (ビン x 行)</source>
        <translation>Matrix (bins x rows)</translation>
    </message>
    <message>
        <source>ぼけの広がり方</source>
        <translation>Blur</translation>
    </message>
    <message>
        <source>コリメータ</source>
        <translation>Collimator</translation>
    </message>
    <message>
        <source>R_i, R_c0 (mm), k</source>
        <translation>R_i, R_c0 (mm), k</translation>
    </message>
    <message>
        <source>作成</source>
        <translation>Make</translation>
    </message>
    <message>
        <source>既定値に戻す</source>
        <translation>Restore defaults</translation>
    </message>
    <message>
        <source>前の検査に戻す</source>
        <translation>Back to the previous study</translation>
    </message>
    <message>
        <source>前の検査に戻しました。</source>
        <translation>The previous study is back.</translation>
    </message>
    <message>
        <source>数を入れてください。</source>
        <translation>Type a number.</translation>
    </message>
    <message>
        <source>整数を入れてください。</source>
        <translation>Type a whole number.</translation>
    </message>
    <message>
        <source>0 以上の整数です。</source>
        <translation>A whole number from 0.</translation>
    </message>
    <message>
        <source>R_i, R_c0, k を「3.5, 1.48, 0.0447」のように入力してください（R_i と R_c0 は 0 から 50 mm、k は 0 から 1）。</source>
        <translation>Type R_i, R_c0, k as in "3.5, 1.48, 0.0447" (R_i and R_c0 0 to 50 mm, k 0 to 1).</translation>
    </message>
    <message>
        <source>作成中...</source>
        <translation>Making...</translation>
    </message>
    <message>
        <source>作成しました。現在の検査になりました。</source>
        <translation>Made: it is now the current study.</translation>
    </message>
    <message>
        <source>カウント</source>
        <translation>counts</translation>
    </message>
    <message>
        <source>放射能/mm^3</source>
        <translation>activity/mm^3</translation>
    </message>
    <message>
        <source>比較に追加</source>
        <translation>Keep for comparison</translation>
    </message>
    <message>
        <source>拡大</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>全体を表示</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>カラーマップ</source>
        <translation>Colour map</translation>
    </message>
    <message>
        <source>グレー</source>
        <translation>Grey</translation>
    </message>
    <message>
        <source>反転グレー</source>
        <translation>Inverted grey</translation>
    </message>
    <message>
        <source>表示窓を戻す</source>
        <translation>Reset display window</translation>
    </message>
    <message>
        <source>PNG で保存...</source>
        <translation>Save as PNG...</translation>
    </message>
    <message>
        <source>値を CSV で保存...</source>
        <translation>Save values as CSV...</translation>
    </message>
    <message>
        <source>クリップボードにコピー</source>
        <translation>Copy to the clipboard</translation>
    </message>
    <message>
        <source>%1（ノイズなし）</source>
        <translation>%1 (noise-free)</translation>
    </message>
    <message>
        <source>%1（%2 カウント）</source>
        <translation>%1 (%2 counts)</translation>
    </message>
    <message>
        <source>生ﾃﾞｰﾀを開く</source>
        <translation>Open raw data</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>ヘッダ（バイト）</source>
        <translation>Header (bytes)</translation>
    </message>
    <message>
        <source>ビュー数</source>
        <translation>Views</translation>
    </message>
    <message>
        <source>行数（体軸方向）</source>
        <translation>Rows (axial)</translation>
    </message>
    <message>
        <source>ビン数</source>
        <translation>Bins</translation>
    </message>
    <message>
        <source>1 カウントのバイト数</source>
        <translation>Bytes per count</translation>
    </message>
    <message>
        <source>符号なし整数</source>
        <translation>Unsigned integer</translation>
    </message>
    <message>
        <source>符号付き整数</source>
        <translation>Signed integer</translation>
    </message>
    <message>
        <source>浮動小数点数</source>
        <translation>Floating point</translation>
    </message>
    <message>
        <source>数の形式</source>
        <translation>Number format</translation>
    </message>
    <message>
        <source>ビッグエンディアン</source>
        <translation>Big-endian</translation>
    </message>
    <message>
        <source>リトルエンディアン</source>
        <translation>Little-endian</translation>
    </message>
    <message>
        <source>バイト順</source>
        <translation>Byte order</translation>
    </message>
    <message>
        <source>不明</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>回転範囲（度）</source>
        <translation>Arc (degrees)</translation>
    </message>
    <message>
        <source>開始角度（度）</source>
        <translation>Start angle (degrees)</translation>
    </message>
    <message>
        <source>CW（角度が増える）</source>
        <translation>CW (angle grows)</translation>
    </message>
    <message>
        <source>CC（角度が減る）</source>
        <translation>CC (angle falls)</translation>
    </message>
    <message>
        <source>必要な大きさ: %1 バイト</source>
        <translation>Size needed: %1 bytes</translation>
    </message>
    <message>
        <source>（ファイルは %1 バイト）</source>
        <translation> (the file has %1 bytes)</translation>
    </message>
    <message>
        <source>ファイルを指定してください。</source>
        <translation>Name a file.</translation>
    </message>
    <message>
        <source>ファントムのコリメータ</source>
        <translation>The phantom's collimator</translation>
    </message>
    <message>
        <source>検査の値（ビューごと %1-%2）</source>
        <translation>The study's (per view, %1-%2)</translation>
    </message>
    <message>
        <source>検査に記録なし</source>
        <translation>Not in the study</translation>
    </message>
    <message>
        <source>回転半径（mm）</source>
        <translation>Radius of rotation (mm)</translation>
    </message>
    <message>
        <source>回転半径は 0 より大きく 1000 mm までの数で入力してください（空欄は検査の値）。</source>
        <translation>Type a radius of rotation above 0 and up to 1000 mm (empty: the study's).</translation>
    </message>
    <message>
        <source>1 スライスの再構成ではビン方向（面内）だけ、全スライスでは行方向にも同じぼけを投影に入れます。</source>
        <translation>A single slice's reconstruction blurs the projection along the bins only (in-plane); every slice's blurs along the rows too.</translation>
    </message>
    <message>
        <source>系の FWHM と距離</source>
        <translation>System FWHM against distance</translation>
    </message>
    <message>
        <source>コリメータ面からの距離（mm）</source>
        <translation>Distance from the collimator face (mm)</translation>
    </message>
    <message>
        <source>FWHM（mm）</source>
        <translation>FWHM (mm)</translation>
    </message>
    <message>
        <source>コリメータ面からの距離</source>
        <translation>Distance from the collimator face</translation>
    </message>
    <message>
        <source>投影子が点に与えるぼけ（ビン→ 行↓）</source>
        <translation>The projector's blur of a point (bins →, rows ↓)</translation>
    </message>
    <message>
        <source>点の割合/画素</source>
        <translation>share of the point/pixel</translation>
    </message>
    <message>
        <source>投影子の点広がり、距離 %1 mm、R_i %2、R_c0 %3 mm、k %4</source>
        <translation>Projector's point spread, distance %1 mm, R_i %2, R_c0 %3 mm, k %4</translation>
    </message>
    <message>
        <source>距離 %1 mm（回転中心から検出器側へ %2 mm）: 投影子の FWHM %3 mm（%4 画素）、式 √(R_i² + (R_c0 + k d)²) = %5 mm</source>
        <translation>Distance %1 mm (%2 mm from the centre of rotation towards the detector): projector's FWHM %3 mm (%4 pixels), formula √(R_i² + (R_c0 + k d)²) = %5 mm</translation>
    </message>
    <message>
        <source>式</source>
        <translation>Formula</translation>
    </message>
    <message>
        <source>投影子</source>
        <translation>Projector</translation>
    </message>
    <message>
        <source>選んだ距離</source>
        <translation>Chosen distance</translation>
    </message>
    <message>
        <source>散乱補正</source>
        <translation>Scatter correction</translation>
    </message>
    <message>
        <source>下側ウィンドウ</source>
        <translation>Lower window</translation>
    </message>
    <message>
        <source>上側ウィンドウ</source>
        <translation>Upper window</translation>
    </message>
    <message>
        <source>推定の平滑化 FWHM（画素）</source>
        <translation>Estimate smoothing FWHM (pixels)</translation>
    </message>
    <message>
        <source>計測のサイノグラム（ビュー↓ ビン→）</source>
        <translation>Measured sinogram (views ↓, bins →)</translation>
    </message>
    <message>
        <source>散乱の推定のサイノグラム</source>
        <translation>Scatter estimate sinogram</translation>
    </message>
    <message>
        <source>計測のプロジェクション</source>
        <translation>Measured projection</translation>
    </message>
    <message>
        <source>推定のプロジェクション</source>
        <translation>Estimated projection</translation>
    </message>
    <message>
        <source>真の散乱のサイノグラム</source>
        <translation>True scatter sinogram</translation>
    </message>
    <message>
        <source>推定の誤差（推定 − 真の散乱）</source>
        <translation>Estimate's error (estimate − true scatter)</translation>
    </message>
    <message>
        <source>プロジェクションのビュー</source>
        <translation>Projection's view</translation>
    </message>
    <message>
        <source>ビュー %1</source>
        <translation>view %1</translation>
    </message>
    <message>
        <source>散乱補正が「なし」のため、推定はありません。</source>
        <translation>Scatter correction is "None": there is no estimate.</translation>
    </message>
    <message>
        <source>光電ピーク %1、下側 %2、上側 %3</source>
        <translation>Photopeak %1, lower %2, upper %3</translation>
    </message>
    <message>
        <source>推定した散乱: %1 行目 %2 カウント（計測の %3 %）、全体 %4 カウント（計測の %5 %）</source>
        <translation>Estimated scatter: row %1 %2 counts (%3 % of measured), whole study %4 counts (%5 % of measured)</translation>
    </message>
    <message>
        <source>真の散乱: %1 行目 %2 カウント（推定の誤差 %3 %）、全体 %4 カウント（推定の誤差 %5 %）</source>
        <translation>True scatter: row %1 %2 counts (estimate's error %3 %), whole study %4 counts (estimate's error %5 %)</translation>
    </message>
</context>
</TS>
