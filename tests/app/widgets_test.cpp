// The exact-kind re-texting of a window and the dialog filter in Qt's form.
#include "widgets.h"

#include <QDialog>
#include <QMenu>
#include <QTabWidget>
#include <map>

#include "app_test_support.h"
#include "codecs/registry.h"
#include "dialogs.h"
#include "retext.h"

namespace brevane::app::test {
namespace {

class DerivedLabel : public TLabel {
 public:
  using TLabel::TLabel;
};

TEST(Retext, AppliesTheRowsOfTheExactKindOnly) {
  QWidget window;
  window.setObjectName("W");
  auto* label = named<TLabel>("Label1", "old", &window);
  auto* derived = new DerivedLabel("old", &window);
  derived->setObjectName("Label2");
  auto* plain = named<QLabel>("Label3", "old", &window);
  auto* check = named<TCheckBox>("CheckBox1", "old", &window);
  auto* spin = named<TSpinEdit>("SpinEdit1", &window);
  auto* edit = named<TEdit>("Edit1", "value", &window);
  auto* tabs = new QTabWidget(&window);
  auto* sheet = named<TTabSheet>("TabSheet1");
  tabs->addTab(sheet, "old");
  auto* menu = new QMenu(&window);
  auto* item = new TMenuItem("old", menu);
  item->setObjectName("N1");
  menu->addAction(item);
  auto* open = named<TOpenDialog>("OpenDialog1", &window);
  auto* dialog = new QDialog(&window);  // a dialog re-texts itself
  auto* inDialog = named<TLabel>("Label9", "old", dialog);

  std::map<std::string, std::string> texts = {{"BRVMainform", "Title"},
                                              {"BRVMainformLabel1", "caption"},
                                              {"BRVMainformLabel1Hint", "hint"},
                                              {"BRVMainformLabel2", "derived"},
                                              {"BRVMainformLabel3", "plain"},
                                              {"BRVMainformCheckBox1", "check"},
                                              {"BRVMainformCheckBox1Hint", "checkhint"},
                                              {"BRVMainformSpinEdit1", "nope"},
                                              {"BRVMainformSpinEdit1Hint", "spinhint"},
                                              {"BRVMainformEdit1", "content"},
                                              {"BRVMainformTabSheet1", "page"},
                                              {"BRVMainformN1", "menu"},
                                              {"BRVMainformOpenDialog1", "dialog title"},
                                              {"BRVMainformLabel9", "wrong window"}};
  retextWindow(&window, i18n::WindowRole::kMain, [&](const std::string& key) -> std::optional<std::string> {
    auto it = texts.find(key);
    if (it == texts.end()) return std::nullopt;
    return it->second;
  });
  EXPECT_EQ(window.windowTitle(), "Title");
  EXPECT_EQ(label->text(), "caption");
  EXPECT_EQ(label->toolTip(), "hint");
  EXPECT_EQ(derived->text(), "old");
  EXPECT_EQ(plain->text(), "old");
  EXPECT_EQ(check->text(), "check");
  EXPECT_EQ(check->toolTip(), "checkhint");
  EXPECT_EQ(spin->toolTip(), "spinhint");
  EXPECT_EQ(edit->text(), "content");
  EXPECT_EQ(tabs->tabText(0), "page");
  EXPECT_EQ(item->text(), "menu");
  EXPECT_EQ(open->title(), "dialog title");
  EXPECT_EQ(inDialog->text(), "old");
}

TEST(Dialogs, FilterBecomesQtNameFilters) {
  EXPECT_EQ(qtNameFilters("All|*.jpg;*.png;|.BMP (Windows Bitmap)|*bmp|.GIF ()|*gif"),
            (QStringList{"All (*.jpg *.png)", ".BMP (Windows Bitmap) (*bmp)", ".GIF () (*gif)"}));
  QStringList real = qtNameFilters(codecs::openDialogFilter());
  ASSERT_GT(real.size(), 10);
  EXPECT_TRUE(real[0].startsWith("All (*."));
  EXPECT_TRUE(real[0].contains("*.png"));
}

TEST(Dialogs, FontRoundTripKeepsCharsetAndColour) {
  FontChoice chosen{"DejaVu Sans", 204, 0x00336699, 18, 2 | 8};
  FontChoice back = chosen;
  back.name.clear();
  back.size = 1;
  back.style = 0;
  applyQFont(back, toQFont(chosen));
  EXPECT_EQ(back, chosen);
}

}  // namespace
}  // namespace brevane::app::test
