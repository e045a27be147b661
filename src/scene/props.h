// The property catalogue: every code scripts use to reach an attribute of a scene object, its
// declared type, its defaults, which object types support it, and the order in which creation
// commands apply the codes they list.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kova {

class TCustomParam;
class TKovaObject;

enum PropCode : int {
#include "scene/prop_names.inc"
};

inline constexpr int kPropCount = 162;

// Object type codes as saves store them.
enum ObjectType : int {
  LT_NONE = 0,
  LT_AUDIO,
  LT_BOX,
  LT_BUTTON,
  LT_CINEMA,
  LT_EDIT,
  LT_FIRE,
  LT_HTTP,
  LT_IMAGES,
  LT_LABEL,
  LT_MAP,
  LT_MEMO,
  LT_MENU,
  LT_MES,
  LT_PARTICLE,
  LT_TIMER,
  LT_VIDEO,
  LT_SOUND,
  LT_MAPIMG,
  LT_WAVE,
  LT_TILE,
  LT_SLIDER,
  LT_SCROLLBAR,
  LT_GAUGE,
  LT_CGLABEL,
  LT_PREVMENU,
  LT_PROPMOTION,
  LT_CABINET
};
inline constexpr int kObjectTypeCount = 28;

// Value kinds; the same numbers as the script's storage types.
enum PropKind : uint8_t { kPropInt = 1, kPropFloat = 2, kPropBool = 3, kPropStr = 4 };

// One property value in the kind its accessor works with.
struct PropValue {
  PropKind kind = kPropInt;
  int32_t i = 0;
  long double f = 0;
  bool b = false;
  std::string s;

  static PropValue Int(int32_t v) { return {kPropInt, v, 0, false, {}}; }
  static PropValue Float(long double v) { return {kPropFloat, 0, v, false, {}}; }
  static PropValue Bool(bool v) { return {kPropBool, 0, 0, v, {}}; }
  static PropValue Str(std::string v) { return {kPropStr, 0, 0, false, std::move(v)}; }
  bool operator==(const PropValue&) const = default;
};

enum PropFlags : uint8_t {
  kPropReadOnly = 1,     // setting is ignored
  kPropNotSettable = 2,  // setting is an error
  kPropAlways = 4,       // every object answers it
};

struct PropInfo {
  int code;
  const char* name;   // "PR_LEFT"
  const char* label;  // display label, UTF-8
  PropKind declared;  // the type the system function GetProp creates
  PropKind access;    // the kind the accessors read and write
  uint8_t flags;
  PropValue unsupported;                 // what an object that does not support it answers
  std::optional<PropValue> emptyCreate;  // applied when a creation parameter gives no value
};

// The entry of a code 0..161 (throws for others; check with IsPropCode first).
const PropInfo& PropInfoOf(int code);
inline bool IsPropCode(int code) {
  return code >= 0 && code < kPropCount;
}

// "PR_LEFT" -> 3, case-insensitive; -1 when unknown.
int PropCodeByName(std::string_view name);

// Whether an object of the type answers the code (has real accessors for it).
bool TypeSupports(int type, int code);
// Whether a setter of the type changes the value (some codes are readable only).
bool TypeWrites(int type, int code);
// Types whose objects are controls (have geometry, parents and mouse events).
bool IsControlType(int type);
// Display name of an object type, UTF-8; empty for codes without one.
std::string_view ObjectTypeName(int type);

// The fixed order in which creation commands apply their listed codes.
std::span<const uint8_t, kPropCount> CreationOrder();
// Codes a creation command never applies even when it lists them.
bool SkippedAtCreation(int code);

// Reads a property into an existing script variable in the accessor's kind.
// Throws "GetPropエラー" for codes outside 0..161.
void GetPropByCode(TKovaObject& obj, int code, TCustomParam& var);
// Writes a property from a script value converted into the accessor's kind.
// Throws "SetPropエラー" for codes outside 0..161 and for PR_APPEARX/PR_APPEARY.
void SetPropByCode(TKovaObject& obj, int code, const TCustomParam& value);
// Converts a script value into a property value of the accessor's kind of the code.
PropValue PropFromParam(int code, const TCustomParam& value);
// Stores a property value into a script variable using the value's kind.
void PropToParam(const PropValue& v, TCustomParam& var);

inline constexpr const char* kGetPropError = "GetPropエラー";
inline constexpr const char* kSetPropError = "SetPropエラー";
inline constexpr const char* kBadPropSpec = "プロパティ指定が不正です";
inline constexpr const char* kGetPropFuncArgs = "GetPropの引数が違います";

}  // namespace kova
