// The X server's IDLETIME counter (SYNC extension): the milliseconds since the last input of any
// device. Two alarms tell the watcher when it crosses the idle time upwards (the user went idle)
// and when it falls below it again (input came). Players that keep the display on by resetting
// the server's screen saver (as video players do on X11) reset this counter too.
#include <QSocketNotifier>
#include <QTimer>
#include <xcb/sync.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "idle/idle_source.h"

namespace quildor::idle {

namespace {

xcb_sync_int64_t Int64(std::int64_t v) {
  return {static_cast<std::int32_t>(v >> 32), static_cast<std::uint32_t>(v & 0xffffffffu)};
}

class X11Idle : public IdleSource {
 public:
  X11Idle(xcb_connection_t* c, std::chrono::milliseconds timeout) : c_(c), timeout_(timeout) {}
  ~X11Idle() override {
    notifier_.reset();
    xcb_disconnect(c_);
  }

  bool Start() {
    const xcb_query_extension_reply_t* sync = xcb_get_extension_data(c_, &xcb_sync_id);
    if (!sync || !sync->present) return false;
    sync_event_ = sync->first_event;
    std::free(xcb_sync_initialize_reply(c_, xcb_sync_initialize(c_, 3, 1), nullptr));
    const xcb_sync_counter_t idletime = FindCounter("IDLETIME");
    if (!idletime) return false;
    // The user went idle: the counter reaches the time going up. Then the user came back: it
    // falls below it (armed only while idle).
    idle_alarm_ = MakeAlarm(idletime, XCB_SYNC_TESTTYPE_POSITIVE_TRANSITION);
    active_alarm_ = MakeAlarm(idletime, XCB_SYNC_TESTTYPE_NEGATIVE_TRANSITION);
    // A user idle for longer already when the watcher starts is idle now.
    xcb_sync_query_counter_reply_t* now =
        xcb_sync_query_counter_reply(c_, xcb_sync_query_counter(c_, idletime), nullptr);
    if (now) {
      const std::int64_t ms = (static_cast<std::int64_t>(now->counter_value.hi) << 32) |
                              now->counter_value.lo;
      if (ms >= timeout_.count()) {
        idle_ = true;
        QTimer::singleShot(0, [this] {
          if (on_idle) on_idle();
        });
      }
      std::free(now);
    }
    xcb_flush(c_);
    if (xcb_connection_has_error(c_)) return false;
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c_),
                                                  QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Dispatch(); });
    // Events read with the replies above wait in the connection's queue, not on its socket.
    QTimer::singleShot(0, [this] { Dispatch(); });
    return true;
  }

  std::string Name() const override { return "the X server's idle counter"; }

 private:
  xcb_sync_counter_t FindCounter(const std::string& name) {
    xcb_sync_list_system_counters_reply_t* list = xcb_sync_list_system_counters_reply(
        c_, xcb_sync_list_system_counters(c_), nullptr);
    if (!list) return 0;
    // Read by hand: each entry is a counter, its resolution, the name's length and the name,
    // padded to four bytes, a padding libxcb's own iterator steps over wrongly.
    const auto* at = reinterpret_cast<const std::uint8_t*>(
        xcb_sync_list_system_counters_counters_iterator(list).data);
    const auto* end = reinterpret_cast<const std::uint8_t*>(list) + 32 + 4 * list->length;
    xcb_sync_counter_t found = 0;
    for (std::uint32_t i = 0; i < list->counters_len && at + 14 <= end; ++i) {
      xcb_sync_counter_t counter = 0;
      std::uint16_t length = 0;
      std::memcpy(&counter, at, sizeof counter);
      std::memcpy(&length, at + 12, sizeof length);
      if (at + 14 + length > end) break;
      if (std::string(reinterpret_cast<const char*>(at + 14), length) == name) found = counter;
      at += (14 + length + 3) & ~3u;
    }
    std::free(list);
    return found;
  }

  xcb_sync_alarm_t MakeAlarm(xcb_sync_counter_t counter, xcb_sync_testtype_t test) {
    const xcb_sync_alarm_t alarm = xcb_generate_id(c_);
    xcb_sync_create_alarm_value_list_t values{};
    values.counter = counter;
    values.valueType = XCB_SYNC_VALUETYPE_ABSOLUTE;
    values.value = Int64(timeout_.count());
    values.testType = test;
    values.delta = Int64(0);
    values.events = 1;
    xcb_sync_create_alarm_aux(c_, alarm,
                              XCB_SYNC_CA_COUNTER | XCB_SYNC_CA_VALUE_TYPE | XCB_SYNC_CA_VALUE |
                                  XCB_SYNC_CA_TEST_TYPE | XCB_SYNC_CA_DELTA | XCB_SYNC_CA_EVENTS,
                              &values);
    return alarm;
  }

  void Dispatch() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
      if ((e->response_type & 0x7f) == sync_event_ + XCB_SYNC_ALARM_NOTIFY) {
        const auto* n = reinterpret_cast<xcb_sync_alarm_notify_event_t*>(e);
        // An alarm whose test holds when it is made (or changed) fires at once; only a real
        // crossing of the idle time counts.
        if (n->alarm == idle_alarm_ && !idle_) {
          idle_ = true;
          if (on_idle) on_idle();
        } else if (n->alarm == active_alarm_ && idle_) {
          idle_ = false;
          if (on_active) on_active();
        }
      }
      std::free(e);
    }
    if (xcb_connection_has_error(c_)) {
      // The X server is gone, and with it the session.
      notifier_->setEnabled(false);
      std::exit(0);
    }
  }

  xcb_connection_t* c_;
  std::chrono::milliseconds timeout_;
  std::uint8_t sync_event_ = 0;
  xcb_sync_alarm_t idle_alarm_ = 0;
  xcb_sync_alarm_t active_alarm_ = 0;
  bool idle_ = false;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace

std::unique_ptr<IdleSource> X11IdleSource(std::chrono::milliseconds timeout) {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return nullptr;
  }
  auto source = std::make_unique<X11Idle>(c, timeout);
  if (!source->Start()) return nullptr;
  return source;
}

}  // namespace quildor::idle
