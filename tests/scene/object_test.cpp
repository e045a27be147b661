#include <gtest/gtest.h>

#include <climits>

#include "scene/box.h"
#include "scene/scene.h"

namespace kova {
namespace {

// A control with zoom and flips, as the picture types have.
class Zoomed : public TKovaControl {
 public:
  using TKovaControl::TKovaControl;
  int GetCompoType() const override { return LT_BOX; }
  int32_t ZoomX() const override { return zoom; }
  bool FlipH() const override { return flip; }
  int32_t zoom = 256;
  bool flip = false;
};

TKovaBox* NewBox(TKovaBaseList& s, const std::string& name, TKovaControl* parent = nullptr) {
  auto* b = s.Make<TKovaBox>();
  b->SetParent(parent ? parent : &s.ActiveScreen());
  b->SetName(name);
  return b;
}

TEST(ObjectNames, AutoNamesAndClashes) {
  TKovaBaseList s(64, 48);
  auto* a = s.Make<TKovaBox>();
  auto* b = s.Make<TKovaBox>();
  EXPECT_EQ(a->GetName(), "object0");
  EXPECT_EQ(b->GetName(), "object1");

  auto* btn1 = NewBox(s, "btn");
  auto* btn2 = NewBox(s, "btn");
  EXPECT_EQ(btn1->GetName(), "btn_2");
  EXPECT_EQ(btn2->GetName(), "btn");
  auto* btn3 = NewBox(s, "btn");
  EXPECT_EQ(btn2->GetName(), "btn_3");
  EXPECT_EQ(btn3->GetName(), "btn");

  auto* a5 = NewBox(s, "a_5");
  auto* taker = NewBox(s, "x");
  taker->SetName("a_5");
  EXPECT_EQ(a5->GetName(), "a_6");
  EXPECT_EQ(taker->GetName(), "a_5");

  // Suffixes of 1 or less, or not numbers, count from 2 on the whole name.
  auto* c1 = NewBox(s, "c_1");
  NewBox(s, "c_1");
  EXPECT_EQ(c1->GetName(), "c_1_2");
  // A '_' at the first position is no separator.
  auto* u = NewBox(s, "_7");
  NewBox(s, "_7");
  EXPECT_EQ(u->GetName(), "_7_2");
  // The second byte of a double-byte character is never a '_' ("\x83\x5f").
  auto* j = NewBox(s,
                   "\x83\x5f"
                   "3");
  NewBox(s,
         "\x83\x5f"
         "3");
  EXPECT_EQ(j->GetName(),
            "\x83\x5f"
            "3_2");
}

TEST(ObjectNames, ComponentsScrapTheHolderAndScrapFreesTheName) {
  TKovaBaseList s(64, 48);
  auto* old = s.Make<TKovaComponent>();
  old->SetName("snd");
  auto* fresh = s.Make<TKovaComponent>();
  fresh->SetName("snd");
  EXPECT_TRUE(old->IsScrapped());
  EXPECT_EQ(old->GetName(), "");
  EXPECT_EQ(s.FindObjectByName("snd"), fresh);
  EXPECT_EQ(s.GetObjectCount(), 2);  // both exist until the end of the update
  s.Update();
  EXPECT_EQ(s.GetObjectCount(), 1);
  EXPECT_EQ(s.GetObject(0), fresh);
}

TEST(DrawOrder, ComparatorRules) {
  TKovaBaseList s(64, 48);
  auto* scr = &s.ActiveScreen();
  auto* hi = NewBox(s, "hi");
  hi->SetPriority(INT32_MAX);
  auto* lo = NewBox(s, "lo");
  lo->SetPriority(INT32_MIN);
  auto* b = NewBox(s, "b");
  auto* a = NewBox(s, "a");
  auto* freeze = NewBox(s, "\x01\x01");
  auto* freeze2 = NewBox(s, "x");
  freeze2->SetNameRaw("\x01\x01");
  auto* internal = NewBox(s, "\x01inner");
  internal->SetPriority(1000);
  // Priorities add in 64 bits: MAX + 1 stays above MAX + 0.
  auto* hi2 = NewBox(s, "zz");
  hi2->SetPriority(INT32_MAX);
  hi2->SetSubPriority(1);
  scr->SortChildren();
  std::vector<std::string> order;
  for (auto* c : scr->Children())
    order.push_back(c->GetName());
  const std::vector<std::string> want = {"\x01inner", "lo", "a",        "b",
                                         "hi",        "zz", "\x01\x01", "\x01\x01"};
  EXPECT_EQ(order, want);
  EXPECT_EQ(CompareDrawOrder(*freeze, *freeze), 0);
  // Two freeze snapshots fall through to priority and name: a strict weak ordering.
  EXPECT_EQ(CompareDrawOrder(*freeze, *freeze2), -CompareDrawOrder(*freeze2, *freeze));
  EXPECT_LT(CompareDrawOrder(*a, *b), 0);
  EXPECT_GT(CompareDrawOrder(*b, *a), 0);
  EXPECT_LT(CompareDrawOrder(*lo, *a), 0);
  (void)hi;
}

TEST(Geometry, AnchorsZoomFlipsAndPlus) {
  TKovaBaseList s(200, 200);
  auto* z = s.Make<Zoomed>();
  z->SetParent(&s.ActiveScreen());
  z->zoom = 512;
  z->SetOffsetX(10);
  z->SetLeft(100);
  EXPECT_EQ(z->ScreenLeft(), 80);
  z->flip = true;
  z->SetWidth(50);
  EXPECT_EQ(z->ScreenLeft(), 100 - (50 - 20 - 1));
  z->zoom = 256;
  EXPECT_EQ(z->ScreenLeft(), 100 - (50 - 10 - 1));
  z->flip = false;
  // A child is placed relative to its parent's corner; plus adds at the end.
  auto* c = s.Make<TKovaBox>();
  c->SetParent(z);
  c->SetLeft(5);
  c->SetPlus(false, 3);
  EXPECT_EQ(c->ScreenLeft(), 90 + 5 + 3);
  // PosZoomed scales the position itself; huge values saturate instead of overflowing.
  z->zoom = 512;
  c->SetProp(PR_POSZOOMED, PropValue::Bool(true));
  EXPECT_EQ(c->ScreenLeft(), 80 + 5 + 3);  // the box has no zoom of its own
  z->SetLeft(INT32_MAX);
  z->SetOffsetX(INT32_MIN);
  EXPECT_EQ(z->ScreenLeft(), INT32_MAX);
  EXPECT_EQ(c->ScreenLeft(), INT32_MAX);
}

TEST(Visibility, ParentsCabinetsAndClips) {
  TKovaBaseList s(100, 100);
  auto* p = NewBox(s, "p");
  p->SetBounds(0, 0, 50, 50);
  auto* c = NewBox(s, "c", p);
  c->SetBounds(10, 10, 10, 10);
  EXPECT_TRUE(c->IsVisible());
  p->SetVisible(false);
  EXPECT_FALSE(c->IsVisible());
  EXPECT_EQ(s.ActiveScreen().HitTest({15, 15}, kHitHover), &s.ActiveScreen());
  p->SetVisible(true);
  EXPECT_EQ(s.ActiveScreen().HitTest({15, 15}, kHitHover), c);
  // Outside the parent: neither hit nor drawn.
  c->SetLeft(60);
  EXPECT_EQ(s.ActiveScreen().HitTest({65, 15}, kHitHover), &s.ActiveScreen());
  auto* orphan = s.Make<TKovaBox>();
  orphan->SetParent(nullptr);
  EXPECT_FALSE(orphan->IsVisible());
  auto* cab = s.Make<TKovaCabinet>();
  cab->SetParent(&s.ActiveScreen());
  c->SetParent(cab);
  EXPECT_FALSE(c->IsVisible());
  EXPECT_TRUE(c->IsInCabinet());
  // A parent cannot become its own descendant.
  cab->SetParent(c);
  EXPECT_EQ(cab->Parent(), &s.ActiveScreen());
  // ClipWidth 0 switches clipping off.
  p->SetClip(2, 0);
  p->SetClip(3, 5);
  EXPECT_TRUE(p->ClipRect().Empty());
  p->SetClip(2, 5);
  EXPECT_EQ(p->ClipRect(), (Rect{0, 0, 5, 5}));
}

TEST(HitTest, IgnoreMouseClasses) {
  TKovaBaseList s(100, 100);
  auto* below = NewBox(s, "below");
  below->SetBounds(0, 0, 50, 50);
  auto* top = NewBox(s, "top");
  top->SetBounds(0, 0, 50, 50);
  struct Case {
    int im;
    TKovaControl *left, *right, *hover;
  };
  const Case cases[] = {
      {0, top, top, top},         {1, below, below, below},  {2, below, below, top},
      {3, below, top, top},       {4, top, below, top},      {5, below, below, below},
      {300, below, below, below}, {-1, below, below, below},
  };
  for (const Case& c : cases) {
    top->SetProp(PR_IGNOREMOUSE, PropValue::Int(c.im));
    EXPECT_EQ(s.ActiveScreen().HitTest({5, 5}, kHitLeft), c.left) << c.im;
    EXPECT_EQ(s.ActiveScreen().HitTest({5, 5}, kHitRight), c.right) << c.im;
    EXPECT_EQ(s.ActiveScreen().HitTest({5, 5}, kHitHover), c.hover) << c.im;
  }
  // Right and bottom edges are outside.
  EXPECT_EQ(s.ActiveScreen().HitTest({50, 5}, kHitHover), &s.ActiveScreen());
}

TEST(TimerList, PostingDuplicatesAndLevels) {
  TKovaBaseList s(64, 48);
  TTimerList& q = s.Events();
  q.Post(7, "a.ksb", {"1", "2"}, PR_ONLBTNDOWN);
  q.Post(8, "b.ksb", {}, PR_ONIDLE);
  q.Post(7, "c.ksb", {}, PR_ONIDLE);
  EXPECT_TRUE(q.Has(7, PR_ONLBTNDOWN));
  EXPECT_FALSE(q.Has(8, PR_ONLBTNDOWN));
  QueuedEvent* e = q.FirstPending();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->handler, "a.ksb");
  e->level = 1;
  EXPECT_EQ(q.FirstPending()->handler, "b.ksb");
  q.RemovePendingOf(7);  // the running record of 7 stays
  EXPECT_EQ(q.Size(), 2u);
  EXPECT_TRUE(q.Has(7, PR_ONLBTNDOWN));
  q.RemoveLevel(1);
  EXPECT_EQ(q.Size(), 1u);
  q.FirstPending()->level = 2;
  q.RemoveRunning();
  EXPECT_EQ(q.Size(), 0u);
}

}  // namespace
}  // namespace kova
