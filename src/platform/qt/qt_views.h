// Native Qt views of the form model: one top-level FormWidget per form, holding one widget per
// visible control (qt_controls.h), plus a QTimer per timer control and, while the slide show
// covers its screen, a black cover window over each other screen (qt_screens.h). Each view draws
// from the model and follows its property changes; input is delivered to the program as form
// events through the platform (ViewServices::Deliver).
//
// Input routing: every key press on the window or any of its children is the form's KeyDown.
// Mouse events on a control are that control's and never reach the form beneath it, so moving
// over a panel or the banner is not movement over the window. Tab and Shift+Tab walk the form's
// Tab stops in the order of their tab indexes; the first has the keyboard when the form is shown.
#pragma once

#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

#include "forms/form.h"
#include "platform/qt/qt_form_host.h"
#include "platform/qt/qt_screens.h"

namespace quildor::qt {


class FormWidget : public QWidget, public forms::FormView, public FormHost {
 public:
  FormWidget(ViewServices& platform, forms::Form& form);
  ~FormWidget() override;

  forms::Form& form() override { return form_; }
  ViewServices& platform() override { return platform_; }

  // The widget of a control (timers have none).
  QWidget* ControlWidget(const forms::Control& c) const override;

  // Places the window as the model says and shows it.
  void ShowAsModelled();

  void PropertyChanged(const forms::Form& f, forms::Property p) override;

  // The slide show over a whole screen (not in a screen-saver daemon's window); while it is
  // shown so, the other screens are covered.
  bool FullScreen() const;
  // Where a box over the window is centred: its largest picture (the photograph), else the
  // whole window; in the window's coordinates.
  QRect BoxCentre() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  bool focusNextPrevChild(bool next) override;

 private:
  class TimerView;

  void CreateControls();
  void ApplyWindowGeometry();
  void WatchInput(QWidget* w);

  ViewServices& platform_;
  forms::Form& form_;
  std::map<const forms::Control*, QWidget*> widgets_;
  std::vector<std::unique_ptr<TimerView>> timers_;
  ScreenCovers covers_;
  bool painted_ = false;
};

}  // namespace quildor::qt
