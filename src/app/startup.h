// The program's entry: one copy per user, the hand-over of a second start, the windows
// created in order, their fonts and language, the message loop.
#pragma once

#include <QStringList>
#include <memory>

#include "mainform.h"

namespace brevane::app {

class HandOverServer;
class TAboutForm;
class TPreviewForm;
class TProgressform;
class TStatisticsform;

/// The windows of a first start, created in their order.
struct ProgramWindows {
  std::unique_ptr<TBRVMainform> main;
  TPreviewForm* preview = nullptr;
  TProgressform* progress = nullptr;
  TStatisticsform* statistics = nullptr;
  TAboutForm* about = nullptr;
};

/// The first start's windows: the main window (its creation step runs), then the preview
/// window, the progress dialog, the statistics and the about dialog; the fonts; the language
/// applied to the main window, the progress, about and statistics dialogs. The dialogs are
/// not made when the creation step ended the program (a missing language file).
ProgramWindows createWindows(MainformContext context);

/// The whole program: returns the exit status.
int runProgram(int argc, char** argv);

}  // namespace brevane::app
