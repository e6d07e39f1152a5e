// What the views need of the platform, what a control's widget and its accessible interface
// need of the window they are in, and what each control widget says of itself. The platform
// (QtPlatform) and the window (FormWidget) implement these; the views, controls and accessible
// interfaces see them only through this header, so that none of them depends on the header of
// what holds it.
#pragma once

#include <QPointF>
#include <QSize>
#include <QWidget>
#include <QWindow>

#include "forms/form.h"

namespace quildor::qt {

class ViewServices {
 public:
  // Delivers one event to the program.
  virtual void Deliver(forms::Form& form, forms::Event e, const forms::Control* source) = 0;
  // A mouse-move event on `source` (nullptr: the form's own surface) with the pointer at
  // `global`: delivered as MouseMove only when the pointer moved (forms/pointer.h).
  virtual void DeliverMove(forms::Form& form, const forms::Control* source, QPointF global) = 0;
  // `form` came on the screen with the pointer where it is now.
  virtual void FormShown(const forms::Form& form) = 0;
  // The window a screen-saver daemon handed the program to draw in, or nullptr, and its size.
  virtual QWindow* ForeignWindow() = 0;
  virtual QSize ForeignSize() const = 0;

 protected:
  ~ViewServices() = default;
};

class FormHost {
 public:
  // The form the window shows, and the platform its events are delivered through.
  virtual forms::Form& form() = 0;
  virtual ViewServices& platform() = 0;
  // The widget of a control (timers have none).
  virtual QWidget* ControlWidget(const forms::Control& c) const = 0;

 protected:
  ~FormHost() = default;
};

// What every control widget says of itself: the window it belongs to and the control it shows.
class ControlWidget {
 public:
  virtual ~ControlWidget() = default;
  virtual FormHost& form() const = 0;
  virtual const forms::Control& control() const = 0;
};

}  // namespace quildor::qt
