// Small titles written in the source form, built and played headless; the variables they leave
// behind are the result.
#include <gtest/gtest.h>

#include <map>

#include "app/play_title.h"

namespace kova {
namespace {

struct TitleCase {
  const char* what;
  std::map<std::string, std::string> files;  // source folder contents
  std::string expected;                      // the variable dump at exit
  int64_t frames = 1000;
};

const char* kProject = "title = \"T\"\nscreen = 640 480\nstart = \"main.ksb\"\n";

std::string Play(const TitleCase& c) {
  test::TempDir dir;
  for (const auto& [name, text] : c.files)
    dir.Write("src/" + name, text);
  if (!c.files.count("kova.kps")) dir.Write("src/kova.kps", kProject);
  const test::TitleResult r = test::PlaySourceTitle(dir, c.frames);
  EXPECT_EQ(r.code, 0);
  return r.vars;
}

TEST(Titles, PlayAsWritten) {
  const TitleCase cases[] = {
      {"a loop within one frame",
       {{"main.kss",
         "VarNew name=\"total\" type=int init={0} scope=global\n"
         "VarNew name=\"i\" type=int init={0} scope=global\n"
         "WhileInit init={i = 0}\n"
         "While cond={i < 3} exit=auto\n"
         "  Calc expr={total = total + i}\n"
         "WhileLoop step={i = i + 1} head=auto\n"
         "VarNew name=\"frame\" type=int init={@UpdateCount} scope=global\n"
         "Terminate\n"}},
       // @UpdateCount counts the frames finished before this one.
       "{\n  \"total\": 3,\n  \"i\": 3,\n  \"frame\": 0\n}\n"},
      {"a wait of 1000 ms at 16 ms frames ends on the 63rd frame after it began",
       {{"main.kss",
         "Wait time={1000}\n"
         "VarNew name=\"frame\" type=int init={@UpdateCount} scope=global\n"
         "VarNew name=\"clock\" type=int init={@TickCount} scope=global\n"
         "Terminate\n"}},
       "{\n  \"frame\": 63,\n  \"clock\": 1024\n}\n"},
      {"calls with arguments and results, to a label of another page",
       {{"main.kss",
         "VarNew name=\"r\" type=str init={\"\"} scope=global\n"
         "Call page=\"lib\\\\util.ksb\" index=:twice result=\"r\" args=({1}, {\"abc\"})\n"
         "Terminate\n"},
        {"lib/util.kss",
         ".ksb return=str\n"
         "Calc expr={@Result = \"never\"}\n"
         "Label name=\"twice\"\n"
         "Calc expr={@Result = @ParamStr[1] ++ @ParamStr[1] ++ @ParamCount ++ @StackCount}\n"}},
       "{\n  \"r\": \"abcabc21\"\n}\n"},
      {"branches",
       {{"main.kss",
         "VarNew name=\"x\" type=int init={2} scope=global\n"
         "VarNew name=\"r\" type=str init={\"\"} scope=global\n"
         "If cond={x == 1}\n"
         "  Calc expr={r = \"one\"}\n"
         "Elseif cond={x == 2}\n"
         "  Calc expr={r = \"two\"}\n"
         "  If cond={x > 5}\n"
         "    Calc expr={r = \"never\"}\n"
         "Else\n"
         "  Calc expr={r = \"other\"}\n"
         "Calc expr={r = r ++ \"!\"}\n"
         "Terminate\n"}},
       "{\n  \"x\": 2,\n  \"r\": \"two!\"\n}\n"},
      {"break and continue",
       {{"main.kss",
         "VarNew name=\"i\" type=int init={0} scope=global\n"
         "VarNew name=\"odd\" type=int init={0} scope=global\n"
         "WhileInit init={i = 0}\n"
         "While cond={TRUE} exit=auto\n"
         "  Break cond={i >= 10} target=auto\n"
         "  Calc expr={i = i + 1}\n"
         "  Continue cond={i % 2 == 0} target=auto\n"
         "  Calc expr={odd = odd + 1}\n"
         "WhileLoop step={} head=auto\n"
         "Terminate\n"}},
       "{\n  \"i\": 10,\n  \"odd\": 5\n}\n"},
      {"language rules: the left operand's type, wrap-around, signs",
       {{"main.kss",
         "VarNew name=\"f\" type=float init={0} scope=global\n"
         "VarNew name=\"n\" type=int init={0} scope=global\n"
         "VarNew name=\"s\" type=str init={\"\"} scope=global\n"
         "Calc expr={f = -1.5}\n"
         "Calc expr={n = 2147483647 + 1}\n"
         "Calc expr={s = \"x\" ++ 1 + 2}\n"
         "Terminate\n"}},
       "{\n  \"f\": -1,\n  \"n\": -2147483648,\n  \"s\": \"x3\"\n}\n"},
      {"project variables keep their values; the exit page runs once at the end",
       {{"kova.kps", std::string(kProject) + "exit = \"bye.ksb\"\nvar int seen = 4\n"},
        {"main.kss", "Calc expr={seen = seen + 1}\nTerminate\n"},
        {"bye.kss", "VarNew name=\"bye\" type=bool init={TRUE} scope=global\n"}},
       "{\n  \"seen\": 5,\n  \"bye\": true\n}\n"},
      {"full screen is asked for through @FullScr; without a display the value is kept",
       {{"main.kss",
         "VarNew name=\"before\" type=bool init={@FullScr} scope=global\n"
         "Calc expr={@FullScr = TRUE}\n"
         "VarNew name=\"after\" type=bool init={@FullScr} scope=global\n"
         "Terminate\n"}},
       "{\n  \"before\": false,\n  \"after\": true\n}\n"},
      {"a title that never ends stops at the frame limit",
       {{"main.kss",
         "VarNew name=\"n\" type=int init={0} scope=global\n"
         "Label name=\"top\"\n"
         "Calc expr={n = n + 1}\n"
         "DoEvent\n"
         "Jump index=:top cond={TRUE}\n"}},
       "{\n  \"n\": 25\n}\n",
       25},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Play(c), c.expected) << c.what;
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

// Mouse, wheel and keys reach scripts through the system variables of the current screen.
TEST(Titles, InputSystemVariables) {
  test::TempDir dir;
  dir.Write("src/kova.kps", kProject);
  dir.Write("src/main.kss",
            "VarNew name=\"mx\" type=int init={0} scope=global\n"
            "VarNew name=\"my\" type=int init={0} scope=global\n"
            "VarNew name=\"pushes\" type=int init={0} scope=global\n"
            "VarNew name=\"clicks\" type=int init={0} scope=global\n"
            "VarNew name=\"akey\" type=int init={0} scope=global\n"
            "VarNew name=\"wheel\" type=int init={0} scope=global\n"
            "Label name=\"top\"\n"
            "Calc expr={mx = @MouseX}\n"
            "Calc expr={my = @MouseY}\n"
            "If cond={@LPush}\n"
            "  Calc expr={pushes = pushes + 1}\n"
            "If cond={@LClick}\n"
            "  Calc expr={clicks = clicks + 1}\n"
            "If cond={@KeyClick[65]}\n"
            "  Calc expr={akey = akey + 1}\n"
            "If cond={@KeyPush[257]}\n"
            "  Calc expr={wheel = wheel + 1}\n"
            "DoEvent\n"
            "Jump index=:top\n");
  const test::TitleResult r = test::PlaySourceTitle(
      dir, 10, "2 move 30 40\n3 ldown\n5 lup\n6 keydown 65\n7 keyup 65\n8 wheel up\n");
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.vars,
            "{\n  \"mx\": 30,\n  \"my\": 40,\n  \"pushes\": 2,\n  \"clicks\": 1,\n  \"akey\": 1,\n"
            "  \"wheel\": 1\n}\n");
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

// @ActiveCompo names the focused control; naming a control that can take the focus moves it
// there with the focus events, anything else leaves the focus where it is. Keys then go to the
// new focus.
TEST(Titles, ActiveCompoMovesTheFocus) {
  test::TempDir dir;
  dir.Write("src/kova.kps", kProject);
  dir.Write(
      "src/main.kss",
      "VarNew name=\"seen\" type=str init={\"\"} scope=global\n"
      "VarNew name=\"keys\" type=str init={\"\"} scope=global\n"
      "VarNew name=\"focus\" type=str init={\"\"} scope=global\n"
      "BoxNew name={\"one\"} parent={\"\"} left={0} top={0} width={10} height={10} "
      "handlekey={TRUE} onkeydown={\"key.kss\"} onfocusin={\"fin.kss\"} onfocusout={\"fout.kss\"}\n"
      "BoxNew name={\"two\"} parent={\"\"} left={20} top={0} width={10} height={10} "
      "handlekey={TRUE} onkeydown={\"key.kss\"} onfocusin={\"fin.kss\"} onfocusout={\"fout.kss\"}\n"
      "BoxNew name={\"plain\"} parent={\"\"} left={40} top={0} width={10} height={10}\n"
      "BoxNew name={\"hidden\"} parent={\"\"} left={60} top={0} width={10} height={10} "
      "handlekey={TRUE} visible={FALSE}\n"
      "BoxNew name={\"paused\"} parent={\"\"} left={80} top={0} width={10} height={10} "
      "handlekey={TRUE} paused={TRUE} priority={-1}\n"
      "Calc expr={seen = \"[\" ++ @ActiveCompo ++ \"]\"}\n"
      "DoEvent\n"
      "Calc expr={seen = seen ++ @ActiveCompo}\n"
      "Calc expr={@ActiveCompo = \"one\"}\n"
      "Calc expr={seen = seen ++ \",\" ++ @ActiveCompo}\n"
      "Calc expr={@ActiveCompo = \"plain\"}\n"
      "Calc expr={@ActiveCompo = \"hidden\"}\n"
      "Calc expr={@ActiveCompo = \"paused\"}\n"
      "Calc expr={@ActiveCompo = \"nosuch\"}\n"
      "Calc expr={@ActiveCompo = \"\"}\n"
      "Calc expr={seen = seen ++ \",\" ++ @ActiveCompo}\n"
      "Label name=\"loop\"\n"
      "DoEvent\n"
      "Jump index=:loop cond={TRUE}\n");
  dir.Write("src/key.kss", "Calc expr={keys = keys ++ @Sender}\n");
  dir.Write("src/fin.kss", "Calc expr={focus = focus ++ \"+\" ++ @Sender}\n");
  dir.Write("src/fout.kss", "Calc expr={focus = focus ++ \"-\" ++ @Sender}\n");
  const test::TitleResult r = test::PlaySourceTitle(dir, 10, "6 keydown 65\n7 keyup 65\n");
  ASSERT_EQ(r.code, 0);
  // The first input phase gives the focus to the topmost control that can take it ("two" is
  // drawn above "one": equal priorities go by name).
  EXPECT_EQ(r.vars,
            "{\n  \"seen\": \"[]two,one,one\",\n  \"keys\": \"one\",\n"
            "  \"focus\": \"+two-two+one\"\n}\n");
}

}  // namespace
}  // namespace kova
