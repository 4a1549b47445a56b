// The HTML text of a gallery page, built in memory piece by piece: the header, one framed
// cell per thumbnail with its caption, the rows (with a row of captions on the presets page
// and a spacer row after every row) and the end. No files are touched here.
//
// The page is HTML 4.01 Transitional in ISO-8859-1; every name that reaches it is escaped
// (page_text.h), so names from the file system never become markup.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace orichalcumite {

enum class PageKind {
  presets = 0,
  pictures = 1,
  memoryDots = 3,
};

// The folder beside the page that holds its images, and how the page addresses it.
inline constexpr char kWebImagesFolder[] = "web_images";

constexpr int kCaptionSlots = 20;
constexpr size_t kCaptionBytes = 255;  // a longer caption is cut on a character boundary

class PageWriter {
 public:
  // `sourceFolder` is the folder shown in the heading (its text up to and including the last
  // slash is shown); the memory-dots page shows none.
  PageWriter(PageKind kind, std::string_view sourceFolder);

  // 5 cells per row for presets and pictures, 4 for memory dots.
  int columns() const { return columns_; }
  int rowsDone() const { return rows_; }

  // The header and the opening of the table.
  void start();
  // A cell for the file `name` (its extension is dropped for the caption and the thumbnail's
  // name) with a thumbnail of `width` × `height` pixels in "web_images/<name>.jpg"; `caption1`
  // and `caption2` go to the caption row (shown only on the presets page).
  void addCell(std::string_view name, int width, int height, std::string_view caption1 = {},
               std::string_view caption2 = {});
  // The same with the thumbnail "web_images/<thumbnail>.jpg" named by the caller (a name the
  // file system holds; the page escapes it).
  void addCell(std::string_view name, int width, int height, std::string_view caption1,
               std::string_view caption2, std::string_view thumbnail);
  // Fills the open row with empty cells and closes the table and the page.
  void end();

  const std::string& text() const { return text_; }

 private:
  void addCaption(std::string_view caption);
  // An image of "web_images" named `file` + `extension`; with `alternative` (a name without
  // extension) its alternative text is that name and the extension.
  void imageTag(std::string_view file, std::string_view extension, int width, int height,
                std::optional<std::string_view> alternative = std::nullopt);
  void advanceColumn();
  void endRow();

  PageKind kind_;
  std::string sourceFolder_;
  int columns_;
  int column_ = 1;
  int rows_ = 0;
  bool captionRow_;
  std::array<std::string, kCaptionSlots> captions_{};
  int captionSlot_ = 0;
  std::string text_;
};

}  // namespace orichalcumite
