#include "app/commands.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/action_file.h"
#include "app/host_pixels.h"
#include "app/host_session.h"
#include "app/image_files.h"
#include "app/plugin_module.h"
#include "app/preset_files.h"
#include "app/psd_output.h"
#include "app/setting_arguments.h"
#include "base/replace_file.h"
#include "base/status.h"
#include "base/text_compare.h"
#include "settings/enumerations.h"
#include "settings/parameter_table.h"

namespace orichalcumite {
namespace {

constexpr const char* kModuleFileName = "Orichalcumite.8bf";

std::string modulePathOr(const std::string& plugin) {
  return plugin.empty() ? defaultModulePath() : plugin;
}

std::string codeText(uint32_t code) { return fourCCText(code); }

const char* resultMeaning(int16_t result) {
  switch (result) {
    case ps::memFullErr: return "out of memory";
    case ps::userCanceledErr: return "cancelled";
    case ps::paramErr: return "bad parameter";
    case ps::filterBadParameters: return "bad parameters";
    case ps::filterBadMode: return "the module cannot filter this mode";
    case ps::errPlugInHostInsufficient: return "the module needs more than this host offers";
    case ps::errReportString: return "the module reported an error";
    case ps::readErr: return "read error";
    case ps::writErr: return "write error";
    case ps::fnfErr: return "file not found";
    default: return result > 0 ? "the module has already reported the problem" : "error";
  }
}

int failed(int exitCode, const std::string& message) {
  printError(message);
  return exitCode;
}

int moduleFailure(const HostSession& session, int16_t result) {
  std::string message = "the module reported an error (result " + std::to_string(result) + ": " +
                        resultMeaning(result) + ")";
  const std::string text = session.errorString();
  if (!text.empty()) message += ": " + text;
  printError(message);
  return kExitModuleError;
}

// A bar on stderr, redrawn only when the percentage changes.
class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}
  ~ProgressBar() { finish(); }

  void update(int32_t done, int32_t total) {
    if (!enabled_ || total <= 0) return;
    const int percent = static_cast<int>(std::clamp<int64_t>(int64_t(done) * 100 / total, 0, 100));
    if (percent == shown_) return;
    shown_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                 kWidth - filled, "", percent);
    std::fflush(stderr);
  }

  void finish() {
    if (shown_ >= 0) std::fputc('\n', stderr);
    shown_ = -1;
  }

 private:
  bool enabled_;
  int shown_ = -1;
};

const char* handlingName(int handling) {
  switch (handling) {
    case 0: return "cannot filter";
    case 1: return "straight";
    case 2: return "black matte";
    case 3: return "grey matte";
    case 4: return "white matte";
    case 5: return "defringe";
    case 6: return "transparent to black";
    case 7: return "transparent to grey";
    case 8: return "transparent to white";
    case 9: return "fill mask";
    case 10: return "transparent to background";
    case 11: return "transparent to foreground";
    default: return "unknown";
  }
}

std::string modeFlagNames(const uint8_t flags[2]) {
  static constexpr const char* kFirst[8] = {"multichannel", "HSB",     "HSL",       "CMYK",
                                            "RGB",          "indexed", "greyscale", "bitmap"};
  std::string names;
  for (int bit = 7; bit >= 0; --bit)
    if (flags[0] & (1 << bit)) names += std::string(names.empty() ? "" : ", ") + kFirst[bit];
  if (flags[1] & 0x80) names += std::string(names.empty() ? "" : ", ") + "duotone";
  if (flags[1] & 0x40) names += std::string(names.empty() ? "" : ", ") + "Lab";
  return names.empty() ? "none" : names;
}

std::string numberText(double v) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : std::to_string(v);
}

const char* enumerationTitle(Enumeration e) {
  switch (e) {
    case Enumeration::glueMode: return "glue modes";
    case Enumeration::bevelShape: return "bevel shapes";
    case Enumeration::textureChoice: return "texture choices";
  }
  return "";
}

void printPipl(const std::string& path, const PiplInfo& pipl) {
  std::printf("Module       %s\n", path.c_str());
  std::printf("Kind         %s%s\n", codeText(pipl.kind).c_str(),
              pipl.kind == ps::kFilterKind ? " (filter)" : "");
  std::printf("Name         %s\n", pipl.name.c_str());
  std::printf("Category     %s\n", pipl.category.c_str());
  if (pipl.hasInterfaceVersion)
    std::printf("Version      %u.%u\n", pipl.interfaceVersion >> 16,
                pipl.interfaceVersion & 0xffff);
  std::printf("Entry point  %s\n",
              pipl.entryPoint.empty() ? "(none for x86-64)" : pipl.entryPoint.c_str());
  if (pipl.hasTerminology)
    std::printf("Terminology  class %s, event %s, resource %d, scope \"%s\"\n",
                codeText(pipl.terminologyClassId).c_str(),
                codeText(pipl.terminologyEventId).c_str(), pipl.terminologyResourceId,
                pipl.terminologyScope.c_str());
  if (pipl.hasModeFlags)
    std::printf("Mode flags   0x%02X 0x%02X (%s)\n", pipl.modeFlags[0], pipl.modeFlags[1],
                modeFlagNames(pipl.modeFlags).c_str());
  for (size_t i = 0; i < pipl.enableExpressions.size(); ++i) {
    std::string why;
    const bool usable =
        evaluateEnableExpression(pipl.enableExpressions[i], {ps::modeRGBColor, 8}, &why)
            .has_value();
    std::printf("Enable %zu     %s%s\n", i + 1, pipl.enableExpressions[i].c_str(),
                usable ? "" : ("  [not understood here: " + why + "]").c_str());
  }
  std::printf("Documents    this host would give it:\n");
  for (SampleType type : {SampleType::uint8, SampleType::uint16, SampleType::float32})
    for (bool grey : {true, false}) {
      const EnableContext document = documentMode(grey, type);
      const ModeDecision decision = moduleAccepts(pipl, document);
      std::printf("  %-18s %-4s (%s)\n", imageModeName(document.imageMode),
                  decision.accepted ? "yes" : "no", decision.basis.c_str());
    }
  std::printf("Filter cases%s\n",
              pipl.hasFilterCases ? "" : " (not declared: every case straight)");
  const auto cases = pipl.hasFilterCases ? pipl.filterCases : SessionOptions::straightCases();
  for (int c = 1; c <= 7; ++c) {
    const ps::FilterCaseInfo& info = cases[size_t(c - 1)];
    std::printf("  %d %-52s input %s, output %s, flags 0x%02X\n", c, filterCaseName(c),
                handlingName(info.inputHandling), handlingName(info.outputHandling),
                static_cast<unsigned>(static_cast<uint8_t>(info.flags1)));
  }
}

void printDictionary() {
  std::printf(
      "\nScripting parameters (%zu), in descriptor order; --set takes the name or the key:\n",
      parameterTable().size());
  std::printf("  %-4s  %-9s  %-22s  %-24s  %s\n", "key", "type", "name", "range", "default");
  for (const ParameterInfo& p : parameterTable()) {
    std::string type, range, fallback;
    switch (p.kind) {
      case ParameterKind::integer:
      case ParameterKind::colourChannel:
        type = "long";
        range = numberText(p.minimum) + ".." + numberText(p.maximum);
        fallback = numberText(p.factoryDefault);
        break;
      case ParameterKind::lightComponent:
        type = "doub";
        range = numberText(p.minimum) + ".." + numberText(p.maximum);
        fallback = numberText(p.factoryDefault);
        break;
      case ParameterKind::boolean:
        type = "bool";
        range = "true/false";
        fallback = p.factoryDefault != 0 ? "true" : "false";
        break;
      case ParameterKind::enumerated: {
        type = "enum " + codeText(enumTypeCode(p.enumeration));
        range = "1.." + numberText(p.maximum) + " (" + enumerationTitle(p.enumeration) + ")";
        const int index = static_cast<int>(p.factoryDefault);
        fallback = std::string(enumName(p.enumeration, index)) + " (" +
                   codeText(enumCodeFromIndex(index, p.enumeration)) + ")";
        break;
      }
      case ParameterKind::pictureName:
        type = "TEXT";
        range = "file name";
        fallback = kNoPictureName;
        break;
    }
    std::printf("  %-4s  %-9s  %-22s  %-24s  %s%s\n", codeText(p.key).c_str(), type.c_str(), p.name,
                range.c_str(), fallback.c_str(),
                p.inTerminology ? "" : "  (not in the terminology)");
  }
  for (Enumeration e :
       {Enumeration::glueMode, Enumeration::textureChoice, Enumeration::bevelShape}) {
    const auto entries = enumEntries(e);
    std::printf("\nEnumeration %s, %s (%zu entries); a value is the name or the code:\n",
                codeText(enumTypeCode(e)).c_str(), enumerationTitle(e), entries.size());
    for (const EnumEntry& entry : entries) {
      std::string note;
      if (!entry.terminologyName)
        note = "  (exchanged by code only)";
      else if (std::string_view(entry.terminologyName) != entry.name)
        note = std::string("  (terminology name \"") + entry.terminologyName + "\")";
      std::printf("  %3d  %s  %s%s\n", entry.index, codeText(entry.code).c_str(), entry.name,
                  note.c_str());
    }
  }
}

// A file the render reads or writes, named the way the messages name it.
struct RolePath {
  const char* role;  // "the input image", "the record", ...
  std::string path;
};

// Where a path leads. An existing file is known by its device and inode, so that links and
// different spellings of one file compare equal; a file still to be made by the canonical path
// of its folder plus its name.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string canonicalPath;

  bool sameFileAs(const FileIdentity& other) const {
    if (exists != other.exists) return false;
    return exists ? device == other.device && inode == other.inode
                  : canonicalPath == other.canonicalPath;
  }
};

std::filesystem::path folderOf(const std::string& path) {
  const std::filesystem::path p(path);
  return p.has_parent_path() ? p.parent_path() : std::filesystem::path(".");
}

FileIdentity identityOf(const std::string& path) {
  FileIdentity identity;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    return identity;
  }
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::weakly_canonical(folderOf(path), ec);
  identity.canonicalPath =
      ((ec ? folderOf(path) : folder) / std::filesystem::path(path).filename()).string();
  return identity;
}

// Extensions of the image formats the writer can produce. Anything else would fail only after
// the whole render, so it is refused before.
constexpr const char* kImageExtensions[] = {
    "bmp",  "dpx", "exr",  "fits", "gif",  "hdr",  "rgbe", "heic", "heif", "avif",
    "ico",  "iff", "jpg",  "jpeg", "jpe",  "jfif", "jp2",  "j2k",  "png",  "pnm",
    "pbm",  "pgm", "ppm",  "pfm",  "rla",  "sgi",  "rgb",  "rgba", "bw",   "int",
    "inta", "tga", "tpic", "tif",  "tiff", "tx",   "webp"};

bool knownImageExtension(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension.size() < 2) return false;
  return std::any_of(std::begin(kImageExtensions), std::end(kImageExtensions),
                     [&](const char* known) {
                       return equalsIgnoringCase(std::string_view(extension).substr(1), known);
                     });
}

// An input must be a readable file. Checked here so that every reader gives the same reason.
Status checkSource(const RolePath& source) {
  struct stat info {};
  if (::stat(source.path.c_str(), &info) != 0)
    return Status::fromErrno(errno, std::string("cannot read ") + source.role + " " + source.path);
  if (S_ISDIR(info.st_mode))
    return {StatusCode::invalidArgument,
            std::string(source.role) + " " + source.path + " is a folder, not a file"};
  if (::access(source.path.c_str(), R_OK) != 0)
    return Status::fromErrno(errno, std::string("cannot read ") + source.role + " " + source.path);
  return Status::success();
}

// A destination must name a file (not a folder) in an existing folder this process may write
// to: the file is made beside its target and renamed into place, so the folder is what counts.
Status checkDestination(const RolePath& target) {
  const std::string what = std::string(target.role) + " " + target.path;
  std::error_code ec;
  if (!std::filesystem::path(target.path).has_filename() ||
      std::filesystem::is_directory(target.path, ec))
    return {StatusCode::invalidArgument, what + " is a folder, not a file"};
  const std::filesystem::path folder = folderOf(target.path);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) {
    if (errno == ENOENT)
      return {StatusCode::notFound,
              "cannot write " + what + ": the folder " + folder.string() + " does not exist"};
    return Status::fromErrno(errno, "cannot write " + what);
  }
  if (!S_ISDIR(info.st_mode))
    return {StatusCode::invalidArgument,
            "cannot write " + what + ": " + folder.string() + " is not a folder"};
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return Status::fromErrno(errno, "cannot write " + what + " in " + folder.string());
  return Status::success();
}

// Everything about the files of a render that can be known before it starts: each input is a
// readable file, each destination can be written, the output's format is known, and no
// destination is an input or another destination (writing it would destroy that file).
Status checkRenderFiles(const RenderRequest& request, const std::string& modulePath) {
  std::vector<RolePath> sources = {{"the input image", request.input}};
  if (!request.selection.empty()) sources.push_back({"the selection", request.selection});
  if (!request.action.empty()) sources.push_back({"the action file", request.action});
  if (!request.environment.empty())
    sources.push_back({"the environment picture", request.environment});
  if (!request.texture.empty()) sources.push_back({"the texture picture", request.texture});
  if (!request.preset.empty()) sources.push_back({"the preset", request.preset});
  sources.push_back({"the module", modulePath});
  std::vector<RolePath> destinations = {{"the output image", request.output}};
  if (!request.record.empty()) destinations.push_back({"the record", request.record});
  if (!request.savePreset.empty())
    destinations.push_back({"the preset to save", request.savePreset});
  if (!request.psd.empty()) destinations.push_back({"the PSD document", request.psd});

  for (const RolePath& source : sources)
    if (Status status = checkSource(source); !status) return status;
  for (const RolePath& target : destinations)
    if (Status status = checkDestination(target); !status) return status;
  if (!knownImageExtension(request.output))
    return {StatusCode::invalidArgument,
            "the output image " + request.output +
                " has no image extension this program writes (for example .png, .tif, .jpg, "
                ".exr)"};
  // Presets are written in the newest format only, whose files end in .q5q.
  if (!request.savePreset.empty() &&
      !equalsIgnoringCase(std::filesystem::path(request.savePreset).extension().string(), ".q5q"))
    return {StatusCode::invalidArgument,
            "the preset to save " + request.savePreset + " must end in .q5q"};
  if (!request.psd.empty() &&
      !equalsIgnoringCase(std::filesystem::path(request.psd).extension().string(), ".psd"))
    return {StatusCode::invalidArgument, "the PSD document " + request.psd + " must end in .psd"};

  std::vector<FileIdentity> sourceIds;
  for (const RolePath& source : sources) sourceIds.push_back(identityOf(source.path));
  std::vector<FileIdentity> targetIds;
  for (size_t i = 0; i < destinations.size(); ++i) {
    const FileIdentity id = identityOf(destinations[i].path);
    const auto clash = [&](const RolePath& other) -> Status {
      return {StatusCode::invalidArgument, std::string(destinations[i].role) + " " +
                                               destinations[i].path + " is the same file as " +
                                               other.role + " " + other.path};
    };
    for (size_t s = 0; s < sources.size(); ++s)
      if (id.sameFileAs(sourceIds[s])) return clash(sources[s]);
    for (size_t t = 0; t < targetIds.size(); ++t)
      if (id.sameFileAs(targetIds[t])) return clash(destinations[t]);
    targetIds.push_back(id);
  }
  return Status::success();
}

// The settings --environment and --texture stand for.
std::vector<std::string> pictureSettings(const RenderRequest& request) {
  std::vector<std::string> settings;
  const auto absolutePath = [](const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
  };
  if (!request.environment.empty())
    settings.push_back("environment file=" + absolutePath(request.environment));
  if (!request.texture.empty()) {
    settings.push_back("texture file=" + absolutePath(request.texture));
    settings.push_back("texture choice=texture file");
  }
  return settings;
}

// An X or Wayland display to show a window on (an empty variable names none).
bool hasDisplay() {
  const auto named = [](const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
  };
  return named("DISPLAY") || named("WAYLAND_DISPLAY");
}

// User and system time of the whole process so far, every thread counted.
double processCpuSeconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

void printError(const std::string& message) {
  std::fprintf(stderr, "orichalcumite: %s\n", message.c_str());
}

std::string defaultModulePath() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return kModuleFileName;
  return (self.parent_path() / kModuleFileName).string();
}

int renderCommand(const RenderRequest& request, const std::atomic<bool>& cancel) {
  // The dialog needs a screen; without one the run stops before anything is read or written.
  if (request.dialog && !hasDisplay())
    return failed(kExitBadInput,
                  "--dialog needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set");
  std::string error;
  const std::string modulePath = modulePathOr(request.plugin);
  // A run that could only fail after the render, or would overwrite one of its own files,
  // stops before anything is read.
  if (Status files = checkRenderFiles(request, modulePath); !files)
    return failed(kExitBadInput, files.message());
  // Settings first: a typing mistake should not wait for the image to load. A run always
  // hands the module a descriptor (the factory effect when it is empty), so that what ran
  // before never matters; only --last leaves it out for the module's own last settings.
  Descriptor descriptor;
  const bool haveDescriptor = !request.last;
  if (!request.action.empty()) {
    auto played = readActionFile(request.action, &error);
    if (!played) return failed(kExitBadInput, error);
    descriptor = std::move(*played);
  }
  if (!request.preset.empty()) {
    auto preset = presetDescriptor(request.preset, &error);
    if (!preset) return failed(kExitBadInput, error);
    descriptor = std::move(*preset);
  }
  for (const std::string& setting : request.settings) {
    auto item = settingItem(setting, &error);
    if (!item) return failed(kExitBadInput, error);
    descriptor.set(std::move(*item));
  }
  // Pictures go to the module as absolute paths, which it reads as they stand.
  for (const std::string& setting : pictureSettings(request)) {
    auto item = settingItem(setting, &error);
    if (!item) return failed(kExitBadInput, error);
    descriptor.set(std::move(*item));
  }

  auto module = PluginModule::open(modulePath, &error);
  if (!module) return failed(kExitBadInput, error);

  using Clock = std::chrono::steady_clock;
  const Clock::time_point readStart = Clock::now();
  auto image = readImageFile(request.input, &error, &cancel);
  if (!image) return failed(cancel.load() ? kExitCancelled : kExitBadInput, error);
  const EnableContext document = documentMode(image->isGrey(), image->type());
  const ModeDecision decision = moduleAccepts(module->pipl(), document);
  if (!decision.accepted)
    return failed(kExitBadInput, std::string("the module does not filter ") +
                                     imageModeName(document.imageMode) +
                                     " images (decided by its " + decision.basis + ")");

  LargeBytes selection;
  if (!request.selection.empty()) {
    auto mask =
        readSelectionFile(request.selection, image->width(), image->height(), &error, &cancel);
    if (!mask) return failed(cancel.load() ? kExitCancelled : kExitBadInput, error);
    selection = std::move(*mask);
  }
  // Reading ends with the selection.
  const Clock::time_point filterStart = Clock::now();
  const double filterStartCpu = processCpuSeconds();

  // The PSD document renders over the image as it was read, which the run changes in place.
  std::unique_ptr<Picture> psdSource;
  LargeBytes psdAlpha;
  if (!request.psd.empty()) {
    PsdOptions psdOptions;
    psdOptions.width = image->width();
    psdOptions.height = image->height();
    psdOptions.bytesPerChannel = psdBytesPerChannel(image->type());
    if (Status fits = checkPsdOptions(psdOptions); !fits)
      return failed(kExitBadInput,
                    "cannot write the PSD document " + request.psd + ": " + fits.message());
    psdSource = psdSourcePicture(*image);
    if (!psdSource) return failed(kExitBadInput, "not enough memory for the PSD document");
    if (image->hasAlpha()) psdAlpha = alphaBytes(*image);
  }

  ProgressBar bar(!request.quiet && isatty(STDERR_FILENO));
  SessionOptions options;
  if (module->pipl().hasFilterCases) options.filterCases = module->pipl().filterCases;
  options.cancel = &cancel;
  options.progress = [&bar](int32_t done, int32_t total) { bar.update(done, total); };
  auto session =
      HostSession::create(module->entry(), *image, selection, std::move(options), &error);
  if (!session) return failed(kExitBadInput, error);
  if (haveDescriptor) session->setDescriptor(std::move(descriptor));

  const int16_t result = session->run(request.dialog);
  bar.finish();
  const Clock::time_point writeStart = Clock::now();
  const double filterCpu = processCpuSeconds() - filterStartCpu;
  if (cancel.load() || result == ps::userCanceledErr) return failed(kExitCancelled, "cancelled");
  if (result != ps::noErr) return moduleFailure(*session, result);
  if ((image->width() > kMax16BitExtent || image->height() > kMax16BitExtent) &&
      !session->usedBigCoordinates())
    printError(
        "warning: the module did not use 32-bit coordinates, so it may have filtered only the "
        "first " +
        std::to_string(kMax16BitExtent) + " rows and columns");

  // The record is prepared before the image is written, so that a settings problem leaves no
  // output behind.
  std::optional<TemporaryFile> record;
  std::optional<Descriptor> recorded;
  if (!request.record.empty() || !request.savePreset.empty() || !request.psd.empty()) {
    recorded = session->recordedDescriptor(&error);
    if (!recorded) {
      printError(error.empty() ? "the module handed back no settings to record"
                               : "the module handed back damaged settings: " + error);
      return kExitModuleError;
    }
  }
  if (!request.record.empty()) {
    auto text = actionText(*recorded, &error);
    if (!text) return failed(kExitModuleError, "cannot record the settings: " + error);
    auto temporary = TemporaryFile::create(request.record);
    if (!temporary) return failed(kExitBadInput, temporary.message());
    if (Status written = temporary->write(*text); !written)
      return failed(kExitBadInput, written.message());
    record = std::move(*temporary);
  }

  if (!writeImageFile(request.output, *image, &error, &cancel)) {
    if (cancel.load()) return failed(kExitCancelled, "cancelled");
    return failed(kExitBadInput, error);
  }
  if (record) {
    if (Status committed = record->commit(); !committed)
      return failed(kExitBadInput, committed.message());
  }
  // The preset's thumbnail shows the result as written.
  if (!request.savePreset.empty() &&
      !writePresetFile(request.savePreset, *recorded, *image, &error))
    return failed(kExitBadInput, error);
  if (!request.psd.empty()) {
    ProgressBar psdBar(!request.quiet && isatty(STDERR_FILENO));
    PsdOutput psd;
    psd.path = request.psd;
    psd.recorded = &*recorded;
    psd.source = psdSource.get();
    psd.selection = selection;
    psd.alpha = psdAlpha;
    psd.greyscale = image->isGrey();
    psd.files = {request.environment, request.texture};
    // Rendering takes most of an export, writing the rest.
    psd.progress = [&psdBar](PsdExportStage stage, double fraction) {
      const double whole =
          stage == PsdExportStage::rendering ? 0.8 * fraction : 0.8 + 0.2 * fraction;
      psdBar.update(static_cast<int32_t>(whole * 1000), 1000);
    };
    psd.cancel = &cancel;
    if (!writePsdOutput(psd, &error))
      return failed(cancel.load() ? kExitCancelled : kExitBadInput, error);
  }
  if (request.timing) {
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    // How many cores the filter kept busy: its user and system time over its wall time.
    const double filterWall = seconds(writeStart - filterStart);
    std::fprintf(stderr, "timing: read %.3f s, filter %.3f s, write %.3f s, filter cores %.2f\n",
                 seconds(filterStart - readStart), filterWall, seconds(Clock::now() - writeStart),
                 filterWall > 0 ? filterCpu / filterWall : 0.0);
  }
  return kExitDone;
}

int infoCommand(const std::string& plugin) {
  const std::string path = modulePathOr(plugin);
  std::string error;
  auto pipl = readModulePipl(path, &error);
  if (!pipl) return failed(kExitBadInput, error);
  printPipl(path, *pipl);
  printDictionary();
  return kExitDone;
}

int aboutCommand(const std::string& plugin, const std::atomic<bool>& cancel) {
  std::string error;
  auto module = PluginModule::open(modulePathOr(plugin), &error);
  if (!module) return failed(kExitBadInput, error);
  // About needs no document; the session still lends the module its memory and basic suite.
  auto image = Image::make(1, 1, 3, false, SampleType::uint8);
  SessionOptions options;
  options.cancel = &cancel;
  auto session = HostSession::create(module->entry(), *image, {}, std::move(options), &error);
  if (!session) return failed(kExitBadInput, error);
  const int16_t result = session->about();
  if (result == ps::userCanceledErr) return kExitCancelled;
  if (result != ps::noErr) return moduleFailure(*session, result);
  return kExitDone;
}

}  // namespace orichalcumite
