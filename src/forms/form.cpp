#include "forms/form.h"

#include <cmath>
#include <stdexcept>

namespace quildor::forms {

int TwipsToPixels(Twips t) {
  return static_cast<int>(std::floor(static_cast<double>(t) / kTwipsPerPixel + 0.5));
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
