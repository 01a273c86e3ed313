// The option notebook: the rename, text and watermark pages, their variable menus, the two
// samples, the font button and the picture Browse button.
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>

#include "dialogs.h"
#include "icons.h"
#include "imaging/masks.h"
#include "option_pages.h"
#include "settings/option_rules.h"
#include "widgets.h"

namespace brevane::app {

QMenu* OptionPages::variableMenu(const char* name, const std::vector<settings::VariableMenuItem>& items,
                                 TEdit* target) {
  auto* menu = named<QMenu>(name, m_window);
  std::function<void(QMenu*, const std::vector<settings::VariableMenuItem>&)> fill;
  fill = [&](QMenu* m, const std::vector<settings::VariableMenuItem>& list) {
    for (const settings::VariableMenuItem& item : list) {
      if (item.isSeparator()) {
        m->addSeparator();
        continue;
      }
      auto* action =
          new TMenuItem(QString::fromUtf8(item.caption.data(), static_cast<qsizetype>(item.caption.size())), m);
      action->setObjectName(QString::fromLatin1(item.component.data(), static_cast<qsizetype>(item.component.size())));
      if (!item.submenu.empty()) {
        auto* sub = new QMenu(m);
        fill(sub, item.submenu);
        action->setMenu(sub);
      } else {
        QString token = QString::fromUtf8(item.token.data(), static_cast<qsizetype>(item.token.size()));
        // The token replaces the selection, or goes in at the caret; the box's change
        // handler then refreshes the sample.
        connect(action, &QAction::triggered, target, [target, token] { target->insert(token); });
      }
      m->addAction(action);
    }
  };
  fill(menu, items);
  return menu;
}

QWidget* OptionPages::pageRename() {
  TTabSheet* page = sheet("TabSheet4", "Rename");
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(10, 10, 10, 8);
  grid->setVerticalSpacing(6);
  auto* rename = named<TCheckBox>("CheckBox5", "Rename");
  rename->setChecked(true);
  auto* maskCaption = named<TLabel>("Label8", "Mask:");
  m_renameMask = named<TEdit>("Edit2", "[N]");
  auto* add = named<TPngBitBtn>("PngBitBtn6", commandIcon(IconId::kVariable), "Add variable");
  QMenu* menu = variableMenu("PopupMenu3", settings::renameMaskMenu(), m_renameMask);
  connect(add, &QPushButton::clicked, menu, [menu] { menu->popup(QCursor::pos()); });
  auto* counterCaption = named<TLabel>("Label9", "Counter digits:");
  m_counterLength = spin("SpinEdit5", "Counter_length", 1);
  m_renameSample = named<TLabel>("Label17");
  m_renameSample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  // The mask has the whole width; the counter and the menu button share the row below it.
  grid->addWidget(rename, 0, 0, 1, 3);
  grid->addWidget(maskCaption, 1, 0);
  grid->addWidget(m_renameMask, 1, 1, 1, 2);
  grid->addWidget(counterCaption, 2, 0);
  auto* counterRow = new QHBoxLayout;
  counterRow->addWidget(m_counterLength);
  counterRow->addStretch(1);
  grid->addLayout(counterRow, 2, 1);
  grid->addWidget(add, 2, 2);
  grid->addWidget(m_renameSample, 3, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(4, 1);

  connect(m_renameMask, &QLineEdit::textChanged, this, &OptionPages::Edit2Change);
  connect(m_counterLength, &QSpinBox::valueChanged, this, &OptionPages::Edit2Change);
  followBox(rename, {maskCaption, m_renameMask, add, counterCaption, m_counterLength, m_renameSample});
  return page;
}

QWidget* OptionPages::pageText() {
  TTabSheet* page = sheet("TabSheet6", "Text");
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(10, 10, 10, 8);
  grid->setVerticalSpacing(6);
  auto* draw = named<TCheckBox>("CheckBox12", "Draw text");
  auto* maskCaption = named<TLabel>("Label15", "Text:");
  m_textMask = named<TEdit>("Edit3", "[D] - [T]");
  auto* add = named<TPngBitBtn>("PngBitBtn5", commandIcon(IconId::kVariable), "Add variable");
  QMenu* menu = variableMenu("PopupMenu2", settings::textMaskMenu(), m_textMask);
  connect(add, &QPushButton::clicked, menu, [menu] { menu->popup(QCursor::pos()); });
  auto* font = named<TPngBitBtn>("PngBitBtn4", commandIcon(IconId::kFont), "Font...");
  connect(font, &QPushButton::clicked, this, &OptionPages::PngBitBtn4Click);
  auto* positionCaption = named<TLabel>("Label16", "Position:");
  m_textPosition = named<QComboBox>("ComboBox5");
  for (const std::string& p : settings::positionNames()) m_textPosition->addItem(QString::fromStdString(p));
  m_textPosition->setCurrentIndex(6);
  auto* opacityCaption = named<TLabel>("Label22", "Opacity:");
  auto* opacity = spin("SpinEdit6", "Text_opacity", 75);
  auto* shadow = named<TCheckBox>("CheckBox14", "Shadow");
  shadow->setChecked(true);
  m_textSample = named<TLabel>("Label25");
  m_textSample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  grid->addWidget(draw, 0, 0, 1, 3);
  grid->addWidget(maskCaption, 1, 0);
  grid->addWidget(m_textMask, 1, 1, 1, 2);
  grid->addWidget(positionCaption, 2, 0);
  grid->addWidget(m_textPosition, 2, 1);
  grid->addWidget(add, 2, 2);
  grid->addWidget(opacityCaption, 3, 0);
  auto* opacityRow = new QHBoxLayout;
  opacityRow->addWidget(opacity);
  opacityRow->addSpacing(12);
  opacityRow->addWidget(shadow);
  opacityRow->addStretch(1);
  grid->addLayout(opacityRow, 3, 1);
  grid->addWidget(font, 3, 2);
  grid->addWidget(m_textSample, 4, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(5, 1);

  connect(m_textMask, &QLineEdit::textChanged, this, &OptionPages::Edit3Change);
  followBox(draw, {maskCaption, m_textMask, add, font, positionCaption, m_textPosition, opacityCaption, opacity, shadow,
                   m_textSample});
  setTextFont(m_textFont);
  return page;
}

QWidget* OptionPages::pageWatermark() {
  TTabSheet* page = sheet("TabSheet7", "Watermark");
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(10, 10, 10, 8);
  grid->setVerticalSpacing(6);
  auto* draw = named<TCheckBox>("CheckBox15", "Draw watermark");
  auto* pathCaption = named<TLabel>("Label23", "Image:");
  m_watermarkPath = named<TEdit>("Edit5");
  auto* browse = named<TPngBitBtn>("PngBitBtn7", commandIcon(IconId::kBrowse), "Browse...");
  connect(browse, &QPushButton::clicked, this, &OptionPages::PngBitBtn7Click);
  auto* positionCaption = named<TLabel>("Label24", "Position:");
  m_watermarkPosition = named<QComboBox>("ComboBox7");
  for (const std::string& p : settings::positionNames()) m_watermarkPosition->addItem(QString::fromStdString(p));
  m_watermarkPosition->setCurrentIndex(6);
  // The overlay preview's button stays hidden and disabled; a double click on the preview
  // opens the overlay preview instead.
  auto* preview = named<TPngBitBtn>("PngBitBtn8", commandIcon(IconId::kPreview), "Preview");
  preview->setVisible(false);
  preview->setEnabled(false);

  grid->addWidget(draw, 0, 0, 1, 3);
  grid->addWidget(pathCaption, 1, 0);
  grid->addWidget(m_watermarkPath, 1, 1);
  grid->addWidget(browse, 1, 2);
  grid->addWidget(positionCaption, 2, 0);
  grid->addWidget(m_watermarkPosition, 2, 1);
  grid->addWidget(preview, 3, 2);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(4, 1);
  followBox(draw, {pathCaption, m_watermarkPath, browse, positionCaption, m_watermarkPosition});
  return page;
}

void OptionPages::Edit2Change() {
  std::string sample = imaging::renameSample(m_renameMask->text().toStdString(), m_counterLength->value(),
                                             m_width->value(), m_height->value(), localNow(), m_filefs);
  setElidedText(m_renameSample, QString::fromStdString(sample));
}

void OptionPages::Edit3Change() {
  std::string sample =
      imaging::textSample(m_textMask->text().toStdString(), m_width->value(), m_height->value(), localNow(), m_textfs);
  setElidedText(m_textSample, QString::fromStdString(sample));
}

void OptionPages::setTextFont(const FontChoice& font) {
  m_textFont = font;
  // The sample shows the stamp font's face and style at the window's own size and colour.
  QFont f = m_textSample->parentWidget() ? m_textSample->parentWidget()->font() : QFont();
  QFont stamp = toQFont(font);
  f.setFamily(stamp.family());
  f.setBold(stamp.bold());
  f.setItalic(stamp.italic());
  f.setUnderline(stamp.underline());
  f.setStrikeOut(stamp.strikeOut());
  m_textSample->setFont(f);
  setElidedText(m_textSample, fullText(m_textSample));
}

void OptionPages::fontDialogClosed(const FontChoice* chosen) {
  setTextFont(chosen ? *chosen : m_textFont);
}

void OptionPages::PngBitBtn4Click() {
  FontChoice font = m_textFont;
  bool chosen = chooseStampFont(m_window, font);
  fontDialogClosed(chosen ? &font : nullptr);
}

void OptionPages::PngBitBtn7Click() {
  QString file = choosePicture(m_window, m_notebook->tabText(m_notebook->indexOf(m_watermarkPath->parentWidget())),
                               m_watermarkPath->text());
  if (!file.isEmpty()) m_watermarkPath->setText(file);
}

}  // namespace brevane::app
