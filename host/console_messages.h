// Messages to the user while the plug-in has no window of its own: one line on standard error
// per message.
#pragma once

#include "base/user_messages.h"

namespace orichalcumite {

class ConsoleMessages final : public UserMessages {
 public:
  void tell(const char* title, const char* text) override;
};

// The module's messages.
UserMessages& moduleMessages();

}  // namespace orichalcumite
