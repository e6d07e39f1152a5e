// frmSSSettings: the small dialog in which the slide delay is chosen, stored and explained.
// Built from its design table (frm_ss_settings_design.cpp); its handlers step the delay along a
// fixed cycle, store it, show help and end the program. Owned by Module1 for the whole run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "forms/form.h"

namespace quildor {

class Module1;

forms::FormDesign SettingsDialogDesign();
std::vector<forms::Control::Design> SettingsDialogControls();

// The delay cycle, one step down and one step up, in milliseconds.
std::int32_t StepDelayDown(std::int32_t ms);
std::int32_t StepDelayUp(std::int32_t ms);

// The shortest decimal text of ms / 1000 computed in double precision ("1", "15", "2.5").
std::string DelaySecondsText(std::int32_t ms);

// The help message's text and title, exactly as shown.
extern const char* const kSettingsHelpText;
extern const char* const kSettingsHelpTitle;

class frmSSSettings : public forms::Form {
 public:
  explicit frmSSSettings(Module1& module);

  void HandleEvent(forms::Event e, const forms::Control* source) override;

  forms::Control& pnlSSaver;
  forms::Control& SSCommand4;   // "Set"
  forms::Control& SSCommand5;   // "Help"
  forms::Control& SSCommand6;   // "Exit"
  forms::Control& panInterval;
  forms::Control& SpinInterval;
  forms::Control& Label7;
  forms::Control& Label8;
  forms::Control& Label9;
  forms::Control& Image2;

 private:
  void SpinInterval_SpinDown();
  void SpinInterval_SpinUp();
  void SSCommand4_Click();
  void SSCommand5_Click();
  void SSCommand6_Click();
  void ShowDelay();

  Module1& module_;
};

}  // namespace quildor
