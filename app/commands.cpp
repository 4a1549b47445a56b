#include "app/commands.h"

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/action_file.h"
#include "app/host_session.h"
#include "app/image_files.h"
#include "app/plugin_module.h"
#include "app/setting_arguments.h"
#include "base/replace_file.h"
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
  std::string error;
  // Settings first: a typing mistake should not wait for the image to load.
  Descriptor descriptor;
  bool haveDescriptor = false;
  if (!request.action.empty()) {
    auto played = readActionFile(request.action, &error);
    if (!played) return failed(kExitBadInput, error);
    descriptor = std::move(*played);
    haveDescriptor = true;
  }
  for (const std::string& setting : request.settings) {
    auto item = settingItem(setting, &error);
    if (!item) return failed(kExitBadInput, error);
    descriptor.set(std::move(*item));
    haveDescriptor = true;
  }

  const std::string modulePath = modulePathOr(request.plugin);
  auto module = PluginModule::open(modulePath, &error);
  if (!module) return failed(kExitBadInput, error);

  using Clock = std::chrono::steady_clock;
  const Clock::time_point readStart = Clock::now();
  auto image = readImageFile(request.input, &error);
  if (!image) return failed(kExitBadInput, error);
  const Clock::time_point filterStart = Clock::now();
  const EnableContext document = documentMode(image->isGrey(), image->type());
  const ModeDecision decision = moduleAccepts(module->pipl(), document);
  if (!decision.accepted)
    return failed(kExitBadInput, std::string("the module does not filter ") +
                                     imageModeName(document.imageMode) +
                                     " images (decided by its " + decision.basis + ")");

  std::vector<uint8_t> selection;
  if (!request.selection.empty()) {
    auto mask = readSelectionFile(request.selection, image->width(), image->height(), &error);
    if (!mask) return failed(kExitBadInput, error);
    selection = std::move(*mask);
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
  if (!request.record.empty()) {
    auto recorded = session->recordedDescriptor(&error);
    if (!recorded) {
      printError(error.empty() ? "the module handed back no settings to record"
                               : "the module handed back damaged settings: " + error);
      return kExitModuleError;
    }
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
  if (request.timing) {
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    std::fprintf(stderr, "timing: read %.3f s, filter %.3f s, write %.3f s\n",
                 seconds(filterStart - readStart), seconds(writeStart - filterStart),
                 seconds(Clock::now() - writeStart));
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
