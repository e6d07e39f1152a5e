#include "platform/qt/output_power.h"

#include <poll.h>
#include <wayland-client.h>

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "wlr-output-power-management-unstable-v1-client-protocol.h"

namespace quildor::qt {

namespace {

using Output = OutputPower::Output;

void OutputGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    std::int32_t, const char*, const char*, std::int32_t) {}
void OutputMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void OutputDone(void*, wl_output*) {}
void OutputScale(void*, wl_output*, std::int32_t) {}
void OutputName(void* data, wl_output*, const char* name) {
  static_cast<Output*>(data)->name = QString::fromUtf8(name);
}
void OutputDescription(void*, wl_output*, const char*) {}

const wl_output_listener kOutput = {OutputGeometry, OutputMode,        OutputDone,
                                    OutputScale,    OutputName,        OutputDescription};

void PowerMode(void* data, zwlr_output_power_v1*, std::uint32_t mode) {
  static_cast<Output*>(data)->on = mode != ZWLR_OUTPUT_POWER_V1_MODE_OFF;
}
// The output cannot tell (it has no power management, or is gone): taken as on.
void PowerFailed(void* data, zwlr_output_power_v1*) { static_cast<Output*>(data)->on = true; }

const zwlr_output_power_v1_listener kPower = {PowerMode, PowerFailed};

// How long the compositor may take to answer before the outputs count as on.
constexpr int kAnswerMs = 250;

}  // namespace

const wl_registry_listener OutputPower::kRegistry = {OutputPower::Global, OutputPower::GlobalRemove};

std::unique_ptr<OutputPower> OutputPower::Connect() {
  if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return nullptr;
  std::unique_ptr<OutputPower> power(new OutputPower);
  power->display_ = wl_display_connect(nullptr);
  if (!power->display_) return nullptr;
  power->registry_ = wl_display_get_registry(power->display_);
  wl_registry_add_listener(power->registry_, &kRegistry, power.get());
  // The globals, then each output's name.
  if (!power->RoundTrip(kAnswerMs) || !power->RoundTrip(kAnswerMs) || !power->manager_) {
    return nullptr;
  }
  return power;
}

OutputPower::~OutputPower() {
  for (const auto& o : outputs_) {
    if (o->power) zwlr_output_power_v1_destroy(o->power);
    if (o->output) wl_output_destroy(o->output);
  }
  if (manager_) zwlr_output_power_manager_v1_destroy(manager_);
  if (registry_) wl_registry_destroy(registry_);
  if (display_) wl_display_disconnect(display_);
}

void OutputPower::Global(void* data, wl_registry* registry, std::uint32_t id,
                         const char* interface, std::uint32_t version) {
  auto* self = static_cast<OutputPower*>(data);
  if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 4) {
    auto o = std::make_unique<Output>();
    o->id = id;
    o->output = static_cast<wl_output*>(wl_registry_bind(registry, id, &wl_output_interface, 4));
    wl_output_add_listener(o->output, &kOutput, o.get());
    self->outputs_.push_back(std::move(o));
  } else if (std::strcmp(interface, zwlr_output_power_manager_v1_interface.name) == 0) {
    self->manager_ = static_cast<zwlr_output_power_manager_v1*>(
        wl_registry_bind(registry, id, &zwlr_output_power_manager_v1_interface, 1));
  }
}

void OutputPower::GlobalRemove(void* data, wl_registry*, std::uint32_t id) {
  auto& outputs = static_cast<OutputPower*>(data)->outputs_;
  const auto gone = std::find_if(outputs.begin(), outputs.end(),
                                 [id](const auto& o) { return o->id == id; });
  if (gone == outputs.end()) return;
  if ((*gone)->power) zwlr_output_power_v1_destroy((*gone)->power);
  wl_output_release((*gone)->output);
  outputs.erase(gone);
}

bool OutputPower::RoundTrip(int timeout_ms) {
  // As wl_display_roundtrip, but never waiting longer than `timeout_ms` for a compositor that
  // does not answer.
  bool done = false;
  wl_callback* sync = wl_display_sync(display_);
  static const wl_callback_listener kDone = {
      [](void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }};
  wl_callback_add_listener(sync, &kDone, &done);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done) {
    if (wl_display_dispatch_pending(display_) < 0) break;
    if (done) break;
    if (wl_display_prepare_read(display_) != 0) continue;
    wl_display_flush(display_);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
    if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left)) <= 0) {
      wl_display_cancel_read(display_);
      break;
    }
    if (wl_display_read_events(display_) < 0) break;
  }
  wl_callback_destroy(sync);   // answered or not: its listener's flag goes out of scope
  return done;
}

bool OutputPower::Off(const QString& name) {
  // Each output's power is asked now and let go at once: the protocol gives one program at a
  // time the control of an output's power, and a program that powers the outputs off at idle
  // (wlopm under swayidle) must get it.
  for (const auto& o : outputs_) {
    o->on = true;
    o->power = zwlr_output_power_manager_v1_get_output_power(manager_, o->output);
    zwlr_output_power_v1_add_listener(o->power, &kPower, o.get());
  }
  const bool answered = RoundTrip(kAnswerMs);
  for (const auto& o : outputs_) {
    zwlr_output_power_v1_destroy(o->power);
    o->power = nullptr;
  }
  wl_display_flush(display_);
  if (!answered || outputs_.empty()) return false;
  for (const auto& o : outputs_) {
    if (o->name == name) return !o->on;
  }
  return std::none_of(outputs_.begin(), outputs_.end(), [](const auto& o) { return o->on; });
}

}  // namespace quildor::qt
