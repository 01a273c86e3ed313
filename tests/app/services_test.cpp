// The statistics dialog (texts, the English-then-current re-texting, the menu entry), the
// about dialog (version, build date, the two links), the help command and the error log of
// exceptions that escape an event handler.
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <stdexcept>

#include "aboutform.h"
#include "app_test_support.h"
#include "application.h"
#include "base/build_info.h"
#include "desktop_open.h"
#include "services/pe_timestamp.h"
#include "startup.h"
#include "statisticsform.h"
#include "widgets.h"

namespace brevane::app::test {
namespace {

/// Records the addresses the program would open on the desktop.
// Records what would have been opened; `taken` false plays a desktop without a handler.
struct OpenRecorder {
  std::vector<QUrl> urls;
  explicit OpenRecorder(bool taken = true) {
    setDesktopOpenHook([this, taken](const QUrl& u) {
      urls.push_back(u);
      return taken;
    });
  }
  ~OpenRecorder() { setDesktopOpenHook({}); }
};

QString childText(QWidget* w, const char* name) {
  auto* l = w->findChild<QLabel*>(name);
  EXPECT_NE(l, nullptr) << name;
  return l ? l->text() : QString();
}

struct AmountCase {
  int64_t kib;
  const char* shown;
};

void PrintTo(const AmountCase& c, std::ostream* os) {
  *os << c.kib << " KiB";
}

class StatisticsAmountTest : public ::testing::TestWithParam<AmountCase> {};

TEST_P(StatisticsAmountTest, KibUpTo1001ThenMibInHundredths) {
  BoxRecorder boxes;
  Sandbox box;
  ProgramWindows w = createWindows(box.context());
  w.statistics->showTotals("English", GetParam().kib, 5'000'000'000, '.');
  EXPECT_EQ(w.statistics->amountText(), GetParam().shown);
  EXPECT_EQ(w.statistics->filesText(), "5000000000");
}

INSTANTIATE_TEST_SUITE_P(Totals, StatisticsAmountTest,
                         ::testing::Values(AmountCase{0, "0 KiB"}, AmountCase{1001, "1001 KiB"},
                                           AmountCase{1002, "0.98 MiB"}, AmountCase{1024, "1 MiB"},
                                           AmountCase{1536, "1.5 MiB"}, AmountCase{1048576, "1024 MiB"},
                                           // Beyond 2 TiB the total goes on growing instead of turning negative.
                                           AmountCase{3'000'000'000, "2929687.5 MiB"}));

TEST(Statistics, MenuEntryShowsTheTotalsInTheCurrentLanguage) {
  BoxRecorder boxes;
  Sandbox box;
  box.write("config/Brevane/Settings.ini",
            "[Settings]\nLanguage=Russian\nAllProcessedBytes=1002\n"
            "AllProcessedFiles=4294967296\n");
  ProgramWindows w = createWindows(box.context());
  QString title, heading, amount, files;
  QTimer::singleShot(0, [&] {
    title = w.statistics->windowTitle();
    heading = childText(w.statistics, "GroupBox1");
    amount = w.statistics->amountText();
    files = w.statistics->filesText();
    w.statistics->accept();
  });
  w.main->findChild<QAction*>("N10")->trigger();
  EXPECT_EQ(title, "Статистика");
  EXPECT_EQ(heading, "Статистика по обработанным файлам");
  // The unit words are fixed texts; the decimal separator is the locale's.
  EXPECT_TRUE(amount == "0.98 MiB" || amount == "0,98 MiB") << amount.toStdString();
  EXPECT_EQ(files, "4294967296");
}

TEST(Statistics, ALanguageWithoutTheDialogsKeysShowsTheEnglishTexts) {
  BoxRecorder boxes;
  Sandbox box;
  // The shipped file plus a language that names only a main-window entry.
  QFile shipped(QString::fromStdString(shippedLanguageFile()));
  ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
  box.write("program/lang.ini", shipped.readAll().toStdString() + "\n[Sparse]\nBRVMainformN10=Zahlen\n");
  ProgramWindows w = createWindows(box.context());
  w.main->switchLanguage("Russian");
  w.statistics->showTotals("Sparse", 0, 0, '.');
  EXPECT_EQ(w.statistics->windowTitle(), "Statistics");
  EXPECT_EQ(childText(w.statistics, "GroupBox1"), "Statistics of converted files");
  EXPECT_EQ(childText(w.statistics, "Label1"), "Processed:");
  // Only the statistics dialog was re-texted: the main window keeps its Russian.
  EXPECT_EQ(w.main->findChild<QAction*>("N10")->text(), "Статистика");
}

TEST(About, VersionBuildDateAndLinks) {
  BoxRecorder boxes;
  OpenRecorder opened;
  Sandbox box;
  ProgramWindows w = createWindows(box.context());
  EXPECT_EQ(w.about->versionText(), BREVANE_VERSION_STRING);
  // This test program is an ELF file: the build date compiled in, at midnight, so date only.
  EXPECT_EQ(w.about->buildDateText().toStdString(),
            services::buildDateText(buildDate(), DateTimeFormat::fromCLocale()));
  EXPECT_EQ(w.about->mailLink()->text(), "sss");  // replaced when shown
  w.about->show();
  EXPECT_EQ(w.about->mailLink()->text(), "support@brevane.invalid");
  QTest::mouseClick(w.about->mailLink(), Qt::LeftButton);
  QTest::mouseClick(w.about->siteLink(), Qt::LeftButton);
  QTest::mouseClick(w.about->siteLink(), Qt::RightButton);  // not a click on the link
  ASSERT_EQ(opened.urls.size(), 2u);
  EXPECT_EQ(opened.urls[0], QUrl("mailto:support@brevane.invalid"));
  EXPECT_EQ(opened.urls[1], QUrl("https://www.brevane.invalid/"));
  // The links are navy and underlined.
  EXPECT_EQ(w.about->siteLink()->palette().color(QPalette::WindowText), QColor(0, 0, 128));
  EXPECT_TRUE(w.about->siteLink()->font().underline());
  w.about->hide();
}

TEST(Help, F1OpensThePageOfTheCurrentLanguage) {
  BoxRecorder boxes;
  OpenRecorder opened;
  Sandbox box;
  for (const char* page : {"help_en.html", "help_ru.html"})
    QFile::copy(QStringLiteral(BREVANE_SOURCE_DIR "/data/help/") + page,
                QString::fromStdString(box.programFolder()) + page);
  ProgramWindows w = createWindows(box.context());
  auto* help = w.main->findChild<QAction*>("N15");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->shortcut(), QKeySequence(Qt::Key_F1));
  help->trigger();
  w.main->switchLanguage("Russian");
  help->trigger();
  w.main->switchLanguage("Deutsch");  // any other name: the English page
  help->trigger();
  ASSERT_EQ(opened.urls.size(), 3u);
  const QString folder = QString::fromStdString(box.programFolder());
  EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(folder + "help_en.html"));
  EXPECT_EQ(opened.urls[1], QUrl::fromLocalFile(folder + "help_ru.html"));
  EXPECT_EQ(opened.urls[2], QUrl::fromLocalFile(folder + "help_en.html"));
}

TEST(Help, WithoutABrowserThePageOpensInOneHelpWindow) {
  BoxRecorder boxes;
  OpenRecorder opened(false);
  Sandbox box;
  for (const char* page : {"help_en.html", "help_ru.html"})
    QFile::copy(QStringLiteral(BREVANE_SOURCE_DIR "/data/help/") + page,
                QString::fromStdString(box.programFolder()) + page);
  ProgramWindows w = createWindows(box.context());
  auto* help = w.main->findChild<QAction*>("N15");
  ASSERT_NE(help, nullptr);
  help->trigger();
  w.main->switchLanguage("Russian");
  help->trigger();
  ASSERT_EQ(opened.urls.size(), 2u);
  QList<QDialog*> windows = w.main->findChildren<QDialog*>("HelpViewer");
  ASSERT_EQ(windows.size(), 1);
  EXPECT_TRUE(windows[0]->isVisible());
  auto* browser = windows[0]->findChild<QTextBrowser*>();
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->source(), opened.urls[1]);
  EXPECT_FALSE(windows[0]->windowTitle().isEmpty());
  EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("brevane-batch")));
  windows[0]->close();
}

TEST(Help, ShippedPagesDescribeEveryPageAndTheBatchCommand) {
  for (const char* page : {"help_en.html", "help_ru.html"}) {
    QFile f(QStringLiteral(BREVANE_SOURCE_DIR "/data/help/") + page);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << page;
    const QString html = QString::fromUtf8(f.readAll());
    for (const char* needle : {"id=\"jpg\"", "id=\"png\"", "id=\"jp2\"", "id=\"rename\"", "id=\"resize\"",
                               "id=\"text\"", "id=\"watermark\"", "id=\"output\"", "id=\"masks\"", "id=\"batch\"",
                               "[FCD]", "[ET]", "--settings", "--set", "Resampling_filter", "Output_format"})
      EXPECT_TRUE(html.contains(QLatin1String(needle))) << page << ": " << needle;
  }
}

std::vector<std::string> logLines(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  std::vector<std::string> lines;
  for (const QByteArray& l : f.readAll().split('\n'))
    if (!l.isEmpty()) lines.push_back(l.toStdString());
  return lines;
}

TEST(ErrorLog, ExceptionsFromSlotsBecomeOneLineEachAndTheProgramGoesOn) {
  auto* app = qobject_cast<BrevaneApplication*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr) << "the tests run under the program's application class";
  QTemporaryDir dir;
  const std::string saved[2] = {app->errorLogPath(), app->errorLogFallbackPath()};
  const std::string log = dir.path().toStdString() + "/brevane.error.log";
  app->setErrorLogPaths(log, dir.path().toStdString() + "/state/brevane.error.log");
  QFile earlier(QString::fromStdString(log));
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
  earlier.write("earlier line\n");
  earlier.close();

  // From a timer, from a button's click handler (a mouse event), and a non-standard exception.
  QTimer::singleShot(0, [] { throw std::runtime_error("first failure"); });
  QPushButton button("x");
  QObject::connect(&button, &QPushButton::clicked, [] { throw std::logic_error("second\nfailure"); });
  bool after = false;
  QTimer::singleShot(0, [] { throw 42; });
  ASSERT_TRUE(waitUntil([&] { return logLines(log).size() == 3; }));
  button.show();
  QTest::mouseClick(&button, Qt::LeftButton);
  QTimer::singleShot(0, [&] { after = true; });
  ASSERT_TRUE(waitUntil([&] { return after; }));

  std::vector<std::string> lines = logLines(log);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "earlier line");
  EXPECT_TRUE(lines[1].ends_with(" : first failure")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(" : Unknown exception")) << lines[2];
  EXPECT_TRUE(lines[3].ends_with(" : second failure")) << lines[3];
  // The line starts with the local date and time.
  const std::string today = formatShortDate(localNow(), DateTimeFormat::fromCLocale());
  EXPECT_EQ(lines[1].rfind(today, 0), 0u) << lines[1];
  app->setErrorLogPaths(saved[0], saved[1]);
}

}  // namespace
}  // namespace brevane::app::test
