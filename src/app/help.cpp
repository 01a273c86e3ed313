// The help command.
#include "help.h"

#include <QDialog>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "desktop_open.h"
#include "services/help_files.h"

namespace brevane::app {

namespace {

// The page in a plain browser window: links inside the page are followed, others go to the
// desktop's handler.
void showHelpWindow(QWidget* parent, const QUrl& page) {
  auto* window = parent ? parent->findChild<QDialog*>(QStringLiteral("HelpViewer"), Qt::FindDirectChildrenOnly)
                        : nullptr;
  QTextBrowser* browser = window ? window->findChild<QTextBrowser*>() : nullptr;
  if (!window || !browser) {
    window = new QDialog(parent, Qt::Window);
    window->setObjectName(QStringLiteral("HelpViewer"));
    browser = new QTextBrowser(window);
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    window->resize(820, 640);
  }
  browser->setSource(page);
  window->setWindowTitle(browser->documentTitle());
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace

bool openHelp(QWidget* parent, const std::string& programFolder, const QString& lang) {
  const std::string page = services::findHelpFile(programFolder, lang.toStdString());
  if (page.empty()) return false;
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(page));
  if (!openDesktopUrl(url)) showHelpWindow(parent, url);
  return true;
}

}  // namespace brevane::app
