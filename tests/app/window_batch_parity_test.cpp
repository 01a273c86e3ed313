// The window and brevane-batch write the same files for the same Settings.ini and list: byte
// for byte apart from the Exif time of writing, with the same error lines.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include "app_test_support.h"
#include "file_list_view.h"
#include "progressform.h"
#include "run_control.h"
#include "startup.h"
#include "widgets.h"

namespace brevane::app::test {
namespace {

const std::string kTestData = std::string(BREVANE_SOURCE_DIR) + "/../shared/testdata/";

// Twenty sources of many kinds: JPEG with Exif, grey and CMYK JPEG, PNG with alpha and a
// palette, GIF with transparency, BMP, RLE TGA, 16-bit TIFF, PPM, JPEG 2000, PSD, PCX, SGI, and
// one damaged file for an error line.
const char* const kSources[] = {
    "exif/exif-samples/Canon_40D.jpg",
    "exif/exif-samples/Pentax_K10D.jpg",
    "jpeg/flower2.jpg",
    "jpeg/hopper_gray.jpg",
    "jpeg/pil_sample_cmyk.jpg",
    "png/hopper.png",
    "png/pil123rgba.png",
    "png/p_16.png",
    "gif/hopper.gif",
    "gif/transparent.gif",
    "bmp/g/pal8.bmp",
    "bmp/g/rgb32bf.bmp",
    "tga/rgb32rle.tga",
    "tga/la.tga",
    "tiff/16bit.deflate.tif",
    "pnm/hopper.ppm",
    "jp2/test-card-lossless.jp2",
    "psd/hopper.psd",
    "sgi/hopper.rgb",
    "damaged/broken.png",
};

std::string batchExe() {
  return QFileInfo(BREVANE_GUI_EXE).absolutePath().toStdString() + "/brevane-batch";
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// True when byte `i` lies in the inline value of an Exif SubSecTime entry (tag 0x9290, either
// byte order): the milliseconds of the time of writing.
bool insideSubSecTime(const QByteArray& data, qsizetype i) {
  for (qsizetype entry = i - 11; entry <= i - 8; ++entry) {
    if (entry < 0 || entry + 1 >= data.size()) continue;
    auto b0 = static_cast<uint8_t>(data[entry]), b1 = static_cast<uint8_t>(data[entry + 1]);
    if ((b0 == 0x90 && b1 == 0x92) || (b0 == 0x92 && b1 == 0x90)) return true;
  }
  return false;
}

// True when `a` and `b` differ only in the Exif time of writing: inside date-time texts
// ("YYYY:MM:DD HH:MM:SS") at the same place in both, or in its SubSecTime.
bool sameExceptExifTime(const QByteArray& a, const QByteArray& b) {
  if (a.size() != b.size()) return false;
  static const QRegularExpression kDate(R"(^\d{4}:\d\d:\d\d \d\d:\d\d:\d\d$)");
  auto isDateAt = [](const QByteArray& data, qsizetype start) {
    return start >= 0 && start + 19 <= data.size() && kDate.match(QString::fromLatin1(data.mid(start, 19))).hasMatch();
  };
  for (qsizetype i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    bool covered = false;
    for (qsizetype start = i - 18; start <= i && !covered; ++start) covered = isDateAt(a, start) && isDateAt(b, start);
    if (!covered && !(insideSubSecTime(a, i) && insideSubSecTime(b, i))) return false;
  }
  return true;
}

struct ParityCase {
  const char* name;
  const char* settings;  // lines of [Settings] besides Output_path
  int outputFormat = 0;  // its Output_format: the window's list must offer it
};

class WindowBatchParity : public ::testing::TestWithParam<ParityCase> {};

TEST_P(WindowBatchParity, SameFilesAndLines) {
  if (!QFileInfo::exists(QString::fromStdString(kTestData)))
    GTEST_SKIP() << "the test corpus ../shared/testdata is not there";
  BoxRecorder boxes;
  Sandbox box;
  const std::string windowOut = box.folder() + "window-out/";
  const std::string batchOut = box.folder() + "batch-out/";
  std::string ini = "[Settings]\nOutput_path=" + windowOut + "\n" + GetParam().settings +
                    "Img_path=" + BREVANE_SOURCE_DIR + "/data/watermark.png\n" +
                    "[Text_Font]\nFont=DejaVu Sans,0,16777215,14,1\n";
  std::string settingsFile = box.write("config/Brevane/Settings.ini", ini);
  QStringList sources;
  for (const char* s : kSources) sources << QString::fromStdString(kTestData + s);

  ProgramWindows w = createWindows(box.context(sources));
  ASSERT_FALSE(w.main->terminated());
  if (w.main->findChild<QComboBox*>("ComboBox1")->count() <= GetParam().outputFormat)
    GTEST_SKIP() << "the window's format list does not offer format " << GetParam().outputFormat << " yet";
  QStringList listed = w.main->fileList()->paths();
  ASSERT_EQ(listed.size(), 20);
  QTimer::singleShot(0, [&] {
    waitUntil([&] { return w.progress->finished(); }, 120000);
    w.progress->close();
  });
  w.main->findChild<QWidget*>("RightPanel")->findChild<TPngBitBtn*>("PngBitBtn2")->click();
  ASSERT_TRUE(w.progress->finished());
  QStringList windowLines =
      w.progress->findChild<QPlainTextEdit*>("errorlog")->toPlainText().split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(windowLines.size(), 2);
  windowLines.removeLast();  // the end lines are the window's own
  windowLines.removeLast();

  // The batch command with the same settings file, the other folder, the list's order.
  QStringList args{"--settings", QString::fromStdString(settingsFile), "-o", QString::fromStdString(batchOut),
                   "--quiet"};
  args << listed;
  QProcess batch;
  batch.start(QString::fromStdString(batchExe()), args);
  ASSERT_TRUE(batch.waitForFinished(120000));
  QStringList batchLines;
  for (const QString& l : QString::fromUtf8(batch.readAllStandardError()).split('\n', Qt::SkipEmptyParts))
    if (!l.startsWith("brevane-batch:")) batchLines << l;
  windowLines.replaceInStrings(QString::fromStdString(windowOut), QString::fromStdString(batchOut));
  windowLines.sort();
  batchLines.sort();
  EXPECT_EQ(windowLines, batchLines);
  EXPECT_FALSE(windowLines.isEmpty());  // the damaged file

  QStringList windowFiles = QDir(QString::fromStdString(windowOut)).entryList(QDir::Files, QDir::Name);
  QStringList batchFiles = QDir(QString::fromStdString(batchOut)).entryList(QDir::Files, QDir::Name);
  EXPECT_EQ(windowFiles, batchFiles);
  EXPECT_EQ(windowFiles.size(), 19) << windowLines.join('\n').toStdString();
  for (const QString& name : windowFiles) {
    QByteArray a = readAll(QString::fromStdString(windowOut) + name);
    QByteArray b = readAll(QString::fromStdString(batchOut) + name);
    EXPECT_FALSE(a.isEmpty()) << name.toStdString();
    qsizetype at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    EXPECT_TRUE(sameExceptExifTime(a, b))
        << name.toStdString() << ": " << a.size() << " and " << b.size() << " bytes, first difference at " << at << ": "
        << a.mid(std::max<qsizetype>(0, at - 8), 32).toHex().toStdString() << " / "
        << b.mid(std::max<qsizetype>(0, at - 8), 32).toHex().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, WindowBatchParity,
    ::testing::Values(
        // JPEG with Exif, resized to a box, the text stamp and the watermark, renamed with the counter.
        ParityCase{"JpegStampedRenamed",
                   "Threads=2\nOutput_format=0\nExif=1\nJPG_quality=72\nJPG_progressive=1\nSelected_mode=1\n"
                   "Resize_width=160\nResize_height=120\nResize_proportional=1\nEnlargeIfSmall=1\n"
                   "Resampling_filter=6\nRename_enabled=1\nRename_mask=[N]_[C]_[W]x[H]\nCounter_length=4\n"
                   "Watermark_enable=1\nWatermark_text_mask=[N] [W]x[H]\nText_position=3\nText_opacity=60\n"
                   "Text_Shadow=1\nImg_watermark_enabled=1\nImg_position=2\n"},
        // The automatic format (JPEG or PNG, the smaller), halved; the counter keeps the five
        // hopper sources apart, whichever worker finishes first.
        ParityCase{"AutoFormatPercent",
                   "Threads=2\nOutput_format=1\nAuto_format=1\nPNG_compression=6\nPng_filter=1\n"
                   "Selected_mode=2\nResize_percent=50\nResampling_filter=2\nRename_enabled=1\n"
                   "Rename_mask=[N]-[C]\n"},
        // WebP at its default quality, halved.
        ParityCase{"WebpPercent",
                   "Threads=2\nOutput_format=6\nSelected_mode=2\nResize_percent=50\nRename_enabled=1\n"
                   "Rename_mask=[N]-[C]\n",
                   6},
        // Interlaced PNG, cropped to a square box before resizing.
        ParityCase{"PngSmartCrop",
                   "Threads=1\nOutput_format=1\nPNG_compression=9\nPng_interlace=1\nSelected_mode=1\n"
                   "Resize_width=90\nResize_height=90\nResize_proportional=0\nSmartCrop_enable=1\n"
                   "Rename_enabled=1\nRename_mask=out_[C]\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevane::app::test
