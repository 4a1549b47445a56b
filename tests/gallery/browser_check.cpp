#include "tests/gallery/browser_check.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/run_program.h"

namespace orichalcumite::testing {
namespace {

namespace fs = std::filesystem;

// Written before "</body>": reports once every image has loaded or failed. Each item is
// URI-encoded so that the report survives the DOM dump as plain ASCII.
constexpr char kCheckScript[] = R"(<script>
window.addEventListener('load', function () {
  var e = encodeURIComponent, images = document.images, broken = [], captions = [];
  for (var i = 0; i < images.length; ++i)
    if (!images[i].complete || images[i].naturalWidth === 0) broken.push(e(images[i].getAttribute('src')));
  var fonts = document.querySelectorAll('font[size="3"]');
  for (var j = 0; j < fonts.length; ++j) captions.push(e(fonts[j].textContent));
  var report = document.createElement('pre');
  report.id = 'gallery-check';
  report.textContent = 'CHECK images=' + images.length + ' scripts=' + document.scripts.length +
      ' handlers=' + document.querySelectorAll('[onerror],[onload],[onclick]').length +
      ' broken=' + broken.join(',') + ' captions=' + captions.join(',') + ' END';
  document.body.appendChild(report);
});
</script>)";

std::string percentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> decodedList(const std::string& list) {
  std::vector<std::string> items;
  if (list.empty()) return items;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, ',');) items.push_back(percentDecoded(item));
  return items;
}

std::string field(const std::string& report, const std::string& name) {
  const size_t at = report.find(" " + name + "=");
  if (at == std::string::npos) return {};
  const size_t from = at + name.size() + 2;
  return report.substr(from, report.find(' ', from) - from);
}

}  // namespace

std::string chromiumProgram() {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::stringstream folders(path);
  for (std::string folder; std::getline(folders, folder, ':');) {
    for (const char* name : {"chromium", "chromium-browser"}) {
      const fs::path candidate = fs::path(folder) / name;
      std::error_code ec;
      if (fs::is_regular_file(candidate, ec)) return candidate.string();
    }
  }
  return {};
}

std::optional<BrowserView> viewInBrowser(const std::string& pagePath, const std::string& scratch,
                                         std::string* failure) {
  const std::string browser = chromiumProgram();
  if (browser.empty()) {
    *failure = "no chromium on PATH";
    return std::nullopt;
  }
  std::ifstream in(pagePath, std::ios::binary);
  std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t bodyEnd = page.rfind("</body>");
  if (bodyEnd == std::string::npos) {
    *failure = "the page has no </body>";
    return std::nullopt;
  }
  page.insert(bodyEnd, kCheckScript);
  const fs::path check = fs::absolute(fs::path(pagePath)).parent_path() / "gallery-check.html";
  std::ofstream(check, std::ios::binary) << page;

  const ProgramRun run =
      runProgram({browser, "--headless", "--disable-gpu", "--no-sandbox", "--no-first-run",
                  "--user-data-dir=" + (fs::path(scratch) / "browser-profile").string(),
                  "--virtual-time-budget=10000", "--dump-dom", "file://" + check.string()},
                 {}, scratch);
  fs::remove(check);
  const std::string marker = "<pre id=\"gallery-check\">CHECK ";
  size_t start = run.out.find(marker);
  if (start != std::string::npos) start += marker.size() - 6;
  const size_t end = run.out.find(" END", start);
  if (start == std::string::npos || end == std::string::npos) {
    *failure = "no report from the browser (exit " + std::to_string(run.exitCode) +
               "): " + run.err.substr(0, 2000);
    return std::nullopt;
  }
  const std::string report = run.out.substr(start, end - start) + " ";
  BrowserView view;
  view.images = std::atoi(field(report, "images").c_str());
  view.scripts = std::atoi(field(report, "scripts").c_str());
  view.handlerAttributes = std::atoi(field(report, "handlers").c_str());
  view.brokenImages = decodedList(field(report, "broken"));
  view.captions = decodedList(field(report, "captions"));
  return view;
}

}  // namespace orichalcumite::testing
