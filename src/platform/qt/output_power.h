// The power of the desktop's outputs, where a Wayland compositor tells it to any program: wlroots'
// compositors (sway, Hyprland, labwc, river, Wayfire) through their output power management
// protocol. The program keeps a Wayland connection of its own for it, beside Qt's (whichever
// platform Qt runs on, Xwayland included), and asks when it needs to know.
//
// Lifetime: made by the Qt platform when the slide show is shown; lives as long as the platform.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_registry_listener;
struct wl_output;
struct zwlr_output_power_manager_v1;
struct zwlr_output_power_v1;

namespace quildor::qt {

class OutputPower {
 public:
  // Connects to the compositor of the session (WAYLAND_DISPLAY) and learns its outputs; null
  // where there is none, or where it does not tell outputs' power.
  static std::unique_ptr<OutputPower> Connect();
  ~OutputPower();
  OutputPower(const OutputPower&) = delete;
  OutputPower& operator=(const OutputPower&) = delete;

  // Whether the output named `name` (a QScreen's name: the compositor's name of the output) is
  // powered off now. Where no output has that name (an X11 program under Xwayland knows the
  // outputs by other names), whether every output is. False where the compositor does not
  // answer within a moment.
  bool Off(const QString& name);

  // One output of the compositor, and its power while it is being asked.
  struct Output {
    std::uint32_t id = 0;   // its global's name in the registry
    wl_output* output = nullptr;
    zwlr_output_power_v1* power = nullptr;
    QString name;
    bool on = true;
  };

 private:
  OutputPower() = default;
  // Sends what is pending and handles the compositor's answers to it, for `timeout_ms` at most;
  // false when the connection failed or the compositor did not answer in time.
  bool RoundTrip(int timeout_ms);

  static void Global(void* data, wl_registry* registry, std::uint32_t id, const char* interface,
                     std::uint32_t version);
  static void GlobalRemove(void* data, wl_registry* registry, std::uint32_t id);
  static const ::wl_registry_listener kRegistry;

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  zwlr_output_power_manager_v1* manager_ = nullptr;
  std::vector<std::unique_ptr<Output>> outputs_;
};

}  // namespace quildor::qt
