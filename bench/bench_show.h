// The real slide show for the benchmark: a home of its own (settings and runtime folder) and the
// slide show on one photo folder through Module1, the Qt loader and the view.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "forms/form.h"
#include "module/module1.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_views.h"
#include "slideshow/form1.h"

namespace bench {

// Makes `home` the home of one run of the slide show on `photos`: its settings file (with
// `interval` seconds) in home/config and its runtime folder home/runtime.
inline void PrepareHome(const std::string& home, const std::string& photos, int interval) {
  std::filesystem::create_directories(home + "/config");
  std::filesystem::create_directories(home + "/runtime");
  std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
  std::ofstream(home + "/config/SCRNSAVE: The Quildor Anthology.ini")
      << "[Settings]\nInterval=" << interval << "\nQuildorsDir=" << photos << "/\n";
}

// Points this process's environment (or a child's, before it starts the program) at that home.
inline void UseHome(const std::string& home) {
  setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
}

// The platform with the loader's work done on the GUI thread, its completion posted as the
// loader's thread posts it: a step on it costs what a step cost before the loader had a thread of
// its own, so that the two side by side show what the hand-off between the threads costs.
class InlineLoads : public quildor::qt::QtPlatform {
 public:
  using QtPlatform::QtPlatform;
  void StartLoad(quildor::forms::Form& form, const quildor::forms::Control& source,
                 std::function<void()> work) override {
    NoteLoadScale(form);
    work();
    QMetaObject::invokeMethod(
        qApp, [this, &form, &source] { Deliver(form, quildor::forms::Event::LoadComplete, &source); },
        Qt::QueuedConnection);
  }
};

// The real slide show on one folder: Module1, the Qt loader and the view. Tick() is one step (the
// tick, the loader's work and its completion, then Image1 drawn); with `first_of_pass` it is the
// first tick of a pass, which starts the folder's enumeration afresh.
class SlideShow {
 public:
  SlideShow(const std::string& home, const std::string& photos, bool inline_loads = false)
      : platform_(inline_loads
                      ? std::unique_ptr<quildor::qt::QtPlatform>(std::make_unique<InlineLoads>(""))
                      : std::make_unique<quildor::qt::QtPlatform>("")),
        module_(*platform_) {
    PrepareHome(home, photos, 0);
    UseHome(home);
    platform_->SetDispatcher([this](quildor::forms::Form& f, quildor::forms::Event e,
                                   const quildor::forms::Control* c) {
      module_.Dispatch(f, e, c);
      if (e == quildor::forms::Event::LoadComplete) ++completed_;
    });
    module_.Start();
    form_ = module_.form1();
    // A tick steps only once the window can be seen: on the screen, exposed.
    QWidget* window = platform_->WidgetOf(*form_);
    while (!window->windowHandle() || !window->windowHandle()->isExposed()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    image_ = window->findChild<QWidget*>("Image1");
    const qreal dpr = image_->devicePixelRatioF();   // drawn in device pixels, as on the screen
    target_ = QImage(image_->size() * dpr, QImage::Format_RGB32);
    target_.setDevicePixelRatio(dpr);
  }
  ~SlideShow() {
    if (form_->panYear.Caption() == "Kelmarion") {
      std::fprintf(stderr, "the slide show showed no photograph\n");
      std::exit(1);
    }
    platform_->DestroyViews();
  }
  void Tick(bool first_of_pass) {
    if (first_of_pass) form_->FirstPhotoTicks = 0;
    // The tick hands the photograph to the loader's thread; the step ends when its completion
    // has put the photograph up.
    const int before = completed_;
    module_.Dispatch(*form_, quildor::forms::Event::Timer, &form_->Timer1);
    while (completed_ == before) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    image_->render(&target_);
  }

 private:
  std::unique_ptr<quildor::qt::QtPlatform> platform_;
  quildor::Module1 module_;
  quildor::Form1* form_ = nullptr;
  QWidget* image_ = nullptr;
  QImage target_;
  int completed_ = 0;   // the loader's completions delivered so far
};

}  // namespace bench
