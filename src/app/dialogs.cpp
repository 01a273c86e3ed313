// The dialogs the option pages open.
#include "dialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPushButton>

#include "codecs/registry.h"
#include "imaging/fonts.h"

namespace brevane::app {

QStringList qtNameFilters(const std::string& filter) {
  QStringList parts = QString::fromStdString(filter).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    if (patterns.isEmpty()) continue;
    out << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return out;
}

QFont toQFont(const FontChoice& chosen) {
  QFont f(QString::fromStdString(chosen.name));
  if (chosen.size > 0) f.setPointSize(chosen.size);
  f.setBold(chosen.style & 1);
  f.setItalic(chosen.style & 2);
  f.setUnderline(chosen.style & 4);
  f.setStrikeOut(chosen.style & 8);
  return f;
}

void applyQFont(FontChoice& chosen, const QFont& f) {
  chosen.name = f.family().toStdString();
  if (f.pointSize() > 0) chosen.size = f.pointSize();
  chosen.style = (f.bold() ? 1 : 0) | (f.italic() ? 2 : 0) | (f.underline() ? 4 : 0) | (f.strikeOut() ? 8 : 0);
}

namespace {

QColor toQColor(const FontChoice& chosen) {
  Bgr c = imaging::fontColor(chosen);
  return QColor(c.r, c.g, c.b);
}

QIcon swatch(const QColor& colour) {
  QPixmap p(16, 16);
  p.fill(colour);
  QPainter painter(&p);
  painter.setPen(Qt::darkGray);
  painter.drawRect(0, 0, 15, 15);
  return QIcon(p);
}

}  // namespace

bool chooseStampFont(QWidget* parent, FontChoice& font) {
  // A face the desktop lacks ("Times New Roman") opens on the face the stamp is drawn with.
  QFont initial = toQFont(font);
  if (!QFontDatabase::families().contains(initial.family(), Qt::CaseInsensitive)) {
    try {
      initial.setFamily(QString::fromStdString(imaging::matchFont(font).family));
    } catch (const std::exception&) {
    }
  }
  QFontDialog dialog(initial, parent);
  dialog.setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::ScalableFonts);
  QColor colour = toQColor(font);
  // The colour sits with the effects, as a button that shows the chosen colour; its caption
  // is Qt's own (translated with Qt's other dialog texts).
  auto* button = new QPushButton(swatch(colour), QColorDialog::tr("Select Color"), &dialog);
  button->setObjectName("FontColorButton");
  QObject::connect(button, &QPushButton::clicked, &dialog, [&] {
    QColor c = QColorDialog::getColor(colour, &dialog);
    if (c.isValid()) {
      colour = c;
      button->setIcon(swatch(colour));
    }
  });
  QGroupBox* effects = nullptr;
  for (QGroupBox* g : dialog.findChildren<QGroupBox*>())
    if (g->findChild<QCheckBox*>()) effects = g;  // the group of strike-out and underline
  if (effects && effects->layout()) {
    effects->layout()->addWidget(button);
  } else if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    grid->addWidget(button, grid->rowCount(), 0);
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  applyQFont(font, dialog.selectedFont());
  font.color = static_cast<int32_t>((colour.blue() << 16) | (colour.green() << 8) | colour.red());
  return true;
}

QString choosePicture(QWidget* parent, const QString& title, const QString& current) {
  QFileDialog dialog(parent, title);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.resize(820, 480);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(qtNameFilters(codecs::openDialogFilter()));
  QFileInfo info(current);
  if (info.dir().exists()) dialog.setDirectory(info.dir());
  if (info.isFile()) dialog.selectFile(info.absoluteFilePath());

  auto* preview = new QLabel(&dialog);
  preview->setObjectName("PicturePreview");
  preview->setFixedSize(200, 200);
  preview->setAlignment(Qt::AlignCenter);
  preview->setFrameShape(QFrame::StyledPanel);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
  auto show = [preview](const QString& path) {
    QImageReader reader(path);
    QSize size = reader.size();
    QPixmap pixmap;
    if (size.isValid() && size.width() > 0 && size.height() > 0) {
      reader.setScaledSize(size.scaled(preview->size() - QSize(8, 8), Qt::KeepAspectRatio).boundedTo(size));
      pixmap = QPixmap::fromImage(reader.read());
    }
    preview->setPixmap(pixmap);
  };
  QObject::connect(&dialog, &QFileDialog::currentChanged, preview, show);
  if (info.isFile()) show(info.absoluteFilePath());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString chooseFolder(QWidget* parent, const QString& title, const QString& start) {
  QString folder = QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
  while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
  return folder;
}

}  // namespace brevane::app
