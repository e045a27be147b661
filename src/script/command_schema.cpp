#include "script/command_schema.h"

#include <array>
#include <string>

namespace kova {

namespace {

using K = FieldKind;
constexpr int32_t kAlways = -1;

FieldDef E(const char* key, int32_t after = kAlways) {
  return {key, K::kExpr, after};
}
FieldDef S(const char* key, int32_t after = kAlways) {
  return {key, K::kString, after};
}
FieldDef I(const char* key, int32_t after = kAlways) {
  return {key, K::kI32, after};
}
FieldDef B(const char* key) {
  return {key, K::kU8, kAlways};
}
FieldDef L(const char* key) {
  return {key, K::kExprList, kAlways};
}
FieldDef P() {
  return {"props", K::kProps, kAlways};
}

std::vector<CommandInfo> MakeTable() {
  std::vector<CommandInfo> t = {
      {0, "If", "IF", {E("cond")}, false},
      {1, "Elseif", "ELSE IF", {E("cond")}, false},
      {2, "Else", "ELSE", {}, false},
      {3, "Label", "ラベル", {S("name")}, false},
      {4, "Jump", "ジャンプ", {S("page"), I("index"), E("cond")}, false},
      {5, "Call", "コール", {S("page"), I("index"), S("result"), E("cond"), L("args")}, false},
      {6, "Exit", "リターン", {E("cond")}, false},
      {7, "Wait", "ウエイト", {E("cond"), E("time"), E("block", 106)}, false},
      {8, "BoxNew", "矩形サーフェス作成", {P()}, true},
      {9, "ImgNew", "画像サーフェス作成", {P()}, true},
      {10, "MesNew", "メッセージボックス作成", {P()}, true},
      {11, "Timer", "タイマー", {P()}, true},
      {12, "Movie", "ムービー再生", {P()}, true},
      {13,
       "Flip",
       "フリップ",
       {E("type"), E("time"), E("reverse"), E("mode"), L("objs"), E("clear"), E("param1"),
        E("param2"), E("wipe", 100), E("block", 106)},
       false},
      {14, "Calc", "計算", {E("expr")}, false},
      {15, "VarNew", "変数作成", {S("name"), B("type"), E("init"), B("scope")}, false},
      {16, "VarDel", "変数削除", {S("name")}, false},
      {17, "GetProp", "プロパティ取得", {E("obj"), E("prop"), S("var")}, false},
      {18, "SetProp", "プロパティ設定", {E("obj"), E("prop"), E("value")}, false},
      {19, "ObjDel", "コンポーネント削除", {E("obj")}, false},
      {20,
       "TextIns",
       "テキスト挿入",
       {{"text", K::kBlob, kAlways}, E("box"), E("record"), E("wait"), E("block", 106)},
       false},
      {21, "MovieStop", "メディア停止", {E("obj"), E("fade"), E("wait"), E("block", 106)}, false},
      {22, "ClrHist", "履歴クリア", {}, false},
      {23, "Cinema", "シネマサーフェス作成", {P()}, true},
      {24, "Caption", "キャプション作成", {P()}, true},
      {25, "Menu", "メニュー作成", {P()}, true},
      {26, "MenuClose", "メニュークローズ", {E("obj")}, false},
      {27, "Comment", "コメント", {S("text")}, false},
      {28, "TextClr", "テキストクリア", {E("box")}, false},
      {29, "CallHist", "履歴呼出", {E("box"), E("first"), E("count"), E("flag")}, false},
      {30, "Button", "ボタン作成", {P()}, true},
      {31, "While", "ループ", {E("cond"), I("exit")}, false},
      {32, "WhileInit", "ループ初期化", {E("init")}, false},
      {33, "WhileLoop", "ループ再初期化", {E("step"), I("head")}, false},
      {34, "Break", "ループ脱出", {E("cond"), I("target")}, false},
      {35, "Continue", "ループ先頭へ", {E("cond"), I("target")}, false},
      {36, "ParticleNew", "パーティクルサーフェス作成", {P()}, true},
      {37, "FireNew", "炎サーフェス作成", {P()}, true},
      {38,
       "GameSave",
       "ゲームセーブ",
       {E("slot"), S("page"), I("position", 104), E("caption")},
       false},
      {39, "GameLoad", "ゲームロード", {E("slot")}, false},
      {40, "PCReset", "PCリセット", {S("page"), I("index"), B("all")}, false},
      {41, "Reset", "リセット", {S("page"), I("index"), B("all")}, false},
      {42, "Sound", "サウンド再生", {P()}, true},
      {43, "EditNew", "エディット作成", {P()}, true},
      {44, "MemoNew", "メモ作成", {P()}, true},
      {45, "Terminate", "終了", {}, false},
      {46, "DoEvent", "DoEvent", {}, false},
      {47, "ClrRead", "既読クリア", {}, false},
      {48, "MapImgNew", "選択画像作成", {P()}, true},
      {49, "WaveNew", "ウエーブサーフェス作成", {P()}, true},
      {50, "TileNew", "タイルサーフェス作成", {P()}, true},
      {51, "SliderNew", "スライダー作成", {P()}, true},
      {52, "ScrollbarNew", "スクロールバー作成", {P()}, true},
      {53, "GaugeNew", "ゲージ作成", {P()}, true},
      {54, "CGCaption", "画像キャプション作成", {P()}, true},
      {55, "MediaPlay", "メディア再生", {E("obj")}, false},
      {56, "PrevMenuNew", "プレビューメニュー作成", {P()}, true},
      {57,
       "PropMotion",
       "プロパティモーション",
       {E("name"), E("target"), E("prop"), E("value"), E("duration"), E("kind"), E("paused", 107)},
       false},
      {58, "FormatHist", "履歴書式登録", {E("obj")}, false},
      {59, "SaveCabinet", "キャビネット保存", {P(), E("invert"), L("objs")}, true},
      {60, "LoadCabinet", "キャビネット復帰", {P(), E("invert"), L("objs")}, true},
  };
  return t;
}

const std::vector<CommandInfo>& Table() {
  static const std::vector<CommandInfo> t = MakeTable();
  return t;
}

}  // namespace

const CommandInfo* CommandByCode(int code) {
  if (code < 0 || code >= kCommandCodes) return nullptr;
  return &Table()[static_cast<size_t>(code)];
}

const CommandInfo* CommandByName(std::string_view name) {
  for (const auto& c : Table()) {
    std::string_view n = c.name;
    if (n.size() == name.size() && std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
          return (a | 0x20) == (b | 0x20);
        }))
      return &c;
  }
  return nullptr;
}

}  // namespace kova
