#include "forms/form.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace quildor::forms {

int TwipsToPixels(Twips t) {
  return static_cast<int>(std::floor(static_cast<double>(t) / kTwipsPerPixel + 0.5));
}

Control::Design DesignRow(std::string name, ControlKind kind, std::string container, Twips left,
                          Twips top, Twips width, Twips height, int tab_index) {
  Control::Design d;
  d.name = std::move(name);
  d.kind = kind;
  d.container = std::move(container);
  d.left = left;
  d.top = top;
  d.width = width;
  d.height = height;
  d.tab_index = tab_index;
  return d;
}

Form::Form(FormDesign design, std::vector<Control::Design> controls)
    : design_(std::move(design)), left_(design_.client_left), top_(design_.client_top) {
  controls_.reserve(controls.size());
  for (auto& c : controls) {
    if (!c.container.empty()) Get(c.container);   // a container is created before its children
    controls_.push_back(std::make_unique<Control>(std::move(c)));
  }
}

Control& Form::Get(const std::string& name) const {
  for (const auto& c : controls_) {
    if (c->Name() == name) return *c;
  }
  throw std::logic_error("no control named " + name + " on " + design_.name);
}

}  // namespace quildor::forms
