#include "res/dialogs.h"

#include "res/resource.h"

namespace sinora::res {

using K = ControlKind;

// Ideographic spaces between the characters, two ordinary spaces between 再 and 構.
const char kReconTitle[] =
    "SPECT　再  構　成　画　像　の　体　験　ウ　イ　ン　ド　ウ";
const char kPointSourceTitle[] = "ポイントソースによるSPECT再構成画像の体験ウインドウ";

const DialogTemplate& aboutBoxTemplate() {
  static const DialogTemplate t{
      IDD_SINORA_ABOUTBOX,
      "Sinoraのﾊﾞｰｼﾞｮﾝ情報",
      235,
      55,
      {
          {IDR_MAINFRAME, K::Icon, "", kNoStyle, 11, 17, 20, 20},
          {-1, K::Text, "Sinora Version 1.0", kNoStyle, 40, 10, 119, 8},
          {-1, K::Text, "SPECT再構成用教育ソフト", kNoStyle, 40, 25, 119, 8},
          {IDOK, K::DefaultPushButton, "OK", kStartsGroup | kTabStop, 178, 7, 50, 14},
      }};
  return t;
}

const DialogTemplate& titleFormTemplate() {
  static const DialogTemplate t{IDD_SINORA_FORM,
                                nullptr,
                                291,
                                126,
                                {
                                    {-1, K::Text, "SPECT再構成用教育ソフト", kNoStyle, 82, 15, 86, 8},
                                    {IDB_TITLE_PICTURE, K::Picture, "", kNoStyle, 105, 27, 40, 57},
                                    {-1, K::Text, "Ver1（2005.04.05）", kNoStyle, 114, 87, 51, 8},
                                    {-1, K::Text, "Sinora developers", kNoStyle, 137, 97, 94, 8},
                                }};
  return t;
}

const DialogTemplate& reconWindowTemplate() {
  static const DialogTemplate t{
      IDD_RECON_WINDOW,
      "ﾞ",
      395,
      333,
      {
          {IDOK, K::DefaultPushButton, "OK", kTabStop, 333, 312, 50, 14},
          {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", kTabStop, 333, 295, 50, 14},
          {IDC_PROJ_IMAGE, K::BlackFrame, "", kNoStyle, 29, 43, 73, 85},
          {-1, K::GroupBox, "Color", kStartsGroup, 119, 39, 56, 51},
          {IDC_RIBBON, K::RadioButton, "Ribbon", kNoStyle, 127, 53, 36, 10},
          {IDC_BLACKWHITE, K::RadioButton, "Black-White", kNoStyle, 127, 75, 48, 10},
          {IDC_NEXT_ANGLE, K::PushButton, "→", kTabStop, 185, 119, 16, 11},
          {IDC_PREV_ANGLE, K::PushButton, "←", kTabStop, 149, 119, 18, 11},
          {-1, K::GroupBox, "BW-Filter", kNoStyle, 182, 39, 51, 52},
          {IDC_BW_ORDER, K::Edit, "", kTabStop, 209, 51, 19, 12},
          {IDC_BW_CUTOFF, K::Edit, "", kTabStop, 209, 76, 19, 12},
          {IDC_PREFILTER_IMAGE, K::BlackFrame, "", kNoStyle, 247, 41, 73, 85},
          {IDC_SMOOTHING, K::PushButton, "スムージング", kTabStop, 149, 101, 52, 14},
          {IDC_DENSITY_SCROLL, K::HScrollBar, "", kNoStyle, 266, 205, 78, 8},
          {IDC_BP_IMAGE, K::BlackFrame, "", kNoStyle, 37, 241, 73, 85},
          {-1, K::GroupBox, "再構成フィルタ", kStartsGroup, 145, 139, 64, 80},
          {IDC_FBP_IMAGE, K::BlackFrame, "", kNoStyle, 145, 241, 73, 85},
          {IDC_PRE_FBP_IMAGE, K::BlackFrame, "", kNoStyle, 249, 241, 73, 85},
          {-1, K::Text, "Order", kStartsGroup, 186, 51, 17, 8},
          {-1, K::Text, "Cutoff-Frec", kStartsGroup, 186, 67, 36, 8},
          {IDC_DENSITY_PROJ, K::RadioButton, "プロジェクション・プロジェクション+前処理画像", kNoStyle,
           229, 153, 142, 10},
          {IDC_DENSITY_BP, K::RadioButton, "逆投影画像", kNoStyle, 229, 166, 88, 10},
          {IDC_DENSITY_FBP, K::RadioButton, "（再構成フィルタ+逆投影）画像", kNoStyle, 229, 178, 106, 10},
          {IDC_DENSITY_PRE_FBP, K::RadioButton, "（前処理+再構成+逆投影）画像", kNoStyle, 229, 192, 106,
           10},
          {-1, K::Text, "逆投影画像", kStartsGroup, 49, 230, 35, 8},
          {-1, K::Text, "（再構成フィルタ＋逆投影）画像", kStartsGroup, 133, 230, 92, 8},
          {-1, K::Text, "（前処理＋再構成＋逆投影）画像", kStartsGroup, 235, 229, 97, 8},
          {-1, K::Text, "プロジェクションデータ", kStartsGroup | kCentreV, 31, 32, 72, 9},
          {-1, K::Text, "プロジェクションデータ＋前処理フィルタ", kStartsGroup | kCentreH, 223, 31, 115,
           8},
          {-1, K::GroupBox, "濃度調整", kNoStyle, 219, 139, 160, 77},
          {IDC_RECON_TITLE, K::Text, kReconTitle, kStartsGroup | kCentreH | kCentreV, 66, 7, 239, 11},
          {IDC_RAMP, K::RadioButton, "Ramp", kNoStyle, 155, 157, 33, 10},
          {IDC_SHEPP_LOGAN, K::RadioButton, "Shepp-Logan", kNoStyle, 155, 176, 50, 10},
          {IDC_SHOW_RECON, K::PushButton, "再構成画像表示", kTabStop, 150, 195, 56, 14},
      }};
  return t;
}

const DialogTemplate& pointSourceWindowTemplate() {
  static const DialogTemplate t{
      IDD_POINT_SOURCE_WINDOW,
      "",
      343,
      379,
      {
          {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", kTabStop, 256, 355, 71, 14},
          {IDC_PROFILE_GRAPH, K::BlackFrame, "", kNoStyle, 7, 35, 217, 283},
          {IDC_BW_ORDER, K::Edit, "", kTabStop, 230, 335, 16, 12},
          {IDC_BW_CUTOFF, K::Edit, "", kTabStop, 230, 355, 15, 12},
          {IDC_DEGREES, K::Edit, "", kTabStop, 84, 341, 21, 14},
          {IDC_RIBBON, K::RadioButton, "Ribbon", kNoStyle, 20, 339, 36, 10},
          {IDC_BLACKWHITE, K::RadioButton, "Black-Wthite", kNoStyle, 20, 351, 54, 10},
          {IDC_BKPROJECTION, K::PushButton, "BKprojection", kTabStop, 125, 331, 61, 14},
          {IDC_RAMP_BKPROJECTION, K::PushButton, "Ramp*BKprojection", kTabStop, 125, 353, 61, 14},
          {IDC_RAMP_BW_BKPROJECTION, K::PushButton, "Ramp*BW*BKprojection", kTabStop, 257, 331, 72,
           14},
          {IDC_PS_BP_IMAGE, K::BlackFrame, "", kNoStyle, 245, 35, 74, 85},
          {IDC_PS_RAMP_BP_IMAGE, K::BlackFrame, "", kNoStyle, 245, 133, 74, 86},
          {IDC_PS_BW_RAMP_BP_IMAGE, K::BlackFrame, "", kNoStyle, 245, 233, 74, 85},
          {-1, K::GroupBox, "1.Color", kNoStyle, 14, 325, 61, 48},
          {-1, K::Text, "Degrees", kStartsGroup, 91, 355, 25, 8},
          {-1, K::GroupBox, "2.Degrees", kNoStyle, 81, 325, 39, 47},
          {-1, K::GroupBox, "3.BW-Filter", kNoStyle, 198, 326, 56, 45},
          {-1, K::Text, "Order", kStartsGroup, 203, 338, 17, 8},
          {-1, K::Text, "Cutoff-F", kStartsGroup, 202, 357, 27, 8},
          {IDC_PS_TITLE, K::Text, kPointSourceTitle, kStartsGroup | kCentreH | kCentreV, 43, 7, 241,
           14},
          {-1, K::Text, "projection Image", kStartsGroup, 253, 24, 49, 8},
          {-1, K::Text, "Prijection + Ramp", kStartsGroup, 257, 124, 53, 8},
          {-1, K::Text, "Projection + BW +Ramp", kStartsGroup, 245, 223, 70, 8},
      }};
  return t;
}

}  // namespace sinora::res
