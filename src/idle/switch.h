// Turning the idle watcher on and off without editing files, and one watcher per user session.
//
// --enable writes the user's own autostart entry (XDG: ${XDG_CONFIG_HOME:-~/.config}/autostart/
// quildor-idle.desktop), visible, with the idle time, and starts the watcher now; --disable
// writes the same entry hidden (which also hides an entry of the system's) and ends the watcher
// that runs; --status tells both. A running watcher holds a lock, with its process number in it,
// in the user's runtime folder.
#pragma once

#include <string>

namespace quildor::idle {

// The lock of the watcher that runs; false (and a line saying why) when another holds it.
// `owner` is the other watcher's process number, or 0.
bool TakeWatcherLock(long* owner);

// The commands; each returns the program's exit status.
int Enable(long seconds, const std::string& self);
int Disable();
int Status();

}  // namespace quildor::idle
