// The mouse cursor over a title's boxes, played headless with scripted moves; the cursor log
// says what was shown and when.
#include <gtest/gtest.h>

#include "app/play_title.h"
#include "gfx/cursor.h"

namespace kova {
namespace {

Bytes SmallCursor(uint8_t red) {
  CursorImage c;
  c.width = 2, c.height = 2, c.hotX = 1, c.hotY = 1;
  c.rgba = {red, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, red, 0, 0, 255};
  return WriteCursor(c);
}

TEST(CursorTitle, LogFollowsTheObjectsUnderTheMouse) {
  test::TempDir dir;
  dir.Write("src/kova.kps", "title = \"T\"\nscreen = 640 480\nstart = \"main.ksb\"\n");
  // hand: its own cursor; plain: none; broken: a damaged file; missing: no such file. The
  // default cursor is set by the script once all of those have been visited.
  dir.Write("src/main.kss",
            ".ksb version=110\n"
            "BoxNew name={\"hand\"} parent={\"\"} left={0} top={0} width={100} height={100} "
            "cursor={\"Hand.cur\"}\n"
            "BoxNew name={\"plain\"} parent={\"\"} left={200} top={0} width={100} height={100}\n"
            "BoxNew name={\"broken\"} parent={\"\"} left={400} top={0} width={100} height={100} "
            "cursor={\"broken.cur\"}\n"
            "BoxNew name={\"missing\"} parent={\"\"} left={400} top={200} width={100} "
            "height={100} cursor={\"nofile.cur\"}\n"
            "Wait time={320}\n"
            "Calc expr={@Cursor = \"deflt.ani\"}\n"
            "Label name=\"loop\"\n"
            "DoEvent\n"
            "Jump index=:loop cond={TRUE}\n");
  dir.Write("src/hand.cur", SmallCursor(200));
  Bytes broken = SmallCursor(10);
  broken.resize(30);
  dir.Write("src/broken.cur", broken);
  // Chosen by content: this "animated" cursor is a plain one.
  dir.Write("src/deflt.ani", SmallCursor(90));
  const std::string input =
      "2 move 50 50\n"     // hand
      "4 move 150 50\n"    // nothing
      "6 move 250 50\n"    // plain
      "8 move 60 60\n"     // hand again: its cursor comes back
      "10 move 450 50\n"   // broken: fails once, the slot keeps the hand
      "12 move 250 50\n"   // plain
      "14 move 460 60\n"   // broken again: not tried again, the slot is shown
      "16 move 450 250\n"  // missing file; stays here until the default is set
      "40 move 250 50\n"   // plain, with a default cursor now
      "42 move 600 400\n"  // nothing: the default too
      "44 move 50 50\n"    // hand
      "46 ldown\n"         // pressed on the hand: captured
      "47 move 150 50\n"   // dragged off: no change while captured
      "49 lup\n";          // released; the next frame looks again
  const test::TitleResult r = test::PlaySourceTitle(dir, 52, input, test::kCursorLog);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.cursors,
            "2 custom Hand.cur\n"
            "4 arrow\n"
            "8 custom Hand.cur\n"
            "10 failed broken.cur\n"
            "12 arrow\n"
            "14 custom Hand.cur\n"
            "16 failed nofile.cur\n"
            "40 custom deflt.ani\n"
            "44 custom Hand.cur\n"
            "50 custom deflt.ani\n");
}

}  // namespace
}  // namespace kova
