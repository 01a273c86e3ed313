// Thin widget classes, one per element kind that the language re-texting tells apart, so that
// an element's kind is its exact class.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QWidget>

#include "i18n/retext_rules.h"

namespace brevane::app {

/// A push button without an icon.
class TButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;
};

/// A push button with an icon (the "PngBitBtn" buttons).
class TPngBitBtn : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;
};

/// A tool-bar button; its text is its tooltip.
class TToolButton : public QToolButton {
  Q_OBJECT
 public:
  using QToolButton::QToolButton;
};

/// A text label.
class TLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
};

class TCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  using QCheckBox::QCheckBox;
};

class TRadioButton : public QRadioButton {
  Q_OBJECT
 public:
  using QRadioButton::QRadioButton;
};

/// A number box.
class TSpinEdit : public QSpinBox {
  Q_OBJECT
 public:
  using QSpinBox::QSpinBox;
};

/// A one-line edit box.
class TEdit : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;
};

class TGroupBox : public QGroupBox {
  Q_OBJECT
 public:
  using QGroupBox::QGroupBox;
};

/// A slider with tick marks; never re-texted.
class TTrackBar : public QSlider {
  Q_OBJECT
 public:
  explicit TTrackBar(QWidget* parent = nullptr) : QSlider(Qt::Horizontal, parent) {}
};

/// One page of a notebook; its caption is the text of its tab.
class TTabSheet : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  QString caption() const;
  void setCaption(const QString& caption);

 private:
  QString m_caption;
};

/// A menu entry of the main menu or of a pop-up menu.
class TMenuItem : public QAction {
  Q_OBJECT
 public:
  using QAction::QAction;
};

/// The settings of an open-file dialog: its title (the dialog itself is made when shown).
class TOpenDialog : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  QString title() const { return m_title; }
  void setTitle(const QString& title) { m_title = title; }

 private:
  QString m_title;
};

/// The exact kind of an element; kOther for every class not listed above, derived ones included.
i18n::ElementKind elementKind(const QObject* object);

/// Makes a child object with an objectName.
template <typename T, typename... Args>
T* named(const char* name, Args&&... args) {
  T* object = new T(std::forward<Args>(args)...);
  object->setObjectName(QString::fromLatin1(name));
  return object;
}

}  // namespace brevane::app
