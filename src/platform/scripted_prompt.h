// The prompt of headless runs: answers come from a list given on the command line. When the
// list runs out the answers alternate Cancel, OK, ... so every prompt loop of the player ends
// (Cancel leaves "insert the disc", OK confirms "quit").
#pragma once

#include <cstdio>
#include <deque>

#include "common/prompt.h"

namespace kova {

class ScriptedPrompt : public Prompt {
 public:
  // `log` (may be null) receives one line per question, in UTF-8.
  explicit ScriptedPrompt(std::deque<PromptAnswer> answers = {}, std::FILE* log = nullptr)
      : answers_(std::move(answers)), log_(log) {}

  PromptAnswer Ask(std::string_view text, std::string_view caption, PromptIcon icon,
                   PromptButtons buttons) override;
  int Asked() const { return asked_; }

 private:
  std::deque<PromptAnswer> answers_;
  std::FILE* log_;
  bool nextOk_ = false;
  int asked_ = 0;
};

}  // namespace kova
