#include "res/strings.h"

#include <QHash>

#include "platform/tr.h"

namespace sinora::res {

using sinora::T;

namespace {

// Each string as written; it is translated when it is read (platform/tr.h).
const QHash<int, const char*>& table() {
  static const QHash<int, const char*> t = [] {
    QHash<int, const char*> s;
    auto add = [&](int id, const char* text) { s.insert(id, text); };
    add(128, "Sinora\n\nSinora\n\n\nSinora.Document\nSinora Document");
    add(57344, "Sinora");
    add(32791, "MLEM/OSEM で再構成し、FBP と比べる\n逐次近似再構成");
    add(32792, "サイノグラム、フィルタの周波数応答、カットオフ付き再構成フィルタ\nフィルタ解析");
    add(32790, "ﾚｲｱｳﾄを指定して生ﾃﾞｰﾀを開く\n生ﾃﾞｰﾀを開く");
    add(32796, "開いているファイルを、向きとエネルギーウィンドウを選び直して開き直す\n開き方");
    add(32793, "既知の物体の収集を作り、現在の検査にする\nファントム実験");
    add(32795, "比較に追加した画像を並べて見る\n比較ボード");
    add(32798, "CT のシリーズか Interfile の μ マップを開き、減弱補正と重ね合わせに使う\nCT / μマップを開く");
    add(57345, "ﾚﾃﾞｨ");
    add(57600, "新規にﾌｧｲﾙを作成\n新規ﾌｧｲﾙ");
    add(57601, "既存のﾌｧｲﾙを開く\n開く");
    add(57602, "作業中のﾌｧｲﾙを閉じる\n閉じる");
    add(57603, "作業中のﾌｧｲﾙを上書きして保存\n保存");
    add(57604, "作業中のﾌｧｲﾙを新しい名前で保存\n名前をつけて保存");
    add(57605, "印刷ｵﾌﾟｼｮﾝの変更\nﾍﾟｰｼﾞ ﾚｲｱｳﾄの設定");
    add(57606, "ﾌﾟﾘﾝﾀ/印刷ｵﾌﾟｼｮﾝの変更\n印刷設定");
    add(57607, "作業中のﾌｧｲﾙを印刷\n印刷");
    add(57609, "印刷ｲﾒｰｼﾞを表示\n印刷ﾌﾟﾚﾋﾞｭｰ");
    for (int id = 57616; id <= 57631; ++id) add(id, "指定のﾌｧｲﾙを開く");
    add(57632, "選択範囲を消去\n消去");
    add(57633, "すべて消去\nすべて消去");
    add(57634, "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\nｺﾋﾟｰ");
    add(57635, "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\n切り取り");
    add(57636, "指定した文字列の検索\n検索");
    add(57637, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け\n貼り付け");
    add(57640, "直前に行った動作を繰り返す\n繰り返し");
    add(57641, "指定した文字列を他の文字列で置換\n置換");
    add(57642, "ﾌｧｲﾙ内のすべてを選択\nすべて選択");
    add(57643, "直前に行った動作を元に戻す\n元に戻す");
    add(57644, "直前に行った動作を繰り返す\n繰り返す");
    add(57653, "作業中のｳｨﾝﾄﾞｳを分割\n分割");
    add(57664, "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報");
    add(57665, "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示\n終了");
    add(57680, "次のｳｨﾝﾄﾞｳに切り替える\n次のﾍﾟｲﾝ");
    add(57681, "前のｳｨﾝﾄﾞｳに切り替える\n前のﾍﾟｲﾝ");
    const char* indicators[] = {"EXT", "CAP", "NUM", "SCRL", "上書", "記録", "ｶﾅ"};
    for (int i = 0; i < 7; ++i) add(59136 + i, indicators[i]);
    add(59392, "ﾂｰﾙ ﾊﾞｰの 表示/非表示\nﾂｰﾙ ﾊﾞｰの表示切り替え");
    add(59393, "ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰの表示切り替え");
    const char* system[] = {"ｳｨﾝﾄﾞｳのｻｲｽﾞを変更", "ｳｨﾝﾄﾞｳの位置を変更", "ｳｨﾝﾄﾞｳを最小化する",
                            "ｳｨﾝﾄﾞｳを最大化する", "次のｳｨﾝﾄﾞｳに切り替える", "前のｳｨﾝﾄﾞｳに切り替える",
                            "作業中のｳｨﾝﾄﾞｳを閉じ、変更したﾌｧｲﾙの保存を指示"};
    for (int i = 0; i < 7; ++i) add(61184 + i, system[i]);
    add(61202, "ｳｨﾝﾄﾞｳを通常のｻｲｽﾞに戻す");
    add(61203, "ｱﾌﾟﾘｹｰｼｮﾝの切り替え");
    add(61445, "印刷ﾌﾟﾚﾋﾞｭｰ ﾓｰﾄﾞの終わり\nﾌﾟﾚﾋﾞｭｰのｷｬﾝｾﾙ");
    return s;
  }();
  return t;
}

}  // namespace

QString loadString(int id) {
  const char* text = table().value(id, nullptr);
  return text ? T(text) : QString();
}

QString statusPrompt(int id) { return loadString(id).section(QLatin1Char('\n'), 0, 0); }

QString toolTipPrompt(int id) {
  const QString s = loadString(id);
  const int nl = s.indexOf(QLatin1Char('\n'));
  return nl < 0 ? QString() : s.mid(nl + 1);
}

}  // namespace sinora::res
