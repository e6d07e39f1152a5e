// The form model: the twips-to-pixels conversion every view shares, and change notification.
#include "forms/form.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "forms/arith.h"
#include "forms/run_time_error.h"

namespace quildor::forms {
namespace {

TEST(TwipsToPixels, RoundsToTheNearestPixelHalvesUp) {
  EXPECT_EQ(TwipsToPixels(0), 0);
  EXPECT_EQ(TwipsToPixels(15), 1);
  EXPECT_EQ(TwipsToPixels(52.5f), 4);        // 3.5 px
  EXPECT_EQ(TwipsToPixels(1732.5f), 116);    // 115.5 px
  EXPECT_EQ(TwipsToPixels(-1147.5f), -76);   // -76.5 px
  EXPECT_EQ(TwipsToPixels(-120), -8);
  EXPECT_EQ(TwipsToPixels(1400), 93);        // 93.33 px
  EXPECT_EQ(TwipsToPixels(7), 0);
  EXPECT_EQ(TwipsToPixels(8), 1);
}

struct Recorder : ControlView {
  std::vector<Property> seen;
  void PropertyChanged(const Control&, Property p) override { seen.push_back(p); }
};

class EmptyForm : public Form {
 public:
  using Form::Form;
  void HandleEvent(Event, const Control*) override {}
};

TEST(Form, BuildsControlsInOrderAndNotifiesViews) {
  Control::Design outer;
  outer.name = "outer";
  Control::Design inner;
  inner.name = "inner";
  inner.container = "outer";
  EmptyForm form(FormDesign{}, {outer, inner});
  ASSERT_EQ(form.Controls().size(), 2u);
  EXPECT_EQ(form.Controls()[0]->Name(), "outer");
  EXPECT_EQ(&form.Get("inner"), form.Controls()[1].get());
  EXPECT_THROW(form.Get("missing"), std::logic_error);

  Recorder r;
  form.Get("inner").AttachView(&r);
  form.Get("inner").SetCaption("x");
  form.Get("inner").SetLeft(3);
  EXPECT_EQ(r.seen, (std::vector<Property>{Property::Caption, Property::Left}));
}

TEST(Form, AContainerMustComeBeforeItsControls) {
  Control::Design inner;
  inner.name = "inner";
  inner.container = "outer";
  Control::Design outer;
  outer.name = "outer";
  EXPECT_THROW(EmptyForm(FormDesign{}, {inner, outer}), std::logic_error);
}

TEST(Arithmetic, TrapsOverflowAtTheTypesBounds) {
  EXPECT_EQ(CheckedAdd<std::int16_t>(32766, 1), 32767);
  EXPECT_THROW(CheckedAdd<std::int16_t>(32767, 1), forms::RunTimeError);
  EXPECT_EQ(CheckedMul<std::int32_t>(2147483, 1000), 2147483000);
  EXPECT_THROW(CheckedMul<std::int32_t>(2147484, 1000), forms::RunTimeError);
  EXPECT_THROW(CheckedSub<std::int32_t>(-2147483647 - 1, 1), forms::RunTimeError);
}

}  // namespace
}  // namespace quildor::forms
