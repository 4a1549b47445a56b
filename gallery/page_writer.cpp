#include "gallery/page_writer.h"

#include <algorithm>

#include "base/utf8_text.h"
#include "gallery/page_text.h"

namespace orichalcumite {
namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kProductName[] = "Orichalcumite";
constexpr char kCellOpening[] = "<td align=\"center\" valign=\"top\" width=\"20%\">";

std::string_view folderText(std::string_view folder) {
  const size_t slash = folder.rfind('/');
  return slash == std::string_view::npos ? std::string_view{} : folder.substr(0, slash + 1);
}

}  // namespace

PageWriter::PageWriter(PageKind kind, std::string_view sourceFolder)
    : kind_(kind),
      sourceFolder_(kind == PageKind::memoryDots ? std::string_view{} : folderText(sourceFolder)),
      columns_(kind == PageKind::memoryDots ? 4 : 5),
      captionRow_(kind == PageKind::presets) {}

void PageWriter::start() {
  text_ += "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">";
  text_ += kCrLf;
  text_ += kCrLf;
  text_ += "<html>";
  text_ += kCrLf;
  text_ += "<head>";
  text_ += kCrLf;
  text_ += "<meta http-equiv=\"content-type\" content=\"text/html;charset=ISO-8859-1\">";
  text_ += kCrLf;
  text_ += "<meta name=\"generator\" content=\"Ferrovantine ";
  text_ += kProductName;
  text_ += "\">";
  text_ += "<title>";
  text_ += kProductName;
  switch (kind_) {
    case PageKind::presets: text_ += " presets"; break;
    case PageKind::pictures: text_ += " images"; break;
    case PageKind::memoryDots: text_ += " memory dots"; break;
  }
  text_ += "</title>";
  text_ += kCrLf;
  text_ += "</head>";
  text_ += kCrLf;
  text_ += kCrLf;
  text_ += "<body bgcolor=\"#ffffff\">";
  text_ += kCrLf;
  text_ += "<p>";
  text_ += "<br>";
  text_ += kCrLf;
  text_ += kCrLf;
  text_ += "<font size=\"4\" face=\"Gill Sans,Verdana,Helvetica,Arial,Geneva\">";
  text_ += "<b>";
  text_ += kProductName;
  text_ += kind_ == PageKind::presets ? " presets from " : " images from ";
  text_ += entityEscape(sourceFolder_);
  if (kind_ == PageKind::memoryDots) text_ += " memory dots ";
  text_ += "<br>";
  text_ += kCrLf;
  text_ += "</b>";
  text_ += "</font>";
  text_ += "</p>";
  text_ +=
      "<table width=\"100%\" border=\"0\" cellspacing=\"12\" cellpadding=\"0\" "
      "align=\"center\">";
  column_ = 1;
}

void PageWriter::imageTag(std::string_view file, std::string_view extension, int width, int height,
                          std::optional<std::string_view> alternative) {
  text_ += "<img src=\"";
  text_ += kWebImagesFolder;
  text_ += "/";
  text_ += urlEscape(file);
  text_ += extension;
  text_ += "\"";
  if (alternative) {
    text_ += " alt=\"";
    text_ += entityEscape(*alternative);
    text_ += extension;
    text_ += "\"";
  }
  text_ += " width=\"";
  text_ += std::to_string(width);
  text_ += "\" height=\"";
  text_ += std::to_string(height);
  text_ += "\" border=\"0\">";
}

void PageWriter::addCaption(std::string_view caption) {
  captions_[static_cast<size_t>(captionSlot_)] =
      std::string(caption.substr(0, utf8PrefixLength(caption, kCaptionBytes)));
  captionSlot_ = std::min(captionSlot_ + 1, kCaptionSlots - 1);
}

void PageWriter::addCell(std::string_view name, int width, int height, std::string_view caption1,
                         std::string_view caption2) {
  addCell(name, width, height, caption1, caption2, thumbnailStem(name));
}

void PageWriter::addCell(std::string_view name, int width, int height, std::string_view caption1,
                         std::string_view caption2, std::string_view thumbnail) {
  // The memory-dots page leaves its rows unopened; browsers place the cells in rows anyway.
  if (column_ == 1 && kind_ != PageKind::memoryDots) {
    text_ += "<tr>";
    captions_.fill({});
    captionSlot_ = 0;
  }
  text_ += kCellOpening;
  text_ += kCrLf;

  const int frameWidth = width + 6;
  text_ += "<table id=\"Table_01\" width=\"" + std::to_string(frameWidth) +
           "\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" height=\"" +
           std::to_string(height + 7) + "\">";
  text_ += kCrLf;
  text_ += "<tr>";
  text_ += kCrLf;
  text_ += "<td colspan=\"3\">";
  imageTag("top", ".gif", frameWidth, 2);
  text_ += "</td>";
  text_ += kCrLf;
  text_ += "</tr>";
  text_ += kCrLf;
  text_ += "<tr>";
  text_ += kCrLf;
  text_ += "<td>";
  imageTag("left", ".gif", 3, height);
  text_ += "</td>";
  text_ += kCrLf;
  text_ += "<td>";
  imageTag(thumbnail, ".jpg", width, height, withoutExtension(name));
  text_ += "</td>";
  text_ += kCrLf;
  text_ += "<td>";
  imageTag("right", ".gif", 3, height);
  text_ += "</td>";
  text_ += kCrLf;
  text_ += "</tr>";
  text_ += kCrLf;
  text_ += "<tr>";
  text_ += kCrLf;
  text_ += "<td colspan=\"3\">";
  imageTag("bottom", ".gif", frameWidth, 5);
  text_ += "</td>";
  text_ += kCrLf;
  text_ += "</tr>";
  text_ += kCrLf;
  text_ += "</table>";
  text_ += kCrLf;

  text_ += "<div align=\"center\">";
  text_ += kCrLf;
  text_ += "<br><font  size=\"3\" face=\"Gill Sans,Verdana,Helvetica,Arial\">";
  text_ += entityEscape(withoutExtension(name));
  text_ += "</font>";
  text_ += "</div>";
  text_ += "</td>";
  text_ += kCrLf;
  text_ += kCrLf;

  addCaption(caption1);
  addCaption(caption2);
  advanceColumn();
}

void PageWriter::advanceColumn() {
  ++column_;
  if (column_ <= columns_) return;
  text_ += "</tr>";
  endRow();
  ++rows_;
  column_ = 1;
}

void PageWriter::endRow() {
  if (captionRow_) {
    text_ += "<tr>";
    for (int j = 1; j <= columns_; ++j) {
      text_ += kCellOpening;
      text_ +=
          "<i><font size=\"-1\" color=\"#a6a6a6\" face=\"Hoefler Text, Times New "
          "Roman,Georgia,Times\">";
      text_ += entityEscape(captions_[static_cast<size_t>(2 * j - 2)]);
      text_ += "<br>";
      text_ += kCrLf;
      text_ += kCrLf;
      text_ += entityEscape(captions_[static_cast<size_t>(2 * j - 1)]);
      text_ += "</font></i></td>";
    }
    text_ += "</tr>";
  }
  text_ += kCrLf;
  text_ += "<tr>";
  for (int j = 1; j <= columns_; ++j) {
    text_ += kCellOpening;
    text_ += "<p>&nbsp;</p></td>";
  }
  text_ += "</tr>";
}

void PageWriter::end() {
  while (column_ > 1) {
    text_ += kCellOpening;
    text_ += "<p>";
    text_ += "</p>";
    text_ += kCrLf;
    text_ += "<div align=\"center\">";
    text_ += kCrLf;
    text_ += "<p><font face=\"Hoefler Text,Times New Roman,Georgia,Times\"><b>";
    addCaption(" ");
    addCaption(" ");
    text_ += "</b></font></p>";
    text_ += kCrLf;
    text_ += "</div>";
    text_ += kCrLf;
    text_ += "</td>";
    text_ += kCrLf;
    text_ += kCrLf;
    advanceColumn();
  }
  text_ += "</table>";
  text_ += "<br>";
  text_ += kCrLf;
  text_ += "</body>";
  text_ += "</html>";
}

}  // namespace orichalcumite
