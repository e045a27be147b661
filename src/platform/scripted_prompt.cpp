#include "platform/scripted_prompt.h"

#include "common/cp932.h"

namespace kova {

PromptAnswer ScriptedPrompt::Ask(std::string_view text, std::string_view caption, PromptIcon,
                                 PromptButtons buttons) {
  ++asked_;
  PromptAnswer a = PromptAnswer::kOk;
  if (buttons == PromptButtons::kOkCancel) {
    if (!answers_.empty()) {
      a = answers_.front();
      answers_.pop_front();
    } else {
      a = nextOk_ ? PromptAnswer::kOk : PromptAnswer::kCancel;
      nextOk_ = !nextOk_;
    }
  }
  if (log_)
    std::fprintf(log_, "prompt [%s] %s -> %s\n", cp932::ToUtf8(caption).c_str(),
                 cp932::ToUtf8(text).c_str(), a == PromptAnswer::kOk ? "OK" : "Cancel");
  return a;
}

}  // namespace kova
