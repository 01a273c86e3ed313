// The option notebook `PageControl1` at the bottom right of the main window: its pages, their
// controls (objectNames as the language file names them), the value labels, the enable rules,
// the variable menus, the samples and the dialogs the pages open.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "engine/settings.h"
#include "settings/option_rules.h"

class QButtonGroup;
class QComboBox;
class QGridLayout;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QWidget;

namespace brevane::app {

class TCheckBox;
class TEdit;
class TLabel;
class TPngBitBtn;
class TRadioButton;
class TSpinEdit;
class TTabSheet;
class TTrackBar;

class OptionPages : public QObject {
  Q_OBJECT
 public:
  /// A language text by message key (GetLangStr of the main window).
  using LangString = std::function<QString(const char* key)>;

  /// Builds the notebook inside `window`, which also owns the pages' pop-up menus.
  OptionPages(QWidget* window, LangString langString);

  QTabWidget* notebook() const { return m_notebook; }

  // Start-up steps of the main window.
  void setDateFormats(const DateTimeFormat& textfs, const DateTimeFormat& filefs);
  /// The preset entries with their aspect ratio and megapixels.
  void decoratePresets(char decimalSeparator);
  /// The upper bound of the Threads box.
  void setThreadsMaximum(int cpus);
  /// The later formats (JPEG 2000, TGA, WebP, AVIF, JPEG XL) appended to the four designed ones;
  /// the JPEG 2000 page shown.
  void appendLateFormats();

  /// The stamp font; setting it also gives the text sample its face and style.
  const FontChoice& textFont() const { return m_textFont; }
  void setTextFont(const FontChoice& font);

  /// The resize mode of the selected radio button (0 when none is selected).
  int selectedMode() const;

  /// New item texts of the filter list and of both position lists, each keeping its index.
  void retextLists(const std::vector<std::string>& filters, const std::vector<std::string>& positions);

  // Handlers, named after the control and event they answer.
  void SetRadioEnable();
  void Edit2Change();
  void Edit3Change();
  void ComboBox4Change(int index);
  void SpinEdit2Change();
  void PngBitBtn3Click();
  void PngBitBtn4Click();
  void PngBitBtn7Click();

  /// Finishes the font dialog without a window: applies a chosen font (or none when cancelled)
  /// as PngBitBtn4Click does after the dialog.
  void fontDialogClosed(const FontChoice* chosen);

 private:
  QWidget* pageJpeg();
  QWidget* pagePng();
  QWidget* pageJpeg2000();
  QWidget* pageRename();
  QWidget* pageResize();
  QWidget* pageText();
  QWidget* pageWatermark();
  QWidget* pageOutput();
  QWidget* pagePhotos();
  // The pages of the later output formats (option_pages_formats.cpp).
  QWidget* pageWebp();
  QWidget* pageAvif();
  QWidget* pageJxl();
  TTabSheet* sheet(const char* name, const char* caption);
  TTrackBar* slider(const char* name, const char* key, int design, int tickInterval);
  TSpinEdit* spin(const char* name, const char* key, int design);
  QMenu* variableMenu(const char* name, const std::vector<settings::VariableMenuItem>& items, TEdit* target);
  void followBox(TCheckBox* box, const std::vector<QWidget*>& dependents);

  QWidget* m_window;
  LangString m_lang;
  QTabWidget* m_notebook = nullptr;
  DateTimeFormat m_textfs;
  DateTimeFormat m_filefs = DateTimeFormat().forFileNames();
  FontChoice m_textFont;
  bool m_filset = false;

  // Controls the handlers use.
  TTabSheet* m_pageJpeg2000 = nullptr;
  TTrackBar* m_j2kQuality = nullptr;
  TLabel* m_j2kCaption = nullptr;
  TLabel* m_j2kValue = nullptr;
  TEdit* m_renameMask = nullptr;
  TSpinEdit* m_counterLength = nullptr;
  TLabel* m_renameSample = nullptr;
  QButtonGroup* m_modes = nullptr;
  TSpinEdit* m_width = nullptr;
  TSpinEdit* m_height = nullptr;
  TLabel* m_widthLabel = nullptr;
  TLabel* m_heightLabel = nullptr;
  TLabel* m_aspect = nullptr;
  TSpinEdit* m_percent = nullptr;
  TLabel* m_percentSign = nullptr;
  TCheckBox* m_proportions = nullptr;
  TCheckBox* m_enlarge = nullptr;
  TCheckBox* m_smartCrop = nullptr;
  QComboBox* m_filter = nullptr;
  QComboBox* m_presets = nullptr;
  QTimer* m_presetTimer = nullptr;
  TEdit* m_textMask = nullptr;
  TLabel* m_textSample = nullptr;
  QComboBox* m_textPosition = nullptr;
  TEdit* m_watermarkPath = nullptr;
  QComboBox* m_watermarkPosition = nullptr;
  TEdit* m_outputPath = nullptr;
  QComboBox* m_formats = nullptr;
  TLabel* m_formatCaption = nullptr;
  TSpinEdit* m_threads = nullptr;
};

/// A grid with a page's usual margins; rows are added by the page.
QGridLayout* pageGrid(QWidget* page);
/// A slider row: caption, slider, value label.
void sliderRow(QGridLayout* grid, int row, TLabel* caption, TTrackBar* slider, TLabel* value);

/// Shows `text` in `label`, cut at the end with an ellipsis when it does not fit (also after
/// the label is resized).
void setElidedText(QLabel* label, const QString& text);
/// The whole text of a label set with setElidedText.
QString fullText(const QLabel* label);

}  // namespace brevane::app
