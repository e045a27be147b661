#include "scene/scene_commands.h"

#include "common/error.h"
#include "expr/sysfunc.h"
#include "scene/box.h"
#include "scene/scene.h"
#include "script/callman.h"

namespace kova {
namespace {

TKovaBaseList* SceneOf(TCallMan& cm) {
  return dynamic_cast<TKovaBaseList*>(&cm.H().scene);
}

std::string StrOf(const TCustomParam* v) {
  return v ? v->AsStr() : std::string();
}

// Applies a creating command's property list in the fixed creation order; a property whose
// expression gives no value takes its empty creation parameter.
void ApplyCreationProps(TCallMan& cm, const PropExprs* exprs, TKovaObject& obj,
                        TKovaBaseList& scene) {
  if (exprs) {
    for (uint8_t code : CreationOrder()) {
      const std::optional<PageExpr>& e = (*exprs)[code];
      if (!e || SkippedAtCreation(code)) continue;
      const TCustomParam* v = cm.Eval(*e);
      const PropInfo& info = PropInfoOf(code);
      PropValue pv = v ? PropFromParam(code, *v) : info.emptyCreate.value_or(info.unsupported);
      if (code == PR_NAME) {
        if (!pv.s.empty()) obj.SetName(pv.s);
      } else if (code == PR_PARENT) {
        if (TKovaControl* c = obj.AsControl()) {
          TKovaControl* p = scene.FindParent(pv.s);
          c->SetParent(p ? p : &scene.ActiveScreen());
        }
      } else {
        obj.SetProp(code, pv);
      }
    }
  }
  obj.Invalidate();
}

// A command that creates an object of type T and applies its property list.
template <typename T>
class TComCreate : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    TKovaBaseList* scene = SceneOf(cm);
    if (!scene) {
      cm.Note(std::string(Info().name) + ": no scene");
      return;
    }
    T* obj = scene->Make<T>();
    const auto* props = std::get_if<std::shared_ptr<PropExprs>>(&Field(0));
    ApplyCreationProps(cm, props ? props->get() : nullptr, *obj, *scene);
  }
};

// The object a command names, and the property code it gives.
TKovaObject* TargetOf(TCallMan& cm, TKovaBaseList& scene, const PageExpr& e) {
  return scene.FindObjectByName(StrOf(cm.Eval(e)));
}
int32_t PropCodeOf(TCallMan& cm, const PageExpr& e) {
  const TCustomParam* v = cm.Eval(e);
  if (!v) throw Error(kBadPropSpec);
  return v->AsInt();
}

class TComGetProp : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    TKovaBaseList* scene = SceneOf(cm);
    TKovaObject* o = scene ? TargetOf(cm, *scene, ExprField(0)) : nullptr;
    if (!o) return;
    const int32_t code = PropCodeOf(cm, ExprField(1));
    const std::string& var = StrField(2);
    if (var.empty()) return;
    if (TParamCollectionItem* item = cm.H().vars.FindItem(var))
      GetPropByCode(*o, code, item->Value());
  }
};

class TComSetProp : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    TKovaBaseList* scene = SceneOf(cm);
    TKovaObject* o = scene ? TargetOf(cm, *scene, ExprField(0)) : nullptr;
    if (!o) return;
    const int32_t code = PropCodeOf(cm, ExprField(1));
    if (const TCustomParam* v = cm.Eval(ExprField(2))) SetPropByCode(*o, code, *v);
  }
};

class TComObjDel : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    TKovaBaseList* scene = SceneOf(cm);
    const std::string name = StrOf(cm.Eval(ExprField(0)));
    if (!scene || name.empty()) return;
    TKovaObject* o = scene->FindObjectByName(name);
    // The screens live as long as the scene; a script cannot delete them.
    if (o && !(o->AsControl() && o->AsControl()->IsScreen())) o->Scrap();
  }
};

template <typename T>
CommandFactory::Maker MakerOf() {
  return [](TPage& p, const CommandInfo& i) { return std::make_unique<T>(p, i); };
}

}  // namespace

void RegisterSceneCommands(CommandFactory& f) {
  f.Register(8, MakerOf<TComCreate<TKovaBox>>());
  f.Register(17, MakerOf<TComGetProp>());
  f.Register(18, MakerOf<TComSetProp>());
  f.Register(19, MakerOf<TComObjDel>());
}

void RegisterSceneFunctions(TSysFuncMan& funcs, TKovaBaseList& scene) {
  funcs.SetPropertyTypes([](int id) { return IsPropCode(id) ? PropInfoOf(id).declared : 1; });
  funcs.Register(kFnGetProp, [&scene](FuncCall& c) {
    TKovaObject* o = scene.FindObjectByName(c.Arg(0).AsStr());
    const int32_t id = c.Arg(1).AsInt();
    if (!IsPropCode(id)) throw Error(kGetPropError);
    if (o) GetPropByCode(*o, id, c.D());
  });
  funcs.Register(kFnSetProp, [&scene](FuncCall& c) {
    TKovaObject* o = scene.FindObjectByName(c.Arg(0).AsStr());
    const int32_t id = c.Arg(1).AsInt();
    if (!IsPropCode(id)) throw Error(kSetPropError);
    if (o) SetPropByCode(*o, id, c.Arg(2));
  });
  funcs.Register(FindFunction("Exists"), [&scene](FuncCall& c) {
    const std::string name = c.Arg(0).AsStr();
    c.D().SetBool(!name.empty() && scene.FindObjectByName(name) != nullptr);
  });
}

}  // namespace kova
