#include "host/console_messages.h"

#include <cstdio>

namespace orichalcumite {

void ConsoleMessages::tell(const char* title, const char* text) {
  std::fprintf(stderr, "Orichalcumite: %s: %s\n", title, text);
}

UserMessages& moduleMessages() {
  static ConsoleMessages messages;
  return messages;
}

}  // namespace orichalcumite
