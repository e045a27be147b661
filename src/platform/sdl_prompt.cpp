#include "platform/sdl_prompt.h"

#include <SDL.h>

#include <string>

#include "common/cp932.h"

namespace kova {

bool SdlPrompt::Available() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

PromptAnswer SdlPrompt::Ask(std::string_view text, std::string_view caption, PromptIcon icon,
                            PromptButtons buttons) {
  const std::string message = cp932::ToUtf8(text);
  const std::string title = cp932::ToUtf8(caption);
  const SDL_MessageBoxButtonData ok = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "OK"};
  const SDL_MessageBoxButtonData cancel = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0,
                                           "キャンセル"};
  const SDL_MessageBoxButtonData both[] = {ok, cancel};
  SDL_MessageBoxData data{};
  data.flags = icon == PromptIcon::kWarning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
  data.title = title.c_str();
  data.message = message.c_str();
  data.numbuttons = buttons == PromptButtons::kOkCancel ? 2 : 1;
  data.buttons = both;
  int pressed = 0;
  // A box that cannot be shown answers Cancel, then OK, ... as a headless run does, so every
  // prompt loop ends.
  if (SDL_ShowMessageBox(&data, &pressed) != 0) {
    failedOk_ = !failedOk_;
    return failedOk_ ? PromptAnswer::kCancel : PromptAnswer::kOk;
  }
  return pressed == 1 ? PromptAnswer::kOk : PromptAnswer::kCancel;
}

}  // namespace kova
