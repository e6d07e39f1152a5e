#include "forms/pointer.h"

#include <algorithm>

namespace quildor::forms {

PointerMoves::Last* PointerMoves::Find(const Form& form, const Control* surface, bool shown) {
  auto& list = shown ? shown_ : last_;
  auto it = std::find_if(list.begin(), list.end(), [&](const Last& l) {
    return l.form == &form && (shown || l.surface == surface);
  });
  return it == list.end() ? nullptr : &*it;
}

void PointerMoves::Shown(const Form& form, ScreenPoint at) {
  std::erase_if(last_, [&](const Last& l) { return l.form == &form; });
  if (Last* s = Find(form, nullptr, true)) {
    s->at = at;
  } else {
    shown_.push_back({&form, nullptr, at});
  }
}

bool PointerMoves::IsMovement(const Form& form, const Control* surface, ScreenPoint at) {
  if (Last* l = Find(form, surface, false)) {
    const bool moved = !(l->at == at);
    l->at = at;
    return moved;
  }
  last_.push_back({&form, surface, at});
  const Last* s = Find(form, nullptr, true);
  return !s || !(s->at == at);
}

}  // namespace quildor::forms
