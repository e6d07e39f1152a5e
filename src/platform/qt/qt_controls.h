// The Qt widgets of a form's controls, one class per kind of control: the 3-D panel, the image,
// the label, the 3-D command button and the spin button. Each draws its control from the model,
// follows its property changes and turns its input into the control's events through the form
// it belongs to. The buttons and the spin button take the keyboard focus and show it, and the
// spin button answers assistive technology as a spin box whose value is its value panel's text.
//
// Ownership: each widget is a child of its container's widget (or of the form's), owned by Qt;
// it detaches from its control when it dies.
#pragma once

#include <QImage>
#include <QWidget>

#include "forms/form.h"
#include "platform/qt/qt_form_host.h"

namespace quildor::qt {

QColor ToQColor(const forms::Color& c);
QFont ToQFont(const forms::Font& f);

// The QImage a picture handle holds, or nullptr.
const QImage* ImageOf(const forms::Picture& p);

// The widget of control `c` (not a timer) inside `parent`, showing and delivering for `form`.
QWidget* CreateControlWidget(FormHost& form, forms::Control& c, QWidget* parent);

}  // namespace quildor::qt
