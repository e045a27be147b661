// The interpreter: runs pages one frame at a time. A waiting command keeps its index and runs
// again next frame; scene events start handler pages between commands, nesting on the call
// stack.
#pragma once

#include <cstdint>
#include <cstdio>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "common/lists.h"
#include "expr/params.h"
#include "expr/sysfunc.h"
#include "script/page.h"

namespace kova {

class TVrFileManager;
struct TitleDiscInfo;

// One queued scene event: the handler to run, its arguments and the object that sent it.
// Objects are named by id, checked against the scene on use.
struct QueuedEvent {
  std::string handler;
  std::vector<std::string> args;
  uint32_t sender = 0;
  int32_t level = 0;  // 0: pending; otherwise the nesting level of its running handler
  uint8_t code = 0;   // property code of the handler that posted it (duplicate checks, saves)
};

// The scene's event queue as the interpreter sees it.
class EventQueue {
 public:
  virtual ~EventQueue() = default;
  virtual QueuedEvent* FirstPending() = 0;
  virtual void RemoveLevel(int32_t level) = 0;
  virtual void RemoveRunning() = 0;
  virtual void Remove(const QueuedEvent& e) = 0;
  virtual void Clear() = 0;
  // The interpreter runs the record's handler at that nesting level.
  virtual void Start(QueuedEvent& e, int32_t level) { e.level = level; }
};

// A plain queue for titles without a scene, and for tests.
class SimpleEventQueue : public EventQueue {
 public:
  void Post(QueuedEvent e) { events_.push_back(std::move(e)); }
  QueuedEvent* FirstPending() override;
  void RemoveLevel(int32_t level) override;
  void RemoveRunning() override;
  void Remove(const QueuedEvent& e) override;
  void Clear() override { events_.clear(); }
  size_t Size() const { return events_.size(); }

 private:
  std::list<QueuedEvent> events_;
};

// What the interpreter asks of the scene; without a scene every object is unknown.
class SceneLink {
 public:
  virtual ~SceneLink() = default;
  virtual std::string ObjectName(uint32_t id) { return {}; }
  virtual uint32_t FindObject(std::string_view name) { return 0; }
  virtual void Reset() {}
};

// The shell's values that scripts read: play time and the frame.
struct ShellClock {
  int32_t gameClock = 0;
  int32_t frameDelta = 0;
  int32_t frameCount = 0;
  bool terminating = false;
};

// The command trace: "%.8x : PAGE(LINE)" per command, events and errors.
class Trace {
 public:
  explicit Trace(std::FILE* out = nullptr) : out_(out) {}
  bool On() const { return out_ != nullptr; }
  void Command(int32_t clock, const std::string& page, int32_t line, const void* cmd);
  void Event(int32_t clock, const std::string& page, int32_t line);
  void Error(int32_t clock, const std::string& page, int32_t line, const std::string& message);
  void Note(int32_t clock, const std::string& text);

 private:
  std::FILE* out_;
  const void* last_ = nullptr;
};

// Requests the project carries out at the end of the frame.
struct PendingRequests {
  int32_t load = -1;
  int32_t save = -1;
  std::string savePage, saveCaption;
  int32_t savePosition = 0;
};

struct TStack {
  std::string pageName;
  int32_t index = 0;
  bool entered = false;
  std::string resultVar;
  TArrayString args;
  uint32_t sender = 0;
  bool runOn = false;
  std::unique_ptr<Bytes> state;
  std::unique_ptr<TCustomParam> result;
};

class TCallMan {
 public:
  static constexpr int kMaxPages = 10;
  static constexpr size_t kMaxDepth = 10000;
  static constexpr int64_t kFrameBudget = 10000000;
  enum RunStateCode : int32_t { kMain = 0, kHandler = 1, kDispatch = 2, kNested = 3 };

  struct Host {
    TParamCollection& vars;
    TSysFuncMan& funcs;
    TVrFileManager& files;
    EventQueue& events;
    SceneLink& scene;
    ShellClock& clock;
    const TitleDiscInfo& disc;
    PendingRequests& pending;
    Trace& trace;
  };

  explicit TCallMan(Host host);
  ~TCallMan();

  TPage* Restart(const std::string& page);
  void Run();
  TPage& GetPage(const std::string& name, bool makeCurrent);

  // Evaluates an expression field; nothing when it gives no value.
  const TCustomParam* Eval(const PageExpr& e);
  bool Condition(const PageExpr& e);  // no value or true
  bool IsTrue(const PageExpr& e);     // a value that is true
  bool EnsureFile(const std::string& name);

  int ArgCount() const { return args_.Count(); }
  std::string Arg(int i) const { return i >= 0 && i < args_.Count() ? args_.Get(i) : ""; }
  std::string SenderName();
  TCustomParam* TopResult() const;
  size_t Depth() const { return stack_.size(); }

  // Pushes a call frame; false (and a trace line) past the depth limit.
  bool PushFrame(std::unique_ptr<TStack> frame);
  void SetArgs(TArrayString a) { args_ = std::move(a); }
  const TArrayString& Args() const { return args_; }
  uint32_t Sender() const { return sender_; }
  bool& RunOnFlag() { return runOn_; }
  std::vector<std::unique_ptr<TStack>>& Stack() { return stack_; }
  void ClearStack();
  TPage* CurrentPage() const { return page_; }
  int32_t CommandIndex() const { return index_; }
  int32_t RunState() const { return runState_; }
  void SetPosition(TPage* page, int32_t index) { page_ = page, index_ = index, entered_ = false; }
  Host& H() { return host_; }
  std::vector<std::unique_ptr<TPage>>& Pages() { return pages_; }

  void Note(const std::string& text) { host_.trace.Note(host_.clock.gameClock, text); }
  // Commands one frame may run before the frame is cut short (runaway scripts).
  void SetFrameBudget(int64_t n) { frameBudget_ = n; }

 private:
  enum class StepResult { kContinue = 0, kReturnedToMain = 1, kEnded = 2, kReturnedInHandler = -1 };
  struct OneResult {
    bool left = false;
    bool endsTurn = false;
  };
  OneResult ExecuteOne();
  int Step();
  int StartEvent(int32_t level);
  void SetScope() { host_.vars.currentScope = static_cast<int32_t>(stack_.size()); }

  Host host_;
  std::vector<std::unique_ptr<TPage>> pages_;
  TPage* page_ = nullptr;
  int32_t index_ = 0;
  bool runOn_ = false;
  bool entered_ = false;
  TArrayString args_;
  int32_t runState_ = kMain;
  uint32_t sender_ = 0;
  int32_t levelCount_ = 2;
  std::vector<std::unique_ptr<TStack>> stack_;
  int64_t budget_ = 0;
  int64_t frameBudget_ = kFrameBudget;
};

}  // namespace kova
