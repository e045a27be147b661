#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "authoring/project_source.h"
#include "authoring/source_syntax.h"
#include "common/float80.h"

namespace kova::test {
namespace {

using authoring::CompileProjectSource;
using authoring::DecompileProject;

Bytes Compile(const std::string& src) {
  return CompileProjectSource(src, "kova.kps").Write();
}

TEST(ProjectSource, EveryFieldGivesTheExpectedBytes) {
  const std::string src =
      "# a title\n"
      "version = 110\n"
      "title = \"Demo\"\n"
      "screen = 640 480\n"
      "fullscreen = 800 600\n"
      "start = \"main.ksb\"\n"
      "exit = \"end.ksb\"\n"
      "registry = \"Kova\\\\Demo\"\n"
      "ident = 0x1234\n"
      "write_status = false\n"
      "frame_sleep = true\n"
      "streamed = \".ogg\"\n"
      "disc_prompt = \"d%d\"\n"
      "exit_prompt = \"bye\"\n"
      "var int score = -7\n"
      "var float ratio = 1.5\n"
      "var bool seen = true\n"
      "var str \"名前\" = \"a\\tb\"\n"
      "var 9 odd\n"
      "disc \"BGM\" 2\n";
  ByteWriter w;
  w.I32(110);
  w.LpString("Demo");
  w.I32(640), w.I32(480), w.I32(800), w.I32(600);
  w.LpString("main.ksb");
  w.LpString("end.ksb");
  w.LpString("Kova\\Demo");
  w.I32(0x1234);
  w.U8(0), w.U8(1);
  w.LpString(".ogg");
  w.LpString("d%d");
  w.LpString("bye");
  w.I32(5);
  w.U8(1), w.LpString("score"), w.I32(-7);
  w.U8(2), w.LpString("ratio"), w.F80(1.5L);
  w.U8(3), w.LpString("seen"), w.U8(1);
  w.U8(4), w.LpString("\x96\xbc\x91\x4f"), w.LpString("a\tb");
  w.U8(9), w.LpString("odd");
  w.I32(1);
  w.LpString("BGM"), w.I32(2);
  EXPECT_EQ(Compile(src), w.Data());
}

TEST(ProjectSource, OldVersionsLeaveOutTheirFieldsAndDefaultsFillTheRest) {
  ByteWriter w;
  w.I32(103);
  w.LpString("");
  for (int i = 0; i < 4; ++i)
    w.I32(0);
  w.LpString("");  // start
  w.LpString("");  // registry
  w.I32(0);        // ident; no exit page, flags or extension list before 104..110
  // The player's own prompts, in CP932.
  w.LpString(
      "\x83\x66\x83\x42\x83\x58\x83\x4e%d\x82\xf0\x93\xfc\x82\xea\x82\xc4\x82\xa9\x82\xe7["
      "OK]"
      "\x82\xf0\x83\x4e\x83\x8a\x83\x62\x83\x4e\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2");
  w.LpString("\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb7");
  w.I32(0);
  w.I32(0);
  EXPECT_EQ(Compile("version = 103\n"), w.Data());
  const ProjectFile p = CompileProjectSource("version = 103\n", "kova.kps");
  EXPECT_EQ(p.writeStatus, 1);
  EXPECT_EQ(p.frameSleep, 0);
  EXPECT_EQ(p.streamedExtensions, ".wav.wma.ogg.mid");
}

TEST(ProjectSource, RoundTrips) {
  std::vector<ProjectFile> files;
  for (int32_t version : {100, 103, 104, 105, 106, 108, 109, 110}) {
    ProjectFile p;
    p.version = version;
    p.title = "T\x82\xa0\x81";  // ends in a lone lead byte
    p.screenWidth = -1;
    p.screenHeight = INT32_MAX;
    p.startPage = "\"q\"\r\n";
    if (version >= 110) p.exitPage = "x";
    p.identCode = INT32_MIN;
    if (version >= 104) p.writeStatus = 7;
    if (version >= 106) p.frameSleep = 1;
    if (version >= 109) p.streamedExtensions = "";
    p.discPrompt = "d";
    p.exitPrompt = "";
    const long double floats[] = {0.1L,
                                  -0.0L,
                                  1e-4940L,
                                  std::numeric_limits<long double>::max(),
                                  std::numeric_limits<long double>::infinity(),
                                  std::numeric_limits<long double>::quiet_NaN(),
                                  3.0L};
    for (long double f : floats) {
      ProjectVar v;
      v.type = 2;
      v.name = "f";
      v.floatValue = f;
      p.vars.push_back(v);
    }
    for (uint8_t t : {0, 1, 3, 4, 5, 255}) {
      ProjectVar v;
      v.type = t;
      v.name = t == 1 ? "1st" : "v";
      v.intValue = -5;
      v.flagValue = 2;
      v.strValue = "\x01";
      p.vars.push_back(v);
    }
    p.folders.Add("BGM\\", 3);
    p.folders.Add("", -1);
    files.push_back(p);
  }
  files.emplace_back();  // all defaults
  for (const ProjectFile& p : files) {
    const Bytes bytes = p.Write();
    const std::string src = DecompileProject(p);
    SCOPED_TRACE(src);
    Bytes again;
    ASSERT_NO_THROW(again = Compile(src));
    EXPECT_EQ(again, bytes);
  }
}

TEST(ProjectSource, AnyStoredFloatBytesRoundTrip) {
  // A NaN with a payload, an unnormal, a pseudo-denormal, an ordinary value.
  const std::vector<Bytes> floats = {
      {1, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F},
      {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F},
      {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x00},
      {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F},
  };
  ByteWriter w;
  w.I32(110);
  w.LpString("");  // title
  for (int i = 0; i < 4; ++i)
    w.I32(0);  // screen sizes
  for (int i = 0; i < 3; ++i)
    w.LpString("");  // start, exit, registry
  w.I32(0);          // ident
  w.U8(1), w.U8(1);
  for (int i = 0; i < 3; ++i)
    w.LpString("");  // extensions, prompts
  w.I32(static_cast<int32_t>(floats.size()));
  for (const Bytes& f : floats)
    w.U8(2), w.LpString("f"), w.Raw(f);
  w.I32(0);
  ProjectFile p;
  ByteReader r(w.Data(), "kova.kpb");
  p.Read(r);
  ASSERT_EQ(p.Write(), w.Data());
  const std::string src = DecompileProject(p);
  EXPECT_NE(src.find("var float f = 1.5\n"), std::string::npos) << src;
  EXPECT_EQ(Compile(src), w.Data()) << src;
}

TEST(ProjectSource, ErrorsNameFileAndLine) {
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"title = \"a\"\nscreen = 640\n", 2, "the height must be a 32-bit integer"},
      {"version = 109\n\nexit = \"e.ksb\"\n", 3, "'exit' is stored only from version 110"},
      {"version = 103\nwrite_status = true\n", 2, "'write_status' is stored only from version 104"},
      {"version = 111\n", 1, "version above 110"},
      {"title = \"a\"\ntitle = \"b\"\n", 2, "duplicate key 'title'"},
      {"colour = 1\n", 1, "unknown key 'colour'"},
      {"var int x\n", 1, "var needs '= VALUE'"},
      {"var 9 x = 1\n", 1, "stores no value"},
      {"var pointer x = 1\n", 1, "var takes a type"},
      {"var float x = abc\n", 1, "not a number"},
      {"var float x = f80:0011\n", 1, "10 bytes"},
      {"disc BGM 1\n", 1, "quoted string"},
      {"title = \"a\" extra\n", 1, "unexpected text"},
      {"just words\n", 1, "'key = value'"},
  };
  for (const auto& [src, line, message] : cases) {
    SCOPED_TRACE(src);
    try {
      Compile(src);
      ADD_FAILURE() << "compiled";
    } catch (const authoring::SourceError& e) {
      EXPECT_EQ(e.File(), "kova.kps");
      EXPECT_EQ(e.Line(), line) << e.what();
      EXPECT_NE(e.What().find(message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace kova::test
