// What the scene needs from the shell to show mouse cursors: one custom cursor slot, the
// system arrow, and the title's default cursor file. The shell plugs it in at start-up.
#pragma once

#include <string>

namespace kova {

class CursorHost {
 public:
  virtual ~CursorHost() = default;
  // Loads the named cursor file (a title file name, CP932) into the custom slot. False when it
  // cannot be loaded; the slot then keeps what it held.
  virtual bool LoadCursor(const std::string& file) = 0;
  // Shows the custom slot (true) or the system arrow (false).
  virtual void ShowCustom(bool custom) = 0;
  // The cursor file for objects that name none; empty for the arrow.
  virtual std::string DefaultCursor() = 0;
};

}  // namespace kova
