#include "forms/keyboard.h"

#include <algorithm>
#include <cstddef>

namespace quildor::forms {

bool TakesFocus(const Control& c) {
  const auto& d = c.design();
  return (c.Kind() == ControlKind::Command3D || c.Kind() == ControlKind::SpinButton) &&
         d.tab_index >= 0 && c.Visible() && c.Enabled();
}

std::vector<const Control*> FocusOrder(const Form& form) {
  std::vector<const Control*> order;
  for (const auto& c : form.Controls()) {
    if (TakesFocus(*c)) order.push_back(c.get());
  }
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    return a->design().tab_index < b->design().tab_index;
  });
  return order;
}

const Control* NextFocus(const Form& form, const Control* current, bool backwards) {
  const std::vector<const Control*> order = FocusOrder(form);
  if (order.empty()) return nullptr;
  const auto it = std::find(order.begin(), order.end(), current);
  if (it == order.end()) return backwards ? order.back() : order.front();
  const auto at = static_cast<std::size_t>(it - order.begin());
  const std::size_t n = order.size();
  return order[backwards ? (at + n - 1) % n : (at + 1) % n];
}

Event SpinEventFor(ArrowKey key) {
  return key == ArrowKey::Up || key == ArrowKey::Right ? Event::SpinUp : Event::SpinDown;
}

std::string AccessibleName(const Control& c) {
  return c.Kind() == ControlKind::SpinButton ? c.design().tooltip : c.Caption();
}

std::optional<std::string> AccessibleValue(const Form& form, const Control& c) {
  if (c.Kind() != ControlKind::SpinButton || c.design().value_panel.empty()) return std::nullopt;
  return form.Get(c.design().value_panel).Caption();
}

const Control* ValueShownBy(const Form& form, const Control& panel) {
  for (const auto& c : form.Controls()) {
    if (c->Kind() == ControlKind::SpinButton && c->design().value_panel == panel.Name()) {
      return c.get();
    }
  }
  return nullptr;
}

}  // namespace quildor::forms
