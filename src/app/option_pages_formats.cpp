// The option notebook: the pages of the WebP, AVIF and JPEG XL writers.
#include <QEvent>
#include <QGridLayout>

#include "option_pages.h"
#include "settings/option_rules.h"
#include "widgets.h"

namespace brevane::app {

namespace {

// A slider row whose value label shows the position with "%"; gives the row's three widgets.
std::vector<QWidget*> percentRow(QGridLayout* grid, int row, TLabel* caption, TTrackBar* slider, TLabel* value) {
  auto show = [value](int v) { value->setText(QString::fromStdString(settings::percentLabel(v))); };
  QObject::connect(slider, &QSlider::valueChanged, value, show);
  show(slider->value());
  sliderRow(grid, row, caption, slider, value);
  return {caption, slider, value};
}

// Shows the caption's hint on the slider too: the language switch sets hints on labels, not on
// sliders.
class HintMirror : public QObject {
 public:
  HintMirror(QWidget* caption, QWidget* slider) : QObject(caption), m_slider(slider) {
    caption->installEventFilter(this);
    slider->setToolTip(caption->toolTip());
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ToolTipChange) m_slider->setToolTip(static_cast<QWidget*>(watched)->toolTip());
    return false;
  }

 private:
  QWidget* m_slider;
};

// Lossless greys the quality row, which the lossless mode does not use; unticking it gives the
// slider back at its position.
void greyWhenLossless(TCheckBox* lossless, const std::vector<QWidget*>& qualityRow) {
  auto apply = [qualityRow](bool on) {
    for (QWidget* w : qualityRow) w->setEnabled(settings::j2kQualityEnabled(on));
  };
  QObject::connect(lossless, &QCheckBox::toggled, lossless, apply);
  apply(lossless->isChecked());
}

}  // namespace

QWidget* OptionPages::pageWebp() {
  TTabSheet* page = sheet("TabSheet9", "WebP");
  QGridLayout* grid = pageGrid(page);
  std::vector<QWidget*> quality = percentRow(grid, 0, named<TLabel>("Label26", "Quality:"),
                                             slider("TrackBar4", "WEBP_quality", 80, 2), named<TLabel>("Label27"));
  auto* lossless = named<TCheckBox>("CheckBox16", "Lossless");
  greyWhenLossless(lossless, quality);
  grid->addWidget(lossless, 1, 0, 1, 3);
  grid->setRowStretch(2, 1);
  return page;
}

QWidget* OptionPages::pageAvif() {
  TTabSheet* page = sheet("TabSheet10", "AVIF");
  QGridLayout* grid = pageGrid(page);
  percentRow(grid, 0, named<TLabel>("Label28", "Quality:"), slider("TrackBar5", "AVIF_quality", 60, 2),
             named<TLabel>("Label29"));
  TTrackBar* speed = slider("TrackBar6", "AVIF_speed", 6, 1);
  speed->setPageStep(1);
  auto* value = named<TLabel>("Label31");
  auto show = [value](int v) { value->setText(QString::fromStdString(settings::plainLabel(v))); };
  connect(speed, &QSlider::valueChanged, value, show);
  show(speed->value());
  auto* caption = named<TLabel>("Label30", "Speed:");
  caption->setToolTip(QStringLiteral("0: slowest, smallest file; 10: fastest"));
  new HintMirror(caption, speed);
  sliderRow(grid, 1, caption, speed, value);
  grid->setRowStretch(2, 1);
  return page;
}

QWidget* OptionPages::pageJxl() {
  TTabSheet* page = sheet("TabSheet11", "JPEG XL");
  QGridLayout* grid = pageGrid(page);
  std::vector<QWidget*> quality = percentRow(grid, 0, named<TLabel>("Label32", "Quality:"),
                                             slider("TrackBar7", "JXL_quality", 80, 2), named<TLabel>("Label33"));
  auto* lossless = named<TCheckBox>("CheckBox17", "Lossless");
  greyWhenLossless(lossless, quality);
  grid->addWidget(lossless, 1, 0, 1, 3);
  grid->setRowStretch(2, 1);
  return page;
}

}  // namespace brevane::app
