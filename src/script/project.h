// The loaded title: its settings from `kova.kpb`, its global variables, and the interpreter
// positioned at the start page. It lives from start-up to shutdown.
#pragma once

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "expr/params.h"
#include "expr/sysfunc.h"
#include "script/callman.h"
#include "script/project_file.h"
#include "vfs/file_manager.h"

namespace kova {

// The system variables the interpreter and the shell own. Later subsystems (scene, input,
// display) extend this host.
class ScriptSysVars : public SysVarHost {
 public:
  ScriptSysVars(ShellClock& clock, long double startDate) : clock_(clock), startDate_(startDate) {}
  void Attach(TCallMan* cm, const ProjectFile* project) { cm_ = cm, project_ = project; }

  TCustomParam* ResultVar() override { return cm_ ? cm_->TopResult() : nullptr; }
  int32_t ReadInt(int index) override;
  std::string ReadStr(int index) override;
  int ListCount(int index) override;
  std::string ListItem(int index, int i) override;
  // Play time on top of the start date: a run's dates do not depend on the wall clock.
  long double Now() override { return startDate_ + clock_.gameClock / 86400000.0L; }
  uint32_t PCTickCount() override { return static_cast<uint32_t>(clock_.gameClock); }

 private:
  ShellClock& clock_;
  long double startDate_;
  TCallMan* cm_ = nullptr;
  const ProjectFile* project_ = nullptr;
};

struct ProjectOptions {
  // A folder was named on the command line: the title's data is not searched for.
  bool folderGiven = false;
  std::filesystem::path exeFolder;
  std::filesystem::path saveFile;
};

class TProject {
 public:
  // Loads the title. Failure leaves `Failed()` with a message and clock.terminating true.
  TProject(TVrFileManager& files, TParamCollection& vars, TSysFuncMan& funcs, EventQueue& events,
           SceneLink& scene, ShellClock& clock, Trace& trace, const ProjectOptions& options);
  ~TProject();

  bool Failed() const { return !error_.empty(); }
  const std::string& FailureMessage() const { return error_; }
  const ProjectFile& File() const { return file_; }
  TCallMan* CallMan() { return callMan_.get(); }
  PendingRequests& Pending() { return pending_; }
  const TitleDiscInfo& DiscInfo() const { return disc_; }

  void RunFrame();
  // Carries out a requested game load, then a requested game save; true when a load ran.
  bool ProcessPending();
  // Runs the exit page once (at shutdown).
  void RunExitPage();

  // Captions of the game saves in save.dat, by slot.
  std::vector<std::pair<std::string, int32_t>> saveTitles;
  void ReadSaveTitles();

 private:
  void Load();
  void Fail(const std::string& message) {
    error_ = message;
    clock_.terminating = true;
  }

  TVrFileManager& files_;
  TParamCollection& vars_;
  TSysFuncMan& funcs_;
  EventQueue& events_;
  SceneLink& scene_;
  ShellClock& clock_;
  Trace& trace_;
  ProjectOptions options_;
  ProjectFile file_;
  TitleDiscInfo disc_;
  PendingRequests pending_;
  std::unique_ptr<TCallMan> callMan_;
  std::string error_;
  bool exitRun_ = false;
};

}  // namespace kova
