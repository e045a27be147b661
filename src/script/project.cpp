#include "script/project.h"

#include "common/cp932.h"
#include "vfs/archive.h"

namespace kova {

int32_t ScriptSysVars::ReadInt(int index) {
  switch (index) {
    case kSysTickCount:
      return clock_.gameClock;
    case kSysUpdateCount:
      return clock_.frameCount;
    case kSysStackCount:
      return cm_ ? static_cast<int32_t>(cm_->Depth()) : 0;
    case kSysParamCount:
      return cm_ ? cm_->ArgCount() : 0;
    case kSysScrWidth:
      return project_ ? project_->screenWidth : 0;
    case kSysScrHeight:
      return project_ ? project_->screenHeight : 0;
    default:
      return SysVarHost::ReadInt(index);
  }
}

std::string ScriptSysVars::ReadStr(int index) {
  switch (index) {
    case kSysSender:
      return cm_ ? cm_->SenderName() : std::string();
    case kSysTitle:
      return project_ ? project_->title : std::string();
    default:
      return SysVarHost::ReadStr(index);
  }
}

int ScriptSysVars::ListCount(int index) {
  if (index == kSysParamStr) return cm_ ? cm_->ArgCount() : 0;
  return SysVarHost::ListCount(index);
}

std::string ScriptSysVars::ListItem(int index, int i) {
  if (index == kSysParamStr) return cm_ ? cm_->Arg(i) : std::string();
  return SysVarHost::ListItem(index, i);
}

namespace {
std::string Sjis(const char* utf8) {
  return cp932::FromUtf8(utf8).value_or(utf8);
}
}  // namespace

TProject::TProject(TVrFileManager& files, TParamCollection& vars, TSysFuncMan& funcs,
                   EventQueue& events, SceneLink& scene, ShellClock& clock, Trace& trace,
                   const ProjectOptions& options)
    : files_(files),
      vars_(vars),
      funcs_(funcs),
      events_(events),
      scene_(scene),
      clock_(clock),
      trace_(trace),
      options_(options) {
  clock_.terminating = true;
  disc_.title = Sjis("情報");
  ReadSaveTitles();
  try {
    Load();
  } catch (const std::exception& e) {
    Fail(e.what());
  }
}

TProject::~TProject() = default;

void TProject::Load() {
  if (!options_.folderGiven && !LocateTitleData(files_, options_.exeFolder, disc_))
    return Fail("the title's data was not found (install.dat)");

  Bytes data;
  try {
    data = files_.Load("kova.kpb");
  } catch (const Error& e) {
    return Fail(std::string("cannot read the project file: ") + e.what());
  }
  if (data.empty()) {
    files_.Prompter().Ask(Sjis("プロジェクトがありません"), Sjis("警告"), PromptIcon::kWarning,
                          PromptButtons::kOk);
    return Fail("プロジェクトがありません");
  }
  try {
    ByteReader r(data, "kova.kpb");
    file_.Read(r);
  } catch (const FormatError& e) {
    return Fail(std::string("the project file is damaged: ") + e.what());
  }
  if (file_.screenWidth < 1 || file_.screenWidth > 16384 || file_.screenHeight < 1 ||
      file_.screenHeight > 16384)
    return Fail("the project's screen size " + std::to_string(file_.screenWidth) + "x" +
                std::to_string(file_.screenHeight) + " is outside 1..16384");

  disc_.title = file_.title;
  if (!file_.discPrompt.empty()) disc_.discText = file_.discPrompt;
  if (!file_.exitPrompt.empty()) disc_.exitText = file_.exitPrompt;
  disc_.streamedExtensions = file_.streamedExtensions;
  disc_.folders = file_.folders;

  for (const ProjectVar& v : file_.vars) {
    if (v.type < 1 || v.type > 4) {
      trace_.Note(0, "project variable " + cp932::ToUtf8(v.name) + " has unknown type " +
                         std::to_string(v.type) + ": skipped");
      continue;
    }
    if (vars_.FindItem(v.name)) continue;  // restored from the status data: keeps its value
    auto item = TParamCollection::NewItem(v.type);
    try {
      item->SetValidName(v.name);
    } catch (const Error& e) {
      trace_.Note(0, std::string("project variable skipped: ") + e.what());
      continue;
    }
    item->status = true;
    TCustomParam& value = item->Value();
    switch (v.type) {
      case 1:
        value.SetInt(v.intValue);
        break;
      case 2:
        value.SetFloat(v.floatValue);
        break;
      case 3:
        value.SetBool(v.flagValue != 0);
        break;
      case 4:
        value.SetStr(v.strValue);
        break;
    }
    vars_.AddItem(std::move(item));
  }

  // A title may carry the folder list of its original build.
  if (files_.Exists("/original_kova.kpb")) {
    disc_.folders = TFolderDiskList();
    try {
      const Bytes original = files_.Load("/original_kova.kpb");
      ByteReader r(original, "/original_kova.kpb");
      ProjectFile o;
      o.Read(r);
      disc_.folders = o.folders;
    } catch (const Error&) {
    }
  }

  clock_.terminating = false;
  callMan_ = std::make_unique<TCallMan>(
      TCallMan::Host{vars_, funcs_, files_, events_, scene_, clock_, disc_, pending_, trace_});
  if (!files_.Exists(file_.startPage)) {
    files_.Prompter().Ask(Sjis("スタートページがありません"), Sjis("警告"), PromptIcon::kWarning,
                          PromptButtons::kOk);
    return Fail("スタートページがありません: " + cp932::ToUtf8(file_.startPage));
  }
  try {
    callMan_->Restart(file_.startPage);
  } catch (const Error& e) {
    return Fail(e.what());
  }
}

void TProject::ReadSaveTitles() {
  saveTitles.clear();
  if (options_.saveFile.empty() || !std::filesystem::is_regular_file(options_.saveFile)) return;
  TVrFileCollection save;
  try {
    save.OpenArchive(options_.saveFile);
  } catch (const Error&) {
    return;
  }
  for (int i = 0; i < save.Count(); ++i) {
    const std::string& name = save.At(i).Name();
    if (name.rfind("GAMESAVEDATA", 0) != 0) continue;
    const std::string digits = name.substr(12);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
      continue;
    try {
      const Bytes entry = save.ReadEntryBytes(name);
      ByteReader r(entry, name);
      r.Skip(4);
      saveTitles.emplace_back(r.LpString(), std::stoi(digits));
    } catch (const Error&) {
    }
  }
}

void TProject::RunFrame() {
  if (callMan_ && !clock_.terminating) callMan_->Run();
}

bool TProject::ProcessPending() {
  bool loaded = false;
  if (pending_.load >= 0) {
    trace_.Note(clock_.gameClock, "GameLoad: not available yet");
    pending_.load = -1;
    loaded = true;
  }
  if (pending_.save >= 0) {
    trace_.Note(clock_.gameClock, "GameSave: not available yet");
    pending_.save = -1;
  }
  return loaded;
}

void TProject::RunExitPage() {
  if (exitRun_ || !callMan_ || file_.exitPage.empty()) return;
  exitRun_ = true;
  try {
    callMan_->Restart(file_.exitPage);
    clock_.terminating = false;
    callMan_->Run();
  } catch (const std::exception& e) {
    trace_.Error(clock_.gameClock, file_.exitPage, 0, e.what());
  }
  clock_.terminating = true;
}

}  // namespace kova
