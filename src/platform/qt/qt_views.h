// Native Qt views of the form model: one top-level FormWidget per form and one widget per visible
// control (3-D panels, images, labels, 3-D command buttons, the spin button), plus a QTimer per
// timer control. Each view draws from the model and follows its property changes; input is
// delivered to the program as form events through QtPlatform::Deliver.
//
// Input routing: every key press on the window or any of its children is the form's KeyDown.
// Mouse events on a control are that control's and never reach the form beneath it, so moving
// over a panel or the banner is not movement over the window.
#pragma once

#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

#include "forms/form.h"

namespace quildor::qt {

class QtPlatform;

QColor ToQColor(const forms::Color& c);
QFont ToQFont(const forms::Font& f);

// The QImage a picture handle holds, or nullptr.
const QImage* ImageOf(const forms::Picture& p);

class FormWidget : public QWidget, public forms::FormView {
 public:
  FormWidget(QtPlatform& platform, forms::Form& form);
  ~FormWidget() override;

  forms::Form& form() { return form_; }
  QtPlatform& platform() { return platform_; }

  // The widget of a control (timers have none).
  QWidget* ControlWidget(const forms::Control& c) const;

  // Places the window as the model says and shows it.
  void ShowAsModelled();

  void PropertyChanged(const forms::Form& f, forms::Property p) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  class TimerView;
  class CoverWidget;

  void CreateControls();
  void ApplyWindowGeometry();
  void WatchInput(QWidget* w);
  // While the window covers the primary screen in full: one black cover window over each other
  // screen, made anew whenever screens come, go or change.
  void UpdateCovers();

  QtPlatform& platform_;
  forms::Form& form_;
  std::map<const forms::Control*, QWidget*> widgets_;
  std::vector<std::unique_ptr<TimerView>> timers_;
  std::vector<std::unique_ptr<CoverWidget>> covers_;
  bool painted_ = false;
};

}  // namespace quildor::qt
