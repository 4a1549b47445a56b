// A module file as the host reads it before loading any code: the ELF section holding the
// PIPL, the PIPL itself and its enable expressions. Any bytes either give a PIPL or are refused
// with a reason; no step may read outside what it was given.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "app/elf_sections.h"
#include "app/enable_expression.h"
#include "fuzz/fuzz_support.h"
#include "protocol/filter_protocol.h"
#include "resources/plugin_resources.h"

using namespace orichalcumite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto section = elfSection(std::span(data, size), ps::kPiplSectionName, &error);
  if (!section) {
    if (error.empty()) fuzz::broken("no section, and no reason");
    return 0;
  }
  if (section->data() < data || section->data() + section->size() > data + size)
    fuzz::broken("the section lies outside the file");
  const auto pipl = parsePipl(*section, &error);
  if (!pipl) {
    if (error.empty()) fuzz::broken("no PIPL, and no reason");
    return 0;
  }
  for (const std::string& expression : pipl->enableExpressions) {
    for (const EnableContext context : {EnableContext{1, 8}, EnableContext{3, 16}}) {
      std::string why;
      (void)evaluateEnableExpression(expression, context, &why);
    }
  }
  return 0;
}
