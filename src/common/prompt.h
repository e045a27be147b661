// Questions the player asks the user (insert a disc, quit?). A window shows message boxes; a
// headless run answers from a script. Texts are CP932, as titles give them.
#pragma once

#include <string_view>

namespace kova {

enum class PromptAnswer { kOk, kCancel };
enum class PromptIcon { kInformation, kWarning, kQuestion };
enum class PromptButtons { kOk, kOkCancel };

class Prompt {
 public:
  virtual ~Prompt() = default;
  virtual PromptAnswer Ask(std::string_view cp932Text, std::string_view cp932Caption,
                           PromptIcon icon, PromptButtons buttons) = 0;
};

}  // namespace kova
