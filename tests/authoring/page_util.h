// Builders for expected page bytes, written out from the page format.
#pragma once

#include <string>
#include <vector>

#include "authoring/page_source.h"
#include "common/bytes.h"

namespace kova::test {

inline Bytes Ex(const std::string& infix) {
  return authoring::CompileExpressionText(infix);
}
inline Bytes Empty() {
  return {0, 0, 0, 0};
}

// One command record: code byte, base part, then the given field bytes.
struct Rec {
  ByteWriter w;
  Rec(uint8_t code, int32_t line, int32_t indent = 0, uint8_t disabled = 0, uint8_t runOn = 1) {
    w.U8(code);
    w.I32(indent);
    w.U8(disabled);
    w.U8(runOn);
    w.I32(line);
  }
  Rec& E(const Bytes& expr) { return w.Raw(expr), *this; }
  Rec& S(const std::string& s) { return w.LpString(s), *this; }
  Rec& I(int32_t v) { return w.I32(v), *this; }
  Rec& B(uint8_t v) { return w.U8(v), *this; }
};

// A page with the usual 61 x 21 table (records given by code) and the commands.
inline Bytes PageBytes(int32_t version, uint8_t returnType, const std::vector<Rec>& commands,
                       const std::vector<std::pair<int, Bytes>>& records = {}) {
  ByteWriter w;
  w.I32(version);
  w.U8(returnType);
  w.U32(61);
  w.U32(21);
  for (int code = 0; code < 61; ++code) {
    Bytes rec(21, 0);
    for (const auto& [c, bytes] : records)
      if (c == code) std::copy(bytes.begin(), bytes.end(), rec.begin());
    w.Raw(rec);
  }
  w.U32(static_cast<uint32_t>(commands.size()));
  for (const Rec& r : commands)
    w.Raw(r.w.Data());
  return w.Take();
}

}  // namespace kova::test
