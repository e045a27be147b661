#include "script/project_file.h"

#include <algorithm>
#include <cmath>

#include "common/float80.h"

namespace kova {

namespace {
std::string Str(ByteReader& r) {
  return r.Str(r.U32());
}

bool SameFloat(long double a, long double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b && std::signbit(a) == std::signbit(b);
}
}  // namespace

void ProjectFile::Read(ByteReader& r) {
  *this = ProjectFile();
  version = r.I32();
  if (version > kMaxVersion)
    throw Error("the project file's version " + std::to_string(version) + " is newer than 110");
  title = Str(r);
  screenWidth = r.I32();
  screenHeight = r.I32();
  fullScreenWidth = r.I32();
  fullScreenHeight = r.I32();
  startPage = Str(r);
  if (version >= 110) exitPage = Str(r);
  registryKey = Str(r);
  identCode = r.I32();
  if (version >= 104) writeStatus = r.U8();
  frameSleep = version >= 106 ? r.U8() : 0;
  if (version >= 109) streamedExtensions = Str(r);
  discPrompt = Str(r);
  exitPrompt = Str(r);
  const int32_t n = r.I32();
  if (n < 0) r.Fail("negative variable count");
  r.Count(static_cast<uint64_t>(n), 5, "variable");
  for (int32_t i = 0; i < n; ++i) {
    ProjectVar v;
    v.type = r.U8();
    v.name = Str(r);
    switch (v.type) {
      case 1:
        v.intValue = r.I32();
        break;
      case 2: {
        const auto raw = r.Span(10);
        v.floatStored.emplace();
        std::copy(raw.begin(), raw.end(), v.floatStored->begin());
        v.floatValue = DecodeFloat80(raw.data());
        break;
      }
      case 3:
        v.flagValue = r.U8();
        break;
      case 4:
        v.strValue = Str(r);
        break;
      default:
        break;  // no value bytes
    }
    vars.push_back(std::move(v));
  }
  const int32_t m = r.I32();
  if (m < 0) r.Fail("negative folder count");
  r.Count(static_cast<uint64_t>(m), 8, "folder");
  for (int32_t i = 0; i < m; ++i) {
    std::string folder = Str(r);
    folders.Add(std::move(folder), r.I32());
  }
}

Bytes ProjectFile::Write() const {
  ByteWriter w;
  w.I32(version);
  w.LpString(title);
  w.I32(screenWidth);
  w.I32(screenHeight);
  w.I32(fullScreenWidth);
  w.I32(fullScreenHeight);
  w.LpString(startPage);
  if (version >= 110) w.LpString(exitPage);
  w.LpString(registryKey);
  w.I32(identCode);
  if (version >= 104) w.U8(writeStatus);
  if (version >= 106) w.U8(frameSleep);
  if (version >= 109) w.LpString(streamedExtensions);
  w.LpString(discPrompt);
  w.LpString(exitPrompt);
  w.I32(static_cast<int32_t>(vars.size()));
  for (const auto& v : vars) {
    w.U8(v.type);
    w.LpString(v.name);
    switch (v.type) {
      case 1:
        w.I32(v.intValue);
        break;
      case 2:
        if (v.floatStored && SameFloat(DecodeFloat80(v.floatStored->data()), v.floatValue))
          w.Raw(std::span<const uint8_t>(*v.floatStored));
        else
          w.F80(v.floatValue);
        break;
      case 3:
        w.U8(v.flagValue);
        break;
      case 4:
        w.LpString(v.strValue);
        break;
      default:
        break;
    }
  }
  ByteWriter folders;
  this->folders.Write(folders);  // u32 count, then per line a string and a u32
  w.Raw(folders.Data());
  return w.Take();
}

}  // namespace kova
