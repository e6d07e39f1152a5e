#include "settings_dialog/frm_ss_settings.h"

#include <charconv>
#include <system_error>

#include "forms/arith.h"
#include "module/module1.h"

namespace quildor {

const char* const kSettingsHelpText =
    "The Quildor Anthology Screen Saver must be initially installed from \r\n"
    "within the Quildor Anthology itself. Use this screen to adjust the \r\n"
    "timing interval of the presentation.\r\n"
    "\r\n"
    "Additional options exist allowing you to set the screen saver to use\r\n"
    "all the photos from the Quildor Anthology library or just the ones that\r\n"
    "you have selected from the Screen Saver Photo Selection form. They\r\n"
    "are available under the File/Install Screen Saver menu items within\r\n"
    "the Quildor Anthology software.\r\n"
    "\r\n";
const char* const kSettingsHelpTitle = "The Quildor Anthology Screen Saver Settings";

std::int32_t StepDelayDown(std::int32_t ms) {
  if (ms == 1000) return 60000;
  if (ms == 5000) return 4000;
  if (ms == 4000) return 3000;
  if (ms == 3000) return 2000;
  if (ms == 2000) return 1000;
  return forms::CheckedSub<std::int32_t>(ms, 5000);
}

std::int32_t StepDelayUp(std::int32_t ms) {
  if (ms == 60000) return 1000;
  if (ms == 1000) return 2000;
  if (ms == 2000) return 3000;
  if (ms == 3000) return 4000;
  if (ms == 4000) return 5000;
  return forms::CheckedAdd<std::int32_t>(ms, 5000);
}

std::string DelaySecondsText(std::int32_t ms) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, ms / 1000.0);
  return std::string(buffer, result.ptr);
}

frmSSSettings::frmSSSettings(Module1& module)
    : forms::Form(SettingsDialogDesign(), SettingsDialogControls()),
      pnlSSaver(Get("pnlSSaver")),
      SSCommand4(Get("SSCommand4")),
      SSCommand5(Get("SSCommand5")),
      SSCommand6(Get("SSCommand6")),
      panInterval(Get("panInterval")),
      SpinInterval(Get("SpinInterval")),
      Label7(Get("Label7")),
      Label8(Get("Label8")),
      Label9(Get("Label9")),
      Image2(Get("Image2")),
      module_(module) {
  Image2.SetPicture(module.platform().ResourcePicture(forms::ResourcePicture::DialogPhoto));
}

void frmSSSettings::HandleEvent(forms::Event e, const forms::Control* source) {
  using forms::Event;
  if (source == &SpinInterval && e == Event::SpinDown) return SpinInterval_SpinDown();
  if (source == &SpinInterval && e == Event::SpinUp) return SpinInterval_SpinUp();
  if (e != Event::Click) return;
  if (source == &SSCommand4) return SSCommand4_Click();
  if (source == &SSCommand5) return SSCommand5_Click();
  if (source == &SSCommand6) return SSCommand6_Click();
}

void frmSSSettings::SpinInterval_SpinDown() {
  module_.SlideDelayMs = StepDelayDown(module_.SlideDelayMs);
  ShowDelay();
}

void frmSSSettings::SpinInterval_SpinUp() {
  module_.SlideDelayMs = StepDelayUp(module_.SlideDelayMs);
  ShowDelay();
}

void frmSSSettings::ShowDelay() {
  // Always the plural, "1 Seconds" included.
  panInterval.SetCaption(DelaySecondsText(module_.SlideDelayMs) + " Seconds");
}

void frmSSSettings::SSCommand4_Click() {
  module_.platform().WriteSetting(Module1::AppTitle(), "Settings", "Interval",
                                  DelaySecondsText(module_.SlideDelayMs));
}

void frmSSSettings::SSCommand5_Click() {
  module_.MsgBox(kSettingsHelpText, kSettingsHelpTitle);
}

void frmSSSettings::SSCommand6_Click() { module_.EndProgram(); }

}  // namespace quildor
