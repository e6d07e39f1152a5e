#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_box_inside.h"
#include "platform/qt/qt_screens.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QScreen>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "forms/event_log.h"
#include "forms/run_time_error.h"
#include "platform/qt/ini_file.h"
#include "platform/qt/qt_accessible.h"
#include "platform/qt/qt_pictures.h"
#include "platform/qt/qt_views.h"

// The pictures are compiled into the static backend library; a static library's resources must
// be registered by hand.
static void RegisterResources() { Q_INIT_RESOURCE(resources); }

namespace quildor::qt {

namespace {

// The project's fonts stand in for the Windows faces the windows are designed with.
void InstallFontSubstitutes() {
  const QStringList sans{"Liberation Sans", "Arimo", "DejaVu Sans"};
  QFont::insertSubstitutions("MS Sans Serif", sans);
  QFont::insertSubstitutions("System", sans);
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : fallback;
}

}  // namespace

// Where the loader's thread posts a finished job's completion: a QObject of the GUI thread, or
// none once the platform is gone.
struct QtPlatform::Completions {
  std::mutex mutex;
  QObject* receiver = nullptr;
};

QtPlatform::QtPlatform(std::string command_line)
    : command_line_(std::move(command_line)), completions_(std::make_shared<Completions>()) {
#ifdef __GLIBC__
  // One malloc arena for the whole process, set before the loader's thread exists. The loader
  // decodes each photograph and the GUI thread frees it a step later; in an arena of its own the
  // loader would get fresh pages from the system for every picture, a page fault per 4 KiB on
  // every step (measured: a small photograph's step a tenth slower). The two threads hardly
  // ever allocate at once, so the shared arena's lock costs nothing.
  mallopt(M_ARENA_MAX, 1);
#endif
  completions_->receiver = new QObject();
  RegisterResources();
  InstallFontSubstitutes();
  // Before any window exists: Qt 6.8 makes and keeps a default accessible interface for a
  // window as soon as its title is set, so a factory installed later is never asked for it.
  InstallAccessibleFactory();
  // For the event log: when the program first has the keyboard (a compositor may give it a
  // moment after the window shows, or to a cover first), which tests wait for before a key.
  if (forms::EventLog::Enabled()) {
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, completions_->receiver,
                     [noted = false](QWindow* w) mutable {
                       if (!w || noted) return;
                       noted = true;
                       forms::EventLog::Note("Keyboard");
                     });
  }
}

void QtPlatform::DestroyViews() { forms_.clear(); }

void QtPlatform::NoteLoadScale(const forms::Form& form) {
  // The screen the form's window stands on, which may no longer be the one a show would go to
  // now (outputs rearranged during the show); the chosen screen before the window is shown.
  const FormWidget* view = WidgetOf(form);
  load_scale_ = view && view->isVisible() ? view->devicePixelRatioF()
                                          : SlideShowScreen()->devicePixelRatio();
}

bool QtPlatform::CanBeSeen(const forms::Form& form) {
  const FormWidget* view = WidgetOf(form);
  if (!view) return true;
  if (!qt::CanBeSeen(*view)) return false;
  // A Wayland compositor may go on sending frame callbacks to a window on an output it has
  // powered off (sway's headless outputs do); a wlroots compositor says so outright.
  if (!output_power_checked_) {
    output_power_checked_ = true;
    output_power_ = OutputPower::Connect();
  }
  return !(output_power_ && view->screen() && output_power_->Off(view->screen()->name()));
}

void QtPlatform::StartLoad(forms::Form& form, const forms::Control& source,
                           std::function<void()> work) {
  NoteLoadScale(form);
  loader_.Post([this, &form, &source, work = std::move(work), done = completions_] {
    work();
    const std::lock_guard<std::mutex> lock(done->mutex);
    if (!done->receiver) return;
    QMetaObject::invokeMethod(
        done->receiver,
        [this, &form, &source] { Deliver(form, forms::Event::LoadComplete, &source); },
        Qt::QueuedConnection);
  });
}

namespace {
int g_signal_fds[2] = {-1, -1};

void OnTerminationSignal(int signal) {
  const char byte = static_cast<char>(signal);
  const int saved = errno;
  [[maybe_unused]] const ssize_t n = ::write(g_signal_fds[0], &byte, 1);
  errno = saved;
}
}  // namespace

void QtPlatform::CloseOnTerminationSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_fds) != 0) return;
  signal_notifier_ = std::make_unique<QSocketNotifier>(g_signal_fds[1], QSocketNotifier::Read);
  QObject::connect(signal_notifier_.get(), &QSocketNotifier::activated, [this] {
    char byte;
    [[maybe_unused]] const ssize_t n = ::read(g_signal_fds[1], &byte, 1);
    CloseAllFromOutside();
  });
  struct sigaction action{};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &action, nullptr);
}

void QtPlatform::CloseAllFromOutside() {
  for (const auto& [form, view] : forms_) {
    if (view->isVisible()) view->close();
  }
  // Whatever still runs (a message box before any window was shown) ends with the event loop.
  QCoreApplication::exit(0);
}

QtPlatform::~QtPlatform() {
  forms_.clear();
  if (lock_fd_ >= 0) ::close(lock_fd_);
  // A job still running posts nothing from now on.
  const std::lock_guard<std::mutex> lock(completions_->mutex);
  delete completions_->receiver;
  completions_->receiver = nullptr;
}

std::string QtPlatform::LockPath() {
  const std::string runtime = EnvOr("XDG_RUNTIME_DIR", "");
  const std::string dir =
      !runtime.empty() ? runtime : EnvOr("XDG_CACHE_HOME", EnvOr("HOME", ".") + "/.cache");
  return dir + "/quildor-" + std::to_string(::getuid()) + ".lock";
}

bool QtPlatform::PrevInstance() {
  if (prev_instance_checked_) return prev_instance_;
  prev_instance_checked_ = true;
  // A lock held for the life of the process: the kernel drops it when the process ends, however
  // it ends, and two simultaneous starts cannot both take it. A link or a file of another user
  // standing in its place is refused, so nobody else can keep the slide show from starting.
  const std::string path = LockPath();
  const std::string dir = path.substr(0, path.rfind('/'));
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    throw forms::RunTimeError("Cannot create the folder of the instance lock " + dir + ": " +
                              std::strerror(errno));
  }
  lock_fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (lock_fd_ < 0) {
    throw forms::RunTimeError("Cannot open the instance lock " + path + ": " +
                              std::strerror(errno));
  }
  struct stat st{};
  if (::fstat(lock_fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    throw forms::RunTimeError("The instance lock " + path +
                              " is not a file of this user's own; remove it");
  }
  if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) {
      throw forms::RunTimeError("Cannot take the instance lock " + path + ": " +
                                std::strerror(errno));
    }
    prev_instance_ = true;
  }
  return prev_instance_;
}

unsigned long QtPlatform::ParseWindowId(const std::string& value) {
  if (value.empty()) return 0;
  char* end = nullptr;
  errno = 0;
  const unsigned long id = std::strtoul(value.c_str(), &end, 0);   // 0x... or decimal
  return errno == 0 && end && *end == '\0' ? id : 0;
}

QWindow* QtPlatform::ForeignWindow() {
  if (foreign_checked_) return foreign_;
  foreign_checked_ = true;
  unsigned long id = ParseWindowId(EnvOr("XSCREENSAVER_WINDOW", ""));
  const std::string flag = "-window-id ";
  const std::size_t at = command_line_.find(flag);
  if (at != std::string::npos) {
    const std::string rest = command_line_.substr(at + flag.size());
    id = ParseWindowId(rest.substr(0, rest.find(' ')));
  }
  if (id == 0) return nullptr;
  // Qt does not read a foreign window's size; ask the X server.
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11) return nullptr;
  xcb_connection_t* connection = x11->connection();
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
  if (!geometry) {
    throw forms::RunTimeError("The window " + std::to_string(id) +
                              " given to draw in does not exist");
  }
  foreign_size_ = QSize(geometry->width, geometry->height);
  std::free(geometry);
  foreign_ = QWindow::fromWinId(static_cast<WId>(id));
  return foreign_;
}

float QtPlatform::ScreenWidth() {
  const int pixels = ForeignWindow() ? ForeignSize().width()
                                     : SlideShowScreen()->geometry().width();
  return static_cast<float>(pixels * forms::kTwipsPerPixel);
}

float QtPlatform::ScreenHeight() {
  const int pixels = ForeignWindow() ? ForeignSize().height()
                                     : SlideShowScreen()->geometry().height();
  return static_cast<float>(pixels * forms::kTwipsPerPixel);
}

std::int32_t QtPlatform::ShowCursor(bool show) {
  const bool was_shown = cursor_counter_ >= 0;
  cursor_counter_ += show ? 1 : -1;
  const bool shown = cursor_counter_ >= 0;
  if (was_shown && !shown) QGuiApplication::setOverrideCursor(BlankCursor());
  if (!was_shown && shown) QGuiApplication::restoreOverrideCursor();
  forms::EventLog::Cursor(cursor_counter_);
  return cursor_counter_;
}

std::string QtPlatform::SettingsPath(const std::string& app) {
  const std::string config = EnvOr("XDG_CONFIG_HOME", EnvOr("HOME", ".") + "/.config");
  return config + "/" + app + ".ini";
}

std::string QtPlatform::ReadSetting(const std::string& app, const std::string& section,
                                    const std::string& key, const std::string& def) {
  const auto text = ini::ReadFile(SettingsPath(app));
  if (!text) return def;
  return ini::Find(*text, section, key).value_or(def);
}

void QtPlatform::WriteSetting(const std::string& app, const std::string& section,
                              const std::string& key, const std::string& value) {
  const std::string path = SettingsPath(app);
  const auto text = ini::ReadFile(path);
  ini::WriteFileAtomically(path, ini::Update(text.value_or(""), section, key, value));
}

forms::Picture QtPlatform::LoadPicture(const std::string& path, int width, int height) {
  // The control's size is in logical pixels; on a high-DPI screen the photograph is decoded and
  // scaled once to its size in device pixels, so that it is drawn 1:1, every pixel sharp. On the
  // loader's thread, the scale its job was started with.
  const double loading = load_scale_;
  const qreal scale = loading > 0 ? loading : SlideShowScreen()->devicePixelRatio();
  return LoadPictureFile(path, qRound(width * scale), qRound(height * scale));
}

char32_t QtPlatform::ToUpper(char32_t c) { return QChar::toUpper(c); }
char32_t QtPlatform::ToLower(char32_t c) { return QChar::toLower(c); }

forms::Picture QtPlatform::ResourcePicture(forms::ResourcePicture which) {
  const char* name = "";
  switch (which) {
    case forms::ResourcePicture::DesignPhoto: name = ":/quildor/design_photo.jpg"; break;
    case forms::ResourcePicture::TitleBanner: name = ":/quildor/title_banner.jpg"; break;
    case forms::ResourcePicture::DialogPhoto: name = ":/quildor/dialog_photo.bmp"; break;
    case forms::ResourcePicture::Icon: name = ":/quildor/quildor.ico"; break;
  }
  QImageReader reader{QString::fromLatin1(name)};
  auto image = std::make_shared<QImage>(reader.read());
  if (image->isNull()) {
    throw forms::RunTimeError(std::string("Cannot load the built-in picture ") + name + ": " +
                              reader.errorString().toStdString());
  }
  auto p = std::make_shared<forms::PictureData>();
  p->width = image->width();
  p->height = image->height();
  p->source = name;
  p->native = image;
  return p;
}

void QtPlatform::ShowForm(forms::Form& form) {
  auto& view = forms_[&form];
  if (!view) view = std::make_unique<FormWidget>(*this, form);
  view->ShowAsModelled();
}

FormWidget* QtPlatform::WidgetOf(const forms::Form& form) const {
  auto it = forms_.find(&form);
  return it == forms_.end() ? nullptr : it->second.get();
}

void QtPlatform::MsgBox(const std::string& text, const std::string& title) {
  // Owned by the program's visible window, so that it stands above it.
  FormWidget* owner = nullptr;
  for (const auto& [form, view] : forms_) {
    if (view->isVisible()) owner = view.get();
  }
  QString shown = QString::fromStdString(text);
  shown.replace("\r\n", "\n");
  if (owner && owner->form().design().frameless) {
    // Over the slide show (full screen, or in a screen-saver daemon's window) the box is drawn
    // inside the show, where no compositor or window manager can misplace it or stack it under
    // the show. The show's own input waits until it is answered; the pointer, hidden over the
    // show, shows over the box.
    forms::EventLog::Note("Box inside " + title);
    box_inside_ = true;
    const bool hidden = cursor_counter_ < 0;
    if (hidden) QGuiApplication::restoreOverrideCursor();
    ExecInside(*owner, owner->BoxCentre(), QString::fromStdString(title), shown);
    if (hidden) QGuiApplication::setOverrideCursor(BlankCursor());
    box_inside_ = false;
    forms::EventLog::Note("Box answered");
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), shown, QMessageBox::Ok,
                  owner);
  box.setObjectName("QuildorMessageBox");
  box.setTextFormat(Qt::PlainText);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  box.setCursor(Qt::ArrowCursor);
  box.exec();
}

namespace {

// Closes the descriptors from `first` to `last`.
void CloseRange(unsigned first, unsigned last) {
  if (first > last) return;
  if (::close_range(first, last, 0) == 0) return;
  for (unsigned fd = first; fd <= last && fd < 65536; ++fd) ::close(static_cast<int>(fd));
}

}  // namespace

void QtPlatform::Exit(int status) {
  // The screen is the user's again whatever a loader thread is stuck in. Such a thread, in a
  // request that a file system will not let go of (a FUSE network share that answers no
  // interrupt, its server gone), keeps the whole process until the request ends, and with it
  // the descriptor table its threads share: the display connection with the windows and grabs on
  // it, the instance lock, the idle watcher's pipe. So every descriptor but the standard three is
  // closed here, as the kernel would at the end: the display connection first, then the lock. The
  // connection's socket goes once Qt's thread that waits on it has gone too, which _exit makes
  // it at once; it is not shut down before, since Qt's Wayland thread would end the process
  // itself on that, with a status of its own. Nothing is buffered: the event log is flushed line
  // by line, and Qt writes its messages to the unbuffered standard error. Only system calls
  // here: nothing that can wait on another thread.
  const int lock = lock_fd_;
  if (lock >= 3) {
    CloseRange(3, static_cast<unsigned>(lock) - 1);
    CloseRange(static_cast<unsigned>(lock) + 1, ~0U);
    ::close(lock);
  } else {
    CloseRange(3, ~0U);
  }
  lock_fd_ = -1;
  ::_exit(status);
}

void QtPlatform::DeliverMove(forms::Form& form, const forms::Control* source, QPointF global) {
  if (box_inside_) return;
  if (moves_.IsMovement(form, source, {global.x(), global.y()})) {
    Deliver(form, forms::Event::MouseMove, source);
  }
}

void QtPlatform::FormShown(const forms::Form& form) {
  const QPoint at = QCursor::pos();
  moves_.Shown(form, {static_cast<double>(at.x()), static_cast<double>(at.y())});
}

void QtPlatform::Deliver(forms::Form& form, forms::Event e, const forms::Control* source) {
  // A box drawn inside the slide show is modal: the user's input is the box's alone.
  const bool input = e == forms::Event::KeyDown || e == forms::Event::MouseDown ||
                     e == forms::Event::MouseMove || e == forms::Event::Click;
  if (box_inside_ && input) return;
  forms::EventLog::Event(form, e, source);
  if (dispatcher_) dispatcher_(form, e, source);
}

}  // namespace quildor::qt
