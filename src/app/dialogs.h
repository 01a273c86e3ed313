// The dialogs the option pages open: the stamp font with its colour, the watermark picture
// with a preview pane and the output folder; and the file-type filter in Qt's form.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "engine/settings.h"

class QWidget;
class QFont;

namespace brevane::app {

/// The filter of the open dialogs ("All|*.a;*.b;|.A (desc)|*a|...", description and pattern
/// list alternating) as Qt name filters: "All (*.a *.b)", ".A (desc) (*a)", ...
QStringList qtNameFilters(const std::string& filter);

/// A font as the widgets draw it (face, points, bold, italic, underline, strike-out).
QFont toQFont(const FontChoice& font);
/// The face, size and style of `font` put into `chosen`; the character set and colour are kept.
void applyQFont(FontChoice& chosen, const QFont& font);

/// The font dialog on the stamp font: scalable fonts only, with underline, strike-out and a
/// colour choice. True when confirmed (the font is changed), false when cancelled.
bool chooseStampFont(QWidget* parent, FontChoice& font);

/// The picture-open dialog of the watermark: an existing file, a preview pane, the filter of
/// every picture format the loader reads. Empty when cancelled.
QString choosePicture(QWidget* parent, const QString& title, const QString& current);

/// The folder chooser; the chosen folder without a trailing "/", empty when cancelled.
QString chooseFolder(QWidget* parent, const QString& title, const QString& start);

}  // namespace brevane::app
