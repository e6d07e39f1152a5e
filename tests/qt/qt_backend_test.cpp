// The Qt views under Xvfb (a 1024 x 768 screen): the native windows and controls stand where the
// model puts them, draw the designed colours and pictures, and route input as designed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <xcb/dpms.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "module/module1.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_screens.h"
#include "platform/qt/qt_views.h"
#include "settings_dialog/frm_ss_settings.h"
#include "slideshow/form1.h"

namespace quildor {
namespace {

using forms::Event;

struct Delivered {
  Event event;
  std::string source;   // "" for the form itself
  const forms::Form* form;
};

class QtBackend : public ::testing::Test {
 protected:
  void Start(const std::string& command_line) {
    platform = std::make_unique<qt::QtPlatform>(command_line);
    module = std::make_unique<Module1>(*platform);
    platform->SetDispatcher([this](forms::Form& f, Event e, const forms::Control* c) {
      delivered.push_back({e, c ? c->Name() : "", &f});
    });
    module->Start();
    QApplication::processEvents();
  }
  void TearDown() override {
    if (platform) platform->DestroyViews();
    module.reset();
    platform.reset();
  }
  QWidget* Widget(const forms::Form& form) { return platform->WidgetOf(form); }
  QWidget* Child(const forms::Form& form, const char* name) {
    return Widget(form)->findChild<QWidget*>(name);
  }
  static QRect Geometry(QWidget* w) { return w ? w->geometry() : QRect(); }
  static QColor Pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }
  bool Saw(Event e, const std::string& source) {
    for (const auto& d : delivered)
      if (d.event == e && d.source == source) return true;
    return false;
  }

  std::unique_ptr<qt::QtPlatform> platform;
  std::unique_ptr<Module1> module;
  std::vector<Delivered> delivered;
};

TEST_F(QtBackend, SlideShowWindowCoversTheScreenWithTheColumnPlaced) {
  Start("");
  QWidget* window = Widget(*module->form1());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(window->geometry(), QRect(0, 0, 1024, 768));
  // The pointer over it is an image that shows nothing.
  const QImage pointer = window->cursor().pixmap().toImage();
  ASSERT_FALSE(pointer.isNull());
  bool clear = true;
  for (int y = 0; y < pointer.height(); ++y)
    for (int x = 0; x < pointer.width(); ++x) clear &= pointer.pixelColor(x, y).alpha() == 0;
  EXPECT_TRUE(clear);

  // 1024 x 768: the frame is shifted down by 1400 twips and everything is centred.
  EXPECT_EQ(Geometry(Child(*module->form1(), "SSPanel1")), QRect(116, 93, 793, 489));
  EXPECT_EQ(Geometry(Child(*module->form1(), "Image1")), QRect(8, 8, 777, 473));
  EXPECT_EQ(Geometry(Child(*module->form1(), "panYear")), QRect(386, 582, 253, 24));
  EXPECT_EQ(Geometry(Child(*module->form1(), "Image2")), QRect(222, 606, 580, 75));
  EXPECT_EQ(Child(*module->form1(), "Image1")->parentWidget(), Child(*module->form1(), "SSPanel1"));
  EXPECT_TRUE(Child(*module->form1(), "panYear")->isVisible());
}

// An arrow key held on the spin button steps every 250 ms while held and once on release, exactly
// as a held arrow does; released, it stops.
TEST_F(QtBackend, AHeldArrowKeyRepeatsLikeAHeldArrow) {
  Start("/c");
  QWidget* spin = Child(*module->settings_dialog(), "SpinInterval");
  ASSERT_NE(spin, nullptr);
  auto steps = [&](Event e) {
    return std::count_if(delivered.begin(), delivered.end(),
                         [e](const Delivered& d) { return d.event == e; });
  };
  QTest::keyClick(spin, Qt::Key_Left);
  EXPECT_EQ(steps(Event::SpinDown), 1) << "a short press is one step";
  QTest::keyPress(spin, Qt::Key_Up);
  QTest::qWait(900);
  const auto held = steps(Event::SpinUp);
  EXPECT_GE(held, 2) << "repeats while held";
  EXPECT_LE(held, 4);
  QTest::keyRelease(spin, Qt::Key_Up);
  const auto released = steps(Event::SpinUp);
  QTest::qWait(600);
  EXPECT_EQ(steps(Event::SpinUp), released) << "stops when released";
  EXPECT_EQ(steps(Event::SpinDown), 1);
}

TEST_F(QtBackend, SlideShowWindowDrawsTheDesignState) {
  Start("");
  QWidget* window = Widget(*module->form1());
  const QImage shot = window->grab().toImage();

  // Black surface, the frame's sunken bevel, the photograph inside, the banner below.
  EXPECT_EQ(Pixel(shot, 5, 5), QColor(0, 0, 0));
  EXPECT_EQ(Pixel(shot, 116, 93), QColor(128, 128, 128));      // bevel, top-left: shadow
  EXPECT_EQ(Pixel(shot, 116 + 792, 93 + 488), QColor(255, 255, 255));   // bottom-right: light
  int coloured = 0;
  for (int x = 124; x < 124 + 777; x += 7) {
    const QColor c = Pixel(shot, x, 93 + 8 + 236);
    if (c.red() + c.green() + c.blue() > 150) ++coloured;
  }
  EXPECT_GT(coloured, 80) << "the design photograph fills the frame";
  const QColor banner = Pixel(shot, 222 + 4, 606 + 37);
  EXPECT_GT(banner.red(), banner.blue()) << "the banner's brown";

  // The caption panel: red lettering on black, no bevel.
  int red = 0, other = 0;
  for (int y = 582; y < 582 + 24; ++y) {
    for (int x = 386; x < 386 + 253; ++x) {
      const QColor c = Pixel(shot, x, y);
      if (c.red() > 128 && c.green() < 80 && c.blue() < 80) ++red;
      else if (c != QColor(0, 0, 0) && !(c.green() < 40 && c.blue() < 40)) ++other;
    }
  }
  EXPECT_GT(red, 40) << "\"Kelmarion\" in red";
  EXPECT_EQ(other, 0);
  EXPECT_EQ(module->form1()->panYear.Caption(), "Kelmarion");

  // Without a picture the image control shows what lies beneath it, the frame's panel and its
  // blue caption; with the photograph back, the photograph hides them again. As the X server
  // shows them: Qt leaves out what lies beneath a control that covers itself.
  auto blue = [&] {
    QApplication::processEvents();
    const QImage frame = window->screen()
                             ->grabWindow(window->winId(), 124 + 388 - 40, 101 + 236 - 10, 80, 20)
                             .toImage();
    int n = 0;
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x)
        if (Pixel(frame, x, y).blue() > 128 && Pixel(frame, x, y).red() < 80) ++n;
    return n;
  };
  const forms::Picture photo = module->form1()->Image1.GetPicture();
  module->form1()->Image1.SetPicture(nullptr);
  EXPECT_GT(blue(), 10) << "\"SSPanel1\" in blue";
  module->form1()->Image1.SetPicture(photo);
  EXPECT_EQ(blue(), 0);
}

TEST_F(QtBackend, EveryKeyIsTheWindowsKeyDownAndPanelsSwallowTheMouse) {
  Start("");
  QWidget* panel = Child(*module->form1(), "panYear");
  QWidget* image = Child(*module->form1(), "Image1");
  QWidget* banner = Child(*module->form1(), "Image2");

  QTest::keyClick(panel, Qt::Key_A);
  EXPECT_TRUE(Saw(Event::KeyDown, ""));

  delivered.clear();
  QTest::mouseMove(panel, QPoint(10, 10));
  QTest::mouseMove(banner, QPoint(10, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(panel, &move);
  QApplication::sendEvent(banner, &move);
  EXPECT_FALSE(Saw(Event::MouseMove, "")) << "movement over a panel is not the window's";

  QApplication::sendEvent(image, &move);
  EXPECT_TRUE(Saw(Event::MouseMove, "Image1"));
  QApplication::sendEvent(Widget(*module->form1()), &move);
  EXPECT_TRUE(Saw(Event::MouseMove, ""));

  delivered.clear();
  QTest::mouseClick(image, Qt::LeftButton);
  EXPECT_TRUE(Saw(Event::MouseDown, "Image1"));
  EXPECT_TRUE(Saw(Event::Click, "Image1"));
}

TEST_F(QtBackend, Timer1TicksAndACloseFromOutsideIsQueryUnloadThenUnload) {
  Start("");   // the default delay, two seconds
  EXPECT_TRUE(QTest::qWaitFor([&] { return Saw(Event::Timer, "Timer1"); }, 10000))
      << "Timer1 never ticked";
  delivered.clear();
  Widget(*module->form1())->close();
  QApplication::processEvents();
  std::vector<Event> unloading;
  for (const auto& d : delivered) {
    if (d.event == Event::QueryUnload || d.event == Event::Unload) {
      EXPECT_EQ(d.form, module->form1());
      EXPECT_EQ(d.source, "");
      unloading.push_back(d.event);
    }
  }
  EXPECT_EQ(unloading, (std::vector<Event>{Event::QueryUnload, Event::Unload}));
}

// The slide show counts as seen while its window is exposed and the X server's DPMS extension,
// where there is one, does not say the displays are off; Xvfb has none.
TEST_F(QtBackend, TheShowCountsAsSeenUnlessTheDisplaysAreOff) {
  const struct {
    bool enabled;
    std::uint16_t level;
    bool off;
  } replies[] = {{true, XCB_DPMS_DPMS_MODE_ON, false},     {true, XCB_DPMS_DPMS_MODE_STANDBY, true},
                 {true, XCB_DPMS_DPMS_MODE_SUSPEND, true}, {true, XCB_DPMS_DPMS_MODE_OFF, true},
                 {false, XCB_DPMS_DPMS_MODE_OFF, false}};
  for (const auto& r : replies) {
    EXPECT_EQ(qt::DpmsSaysOff(r.enabled, r.level), r.off) << r.enabled << " " << r.level;
  }
  Start("");
  Form1& show = *module->form1();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Widget(show)));
  EXPECT_TRUE(platform->CanBeSeen(show));
  Widget(show)->hide();
  QApplication::processEvents();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Widget(show)->windowHandle()->isExposed(); }));
  EXPECT_FALSE(platform->CanBeSeen(show)) << "a window not exposed cannot be seen";
}

TEST_F(QtBackend, SettingsDialogStandsAsDesigned) {
  Start("/c");
  QWidget* dialog = Widget(*module->settings_dialog());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Screen Saver Settings");
  EXPECT_EQ(dialog->size(), QSize(415, 296));
  auto at = [&](const char* name) { return Geometry(Child(*module->settings_dialog(), name)); };
  EXPECT_EQ(at("pnlSSaver"), QRect(0, 0, 417, 297));
  EXPECT_EQ(at("SSCommand4"), QRect(24, 248, 121, 25));
  EXPECT_EQ(at("SSCommand6"), QRect(144, 248, 121, 25));
  EXPECT_EQ(at("SSCommand5"), QRect(264, 248, 121, 25));
  EXPECT_EQ(at("SpinInterval"), QRect(208, 216, 65, 17));
  EXPECT_EQ(at("panInterval"), QRect(272, 216, 94, 17));
  EXPECT_EQ(at("Image2"), QRect(56, 80, 293, 115));

  auto* down = dialog->findChild<QToolButton*>("SpinInterval.SpinDown");
  ASSERT_NE(down, nullptr);
  QTest::mouseClick(down, Qt::LeftButton);
  EXPECT_TRUE(Saw(Event::SpinDown, "SpinInterval"));
  QTest::mouseClick(dialog->findChild<QWidget*>("SSCommand4"), Qt::LeftButton);
  EXPECT_TRUE(Saw(Event::Click, "SSCommand4"));

  // The white backdrop, its raised bevel, the picture at its own size.
  const QImage shot = dialog->grab().toImage();
  EXPECT_EQ(Pixel(shot, 0, 0), QColor(255, 255, 255));
  EXPECT_EQ(Pixel(shot, 20, 20), QColor(255, 255, 255));
  EXPECT_EQ(Pixel(shot, 56, 80), QColor(255, 255, 255));
  int red = 0;
  for (int x = 56; x < 56 + 293; ++x) {
    const QColor c = Pixel(shot, x, 80 + 60);
    if (c.red() > 140 && c.green() < 60) ++red;
  }
  EXPECT_GT(red, 100) << "the red convertible";
}

}  // namespace
}  // namespace quildor

int main(int argc, char** argv) {
  // Isolated settings and instance lock for this run.
  char tmpl[] = "/tmp/quildor-qt-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  std::filesystem::remove_all(dir);
  return rc;
}
