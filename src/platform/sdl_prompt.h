// Questions shown as message boxes on the desktop.
#pragma once

#include "common/prompt.h"

namespace kova {

class SdlPrompt : public Prompt {
 public:
  // True when message boxes can be shown (a display is there).
  static bool Available();
  PromptAnswer Ask(std::string_view cp932Text, std::string_view cp932Caption, PromptIcon icon,
                   PromptButtons buttons) override;

 private:
  bool failedOk_ = false;
};

}  // namespace kova
