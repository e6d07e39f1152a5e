// The form's controls as assistive technology (AT-SPI on Linux) sees them, where Qt's own widgets
// do not already say it: a spin button is a spin box named by its tooltip whose value is its value
// panel's caption, and a label is static text named by its caption. Buttons are Qt's push
// buttons, named by their captions; a form's window is a dialog (the framed settings dialog) or a
// window (the slide show), named by its title.
#pragma once

#include "forms/form.h"
#include "platform/qt/qt_form_host.h"

namespace quildor::qt {

// Makes Qt ask this backend for the accessible interfaces of the forms' windows and controls;
// once per process, before the first window is made.
void InstallAccessibleFactory();

// Tells assistive technology that the value of `spin` (the caption of its value panel) changed.
void AnnounceValue(FormHost& form, const forms::Control& spin);

}  // namespace quildor::qt
