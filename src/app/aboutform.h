// The about dialog TAboutForm: banner, version, build date, support address and web site.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

namespace brevane::app {

/// The support address written to from Label5 and the web site opened from Label6.
inline constexpr std::string_view kSupportAddress = "support@brevane.invalid";
inline constexpr std::string_view kWebSite = "https://www.brevane.invalid/";

class TLabel;

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  TAboutForm(QWidget* parent, std::string languageFile);

  void ChangeLang(const QString& section);
  /// The version string and the build date shown beside their captions.
  void setVersion(const QString& version, const QString& buildDate);
  /// The two link labels (support address, web site), drawn navy and underlined at start-up.
  TLabel* mailLink() const { return m_mail; }
  TLabel* siteLink() const { return m_site; }
  QString versionText() const;
  QString buildDateText() const;

 protected:
  /// Label5 shows the support address each time the dialog becomes visible.
  void showEvent(QShowEvent* event) override;
  /// A click on Label5 writes a mail to the support address, on Label6 opens the web site.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string m_languageFile;
  TLabel* m_version = nullptr;
  TLabel* m_date = nullptr;
  TLabel* m_mail = nullptr;
  TLabel* m_site = nullptr;
};

/// Gives a link label its look: navy, underlined, a hand cursor.
void styleLinkLabel(TLabel* label);

}  // namespace brevane::app
