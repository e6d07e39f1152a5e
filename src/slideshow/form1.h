// Form1: the full-screen slide-show window. Built from its design table (form1_design.cpp) when
// created; its handlers lay it out at load, and end the run on user input. Owned by Module1 for
// the whole run; its controls are named members, its counters live as long as the window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "forms/form.h"
#include "forms/run_time_error.h"

namespace quildor {

class Module1;

// The design of Form1 and its controls, in creation order.
forms::FormDesign Form1Design();
std::vector<forms::Control::Design> Form1Controls();

// Converts the stored "Interval" text to whole seconds: a decimal number with optional blanks
// around it and an optional sign, from 0 up to the largest delay whose milliseconds fit in 32
// bits. Anything else throws forms::RunTimeError naming the setting and the text.
std::int32_t ParseIntervalSetting(const std::string& text);

// The caption for a photograph's two-character category code: the collection's six letter codes
// have captions of their own; any other code (a model year's last two digits) gives
// "  19<code> Ostrevan".
std::string CaptionForCode(const std::string& code);

// The failure message of the slide-show step, and its title.
extern const char* const kMissingPhotosText;
extern const char* const kMissingPhotosTitle;

class Form1 : public forms::Form {
 public:
  explicit Form1(Module1& module);

  void HandleEvent(forms::Event e, const forms::Control* source) override;

  // Lays the window out as the Load handler does on an 800 x 600 screen, caption panel shown,
  // without reading any setting: the picture a preview shows.
  void LayOutForPreview();

  forms::Control& Timer1;
  forms::Control& panYear;
  forms::Control& SSPanel1;
  forms::Control& Image1;
  forms::Control& Image2;

  // Ticks of the current pass on which the enumeration was started afresh (0 to 3).
  std::int16_t FirstPhotoTicks = 0;

  // Mouse-move events tolerated so far, over the window's own surface and over Image1.
  std::int16_t FormMoveCount = 0;
  std::int16_t ImageMoveCount = 0;

 private:
  void Form_Load();
  // Centres the frame, the caption panel and the banner on a screen `screen_width` twips wide and
  // stacks them from the frame's top down.
  void PlaceColumn(double screen_width);
  // The slide-show step in two halves: the tick hands the photo folder's work to the platform's
  // loader, and the loader's completion puts the photograph and its caption up together, or
  // shows the box asking for the disc.
  void Timer1_Timer();
  void Timer1_LoadComplete();
  struct Step;
  // The step whose photograph is loading; a tick meanwhile starts none.
  std::shared_ptr<Step> step_;
  void Form_KeyDown();
  void Form_MouseDown();
  void Form_MouseMove();
  void Form_QueryUnload();
  void Form_Unload();
  void Image1_Click();
  void Image1_MouseDown();
  void Image1_MouseMove();

  // Three mouse-move events pass; the fourth ends the run.
  void CountMovement(std::int16_t& counter);

  Module1& module_;
};

}  // namespace quildor
