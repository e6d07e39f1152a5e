#include "idle/idle_gate.h"

#include <algorithm>

namespace quildor::idle {

void IdleGate::Idle(Clock::time_point now) {
  if (idle_) return;
  idle_ = true;
  started_ = false;
  ready_ = now;
  // Reported activity counts as input the desktop did not see: the idle time runs from it.
  if (activity_) ready_ = std::max(now, *activity_ + idle_time_);
}

void IdleGate::Active() {
  idle_ = false;
  started_ = false;
  ready_.reset();
}

void IdleGate::Activity(Clock::time_point now) {
  activity_ = now;
  if (idle_ && !started_) ready_ = now + idle_time_;
}

bool IdleGate::Update(bool held, Clock::time_point now) {
  const bool was_held = held_;
  held_ = held;
  if (!idle_ || started_) return false;
  if (held) return false;
  // The last inhibition has just ended: the idle time runs from now, as if it were input.
  if (was_held) ready_ = std::max(ready_.value_or(now), now + idle_time_);
  if (ready_ && now >= *ready_) {
    started_ = true;
    ready_.reset();
    return true;
  }
  return false;
}

std::optional<IdleGate::Clock::time_point> IdleGate::Due() const {
  if (!idle_ || started_ || held_) return std::nullopt;
  return ready_;
}

}  // namespace quildor::idle
