// orichalcumite: applies a filter module to an image file from the command line.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "app/commands.h"
#include "app/gallery_commands.h"
#include "app/image_files.h"
#include "app/preset_commands.h"
#include "app/preset_refresh_command.h"
#include "base/utf8_text.h"

namespace {

using namespace orichalcumite;

std::atomic<bool> gCancel{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void onInterrupt(int) { gCancel.store(true); }

void installInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

constexpr const char* kUsage = R"(Usage:
  orichalcumite render INPUT -o OUTPUT [options]
  orichalcumite info [--plugin MODULE]
  orichalcumite about [--plugin MODULE]
  orichalcumite preset show FILE [--json]
  orichalcumite preset thumbnail FILE -o OUTPUT
  orichalcumite presets refresh FOLDER --image IMAGE
  orichalcumite gallery presets FOLDER -o PAGE.html [--open]
  orichalcumite gallery pictures FOLDER -o PAGE.html [--open]
  orichalcumite gallery dots -o PAGE.html --image IMAGE [--open]
  orichalcumite --help

render applies the filter module to INPUT and writes OUTPUT in the format its name asks
for, with the bit depth of INPUT (8- or 16-bit integer or 32-bit float; grey or RGB, with or
without alpha). An image with alpha is filtered with its transparency protected: the alpha
is written back unchanged.

Options of render:
  -o, --output FILE       the image to write (required)
  --selection MASK        a grey image of the same size: the part to filter (white) and the
                          part to leave alone (black); any depth
  --set NAME=VALUE        a setting by its scripting name (any case) or four-character key,
                          for example --set "glue=screendim" --set radius=40
                          --set "light 2 X=0.25" --set 0075=true; may be repeated
  --action FILE           play the settings of an action file (--set adds to or overrides them)
  --environment PICTURE   the picture the surface reflects (any image file)
  --texture PICTURE       a picture as the texture tile; selects the texture choice
                          "texture file" (only its top-left 256 x 256 pixels are used)
  --preset FILE           play a preset (.q5q, or the older .q9q) as the effect (--set adds to
                          or overrides it)
  --last                  let the module use the effect it used last (its own cached settings)
                          instead of the factory effect; cannot be combined with --set,
                          --action, --preset, --environment or --texture
  --save-preset FILE.q5q  after a successful run, save the effect it used as a preset with a
                          128 x 128 thumbnail of the result
  --psd FILE.psd          after a successful run, also write the effect as a layered PSD
                          document (one layer "layer 1" over the input image's selection,
                          and a composite over a checkerboard) at the input's bit depth
  --record FILE           write the settings the module used as an action file
  --dialog                let the module show its dialog with a live preview, starting from
                          the effect the other options give; OK renders with the effect shown,
                          Cancel ends the run with exit code 130 and writes nothing. Needs a
                          display (DISPLAY or WAYLAND_DISPLAY)
  --plugin MODULE         the filter module (default: Orichalcumite.8bf beside this program)
  --quiet                 no progress bar
  --timing                report how long reading, filtering and writing took, and how
                          many cores the filter kept busy
Without --last every run starts from the factory effect, so a command gives the same result
whatever ran before.

info lists the module's properties and every setting with its key, type, range and default,
and every enumeration with its names and codes. about shows the module's about box.

preset show prints what a settings file (.q5q or .q9q preset, memory dot, cached settings)
holds: its version and every setting by its scripting name (--json: as one JSON object).
preset thumbnail writes the preview stored in such a file as an image (-o OUTPUT, in the
format its name asks for); a file without one is bad input.

presets refresh gives every preset in FOLDER (each file whose name holds "q5q" or "q9q", in
any case) a new 128 x 128 thumbnail of its effect rendered over the centre square of IMAGE,
and writes it back in the current format; a ".q9q" preset is then renamed to ".q5q" unless
that name is taken. Read-only presets and files that cannot be read are left exactly as they
were. It prints one line per preset and a summary; it exits with 1 when any preset could not
be read, rendered, written or renamed, and uses neither the module nor its saved state.

gallery writes an HTML page of framed thumbnails and, beside it, the folder web_images with
the thumbnails and frame images: presets shows every .q5q preset of FOLDER with its stored
preview and two lines on its glue mode, bevel, texture and environment; pictures shows every
picture file of FOLDER (.psd, .bmp, .jpg, .jpeg, .png, .gif, .tif); dots renders each stored
memory dot's effect over IMAGE (reduced to 300 pixels on its larger side). Files that cannot
be shown keep their cell and are named in a warning. --open opens the page in the desktop's
browser (xdg-open).

Exit codes: 0 done, 1 the module reported an error, 2 bad usage or unreadable input,
130 cancelled.
)";

int usageError(const std::string& message) {
  printError(message + " (see orichalcumite --help)");
  return kExitBadInput;
}

// Walks the arguments of a command: "--name value", "--name=value" and flags.
class Arguments {
 public:
  Arguments(int argc, char** argv, int first) : argc_(argc), argv_(argv), next_(first) {}

  bool done() const { return next_ >= argc_; }
  std::string_view current() const { return argv_[next_]; }

  // True when the current argument is the option `name` (or `shortName`); its value then
  // goes to `*value`, or an error to `*error`.
  bool option(std::string_view name, std::string_view shortName, std::string* value,
              std::string* error) {
    std::string_view arg = current();
    if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
      *value = std::string(arg.substr(name.size() + 1));
      ++next_;
      return true;
    }
    if (arg != name && (shortName.empty() || arg != shortName)) return false;
    if (next_ + 1 >= argc_) {
      *error = std::string(arg) + " needs a value";
      ++next_;
      return true;
    }
    *value = argv_[next_ + 1];
    next_ += 2;
    return true;
  }

  bool flag(std::string_view name) {
    if (current() != name) return false;
    ++next_;
    return true;
  }

  std::string take() { return argv_[next_++]; }

 private:
  int argc_;
  char** argv_;
  int next_;
};

int render(int argc, char** argv) {
  RenderRequest request;
  Arguments args(argc, argv, 2);
  std::string value, error;
  std::vector<std::string> positional;
  while (!args.done()) {
    if (args.flag("--help") || args.flag("-h")) {
      std::fputs(kUsage, stdout);
      return kExitDone;
    }
    if (args.flag("--quiet")) {
      request.quiet = true;
    } else if (args.flag("--timing")) {
      request.timing = true;
    } else if (args.flag("--dialog")) {
      request.dialog = true;
    } else if (args.option("--output", "-o", &value, &error)) {
      request.output = value;
    } else if (args.option("--selection", "", &value, &error)) {
      request.selection = value;
    } else if (args.option("--set", "", &value, &error)) {
      request.settings.push_back(value);
    } else if (args.option("--action", "", &value, &error)) {
      request.action = value;
    } else if (args.flag("--last")) {
      request.last = true;
    } else if (args.option("--preset", "", &value, &error)) {
      request.preset = value;
    } else if (args.option("--save-preset", "", &value, &error)) {
      request.savePreset = value;
    } else if (args.option("--psd", "", &value, &error)) {
      request.psd = value;
    } else if (args.option("--record", "", &value, &error)) {
      request.record = value;
    } else if (args.option("--plugin", "", &value, &error)) {
      request.plugin = value;
    } else if (args.option("--environment", "", &value, &error)) {
      request.environment = value;
    } else if (args.option("--texture", "", &value, &error)) {
      request.texture = value;
    } else if (args.current().size() > 1 && args.current()[0] == '-') {
      return usageError("unknown option " + messageExcerpt(args.current()));
    } else {
      positional.push_back(args.take());
    }
    if (!error.empty()) return usageError(error);
  }
  if (positional.empty()) return usageError("render needs an input image");
  if (positional.size() > 1)
    return usageError("render takes one input image, not " + std::to_string(positional.size()));
  if (request.output.empty()) return usageError("render needs an output image (-o OUTPUT)");
  if (request.last &&
      (!request.settings.empty() || !request.action.empty() || !request.preset.empty() ||
       !request.environment.empty() || !request.texture.empty()))
    return usageError(
        "--last uses the module's own settings: it cannot be combined with --set, "
        "--action, --preset, --environment or --texture");
  if (!request.action.empty() && !request.preset.empty())
    return usageError("--action and --preset each give the whole effect: use one of them");
  request.input = positional.front();
  return renderCommand(request, gCancel);
}

// info and about take only --plugin.
std::optional<std::string> pluginOption(int argc, char** argv, int* exitCode) {
  Arguments args(argc, argv, 2);
  std::string plugin, error;
  while (!args.done()) {
    if (args.flag("--help") || args.flag("-h")) {
      std::fputs(kUsage, stdout);
      *exitCode = kExitDone;
      return std::nullopt;
    }
    if (!args.option("--plugin", "", &plugin, &error)) {
      *exitCode = usageError("unexpected argument " + messageExcerpt(args.current()));
      return std::nullopt;
    }
    if (!error.empty()) {
      *exitCode = usageError(error);
      return std::nullopt;
    }
  }
  return plugin;
}

// presets refresh FOLDER --image IMAGE
int presets(int argc, char** argv) {
  if (argc < 3 || std::string_view(argv[2]) != "refresh")
    return usageError(argc < 3 ? "presets needs refresh"
                               : "unknown presets command " + messageExcerpt(argv[2]));
  Arguments args(argc, argv, 3);
  std::string value, error, image;
  std::vector<std::string> positional;
  while (!args.done()) {
    if (args.flag("--help") || args.flag("-h")) {
      std::fputs(kUsage, stdout);
      return kExitDone;
    }
    if (args.option("--image", "", &value, &error)) {
      image = value;
    } else if (args.current().size() > 1 && args.current()[0] == '-') {
      return usageError("unknown option " + messageExcerpt(args.current()));
    } else {
      positional.push_back(args.take());
    }
    if (!error.empty()) return usageError(error);
  }
  if (positional.size() != 1) return usageError("presets refresh takes one folder");
  if (image.empty()) return usageError("presets refresh needs a picture (--image IMAGE)");
  return presetsRefreshCommand(positional.front(), image, gCancel);
}

// preset show FILE [--json] | preset thumbnail FILE -o OUTPUT
int preset(int argc, char** argv) {
  if (argc < 3) return usageError("preset needs show or thumbnail");
  const std::string_view action = argv[2];
  if (action != "show" && action != "thumbnail")
    return usageError("unknown preset command " + messageExcerpt(action));
  Arguments args(argc, argv, 3);
  std::string value, error, output;
  std::vector<std::string> positional;
  bool json = false;
  while (!args.done()) {
    if (args.flag("--help") || args.flag("-h")) {
      std::fputs(kUsage, stdout);
      return kExitDone;
    }
    if (action == "show" && args.flag("--json")) {
      json = true;
    } else if (action == "thumbnail" && args.option("--output", "-o", &value, &error)) {
      output = value;
    } else if (args.current().size() > 1 && args.current()[0] == '-') {
      return usageError("unknown option " + messageExcerpt(args.current()));
    } else {
      positional.push_back(args.take());
    }
    if (!error.empty()) return usageError(error);
  }
  if (positional.size() != 1)
    return usageError("preset " + std::string(action) + " takes one settings file");
  if (action == "show") return presetShowCommand(positional.front(), json);
  if (output.empty()) return usageError("preset thumbnail needs an output image (-o OUTPUT)");
  return presetThumbnailCommand(positional.front(), output);
}

// gallery presets FOLDER | gallery pictures FOLDER | gallery dots --image IMAGE; -o PAGE
int gallery(int argc, char** argv) {
  if (argc < 3) return usageError("gallery needs presets, pictures or dots");
  const std::string_view kind = argv[2];
  if (kind != "presets" && kind != "pictures" && kind != "dots")
    return usageError("unknown gallery page " + messageExcerpt(kind));
  Arguments args(argc, argv, 3);
  GalleryRequest request;
  std::string value, error;
  std::vector<std::string> positional;
  while (!args.done()) {
    if (args.flag("--help") || args.flag("-h")) {
      std::fputs(kUsage, stdout);
      return kExitDone;
    }
    if (args.flag("--open")) {
      request.open = true;
    } else if (args.option("--output", "-o", &value, &error)) {
      request.page = value;
    } else if (kind == "dots" && args.option("--image", "", &value, &error)) {
      request.image = value;
    } else if (args.current().size() > 1 && args.current()[0] == '-') {
      return usageError("unknown option " + messageExcerpt(args.current()));
    } else {
      positional.push_back(args.take());
    }
    if (!error.empty()) return usageError(error);
  }
  if (request.page.empty()) return usageError("gallery needs the page to write (-o PAGE.html)");
  if (kind == "dots") {
    if (!positional.empty()) return usageError("gallery dots takes no folder");
    if (request.image.empty()) return usageError("gallery dots needs an image (--image IMAGE)");
    return galleryDotsCommand(request);
  }
  if (positional.size() != 1)
    return usageError("gallery " + std::string(kind) + " takes one folder");
  request.folder = positional.front();
  return kind == "presets" ? galleryPresetsCommand(request) : galleryPicturesCommand(request);
}

}  // namespace

int main(int argc, char** argv) {
  // First of all, so that Ctrl-C at any later moment is a clean cancel. (The shared libraries
  // the program links are loaded before main runs; that part cannot be cancelled cleanly.)
  installInterruptHandler();
  setInterruptFlag(&gCancel);
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitBadInput;
  }
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return kExitDone;
  }
  if (command == "render") return render(argc, argv);
  if (command == "preset") return preset(argc, argv);
  if (command == "gallery") return gallery(argc, argv);
  if (command == "presets") return presets(argc, argv);
  if (command == "info" || command == "about") {
    int exitCode = kExitDone;
    auto plugin = pluginOption(argc, argv, &exitCode);
    if (!plugin) return exitCode;
    return command == "info" ? infoCommand(*plugin) : aboutCommand(*plugin, gCancel);
  }
  return usageError("unknown command " + std::string(command));
}
