// The Wayland idle protocols: ext-idle-notify-v1 (sway from 1.8, KDE Plasma, Hyprland, labwc,
// niri, river, Wayfire), else the older KDE idle protocol (sway 1.7). Both honour what inhibits
// idle on the compositor (a full-screen video, a presentation), so the source never needs to ask.
//
// A compositor that restarts while keeping its socket (KWin's crash recovery keeps the session
// so) is rejoined; one that does not come back within a few seconds has ended the session, and
// the watcher ends with a line saying so.
#include <QSocketNotifier>
#include <QTimer>
#include <wayland-client.h>

#include <chrono>
#include <cstdio>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle/idle_source.h"
#ifdef QUILDOR_KDE_IDLE
#include "idle-client-protocol.h"   // KDE's
#endif

namespace quildor::idle {

namespace {

class WaylandIdle : public IdleSource {
 public:
  WaylandIdle(wl_display* display, std::chrono::milliseconds timeout)
      : display_(display), timeout_(timeout) {}

  ~WaylandIdle() override { Release(); }

  // Finds the compositor's globals and asks for the notification; false where it offers no
  // idle protocol (or no seat).
  bool Start() {
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistry, this);
    if (wl_display_roundtrip(display_) < 0 || !seat_) return false;
    const auto ms = static_cast<std::uint32_t>(timeout_.count());
    if (ext_) {
      notification_ = ext_idle_notifier_v1_get_idle_notification(ext_, ms, seat_);
      ext_idle_notification_v1_add_listener(notification_, &kNotification, this);
      name_ = "the compositor's ext-idle-notify-v1";
    } else {
#ifdef QUILDOR_KDE_IDLE
      if (!kde_) return false;
      kde_timeout_ = org_kde_kwin_idle_get_idle_timeout(kde_, seat_, ms);
      org_kde_kwin_idle_timeout_add_listener(kde_timeout_, &kKdeTimeout, this);
      name_ = "the compositor's KDE idle protocol";
#else
      return false;
#endif
    }
    if (wl_display_roundtrip(display_) < 0) return false;
    // From here on the watcher sleeps until the compositor writes; its events come one
    // dispatch at a time.
    notifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_),
                                                  QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Dispatch(); });
    return true;
  }

  std::string Name() const override { return name_; }

 private:
  // Lets go of the connection and everything made on it.
  void Release() {
    // The notifier may be the one whose signal runs now: it goes once that has returned.
    if (notifier_) {
      notifier_->setEnabled(false);
      notifier_.release()->deleteLater();
    }
    if (notification_) ext_idle_notification_v1_destroy(notification_);
    if (ext_) ext_idle_notifier_v1_destroy(ext_);
#ifdef QUILDOR_KDE_IDLE
    if (kde_timeout_) org_kde_kwin_idle_timeout_release(kde_timeout_);
    if (kde_) org_kde_kwin_idle_destroy(kde_);
    kde_timeout_ = nullptr;
    kde_ = nullptr;
#endif
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    if (display_) wl_display_disconnect(display_);
    notification_ = nullptr;
    ext_ = nullptr;
    seat_ = nullptr;
    registry_ = nullptr;
    display_ = nullptr;
  }

  void Dispatch() {
    if (wl_display_dispatch(display_) < 0) {
      Lost();
      return;
    }
    wl_display_flush(display_);
  }

  // The connection broke: the compositor has ended or restarts. Its idle time starts afresh,
  // as after input; the watcher tries its socket again for a few seconds.
  void Lost() {
    Release();
    if (on_active) on_active();
    const auto given_up = std::chrono::steady_clock::now() + kComeBack;
    auto* retry = new QTimer;
    retry->setInterval(std::chrono::milliseconds(250));
    QObject::connect(retry, &QTimer::timeout, [this, retry, given_up] {
      display_ = wl_display_connect(nullptr);
      if (display_ && Start()) {
        std::fprintf(stderr, "quildor-idle: the compositor came back; watching %s again\n",
                     name_.c_str());
        retry->deleteLater();
        return;
      }
      Release();
      if (std::chrono::steady_clock::now() >= given_up) {
        std::fprintf(stderr,
                     "quildor-idle: the Wayland compositor has gone and did not come back within "
                     "%lld s: its session has ended\n",
                     static_cast<long long>(kComeBack.count()));
        std::exit(1);
      }
    });
    retry->start();
  }

  static constexpr std::chrono::seconds kComeBack{5};

  static void Idled(void* data) {
    auto* self = static_cast<WaylandIdle*>(data);
    if (self->on_idle) self->on_idle();
  }

  static void Resumed(void* data) {
    auto* self = static_cast<WaylandIdle*>(data);
    if (self->on_active) self->on_active();
  }

  static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t) {
    auto* self = static_cast<WaylandIdle*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
      self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
      self->ext_ = static_cast<ext_idle_notifier_v1*>(
          wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
#ifdef QUILDOR_KDE_IDLE
    } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
      self->kde_ = static_cast<org_kde_kwin_idle*>(
          wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
#endif
    }
  }
  static void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
  static constexpr wl_registry_listener kRegistry = {Global, GlobalRemove};

  static void ExtIdled(void* data, ext_idle_notification_v1*) { Idled(data); }
  // The user's return ends the idle period; the compositor tells of the next one anew.
  static void ExtResumed(void* data, ext_idle_notification_v1*) { Resumed(data); }
  static constexpr ext_idle_notification_v1_listener kNotification = {ExtIdled, ExtResumed};
#ifdef QUILDOR_KDE_IDLE
  static void KdeIdled(void* data, org_kde_kwin_idle_timeout*) { Idled(data); }
  static void KdeResumed(void* data, org_kde_kwin_idle_timeout*) { Resumed(data); }
  static constexpr org_kde_kwin_idle_timeout_listener kKdeTimeout = {KdeIdled, KdeResumed};
#endif

  wl_display* display_;
  std::chrono::milliseconds timeout_;
  std::string name_;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  ext_idle_notifier_v1* ext_ = nullptr;
  ext_idle_notification_v1* notification_ = nullptr;
#ifdef QUILDOR_KDE_IDLE
  org_kde_kwin_idle* kde_ = nullptr;
  org_kde_kwin_idle_timeout* kde_timeout_ = nullptr;
#endif
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace

std::unique_ptr<IdleSource> WaylandIdleSource(std::chrono::milliseconds timeout) {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return nullptr;
  auto source = std::make_unique<WaylandIdle>(display, timeout);
  if (!source->Start()) return nullptr;
  return source;
}

}  // namespace quildor::idle
