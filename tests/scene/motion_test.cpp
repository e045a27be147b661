// Motions driven by a fake film plugged in through the loader, and the right-click closers.
#include <gtest/gtest.h>

#include <map>

#include "common/error.h"
#include "scene/box.h"
#include "scene/motion.h"
#include "scene/scene.h"

namespace kova {
namespace {

struct FilmShape {
  int32_t frames = 10;
  int32_t loopStart = 0;
  bool relative = false;
};

// Frame f puts the control at base + (10 f, 0) with sub-priority f % 3, and logs f.
class FakeFilm : public MotionFilm {
 public:
  FakeFilm(FilmShape shape, std::vector<int32_t>* shown) : shape_(shape), shown_(shown) {}
  int32_t TotalFrames() const override { return shape_.frames; }
  int32_t LoopStart() const override { return shape_.loopStart; }
  bool Relative() const override { return shape_.relative; }
  int32_t CurrentFrame() const override { return current_; }
  void SetMotionControl(TKovaBaseList* scene, uint32_t id) override { scene_ = scene, id_ = id; }
  void SetMotionBase(Point b) override { base_ = b; }
  void SetBasePriority(int32_t p) override { basePriority = p; }
  void ShowFrame(int32_t f) override {
    shown_->push_back(f);
    current_ = f;
    TKovaControl* c = scene_->Get(id_)->AsControl();
    c->SetMotionPos(base_.x + 10 * f, base_.y);
    c->SetSubPriority(f % 3);
  }
  int32_t basePriority = -1;
  TKovaBaseList* Scene() const { return scene_; }

 private:
  FilmShape shape_;
  std::vector<int32_t>* shown_;
  int32_t current_ = -1;
  Point base_;
  TKovaBaseList* scene_ = nullptr;
  uint32_t id_ = 0;
};

// Registers a loader that knows the films of the test by name; "broken.kmt" fails.
class Motions : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMotionFilmLoader([this](TKovaBaseList&, const std::string& file) {
      if (file == "broken.kmt") throw Error("broken.kmt:ファイルがありません");
      auto it = films.find(file);
      if (it == films.end()) throw Error(file + ":ファイルがありません");
      return std::make_unique<FakeFilm>(it->second, &shown);
    });
  }
  void TearDown() override { SetMotionFilmLoader(nullptr); }

  TKovaBox* NewBox(const std::string& name, int32_t left = 0, int32_t top = 0) {
    auto* b = scene.Make<TKovaBox>();
    b->SetParent(&scene.ActiveScreen());
    b->SetName(name);
    b->SetBounds(left, top, 8, 8);
    return b;
  }
  // One scene update after an input phase that sets the frame's elapsed time.
  void Frame(int32_t delta) {
    scene.SetFrameDelta(delta);
    scene.Update();
  }
  int Count(int code) const {
    int n = 0;
    for (const QueuedEvent& e : const_cast<TKovaBaseList&>(scene).Events().Items())
      n += e.code == code;
    return n;
  }

  std::map<std::string, FilmShape> films = {{"ten.kmt", {10, 0, false}},
                                           {"three.kmt", {3, 0, false}},
                                           {"empty.kmt", {0, 0, false}},
                                           {"rel.kmt", {5, 0, true}}};
  std::vector<int32_t> shown;
  TKovaBaseList scene{64, 48};
};

TEST(MotionRounding, HalvesGoToEven) {
  const std::pair<long double, int64_t> cases[] = {
      {0.5L, 0},  {1.5L, 2},  {2.5L, 2},    {-0.5L, 0}, {-1.5L, -2},
      {2.49L, 2}, {2.51L, 3}, {-2.51L, -3}, {7.0L, 7},  {0.0L, 0}};
  for (auto [v, r] : cases)
    EXPECT_EQ(RoundHalfEven(v), r) << static_cast<double>(v);
}

// The two start steps show frame 0 without counting time; then time counts from zero.
TEST_F(Motions, FrameSequenceOverDeltas) {
  struct Case {
    int32_t delta;
    std::vector<int32_t> frames;  // Frame after each update
    std::vector<int32_t> shown;   // frames the film was asked to show
  };
  const Case cases[] = {
      {16, {0, 0, 1, 2, 3}, {0, 1, 2, 3}},
      {8, {0, 0, 0, 1, 1, 2}, {0, 1, 2}},  // 8, 16, 24, 32 ms
      {25, {0, 0, 1, 3, 4, 6}, {0, 1, 3, 4, 6}},
      {0, {0, 0, 0, 0}, {0}},
      {1000, {0, 0, 9, 9}, {0, 9}},  // past the end at once: the last frame, once
  };
  for (const Case& c : cases) {
    shown.clear();
    TKovaBox* b = NewBox("b");
    b->SetProp(PR_SOURCE, PropValue::Str("ten.kmt"));
    ASSERT_TRUE(b->HasMotion());
    std::vector<int32_t> frames;
    for (size_t i = 0; i < c.frames.size(); ++i) {
      Frame(c.delta);
      frames.push_back(b->GetMotion()->Frame());
    }
    EXPECT_EQ(frames, c.frames) << "delta " << c.delta;
    EXPECT_EQ(shown, c.shown) << "delta " << c.delta;
    EXPECT_EQ(b->MotionX(), 10 * c.frames.back()) << "delta " << c.delta;
    scene.DeleteObject(b);
  }
}

TEST_F(Motions, RepeatWrapsToTheLoopStartInsideTheFilm) {
  struct Case {
    const char* what;
    FilmShape film;
    int32_t delta;  // one step after the start steps
    int32_t frame, elapsed;
  };
  const Case cases[] = {
      {"frame 12 of 10 from loop start 4", {10, 4}, 200, 6, 100},
      {"a loop start at the end is held on the last frame", {10, 9}, 200, 9, 150},
      {"the end itself returns to the loop start", {10, 0}, 166, 0, 0},
      {"a damaged negative loop start stays in the film", {10, -5}, 200, 0, 0},
      {"an empty film stays on frame 0", {0, 3}, 16, 0, 0},
  };
  for (const Case& c : cases) {
    films["r.kmt"] = c.film;
    TKovaBox* b = NewBox("b");
    b->SetProp(PR_REPEAT, PropValue::Bool(true));
    b->SetProp(PR_ONPLAYEND, PropValue::Str("end.ksb"));
    b->SetProp(PR_SOURCE, PropValue::Str("r.kmt"));
    Frame(0);
    Frame(0);
    Frame(c.delta);
    const TKovaMotion& m = *b->GetMotion();
    EXPECT_EQ(m.Frame(), c.frame) << c.what;
    EXPECT_EQ(m.ElapsedMs(), c.elapsed) << c.what;
    EXPECT_FALSE(m.Finished()) << c.what;
    EXPECT_TRUE(b->GetProp(PR_PLAYING).b) << c.what;
    EXPECT_EQ(Count(PR_ONPLAYEND), 0) << c.what;
    scene.DeleteObject(b);
  }
}

TEST_F(Motions, OnPlayEndIsPostedOnceAndRepeatRestartsAFinishedMotion) {
  TKovaBox* b = NewBox("b");
  b->SetProp(PR_ONPLAYEND, PropValue::Str("end.ksb"));
  b->SetProp(PR_SOURCE, PropValue::Str("three.kmt"));
  EXPECT_TRUE(b->GetProp(PR_PLAYING).b);
  for (int i = 0; i < 10; ++i)
    Frame(16);
  EXPECT_EQ(Count(PR_ONPLAYEND), 1);
  EXPECT_EQ(scene.Events().Items().front().handler, "end.ksb");
  EXPECT_EQ(b->GetMotion()->Frame(), 2);
  EXPECT_TRUE(b->GetMotion()->Finished());
  EXPECT_FALSE(b->GetProp(PR_PLAYING).b);

  b->SetProp(PR_REPEAT, PropValue::Bool(true));  // restarts the finished motion
  EXPECT_FALSE(b->GetMotion()->Finished());
  EXPECT_EQ(b->GetMotion()->StartSteps(), 2);
  EXPECT_EQ(b->GetMotion()->ElapsedMs(), 0);
  for (int i = 0; i < 10; ++i)
    Frame(16);
  EXPECT_EQ(Count(PR_ONPLAYEND), 1);
}

TEST_F(Motions, AnEmptyFilmFinishesAtOnceWithoutDividingByZero) {
  TKovaBox* b = NewBox("b");
  b->SetProp(PR_ONPLAYEND, PropValue::Str("end.ksb"));
  b->SetProp(PR_SOURCE, PropValue::Str("empty.kmt"));
  Frame(16);
  EXPECT_TRUE(b->GetMotion()->Finished());
  EXPECT_EQ(b->GetMotion()->Frame(), 0);
  EXPECT_EQ(Count(PR_ONPLAYEND), 1);
}

TEST_F(Motions, AutoScrapDeletesInsideTheUpdateWithoutSkippingTheNextObject) {
  TKovaBox* a = NewBox("a");
  a->SetProp(PR_AUTOSCRAP, PropValue::Bool(true));
  a->SetProp(PR_ONPLAYEND, PropValue::Str("end.ksb"));
  a->SetProp(PR_SOURCE, PropValue::Str("empty.kmt"));
  TKovaBox* b = NewBox("b");
  b->SetProp(PR_SOURCE, PropValue::Str("ten.kmt"));
  const uint32_t aid = a->Id();
  Frame(16);
  EXPECT_FALSE(scene.IsRegistered(aid));
  EXPECT_EQ(Count(PR_ONPLAYEND), 0);           // deleted instead
  EXPECT_EQ(b->GetMotion()->StartSteps(), 1);  // b was updated in the same pass
}

TEST_F(Motions, AniPausedStopsTheClockOnly) {
  TKovaBox* b = NewBox("b");
  b->SetProp(PR_SOURCE, PropValue::Str("ten.kmt"));
  Frame(16);
  Frame(16);
  Frame(16);
  EXPECT_EQ(b->GetMotion()->ElapsedMs(), 16);
  b->SetProp(PR_ANIPAUSED, PropValue::Bool(true));
  EXPECT_FALSE(b->GetProp(PR_PLAYING).b);
  Frame(16);
  Frame(16);
  EXPECT_EQ(b->GetMotion()->ElapsedMs(), 16);
  b->SetProp(PR_ANIPAUSED, PropValue::Bool(false));
  Frame(16);
  EXPECT_EQ(b->GetMotion()->ElapsedMs(), 32);
  EXPECT_EQ(b->GetMotion()->Frame(), 2);
  // Paused skips the whole update.
  b->SetProp(PR_PAUSED, PropValue::Bool(true));
  Frame(16);
  EXPECT_EQ(b->GetMotion()->ElapsedMs(), 32);
}

TEST_F(Motions, RelativeFilmsFollowScriptMoves) {
  TKovaBox* b = NewBox("b", 100, 50);
  b->SetPriority(7);
  b->SetProp(PR_SOURCE, PropValue::Str("rel.kmt"));
  auto& film = static_cast<FakeFilm&>(b->GetMotion()->Film());
  Frame(16);
  EXPECT_EQ(film.basePriority, 7);
  EXPECT_EQ(b->MotionX(), 100);
  EXPECT_EQ(b->ScreenLeft(), 100);
  Frame(16);
  Frame(16);  // frame 1
  EXPECT_EQ(b->ScreenLeft(), 110);
  EXPECT_EQ(b->ScreenTop(), 50);

  b->SetLeft(200);  // the control's own position is not where it is drawn while the film runs
  EXPECT_EQ(b->MotionX(), 0);
  Frame(0);  // same frame, shown again from the new base
  EXPECT_EQ(b->MotionX(), 210);
  EXPECT_EQ(shown, (std::vector<int32_t>{0, 1, 1}));

  // A finished relative film that is moved shows its last frame at the new place.
  Frame(1000);
  EXPECT_TRUE(b->GetMotion()->Finished());
  EXPECT_EQ(b->MotionX(), 240);
  b->SetTop(80);
  Frame(16);
  EXPECT_EQ(b->MotionX(), 240);
  EXPECT_EQ(b->MotionY(), 80);
  EXPECT_EQ(b->ScreenTop(), 80);
}

TEST_F(Motions, DiscardingReturnsTheControlToItsOwnPlace) {
  TKovaBox* b = NewBox("b", 5, 6);
  b->SetProp(PR_POSZOOMED, PropValue::Bool(true));
  b->SetProp(PR_SOURCE, PropValue::Str("ten.kmt"));
  Frame(0);
  Frame(0);
  Frame(40);  // frame 2
  EXPECT_EQ(b->ScreenLeft(), 20);
  EXPECT_EQ(b->GetSubPriority(), 2);
  // A source that is not a motion file leaves the motion running.
  b->SetProp(PR_SOURCE, PropValue::Str("picture.vel"));
  EXPECT_TRUE(b->HasMotion());
  b->DiscardMotion();
  EXPECT_FALSE(b->HasMotion());
  EXPECT_EQ(b->MotionX(), 0);
  EXPECT_EQ(b->MotionY(), 0);
  EXPECT_EQ(b->GetSubPriority(), 0);
  EXPECT_EQ(b->ScreenLeft(), 5);
  EXPECT_EQ(b->ScreenTop(), 6);
  EXPECT_FALSE(b->Update());
}

TEST_F(Motions, LoaderFailuresLeaveNoMotion) {
  TKovaBox* b = NewBox("b");
  // Any case is a motion file: the loader is asked, and this one knows no such film.
  EXPECT_THROW(b->SetProp(PR_SOURCE, PropValue::Str("TEN.KMT")), Error);
  EXPECT_FALSE(b->HasMotion());
  b->SetProp(PR_SOURCE, PropValue::Str("ten.kmt"));
  ASSERT_TRUE(b->HasMotion());
  EXPECT_THROW(b->SetProp(PR_SOURCE, PropValue::Str("broken.kmt")), Error);
  EXPECT_FALSE(b->HasMotion());
  EXPECT_EQ(b->GetProp(PR_SOURCE).s, "broken.kmt");
  EXPECT_FALSE(b->Update());

  SetMotionFilmLoader(nullptr);  // no film reader at all: nothing starts, nothing fails
  b->SetProp(PR_SOURCE, PropValue::Str("ten.kmt"));
  EXPECT_FALSE(b->HasMotion());
  Frame(16);
  EXPECT_TRUE(scene.IsRegistered(b->Id()));
}

TEST_F(Motions, ASavedMotionStartsAgainInTheLoadedScene) {
  TKovaBox* b = NewBox("b", 3, 4);
  b->SetProp(PR_SOURCE, PropValue::Str("ten.kmt"));
  Frame(0);
  Frame(0);
  Frame(50);  // frame 3
  ByteWriter w;
  scene.SaveToStream(w);
  const Bytes saved = w.Take();
  TKovaBaseList other(64, 48);
  ByteReader r(std::span<const uint8_t>(saved), "save.dat");
  other.LoadFromStream(r, kSceneDataVersion, 0);
  auto* lb = other.FindObjectByName("b")->AsControl();
  ASSERT_TRUE(lb->HasMotion());
  // The film was loaded into a scene of its own that the load then discarded.
  EXPECT_EQ(static_cast<FakeFilm&>(lb->GetMotion()->Film()).Scene(), &other);
  EXPECT_EQ(lb->MotionX(), 30);  // the stored position, until the motion shows its first frame
  other.SetFrameDelta(16);
  other.Update();  // the film drives the control of the scene that now holds it
  EXPECT_EQ(lb->MotionX(), 0);
  EXPECT_EQ(lb->ScreenLeft(), 0);

  // A motion file that fails to load costs the box its motion, not the save.
  films.erase("ten.kmt");
  ByteReader r2(std::span<const uint8_t>(saved), "save.dat");
  other.LoadFromStream(r2, kSceneDataVersion, 0);
  lb = other.FindObjectByName("b")->AsControl();
  EXPECT_FALSE(lb->HasMotion());
  EXPECT_EQ(lb->GetProp(PR_SOURCE).s, "ten.kmt");
}

// A control with its own picture surface and zoom, as the picture types have.
class Picture : public TKovaControl {
 public:
  using TKovaControl::TKovaControl;
  int32_t ZoomX() const override { return zoom; }
  bool HasPictureSurface() const override { return true; }
  int32_t SurfaceWidth() const override { return surfaceWidth; }
  int32_t zoom = 512, surfaceWidth = 100;
};

// A picture on a zoomed picture is placed in the parent's source pixels, unless a motion places
// it; a parent without width cannot give that ratio and never divides by zero.
TEST_F(Motions, PicturesOnZoomedPicturesAndMotions) {
  auto* p = scene.Make<Picture>();
  p->SetParent(&scene.ActiveScreen());
  p->SetBounds(10, 0, 150, 10);  // 100 source pixels shown 150 wide
  auto* c = scene.Make<Picture>();
  c->SetParent(p);
  c->SetProp(PR_POSZOOMED, PropValue::Bool(true));
  c->SetLeft(30);
  EXPECT_EQ(c->ScreenLeft(), 10 + 45);  // 30 source pixels at 1.5 display pixels each
  c->zoom = 256;                        // zooms differ: the ordinary placement
  EXPECT_EQ(c->ScreenLeft(), 10 + 30);
  c->zoom = 512;
  p->SetWidth(0);
  EXPECT_EQ(c->ScreenLeft(), 10 + 60);
  p->surfaceWidth = 0;
  p->SetWidth(150);
  EXPECT_EQ(c->ScreenLeft(), 10 + 60);
  p->surfaceWidth = 100;
  c->SetLeft(INT32_MAX);
  c->SetOffsetX(INT32_MIN);  // the 16.16 products need 64 bits
  EXPECT_EQ(c->ScreenLeft(), INT32_MAX);
  c->SetOffsetX(0);
  c->SetLeft(30);

  c->StartMotion("ten.kmt");
  Frame(0);
  Frame(0);
  Frame(33);  // frame 2: MotionX 20
  EXPECT_EQ(c->ScreenLeft(), 10 + 20);
  c->DiscardMotion();
  EXPECT_EQ(c->ScreenLeft(), 10 + 45);
}

// ---- Right-click closers ----

// A control that closes itself on a right press, as menus and map images do.
class Closer : public TKovaControl {
 public:
  explicit Closer(TKovaBaseList* s) : TKovaControl(s) {}
  void Create() override {
    TKovaControl::Create();
    owner_->AddRightClickCloser(*this);
  }
  PropValue GetProp(int code) override {
    if (code == PR_RCLICKSCRAP) return PropValue::Bool(rclickScrap);
    if (code == PR_PAUSED) return PropValue::Bool(paused);
    return TKovaControl::GetProp(code);
  }
  bool IsPaused() const override { return paused; }
  bool CloseByRightClick() override {
    ++offers;
    if (!closes) return false;
    Scrap();
    return true;
  }
  bool rclickScrap = true, paused = false, closes = true;
  int offers = 0;
};

TEST(RightClickClosers, ListHoldsEachControlOnceAndForgetsDeletedOnes) {
  TKovaBaseList s(64, 48);
  auto* c = s.Make<Closer>();  // adds itself when created
  const uint32_t id = c->Id();
  EXPECT_EQ(s.RightClickClosers().Ids(), std::vector<uint32_t>{id});
  TKovaList l;
  EXPECT_TRUE(l.Add(*c));
  EXPECT_FALSE(l.Add(*c));
  EXPECT_EQ(l.Ids().size(), 1u);
  s.DeleteObject(c);
  EXPECT_FALSE(s.RightClickClosers().Contains(id));
}

TEST(RightClickClosers, ARightPressClosesTheFirstWillingCloser) {
  struct Case {
    const char* what;
    std::function<void(Closer&, TKovaBaseList&)> setup;
    bool consumed;
  };
  const Case cases[] = {
      {"an open closer takes the press", [](Closer&, TKovaBaseList&) {}, true},
      {"RClickScrap off", [](Closer& c, TKovaBaseList&) { c.rclickScrap = false; }, false},
      {"hidden", [](Closer& c, TKovaBaseList&) { c.SetVisible(false); }, false},
      {"on the other screen", [](Closer& c, TKovaBaseList& s) { c.SetParent(&s.GetScreen(1)); },
       false},
      {"paused", [](Closer& c, TKovaBaseList&) { c.paused = true; }, false},
      {"IgnoreMouse 3 still takes right presses",
       [](Closer& c, TKovaBaseList&) { c.SetProp(PR_IGNOREMOUSE, PropValue::Int(3)); }, true},
      {"IgnoreMouse 4 does not",
       [](Closer& c, TKovaBaseList&) { c.SetProp(PR_IGNOREMOUSE, PropValue::Int(4)); }, false},
      {"the closer declines", [](Closer& c, TKovaBaseList&) { c.closes = false; }, false},
      {"deleted before the press", [](Closer& c, TKovaBaseList& s) { s.DeleteObject(&c); }, false},
  };
  for (const Case& k : cases) {
    TKovaBaseList s(64, 48);
    // The box under the mouse; the closer lies elsewhere on the screen.
    auto* box = s.Make<TKovaBox>();
    box->SetParent(&s.ActiveScreen());
    box->SetBounds(0, 0, 20, 20);
    box->SetProp(PR_ONRBTNDOWN, PropValue::Str("r.ksb"));
    auto* c = s.Make<Closer>();
    c->SetParent(&s.ActiveScreen());
    c->SetBounds(40, 40, 10, 10);
    const uint32_t cid = c->Id();
    k.setup(*c, s);
    InputFrame in;
    in.hasMouse = true;
    in.mouseX = in.mouseY = 5;
    in.buttons = {{1, true}};
    s.ProcessInput(in, 16);
    const bool reached = s.Events().Has(box->Id(), PR_ONRBTNDOWN);
    EXPECT_EQ(reached, !k.consumed) << k.what;
    EXPECT_FALSE(s.ActiveScreen().rightClick) << k.what;  // the box took it otherwise
    s.Update();
    EXPECT_EQ(s.IsRegistered(cid), !k.consumed && k.what != std::string("deleted before the press"))
        << k.what;
  }
}

TEST(RightClickClosers, OnlyTheFirstWillingCloserIsAsked) {
  TKovaBaseList s(64, 48);
  auto* a = s.Make<Closer>();
  auto* b = s.Make<Closer>();
  for (Closer* c : {a, b}) {
    c->SetParent(&s.ActiveScreen());
    c->SetBounds(0, 0, 10, 10);
  }
  a->closes = false;
  InputFrame in;
  in.buttons = {{1, true}};
  s.ProcessInput(in, 16);
  EXPECT_EQ(a->offers, 1);
  EXPECT_EQ(b->offers, 1);
  EXPECT_TRUE(b->IsScrapped());
  in.buttons = {{1, false}};
  s.ProcessInput(in, 16);  // no press, no offers
  EXPECT_EQ(a->offers, 1);
}

}  // namespace
}  // namespace kova
