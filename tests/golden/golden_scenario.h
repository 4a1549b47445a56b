// Golden-image scenarios: each folder under tests/golden/ holds input.png, action.json (the
// settings, as an action file) and expected.png. The test compares a fresh render with
// expected.png; the bless program (scripts/bless-goldens.sh) is the only thing that writes it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/image.h"

namespace orichalcumite::golden {

// The scenario folder names under `root`, sorted: every sub-folder holding an action.json.
std::vector<std::string> scenarioNames(const std::string& root);

// One render of a small grey picture with the factory settings, result discarded. The plug-in
// keeps its texture tile from run to run within a process, and building the tile draws from
// the run's random sequence; so the first run of a process renders textures and weathering
// differently from every later run with the same seed. The expected pictures were rendered
// after earlier runs in the same process: the test and the bless program both call this once
// before their first scenario so that every scenario renders in that state, alone or not.
// Returns false, with the reason, when the render fails.
bool warmUpPlugin(std::string* error);

// Renders the scenario in `folder` in-process through the host core and the plug-in, with a
// fixed random seed. Nothing, with the reason in `*error`, when a file is missing or damaged or
// the filter fails.
std::optional<Image> renderScenario(const std::string& folder, std::string* error);

}  // namespace orichalcumite::golden
