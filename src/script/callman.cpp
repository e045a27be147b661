#include "script/callman.h"

#include <algorithm>

#include "common/cp932.h"
#include "vfs/file_manager.h"

namespace kova {

// ---- events ----

QueuedEvent* SimpleEventQueue::FirstPending() {
  for (auto& e : events_)
    if (e.level == 0) return &e;
  return nullptr;
}
void SimpleEventQueue::RemoveLevel(int32_t level) {
  events_.remove_if([&](const QueuedEvent& e) { return e.level == level; });
}
void SimpleEventQueue::RemoveRunning() {
  events_.remove_if([](const QueuedEvent& e) { return e.level > 0; });
}
void SimpleEventQueue::Remove(const QueuedEvent& ev) {
  events_.remove_if([&](const QueuedEvent& e) { return &e == &ev; });
}

// ---- trace ----

void Trace::Command(int32_t clock, const std::string& page, int32_t line, const void* cmd) {
  if (!out_ || cmd == last_) return;
  last_ = cmd;
  std::fprintf(out_, "%.8x : %s(%d)\n", static_cast<uint32_t>(clock), cp932::ToUtf8(page).c_str(),
               line);
}
void Trace::Event(int32_t clock, const std::string& page, int32_t line) {
  if (!out_) return;
  std::fprintf(out_, "%.8x : <Event>%s(%d)\n", static_cast<uint32_t>(clock),
               cp932::ToUtf8(page).c_str(), line);
}
void Trace::Error(int32_t clock, const std::string& page, int32_t line,
                  const std::string& message) {
  if (!out_) return;
  std::fprintf(out_, "%.8x : ERROR %s(%d): %s\n", static_cast<uint32_t>(clock),
               cp932::ToUtf8(page).c_str(), line, message.c_str());
}
void Trace::Note(int32_t clock, const std::string& text) {
  if (!out_) return;
  std::fprintf(out_, "%.8x : %s\n", static_cast<uint32_t>(clock), text.c_str());
}

// ---- interpreter ----

TCallMan::TCallMan(Host host) : host_(host) {}
TCallMan::~TCallMan() = default;

TPage& TCallMan::GetPage(const std::string& name, bool makeCurrent) {
  if (makeCurrent) index_ = 0;
  auto it = std::find_if(pages_.begin(), pages_.end(), [&](auto& p) { return p->Name() == name; });
  if (it == pages_.end()) {
    auto page = std::make_unique<TPage>(name);
    page->Load(host_.files.Load(name));
    pages_.push_back(std::move(page));
    it = pages_.end() - 1;
  }
  TPage* p = it->get();
  if (makeCurrent) {
    std::rotate(pages_.begin(), it, it + 1);
    // At most ten pages stay, most recently used first; the current page is never dropped.
    while (static_cast<int>(pages_.size()) > kMaxPages && pages_.back().get() != page_ &&
           pages_.back().get() != p)
      pages_.pop_back();
  }
  return *p;
}

TPage* TCallMan::Restart(const std::string& name) {
  page_ = &GetPage(name, true);
  index_ = 0;
  entered_ = false;
  args_.Clear();
  runState_ = kMain;
  ClearStack();
  sender_ = 0;
  for (int32_t level = 1; level <= levelCount_; ++level)
    host_.events.RemoveLevel(level);
  levelCount_ = 2;
  return page_;
}

void TCallMan::ClearStack() {
  stack_.clear();
  SetScope();
}

bool TCallMan::PushFrame(std::unique_ptr<TStack> frame) {
  if (stack_.size() >= kMaxDepth) {
    host_.trace.Error(host_.clock.gameClock, page_ ? page_->Name() : "", 0,
                      "call depth above " + std::to_string(kMaxDepth));
    return false;
  }
  stack_.push_back(std::move(frame));
  SetScope();
  return true;
}

const TCustomParam* TCallMan::Eval(const PageExpr& e) {
  if (!e.parser) return nullptr;
  e.parser->Evaluate(host_.vars, host_.funcs);
  return e.parser->Result();
}

bool TCallMan::Condition(const PageExpr& e) {
  const TCustomParam* r = Eval(e);
  return !r || r->AsBool();
}

bool TCallMan::IsTrue(const PageExpr& e) {
  const TCustomParam* r = Eval(e);
  return r && r->AsBool();
}

bool TCallMan::EnsureFile(const std::string& name) {
  return kova::EnsureFile(host_.files, name, host_.disc);
}

std::string TCallMan::SenderName() {
  if (runState_ == kMain || sender_ == 0) return {};
  return host_.scene.ObjectName(sender_);
}

TCustomParam* TCallMan::TopResult() const {
  return stack_.empty() ? nullptr : stack_.back()->result.get();
}

TCallMan::OneResult TCallMan::ExecuteOne() {
  OneResult out;
  if (!page_ || index_ < 0 || index_ >= page_->Count()) {
    out.left = true;
    return out;
  }
  TCommand& c = page_->At(index_);
  host_.trace.Command(host_.clock.gameClock, page_->Name(), c.line, &c);
  // Commands that fetch pages reset the interpreter's own index; compare against these.
  TPage* const startPage = page_;
  const int32_t startIndex = index_;
  TPage* page = page_;
  int32_t index = index_;
  try {
    if (!entered_) {
      if (c.IsDisabled()) {
        ++index_;
        return out;
      }
      c.Begin(*this);
      entered_ = true;
    }
    runOn_ = c.GetRunOn();
    out.endsTurn = c.EndsTurn();
    c.Execute(*this, page, index);
  } catch (const std::exception& e) {
    host_.trace.Error(host_.clock.gameClock, startPage->Name(), c.line, e.what());
  }
  index_ = startIndex;
  if (page != startPage || index != startIndex) {
    entered_ = false;
  } else {
    // A command that stays ends the turn whatever its flag says; it runs again next frame.
    out.endsTurn = true;
    runOn_ = false;
  }
  if (!page) {
    out.left = true;
    return out;
  }
  page_ = page;
  index_ = index;
  return out;
}

int TCallMan::Step() {
  if (!page_) return 0;
  const OneResult one = ExecuteOne();
  const int result = one.endsTurn ? 2 : 0;
  if (!one.left) return result;
  if (stack_.empty()) {
    runOn_ = false;
    return result;
  }
  host_.vars.FreeOwned(static_cast<int32_t>(stack_.size()));
  std::unique_ptr<TStack> frame = std::move(stack_.back());
  stack_.pop_back();
  SetScope();
  if (!frame->resultVar.empty() && frame->result) {
    if (TParamCollectionItem* v = host_.vars.FindItem(frame->resultVar)) {
      try {
        v->Value().AssignConverted(*frame->result);
      } catch (const Error& e) {
        host_.trace.Note(host_.clock.gameClock, std::string("result not assigned: ") + e.what());
      }
    }
  }
  try {
    page_ = &GetPage(frame->pageName, true);
  } catch (const std::exception& e) {
    host_.trace.Error(host_.clock.gameClock, frame->pageName, 0, e.what());
    page_ = nullptr;
  }
  index_ = frame->index;
  entered_ = frame->entered;
  runOn_ = frame->runOn;
  args_ = std::move(frame->args);
  sender_ = frame->sender;
  if (frame->state && page_ && index_ >= 0 && index_ < page_->Count()) {
    ByteReader r(*frame->state, "command state");
    try {
      page_->At(index_).LoadState(r);
    } catch (const std::exception& e) {
      host_.trace.Error(host_.clock.gameClock, page_->Name(), page_->At(index_).line, e.what());
    }
  }
  if (sender_ == 0) return 1;
  return result == 0 ? -1 : result;
}

int TCallMan::StartEvent(int32_t level) {
  if (entered_ && page_ && index_ >= 0 && index_ < page_->Count() &&
      page_->At(index_).BlocksEvents())
    return 0;
  QueuedEvent* ev = host_.events.FirstPending();
  if (!ev) return 0;
  const HandlerName hn = SplitHandlerName(ev->handler);
  // The handler's page must load before anything changes; a handler that cannot run is
  // dropped, so it cannot hold up every later event.
  TPage* target = nullptr;
  try {
    if (EnsureFile(hn.page)) target = &GetPage(hn.page, false);
  } catch (const std::exception& e) {
    host_.trace.Error(host_.clock.gameClock, hn.page, 0, e.what());
  }
  if (!target) {
    host_.trace.Note(host_.clock.gameClock, "event dropped: " + cp932::ToUtf8(ev->handler));
    host_.events.Remove(*ev);
    return 0;
  }
  auto frame = std::make_unique<TStack>();
  frame->pageName = page_ ? page_->Name() : std::string();
  frame->index = index_;
  frame->entered = entered_;
  frame->args = args_;
  frame->sender = sender_;
  frame->runOn = runOn_;
  if (entered_ && page_ && index_ >= 0 && index_ < page_->Count()) {
    ByteWriter w;
    page_->At(index_).SaveState(w);
    frame->state = std::make_unique<Bytes>(w.Take());
  }
  if (!PushFrame(std::move(frame))) {
    host_.events.Remove(*ev);
    return 0;
  }
  page_ = &GetPage(hn.page, true);
  index_ = hn.label.empty() ? 0 : std::max(page_->FindLabel(hn.label), 0);
  host_.trace.Event(host_.clock.gameClock, page_->Name(),
                    index_ < page_->Count() ? page_->At(index_).line : 0);
  entered_ = false;
  host_.events.Start(*ev, level);
  args_.Clear();
  for (const auto& a : ev->args)
    args_.Add(a);
  sender_ = ev->sender;
  runState_ = kHandler;
  return 1;
}

void TCallMan::Run() {
  budget_ = frameBudget_;
  do {
    switch (runState_) {
      case kMain:
        if (!StartEvent(1)) Step();
        break;
      case kHandler: {
        const int r = Step();
        if (r == 1) {
          host_.events.RemoveLevel(1);
          runState_ = kMain;
          runOn_ = true;
        } else if (r == 2) {
          levelCount_ = 2;
          runState_ = kDispatch;
          return;
        }
        break;
      }
      case kDispatch:
        if (StartEvent(levelCount_)) {
          ++levelCount_;
          runState_ = kNested;
        } else {
          runState_ = levelCount_ > 2 ? kNested : kHandler;
        }
        break;
      case kNested: {
        const int r = Step();
        if (r == 1 || r == -1) {
          --levelCount_;
          host_.events.RemoveLevel(levelCount_);
          if (levelCount_ <= 2) runState_ = kDispatch;
        } else if (r == 2) {
          runState_ = kDispatch;
          return;
        }
        break;
      }
      default:
        runState_ = kMain;
    }
    if (--budget_ <= 0) {
      host_.trace.Error(host_.clock.gameClock, page_ ? page_->Name() : "", 0,
                        "more than " + std::to_string(frameBudget_) + " commands in one frame");
      return;
    }
  } while ((runOn_ || runState_ != kMain) && !host_.clock.terminating);
}

}  // namespace kova
