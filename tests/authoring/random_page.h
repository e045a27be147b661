// Random pages that the loader accepts: every command code, every field shape, versions
// 103..110, property tables of any shape and code bytes with bit 7.
#pragma once

#include <random>

#include "authoring/page_source.h"
#include "common/bytes.h"
#include "script/command_schema.h"

namespace kova::test {

class RandomPages {
 public:
  explicit RandomPages(uint32_t seed) : rng_(seed) {
    for (const char* text :
         {"1", "i < 3", "total = total + i", "x[1, 2] = \"a\\\"b\"", "Len(\"abc\") + 2 * (a - b)",
          "s = \"x\" & 3.5", "TRUE", "FALSE", "a = b = 1", "v = -2"}) {
      try {
        pool_.push_back(authoring::CompileExpressionText(text));
      } catch (const Error&) {
      }
    }
    // Two statements in one block: a stored form no infix text gives.
    const Bytes a = authoring::CompileExpressionText("x = 1");
    const Bytes b = authoring::CompileExpressionText("y = 2");
    Bytes both = {2, 0, 0, 0};
    both.insert(both.end(), a.begin() + 4, a.end());
    both.insert(both.end(), b.begin() + 4, b.end());
    pool_.push_back(both);
  }

  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Int(0, 99) < percent; }

  Bytes Expr() {
    if (Chance(30)) return {0, 0, 0, 0};
    return pool_[static_cast<size_t>(Int(0, static_cast<int>(pool_.size()) - 1))];
  }

  std::string Str() {
    static const std::vector<std::string> kPieces = {
        "a", "main.ksb", "\x82\xa0", "\x81", "\"", "\\", "\r\n", "\t",       "\x01", "\x7f",
        " ", "#",        "||",       "{",    "}",  "=",  "\xff", "\x83\x4e", "\xa7"};
    std::string s;
    const int n = Int(0, 5);
    for (int i = 0; i < n; ++i)
      s += kPieces[static_cast<size_t>(Int(0, kPieces.size() - 1))];
    return s;
  }

  Bytes Page() {
    ByteWriter w;
    const int32_t version = Int(103, 110);
    w.I32(version);
    w.U8(static_cast<uint8_t>(Chance(80) ? Int(1, 4) : Int(0, 255)));
    uint32_t count = 61, size = 21;
    if (Chance(25))
      count = static_cast<uint32_t>(Int(0, 70)), size = static_cast<uint32_t>(Int(0, 30));
    std::vector<Bytes> records(count, Bytes(size, 0));
    for (uint32_t i = 0; i < count; ++i) {
      const CommandInfo* info = CommandByCode(static_cast<int>(i));
      const bool component = info && info->creates;
      if (!(component ? Chance(40) : Chance(3))) continue;
      for (uint32_t k = 0; k < size; ++k)
        if (Chance(10)) records[i][k] = static_cast<uint8_t>(1 << Int(0, 7));
    }
    w.U32(count);
    w.U32(size);
    for (const Bytes& r : records)
      w.Raw(r);
    auto has = [&](int code, int p) {
      return static_cast<uint32_t>(code) < count && static_cast<uint32_t>(p / 8) < size &&
             (records[static_cast<size_t>(code)][static_cast<size_t>(p / 8)] >> (p % 8) & 1);
    };
    const int m = Int(0, 30);
    w.U32(static_cast<uint32_t>(m));
    for (int c = 0; c < m; ++c) {
      const int code = Int(0, kCommandCodes - 1);
      const CommandInfo& info = *CommandByCode(code);
      w.U8(static_cast<uint8_t>(code | (Chance(10) ? 0x80 : 0)));
      w.I32(Chance(85) ? Int(0, 4) : Int(-5, 100));
      w.U8(static_cast<uint8_t>(Chance(80) ? 0 : Int(0, 3)));
      w.U8(static_cast<uint8_t>(Chance(80) ? 1 : Int(0, 3)));
      w.I32(Chance(50) ? c + 2 : Int(-10, 100000));
      for (const FieldDef& f : info.fields) {
        if (f.afterVersion >= 0 && version <= f.afterVersion) continue;
        switch (f.kind) {
          case FieldKind::kExpr:
            w.Raw(Expr());
            break;
          case FieldKind::kString:
            w.LpString(Str());
            break;
          case FieldKind::kI32:
            w.I32(Chance(50) ? Int(-1, m) : Int(INT32_MIN, INT32_MAX));
            break;
          case FieldKind::kU8:
            w.U8(static_cast<uint8_t>(Chance(70) ? Int(0, 4) : Int(0, 255)));
            break;
          case FieldKind::kBlob: {
            const int n = Int(0, 6);
            w.U32(static_cast<uint32_t>(n));
            for (int i = 0; i < n; ++i)
              w.U8(static_cast<uint8_t>(Int(0, 255)));
            break;
          }
          case FieldKind::kExprList: {
            const int n = Int(0, 3);
            w.U32(static_cast<uint32_t>(n));
            for (int i = 0; i < n; ++i)
              w.Raw(Expr());
            break;
          }
          case FieldKind::kProps:
            for (int p = 0; p < kPropertyCount; ++p)
              if (has(code, p)) w.Raw(Expr());
            break;
        }
      }
    }
    return w.Take();
  }

 private:
  std::mt19937 rng_;
  std::vector<Bytes> pool_;
};

}  // namespace kova::test
