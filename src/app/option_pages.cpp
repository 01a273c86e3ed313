// The option notebook: shared helpers, the format pages and the output page.
#include "option_pages.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QProxyStyle>
#include <QTabBar>
#include <QTabWidget>

#include "dialogs.h"
#include "icons.h"
#include "option_pages_output_control.h"
#include "settings/settings_store.h"
#include "widgets.h"

namespace brevane::app {

namespace {

// Re-elides a label's text whenever the label changes size.
class ElideFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) {
      auto* label = static_cast<QLabel*>(watched);
      label->setText(elided(label));
    }
    return false;
  }
  static QString elided(const QLabel* label) {
    return QFontMetrics(label->font()).elidedText(fullText(label), Qt::ElideRight, label->contentsRect().width());
  }
};

const settings::SettingsKey& keyOf(const char* name) {
  return *settings::findSettingsKey(name);
}

// Tabs with less padding than the style's, so that every page's tab shows in the notebook's
// width in both languages instead of behind scroll arrows.
class CompactTabStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_TabBarTabHSpace) return 12;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

void setElidedText(QLabel* label, const QString& text) {
  if (!label->property("fullText").isValid()) label->installEventFilter(new ElideFilter(label));
  label->setProperty("fullText", text);
  label->setText(ElideFilter::elided(label));
}

QString fullText(const QLabel* label) {
  return label->property("fullText").toString();
}

OptionPages::OptionPages(QWidget* window, LangString langString)
    : QObject(window), m_window(window), m_lang(std::move(langString)) {
  m_notebook = named<QTabWidget>("PageControl1", window);
  m_notebook->setUsesScrollButtons(true);
  auto* tabStyle = new CompactTabStyle;
  tabStyle->setParent(m_notebook);
  m_notebook->tabBar()->setStyle(tabStyle);
  m_notebook->setElideMode(Qt::ElideNone);
  m_notebook->addTab(pageJpeg(), QString());
  m_notebook->addTab(pagePng(), QString());
  m_notebook->addTab(pageJpeg2000(), QString());
  m_notebook->addTab(pageWebp(), QString());
  m_notebook->addTab(pageAvif(), QString());
  m_notebook->addTab(pageJxl(), QString());
  m_notebook->addTab(pageRename(), QString());
  m_notebook->addTab(pageResize(), QString());
  m_notebook->addTab(pageText(), QString());
  m_notebook->addTab(pageWatermark(), QString());
  m_notebook->addTab(pagePhotos(), QString());
  QWidget* output = pageOutput();
  m_notebook->addTab(outputControlPage(output), QString());
  m_notebook->addTab(output, QString());
  for (int i = 0; i < m_notebook->count(); ++i)
    m_notebook->setTabText(i, static_cast<TTabSheet*>(m_notebook->widget(i))->caption());
  // The JPEG 2000 page is hidden in the design and shown during start-up.
  m_notebook->setTabVisible(m_notebook->indexOf(m_pageJpeg2000), false);
  m_notebook->setCurrentIndex(m_notebook->count() - 1);
  SetRadioEnable();
}

TTabSheet* OptionPages::sheet(const char* name, const char* caption) {
  auto* page = named<TTabSheet>(name);
  page->setCaption(QString::fromUtf8(caption));
  return page;
}

TTrackBar* OptionPages::slider(const char* name, const char* key, int design, int tickInterval) {
  auto* s = named<TTrackBar>(name);
  s->setRange(keyOf(key).minimum, keyOf(key).maximum);
  s->setTickPosition(QSlider::TicksBelow);
  s->setTickInterval(tickInterval);
  s->setPageStep(tickInterval * 5);
  s->setValue(design);
  return s;
}

TSpinEdit* OptionPages::spin(const char* name, const char* key, int design) {
  auto* s = named<TSpinEdit>(name);
  const settings::SettingsKey& k = keyOf(key);
  s->setRange(k.minimum, k.maximum == settings::kMaxIsCpuCount ? k.minimum : k.maximum);
  s->setValue(design);
  return s;
}

void OptionPages::followBox(TCheckBox* box, const std::vector<QWidget*>& dependents) {
  // The controls of a page that draws or renames only matter while its own box is ticked.
  auto apply = [dependents](bool on) {
    for (QWidget* w : dependents) w->setEnabled(on);
  };
  connect(box, &QCheckBox::toggled, this, apply);
  apply(box->isChecked());
}

QGridLayout* pageGrid(QWidget* page) {
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(10, 10, 10, 8);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);
  return grid;
}

void sliderRow(QGridLayout* grid, int row, TLabel* caption, TTrackBar* slider, TLabel* value) {
  grid->addWidget(caption, row, 0);
  grid->addWidget(slider, row, 1);
  value->setMinimumWidth(QFontMetrics(value->font()).horizontalAdvance("100%") + 4);
  grid->addWidget(value, row, 2);
  grid->setColumnStretch(1, 1);
}

QWidget* OptionPages::pageJpeg() {
  TTabSheet* page = sheet("TabSheet1", "JPG");
  QGridLayout* grid = pageGrid(page);
  auto* caption = named<TLabel>("Label1", "Quality:");
  TTrackBar* quality = slider("TrackBar1", "JPG_quality", 85, 2);
  auto* value = named<TLabel>("Label3");
  connect(quality, &QSlider::valueChanged, value,
          [value](int v) { value->setText(QString::fromStdString(settings::percentLabel(v))); });
  value->setText(QString::fromStdString(settings::percentLabel(quality->value())));
  sliderRow(grid, 0, caption, quality, value);
  grid->addWidget(named<TCheckBox>("CheckBox1", "Progressive"), 1, 0, 1, 3);
  grid->setRowStretch(2, 1);
  return page;
}

QWidget* OptionPages::pagePng() {
  TTabSheet* page = sheet("TabSheet2", "PNG");
  QGridLayout* grid = pageGrid(page);
  auto* caption = named<TLabel>("Label2", "Compression:");
  TTrackBar* compression = slider("TrackBar2", "PNG_compression", 9, 1);
  compression->setPageStep(1);
  auto* value = named<TLabel>("Label4");
  connect(compression, &QSlider::valueChanged, value,
          [value](int v) { value->setText(QString::fromStdString(settings::plainLabel(v))); });
  value->setText(QString::fromStdString(settings::plainLabel(compression->value())));
  sliderRow(grid, 0, caption, compression, value);
  auto* interlace = named<TCheckBox>("CheckBox9", "Interlaced (Adam7)");
  auto* filter = named<TCheckBox>("CheckBox10", "Filter (reduces size)");
  filter->setChecked(true);
  grid->addWidget(interlace, 1, 0, 1, 3);
  grid->addWidget(filter, 2, 0, 1, 3);
  grid->setRowStretch(3, 1);
  return page;
}

QWidget* OptionPages::pageJpeg2000() {
  TTabSheet* page = sheet("TabSheet3", "JPEG 2000");
  m_pageJpeg2000 = page;
  QGridLayout* grid = pageGrid(page);
  m_j2kCaption = named<TLabel>("Label20", "Quality:");
  m_j2kQuality = slider("TrackBar3", "J2K_quality", 75, 2);
  m_j2kValue = named<TLabel>("Label21");
  connect(m_j2kQuality, &QSlider::valueChanged, m_j2kValue,
          [this](int v) { m_j2kValue->setText(QString::fromStdString(settings::percentLabel(v))); });
  m_j2kValue->setText(QString::fromStdString(settings::percentLabel(m_j2kQuality->value())));
  sliderRow(grid, 0, m_j2kCaption, m_j2kQuality, m_j2kValue);
  auto* lossless = named<TCheckBox>("CheckBox11", "Lossless");
  connect(lossless, &QCheckBox::toggled, this, [this](bool on) {
    bool enabled = settings::j2kQualityEnabled(on);
    for (QWidget* w :
         {static_cast<QWidget*>(m_j2kQuality), static_cast<QWidget*>(m_j2kCaption), static_cast<QWidget*>(m_j2kValue)})
      w->setEnabled(enabled);
  });
  grid->addWidget(lossless, 1, 0, 1, 3);
  grid->setRowStretch(2, 1);
  return page;
}

QWidget* OptionPages::pageOutput() {
  TTabSheet* page = sheet("TabSheet8", "Output settings");
  QGridLayout* grid = pageGrid(page);
  grid->addWidget(named<TLabel>("Label5", "Output folder:"), 0, 0, 1, 5);
  m_outputPath = named<TEdit>("Edit1");
  auto* browse = named<TPngBitBtn>("PngBitBtn3", commandIcon(IconId::kBrowse), "Browse...");
  connect(browse, &QPushButton::clicked, this, &OptionPages::PngBitBtn3Click);
  grid->addWidget(m_outputPath, 1, 0, 1, 4);
  grid->addWidget(browse, 1, 4);

  m_formatCaption = named<TLabel>("Label6", "Format:");
  m_formats = named<QComboBox>("ComboBox1");
  const auto& formats = settings::outputFormatNames();
  for (size_t i = 0; i < 4 && i < formats.size(); ++i) m_formats->addItem(QString::fromStdString(formats[i]));
  m_formats->setCurrentIndex(0);
  m_threads = spin("SpinEdit1", "Threads", 1);
  grid->addWidget(m_formatCaption, 2, 0);
  grid->addWidget(m_formats, 2, 1);
  grid->addWidget(named<TLabel>("Label7", "Threads:"), 2, 2, Qt::AlignRight);
  m_threads->setMinimumWidth(64);
  grid->addWidget(m_threads, 2, 3, Qt::AlignLeft);

  auto* overwrite = named<TCheckBox>("CheckBox2", "Overwrite");
  auto* autoFormat = named<TCheckBox>("CheckBox3", "Auto format");
  auto* exif = named<TCheckBox>("CheckBox8", "Use Exif");
  exif->setChecked(true);
  connect(autoFormat, &QCheckBox::toggled, this, [this](bool on) {
    m_formats->setEnabled(settings::outputFormatEnabled(on));
    m_formatCaption->setEnabled(settings::outputFormatEnabled(on));
  });
  grid->addWidget(overwrite, 3, 0, 1, 5);
  grid->addWidget(autoFormat, 4, 0, 1, 5);
  grid->addWidget(exif, 5, 0, 1, 5);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(6, 1);
  return page;
}

void OptionPages::setDateFormats(const DateTimeFormat& textfs, const DateTimeFormat& filefs) {
  m_textfs = textfs;
  m_filefs = filefs;
  Edit2Change();
  Edit3Change();
}

void OptionPages::setThreadsMaximum(int cpus) {
  m_threads->setMaximum(std::max(1, cpus));
}

void OptionPages::appendLateFormats() {
  const auto& formats = settings::outputFormatNames();
  for (size_t i = static_cast<size_t>(m_formats->count()); i < formats.size(); ++i)
    m_formats->addItem(QString::fromStdString(formats[i]));
  m_notebook->setTabVisible(m_notebook->indexOf(m_pageJpeg2000), true);
}

void OptionPages::retextLists(const std::vector<std::string>& filters, const std::vector<std::string>& positions) {
  auto refill = [](QComboBox* box, const std::vector<std::string>& items) {
    int remembered = box->currentIndex();
    QSignalBlocker block(box);
    box->clear();
    for (const std::string& item : items) box->addItem(QString::fromStdString(item));
    box->setCurrentIndex(settings::keptListIndex(remembered, items.size()));
  };
  refill(m_filter, filters);
  refill(m_textPosition, positions);
  refill(m_watermarkPosition, positions);
}

void OptionPages::PngBitBtn3Click() {
  QString folder = chooseFolder(m_window, m_lang("SelectDir"), m_outputPath->text());
  if (!folder.isEmpty()) m_outputPath->setText(folder);
}

}  // namespace brevane::app
