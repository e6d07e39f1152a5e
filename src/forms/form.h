// The portable form model: a window (Form) and its controls as plain data with change
// notification. A form is built from its design table before any handler runs; a backend creates
// native controls from the same model and is told of every later property change through the
// ControlView / FormView hooks. Tests drive handlers and read the model directly, with no view.
//
// Ownership: a Form owns its Controls (stable addresses for the form's lifetime). Views are owned
// by the backend and detach themselves before they die.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quildor::forms {

// Positions and sizes are single-precision twips, relative to the container; 15 twips per pixel.
using Twips = float;
inline constexpr int kTwipsPerPixel = 15;

// Twips to pixels, the one conversion every view uses: the nearest whole pixel, halves rounded
// up (towards +infinity), so 52.5 twips (3.5 px) is 4 px and -1147.5 twips (-76.5 px) is -76 px.
int TwipsToPixels(Twips t);

// An RGB colour, or one of the system's named colours.
struct Color {
  enum class System : std::uint8_t { None, ButtonText, ButtonFace, WindowBackground };
  std::uint8_t r = 0, g = 0, b = 0;
  System system = System::None;

  static constexpr Color Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return Color{r, g, b, System::None};
  }
  static constexpr Color Named(System s) { return Color{0, 0, 0, s}; }
  bool operator==(const Color&) const = default;
};

struct Font {
  std::string name;    // as designed ("MS Sans Serif"); a backend maps missing faces
  float points = 8.25f;
  bool bold = false;
  bool operator==(const Font&) const = default;
};

enum class Bevel : std::uint8_t { None, Inset, Raised };
enum class Align : std::uint8_t { Left, Center };
enum class BorderStyle : std::uint8_t { None, Single };

enum class ControlKind : std::uint8_t { Timer, Panel3D, Image, Label, Command3D, SpinButton };

// A picture handle. The bytes are what was stored (a resource) or what the platform decoded; the
// backend keeps its own decoded form in `native`. Width and height are the picture's own pixels.
struct PictureData {
  int width = 0;
  int height = 0;
  std::string source;                  // resource name or file path, for messages and tests
  std::shared_ptr<void> native;        // the backend's decoded image (QImage, HBITMAP, ...)
};
using Picture = std::shared_ptr<const PictureData>;

// Names of the pictures stored with the windows' composition.
enum class ResourcePicture : std::uint8_t { DesignPhoto, TitleBanner, DialogPhoto, Icon };

// The properties a handler or a layout can change after creation; a view repaints or moves on them.
enum class Property : std::uint8_t {
  Left, Top, Width, Height, Visible, Caption, Interval, Enabled, Picture, WindowState
};

class Control;
class Form;

// A backend's native counterpart of one control.
class ControlView {
 public:
  virtual ~ControlView() = default;
  virtual void PropertyChanged(const Control& c, Property p) = 0;
};

// A backend's native counterpart of one form.
class FormView {
 public:
  virtual ~FormView() = default;
  virtual void PropertyChanged(const Form& f, Property p) = 0;
};

// One control of a form, created from a row of the design table.
class Control {
 public:
  struct Design {
    std::string name;
    ControlKind kind = ControlKind::Image;
    std::string container;   // empty: directly on the form
    Twips left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool enabled = true;
    int tab_index = -1;      // -1: the control has none
    std::string caption;
    Color fore_color = Color::Rgb(0, 0, 0);
    Color back_color = Color::Rgb(255, 255, 255);
    bool transparent = false;   // labels: the container shows through
    Font font;
    Align alignment = Align::Center;
    // 3-D panels: bevels in pixels.
    Bevel outer_bevel = Bevel::None;
    Bevel inner_bevel = Bevel::None;
    int bevel_width = 0;
    int border_width = 0;
    // Images.
    bool stretch = false;
    BorderStyle border = BorderStyle::None;
    ResourcePicture picture_resource = ResourcePicture::DesignPhoto;
    bool has_picture = false;
    // Timers.
    std::int32_t interval = 0;
    // Spin buttons.
    std::string tooltip;
    std::string value_panel;   // the panel whose caption shows the value the spin button steps
  };

  explicit Control(Design d) : d_(std::move(d)) {}
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return d_.name; }
  ControlKind Kind() const { return d_.kind; }
  const Design& design() const { return d_; }
  const std::string& Container() const { return d_.container; }

  Twips Left() const { return d_.left; }
  Twips Top() const { return d_.top; }
  Twips Width() const { return d_.width; }
  Twips Height() const { return d_.height; }
  bool Visible() const { return d_.visible; }
  bool Enabled() const { return d_.enabled; }
  const std::string& Caption() const { return d_.caption; }
  std::int32_t Interval() const { return d_.interval; }
  const Picture& GetPicture() const { return picture_; }

  void SetLeft(Twips v) { Set(d_.left, v, Property::Left); }
  void SetTop(Twips v) { Set(d_.top, v, Property::Top); }
  void SetVisible(bool v) { Set(d_.visible, v, Property::Visible); }
  void SetEnabled(bool v) { Set(d_.enabled, v, Property::Enabled); }
  void SetCaption(std::string v) { d_.caption = std::move(v); Notify(Property::Caption); }
  void SetInterval(std::int32_t v) { Set(d_.interval, v, Property::Interval); }
  void SetPicture(Picture p) { picture_ = std::move(p); Notify(Property::Picture); }

  void AttachView(ControlView* v) { view_ = v; }
  ControlView* View() const { return view_; }

 private:
  template <class T>
  void Set(T& field, T v, Property p) {
    field = v;
    Notify(p);
  }
  void Notify(Property p) {
    if (view_) view_->PropertyChanged(*this, p);
  }

  Design d_;
  Picture picture_;
  ControlView* view_ = nullptr;
};

enum class WindowState : std::int32_t { Normal = 0, Minimized = 1, Maximized = 2 };

// What a form looks like when created.
struct FormDesign {
  std::string name;
  std::string caption;
  Color back_color = Color::Rgb(0, 0, 0);
  Twips client_left = 0, client_top = 0, client_width = 0, client_height = 0;
  bool has_icon = false;
  // Full-screen windows have no frame; a dialog has a fixed frame with a close box.
  bool frameless = false;
  // Hide the mouse pointer over the window's own surface (a screen saver's picture).
  bool blank_pointer = false;
};

// One row of a window's design table: a control's name, kind, container ("" for the window
// itself), position and size in twips, and tab index (-1: none); the row's other settings are
// set on the result. Both windows' tables are written with it.
Control::Design DesignRow(std::string name, ControlKind kind, std::string container, Twips left,
                          Twips top, Twips width, Twips height, int tab_index = -1);

// The events a backend delivers. Handlers ignore the events' arguments, so none are carried.
enum class Event : std::uint8_t {
  Load, QueryUnload, Unload, KeyDown, MouseDown, MouseMove, Click, Timer, SpinUp, SpinDown,
  LoadComplete   // the platform's loader finished the work a handler gave it (Platform::StartLoad)
};

// A window: its design, its controls in creation order, and its handlers (overridden by each
// window's class). Handlers run one at a time on the GUI thread.
class Form {
 public:
  Form(FormDesign design, std::vector<Control::Design> controls);
  virtual ~Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const FormDesign& design() const { return design_; }
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }
  Control& Get(const std::string& name) const;   // throws std::logic_error on an unknown name

  Twips Left() const { return left_; }
  Twips Top() const { return top_; }
  WindowState State() const { return state_; }
  void SetLeft(Twips v) { left_ = v; Notify(Property::Left); }
  void SetTop(Twips v) { top_ = v; Notify(Property::Top); }
  void SetWindowState(WindowState s) { state_ = s; Notify(Property::WindowState); }

  bool Loaded() const { return loaded_; }
  void MarkLoaded() { loaded_ = true; }

  // Dispatches one event to the handler of `source` (nullptr: the form itself). Events without a
  // handler do nothing.
  virtual void HandleEvent(Event e, const Control* source) = 0;

  void AttachView(FormView* v) { view_ = v; }
  FormView* View() const { return view_; }

 private:
  void Notify(Property p) {
    if (view_) view_->PropertyChanged(*this, p);
  }

  FormDesign design_;
  std::vector<std::unique_ptr<Control>> controls_;
  Twips left_;
  Twips top_;
  WindowState state_ = WindowState::Normal;
  bool loaded_ = false;
  FormView* view_ = nullptr;
};

}  // namespace quildor::forms
