// Titles with boxes written in the source form, played headless with scripted input; the event
// log (and the variables) they leave behind are the result.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "app/play_title.h"

namespace kova {
namespace {

struct SceneCase {
  const char* what;
  std::string main;   // main.kss; every handler is h.kss, which does nothing
  std::string input;  // scripted input
  int64_t frames;
  std::vector<std::string> inOrder;  // event log lines that must appear, in this order
  std::vector<std::string> absent;   // event log lines that must not appear
};

struct Played {
  std::vector<std::string> events;
  std::string vars;
};

Played Play(const SceneCase& c, const std::map<std::string, std::string>& extra = {}) {
  test::TempDir dir;
  for (const auto& [name, text] : extra)
    dir.Write("src/" + name, text);
  dir.Write("src/kova.kps", "title = \"T\"\nscreen = 320 240\nstart = \"main.ksb\"\n");
  dir.Write("src/main.kss", c.main);
  dir.Write("src/h.kss", "Calc expr={handled = handled + 1}\n");
  const test::TitleResult r = test::PlaySourceTitle(dir, c.frames, c.input, test::kEventLog);
  EXPECT_EQ(r.code, 0) << c.what;
  Played p;
  std::istringstream lines(r.events);
  for (std::string l; std::getline(lines, l);)
    p.events.push_back(l);
  p.vars = r.vars;
  return p;
}

std::string Joined(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& l : v)
    s += l + "\n";
  return s;
}

const char* kLoop =
    "VarNew name=\"handled\" type=int init={0} scope=global\n"
    "Label name=\"loop\"\n"
    "DoEvent\n"
    "Jump index=:loop cond={TRUE}\n";

TEST(SceneTitles, InputReachesObjectsAsEvents) {
  const SceneCase cases[] = {
      {"a press captures the mouse: moves and the release go to the pressed box, and the "
       "hover changes only after the release",
       std::string("BoxNew name={\"a\"} parent={\"\"} left={0} top={0} width={100} height={100} "
                   "onlbtndown={\"h.kss\"} onlbtnup={\"h.kss\"} onmousemove={\"h.kss\"} "
                   "onmousein={\"h.kss\"} onmouseout={\"h.kss\"}\n"
                   "BoxNew name={\"b\"} parent={\"\"} left={200} top={0} width={100} "
                   "height={100} onmousein={\"h.kss\"}\n") +
           kLoop,
       "2 move 50 50\n3 ldown\n4 move 250 50\n6 lup\n7 move 260 50\n",
       8,
       {"2 post a 103 h.kss", "2 post a 34 h.kss 50 50", "3 post a 36 h.kss 50 50",
        "4 post a 34 h.kss 250 50", "6 post a 37 h.kss 250 50", "7 post a 35 h.kss",
        "7 post b 103 h.kss"},
       {"4 post b 103 h.kss", "5 post b 103 h.kss", "6 post b 103 h.kss"}},
      {"a press on an empty part of the screen reaches nobody; IgnoreMouse 1 lets presses "
       "through to the box below",
       std::string("BoxNew name={\"low\"} parent={\"\"} left={0} top={0} width={100} "
                   "height={100} onlbtndown={\"h.kss\"}\n"
                   "BoxNew name={\"glass\"} parent={\"\"} left={0} top={0} width={100} "
                   "height={100} ignoremouse={1} priority={5} onlbtndown={\"h.kss\"}\n") +
           kLoop,
       "2 move 150 150\n3 ldown\n4 lup\n5 move 10 10\n6 ldown\n7 lup\n",
       8,
       {"6 post low 36 h.kss 10 10"},
       {"3 post low 36 h.kss 150 150", "6 post glass 36 h.kss 10 10"}},
      {"a held key: down and a first repeat at once, then repeats after 300 ms and every "
       "50 ms, on 16 ms frames",
       std::string("BoxNew name={\"k\"} parent={\"\"} handlekey={TRUE} onkeydown={\"h.kss\"} "
                   "onkeyrepeat={\"h.kss\"} onkeyup={\"h.kss\"}\n") +
           kLoop,
       "2 keydown 65\n40 keyup 65\n",
       42,
       {"2 post k 144 h.kss", "2 post k 146 h.kss", "21 post k 146 h.kss", "24 post k 146 h.kss",
        "27 post k 146 h.kss", "31 post k 146 h.kss", "34 post k 146 h.kss", "37 post k 146 h.kss",
        "40 post k 146 h.kss", "40 post k 145 h.kss"},
       {"3 post k 146 h.kss", "20 post k 146 h.kss", "22 post k 146 h.kss", "41 post k 146 h.kss"}},
      {"focus goes to the topmost control taking keys, then moves with a click",
       std::string("BoxNew name={\"a\"} parent={\"\"} left={0} top={0} width={50} height={50} "
                   "handlekey={TRUE} onfocusin={\"h.kss\"} onfocusout={\"h.kss\"}\n"
                   "BoxNew name={\"b\"} parent={\"\"} left={100} top={0} width={50} "
                   "height={50} handlekey={TRUE} onfocusin={\"h.kss\"} "
                   "onfocusout={\"h.kss\"}\n") +
           kLoop,
       "3 move 10 10\n4 ldown\n5 lup\n",
       6,
       {"2 post b 148 h.kss", "4 post b 149 h.kss", "4 post a 148 h.kss"},
       {"4 post a 149 h.kss"}},
      {"idle events: one per frame while the previous one is done",
       std::string("BoxNew name={\"i\"} parent={\"\"} onidle={\"h.kss\"}\n") + kLoop,
       "",
       4,
       {"1 post i 113 h.kss", "2 start i 113 h.kss", "2 done i 113 h.kss", "2 post i 113 h.kss",
        "3 start i 113 h.kss", "3 done i 113 h.kss", "3 post i 113 h.kss"},
       {}},
  };
  for (const auto& c : cases) {
    const Played p = Play(c);
    size_t at = 0;
    for (const std::string& want : c.inOrder) {
      size_t i = at;
      while (i < p.events.size() && p.events[i] != want)
        ++i;
      EXPECT_LT(i, p.events.size()) << c.what << "\nmissing or out of order: " << want << "\n"
                                    << Joined(p.events);
      if (i < p.events.size()) at = i + 1;
    }
    for (const std::string& bad : c.absent)
      EXPECT_EQ(std::find(p.events.begin(), p.events.end(), bad), p.events.end())
          << c.what << "\nunexpected: " << bad << "\n"
          << Joined(p.events);
  }
}

// A handler deletes its box and makes a new one under the same name in the same frame: the
// name belongs to the new box at once, and later events come from it.
TEST(SceneTitles, DeletedNamesCanBeReusedAtOnce) {
  const SceneCase c{"",
                    "BoxNew name={\"a\"} parent={\"\"} left={0} top={0} width={50} height={50} "
                    "onlbtndown={\"swap.kss\"}\n" +
                        std::string(kLoop),
                    "2 move 10 10\n3 ldown\n4 lup\n6 ldown\n7 lup\n",
                    8,
                    {},
                    {}};
  const Played p =
      Play(c, {{"swap.kss",
                "VarNew name=\"left\" type=int init={0} scope=global\n"
                "ObjDel obj={@Sender}\n"
                "BoxNew name={\"a\"} parent={\"\"} left={5} top={0} width={50} height={50} "
                "onlbtndown={\"swap.kss\"}\n"
                "GetProp obj={\"a\"} prop={3} var=\"left\"\n"}});
  const std::string l = Joined(p.events);
  EXPECT_NE(l.find("3 post a 36 swap.kss 10 10\n"), std::string::npos) << l;
  // Its sender was deleted while the handler ran; the log says so instead of naming the new box.
  EXPECT_NE(l.find("3 done - 36 swap.kss 10 10\n"), std::string::npos) << l;
  // The second click reaches the new box (its left edge is 5).
  EXPECT_NE(l.find("6 post a 36 swap.kss 5 10\n"), std::string::npos) << l;
  EXPECT_NE(p.vars.find("\"left\": 5"), std::string::npos) << p.vars;
}

}  // namespace
}  // namespace kova
