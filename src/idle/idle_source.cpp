#include "idle/idle_source.h"

#include <cstdlib>

namespace quildor::idle {

std::unique_ptr<IdleSource> FindIdleSource(std::chrono::milliseconds timeout) {
  if (auto source = WaylandIdleSource(timeout)) return source;
  if (auto source = GnomeIdleSource(timeout)) return source;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland && *wayland) return nullptr;
  return X11IdleSource(timeout);
}

}  // namespace quildor::idle
