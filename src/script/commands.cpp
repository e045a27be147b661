// The control-flow and variable commands.
#include <cstring>

#include "common/cp932.h"
#include "script/callman.h"

namespace kova {

namespace {

using Maker = CommandFactory::Maker;

template <typename T>
Maker MakerOf() {
  return [](TPage& p, const CommandInfo& i) { return std::make_unique<T>(p, i); };
}

int32_t IntOf(const TCustomParam* v) {
  return v ? v->AsInt() : 0;
}

// Commands of the part of the player not built yet: they load, advance and say so in the trace.
class TUnavailable : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    cm.Note(std::string(Info().name) + ": not available yet");
    ++index;
  }
};

class TComIf : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*& page, int32_t& index) override {
    ++index;
    if (cm.IsTrue(ExprField(0))) return;
    const TPage& p = Page();
    for (; index < p.Count(); ++index) {
      const TCommand& c = p.At(index);
      if (c.indent < indent) return;
      if (c.indent > indent) continue;
      if (c.GetCode() == 2) {  // Else: into its block
        ++index;
        return;
      }
      if (c.GetCode() != 1) return;
      if (cm.IsTrue(c.ExprField(0))) {  // a true Elseif: into its block
        ++index;
        return;
      }
    }
  }
};

// Elseif and Else reached by falling out of a taken block: skip their own block.
class TComSkipBlock : public TCommand {
 public:
  using TCommand::TCommand;
  bool GetRunOn() const override { return GetCode() == 2 ? true : runOn; }
  void Execute(TCallMan&, TPage*&, int32_t& index) override {
    ++index;
    while (index < Page().Count() && Page().At(index).indent > indent)
      ++index;
  }
};

class TComLabel : public TCommand {
 public:
  using TCommand::TCommand;
  bool MatchesLabel(std::string_view name) const override { return StrField(0) == name; }
};

class TComComment : public TCommand {
 public:
  using TCommand::TCommand;
  bool GetRunOn() const override { return false; }
  bool IsDisabled() const override { return true; }
};

class TComJump : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*& page, int32_t& index) override {
    ++index;
    const std::string& target = StrField(0);
    if (!cm.IsTrue(ExprField(2)) || !cm.EnsureFile(target)) return;
    cm.GetPage(target, false);  // a page that cannot load leaves everything as it was
    page = &cm.GetPage(target, true);
    index = IntField(1);
  }
};

class TComCall : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*& page, int32_t& index) override {
    ++index;
    const std::string& target = StrField(0);
    if (!cm.IsTrue(ExprField(3)) || !cm.EnsureFile(target)) return;
    TPage& called = cm.GetPage(target, false);
    TArrayString args;
    for (const PageExpr& e : std::get<std::vector<PageExpr>>(Field(4)))
      if (const TCustomParam* v = cm.Eval(e)) args.Add(v->AsStr());
    auto frame = std::make_unique<TStack>();
    frame->pageName = page->Name();
    frame->index = index;
    frame->resultVar = StrField(2);
    frame->runOn = cm.RunOnFlag();
    frame->sender = cm.Sender();
    frame->args = cm.Args();
    frame->result =
        NewParam(called.ReturnType() >= 1 && called.ReturnType() <= 4 ? called.ReturnType() : 1);
    if (!cm.PushFrame(std::move(frame))) return;
    cm.SetArgs(std::move(args));
    page = &cm.GetPage(target, true);
    index = IntField(1);
  }
};

class TComExit : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*& page, int32_t& index) override {
    if (cm.IsTrue(ExprField(0)))
      page = nullptr;
    else
      ++index;
  }
};

class TComBreak : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*& page, int32_t& index) override {
    if (!cm.IsTrue(ExprField(0))) {
      ++index;
    } else if (IntField(1) < 0) {
      page = nullptr;
    } else {
      index = IntField(1);
    }
  }
};

class TComContinue : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*& page, int32_t& index) override {
    ++index;
    if (!cm.IsTrue(ExprField(0))) return;
    if (IntField(1) < 0)
      page = nullptr;
    else
      index = IntField(1);
  }
};

class TComWhile : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    if (!cm.IsTrue(ExprField(0))) index = IntField(1);
  }
};

class TComWhileInit : public TCommand {
 public:
  using TCommand::TCommand;
  bool GetRunOn() const override { return true; }
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    cm.Eval(ExprField(0));
  }
};

class TComWhileLoop : public TCommand {
 public:
  using TCommand::TCommand;
  bool GetRunOn() const override { return true; }
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    index = IntField(1);
    cm.Eval(ExprField(0));
  }
};

// Reads the "kova100" tag of a command state; version 0 when absent.
int StateVersion(ByteReader& r) {
  if (r.Left() >= 7) {
    const size_t at = r.Pos();
    if (r.Match("kova")) {
      const std::string digits = r.Str(3);
      int v = 0;
      for (char ch : digits)
        v = v * 10 + (ch >= '0' && ch <= '9' ? ch - '0' : 0);
      return v;
    }
    r.Seek(at);
  }
  return 0;
}

class TComWait : public TCommand {
 public:
  using TCommand::TCommand;
  bool EndsTurn() const override { return true; }
  bool BlocksEvents() const override { return block_; }
  void Begin(TCallMan& cm) override {
    remaining_ = IntOf(cm.Eval(ExprField(1)));
    skip_ = 1;
    const TCustomParam* b = cm.Eval(ExprField(2));
    block_ = b && b->AsBool();
  }
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    if (!cm.Condition(ExprField(0))) {
      ++index;
      return;
    }
    if (remaining_ != 0) {
      if (skip_ <= 0) {
        remaining_ -= cm.H().clock.frameDelta;
        if (remaining_ <= 0) {
          ++index;
          return;
        }
      } else {
        --skip_;
      }
    }
    cm.RunOnFlag() = false;
  }
  void SaveState(ByteWriter& w) const override {
    w.Raw("kova100");
    w.I32(remaining_);
    w.I32(skip_);
    w.U8(block_);
  }
  void LoadState(ByteReader& r) override {
    const int v = StateVersion(r);
    remaining_ = r.I32();
    skip_ = r.I32();
    block_ = v >= 100 ? r.U8() != 0 : false;
  }

 private:
  int32_t remaining_ = 0;
  int32_t skip_ = 1;
  bool block_ = false;
};

class TComDoEvent : public TCommand {
 public:
  using TCommand::TCommand;
  bool GetRunOn() const override { return false; }
  bool EndsTurn() const override { return true; }
};

class TComCalc : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    cm.Eval(ExprField(0));
  }
};

class TComVarNew : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    const std::string& name = StrField(0);
    if (name.empty()) throw Error("変数名がありません");
    const int type = ByteField(1);
    const int scope = ByteField(3);
    TParamCollection& vars = cm.H().vars;
    TParamCollectionItem* v = vars.FindScoped(name, scope == 2);
    if (!v) {
      v = &vars.NewVariable(name, type, scope);
    } else if (v->status) {
      return;
    }
    if (const TCustomParam* init = cm.Eval(ExprField(2))) {
      std::unique_ptr<TCustomParam> converted = NewParam(type >= 1 && type <= 4 ? type : 1);
      converted->AssignConverted(*init);
      v->Value().AssignConverted(*converted);
    }
  }
};

class TComVarDel : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    if (TParamCollectionItem* v = cm.H().vars.FindItem(StrField(0))) cm.H().vars.FreeItem(v);
  }
};

class TComGameSave : public TCommand {
 public:
  using TCommand::TCommand;
  bool GetRunOn() const override { return false; }
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    PendingRequests& p = cm.H().pending;
    p.save = IntOf(cm.Eval(ExprField(0)));
    p.savePage = StrField(1);
    p.savePosition = IntField(2);
    const TCustomParam* caption = cm.Eval(ExprField(3));
    p.saveCaption = caption ? caption->AsStr() : "";
  }
};

class TComGameLoad : public TCommand {
 public:
  using TCommand::TCommand;
  bool GetRunOn() const override { return false; }
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    cm.H().pending.load = IntOf(cm.Eval(ExprField(0)));
  }
};

class TComPCReset : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*& page, int32_t& index) override {
    const std::string& target = StrField(0);
    const int32_t targetIndex = IntField(1);
    cm.GetPage(target, false);  // the target must load before anything is reset
    TParamCollection& vars = cm.H().vars;
    auto& stack = cm.Stack();
    const int32_t depth = static_cast<int32_t>(stack.size());
    if (ByteField(2)) {
      for (int32_t d = depth; d >= 0; --d)
        vars.FreeOwned(d);
      for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if ((*it)->sender != 0 || !(*it)->entered) continue;
        try {
          TPage& p = cm.GetPage((*it)->pageName, false);
          if ((*it)->index >= 0 && (*it)->index < p.Count()) p.At((*it)->index).Abort(cm);
        } catch (const Error&) {
        }
      }
      page = cm.Restart(target);
      index = targetIndex;
      cm.H().events.Clear();
      return;
    }
    vars.FreeOwned(depth);
    int32_t k = -1;
    for (int32_t i = 0; i < depth; ++i)
      if (stack[static_cast<size_t>(i)]->sender != 0) {
        k = i;
        break;
      }
    // Inside a handler by the run state, whatever became of its sender.
    if (k < 0 && cm.RunState() != TCallMan::kMain) k = depth;
    if (k > 0) {
      TStack& f = *stack[static_cast<size_t>(k - 1)];
      vars.FreeOwned(k - 1);
      f.pageName = target;
      f.index = targetIndex;
      f.entered = false;
      f.resultVar.clear();
      f.args.Clear();
      f.state.reset();
      ++index;
    } else {
      page = &cm.GetPage(target, true);
      index = targetIndex;
    }
    cm.H().events.RemoveRunning();
  }
};

class TComReset : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*& page, int32_t& index) override {
    const std::string& target = StrField(0);
    cm.GetPage(target, false);
    cm.H().scene.Reset();
    cm.H().vars.ClearGameVars();
    page = cm.Restart(target);
    index = IntField(1);
  }
};

class TComTerminate : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan& cm, TPage*&, int32_t& index) override {
    ++index;
    cm.H().clock.terminating = true;
  }
};

}  // namespace

std::unique_ptr<TCommand> MakeUnavailableCommand(TPage& page, const CommandInfo& info) {
  return std::make_unique<TUnavailable>(page, info);
}

void RegisterControlCommands(CommandFactory& f) {
  f.Register(0, MakerOf<TComIf>());
  f.Register(1, MakerOf<TComSkipBlock>());
  f.Register(2, MakerOf<TComSkipBlock>());
  f.Register(3, MakerOf<TComLabel>());
  f.Register(4, MakerOf<TComJump>());
  f.Register(5, MakerOf<TComCall>());
  f.Register(6, MakerOf<TComExit>());
  f.Register(7, MakerOf<TComWait>());
  f.Register(14, MakerOf<TComCalc>());
  f.Register(15, MakerOf<TComVarNew>());
  f.Register(16, MakerOf<TComVarDel>());
  f.Register(27, MakerOf<TComComment>());
  f.Register(31, MakerOf<TComWhile>());
  f.Register(32, MakerOf<TComWhileInit>());
  f.Register(33, MakerOf<TComWhileLoop>());
  f.Register(34, MakerOf<TComBreak>());
  f.Register(35, MakerOf<TComContinue>());
  f.Register(38, MakerOf<TComGameSave>());
  f.Register(39, MakerOf<TComGameLoad>());
  f.Register(40, MakerOf<TComPCReset>());
  f.Register(41, MakerOf<TComReset>());
  f.Register(45, MakerOf<TComTerminate>());
  f.Register(46, MakerOf<TComDoEvent>());
}

}  // namespace kova
