// Action files: stable text, exact round trips, and damaged files refused with one line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "app/action_file.h"
#include "tests/support/scratch_dir.h"

namespace orichalcumite {
namespace {

constexpr uint32_t key(const char (&s)[5]) { return ps::fourCC(s); }

Descriptor sample() {
  Descriptor d;
  d.set(DescriptorItem::integerItem(key("0001"), -55));
  d.set(DescriptorItem::enumItem(key("SGky"), key("SGty"), key("GL62")));
  d.set(DescriptorItem::floatItem(key("0009"), -0.4242640733718872));
  d.set(DescriptorItem::floatItem(key("0013"), 0.1));
  d.set(DescriptorItem::floatItem(key("0011"), 1.0));
  d.set(DescriptorItem::booleanItem(key("0075"), true));
  d.set(DescriptorItem::textItem(key("0035"), "caf\xc3\xa9 \"sky\".png"));
  DescriptorItem unitFloat = DescriptorItem::floatItem(key("wdth"), 2.5e-300);
  unitFloat.type = ps::typeUnitFloat;
  unitFloat.code = key("#Pxl");
  d.set(unitFloat);
  return d;
}

TEST(ActionFiles, textHasTheDocumentedShape) {
  Descriptor d;
  d.set(DescriptorItem::integerItem(key("0001"), 55));
  d.set(DescriptorItem::enumItem(key("SGky"), key("SGty"), key("GL62")));
  EXPECT_EQ(actionText(d, nullptr),
            "{\n"
            "  \"descriptor\": [\n"
            "    {\n"
            "      \"key\": \"0001\",\n"
            "      \"type\": \"long\",\n"
            "      \"value\": 55\n"
            "    },\n"
            "    {\n"
            "      \"key\": \"SGky\",\n"
            "      \"type\": \"enum\",\n"
            "      \"enumType\": \"SGty\",\n"
            "      \"value\": \"GL62\"\n"
            "    }\n"
            "  ]\n"
            "}\n");
}

TEST(ActionFiles, writingWhatWasReadGivesTheSameBytesAndValues) {
  testing::ScratchDir dir;
  ASSERT_TRUE(dir.valid());
  std::string error;
  ASSERT_TRUE(writeActionFile(dir.file("a.json"), sample(), &error)) << error;
  auto read = readActionFile(dir.file("a.json"), &error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(*read, sample());  // doubles come back bit for bit
  ASSERT_TRUE(writeActionFile(dir.file("b.json"), *read, &error)) << error;
  auto text = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(text(dir.file("a.json")), text(dir.file("b.json")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no leftovers
}

TEST(ActionFiles, damagedTextIsRefusedWithOneLine) {
  const char* damaged[] = {
      "",
      "[]",
      "{}",
      "{\"descriptor\": {}}",
      "{\"descriptor\": [1]}",
      "{\"descriptor\": [{\"key\": \"0001\", \"type\": \"long\"}]}",
      "{\"descriptor\": [{\"key\": \"001\", \"type\": \"long\", \"value\": 1}]}",
      "{\"descriptor\": [{\"key\": \"00001\", \"type\": \"long\", \"value\": 1}]}",
      "{\"descriptor\": [{\"key\": 1, \"type\": \"long\", \"value\": 1}]}",
      "{\"descriptor\": [{\"key\": \"0001\", \"type\": \"long\", \"value\": 1.5}]}",
      "{\"descriptor\": [{\"key\": \"0001\", \"type\": \"long\", \"value\": 4294967296}]}",
      "{\"descriptor\": [{\"key\": \"0001\", \"type\": \"long\", \"value\": \"1\"}]}",
      "{\"descriptor\": [{\"key\": \"0001\", \"type\": \"doub\", \"value\": true}]}",
      "{\"descriptor\": [{\"key\": \"0001\", \"type\": \"bool\", \"value\": 1}]}",
      "{\"descriptor\": [{\"key\": \"SGky\", \"type\": \"enum\", \"value\": \"GL62\"}]}",
      "{\"descriptor\": [{\"key\": \"SGky\", \"type\": \"enum\", \"enumType\": \"SGty\", "
      "\"value\": 67}]}",
      "{\"descriptor\": [{\"key\": \"0035\", \"type\": \"TEXT\", \"value\": null}]}",
      "{\"descriptor\": [{\"key\": \"0035\", \"type\": \"Objc\", \"value\": {}}]}",
      "{\"descriptor\": [{\"key\": \"0001\", \"type\": \"long\", \"value\": 1},"
      " {\"key\": \"0001\", \"type\": \"long\", \"value\": 2}]}",
      "{\"descriptor\": [{\"key\": \"0035\", \"type\": \"TEXT\", \"value\": \"\xff\"}]}",
  };
  for (const char* text : damaged) {
    std::string error;
    EXPECT_FALSE(parseActionText(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(ActionFiles, everyTruncationOfAValidFileIsRefused) {
  const std::string text = *actionText(sample(), nullptr);
  for (size_t n = 0; n + 1 < text.size(); ++n)  // the last byte is the closing newline
    EXPECT_FALSE(parseActionText(text.substr(0, n), nullptr)) << "length " << n;
}

TEST(ActionFiles, valuesFilesCannotHoldAreRefusedBeforeWriting) {
  testing::ScratchDir dir;
  Descriptor d;
  d.set(DescriptorItem::floatItem(key("0009"), std::numeric_limits<double>::infinity()));
  std::string error;
  EXPECT_FALSE(writeActionFile(dir.file("x.json"), d, &error));
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.json")));
  Descriptor alias;
  DescriptorItem item = DescriptorItem::textItem(key("alis"), "x");
  item.type = ps::typeAlias;
  alias.set(item);
  EXPECT_FALSE(actionText(alias, &error));
  Descriptor binary;
  binary.set(DescriptorItem::textItem(key("0035"), "\xff\xfe"));
  EXPECT_FALSE(actionText(binary, &error));
  EXPECT_FALSE(readActionFile(dir.file("missing.json"), &error));
}

// A record is written from what was read, so whatever a file can carry in must be writable:
// extreme finite numbers and long UTF-8 texts travel both ways; a number beyond a double, which
// JSON could not write back, is refused when read.
TEST(ActionFiles, everythingReadCanBeWrittenAndNumbersBeyondADoubleAreRefused) {
  std::string accents;
  for (int i = 0; i < 200; ++i) accents += "\xc3\xa9";
  const std::string text = R"({"descriptor": [)"
                           R"({"key": "0013", "type": "doub", "value": 1e300},)"
                           R"({"key": "0014", "type": "doub", "value": -4.9e-324},)"
                           R"({"key": "0035", "type": "TEXT", "value": "a)" +
                           accents + R"("}]})";
  std::string error;
  auto read = parseActionText(text, &error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->items[0].number, 1e300);
  auto written = actionText(*read, &error);
  ASSERT_TRUE(written) << error;
  auto again = parseActionText(*written, &error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(*again, *read);

  for (const char* huge : {"1e400", "-1e400"}) {
    const std::string item =
        std::string(R"({"descriptor": [{"key": "0013", "type": "long", "value": 1},)") +
        R"({"key": "0014", "type": "doub", "value": )" + huge + "}]}";
    error.clear();
    EXPECT_FALSE(parseActionText(item, &error)) << huge;
    EXPECT_NE(error.find(huge), std::string::npos) << error;
  }
}

TEST(ActionFiles, aRepeatedKeyIsFoundAmongManyItems) {
  constexpr int kItems = 9000;
  std::string text = R"({"descriptor": [)";
  for (int i = 0; i < kItems; ++i) {
    std::string key = std::to_string(i);
    key.insert(0, 4 - key.size(), '0');
    text += std::string(R"({"key": ")") + key + R"(", "type": "long", "value": 1},)";
  }
  text += R"({"key": "0123", "type": "long", "value": 2}]})";
  std::string error;
  EXPECT_FALSE(parseActionText(text, &error));
  EXPECT_EQ(error, "item 9001 repeats the key \"0123\"");
}

}  // namespace
}  // namespace orichalcumite
