#include "authoring/project_source.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "authoring/source_syntax.h"
#include "common/cp932.h"
#include "common/float80.h"

namespace kova::authoring {

namespace {

// The player's own texts, used when the source leaves them out.
constexpr const char* kDiscPrompt = "ディスク%dを入れてから[OK]をクリックしてください";
constexpr const char* kExitPrompt = "終了します";

const std::map<std::string, uint8_t, std::less<>> kVarTypes = {
    {"int", 1}, {"float", 2}, {"bool", 3}, {"str", 4}};

// Key -> the first version that stores it.
const std::map<std::string, int32_t, std::less<>> kGates = {
    {"exit", 110}, {"write_status", 104}, {"frame_sleep", 106}, {"streamed", 109}};

bool IsPlainName(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@')) return false;
  return !(s[0] >= '0' && s[0] <= '9');
}

// Decimal when it reads back to the same stored bytes, else the bytes themselves.
std::string FloatText(const ProjectVar& v) {
  uint8_t want[10];
  if (v.floatStored)
    std::copy(v.floatStored->begin(), v.floatStored->end(), want);
  else
    EncodeFloat80(v.floatValue, want);
  const long double value = DecodeFloat80(want);
  if (std::isfinite(value)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.21Lg", value);
    uint8_t got[10];
    EncodeFloat80(std::strtold(buf, nullptr), got);
    if (std::equal(want, want + 10, got)) return buf;
  }
  return "f80:" + HexOf(std::span<const uint8_t>(want, 10));
}

class ProjectParser {
 public:
  ProjectParser(std::string_view src, std::string file) : src_(src), file_(std::move(file)) {}
  ProjectFile Run();

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw SourceError(file_, line_, what); }
  std::string Quoted(LineScanner& s) {
    try {
      return s.QuotedCp932();
    } catch (const Error& e) {
      Fail(e.what());
    }
  }
  int32_t Int(LineScanner& s, std::string_view what) {
    const std::string w = s.Bare();
    auto v = ParseInteger(w, INT32_MIN, UINT32_MAX);
    if (!v) Fail(std::string(what) + " must be a 32-bit integer, not '" + w + "'");
    return static_cast<int32_t>(*v);
  }
  uint8_t Flag(LineScanner& s, std::string_view what) {
    const std::string w = s.Bare();
    if (w == "true") return 1;
    if (w == "false") return 0;
    auto v = ParseInteger(w, 0, 255);
    if (!v) Fail(std::string(what) + " takes true, false or a number 0..255, not '" + w + "'");
    return static_cast<uint8_t>(*v);
  }
  void Var(LineScanner& s, ProjectFile& p);

  std::string_view src_;
  std::string file_;
  int line_ = 0;
};

void ProjectParser::Var(LineScanner& s, ProjectFile& p) {
  ProjectVar v;
  const std::string type = s.Bare();
  auto it = kVarTypes.find(type);
  if (it != kVarTypes.end()) {
    v.type = it->second;
  } else if (auto n = ParseInteger(type, 0, 255); n && (*n < 1 || *n > 4)) {
    v.type = static_cast<uint8_t>(*n);  // a type the player skips: no value
  } else {
    Fail("var takes a type int, float, bool or str, not '" + type + "'");
  }
  if (s.Peek() == '"') {
    v.name = Quoted(s);
  } else {
    std::string name = s.Word();
    if (name.empty()) Fail("var needs a name");
    v.name = name;
  }
  const bool hasValue = v.type >= 1 && v.type <= 4;
  if (!s.Take("=")) {
    if (hasValue) Fail("var needs '= VALUE'");
  } else {
    if (!hasValue) Fail("a var of type " + std::to_string(v.type) + " stores no value");
    switch (v.type) {
      case 1:
        v.intValue = Int(s, "an int value");
        break;
      case 2: {
        const std::string w = s.Bare();
        if (w.rfind("f80:", 0) == 0) {
          Bytes b;
          try {
            b = ParseHexBytes(w.substr(4));
          } catch (const Error& e) {
            Fail(e.what());
          }
          if (b.size() != 10) Fail("f80: takes the 10 bytes of the stored value in hex");
          v.floatStored.emplace();
          std::copy(b.begin(), b.end(), v.floatStored->begin());
          v.floatValue = DecodeFloat80(b.data());
        } else {
          char* end = nullptr;
          v.floatValue = std::strtold(w.c_str(), &end);
          if (w.empty() || *end != '\0') Fail("not a number: '" + w + "'");
        }
        break;
      }
      case 3:
        v.flagValue = Flag(s, "a bool value");
        break;
      case 4:
        v.strValue = Quoted(s);
        break;
    }
  }
  if (!s.AtEnd()) Fail("unexpected text after the var: '" + std::string(s.Rest()) + "'");
  p.vars.push_back(std::move(v));
}

ProjectFile ProjectParser::Run() {
  ProjectFile p;
  p.frameSleep = 1;
  p.discPrompt = *cp932::FromUtf8(kDiscPrompt);
  p.exitPrompt = *cp932::FromUtf8(kExitPrompt);
  std::map<std::string, int> seen;  // key -> line
  size_t pos = 0;
  while (pos <= src_.size()) {
    size_t end = src_.find('\n', pos);
    if (end == std::string_view::npos) end = src_.size();
    std::string_view line = src_.substr(pos, end - pos);
    pos = end + 1;
    ++line_;
    if (line_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    LineScanner s(line);
    if (s.AtEnd() || s.Peek() == '#') {
      if (end == src_.size()) break;
      continue;
    }
    const std::string key = s.Word();
    if (key == "var") {
      Var(s, p);
    } else if (key == "disc") {
      const std::string folder = Quoted(s);
      const int32_t disc = Int(s, "the disc number");
      if (!s.AtEnd()) Fail("unexpected text after the disc line");
      p.folders.Add(folder, disc);
    } else {
      if (key.empty() || !s.Take("=")) Fail("'key = value', 'var ...' or 'disc ...' expected");
      if (!seen.emplace(key, line_).second) Fail("duplicate key '" + key + "'");
      if (key == "version") {
        const int32_t v = Int(s, "version");
        if (v > ProjectFile::kMaxVersion) Fail("version above 110 cannot be played");
        p.version = v;
      } else if (key == "title") {
        p.title = Quoted(s);
      } else if (key == "screen") {
        p.screenWidth = Int(s, "the width");
        p.screenHeight = Int(s, "the height");
      } else if (key == "fullscreen") {
        p.fullScreenWidth = Int(s, "the width");
        p.fullScreenHeight = Int(s, "the height");
      } else if (key == "start") {
        p.startPage = Quoted(s);
      } else if (key == "exit") {
        p.exitPage = Quoted(s);
      } else if (key == "registry") {
        p.registryKey = Quoted(s);
      } else if (key == "ident") {
        p.identCode = Int(s, "ident");
      } else if (key == "write_status") {
        p.writeStatus = Flag(s, key);
      } else if (key == "frame_sleep") {
        p.frameSleep = Flag(s, key);
      } else if (key == "streamed") {
        p.streamedExtensions = Quoted(s);
      } else if (key == "disc_prompt") {
        p.discPrompt = Quoted(s);
      } else if (key == "exit_prompt") {
        p.exitPrompt = Quoted(s);
      } else {
        Fail("unknown key '" + key +
             "' (version, title, screen, fullscreen, start, exit, registry, ident, write_status, "
             "frame_sleep, streamed, disc_prompt, exit_prompt)");
      }
      if (!s.AtEnd()) Fail("unexpected text after " + key + ": '" + std::string(s.Rest()) + "'");
    }
    if (end == src_.size()) break;
  }
  for (const auto& [key, first] : kGates) {
    auto it = seen.find(key);
    if (it != seen.end() && p.version < first) {
      line_ = it->second;
      Fail("'" + key + "' is stored only from version " + std::to_string(first) +
           " on (this project is version " + std::to_string(p.version) + ")");
    }
  }
  // Fields the version does not store take the values the player gives them.
  if (p.version < 104) p.writeStatus = 1;
  if (p.version < 106) p.frameSleep = 0;
  if (p.version < 109) p.streamedExtensions = ".wav.wma.ogg.mid";
  if (p.version < 110) p.exitPage.clear();
  return p;
}

std::string Q(const std::string& cp932) {
  return "\"" + QuoteCp932(cp932) + "\"";
}

}  // namespace

ProjectFile CompileProjectSource(std::string_view source, const std::string& file) {
  return ProjectParser(source, file).Run();
}

std::string DecompileProject(const ProjectFile& p) {
  std::string o;
  auto line = [&](const std::string& s) { o += s + "\n"; };
  line("version = " + std::to_string(p.version));
  line("title = " + Q(p.title));
  line("screen = " + std::to_string(p.screenWidth) + " " + std::to_string(p.screenHeight));
  line("fullscreen = " + std::to_string(p.fullScreenWidth) + " " +
       std::to_string(p.fullScreenHeight));
  line("start = " + Q(p.startPage));
  if (p.version >= 110) line("exit = " + Q(p.exitPage));
  line("registry = " + Q(p.registryKey));
  line("ident = " + std::to_string(p.identCode));
  auto flag = [](uint8_t b) {
    return b == 0 ? std::string("false") : b == 1 ? std::string("true") : std::to_string(b);
  };
  if (p.version >= 104) line("write_status = " + flag(p.writeStatus));
  if (p.version >= 106) line("frame_sleep = " + flag(p.frameSleep));
  if (p.version >= 109) line("streamed = " + Q(p.streamedExtensions));
  line("disc_prompt = " + Q(p.discPrompt));
  line("exit_prompt = " + Q(p.exitPrompt));
  static const char* const kTypes[] = {"int", "float", "bool", "str"};
  for (const ProjectVar& v : p.vars) {
    std::string s = "var ";
    s += v.type >= 1 && v.type <= 4 ? kTypes[v.type - 1] : std::to_string(v.type);
    s += " " + (IsPlainName(v.name) ? v.name : Q(v.name));
    switch (v.type) {
      case 1:
        s += " = " + std::to_string(v.intValue);
        break;
      case 2:
        s += " = " + FloatText(v);
        break;
      case 3:
        s += " = " + flag(v.flagValue);
        break;
      case 4:
        s += " = " + Q(v.strValue);
        break;
      default:
        break;
    }
    line(s);
  }
  for (int i = 0; i < p.folders.Count(); ++i)
    line("disc " + Q(p.folders.Folder(i)) + " " + std::to_string(p.folders.Disc(i)));
  return o;
}

}  // namespace kova::authoring
