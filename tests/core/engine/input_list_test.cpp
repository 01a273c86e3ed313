// The input list: duplicates, cells, sorting and the command states.
#include "engine/input_list.h"

#include <gtest/gtest.h>

#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane {
namespace {

std::vector<std::string> names(const InputList& list) {
  std::vector<std::string> out;
  for (const InputRow& r : list.rows()) out.push_back(r.name);
  return out;
}

class InputListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test::makeTempDir("list");
    test::writeBytes(dir + "b.bmp", codecs::encodeBmp(test::patternImage(30, 20)));
    test::writeBytes(dir + "a.BMP", codecs::encodeBmp(test::patternImage(300, 200)));
    test::writeBytes(dir + "c.nef", std::vector<uint8_t>(5000, 1));
  }
  std::string dir;
};

TEST_F(InputListTest, RowsCarryTheirCells) {
  InputList list;
  ASSERT_TRUE(list.addfile(dir + "a.BMP"));
  ASSERT_TRUE(list.addfile(dir + "c.nef"));
  ASSERT_TRUE(list.addfile(dir + "gone.png"));
  const InputRow& a = list.rows()[0];
  EXPECT_EQ(a.path, dir);
  EXPECT_EQ(a.name, "a.BMP");
  EXPECT_EQ(a.type, "BMP");
  EXPECT_EQ(a.size, "175 KiB");
  EXPECT_EQ(a.imageSize, "300x200");
  EXPECT_EQ(list.rows()[1].imageSize, "0x0");  // RAW files always show 0x0
  EXPECT_EQ(list.rows()[1].size, "4 KiB");
  EXPECT_EQ(list.rows()[2].size, "0 KiB");  // cannot be opened: -1 bytes
  EXPECT_EQ(list.rows()[2].imageSize, "0x0");
  EXPECT_EQ(list.paths()[0], dir + "a.BMP");
}

TEST_F(InputListTest, DuplicatesAreExactIncludingCase) {
  InputList list;
  EXPECT_TRUE(list.addfile(dir + "b.bmp"));
  EXPECT_FALSE(list.addfile(dir + "b.bmp"));
  EXPECT_TRUE(list.addfile(dir + "B.bmp"));
  EXPECT_EQ(list.size(), 2u);
}

TEST_F(InputListTest, HeaderClicksFlipOneSharedDirection) {
  InputList list;
  for (const char* n : {"b.bmp", "a.BMP", "c.nef"}) list.addfile(dir + n);
  list.sortByColumn(InputColumn::kSize);  // first click: descending
  EXPECT_EQ(names(list), (std::vector<std::string>{"a.BMP", "c.nef", "b.bmp"}));
  list.sortByColumn(InputColumn::kName);  // next click, another column: ascending
  EXPECT_EQ(names(list), (std::vector<std::string>{"a.BMP", "b.bmp", "c.nef"}));
  list.sortByColumn(InputColumn::kImageSize);  // descending by area; 0x0 last
  EXPECT_EQ(names(list), (std::vector<std::string>{"a.BMP", "b.bmp", "c.nef"}));
  list.sortByColumn(InputColumn::kSize);  // ascending
  EXPECT_EQ(names(list).front(), "b.bmp");

  std::string other = test::makeTempDir("list");
  test::writeBytes(other + "z.bmp", codecs::encodeBmp(test::patternImage(2, 2)));
  list.addfile(other + "z.bmp");  // adding sorts by Path again
  for (size_t i = 1; i < list.size(); ++i) EXPECT_LE(list.rows()[i - 1].path, list.rows()[i].path);
}

TEST(InputListCells, ImageSizeCellsAndSizes) {
  EXPECT_EQ(parseImageSizeCell("640x480"), (std::pair<int64_t, int64_t>{640, 480}));
  EXPECT_EQ(parseImageSizeCell(" 1920 x 1080 ( 16:9 )"), (std::pair<int64_t, int64_t>{1920, 1080}));
  EXPECT_EQ(parseImageSizeCell("0x0"), (std::pair<int64_t, int64_t>{-1, -1}));  // shorter than 4
  EXPECT_EQ(parseImageSizeCell("axbc"), (std::pair<int64_t, int64_t>{-1, -1}));
  EXPECT_EQ(sizeCell(1023), "0 KiB");
  EXPECT_EQ(sizeCell(-1), "0 KiB");
  EXPECT_EQ(nameColumnHeader("Name", 0), "Name (0)");
}

TEST(InputListCommands, EnabledStates) {
  ListCommandState none = listCommandState(0, false, false, true);
  EXPECT_FALSE(none.convertButton || none.convertToolButton || none.clearList || none.selectAll || none.deleteSelected);
  EXPECT_TRUE(none.addFolder);
  ListCommandState rows = listCommandState(3, true, false, false);
  EXPECT_TRUE(rows.convertButton && rows.clearList && rows.selectAll && rows.deleteSelected);
  ListCommandState adding = listCommandState(3, false, true, false);
  EXPECT_FALSE(adding.addFolder);
  EXPECT_FALSE(adding.convertButton);  // keeps its previous (disabled) state while adding
  EXPECT_FALSE(adding.deleteSelected);
  EXPECT_TRUE(listCommandState(3, false, true, true).convertButton);
}

TEST(InputListRemove, RemovesSelectedRows) {
  InputList list([](const std::string&) { return std::pair<int, int>{1, 1}; });
  for (const char* p : {"/x/a.png", "/x/b.png", "/x/c.png", "/x/d.png"}) list.addfile(p);
  list.removeRows({3, 1, 1, 9});
  EXPECT_EQ(names(list), (std::vector<std::string>{"a.png", "c.png"}));
}

}  // namespace
}  // namespace brevane
