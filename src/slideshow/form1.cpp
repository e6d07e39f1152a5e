#include "slideshow/form1.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "forms/arith.h"
#include "forms/run_time_error.h"
#include "forms/text.h"
#include "module/module1.h"

namespace quildor {

std::int32_t ParseIntervalSetting(const std::string& text) {
  // The largest delay in seconds whose milliseconds still fit a signed 32-bit timer interval.
  constexpr std::int64_t kMaxSeconds = 2147483;
  auto is_blank = [](char c) { return c == ' ' || c == '\t'; };

  std::size_t i = 0, end = text.size();
  while (i < end && is_blank(text[i])) ++i;
  while (end > i && is_blank(text[end - 1])) --end;

  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool valid = i < end;
  std::int64_t value = 0;
  for (; valid && i < end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      valid = false;
    } else {
      value = value * 10 + (text[i] - '0');
      if (value > kMaxSeconds) valid = false;
    }
  }
  if (negative && value != 0) valid = false;
  if (!valid) {
    throw forms::RunTimeError(
        "The setting \"Interval\" holds \"" + text +
        "\", which is not a slide delay. It must be a whole number of seconds "
        "from 0 to 2147483.");
  }
  return static_cast<std::int32_t>(value);
}

const char* const kMissingPhotosText =
    "Unable to find Quildor photographs!\r\n\r\n"
    "Make sure that the Quildor Anthology is in the CDROM drive.";
const char* const kMissingPhotosTitle = "The Quildor Anthology Screen Saver";

std::string CaptionForCode(const std::string& code) {
  if (code == "MA") return "Quildor Matchbook Covers";
  if (code == "TD") return "Danbury Mint Die-cast Model";
  if (code == "TF") return "Franklin Mint Die-cast Models";
  if (code == "VM") return "Quildor Metal Signs";
  if (code == "ZZ") return "Quildor Philately";
  if (code == "SP") return "1957 Ostrevan Emblem";
  return "  19" + code + " Ostrevan";
}

Form1::Form1(Module1& module)
    : forms::Form(Form1Design(), Form1Controls()),
      Timer1(Get("Timer1")),
      panYear(Get("panYear")),
      SSPanel1(Get("SSPanel1")),
      Image1(Get("Image1")),
      Image2(Get("Image2")),
      module_(module) {
  Image1.SetPicture(module.platform().ResourcePicture(forms::ResourcePicture::DesignPhoto));
  Image2.SetPicture(module.platform().ResourcePicture(forms::ResourcePicture::TitleBanner));
}

void Form1::HandleEvent(forms::Event e, const forms::Control* source) {
  using forms::Event;
  if (source == nullptr) {
    switch (e) {
      case Event::Load: return Form_Load();
      case Event::KeyDown: return Form_KeyDown();
      case Event::MouseDown: return Form_MouseDown();
      case Event::MouseMove: return Form_MouseMove();
      case Event::QueryUnload: return Form_QueryUnload();
      case Event::Unload: return Form_Unload();
      default: return;
    }
  }
  if (source == &Image1) {
    switch (e) {
      case Event::Click: return Image1_Click();
      case Event::MouseDown: return Image1_MouseDown();
      case Event::MouseMove: return Image1_MouseMove();
      default: return;
    }
  }
  if (source == &Timer1 && e == Event::Timer) return Timer1_Timer();
  if (source == &Timer1 && e == Event::LoadComplete) return Timer1_LoadComplete();
  // panYear, SSPanel1 and Image2 have no handlers.
}

void Form1::Form_Load() {
  Platform& platform = module_.platform();

  module_.IntervalSeconds = ParseIntervalSetting(
      platform.ReadSetting(Module1::AppTitle(), "Settings", "Interval", "2"));
  Timer1.SetInterval(forms::CheckedMul<std::int32_t>(module_.IntervalSeconds, 1000));
  module_.PhotoDir = platform.ReadSetting(Module1::AppTitle(), "Settings", "QuildorsDir", " ");

  // Screens that count as neither 800 x 600 nor 640 x 480 get the column moved down.
  if (!module_.IsScreenSize(800, 600)) {
    if (!module_.IsScreenSize(640, 480)) SSPanel1.SetTop(SSPanel1.Top() + 1400.0);
  }

  SetLeft(0);
  SetTop(0);
  SetWindowState(forms::WindowState::Maximized);

  PlaceColumn(platform.ScreenWidth());
}

void Form1::LayOutForPreview() {
  PlaceColumn(800.0 * forms::kTwipsPerPixel);
  panYear.SetVisible(true);
}

void Form1::PlaceColumn(double screen_width) {
  // Centred on the screen's width and stacked; each value kept as computed, fractions included.
  SSPanel1.SetLeft(static_cast<float>((screen_width - SSPanel1.Width()) * 0.5));
  panYear.SetLeft(static_cast<float>((screen_width - panYear.Width()) / 2));
  panYear.SetTop(static_cast<float>(double{SSPanel1.Top()} + SSPanel1.Height()));
  Image2.SetLeft(static_cast<float>((screen_width - Image2.Width()) / 2));
  Image2.SetTop(static_cast<float>(double{panYear.Top()} + panYear.Height()));
}

// One slide-show step's photo-folder work, done by the loader off the GUI thread: the
// enumeration calls and the picture's load, with a copy of the first-photograph tick count,
// which the GUI thread takes back when the step completes (as it stood at a failure, too).
struct Form1::Step {
  std::string dir;
  int width = 0;   // Image1's size in pixels, which the picture is loaded for
  int height = 0;
  std::int16_t first_photo_ticks = 0;
  // The result.
  std::string path;
  forms::Picture picture;
  bool failed = false;

  void Run(Platform& platform) {
    try {
      ChoosePath(platform);
      picture = platform.LoadPicture(path, width, height);
    } catch (...) {   // nothing may leave the loader's thread
      failed = true;
    }
  }

  // The first file of each pass is shown on three ticks: the enumeration is started afresh on
  // each of them. After that each tick takes the next file; at the end of the folder the pass
  // starts over within the same tick.
  void ChoosePath(Platform& platform) {
    for (;;) {
      if (first_photo_ticks <= 2) {
        path = dir + platform.DirStart(dir + "*.*");
        first_photo_ticks = forms::CheckedAdd<std::int16_t>(first_photo_ticks, 1);
        return;
      }
      const std::string name = platform.DirNext();
      if (!name.empty()) {
        path = dir + name;
        return;
      }
      first_photo_ticks = 0;
    }
  }
};

// The slide-show step. Any failure in it (no disc, a folder without photographs, a file that is
// not a picture) shows the message asking for the disc and ends the step; the timer goes on, so
// the next tick tries again. While a step's photograph is still loading (a slow or stuck drive),
// a tick starts no other: steps never overlap or queue up, and the show keeps its photograph.
// While the show cannot be seen (the displays powered off, a lock screen over it), a tick starts
// no step and counts for nothing: no enumeration, no read, no decode, no box, and the first
// photograph's held ticks are not used up; the photograph and caption that stood are there when
// the light comes back, and the next tick steps as if the dark ticks had not come.
void Form1::Timer1_Timer() {
  if (step_) return;
  if (!module_.platform().CanBeSeen(*this)) return;
  step_ = std::make_shared<Step>();
  step_->dir = module_.PhotoDir;
  step_->width = forms::TwipsToPixels(Image1.Width());
  step_->height = forms::TwipsToPixels(Image1.Height());
  step_->first_photo_ticks = FirstPhotoTicks;
  Platform& platform = module_.platform();
  platform.StartLoad(*this, Timer1, [step = step_, &platform] { step->Run(platform); });
}

void Form1::Timer1_LoadComplete() {
  const std::shared_ptr<Step> step = std::move(step_);
  if (!step) return;
  FirstPhotoTicks = step->first_photo_ticks;
  if (step->failed) return module_.MsgBox(kMissingPhotosText, kMissingPhotosTitle);
  try {
    Platform& platform = module_.platform();
    // The category code stands right behind the photo folder's name, which ends in "ildors":
    // the two characters after the token and the separator that follows it. Case conversions
    // go character by character and keep the length, so a position in one is valid in the
    // other.
    const std::u32string chars = forms::DecodeUtf8(step->path);
    std::u32string lower = chars;
    for (char32_t& c : lower) c = platform.ToLower(c);
    const std::size_t found = lower.find(U"ildors");
    const std::size_t token = found == std::u32string::npos ? 0 : found + 1;   // 1-based; 0: none
    std::u32string upper = chars;
    for (char32_t& c : upper) c = platform.ToUpper(c);
    const std::size_t start = token + 7 - 1;   // 0-based index of the code's first character
    const std::u32string code = start < upper.size() ? upper.substr(start, 2) : std::u32string();

    Image1.SetPicture(step->picture);
    panYear.SetCaption(CaptionForCode(forms::EncodeUtf8(code)));
  } catch (const std::exception&) {
    module_.MsgBox(kMissingPhotosText, kMissingPhotosTitle);
  }
}

void Form1::Form_KeyDown() { module_.EndProgram(); }
void Form1::Form_MouseDown() { module_.EndProgram(); }
void Form1::Form_MouseMove() { CountMovement(FormMoveCount); }
void Form1::Form_QueryUnload() { module_.ShowCursorFully(); }
void Form1::Form_Unload() { module_.ShowCursorFully(); }
void Form1::Image1_Click() { module_.EndProgram(); }
void Form1::Image1_MouseDown() { module_.EndProgram(); }
void Form1::Image1_MouseMove() { CountMovement(ImageMoveCount); }

void Form1::CountMovement(std::int16_t& counter) {
  if (counter <= 2) {
    counter = forms::CheckedAdd<std::int16_t>(counter, 1);
    return;
  }
  module_.EndProgram();
}

}  // namespace quildor
