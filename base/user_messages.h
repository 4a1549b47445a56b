// Telling the user things: a message with a title, shown as a message box by the dialog and
// written as one line by programs without one. Every layer that finds a problem the user must
// hear about says it through this interface, never by printing.
#pragma once

namespace orichalcumite {

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // Shows `text` under `title` and returns when the user has seen it (at once where nobody
  // waits for an answer).
  virtual void tell(const char* title, const char* text) = 0;
};

}  // namespace orichalcumite
