// The commands of the `orichalcumite` program. Each returns the process exit code and writes
// its one-line messages to stderr.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace orichalcumite {

constexpr int kExitDone = 0;
constexpr int kExitModuleError = 1;  // the module reported an error
constexpr int kExitBadInput = 2;     // bad usage, unreadable input or unusable module
constexpr int kExitCancelled = 130;  // Ctrl-C, or the module's dialog was cancelled

struct RenderRequest {
  std::string input;
  std::string output;
  std::string selection;              // empty: no selection
  std::vector<std::string> settings;  // "NAME=VALUE" in command-line order
  std::string action;                 // action file to play, or empty
  std::string record;                 // action file to write, or empty
  std::string preset;                 // settings file to play as the effect, or empty
  std::string savePreset;             // .q5q preset to write after a successful run, or empty
  std::string psd;                    // layered PSD document to write after the run, or empty
  bool last = false;                  // no descriptor: the module's own last settings
  std::string plugin;                 // module path, or empty for the one beside the program
  std::string environment;            // environment picture file, or empty
  std::string texture;                // texture picture file (selects "texture file"), or empty
  bool quiet = false;
  bool dialog = false;
  bool timing = false;  // report how long reading, filtering and writing took
};

int renderCommand(const RenderRequest& request, const std::atomic<bool>& cancel);
int infoCommand(const std::string& plugin);
int aboutCommand(const std::string& plugin, const std::atomic<bool>& cancel);

// Orichalcumite.8bf in the folder of the running program.
std::string defaultModulePath();

// Prints "orichalcumite: <message>" on stderr.
void printError(const std::string& message);

}  // namespace orichalcumite
