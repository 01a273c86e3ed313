// The main window TBRVMainform: menu, tool bar, input list, preview, option notebook, Convert
// and Exit; its creation step, the settings load and save, the language and its menu, the
// hand-over receiver and the close confirmation.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <string>

#include "engine/job.h"
#include "i18n/language_file.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "settings_binding.h"

class QMenu;

namespace brevane::app {

class FileListView;
class ListPreview;
class OptionPages;
class PreviewArea;
class RunController;
class TGroupBox;
class TMenuItem;
class TOpenDialog;
class TPngBitBtn;
class TToolButton;
class TProgressform;
class TTaskbarProgressBar;
class TStatisticsform;
class TAboutForm;
class TPreviewForm;

/// Where a start takes its files from; tests point these at temporary folders.
struct MainformContext {
  std::string programFolder;  // with a trailing "/": lang.ini and watermark.png (then ../share/brevane/)
  std::string settingsFile;   // Settings.ini
  QStringList arguments;      // command-line files and folders

  /// The running program: its own folder and this user's settings file (its folder created).
  static MainformContext forProgram(const QStringList& arguments);
};

class TBRVMainform : public QMainWindow {
  Q_OBJECT
 public:
  /// Creates the window and runs its creation step: settings loaded into the controls,
  /// language applied, command-line files added. When the language file is missing the step
  /// shows its error and terminated() is true: the program ends without saving.
  explicit TBRVMainform(MainformContext context, QWidget* parent = nullptr);
  ~TBRVMainform() override;

  bool terminated() const { return m_terminated; }

  /// The dialogs created after the main window (re-texted with it on a language switch).
  void setDialogs(TProgressform* progress, TStatisticsform* statistics, TAboutForm* about, TPreviewForm* preview);

  /// Re-texts the main window for `section` and makes it the current language.
  void ChangeLang(const QString& section);
  /// The language switch of a menu entry: the main window, then the progress, about and
  /// statistics dialogs.
  void switchLanguage(const QString& section);
  /// The text of a message key in the current language ("!Строка не найдена!" when missing).
  QString GetLangStr(const char* key) const;
  QString lang() const { return m_lang; }
  const std::string& languageFile() const { return m_languageFile; }

  /// A hand-over message of a second start; always 1.
  int receiveHandOver(const QString& text);

  /// Shows the window at its stored placement (maximized when it was).
  void showAtPlacement();

  /// Every option and the application state as the window holds them now.
  settings::AppSettings currentState() const;
  /// The run's record from the controls (TConversionSettings).
  TConversionSettings conversionSettings() const;

  FileListView* fileList() const { return m_list; }
  OptionPages* optionPages() const { return m_pages; }
  PreviewArea* previewArea() const { return m_preview; }
  RunController* runController() const { return m_run; }
  /// The busy bar of a folder scan (shown and mirrored on the taskbar while a scan runs).
  TTaskbarProgressBar* scanProgressBar() const { return m_scanBar; }
  LifetimeTotals& totals() { return m_totals; }

  /// Recomputes the enabled state of the list commands.
  void UpdateButtonStatus();
  /// Shows or hides the marquee bar under the list.
  void SetMarq(bool enable);
  ListPreview* listPreview() const { return m_listPreview; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildWindow();
  void buildMenus();
  void buildToolBar();
  void FormCreate();
  void loadSettings();
  void loadLanguage();
  void buildLanguageMenu();
  void addArguments(const QStringList& arguments);
  void applyPlacement();
  void FormClose();

  void addFilesCommand();
  void addFolderCommand();
  void clearListCommand();
  /// Convert (the button and its tool-bar twin): starts a run; returns when its progress
  /// dialog has been closed.
  void PngBitBtn2Click();

  MainformContext m_context;
  settings::Environment m_env;
  std::unique_ptr<settings::IniFile> m_ini;
  settings::AppSettings m_state;  // the values read at start-up, completed from the controls at close
  SettingsBinding m_binding;
  LifetimeTotals m_totals;
  LocalDateTime m_lastUpdate;

  QString m_lang;
  std::string m_languageFile;
  i18n::LanguageFile m_langFile;
  bool m_terminated = false;
  bool m_closed = false;
  bool m_placementPending = true;

  FileListView* m_list = nullptr;
  PreviewArea* m_preview = nullptr;
  OptionPages* m_pages = nullptr;
  TGroupBox* m_inputGroup = nullptr;
  TPngBitBtn* m_convert = nullptr;
  TPngBitBtn* m_exit = nullptr;
  TToolButton* m_toolAddFolder = nullptr;
  TToolButton* m_toolAddFiles = nullptr;
  TToolButton* m_toolDelete = nullptr;
  TToolButton* m_toolConvert = nullptr;
  TMenuItem* m_language1 = nullptr;
  QMenu* m_languageMenu = nullptr;
  TMenuItem* m_addFolder = nullptr;
  TMenuItem* m_listAddFolder = nullptr;
  TMenuItem* m_listDelete = nullptr;
  TMenuItem* m_listClear = nullptr;
  TMenuItem* m_listSelectAll = nullptr;
  TOpenDialog* m_openDialog = nullptr;
  RunController* m_run = nullptr;
  TTaskbarProgressBar* m_scanBar = nullptr;
  ListPreview* m_listPreview = nullptr;

  TProgressform* m_progress = nullptr;
  TStatisticsform* m_statistics = nullptr;
  TAboutForm* m_about = nullptr;
  TPreviewForm* m_previewForm = nullptr;
};

}  // namespace brevane::app
