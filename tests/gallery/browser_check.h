// Loads a written page in headless Chromium and reports what the browser made of it: how many
// images it has and which of them did not load, how many scripts and event-handler attributes
// the document holds, and the caption texts as the browser shows them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orichalcumite::testing {

struct BrowserView {
  int images = 0;
  std::vector<std::string> brokenImages;  // their src attributes
  int scripts = 0;                        // the check's own script counts as one
  int handlerAttributes = 0;              // elements with onerror, onload or onclick
  std::vector<std::string> captions;      // the texts under the thumbnails, in order
};

// The Chromium program on PATH, or empty when there is none.
std::string chromiumProgram();

// Loads a copy of `pagePath` (beside it, so its images resolve the same way) with a script
// that inspects the document once everything has loaded. `scratch` is a folder for the
// browser's profile and output. Nothing when the browser could not be run; `*failure` says
// why.
std::optional<BrowserView> viewInBrowser(const std::string& pagePath, const std::string& scratch,
                                         std::string* failure);

}  // namespace orichalcumite::testing
