#include <gtest/gtest.h>

#include <set>

#include "common/error.h"
#include "expr/value.h"
#include "scene/box.h"
#include "scene/props.h"
#include "scene/scene.h"

namespace kova {
namespace {

// A non-visual component standing in for the timer and sound types.
class FakeComponent : public TKovaComponent {
 public:
  FakeComponent(TKovaBaseList* o, int type) : TKovaComponent(o), type_(type) {}
  int GetCompoType() const override { return type_; }

 private:
  int type_;
};

TEST(PropCatalogue, EveryCodeHasItsOwnNameAndTheCreationOrderIsAPermutation) {
  std::set<std::string> names;
  for (int c = 0; c < kPropCount; ++c) {
    const PropInfo& p = PropInfoOf(c);
    EXPECT_EQ(p.code, c);
    EXPECT_EQ(PropCodeByName(p.name), c) << p.name;
    names.insert(p.name);
  }
  EXPECT_EQ(names.size(), 162u);
  EXPECT_EQ(PropCodeByName("pr_left"), PR_LEFT);
  EXPECT_EQ(PropCodeByName("PR_NOSUCH"), -1);
  EXPECT_EQ(PropInfoOf(PR_FONTHOVERCOLOR).label, std::string("マウスオーバー時の\r\nフォント色"));

  std::set<int> seen(CreationOrder().begin(), CreationOrder().end());
  EXPECT_EQ(seen.size(), 162u);
  // Name and parent first, then source, zoom, PosZoomed, size, position.
  const std::vector<int> head = {0, 1, 2, 7, 132, 100, 5, 6, 3, 4, 8};
  for (size_t i = 0; i < head.size(); ++i)
    EXPECT_EQ(CreationOrder()[i], head[i]);
  for (int c : {78, 79, 92, 93, 138, 140, 159, 160, 161})
    EXPECT_TRUE(SkippedAtCreation(c)) << c;
  EXPECT_FALSE(SkippedAtCreation(PR_LEFT));
  EXPECT_THROW(PropInfoOf(162), Error);
}

TEST(PropCatalogue, DeclaredAndAccessKindsDifferWhereTheTableSaysSo) {
  EXPECT_EQ(PropInfoOf(PR_ONPLAYING).declared, kPropBool);
  EXPECT_EQ(PropInfoOf(PR_ONPLAYING).access, kPropStr);
  EXPECT_EQ(PropInfoOf(PR_HANDLEKEY).declared, kPropInt);
  EXPECT_EQ(PropInfoOf(PR_HANDLEKEY).access, kPropBool);
  EXPECT_EQ(PropInfoOf(PR_PARAM2).declared, kPropFloat);
  EXPECT_EQ(PropInfoOf(PR_COLOR).emptyCreate, PropValue::Int(-1));
  EXPECT_EQ(PropInfoOf(PR_VOLUME).emptyCreate, PropValue::Int(1000));
  EXPECT_EQ(PropInfoOf(PR_VISIBLE).emptyCreate, PropValue::Bool(true));
  EXPECT_FALSE(PropInfoOf(PR_CARETX).emptyCreate.has_value());
}

TEST(PropCatalogue, SupportTable) {
  struct Case {
    int type, code;
    bool supports, writes;
  };
  const Case cases[] = {
      {LT_BOX, PR_ALPHA, true, true},         {LT_BOX, PR_ZOOMX, false, false},
      {LT_BOX, PR_TAG, true, true},           {LT_BOX, PR_PLUSX, true, true},
      {LT_TIMER, PR_LEFT, false, false},      {LT_TIMER, PR_DELAY, true, true},
      {LT_HTTP, PR_TEXT, true, false},        {LT_MES, PR_TEXT, true, true},
      {LT_IMAGES, PR_COUNT, true, false},     {LT_FIRE, PR_ORIGWIDTH, true, true},
      {LT_IMAGES, PR_ORIGWIDTH, true, false}, {LT_TILE, PR_REPEAT, true, false},
      {LT_IMAGES, PR_REPEAT, true, true},     {LT_CABINET, PR_COMPOTYPE, true, false},
      {LT_CABINET, PR_SOURCE, false, false},  {LT_MES, PR_CARETX, true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TypeSupports(c.type, c.code), c.supports) << c.type << " " << c.code;
    EXPECT_EQ(TypeWrites(c.type, c.code), c.writes) << c.type << " " << c.code;
  }
  for (int t = 0; t < kObjectTypeCount; ++t)
    EXPECT_FALSE(TypeSupports(t, PR_COLCOUNT));
  EXPECT_TRUE(IsControlType(LT_BOX));
  EXPECT_TRUE(IsControlType(LT_CABINET));
  EXPECT_FALSE(IsControlType(LT_SOUND));
  EXPECT_FALSE(IsControlType(LT_MAP));
  EXPECT_EQ(ObjectTypeName(LT_BOX), "矩形サーフェス");
}

TEST(PropDispatch, UnsupportedCodesReadTheDefaultsAndIgnoreWrites) {
  TKovaBaseList scene(64, 48);
  auto* box = scene.Make<TKovaBox>();
  auto* timer = scene.Make<FakeComponent>(LT_TIMER);
  auto* sound = scene.Make<FakeComponent>(LT_SOUND);
  TParamInt i;
  GetPropByCode(*box, PR_ZOOMX, i);
  EXPECT_EQ(i.AsInt(), 256);
  GetPropByCode(*box, PR_INDEX, i);
  EXPECT_EQ(i.AsInt(), -1);
  GetPropByCode(*timer, PR_ALPHA, i);
  EXPECT_EQ(i.AsInt(), 255);
  GetPropByCode(*sound, PR_COLOR, i);
  EXPECT_EQ(i.AsInt(), 0xFFFFFF);
  GetPropByCode(*sound, PR_COMPOTYPE, i);
  EXPECT_EQ(i.AsInt(), LT_SOUND);
  GetPropByCode(*box, PR_COMPOTYPE, i);
  EXPECT_EQ(i.AsInt(), LT_BOX);
  TParamInt v;
  v.SetInt(99);
  SetPropByCode(*box, PR_ZOOMX, v);
  GetPropByCode(*box, PR_ZOOMX, i);
  EXPECT_EQ(i.AsInt(), 256);
  // OrigWidth of a type without it reads the width.
  SetPropByCode(*box, PR_WIDTH, v);
  GetPropByCode(*box, PR_ORIGWIDTH, i);
  EXPECT_EQ(i.AsInt(), 99);
  TParamFlag f;
  GetPropByCode(*box, PR_REWINDONLOAD, f);
  EXPECT_TRUE(f.AsBool());
}

TEST(PropDispatch, ErrorsAndSpecialCodes) {
  TKovaBaseList scene(64, 48);
  auto* box = scene.Make<TKovaBox>();
  TParamInt i;
  for (int bad : {-1, 162, 255}) {
    try {
      GetPropByCode(*box, bad, i);
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "GetPropエラー");
    }
    try {
      SetPropByCode(*box, bad, i);
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "SetPropエラー");
    }
  }
  EXPECT_THROW(SetPropByCode(*box, PR_APPEARX, i), Error);
  EXPECT_THROW(SetPropByCode(*box, PR_APPEARY, i), Error);
  i.SetInt(7);
  GetPropByCode(*box, PR_APPEARX, i);
  EXPECT_EQ(i.AsInt(), 0);

  // Read-only codes are ignored on write.
  i.SetInt(5);
  SetPropByCode(*box, PR_COMPOTYPE, i);
  GetPropByCode(*box, PR_COMPOTYPE, i);
  EXPECT_EQ(i.AsInt(), LT_BOX);

  // A handler string read into a flag converts; into a string it copies.
  TParamStr s;
  s.SetStr("page.ksb:label");
  SetPropByCode(*box, PR_ONLBTNDOWN, s);
  TParamStr out;
  GetPropByCode(*box, PR_ONLBTNDOWN, out);
  EXPECT_EQ(out.AsStr(), "page.ksb:label");
  // HandleKey is declared integer but read and written as a flag.
  i.SetInt(5);
  SetPropByCode(*box, PR_HANDLEKEY, i);
  TParamInt hk;
  GetPropByCode(*box, PR_HANDLEKEY, hk);
  EXPECT_EQ(hk.AsInt(), 1);
  EXPECT_EQ(box->GetProp(PR_HANDLEKEY).kind, kPropBool);
}

TEST(PropDispatch, PriorityKeepsSubPriorityOnlyWhenUnchanged) {
  TKovaBaseList scene(64, 48);
  auto* box = scene.Make<TKovaBox>();
  box->SetParent(&scene.ActiveScreen());
  TParamInt p;
  p.SetInt(3);
  SetPropByCode(*box, PR_PRIORITY, p);
  box->SetSubPriority(9);
  SetPropByCode(*box, PR_PRIORITY, p);
  EXPECT_EQ(box->GetSubPriority(), 9);
  p.SetInt(4);
  SetPropByCode(*box, PR_PRIORITY, p);
  EXPECT_EQ(box->GetSubPriority(), 0);
  EXPECT_EQ(box->GetPriority(), 4);
}

TEST(PropDispatch, NameParentAndPlus) {
  TKovaBaseList scene(64, 48);
  auto* a = scene.Make<TKovaBox>();
  auto* b = scene.Make<TKovaBox>();
  a->SetParent(&scene.ActiveScreen());
  TParamStr s;
  s.SetStr("alpha");
  SetPropByCode(*a, PR_NAME, s);
  s.SetStr("");
  SetPropByCode(*a, PR_NAME, s);  // an empty name is ignored
  EXPECT_EQ(a->GetName(), "alpha");
  s.SetStr("alpha");
  SetPropByCode(*b, PR_PARENT, s);
  EXPECT_EQ(b->Parent(), a);
  s.SetStr("nobody");
  SetPropByCode(*b, PR_PARENT, s);  // unresolved: unchanged
  EXPECT_EQ(b->Parent(), a);
  s.SetStr("");
  SetPropByCode(*b, PR_PARENT, s);  // empty: the active screen
  EXPECT_EQ(b->Parent(), &scene.ActiveScreen());
  TParamStr out;
  GetPropByCode(*b, PR_PARENT, out);
  EXPECT_EQ(out.AsStr(),
            "\x01"
            "BASE0");
  // Screens ignore parents.
  s.SetStr("alpha");
  SetPropByCode(scene.ActiveScreen(), PR_PARENT, s);
  EXPECT_EQ(scene.ActiveScreen().Parent(), nullptr);
  TParamInt i;
  i.SetInt(12);
  SetPropByCode(*b, PR_PLUSX, i);
  EXPECT_EQ(b->ScreenLeft(), 12);
}

}  // namespace
}  // namespace kova
