// Reading action files of many items: the time should grow in step with the item count.
#include <benchmark/benchmark.h>

#include <string>

#include "app/action_file.h"

namespace {

// An action file of `count` long items with distinct printable keys.
std::string actionTextOf(int64_t count) {
  // Printable ASCII without the two characters a JSON string would need to escape.
  std::string alphabet;
  for (char c = ' '; c <= '~'; ++c)
    if (c != '"' && c != '\\') alphabet += c;
  const auto base = static_cast<int64_t>(alphabet.size());
  std::string text = "{\"descriptor\": [";
  for (int64_t i = 0; i < count; ++i) {
    std::string key(4, ' ');
    for (int64_t k = 3, n = i; k >= 0; --k, n /= base) key[size_t(k)] = alphabet[size_t(n % base)];
    text += i ? ",\n" : "\n";
    text += "{\"key\": \"" + key + "\", \"type\": \"long\", \"value\": " + std::to_string(i) + "}";
  }
  return text + "]}\n";
}

void parseItems(benchmark::State& state) {
  const std::string text = actionTextOf(state.range(0));
  for (auto _ : state) {
    std::string error;
    auto descriptor = orichalcumite::parseActionText(text, &error);
    if (!descriptor) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(descriptor);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(parseItems)
    ->Arg(20000)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
