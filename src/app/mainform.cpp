// The main window TBRVMainform: its layout, creation step, settings, language and closing.
#include "mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "aboutform.h"
#include "base/error.h"
#include "base/platform.h"
#include "codecs/registry.h"
#include "dialogs.h"
#include "file_list_view.h"
#include "help.h"
#include "i18n/retext_rules.h"
#include "icons.h"
#include "message_box.h"
#include "option_pages.h"
#include "preview_area.h"
#include "preview_loader.h"
#include "previewform.h"
#include "progressform.h"
#include "qt_translation.h"
#include "retext.h"
#include "run_control.h"
#include "single_instance.h"
#include "statisticsform.h"
#include "taskbar_progress.h"
#include "update_check.h"
#include "widgets.h"

namespace brevane::app {

namespace {

// The design size of the client area and the fixed width of the right-hand column.
constexpr int kDesignWidth = 884;
constexpr int kDesignHeight = 492;
constexpr int kRightColumnWidth = 470;

QSize primaryScreenSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().size() : QSize(1920, 1080);
}

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

MainformContext MainformContext::forProgram(const QStringList& arguments) {
  MainformContext c;
  c.programFolder = brevane::programFolder();
  c.settingsFile = settings::settingsFilePath();
  c.arguments = arguments;
  return c;
}

TBRVMainform::TBRVMainform(MainformContext context, QWidget* parent)
    : QMainWindow(parent), m_context(std::move(context)), m_binding(this) {
  setObjectName("BRVMainform");
  buildWindow();
  FormCreate();
}

TBRVMainform::~TBRVMainform() = default;

void TBRVMainform::buildWindow() {
  setWindowIcon(programIcon());
  setMinimumSize(settings::kMinWindowWidth, settings::kMinWindowHeight);
  resize(kDesignWidth, kDesignHeight);

  auto* central = new QWidget(this);
  central->setObjectName("CentralPanel");
  setCentralWidget(central);
  auto* root = new QHBoxLayout(central);
  root->setContentsMargins(6, 4, 6, 6);
  root->setSpacing(8);

  // Left: the input list with the marquee bars of a folder scan under it.
  auto* left = new QVBoxLayout;
  left->setSpacing(2);
  m_inputGroup = named<TGroupBox>("GroupBox1", "Input images", central);
  m_inputGroup->hide();  // the file count shows in the Name column's header instead
  m_list = new FileListView(central);
  left->addWidget(m_list, 1);
  // The busy bar of a folder scan, mirrored on the taskbar button (setBusy).
  m_scanBar = named<TTaskbarProgressBar>("ScanProgressBar", central);
  m_scanBar->setSmooth(true);
  m_scanBar->setSmoothReverse(true);
  m_scanBar->setProgressBarState(TTaskbarProgressState::pbstMarquee);
  m_scanBar->setMarqueeInterval(10);
  m_scanBar->setMaximumHeight(12);
  m_scanBar->setTextVisible(false);
  m_scanBar->hide();
  auto* marquee = named<QProgressBar>("MarqueeBar", central);
  marquee->setRange(0, 0);
  marquee->setMaximumHeight(12);
  marquee->setTextVisible(false);
  marquee->hide();
  left->addWidget(m_scanBar);
  left->addWidget(marquee);
  root->addLayout(left, 1);

  // Right: the preview with its name line, the option notebook, Convert and Exit.
  auto* rightPanel = new QWidget(central);
  rightPanel->setObjectName("RightPanel");
  rightPanel->setFixedWidth(kRightColumnWidth);
  auto* right = new QVBoxLayout(rightPanel);
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(6);
  m_preview = new PreviewArea(rightPanel);
  right->addWidget(m_preview, 1);
  m_pages = new OptionPages(this, [this](const char* key) { return GetLangStr(key); });
  right->addWidget(m_pages->notebook());
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  m_convert = named<TPngBitBtn>("PngBitBtn2", commandIcon(IconId::kConvert), "Convert", rightPanel);
  // The design size, wider when the language's caption needs it.
  m_convert->setMinimumSize(122, 32);
  m_convert->setFixedHeight(32);
  m_convert->setIconSize(QSize(24, 24));
  m_exit = named<TPngBitBtn>("PngBitBtn1", commandIcon(IconId::kExit), "Exit", rightPanel);
  m_exit->setMinimumSize(90, 32);
  m_exit->setFixedHeight(32);
  buttons->addWidget(m_convert);
  buttons->addWidget(m_exit);
  right->addLayout(buttons);
  root->addWidget(rightPanel);

  m_openDialog = named<TOpenDialog>("OpenDialog1", this);
  m_openDialog->setTitle("Add files");
  m_run = new RunController(
      this, [this](const char* key) { return GetLangStr(key); }, m_totals);

  buildMenus();
  buildToolBar();

  connect(m_exit, &QPushButton::clicked, this, &QWidget::close);
  connect(m_convert, &QPushButton::clicked, this, &TBRVMainform::PngBitBtn2Click);
  connect(m_list, &FileListView::rowsChanged, this, &TBRVMainform::UpdateButtonStatus);
  connect(m_list, &QTreeWidget::itemSelectionChanged, this, &TBRVMainform::UpdateButtonStatus);
  // A folder scan or drop: the marquee bar, no further drops, the commands' states.
  connect(m_list, &FileListView::addingChanged, this, [this](bool adding) {
    SetMarq(adding);
    setAcceptDrops(!adding);
    UpdateButtonStatus();
  });
  connect(m_list, &FileListView::escapePressed, this,
          [this] { showMessageBox(this, BoxIcon::kInformation, GetLangStr("Information"), GetLangStr("Cancelled!")); });
  m_listPreview = new ListPreview(m_list, m_preview, m_run->job().prevthrfree, this);
  connect(m_preview, &PreviewArea::pictureDoubleClicked, this, [this] {
    if (m_previewForm) m_previewForm->PreviewGDIDblClick(m_listPreview->lastprev(), conversionSettings());
  });
  connect(m_run, &RunController::outputPathShown, this, [this](const QString& path) {
    m_binding.toControl(*settings::findSettingsKey("Output_path"), path.toStdString());
  });
  connect(m_run, &RunController::renameMaskShown, this, [this](const QString& mask) {
    m_binding.toControl(*settings::findSettingsKey("Rename_mask"), mask.toStdString());
  });
  // The options a run reads cannot change until its last worker has gone, and no second run
  // starts meanwhile.
  connect(m_run, &RunController::runningChanged, this, [this](bool running) {
    m_pages->notebook()->setEnabled(!running);
    UpdateButtonStatus();
  });
}

void TBRVMainform::buildMenus() {
  auto item = [](QMenu* menu, const char* name, const char* caption, const QKeySequence& shortcut = {}) {
    auto* a = new TMenuItem(QString::fromUtf8(caption), menu);
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    menu->addAction(a);
    return a;
  };
  auto submenu = [this](QMenuBar* bar, const char* name, const char* caption) {
    auto* menu = new QMenu(this);
    auto* a = new TMenuItem(QString::fromUtf8(caption), this);
    a->setObjectName(QString::fromLatin1(name));
    a->setMenu(menu);
    bar->addAction(a);
    return menu;
  };

  QMenuBar* bar = menuBar();
  QMenu* file = submenu(bar, "N1", "File");
  TMenuItem* addFiles = item(file, "N2", "Add files...", QKeySequence(Qt::CTRL | Qt::Key_A));
  m_addFolder = item(file, "N3", "Add folder...", QKeySequence(Qt::CTRL | Qt::Key_D));
  TMenuItem* statistics = item(file, "N10", "Statistics");
  file->addSeparator();
  TMenuItem* exit = item(file, "N5", "Exit", QKeySequence(Qt::ALT | Qt::Key_F4));

  QMenu* help = submenu(bar, "N6", "Help");
  TMenuItem* helpContents = item(help, "N15", "Help", QKeySequence(Qt::Key_F1));
  TMenuItem* about = item(help, "N4", "About");
  m_languageMenu = new QMenu(this);
  m_language1 = new TMenuItem("Language", help);
  m_language1->setObjectName("Language1");
  m_language1->setMenu(m_languageMenu);
  help->addAction(m_language1);
  // Shown by the update check once it is armed at start-up.
  m_updateItem = item(help, "N126", "Check for updates...");
  m_updateItem->setVisible(false);

  connect(addFiles, &QAction::triggered, this, &TBRVMainform::addFilesCommand);
  connect(m_addFolder, &QAction::triggered, this, &TBRVMainform::addFolderCommand);
  connect(exit, &QAction::triggered, this, &QWidget::close);
  connect(statistics, &QAction::triggered, this, [this] {
    if (!m_statistics) return;
    m_statistics->showTotals(m_lang, m_totals.allprocessedbytes.load(), m_totals.allprocessedfiles.load(),
                             m_env.dateFormat.decimalSeparator);
    m_statistics->exec();
  });
  connect(helpContents, &QAction::triggered, this, [this] { openHelp(this, m_context.programFolder, m_lang); });
  connect(about, &QAction::triggered, this, [this] {
    if (m_about) m_about->exec();
  });

  // The input list's context menu.
  auto* popup = named<QMenu>("PopupMenu1", this);
  TMenuItem* listAddFiles = item(popup, "N7", "Add files...");
  m_listAddFolder = item(popup, "N8", "Add folder...");
  popup->addSeparator();
  m_listDelete = item(popup, "N9", "Delete selected", QKeySequence(Qt::Key_Delete));
  m_listClear = item(popup, "N11", "Clear list");
  m_listSelectAll = item(popup, "N12", "Select all", QKeySequence(Qt::CTRL | Qt::Key_S));
  for (QAction* a : {static_cast<QAction*>(m_listDelete), static_cast<QAction*>(m_listSelectAll)}) {
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_list->addAction(a);
  }
  m_list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_list, &QWidget::customContextMenuRequested, popup,
          [this, popup](const QPoint& p) { popup->popup(m_list->viewport()->mapToGlobal(p)); });
  connect(listAddFiles, &QAction::triggered, this, &TBRVMainform::addFilesCommand);
  connect(m_listAddFolder, &QAction::triggered, this, &TBRVMainform::addFolderCommand);
  connect(m_listDelete, &QAction::triggered, m_list, &FileListView::deleteSelected);
  connect(m_listClear, &QAction::triggered, this, &TBRVMainform::clearListCommand);
  connect(m_listSelectAll, &QAction::triggered, m_list, &QAbstractItemView::selectAll);
}

void TBRVMainform::buildToolBar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName("ToolBar1");
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setIconSize(QSize(32, 32));
  bar->setContextMenuPolicy(Qt::PreventContextMenu);
  addToolBar(Qt::TopToolBarArea, bar);
  auto button = [bar](const char* name, IconId icon, const char* hint) {
    auto* b = named<TToolButton>(name, bar);
    b->setIcon(commandIcon(icon));
    b->setIconSize(QSize(32, 32));
    b->setFixedSize(39, 38);
    b->setAutoRaise(true);
    b->setToolTip(QString::fromUtf8(hint));
    bar->addWidget(b);
    return b;
  };
  m_toolAddFolder = button("ToolButton1", IconId::kAddFolder, "Add folder");
  bar->addSeparator();
  m_toolAddFiles = button("ToolButton3", IconId::kAddFiles, "Add files");
  m_toolDelete = button("ToolButton4", IconId::kRemove, "Delete selected");
  bar->addSeparator();
  m_toolConvert = button("ToolButton6", IconId::kConvert, "Convert");
  connect(m_toolAddFolder, &QToolButton::clicked, this, &TBRVMainform::addFolderCommand);
  connect(m_toolAddFiles, &QToolButton::clicked, this, &TBRVMainform::addFilesCommand);
  connect(m_toolDelete, &QToolButton::clicked, m_list, &FileListView::deleteSelected);
  connect(m_toolConvert, &QToolButton::clicked, this, &TBRVMainform::PngBitBtn2Click);
}

void TBRVMainform::FormCreate() {
  QSize screen = primaryScreenSize();
  m_env = settings::Environment::current(screen.width(), screen.height());
  m_env.programFolder = m_context.programFolder;
  // The C library's locale is the one the desktop session set (QApplication applied it), so
  // dates in Settings.ini read the same in this program and in brevane-batch.
  m_env.dateFormat = DateTimeFormat::fromCLocale();

  // The plain picture preview.
  m_preview->SetPreview(false);
  // The preset sizes decorated; their drop-down is 175 pixels wide.
  m_pages->decoratePresets(m_env.dateFormat.decimalSeparator);
  // textfs and filefs.
  m_pages->setDateFormats(m_env.dateFormat, m_env.dateFormat.forFileNames());
  // The run's name counter starts at 0 with the run controller's job.
  // The accepted extensions and the add-files filter come from the core's registry.
  // Threads up to the number of logical processors.
  m_pages->setThreadsMaximum(m_env.cpuCount);
  // The caption.
  setWindowTitle(QStringLiteral("Brevane v") + QStringLiteral(BREVANE_VERSION_STRING));
  // The settings file; the defaults of a first start.
  m_ini = std::make_unique<settings::IniFile>(m_context.settingsFile);
  m_state = settings::AppSettings::defaults(m_env);
  // The later output formats; the JPEG 2000 page shown.
  m_pages->appendLateFormats();
  // The stored settings, the language included.
  loadSettings();
  if (m_terminated) return;
  // The update reminder, armed from the last-check date just read.
  m_updates = new UpdateCheck(this, m_lastUpdate, m_updateItem);
  m_updates->arm();
  // Drops are accepted (the input list handles them).
  setAcceptDrops(true);
  // The command line.
  addArguments(m_context.arguments);
  UpdateButtonStatus();
}

void TBRVMainform::loadSettings() {
  // Each value goes to its control as a user's change would, in the store's order, so the
  // controls' reactions (labels, enable rules, samples) run as they do for the user.
  for (const settings::SettingsStep& step : settings::loadSequence()) {
    switch (step.kind) {
      case settings::StepKind::kKey: {
        const settings::SettingsKey& key = *settings::findSettingsKey(step.key);
        settings::SettingsValue value = settings::readSettingsValue(*m_ini, key, m_env);
        settings::applySettingsValue(m_state, key, value);
        if (m_binding.control(key)) {
          m_binding.toControl(key, value);
        } else if (key.name == "Language") {
          m_lang = qs(m_state.Language);
          loadLanguage();
        } else if (key.name == "LastUpdateDate") {
          m_lastUpdate = m_state.LastUpdate;
        } else if (key.name == "AllProcessedBytes") {
          m_totals.allprocessedbytes = m_state.AllProcessedBytes;
        } else if (key.name == "AllProcessedFiles") {
          m_totals.allprocessedfiles = m_state.AllProcessedFiles;
        }
        break;
      }
      case settings::StepKind::kFont: {
        FontChoice font = m_pages->textFont();
        settings::readFont(*m_ini, settings::kFontSection, font);
        m_pages->setTextFont(font);
        break;
      }
      case settings::StepKind::kPlacement:
        m_state.placement = settings::readPlacement(*m_ini, m_env.screenWidth, m_env.screenHeight);
        applyPlacement();
        break;
      case settings::StepKind::kAutoFormatEnable: {
        bool autoFormat = std::get<bool>(m_binding.fromControl(*settings::findSettingsKey("Auto_format")));
        for (const char* name : {"ComboBox1", "Label6"})
          if (auto* w = findChild<QWidget*>(name)) w->setEnabled(settings::outputFormatEnabled(autoFormat));
        break;
      }
    }
  }
}

void TBRVMainform::loadLanguage() {
  m_languageFile = i18n::findLanguageFile(m_context.programFolder);
  if (m_languageFile.empty()) {
    showMessageBox(this, BoxIcon::kError, "Error", qs(std::string(i18n::kLanguageFileNotFound)));
    m_terminated = true;
    return;
  }
  try {
    m_langFile = i18n::LanguageFile::load(m_languageFile);
  } catch (const Error& e) {
    showMessageBox(this, BoxIcon::kError, "Error", qs(e.what()));
    m_terminated = true;
    return;
  }
  ChangeLang(m_lang);
  buildLanguageMenu();
}

void TBRVMainform::buildLanguageMenu() {
  auto flagIcon = [](const std::vector<uint8_t>& png) {
    QPixmap flag;
    if (!flag.loadFromData(png.data(), static_cast<uint>(png.size()), "PNG"))
      throw Error(std::string(i18n::kLanguageFileCorrupt));
    // Menus show 16 x 16 icons; the flag keeps its 16 x 10 and is centred.
    QPixmap square(16, 16);
    square.fill(Qt::transparent);
    QPainter p(&square);
    QPixmap scaled = flag.scaled(16, 10, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.drawPixmap(0, 3, scaled);
    return QIcon(square);
  };
  // The menu item's own icon is the flag of the language of this start; a later switch
  // leaves it as it is.
  try {
    if (auto flag = i18n::sectionFlag(m_langFile, m_lang.toStdString())) m_language1->setIcon(flagIcon(*flag));
  } catch (const Error&) {
  }
  for (const std::string& section : m_langFile.sectionNames()) {
    try {
      QIcon icon;
      if (auto flag = i18n::sectionFlag(m_langFile, section)) icon = flagIcon(*flag);
      // Plain actions: language entries belong to the menu item, not to the window, and are
      // never re-texted.
      auto* entry = new QAction(icon, qs(section).replace('&', "&&"), m_languageMenu);
      entry->setData(qs(section));
      connect(entry, &QAction::triggered, this, [this, entry] { switchLanguage(entry->data().toString()); });
      m_languageMenu->addAction(entry);
    } catch (const Error&) {
      showMessageBox(this, BoxIcon::kError, "Error", qs(std::string(i18n::kLanguageFileCorrupt)));
    }
  }
}

QString TBRVMainform::GetLangStr(const char* key) const {
  return qs(m_langFile.GetLangStr(m_lang.toStdString(), key));
}

void TBRVMainform::ChangeLang(const QString& section) {
  m_lang = section;
  const std::string s = section.toStdString();
  installQtTranslation(section);
  retextWindow(this, i18n::WindowRole::kMain, [&](const std::string& key) { return m_langFile.value(s, key); });
  m_inputGroup->setTitle(GetLangStr("InputImages") + "(" + QString::number(m_list->rowCount()) + ")");
  m_list->setColumnTexts({GetLangStr("PathColumn"), GetLangStr("NameColumn"), GetLangStr("TypeColumn"),
                          GetLangStr("SizeColumn"), GetLangStr("ImgSizeColumn")});
  m_pages->retextLists(i18n::listItems(GetLangStr("FilterList").toStdString()),
                       i18n::listItems(GetLangStr("PositionList").toStdString()));
}

void TBRVMainform::switchLanguage(const QString& section) {
  ChangeLang(section);
  if (m_progress) m_progress->ChangeLang(section);
  if (m_about) m_about->ChangeLang(section);
  if (m_statistics) m_statistics->ChangeLang(section);
}

void TBRVMainform::setDialogs(TProgressform* progress, TStatisticsform* statistics, TAboutForm* about,
                              TPreviewForm* preview) {
  m_progress = progress;
  m_statistics = statistics;
  m_about = about;
  m_previewForm = preview;
  m_run->setProgressForm(progress);
}

void TBRVMainform::addArguments(const QStringList& arguments) {
  for (const QString& a : arguments) {
    QFileInfo info(a);
    QString ext = "." + info.suffix();
    if (info.isFile() && !info.suffix().isEmpty() && codecs::isAcceptedExtension(ext.toStdString())) {
      m_list->addfile(info.absoluteFilePath());
      continue;
    }
    QString folder = a.endsWith('/') ? a : a + '/';
    if (QFileInfo(folder).isDir()) m_list->scanFolder(QFileInfo(folder).absoluteFilePath());
  }
  m_list->selectFirst();
}

int TBRVMainform::receiveHandOver(const QString& text) {
  if (text == QLatin1String(kShowWindowCommand)) {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
  }
  QFileInfo info(text);
  QString ext = "." + info.suffix();
  if (info.isFile() && !info.suffix().isEmpty() && codecs::isAcceptedExtension(ext.toStdString()))
    m_list->addfile(info.absoluteFilePath());
  return 1;
}

void TBRVMainform::applyPlacement() {
  const settings::WindowPlacement& p = m_state.placement;
  // The stored rectangle is the outer one; the frame is known once the window is shown.
  QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                 frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  setGeometry(QRect(p.X + frame.left(), p.Y + frame.top(), p.Width - frame.left() - frame.right(),
                    p.Height - frame.top() - frame.bottom()));
}

void TBRVMainform::showAtPlacement() {
  applyPlacement();
  if (m_state.placement.Maximized) {
    showMaximized();
  } else {
    show();
  }
}

void TBRVMainform::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!m_placementPending) return;
  m_placementPending = false;
  // A window manager adds its frame after the first show; the stored outer rectangle is then
  // given again with the frame known.
  QTimer::singleShot(100, this, [this] {
    if (!isMaximized() && frameGeometry() != geometry()) applyPlacement();
  });
}

void TBRVMainform::UpdateButtonStatus() {
  ListCommandState s = listCommandState(static_cast<size_t>(m_list->rowCount()), m_list->anySelected(),
                                        m_list->adding(), m_convert->isEnabled());
  m_addFolder->setEnabled(s.addFolder);
  m_listAddFolder->setEnabled(s.addFolder);
  m_toolAddFolder->setEnabled(s.addFolder);
  m_convert->setEnabled(s.convertButton && !(m_run && m_run->running()));
  m_toolConvert->setEnabled(s.convertToolButton && !(m_run && m_run->running()));
  m_listClear->setEnabled(s.clearList);
  m_listSelectAll->setEnabled(s.selectAll);
  m_listDelete->setEnabled(s.deleteSelected);
  m_toolDelete->setEnabled(s.deleteSelected);
  m_inputGroup->setTitle(GetLangStr("InputImages") + "(" + QString::number(m_list->rowCount()) + ")");
}

void TBRVMainform::addFilesCommand() {
  QStringList files = QFileDialog::getOpenFileNames(this, m_openDialog->title(), QString(),
                                                    qtNameFilters(codecs::openDialogFilter()).join(";;"));
  if (files.isEmpty()) return;
  for (const QString& f : files) m_list->addfile(f);
  m_list->selectFirst();
}

void TBRVMainform::addFolderCommand() {
  QString folder = chooseFolder(this, GetLangStr("AddDir"), QString());
  if (folder.isEmpty()) return;
  m_list->addFolder(folder);
}

void TBRVMainform::SetMarq(bool enable) {
  // Linux counts as a desktop with visual styles: the bar linked to the taskbar shows.
  if (auto* linked = findChild<QWidget*>("ScanProgressBar")) linked->setVisible(enable);
  if (auto* plain = findChild<QWidget*>("MarqueeBar")) plain->setVisible(false);
}

void TBRVMainform::dragEnterEvent(QDragEnterEvent* event) {
  if (!m_list->adding() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TBRVMainform::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty() || m_list->adding()) return;
  event->acceptProposedAction();
  // The drop is finished for the file manager first; the scan then runs from the event loop.
  QTimer::singleShot(0, this, [this, paths] { m_list->dropItems(paths); });
}

void TBRVMainform::clearListCommand() {
  if (m_list->rowCount() == 0) {
    showMessageBox(this, BoxIcon::kInformation, GetLangStr("Error"), GetLangStr("FilelistEmpty"));
  } else if (showMessageBox(this, BoxIcon::kWarning, GetLangStr("Confirmation"), GetLangStr("ClearFilelist"),
                            BoxButtons::kYesNo) == BoxAnswer::kYes) {
    m_list->clearRows();
  }
  UpdateButtonStatus();
}

void TBRVMainform::PngBitBtn2Click() {
  TConversionSettings record = conversionSettings();
  std::vector<std::string> files;
  for (const QString& p : m_list->paths()) files.push_back(p.toStdString());
  m_run->start(record, files);
}

settings::AppSettings TBRVMainform::currentState() const {
  settings::AppSettings state = m_state;
  m_binding.readControls(state);
  state.conversion.Text_Font = m_pages->textFont();
  state.conversion.textfs = m_env.dateFormat;
  state.conversion.filefs = m_env.dateFormat.forFileNames();
  state.Language = m_lang.toStdString();
  state.LastUpdate = m_lastUpdate;
  state.AllProcessedBytes = m_totals.allprocessedbytes.load();
  state.AllProcessedFiles = m_totals.allprocessedfiles.load();
  QRect outer = frameGeometry();
  state.Mainform_height = outer.height();
  state.placement.Maximized = isMaximized();
  if (!isMaximized()) {
    state.placement.X = outer.x();
    state.placement.Y = outer.y();
    state.placement.Width = outer.width();
    state.placement.Height = outer.height();
  }
  return state;
}

TConversionSettings TBRVMainform::conversionSettings() const {
  return currentState().conversion;
}

void TBRVMainform::closeEvent(QCloseEvent* event) {
  if (m_closed || m_terminated) {
    event->accept();
    return;
  }
  if (m_list->rowCount() > 0 && showMessageBox(this, BoxIcon::kWarning, GetLangStr("Confirmation"),
                                               GetLangStr("ExitConfirmation"), BoxButtons::kYesNo) != BoxAnswer::kYes) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TBRVMainform::FormClose() {
  m_closed = true;
  m_list->cancelAdding();  // a folder scan in progress stops
  settings::SaveOutcome outcome = settings::saveSettings(*m_ini, currentState(), m_env);
  if (!outcome.saved) showMessageBox(this, BoxIcon::kWarning, qs(outcome.message.caption), qs(outcome.message.text));
  // The dialogs live as long as the main window.
  for (QWidget* w : {static_cast<QWidget*>(m_progress), static_cast<QWidget*>(m_statistics),
                     static_cast<QWidget*>(m_about), static_cast<QWidget*>(m_previewForm)})
    if (w) w->close();
}

}  // namespace brevane::app
