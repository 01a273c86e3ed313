// The input list: duplicates, cells, sorting and the command states.
#include "engine/input_list.h"

#include <gtest/gtest.h>

#include <clocale>
#include <random>

#include "codecs/encoders.h"
#include "support/test_support.h"

namespace brevane {
namespace {

std::vector<std::string> names(const InputList& list) {
  std::vector<std::string> out;
  for (size_t i = 0; i < list.size(); ++i) out.push_back(list.row(i).name);
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
  const InputRow& a = list.row(0);
  EXPECT_EQ(a.path, dir);
  EXPECT_EQ(a.name, "a.BMP");
  EXPECT_EQ(a.type, "BMP");
  EXPECT_EQ(a.size, "175 KiB");
  EXPECT_EQ(a.imageSize, "300x200");
  EXPECT_EQ(list.row(1).imageSize, "0x0");  // RAW files always show 0x0
  EXPECT_EQ(list.row(1).size, "4 KiB");
  EXPECT_EQ(list.row(2).size, "0 KiB");  // cannot be opened: -1 bytes
  EXPECT_EQ(list.row(2).imageSize, "0x0");
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
  for (size_t i = 1; i < list.size(); ++i) EXPECT_LE(list.row(i - 1).path, list.row(i).path);
}

TEST(InputListOrder, FoldersInOrderAndEachFolderAsAdded) {
  InputList list([](const std::string&) { return std::pair<int, int>{1, 1}; });
  for (const char* p : {"/b/x.png", "/a/y.png", "/b/a.png", "/a/b.png", "/c/z.png", "/a/a.png"}) list.addfile(p);
  EXPECT_EQ(list.paths(),
            (std::vector<std::string>{"/a/y.png", "/a/b.png", "/a/a.png", "/b/x.png", "/b/a.png", "/c/z.png"}));
  EXPECT_EQ(*list.addfile("/b/c.png"), 5u);  // the index the window inserts its row at
}

TEST(InputListOrder, ColumnSortsAgreeWithTheColumnComparison) {
  // Random cells; after every click, neighbouring rows are in the order the comparison gives,
  // and rows of equal keys keep their previous order.
  std::mt19937 rng(5);
  auto pick = [&](std::initializer_list<const char*> v) { return std::string(*(v.begin() + rng() % v.size())); };
  InputList list(PixelSizeFn{});
  for (int i = 0; i < 300; ++i) {
    std::string path = "/" + pick({"Alpha", "beta", "alpha", "Zeta"}) + "/" + pick({"img", "IMG", "Photo", "a"}) +
                       std::to_string(i) + pick({".jpg", ".PNG", ".tga", ".Bmp"});
    list.addfile(path);
    list.setImageSize(path, static_cast<int>(rng() % 50), static_cast<int>(rng() % 50));
  }
  for (InputColumn column :
       {InputColumn::kName, InputColumn::kType, InputColumn::kImageSize, InputColumn::kPath, InputColumn::kType}) {
    std::vector<std::string> before = list.paths();
    list.sortByColumn(column);
    for (size_t i = 1; i < list.size(); ++i) {
      int c = compareRows(list.row(i - 1), list.row(i), column, list.sortDirection());
      ASSERT_LE(c, 0) << i;
      if (c == 0) {
        auto at = [&](const std::string& p) { return std::find(before.begin(), before.end(), p) - before.begin(); };
        ASSERT_LT(at(list.row(i - 1).fullPath()), at(list.row(i).fullPath())) << "stable";
      }
    }
  }
}

TEST(InputListOrder, LettersOfAnyScriptCompareAsCapitals) {
  const char* saved = std::setlocale(LC_CTYPE, nullptr);
  std::string restore = saved ? saved : "C";
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  InputList list([](const std::string&) { return std::pair<int, int>{1, 1}; });
  // Lower-case а (U+0430) sorts after capital Б (U+0411) unless both are compared as capitals.
  for (const char* p : {"/x/Б.jpg", "/x/а.jpg", "/x/В.jpg"}) list.addfile(p);
  list.sortByColumn(InputColumn::kName);  // descending
  list.sortByColumn(InputColumn::kName);  // ascending
  std::setlocale(LC_CTYPE, restore.c_str());
  EXPECT_EQ(names(list), (std::vector<std::string>{"а.jpg", "Б.jpg", "В.jpg"}));
}

TEST(InputListCells, SizesReadLaterAndRowsThatNeverGetOne) {
  std::string dir = test::makeTempDir("list");
  test::writeBytes(dir + "p.bmp", codecs::encodeBmp(test::patternImage(3, 2)));
  test::writeBytes(dir + "r.cr2", std::vector<uint8_t>(100, 1));
  InputList list(PixelSizeFn{});  // the window reads sizes itself
  list.addfile(dir + "p.bmp");
  list.addfile(dir + "r.cr2");
  list.addfile(dir + "gone.bmp");
  EXPECT_EQ(list.find(dir + "p.bmp")->imageSize, "");  // to be read
  EXPECT_EQ(list.find(dir + "r.cr2")->imageSize, "0x0");
  EXPECT_EQ(list.find(dir + "gone.bmp")->imageSize, "0x0");
  EXPECT_TRUE(list.setImageSize(dir + "p.bmp", 3, 2));
  EXPECT_EQ(list.find(dir + "p.bmp")->imageSize, "3x2");
  list.removeRows({0});
  EXPECT_FALSE(list.setImageSize(dir + "p.bmp", 3, 2));  // its row was deleted meanwhile
  EXPECT_TRUE(list.addfile(dir + "p.bmp").has_value());  // and it can come back
  EXPECT_EQ(imageSizeCell(0, 0), "0x0");
  EXPECT_EQ(imageSizeCell(0, 7), "0x7");
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
