#include "forms/event_log.h"

#include <cstdio>
#include <cstdlib>

namespace quildor::forms {

namespace {
std::FILE* g_log = nullptr;

void Write(const std::string& line) {
  if (!g_log) return;
  std::fputs((line + "\n").c_str(), g_log);
  std::fflush(g_log);
}
}  // namespace

void EventLog::OpenFromEnvironment() {
  const char* path = std::getenv("QUILDOR_EVENT_LOG");
  if (path && *path && !g_log) g_log = std::fopen(path, "a");
}

bool EventLog::Enabled() { return g_log != nullptr; }

const char* EventName(forms::Event e) {
  switch (e) {
    case forms::Event::Load: return "Load";
    case forms::Event::QueryUnload: return "QueryUnload";
    case forms::Event::Unload: return "Unload";
    case forms::Event::KeyDown: return "KeyDown";
    case forms::Event::MouseDown: return "MouseDown";
    case forms::Event::MouseMove: return "MouseMove";
    case forms::Event::Click: return "Click";
    case forms::Event::Timer: return "Timer";
    case forms::Event::SpinUp: return "SpinUp";
    case forms::Event::SpinDown: return "SpinDown";
    case forms::Event::LoadComplete: return "LoadComplete";
  }
  return "?";
}

void EventLog::Event(const Form& form, forms::Event e, const Control* source) {
  if (!g_log) return;
  Write(form.design().name + " " + (source ? source->Name() : std::string("-")) + " " +
        EventName(e));
}

void EventLog::Note(const std::string& line) { Write(line); }

void EventLog::Cursor(std::int32_t counter) {
  if (!g_log) return;
  Write("ShowCursor " + std::to_string(counter));
}

}  // namespace quildor::forms
