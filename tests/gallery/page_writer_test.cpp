// The page text: its rows, cells, captions and fillers, read back as a skeleton, and the exact
// pieces a browser and a reader rely on.
#include "gallery/page_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orichalcumite {
namespace {

constexpr char kCell[] = "<td align=\"center\" valign=\"top\" width=\"20%\">";

size_t count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// The page's table as a sequence of words: "row" for a row opening, "cell" for a framed
// thumbnail, "filler" for an empty cell, "/row" for a row end, "captions" for a caption row
// (with its captions) and "spacer" for a spacer row.
std::vector<std::string> skeleton(const std::string& page) {
  const std::string tableStart = "align=\"center\">";
  size_t at = page.find("<table width=\"100%\"");
  at = page.find(tableStart, at) + tableStart.size();
  const std::string captionRow = std::string("<tr>") + kCell + "<i>";
  const std::string spacerRow = std::string("\r\n<tr>") + kCell + "<p>&nbsp;";
  std::vector<std::string> words;
  while (at < page.size()) {
    const auto startsWith = [&](const std::string& piece) {
      return page.compare(at, piece.size(), piece) == 0;
    };
    if (startsWith("</table><br>")) {
      words.push_back("end");
      break;
    }
    if (startsWith(captionRow)) {
      std::string word = "captions";
      const size_t rowEnd = page.find("</tr>", at);
      for (size_t font = page.find("Times\">", at); font < rowEnd;
           font = page.find("Times\">", font + 1)) {
        const size_t close = page.find("</font>", font);
        const std::string inside = page.substr(font + 7, close - font - 7);
        const size_t br = inside.find("<br>\r\n\r\n");
        const std::string captions =
            br == std::string::npos ? inside : inside.substr(0, br) + "|" + inside.substr(br + 8);
        word += ' ';
        word += captions;
      }
      words.push_back(word);
      at = rowEnd + 5;
    } else if (startsWith(spacerRow)) {
      words.push_back("spacer");
      at = page.find("</tr>", at) + 5;
    } else if (startsWith("<tr>")) {
      words.push_back("row");
      at += 4;
    } else if (startsWith("</tr>")) {
      words.push_back("/row");
      at += 5;
    } else if (startsWith(std::string(kCell) + "\r\n<table id=\"Table_01\"")) {
      words.push_back("cell");
      at = page.find("</div></td>\r\n\r\n", at) + 15;
    } else if (startsWith(std::string(kCell) + "<p></p>")) {
      words.push_back("filler");
      at = page.find("</td>\r\n\r\n", at) + 9;
    } else {
      ADD_FAILURE() << "unexpected text: " << page.substr(at, 80);
      break;
    }
  }
  return words;
}

std::string presetsPage(int presets) {
  PageWriter page(PageKind::presets, "/home/someone/Presets/Metal/x.q5q");
  page.start();
  for (int i = 1; i <= presets; ++i) {
    const std::string number = std::to_string(i);
    page.addCell("p" + number + ".q5q", 88, 88, "a" + number, "b" + number);
  }
  page.end();
  return page.text();
}

TEST(PageWriter, SevenPresetsFillTwoRowsWithCaptionsAndSpacers) {
  const std::vector<std::string> expected = {"row",
                                             "cell",
                                             "cell",
                                             "cell",
                                             "cell",
                                             "cell",
                                             "/row",
                                             "captions a1|b1 a2|b2 a3|b3 a4|b4 a5|b5",
                                             "spacer",
                                             "row",
                                             "cell",
                                             "cell",
                                             "filler",
                                             "filler",
                                             "filler",
                                             "/row",
                                             "captions a6|b6 a7|b7  |   |   | ",
                                             "spacer",
                                             "end"};
  EXPECT_EQ(skeleton(presetsPage(7)), expected);
}

TEST(PageWriter, EmptyFolderGivesHeaderAndEmptyTable) {
  PageWriter page(PageKind::presets, "/data/Presets/");
  page.start();
  page.end();
  const std::string& text = page.text();
  EXPECT_EQ(
      text.rfind(
          "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n\r\n<html>\r\n", 0),
      0u);
  EXPECT_NE(text.find("<title>Orichalcumite presets</title>"), std::string::npos);
  EXPECT_NE(text.find("<b>Orichalcumite presets from /data/Presets/<br>\r\n</b></font></p>"),
            std::string::npos);
  const std::string tail = "cellpadding=\"0\" align=\"center\"></table><br>\r\n</body></html>";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(PageWriter, FrameTableSurroundsTheThumbnail) {
  PageWriter page(PageKind::pictures, "/data/");
  page.start();
  page.addCell("wide.png", 88, 44);
  page.end();
  const std::string& text = page.text();
  EXPECT_NE(text.find("<table id=\"Table_01\" width=\"94\" border=\"0\" cellspacing=\"0\" "
                      "cellpadding=\"0\" height=\"51\">"),
            std::string::npos);
  EXPECT_NE(text.find("<img src=\"web_images/top.gif\" width=\"94\" height=\"2\" border=\"0\">"),
            std::string::npos);
  EXPECT_NE(text.find("<img src=\"web_images/left.gif\" width=\"3\" height=\"44\" border=\"0\">"),
            std::string::npos);
  EXPECT_NE(text.find("<img src=\"web_images/right.gif\" width=\"3\" height=\"44\" border=\"0\">"),
            std::string::npos);
  EXPECT_NE(text.find("<img src=\"web_images/bottom.gif\" width=\"94\" height=\"5\" border=\"0\">"),
            std::string::npos);
  // Pictures have no caption row; the row still gets its spacer.
  EXPECT_EQ(count(text, "<i><font"), 0u);
  EXPECT_EQ(count(text, "<p>&nbsp;</p>"), 5u);
}

TEST(PageWriter, MemoryDotsPageHasFourColumnsAndNoFolder) {
  PageWriter page(PageKind::memoryDots, "/ignored/");
  page.start();
  for (int dot : {2, 5, 9, 11, 20}) page.addCell("dot " + std::to_string(dot) + ".jpg", 300, 200);
  page.end();
  const std::string& text = page.text();
  EXPECT_NE(text.find("<b>Orichalcumite images from  memory dots <br>"), std::string::npos);
  EXPECT_NE(text.find("<title>Orichalcumite memory dots</title>"), std::string::npos);
  EXPECT_NE(
      text.find("src=\"web_images/dot%202.jpg\" alt=\"dot 2.jpg\" width=\"300\" height=\"200\""),
      std::string::npos);
  // Rows are left unopened on this page: only the spacer rows open one.
  EXPECT_EQ(count(text, "<tr><td align"), 2u);
  EXPECT_EQ(count(text, "<p></p>"), 3u);  // the second row: one dot and three fillers
  EXPECT_EQ(page.rowsDone(), 2);
}

TEST(PageWriter, CaptionsAreEscapedAndCut) {
  PageWriter page(PageKind::presets, "/data/");
  page.start();
  page.addCell("x.q5q", 88, 88, "<b>&", std::string(300, 'w'));
  page.end();
  const std::string& text = page.text();
  EXPECT_NE(text.find("&lt;b&gt;&amp;<br>\r\n\r\n" + std::string(255, 'w') + "</font>"),
            std::string::npos);
}

}  // namespace
}  // namespace orichalcumite
