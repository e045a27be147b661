#include "scene/scene_dump.h"

#include <cstdio>

#include "common/cp932.h"
#include "common/json.h"
#include "expr/convert.h"
#include "scene/scene.h"

namespace kova {
namespace {

// Names and texts of the scene are CP932.
void JsonString(std::string& out, const std::string& cp932) {
  AppendJsonString(out, cp932::ToUtf8(cp932));
}

void JsonValue(std::string& out, const PropValue& v) {
  switch (v.kind) {
    case kPropInt:
      out += std::to_string(v.i);
      break;
    case kPropFloat: {
      std::string t = FloatToText(v.f);
      for (char& ch : t)
        if (ch == 'E') ch = 'e';
      out += t;
      break;
    }
    case kPropBool:
      out += v.b ? "true" : "false";
      break;
    case kPropStr:
      JsonString(out, v.s);
      break;
  }
}

}  // namespace

std::string SceneJson(TKovaBaseList& scene) {
  std::string out = "{\n  \"active\": " + std::to_string(scene.ActiveIndex()) +
                    ",\n  \"width\": " + std::to_string(scene.SceneWidth()) +
                    ",\n  \"height\": " + std::to_string(scene.SceneHeight()) +
                    ",\n  \"objects\": [";
  for (int i = 0; i < scene.GetObjectCount(); ++i) {
    TKovaObject* o = scene.GetObject(i);
    out += i ? ",\n    {" : "\n    {";
    const int type = o->GetCompoType();
    out += "\"type\": " + std::to_string(type) + ", \"name\": ";
    JsonString(out, o->GetName());
    if (TKovaControl* c = o->AsControl()) {
      out += ", \"parent\": ";
      JsonString(out, c->Parent() ? c->Parent()->GetName() : std::string());
    }
    for (int code = 0; code < kPropCount; ++code) {
      if (!TypeSupports(type, code)) continue;
      out += ", \"";
      out += PropInfoOf(code).name;
      out += "\": ";
      JsonValue(out, o->GetProp(code));
    }
    out += "}";
  }
  out += scene.GetObjectCount() ? "\n  ]\n}\n" : "]\n}\n";
  return out;
}

}  // namespace kova
