#include "scene/props.h"

#include <algorithm>
#include <vector>

#include "common/cp932.h"
#include "common/error.h"
#include "expr/value.h"
#include "scene/object.h"

namespace kova {
namespace {

const PropInfo kProps[kPropCount] = {
    {0, "PR_NAME", "名前", kPropStr, kPropStr, kPropAlways, PropValue::Str(""), PropValue::Str("")},
    {1, "PR_PARENT", "親", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {2, "PR_SOURCE", "ソース", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {3, "PR_LEFT", "X座標", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {4, "PR_TOP", "Y座標", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {5, "PR_WIDTH", "幅", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {6, "PR_HEIGHT", "高さ", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {7, "PR_ZOOMX", "ズームX", kPropInt, kPropInt, 0, PropValue::Int(256), PropValue::Int(256)},
    {8, "PR_COLOR", "色", kPropInt, kPropInt, 0, PropValue::Int(0xFFFFFF), PropValue::Int(-1)},
    {9, "PR_BORDERWIDTH", "枠幅", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {10, "PR_BORDERCOLOR", "枠色", kPropInt, kPropInt, 0, PropValue::Int(-1), PropValue::Int(-1)},
    {11, "PR_ALPHA", "アルファ", kPropInt, kPropInt, 0, PropValue::Int(255), PropValue::Int(255)},
    {12, "PR_PRIORITY", "プライオリティ", kPropInt, kPropInt, kPropAlways, PropValue::Int(0),
     PropValue::Int(0)},
    {13, "PR_OFFSETX", "X中心座標", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {14, "PR_OFFSETY", "Y中心座標", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {15, "PR_FONTNAME", "フォント名", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {16, "PR_FONTHEIGHT", "フォントサイズ", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(16)},
    {17, "PR_FONTSTYLE", "フォントスタイル", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {18, "PR_LINESPACE", "行間", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {19, "PR_FONTCOLOR", "フォント色", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {20, "PR_FONTLINKCOLOR", "リンクの色", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {21, "PR_FONTBORDERCOLOR", "フォントの縁の色", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {22, "PR_FONTHOVERCOLOR", "マウスオーバー時の\r\nフォント色", kPropInt, kPropInt, 0,
     PropValue::Int(0), PropValue::Int(0)},
    {23, "PR_FONTHOVERSTYLE", "マウスオーバー時の\r\nフォントスタイル", kPropInt, kPropInt, 0,
     PropValue::Int(0), PropValue::Int(0)},
    {24, "PR_HOVERCOLOR", "マウスオーバー時の色", kPropInt, kPropInt, 0, PropValue::Int(-1),
     PropValue::Int(-1)},
    {25, "PR_ANTIALIAS", "アンチエイリアス", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {26, "PR_DELAY", "ウエイト", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {27, "PR_PAUSED", "停止", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {28, "PR_VOLUME", "音量", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(1000)},
    {29, "PR_REPEAT", "リピート", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {30, "PR_BALANCE", "バランス", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {31, "PR_ANGLE", "角度", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {32, "PR_ONPLAYING", "再生中", kPropBool, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {33, "PR_ONNOTIFY", "汎用イベント", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {34, "PR_ONMOUSEMOVE", "マウス移動", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {35, "PR_ONMOUSEOUT", "マウスアウト", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {36, "PR_ONLBTNDOWN", "左ボタンダウン", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {37, "PR_ONLBTNUP", "左ボタンアップ", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {38, "PR_ONRBTNDOWN", "右ボタンダウン", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {39, "PR_ONRBTNUP", "右ボタンアップ", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {40, "PR_ONWHEELDOWN", "ホイールダウン", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {41, "PR_ONWHEELUP", "ホイールアップ", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {42, "PR_BRIGHTNESS", "明るさ", kPropInt, kPropInt, 0, PropValue::Int(255), PropValue::Int(0)},
    {43, "PR_ONPLAYEND", "再生終了", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {44, "PR_INDEX", "インデックス", kPropInt, kPropInt, 0, PropValue::Int(-1), PropValue::Int(0)},
    {45, "PR_COUNT", "カウント", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {46, "PR_ONLINK", "リンク", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {47, "PR_VISIBLE", "可視", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(true)},
    {48, "PR_COLCOUNT", "列数", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(1)},
    {49, "PR_ROWCOUNT", "行数", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(1)},
    {50, "PR_TEXT", "テキスト", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {51, "PR_MARGINX", "左右の余白", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {52, "PR_MARGINY", "上下の余白", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {53, "PR_HALIGN", "横の揃え", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {54, "PR_BORDERSOURCETL", "枠画像(左上)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {55, "PR_BORDERSOURCETC", "枠画像(上)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {56, "PR_BORDERSOURCETR", "枠画像(右上)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {57, "PR_BORDERSOURCECL", "枠画像(左)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {58, "PR_BORDERSOURCECC", "枠画像(背景)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {59, "PR_BORDERSOURCECR", "枠画像(右)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {60, "PR_BORDERSOURCEBL", "枠画像(左下)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {61, "PR_BORDERSOURCEBC", "枠画像(下)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {62, "PR_BORDERSOURCEBR", "枠画像(右下)", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {63, "PR_BORDERHALIGNT", "枠横揃え(上)", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {64, "PR_BORDERHALIGNC", "枠横揃え(背景)", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {65, "PR_BORDERHALIGNB", "枠横揃え(下)", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {66, "PR_BORDERVALIGNL", "枠縦揃え(左)", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {67, "PR_BORDERVALIGNC", "枠縦揃え(背景)", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {68, "PR_BORDERVALIGNR", "枠縦揃え(右)", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {69, "PR_SCROLLSOURCE", "スクロールバー画像", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {70, "PR_CHECKSOURCE", "チェック画像", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {71, "PR_AUTOSCRAP", "自動破棄", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {72, "PR_ONSELECT", "選択", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {73, "PR_RCLICKSCRAP", "右クリックで破棄", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {74, "PR_ONOPENING", "オープン前", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {75, "PR_ONOPENED", "オープン後", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {76, "PR_ONCLOSING", "クローズ前", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {77, "PR_ONCLOSED", "クローズ後", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {78, "PR_CARETX", "キャレットX", kPropInt, kPropInt, kPropReadOnly, PropValue::Int(0),
     std::nullopt},
    {79, "PR_CARETY", "キャレットY", kPropInt, kPropInt, kPropReadOnly, PropValue::Int(0),
     std::nullopt},
    {80, "PR_IGNOREMOUSE", "マウス透過", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {81, "PR_TEXTPAUSED", "テキスト一時停止", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {82, "PR_TEXTDELAY", "テキストウエイト率", kPropInt, kPropInt, 0, PropValue::Int(256),
     PropValue::Int(256)},
    {83, "PR_HOVERSOURCE", "マウスオーバー時の\r\n画像", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {84, "PR_PRESSEDSOURCE", "押された時の画像", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {85, "PR_GROUPINDEX", "グループ番号", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {86, "PR_ALLOWALLUP", "全解除許可", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {87, "PR_SELECTED", "選択", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {88, "PR_CAPTUREMASK", "マウス位置を\r\nマスクで判断", kPropBool, kPropBool, 0,
     PropValue::Bool(false), PropValue::Bool(false)},
    {89, "PR_POWER", "強さ", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {90, "PR_ORIGWIDTH", "元の幅", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {91, "PR_ORIGHEIGHT", "元の高さ", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {92, "PR_APPEARX", "X発生座標", kPropInt, kPropInt, kPropNotSettable, PropValue::Int(0),
     std::nullopt},
    {93, "PR_APPEARY", "Y発生座標", kPropInt, kPropInt, kPropNotSettable, PropValue::Int(0),
     std::nullopt},
    {94, "PR_PARTMOTION", "動作タイプ", kPropInt, kPropInt, 0, PropValue::Int(1),
     PropValue::Int(0)},
    {95, "PR_PARAM1", "パラメータ1", kPropFloat, kPropFloat, 0, PropValue::Float(0),
     PropValue::Float(0)},
    {96, "PR_PARAM2", "パラメータ2", kPropFloat, kPropFloat, 0, PropValue::Float(0),
     PropValue::Float(0)},
    {97, "PR_TOPINDEX", "最上部インデックス", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {98, "PR_READONLY", "編集禁止", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {99, "PR_CURSOR", "カーソル", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {100, "PR_POSZOOMED", "ズーム座標", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {101, "PR_ONPLAYSTART", "再生開始", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {102, "PR_PARAM3", "パラメータ3", kPropFloat, kPropFloat, 0, PropValue::Float(0),
     PropValue::Float(0)},
    {103, "PR_ONMOUSEIN", "マウスイン", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {104, "PR_ONMAPIN", "マップイン", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {105, "PR_ONMAPOUT", "マップアウト", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {106, "PR_MAPSOURCE", "マップ", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {107, "PR_AMP", "振幅", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(1)},
    {108, "PR_WAVELEN", "波長", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(100)},
    {109, "PR_SCROLLX", "スクロールX", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {110, "PR_SCROLLY", "スクロールY", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {111, "PR_FLIPH", "横反転", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {112, "PR_FLIPV", "縦反転", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {113, "PR_ONIDLE", "アイドル", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {114, "PR_DISTANCEX", "横の間隔", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {115, "PR_DISTANCEY", "縦の間隔", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {116, "PR_CLIPLEFT", "クリップX", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {117, "PR_CLIPTOP", "クリップY", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {118, "PR_CLIPWIDTH", "クリップ幅", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {119, "PR_CLIPHEIGHT", "クリップ高さ", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {120, "PR_DURATION", "持続時間", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {121, "PR_THUMBSOURCE", "つまみ画像", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {122, "PR_BUTTONSOURCE", "ボタン画像", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {123, "PR_MIN", "最小値", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {124, "PR_MAX", "最大値", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {125, "PR_VALUE", "値", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {126, "PR_ORIENTATION", "方向", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {127, "PR_SMALLCHANGE", "変化量", kPropInt, kPropInt, 0, PropValue::Int(1), PropValue::Int(1)},
    {128, "PR_LARGECHANGE", "大きい変化量", kPropInt, kPropInt, 0, PropValue::Int(1),
     PropValue::Int(1)},
    {129, "PR_MAPTEXT", "マップテキスト", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {130, "PR_GLYPHWIDTH", "１個の幅", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(1)},
    {131, "PR_GLYPHHEIGHT", "１個の高さ", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(1)},
    {132, "PR_ZOOMY", "ズームY", kPropInt, kPropInt, 0, PropValue::Int(256), PropValue::Int(256)},
    {133, "PR_CLICKEDSOURCE", "クリック後の画像", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {134, "PR_ANIPAUSED", "動画停止", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {135, "PR_ONHOLD", "ホールド", kPropStr, kPropStr, 0, PropValue::Str(""), PropValue::Str("")},
    {136, "PR_ONRELEASE", "リリース", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {137, "PR_REVERSE", "逆方向", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {138, "PR_PLAYING", "再生中", kPropBool, kPropBool, kPropReadOnly, PropValue::Bool(false),
     std::nullopt},
    {139, "PR_REWINDONLOAD", "ロード時巻き戻し", kPropBool, kPropBool, 0, PropValue::Bool(true),
     PropValue::Bool(false)},
    {140, "PR_COMPOTYPE", "コンポーネントの種類", kPropInt, kPropInt, kPropReadOnly,
     PropValue::Int(0), std::nullopt},
    {141, "PR_FONTSHADOWCOLOR", "フォントの影の色", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {142, "PR_FONTBORDER", "フォントの縁の幅", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {143, "PR_FONTSHADOW", "フォントの影の位置", kPropInt, kPropInt, 0, PropValue::Int(0),
     PropValue::Int(0)},
    {144, "PR_ONKEYDOWN", "キーダウン", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {145, "PR_ONKEYUP", "キーアップ", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {146, "PR_ONKEYREPEAT", "キーリピート", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {147, "PR_HANDLEKEY", "キー処理", kPropInt, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {148, "PR_ONFOCUSIN", "フォーカスイン", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {149, "PR_ONFOCUSOUT", "フォーカスアウト", kPropStr, kPropStr, 0, PropValue::Str(""),
     PropValue::Str("")},
    {150, "PR_OVERLAY", "オーバーレイ", kPropBool, kPropBool, 0, PropValue::Bool(true),
     PropValue::Bool(true)},
    {151, "PR_TAG", "タグ", kPropStr, kPropStr, kPropAlways, PropValue::Str(""),
     PropValue::Str("")},
    {152, "PR_CAPTURELINK", "マウス判定を\r\nリンク文字のみ", kPropBool, kPropBool, 0,
     PropValue::Bool(false), PropValue::Bool(false)},
    {153, "PR_FONTHOVERBORDER", "マウスオーバー時の\r\nフォントの縁の幅", kPropInt, kPropInt, 0,
     PropValue::Int(0), PropValue::Int(0)},
    {154, "PR_FONTHOVERBORDERCOLOR", "マウスオーバー時の\r\nフォントの縁の色", kPropInt, kPropInt,
     0, PropValue::Int(0), PropValue::Int(0)},
    {155, "PR_FONTHOVERSHADOW", "マウスオーバー時の\r\nフォントの影の位置", kPropInt, kPropInt, 0,
     PropValue::Int(0), PropValue::Int(0)},
    {156, "PR_FONTHOVERSHADOWCOLOR", "マウスオーバー時の\r\nフォントの影の色", kPropInt, kPropInt,
     0, PropValue::Int(0), PropValue::Int(0)},
    {157, "PR_BARSIZE", "バーの長さ", kPropInt, kPropInt, 0, PropValue::Int(0), PropValue::Int(0)},
    {158, "PR_MUTEONLOAD", "ロード時ミュート", kPropBool, kPropBool, 0, PropValue::Bool(false),
     PropValue::Bool(false)},
    {159, "PR_PLUSX", "X座標加算値", kPropInt, kPropInt, 0, PropValue::Int(0), std::nullopt},
    {160, "PR_PLUSY", "Y座標加算値", kPropInt, kPropInt, 0, PropValue::Int(0), std::nullopt},
    {161, "PR_CARETHEIGHT", "キャレットの高さ", kPropInt, kPropInt, kPropReadOnly,
     PropValue::Int(0), std::nullopt},
};

const std::vector<uint8_t> kControlCommon = {
    PR_NAME,       PR_PARENT,      PR_LEFT,        PR_TOP,       PR_WIDTH,       PR_HEIGHT,
    PR_COLOR,      PR_PRIORITY,    PR_OFFSETX,     PR_OFFSETY,   PR_ONMOUSEMOVE, PR_ONMOUSEOUT,
    PR_ONLBTNDOWN, PR_ONLBTNUP,    PR_ONRBTNDOWN,  PR_ONRBTNUP,  PR_ONWHEELDOWN, PR_ONWHEELUP,
    PR_VISIBLE,    PR_IGNOREMOUSE, PR_CURSOR,      PR_POSZOOMED, PR_ONMOUSEIN,   PR_CLIPLEFT,
    PR_CLIPTOP,    PR_CLIPWIDTH,   PR_CLIPHEIGHT,  PR_ANIPAUSED, PR_PLAYING,     PR_COMPOTYPE,
    PR_ONKEYDOWN,  PR_ONKEYUP,     PR_ONKEYREPEAT, PR_HANDLEKEY, PR_ONFOCUSIN,   PR_ONFOCUSOUT,
    PR_TAG,        PR_PLUSX,       PR_PLUSY};
struct TypeSupport {
  int type;
  bool control;
  std::vector<uint8_t> own;
};
const std::vector<TypeSupport> kTypeSupport = {
    {LT_BOX,
     true,
     {PR_SOURCE, PR_BORDERWIDTH, PR_BORDERCOLOR, PR_ALPHA, PR_PAUSED, PR_REPEAT, PR_ONPLAYEND,
      PR_AUTOSCRAP, PR_ONIDLE}},
    {LT_IMAGES,
     true,
     {PR_SOURCE, PR_ZOOMX, PR_ALPHA, PR_PAUSED, PR_REPEAT, PR_ANGLE, PR_BRIGHTNESS, PR_ONPLAYEND,
      PR_INDEX, PR_COUNT, PR_AUTOSCRAP, PR_CAPTUREMASK, PR_ORIGWIDTH, PR_ORIGHEIGHT, PR_FLIPH,
      PR_FLIPV, PR_ONIDLE, PR_ZOOMY}},
    {LT_BUTTON,
     true,
     {PR_SOURCE,     PR_ZOOMX,     PR_ALPHA,       PR_PAUSED,        PR_REPEAT,
      PR_ANGLE,      PR_ONNOTIFY,  PR_BRIGHTNESS,  PR_ONPLAYEND,     PR_INDEX,
      PR_COUNT,      PR_AUTOSCRAP, PR_HOVERSOURCE, PR_PRESSEDSOURCE, PR_GROUPINDEX,
      PR_ALLOWALLUP, PR_SELECTED,  PR_CAPTUREMASK, PR_ORIGWIDTH,     PR_ORIGHEIGHT,
      PR_FLIPH,      PR_FLIPV,     PR_ONIDLE,      PR_ZOOMY,         PR_CLICKEDSOURCE}},
    {LT_TILE, true, {PR_SOURCE,    PR_ZOOMX,      PR_ALPHA,     PR_PAUSED,    PR_REPEAT,
                     PR_ANGLE,     PR_BRIGHTNESS, PR_INDEX,     PR_COUNT,     PR_CAPTUREMASK,
                     PR_ORIGWIDTH, PR_ORIGHEIGHT, PR_SCROLLX,   PR_SCROLLY,   PR_FLIPH,
                     PR_FLIPV,     PR_ONIDLE,     PR_DISTANCEX, PR_DISTANCEY, PR_ZOOMY}},
    {LT_MAPIMG,
     true,
     {PR_SOURCE, PR_ALPHA, PR_PAUSED, PR_REPEAT, PR_BRIGHTNESS, PR_AUTOSCRAP, PR_ONSELECT,
      PR_RCLICKSCRAP, PR_HOVERSOURCE, PR_ONMAPIN, PR_ONMAPOUT, PR_MAPSOURCE, PR_ONIDLE}},
    {LT_CINEMA,
     true,
     {PR_SOURCE, PR_PAUSED, PR_VOLUME, PR_REPEAT, PR_ONPLAYEND, PR_INDEX, PR_COUNT, PR_AUTOSCRAP,
      PR_ONIDLE, PR_REWINDONLOAD, PR_MUTEONLOAD}},
    {LT_FIRE,
     true,
     {PR_ZOOMX, PR_PAUSED, PR_POWER, PR_ORIGWIDTH, PR_ORIGHEIGHT, PR_ONIDLE, PR_ZOOMY}},
    {LT_WAVE, true, {PR_DELAY, PR_PAUSED, PR_AMP, PR_WAVELEN, PR_ONIDLE}},
    {LT_PARTICLE,
     true,
     {PR_SOURCE, PR_ALPHA, PR_PAUSED, PR_INDEX, PR_PARTMOTION, PR_PARAM1, PR_PARAM2, PR_PARAM3,
      PR_ONIDLE, PR_DURATION}},
    {LT_LABEL, true, {PR_SOURCE,    PR_ZOOMX,     PR_ALPHA,     PR_FONTNAME,  PR_FONTHEIGHT,
                      PR_FONTSTYLE, PR_LINESPACE, PR_FONTCOLOR, PR_ANTIALIAS, PR_PAUSED,
                      PR_REPEAT,    PR_ANGLE,     PR_ONPLAYEND, PR_TEXT,      PR_HALIGN,
                      PR_AUTOSCRAP, PR_FLIPH,     PR_FLIPV,     PR_ONIDLE,    PR_ZOOMY}},
    {LT_CGLABEL,
     true,
     {PR_SOURCE, PR_ALPHA, PR_LINESPACE, PR_PAUSED, PR_TEXT, PR_HALIGN, PR_ORIGWIDTH, PR_ORIGHEIGHT,
      PR_ONIDLE, PR_MAPTEXT, PR_GLYPHWIDTH, PR_GLYPHHEIGHT}},
    {LT_MES,
     true,
     {PR_ALPHA,           PR_FONTNAME,        PR_FONTHEIGHT,     PR_LINESPACE,   PR_FONTCOLOR,
      PR_FONTLINKCOLOR,   PR_FONTBORDERCOLOR, PR_FONTHOVERCOLOR, PR_ANTIALIAS,   PR_DELAY,
      PR_PAUSED,          PR_ONPLAYING,       PR_ONNOTIFY,       PR_ONPLAYEND,   PR_INDEX,
      PR_COUNT,           PR_ONLINK,          PR_TEXT,           PR_CARETX,      PR_CARETY,
      PR_TEXTPAUSED,      PR_TEXTDELAY,       PR_ONPLAYSTART,    PR_SCROLLY,     PR_ONIDLE,
      PR_FONTSHADOWCOLOR, PR_FONTBORDER,      PR_FONTSHADOW,     PR_CAPTURELINK, PR_CARETHEIGHT}},
    {LT_EDIT,
     true,
     {PR_FONTNAME, PR_FONTHEIGHT, PR_FONTSTYLE, PR_FONTCOLOR, PR_PAUSED, PR_ONNOTIFY, PR_TEXT,
      PR_READONLY}},
    {LT_MEMO,
     true,
     {PR_FONTNAME, PR_FONTHEIGHT, PR_FONTSTYLE, PR_FONTCOLOR, PR_PAUSED, PR_ONNOTIFY, PR_TEXT,
      PR_HALIGN, PR_READONLY}},
    {LT_MENU,
     true,
     {PR_BORDERWIDTH,
      PR_BORDERCOLOR,
      PR_ALPHA,
      PR_FONTNAME,
      PR_FONTHEIGHT,
      PR_FONTSTYLE,
      PR_LINESPACE,
      PR_FONTCOLOR,
      PR_FONTBORDERCOLOR,
      PR_FONTHOVERCOLOR,
      PR_FONTHOVERSTYLE,
      PR_HOVERCOLOR,
      PR_ANTIALIAS,
      PR_DELAY,
      PR_PAUSED,
      PR_INDEX,
      PR_COUNT,
      PR_ROWCOUNT,
      PR_TEXT,
      PR_MARGINX,
      PR_MARGINY,
      PR_HALIGN,
      PR_BORDERSOURCETL,
      PR_BORDERSOURCETC,
      PR_BORDERSOURCETR,
      PR_BORDERSOURCECL,
      PR_BORDERSOURCECC,
      PR_BORDERSOURCECR,
      PR_BORDERSOURCEBL,
      PR_BORDERSOURCEBC,
      PR_BORDERSOURCEBR,
      PR_BORDERHALIGNT,
      PR_BORDERHALIGNC,
      PR_BORDERHALIGNB,
      PR_BORDERVALIGNL,
      PR_BORDERVALIGNC,
      PR_BORDERVALIGNR,
      PR_SCROLLSOURCE,
      PR_CHECKSOURCE,
      PR_AUTOSCRAP,
      PR_ONSELECT,
      PR_RCLICKSCRAP,
      PR_ONOPENING,
      PR_ONOPENED,
      PR_ONCLOSING,
      PR_ONCLOSED,
      PR_ORIGHEIGHT,
      PR_TOPINDEX,
      PR_ONMAPIN,
      PR_ONMAPOUT,
      PR_ONIDLE,
      PR_FONTSHADOWCOLOR,
      PR_FONTBORDER,
      PR_FONTSHADOW,
      PR_FONTHOVERBORDER,
      PR_FONTHOVERBORDERCOLOR,
      PR_FONTHOVERSHADOW,
      PR_FONTHOVERSHADOWCOLOR}},
    {LT_PREVMENU,
     true,
     {PR_SOURCE, PR_PAUSED, PR_ONPLAYEND, PR_COUNT, PR_TEXT, PR_AUTOSCRAP, PR_ONSELECT,
      PR_RCLICKSCRAP, PR_ONMAPIN, PR_ONMAPOUT, PR_ONIDLE}},
    {LT_SLIDER,
     true,
     {PR_SOURCE, PR_ALPHA, PR_PAUSED, PR_ONNOTIFY, PR_CAPTUREMASK, PR_ONIDLE, PR_THUMBSOURCE,
      PR_BUTTONSOURCE, PR_MIN, PR_MAX, PR_VALUE, PR_ORIENTATION, PR_SMALLCHANGE, PR_ONHOLD,
      PR_ONRELEASE, PR_BARSIZE}},
    {LT_SCROLLBAR,
     true,
     {PR_SOURCE, PR_ALPHA, PR_PAUSED, PR_ONNOTIFY, PR_CAPTUREMASK, PR_ONIDLE, PR_THUMBSOURCE,
      PR_BUTTONSOURCE, PR_MIN, PR_MAX, PR_VALUE, PR_ORIENTATION, PR_SMALLCHANGE, PR_LARGECHANGE,
      PR_ONHOLD, PR_ONRELEASE, PR_BARSIZE}},
    {LT_GAUGE,
     true,
     {PR_SOURCE, PR_ALPHA, PR_DELAY, PR_PAUSED, PR_ONIDLE, PR_DURATION, PR_MIN, PR_MAX, PR_VALUE,
      PR_ORIENTATION, PR_REVERSE, PR_BARSIZE}},
    {LT_VIDEO, true, {PR_SOURCE,       PR_ZOOMX,   PR_ALPHA,     PR_DELAY,       PR_PAUSED,
                      PR_VOLUME,       PR_REPEAT,  PR_BALANCE,   PR_ANGLE,       PR_ONPLAYEND,
                      PR_INDEX,        PR_COUNT,   PR_AUTOSCRAP, PR_CAPTUREMASK, PR_ORIGWIDTH,
                      PR_ORIGHEIGHT,   PR_FLIPH,   PR_FLIPV,     PR_ONIDLE,      PR_ZOOMY,
                      PR_REWINDONLOAD, PR_OVERLAY, PR_MUTEONLOAD}},
    {LT_CABINET, true, {}},
    {LT_TIMER,
     false,
     {PR_NAME, PR_PRIORITY, PR_DELAY, PR_PAUSED, PR_ONNOTIFY, PR_AUTOSCRAP, PR_COMPOTYPE, PR_TAG}},
    {LT_SOUND,
     false,
     {PR_NAME, PR_SOURCE, PR_PRIORITY, PR_DELAY, PR_PAUSED, PR_VOLUME, PR_REPEAT, PR_BALANCE,
      PR_ONPLAYEND, PR_INDEX, PR_COUNT, PR_AUTOSCRAP, PR_ANIPAUSED, PR_PLAYING, PR_REWINDONLOAD,
      PR_COMPOTYPE, PR_TAG, PR_MUTEONLOAD}},
    {LT_PROPMOTION, false, {PR_NAME, PR_PRIORITY, PR_PAUSED, PR_COMPOTYPE, PR_TAG}},
    {LT_HTTP,
     false,
     {PR_NAME, PR_SOURCE, PR_PRIORITY, PR_ONPLAYEND, PR_TEXT, PR_COMPOTYPE, PR_TAG}},
};

constexpr std::array<uint8_t, kPropCount> kCreationOrder = {
    0,   1,   2,   7,   132, 100, 5,   6,   3,   4,   8,   157, 9,   10,  11,  12,  13,  14,
    159, 160, 15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  153, 154, 155, 156, 25,  26,
    27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,
    45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,
    63,  64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  161,
    80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,  96,  97,
    98,  99,  101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116,
    117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 133, 134, 135,
    136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148, 149, 150, 151, 152, 158};

const char* const kTypeNames[kObjectTypeCount] = {"なし",
                                                  "オーディオ",
                                                  "矩形サーフェス",
                                                  "ボタン",
                                                  "シネマサーフェス",
                                                  "エディット",
                                                  "炎サーフェス",
                                                  "HTTP",
                                                  "画像サーフェス",
                                                  "キャプション",
                                                  "マップ",
                                                  "メモ",
                                                  "メニュー",
                                                  "メッセージボックス",
                                                  "パーティクルサーフェス",
                                                  "タイマー",
                                                  "ムービー",
                                                  "サウンド",
                                                  "選択画像",
                                                  "ウェーブサーフェス",
                                                  "タイルサーフェス",
                                                  "スライダー",
                                                  "スクロールバー",
                                                  "ゲージ",
                                                  "画像キャプション",
                                                  "プレビューメニュー",
                                                  "プロパティモーション",
                                                  "キャビネット"};

// Support as a bit set per type, built once from the lists above.
struct SupportSets {
  std::array<std::array<bool, kPropCount>, kObjectTypeCount> has{};
  std::array<bool, kObjectTypeCount> control{};
  SupportSets() {
    for (const TypeSupport& t : kTypeSupport) {
      control[t.type] = t.control;
      for (uint8_t c : t.own)
        has[t.type][c] = true;
      if (t.control)
        for (uint8_t c : kControlCommon)
          has[t.type][c] = true;
    }
  }
};

const SupportSets& Support() {
  static const SupportSets s;
  return s;
}

}  // namespace

const PropInfo& PropInfoOf(int code) {
  if (!IsPropCode(code)) throw Error("property code " + std::to_string(code) + " out of range");
  return kProps[code];
}

int PropCodeByName(std::string_view name) {
  for (const PropInfo& p : kProps)
    if (cp932::EqualNoCase(name, p.name)) return p.code;
  return -1;
}

bool TypeSupports(int type, int code) {
  if (!IsPropCode(code)) return false;
  if (kProps[code].flags & kPropAlways) return true;
  if (code == PR_COMPOTYPE) return true;
  if (type < 0 || type >= kObjectTypeCount) return false;
  return Support().has[type][code];
}

bool TypeWrites(int type, int code) {
  if (!TypeSupports(type, code)) return false;
  if (kProps[code].flags & (kPropReadOnly | kPropNotSettable)) return false;
  switch (code) {
    case PR_COUNT:
      return false;
    case PR_TEXT:
      return type != LT_HTTP && type != LT_PREVMENU;
    case PR_ORIGWIDTH:
    case PR_ORIGHEIGHT:
      return type == LT_FIRE;
    case PR_REPEAT:
      return type != LT_MAPIMG && type != LT_TILE;
    default:
      return true;
  }
}

bool IsControlType(int type) {
  return type >= 0 && type < kObjectTypeCount && Support().control[type];
}

std::string_view ObjectTypeName(int type) {
  return type >= 0 && type < kObjectTypeCount ? kTypeNames[type] : std::string_view();
}

std::span<const uint8_t, kPropCount> CreationOrder() {
  return kCreationOrder;
}

bool SkippedAtCreation(int code) {
  switch (code) {
    case PR_CARETX:
    case PR_CARETY:
    case PR_APPEARX:
    case PR_APPEARY:
    case PR_PLAYING:
    case PR_COMPOTYPE:
    case PR_PLUSX:
    case PR_PLUSY:
    case PR_CARETHEIGHT:
      return true;
    default:
      return false;
  }
}

PropValue PropFromParam(int code, const TCustomParam& value) {
  switch (PropInfoOf(code).access) {
    case kPropInt:
      return PropValue::Int(value.AsInt());
    case kPropFloat:
      return PropValue::Float(value.AsFloat());
    case kPropBool:
      return PropValue::Bool(value.AsBool());
    case kPropStr:
      break;
  }
  return PropValue::Str(value.AsStr());
}

void PropToParam(const PropValue& v, TCustomParam& var) {
  switch (v.kind) {
    case kPropInt:
      var.SetInt(v.i);
      break;
    case kPropFloat:
      var.SetFloat(v.f);
      break;
    case kPropBool:
      var.SetBool(v.b);
      break;
    case kPropStr:
      var.SetStr(v.s);
      break;
  }
}

void GetPropByCode(TKovaObject& obj, int code, TCustomParam& var) {
  if (!IsPropCode(code)) throw Error(kGetPropError);
  if (code == PR_APPEARX || code == PR_APPEARY) {
    var.SetInt(0);
    return;
  }
  PropToParam(obj.GetProp(code), var);
}

void SetPropByCode(TKovaObject& obj, int code, const TCustomParam& value) {
  if (!IsPropCode(code) || code == PR_APPEARX || code == PR_APPEARY) throw Error(kSetPropError);
  switch (code) {
    case PR_CARETX:
    case PR_CARETY:
    case PR_PLAYING:
    case PR_COMPOTYPE:
    case PR_CARETHEIGHT:
      return;
    default:
      break;
  }
  obj.SetProp(code, PropFromParam(code, value));
}

}  // namespace kova
