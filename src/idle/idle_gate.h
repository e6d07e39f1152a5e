// When the idle watcher starts the slide show: the rule that joins what the desktop says of the
// user's input with the inhibitions programs hold (a film player, a browser showing a video, a
// presentation) and with the activity they report.
//
// No show while any inhibition stands. The show starts once per idle period: when the desktop
// says the user has been idle for the idle time, or, when an inhibition stood meanwhile, once
// the idle time has passed again since the last one ended, with no input needed in between (a
// film ends, the user is still away). A program that reports activity (as players do to keep
// a screen saver away) counts as input at that moment. Input ends the idle period.
//
// No clock and no toolkit: the caller passes the time and asks when to look again.
#pragma once

#include <chrono>
#include <optional>

namespace quildor::idle {

class IdleGate {
 public:
  using Clock = std::chrono::steady_clock;

  explicit IdleGate(Clock::duration idle_time) : idle_time_(idle_time) {}

  // The desktop says the user has been idle for the idle time (once per idle period).
  void Idle(Clock::time_point now);
  // The desktop says the user came back: the idle period ends, and with it its show.
  void Active();
  // A program says the user is active now (it cannot move the desktop's own idle time).
  void Activity(Clock::time_point now);

  // Whether an inhibition stands now; true when the slide show is to start now (then not again
  // in this idle period).
  bool Update(bool held, Clock::time_point now);

  // When Update should be called again without any news (the time a show falls due), if ever.
  std::optional<Clock::time_point> Due() const;

  bool idle() const { return idle_; }

 private:
  Clock::duration idle_time_;
  bool idle_ = false;
  bool held_ = false;
  bool started_ = false;                      // this idle period's show has started
  std::optional<Clock::time_point> ready_;    // when the show may start, while idle
  std::optional<Clock::time_point> activity_; // the last activity a program reported
};

}  // namespace quildor::idle
