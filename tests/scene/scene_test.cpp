#include <gtest/gtest.h>

#include <functional>

#include "common/error.h"
#include "scene/box.h"
#include "scene/scene.h"

namespace kova {
namespace {

// A box whose update runs a test's action.
class Actor : public TKovaBox {
 public:
  using TKovaBox::TKovaBox;
  bool Update() override {
    ++updates;
    return action ? action(this) : false;
  }
  std::function<bool(Actor*)> action;
  int updates = 0;
};

TKovaBox* NewBox(TKovaBaseList& s, const std::string& name, Rect r, int32_t color = 0xFFFFFF) {
  auto* b = s.Make<TKovaBox>();
  b->SetParent(&s.ActiveScreen());
  b->SetName(name);
  b->SetBounds(r.left, r.top, r.Width(), r.Height());
  b->SetColor(color);
  return b;
}

std::vector<std::string> Log(const TTimerList& q) {
  std::vector<std::string> out;
  for (const QueuedEvent& e : q.Items()) {
    std::string line = std::to_string(e.code) + ":" + e.handler;
    for (auto& a : e.args)
      line += "," + a;
    out.push_back(line);
  }
  return out;
}

TEST(SceneUpdate, EveryLiveObjectOnceWhateverIsDeleted) {
  TKovaBaseList s(64, 48);
  std::vector<Actor*> a;
  for (int i = 0; i < 6; ++i) {
    a.push_back(s.Make<Actor>());
    a.back()->SetParent(&s.ActiveScreen());
  }
  // 0 deletes itself, 1 deletes 3 (after it) and 0 is gone already, 4 has a child 5.
  a[5]->SetParent(a[4]);
  a[0]->action = [](Actor*) { return true; };
  const uint32_t id3 = a[3]->Id(), id4 = a[4]->Id(), id5 = a[5]->Id();
  a[1]->action = [&](Actor*) {
    s.DeleteObject(s.Get(id3));
    return false;
  };
  a[2]->action = [&](Actor*) {
    s.DeleteObject(s.Get(id4));  // takes its child 5 along
    return false;
  };
  s.Update();
  EXPECT_EQ(a[1]->updates, 1);
  EXPECT_EQ(a[2]->updates, 1);
  EXPECT_EQ(s.GetObjectCount(), 2);
  EXPECT_FALSE(s.IsRegistered(id3));
  EXPECT_FALSE(s.IsRegistered(id5));
  s.Update();
  EXPECT_EQ(a[1]->updates, 2);
}

TEST(SceneUpdate, ScrapDefersDeletionAndFreesTheName) {
  TKovaBaseList s(64, 48);
  auto* a = NewBox(s, "a", {0, 0, 4, 4});
  auto* b = NewBox(s, "b", {0, 0, 4, 4});
  a->Scrap();
  b->Scrap();
  a->Scrap();
  auto* a2 = NewBox(s, "a", {0, 0, 4, 4});
  EXPECT_EQ(a2->GetName(), "a");  // no clash with the scrapped one
  EXPECT_EQ(s.FindObjectByName("a"), a2);
  EXPECT_EQ(s.GetObjectCount(), 3);
  s.Update();
  EXPECT_EQ(s.GetObjectCount(), 1);
}

TEST(SceneUpdate, IdleEventsSkipPausedCabinetAndQueued) {
  TKovaBaseList s(64, 48);
  auto* a = NewBox(s, "a", {0, 0, 4, 4});
  auto* p = NewBox(s, "p", {0, 0, 4, 4});
  auto* c = NewBox(s, "c", {0, 0, 4, 4});
  auto* cab = s.Make<TKovaCabinet>();
  cab->SetParent(&s.ActiveScreen());
  c->SetParent(cab);
  for (auto* b : {a, p, c})
    b->SetProp(PR_ONIDLE, PropValue::Str(b->GetName() + ".ksb"));
  p->SetProp(PR_PAUSED, PropValue::Bool(true));
  s.Update();
  s.Update();
  EXPECT_EQ(Log(s.Events()), std::vector<std::string>{"113:a.ksb"});
}

TEST(SceneDraw, OrderClipsOpacityAndAdd) {
  TKovaBaseList s(40, 20);
  s.ActiveScreen().SetColor(0x000000);
  TDIBX display(40, 20, 32);
  // Priorities give the order; later boxes lie above earlier ones.
  auto* red = NewBox(s, "red", {0, 0, 20, 10}, 0x0000FF);
  auto* blue = NewBox(s, "blue", {10, 0, 30, 10}, 0xFF0000);
  auto* add = NewBox(s, "add", {25, 0, 40, 10}, 0x808080);
  add->SetProp(PR_ALPHA, PropValue::Int(384));
  auto* half = NewBox(s, "half", {0, 10, 5, 20}, 0x00FF00);
  half->SetProp(PR_ALPHA, PropValue::Int(128));
  auto* framed = NewBox(s, "framed", {30, 12, 36, 18}, 0xFFFFFF);
  framed->SetProp(PR_BORDERWIDTH, PropValue::Int(1));
  framed->SetProp(PR_BORDERCOLOR, PropValue::Int(0x00FFFF));
  auto* gone = NewBox(s, "gone", {0, 0, 40, 20}, 0xFFFFFF);
  gone->SetProp(PR_ALPHA, PropValue::Int(512));
  // A box and its child, both limited to the box's 2x2 clip rectangle.
  auto* clipped = NewBox(s, "clip", {0, 0, 4, 4}, 0x000000);
  clipped->SetClip(2, 2);
  clipped->SetClip(3, 2);
  auto* kid = s.Make<TKovaBox>();
  kid->SetParent(clipped);
  kid->SetBounds(1, 1, 4, 4);
  kid->SetColor(0xFFFFFF);
  int prio = 1;
  for (TKovaBox* b : {red, blue, add, half, framed, gone, clipped})
    b->SetPriority(prio++);
  s.Draw(display);
  EXPECT_EQ(display.GetPixel(5, 5), 0xFF0000u);   // red is 0x0000FF as a colour reference
  EXPECT_EQ(display.GetPixel(15, 5), 0x0000FFu);  // blue above red
  EXPECT_EQ(display.GetPixel(27, 5), 0x4040FFu);  // blue + 0x404040 added
  EXPECT_EQ(display.GetPixel(35, 5), 0x404040u);  // added onto the black screen
  const uint32_t g = (display.GetPixel(2, 15) >> 8) & 0xFF;
  EXPECT_TRUE(g == 0x7F || g == 0x80) << g;
  EXPECT_EQ(display.GetPixel(2, 15) & 0xFF00FF, 0u);
  EXPECT_EQ(display.GetPixel(30, 12), 0xFFFF00u);  // frame
  EXPECT_EQ(display.GetPixel(35, 17), 0xFFFF00u);
  EXPECT_EQ(display.GetPixel(32, 14), 0xFFFFFFu);  // inner fill
  EXPECT_EQ(display.GetPixel(0, 0), 0x000000u);    // the clipped box
  EXPECT_EQ(display.GetPixel(1, 1), 0xFFFFFFu);    // its child inside the clip
  EXPECT_EQ(display.GetPixel(3, 3), 0xFF0000u);    // outside the clip: red below
  EXPECT_EQ(display.GetPixel(20, 15), 0x000000u);  // the screen's own colour
  // Only what changed is repainted.
  s.ClearDirty();
  display.Fill(0x123456);
  blue->SetLeft(11);
  s.Draw(display);
  EXPECT_EQ(display.GetPixel(15, 5), 0x0000FFu);
  EXPECT_EQ(display.GetPixel(5, 15), 0x123456u);
}

TEST(SceneInput, CaptureHoverAndClicks) {
  TKovaBaseList s(100, 100);
  auto* a = NewBox(s, "a", {0, 0, 50, 50});
  auto* b = NewBox(s, "b", {50, 0, 100, 50});
  for (auto* o : {a, b})
    for (int code : {PR_ONMOUSEIN, PR_ONMOUSEOUT, PR_ONLBTNUP, PR_ONRBTNUP, PR_ONMOUSEMOVE})
      o->SetProp(code, PropValue::Str(o->GetName() + std::to_string(code)));
  auto frame = [&](InputFrame in) {
    s.ProcessInput(in, 16);
    auto l = Log(s.Events());
    s.Events().Clear();
    return l;
  };
  InputFrame move;
  move.hasMouse = true;
  move.mouseX = 10, move.mouseY = 20;
  EXPECT_EQ(frame(move), (std::vector<std::string>{"103:a103", "34:a34,10,20"}));
  // A press without a handler still captures; moving over b sends b nothing.
  InputFrame press;
  press.buttons = {{0, true}};
  EXPECT_EQ(frame(press), std::vector<std::string>{});
  EXPECT_FALSE(s.ActiveScreen().leftClick);  // taken by the object
  InputFrame over = move;
  over.mouseX = 60;
  EXPECT_EQ(frame(over), (std::vector<std::string>{"34:a34,60,20"}));
  // A right press and release during the left drag send no right release.
  InputFrame right;
  right.buttons = {{1, true}, {1, false}};
  EXPECT_EQ(frame(right), std::vector<std::string>{});
  InputFrame release;
  release.buttons = {{0, false}};
  EXPECT_EQ(frame(release), (std::vector<std::string>{"37:a37,60,20"}));
  // Next phase: hover moves to b.
  EXPECT_EQ(frame(InputFrame{}), (std::vector<std::string>{"35:a35", "103:b103", "34:b34,10,20"}));
  // A press on empty screen leaves the click for scripts.
  InputFrame empty;
  empty.hasMouse = true, empty.mouseX = 10, empty.mouseY = 80;
  empty.buttons = {{0, true}, {0, false}};
  frame(empty);
  EXPECT_TRUE(s.ActiveScreen().leftClick);
  EXPECT_FALSE(s.ActiveScreen().leftHeld);
}

TEST(SceneInput, HeldFlagsFollowEachButton) {
  TKovaBaseList s(100, 100);
  InputFrame in;
  in.buttons = {{0, true}, {1, true}, {1, false}};
  s.ProcessInput(in, 16);
  EXPECT_TRUE(s.ActiveScreen().leftHeld);
  EXPECT_FALSE(s.ActiveScreen().rightHeld);
  EXPECT_TRUE(s.ActiveScreen().leftClick);
  EXPECT_TRUE(s.ActiveScreen().rightClick);  // each button latches its own press
  EXPECT_TRUE(s.GetScreen(1).leftHeld);
}

TEST(SceneInput, KeyRepeatAndFocus) {
  TKovaBaseList s(100, 100);
  auto* a = NewBox(s, "a", {0, 0, 10, 10});
  auto* b = NewBox(s, "b", {20, 0, 30, 10});
  for (auto* o : {a, b}) {
    o->SetHandleKey(true);
    for (int code : {PR_ONKEYDOWN, PR_ONKEYUP, PR_ONKEYREPEAT, PR_ONFOCUSIN, PR_ONFOCUSOUT})
      o->SetProp(code, PropValue::Str(o->GetName() + std::to_string(code)));
  }
  std::vector<std::vector<std::string>> frames;
  auto frame = [&](InputFrame in) {
    s.ProcessInput(in, 20);
    frames.push_back(Log(s.Events()));
    s.Events().RemoveRunning();
    // Handlers run and finish within the frame.
    while (QueuedEvent* e = s.Events().FirstPending())
      e->level = 1;
    s.Events().RemoveLevel(1);
  };
  frame(InputFrame{});  // focus goes to the topmost control with HandleKey: b
  EXPECT_EQ(s.Focus(), b);
  EXPECT_EQ(frames.back(), std::vector<std::string>{"148:b148"});
  InputFrame down;
  down.keys = {{65, true}};
  frame(down);
  EXPECT_EQ(frames.back(), (std::vector<std::string>{"144:b144", "146:b146"}));
  EXPECT_TRUE(s.IsKeyDown(65));
  EXPECT_TRUE(s.WasKeyPressed(65));
  // 300 ms delay, then every 50 ms; frames are 20 ms.
  std::vector<int> repeats;
  for (int f = 0; f < 25; ++f) {
    frame(InputFrame{});
    if (!frames.back().empty()) repeats.push_back(f);
  }
  EXPECT_EQ(repeats, (std::vector<int>{14, 17, 19, 22, 24}));
  InputFrame up;
  up.keys = {{65, false}, {300, true}};
  frame(up);
  EXPECT_EQ(frames.back(), std::vector<std::string>{"145:b145"});
  // Hiding the focused control moves the focus in the next phase.
  b->SetVisible(false);
  EXPECT_EQ(s.Focus(), nullptr);
  frame(InputFrame{});
  EXPECT_EQ(s.Focus(), a);
  EXPECT_EQ(frames.back(), std::vector<std::string>{"148:a148"});
  // Key presses while inactive are dropped; releases pass.
  InputFrame inactive;
  inactive.active = false;
  inactive.keys = {{66, true}};
  frame(inactive);
  EXPECT_FALSE(s.IsKeyDown(66));
}

TEST(SceneFind, ScreenNamesAndFlip) {
  TKovaBaseList s(10, 10);
  EXPECT_EQ(s.FindObjectByName(""), &s.GetScreen(0));
  s.Flip();
  EXPECT_EQ(s.FindObjectByName("\x01"
                               "BASE0"),
            &s.GetScreen(1));
  EXPECT_EQ(s.FindObjectByName("\x01"), &s.GetScreen(0));
  EXPECT_EQ(s.FindParent("\x01"
                         "BASE0"),
            &s.GetScreen(0));
  EXPECT_EQ(s.FindParent(""), &s.GetScreen(1));
  EXPECT_EQ(s.FindObjectByName("nothing"), nullptr);
}

// A transition composes the display from both screens' own pictures; when it is over, the
// swap repaints both screens and the new active screen paints the display again.
TEST(SceneTransitions, FadeBetweenScreensThenSwap) {
  TKovaBaseList s(4, 2);
  TDIBX display(4, 2, 32);
  s.SetDisplay(&display);
  NewBox(s, "red", {0, 0, 4, 2}, 0x0000FF);
  auto* blue = s.Make<TKovaBox>();
  blue->SetParent(&s.GetScreen(1));
  blue->SetBounds(0, 0, 4, 2);
  blue->SetColor(0xFF0000);
  blue->SetHandleKey(true);
  s.Draw(display);
  s.ClearDirty();
  EXPECT_EQ(display.GetPixel(1, 1), 0xFF0000u);
  EXPECT_FALSE(s.TransitionRunning());

  s.StartTransition(0, 1, 0, false, 0, 100);
  ASSERT_TRUE(s.TransitionRunning());
  EXPECT_EQ(s.TransitionActive(), 1);
  EXPECT_EQ(s.TransitionDuration(), 100);
  s.SetTransitionProgress(50);
  s.Draw(display);
  // The same cross-fade made by hand: blue over red at alpha 50 * 256 / 100.
  TDIBX want(4, 2, 32);
  want.FillRect({0, 0, 4, 2}, 0xFF0000);
  TDIBX in(4, 2, 32);
  in.FillRect({0, 0, 4, 2}, 0x0000FF);
  want.DrawAlpha(0, 0, {0, 0, 4, 2}, in, 128);
  EXPECT_EQ(display.GetPixel(1, 1), want.GetPixel(1, 1));
  EXPECT_NE(display.GetPixel(1, 1), 0xFF0000u);
  EXPECT_EQ(s.TransitionRect().right, 4);
  // A second non-forced start while one runs only changes the active index and the kind.
  s.StartTransition(0, 1, 0, false, 60, 5);
  EXPECT_EQ(s.TransitionDuration(), 100);

  s.SetTransitionProgress(100);
  s.Flip();
  EXPECT_FALSE(s.TransitionRunning());
  EXPECT_EQ(s.ActiveIndex(), 1);
  s.ClearDirty();
  s.ProcessInput({}, 16);  // the refocus asked for by the swap gives the blue box the focus
  EXPECT_EQ(s.Focus(), blue);
  display.FillRect({0, 0, 4, 2}, 0);
  s.GetScreen(1).AddFullDirty();
  s.Draw(display);
  EXPECT_EQ(display.GetPixel(1, 1), 0x0000FFu);
  EXPECT_TRUE(s.TransitionRect().Empty());
}

TEST(SceneTransitions, UnknownKindsAndZeroDurations) {
  TKovaBaseList s(4, 2);
  TDIBX display(4, 2, 32);
  s.SetDisplay(&display);
  s.StartTransition(0, 200, 0, false, 0, 100);  // no such transition: nothing runs
  EXPECT_FALSE(s.TransitionRunning());
  EXPECT_EQ(s.TransitionActive(), 200);
  s.StartTransition(0, 1, 0, true, 0, 0);  // a transition of no length is over at once
  ASSERT_TRUE(s.TransitionRunning());
  display.FillRect({0, 0, 4, 2}, 0x123456);
  s.ClearDirty();
  s.Draw(display);
  EXPECT_EQ(display.GetPixel(0, 0), 0x123456u);
}

TEST(SceneFind, ListNamesByTypeAndParent) {
  TKovaBaseList s(10, 10);
  auto* a = NewBox(s, "a", {0, 0, 1, 1});
  auto* b = NewBox(s, "b", {0, 0, 1, 1});
  b->SetParent(a);
  s.Make<TKovaCabinet>()->SetName("c");
  std::vector<std::string> names{"kept"};
  EXPECT_EQ(s.ListNames(names, 0, &s), 3);
  EXPECT_EQ(names, (std::vector<std::string>{"kept", "a", "b", "c"}));
  names.clear();
  EXPECT_EQ(s.ListNames(names, LT_CABINET, &s), 1);
  EXPECT_EQ(names, (std::vector<std::string>{"c"}));
  names.clear();
  EXPECT_EQ(s.ListNames(names, 0, a), 1);
  EXPECT_EQ(names, (std::vector<std::string>{"b"}));
  EXPECT_EQ(s.ListNames(names, 0, &s.ActiveScreen()), 1);  // a; b and c lie elsewhere
  EXPECT_EQ(s.ListNames(names, 0, nullptr), 0);
}

TEST(SceneLinkIds, DeletedObjectsAreNeverFoundAgain) {
  TKovaBaseList s(10, 10);
  auto* a = NewBox(s, "a", {0, 0, 1, 1});
  const uint32_t id = a->Id();
  s.Events().Post(id, "x.ksb", {}, PR_ONIDLE);
  EXPECT_EQ(s.ObjectName(id), "a");
  s.DeleteObject(a);
  EXPECT_EQ(s.ObjectName(id), "");
  EXPECT_EQ(s.Events().Size(), 0u);
  auto* b = NewBox(s, "a", {0, 0, 1, 1});
  EXPECT_NE(b->Id(), id);
  EXPECT_EQ(s.FindObject("a"), b->Id());
}

// Records what the scene asks of the shell's cursor slot.
class FakeCursors : public CursorHost {
 public:
  bool LoadCursor(const std::string& file) override {
    calls.push_back("load " + file);
    return file != "bad.cur";
  }
  void ShowCustom(bool custom) override { calls.push_back(custom ? "custom" : "arrow"); }
  std::string DefaultCursor() override { return defaultCursor; }
  std::vector<std::string> calls;
  std::string defaultCursor;
};

TEST(SceneInput, CursorSlotIsLoadedOncePerFileAndShownAgain) {
  TKovaBaseList s(100, 100);
  FakeCursors host;
  s.SetCursorHost(&host);
  NewBox(s, "a", {0, 0, 10, 10})->SetProp(PR_CURSOR, PropValue::Str("a.cur"));
  NewBox(s, "b", {10, 0, 20, 10});
  NewBox(s, "c", {20, 0, 30, 10})->SetProp(PR_CURSOR, PropValue::Str("bad.cur"));
  struct Step {
    int32_t x;
    const char* what;
    std::vector<std::string> calls;
  } steps[] = {
      {5, "onto a", {"load a.cur", "custom"}},
      {6, "within a: nothing", {}},
      {15, "onto b", {"arrow"}},
      {5, "back onto a: shown again, not loaded again", {"custom"}},
      {25, "onto c: the load fails, the slot stays shown", {"load bad.cur"}},
      {15, "onto b", {"arrow"}},
      {25, "onto c: not tried again", {"custom"}},
      {50, "empty space", {"arrow"}},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.what);
    host.calls.clear();
    InputFrame in;
    in.hasMouse = true, in.mouseX = st.x, in.mouseY = 5;
    s.ProcessInput(in, 16);
    EXPECT_EQ(host.calls, st.calls);
  }
  EXPECT_EQ(s.ActiveScreen().cursorFile, "a.cur");
  // The default serves objects without a cursor and empty space.
  host.defaultCursor = "d.cur";
  host.calls.clear();
  s.ProcessInput(InputFrame(), 16);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"load d.cur", "custom"}));
  s.SetCursorHost(nullptr);
  s.ProcessInput(InputFrame(), 16);  // without a shell nothing is asked
}

}  // namespace
}  // namespace kova
