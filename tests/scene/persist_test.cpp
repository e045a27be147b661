#include <gtest/gtest.h>

#include "common/error.h"
#include "scene/box.h"
#include "scene/scene.h"

namespace kova {
namespace {

TKovaBox* NewBox(TKovaBaseList& s, const std::string& name, TKovaControl* parent = nullptr) {
  auto* b = s.Make<TKovaBox>();
  b->SetParent(parent ? parent : &s.ActiveScreen());
  b->SetName(name);
  return b;
}

Bytes Save(const TKovaBaseList& s) {
  ByteWriter w;
  s.SaveToStream(w);
  return w.Take();
}

void Load(TKovaBaseList& s, const Bytes& b, int version = kSceneDataVersion) {
  ByteReader r(std::span<const uint8_t>(b), "save.dat");
  s.LoadFromStream(r, version, 0);
}

// A scene with nesting, handlers, a queued event, a focused control and the second screen.
void Fill(TKovaBaseList& s) {
  auto* a = NewBox(s, "a");
  a->SetBounds(1, 2, 30, 40);
  a->SetColor(0x123456);
  a->SetPriority(5);
  a->SetSubPriority(2);
  a->SetTag("tagged");
  a->SetProp(PR_ALPHA, PropValue::Int(300));
  a->SetProp(PR_BORDERWIDTH, PropValue::Int(2));
  a->SetProp(PR_ONLBTNDOWN, PropValue::Str("p.ksb:down"));
  a->SetProp(PR_ONKEYUP, PropValue::Str("k.ksb"));
  a->SetProp(PR_CLIPWIDTH, PropValue::Int(9));
  a->SetProp(PR_PLUSY, PropValue::Int(-4));
  a->SetHandleKey(true);
  auto* b = NewBox(s, "b", a);
  b->SetProp(PR_ONIDLE, PropValue::Str("idle.ksb"));
  b->SetProp(PR_PAUSED, PropValue::Bool(true));
  NewBox(s, "c", b)->SetVisible(false);
  NewBox(s, "other", &s.GetScreen(1));
  // Not saved: scrapped objects and internal names.
  NewBox(s, "gone")->Scrap();
  NewBox(s, "x")->SetNameRaw("\x01internal");
  s.Events().Post(a->Id(), "p.ksb:down", {"3", "4"}, PR_ONLBTNDOWN);
  s.SetFocus(a);
}

TEST(ScenePersistence, RoundTripIsByteExact) {
  TKovaBaseList s(320, 240);
  Fill(s);
  const Bytes saved = Save(s);
  TKovaBaseList t(320, 240);
  NewBox(t, "old");
  Load(t, saved);
  EXPECT_EQ(Save(t), saved);
  EXPECT_EQ(t.FindObjectByName("old"), nullptr);
  auto* a = dynamic_cast<TKovaBox*>(t.FindObjectByName("a"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->ScreenRect(), (Rect{1, -2, 31, 38}));
  EXPECT_EQ(a->GetSubPriority(), 2);
  EXPECT_EQ(a->GetTag(), "tagged");
  EXPECT_EQ(a->GetProp(PR_ALPHA).i, 300);
  EXPECT_EQ(t.Focus(), a);
  EXPECT_EQ(t.FindObjectByName("c")->AsControl()->Parent()->GetName(), "b");
  EXPECT_EQ(t.FindObjectByName("other")->AsControl()->Screen(), &t.GetScreen(1));
  ASSERT_EQ(t.Events().Size(), 1u);
  EXPECT_EQ(t.Events().Items().front().sender, a->Id());
  EXPECT_EQ(t.Events().Items().front().args, (std::vector<std::string>{"3", "4"}));
  EXPECT_EQ(t.GetObjectCount(), 4);
}

TEST(ScenePersistence, DamagedRecordsFailAndKeepTheRunningScene) {
  TKovaBaseList s(320, 240);
  Fill(s);
  const Bytes saved = Save(s);
  TKovaBaseList t(320, 240);
  NewBox(t, "keep");
  const Bytes before = Save(t);
  // Every truncation fails cleanly.
  for (size_t n = 0; n < saved.size(); ++n) {
    Bytes cut(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_THROW(Load(t, cut), FormatError) << n;
  }
  EXPECT_EQ(Save(t), before);
  ASSERT_NE(t.FindObjectByName("keep"), nullptr);

  struct Patch {
    size_t at;
    uint32_t value;
    const char* what;
  };
  const Patch patches[] = {
      {0, 321, "size"},
      {8, 2, "active screen"},
      {8, 0xFFFFFFFF, "active screen"},
  };
  for (const Patch& p : patches) {
    Bytes bad = saved;
    for (int i = 0; i < 4; ++i)
      bad[p.at + i] = static_cast<uint8_t>(p.value >> (8 * i));
    try {
      Load(t, bad);
      ADD_FAILURE() << p.what;
    } catch (const FormatError& e) {
      EXPECT_NE(e.What().find(p.what), std::string::npos) << e.What();
    }
  }
  EXPECT_EQ(Save(t), before);
}

TEST(ScenePersistence, TypeCodesAreChecked) {
  TKovaBaseList s(32, 24);
  NewBox(s, "a");
  Bytes saved = Save(s);
  // The box's type byte follows screen 0's child count; find it by the name that follows it.
  const std::string marker(
      "\x01\x00\x00\x00"
      "a",
      5);
  auto it = std::search(saved.begin(), saved.end(), marker.begin(), marker.end());
  ASSERT_NE(it, saved.end());
  const size_t typeAt = static_cast<size_t>(it - saved.begin()) - 1;
  ASSERT_EQ(saved[typeAt], LT_BOX);
  TKovaBaseList t(32, 24);
  for (uint8_t code : {0, 1, 10, 15, 28, 127}) {
    Bytes bad = saved;
    bad[typeAt] = code;
    EXPECT_THROW(Load(t, bad), FormatError) << int(code);
  }
  // The high bit is masked off.
  Bytes high = saved;
  high[typeAt] = LT_BOX | 0x80;
  Load(t, high);
  EXPECT_NE(t.FindObjectByName("a"), nullptr);
}

TEST(ScenePersistence, NestingDepthLimit) {
  for (int depth : {kMaxSceneDepth, kMaxSceneDepth + 1}) {
    TKovaBaseList s(32, 24);
    TKovaControl* p = &s.ActiveScreen();
    for (int i = 0; i < depth; ++i)
      p = NewBox(s, "n" + std::to_string(i), p);
    const Bytes saved = Save(s);
    TKovaBaseList t(32, 24);
    if (depth <= kMaxSceneDepth) {
      Load(t, saved);
      EXPECT_EQ(t.GetObjectCount(), depth);
    } else {
      EXPECT_THROW(Load(t, saved), FormatError);
      EXPECT_EQ(t.GetObjectCount(), 0);
    }
  }
}

// A control record as version 103 wrote it: no sub-priority, tag, plus, clip, key handlers.
void Control103(ByteWriter& w, const std::string& name, Rect r, int children) {
  WriteSceneString(w, name);
  w.I32(7);  // priority
  for (int32_t v : {r.left, r.top, r.Width(), r.Height(), 0, 0})
    w.I32(v);
  w.U8(0);  // PosZoomed
  w.U8(1);  // Visible
  w.I32(0x0000FF);
  for (int32_t v : {0, 0, 1, 1})
    w.I32(v);
  w.U8(0);  // IgnoreMouse
  WriteSceneString(w, "");
  WriteSceneString(w, "move.ksb");  // OnMouseMove
  WriteSceneString(w, "in.ksb");    // OnMouseIn, stored since 102
  for (int i = 0; i < 7; ++i)
    WriteSceneString(w, "");
  w.I32(children);
}

TEST(ScenePersistence, OldVersionsLeaveNewerFieldsAtCreationValues) {
  ByteWriter w;
  w.I32(64);
  w.I32(48);
  w.I32(1);
  Control103(w,
             "\x01"
             "BASE0",
             {0, 0, 64, 48}, 1);
  w.U8(LT_BOX);
  Control103(w, "old", {10, 20, 40, 60}, 0);
  w.I32(0);    // border width
  w.I32(-1);   // border colour
  w.I32(255);  // alpha
  Control103(w,
             "\x01"
             "BASE1",
             {0, 0, 64, 48}, 0);
  w.I32(0);  // components
  w.I32(1);  // one queued event, level as a byte
  WriteSceneString(w, "h.ksb");
  WriteSceneString(w, "old");
  w.U8(PR_ONMOUSEMOVE);
  w.U8(1);
  w.I32(0);
  const Bytes data = w.Take();
  TKovaBaseList t(64, 48);
  ByteReader r(std::span<const uint8_t>(data), "old.dat");
  t.LoadFromStream(r, 103, 0);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(t.ActiveIndex(), 1);
  auto* old = t.FindParent("old");
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->GetPriority(), 7);
  EXPECT_EQ(old->GetSubPriority(), 0);
  EXPECT_EQ(old->GetTag(), "");
  EXPECT_EQ(old->Handler(PR_ONMOUSEMOVE), "move.ksb");
  EXPECT_EQ(old->Handler(PR_ONMOUSEIN), "in.ksb");
  EXPECT_EQ(old->Handler(PR_ONKEYDOWN), "");
  EXPECT_FALSE(old->HandleKey());
  EXPECT_EQ(old->ScreenRect(), (Rect{10, 20, 40, 60}));
  EXPECT_EQ(old->GetProp(PR_ONIDLE).s, "");
  ASSERT_EQ(t.Events().Size(), 1u);
  EXPECT_EQ(t.Events().Items().front().level, 1);
}

}  // namespace
}  // namespace kova
