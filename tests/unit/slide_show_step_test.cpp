// The slide-show step on the fake platform: passes through the folder, failures and captions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fake/fake_platform.h"
#include "module/module1.h"
#include "slideshow/form1.h"

namespace quildor {
namespace {

using fake::FakePlatform;

// The loader finishes the step's work and hands its completion to the module.
bool CompleteLoad(Module1& m, FakePlatform& p) {
  return p.CompleteLoad(
      [&m](forms::Form& f, forms::Event e, const forms::Control* c) { m.Dispatch(f, e, c); });
}

// One tick whose step the loader completes before the next tick.
void TickAndLoad(Module1& m, FakePlatform& p) {
  m.Dispatch(*m.form1(), forms::Event::Timer, &m.form1()->Timer1);
  CompleteLoad(m, p);
}

class Step : public ::testing::Test {
 protected:
  // A folder with these files, all of them pictures unless listed in `broken`.
  void Folder(const std::string& dir, std::vector<std::string> names,
              const std::vector<std::string>& broken = {}) {
    for (const auto& n : names) {
      if (std::find(broken.begin(), broken.end(), n) == broken.end()) platform.pictures.insert(dir + n);
    }
    platform.folders[dir] = std::move(names);
  }
  void Start(const std::string& dir) {
    platform.settings[{"SCRNSAVE: The Quildor Anthology", "Settings", "QuildorsDir"}] = dir;
    module.Start();
  }
  Form1& form() { return *module.form1(); }
  // Runs one tick; returns the path shown, or "box" when the failure message came instead.
  std::string Tick() {
    const std::size_t boxes = platform.message_boxes.size();
    const std::size_t loads = platform.loaded.size();
    TickAndLoad(module, platform);
    if (platform.message_boxes.size() > boxes) {
      EXPECT_EQ(platform.message_boxes.size(), boxes + 1);
      EXPECT_EQ(platform.loaded.size(), loads);
      return "box";
    }
    EXPECT_EQ(platform.loaded.size(), loads + 1);
    return platform.loaded.back().substr(module.PhotoDir.size());
  }
  std::vector<std::string> Ticks(int n) {
    std::vector<std::string> seen;
    for (int i = 0; i < n; ++i) seen.push_back(Tick());
    return seen;
  }
  using V = std::vector<std::string>;

  FakePlatform platform;
  Module1 module{platform};
};

TEST_F(Step, OneFileIsShownAtEveryTick) {
  Folder("E:\\QUILDORS\\", {"MA0001.JPG"});
  Start("E:\\QUILDORS\\");
  EXPECT_EQ(Ticks(7), V(7, "MA0001.JPG"));
  EXPECT_EQ(form().panYear.Caption(), "Quildor Matchbook Covers");
}

TEST_F(Step, TwoFilesGoAAABAAAB) {
  Folder("E:\\QUILDORS\\", {"A", "B"});
  Start("E:\\QUILDORS\\");
  EXPECT_EQ(Ticks(8), (V{"A", "A", "A", "B", "A", "A", "A", "B"}));
}

TEST_F(Step, APassHoldsTheFirstFileForThreeTicksAndRestartsInTheSameTick) {
  Folder("/cd/QUILDORS/", {"f1", "f2", "f3", "f4"});
  Start("/cd/QUILDORS/");
  EXPECT_EQ(Ticks(12), (V{"f1", "f1", "f1", "f2", "f3", "f4", "f1", "f1", "f1", "f2", "f3", "f4"}));
  EXPECT_EQ(form().FirstPhotoTicks, 3);
  // The photograph is decoded for Image1's size.
  EXPECT_EQ(platform.load_sizes.back(), std::make_pair(777, 473));
  EXPECT_EQ(form().Image1.GetPicture()->source, "/cd/QUILDORS/f4");
}

TEST_F(Step, FilesAddedDuringTheRunAreSeenAtTheNextStart) {
  Folder("/cd/QUILDORS/", {"f1", "f2"});
  Start("/cd/QUILDORS/");
  EXPECT_EQ(Ticks(4), (V{"f1", "f1", "f1", "f2"}));
  Folder("/cd/QUILDORS/", {"f0", "f1", "f2"});
  EXPECT_EQ(Ticks(5), (V{"f0", "f0", "f0", "f1", "f2"}));
}

TEST_F(Step, AMissingDiscIsRetriedUntilItIsInserted) {
  Folder("E:\\QUILDORS\\", {"A", "B"});
  platform.unreadable.insert("E:\\QUILDORS\\");
  Start("E:\\QUILDORS\\");
  EXPECT_EQ(Ticks(5), V(5, "box"));
  EXPECT_EQ(form().FirstPhotoTicks, 0) << "a failed start does not count";
  EXPECT_EQ(form().panYear.Caption(), "Kelmarion");
  platform.unreadable.clear();
  EXPECT_EQ(Ticks(5), (V{"A", "A", "A", "B", "A"}));
}

TEST_F(Step, AMissingOrEmptyFolderFailsAtEveryTickForTheRestOfTheRun) {
  for (const bool empty : {false, true}) {
    FakePlatform p;
    if (empty) p.folders["/cd/QUILDORS/"] = {};
    p.settings[{"SCRNSAVE: The Quildor Anthology", "Settings", "QuildorsDir"}] = "/cd/QUILDORS/";
    Module1 m(p);
    m.Start();
    Form1& f = *m.form1();
    for (int i = 1; i <= 3; ++i) {
      TickAndLoad(m, p);
      EXPECT_EQ(f.FirstPhotoTicks, i);
    }
    EXPECT_EQ(p.dir_starts, 3);
    // Photographs arriving later are never reached: the ended enumeration fails at every tick.
    p.folders["/cd/QUILDORS/"] = {"A"};
    p.pictures.insert("/cd/QUILDORS/A");
    for (int i = 0; i < 4; ++i) TickAndLoad(m, p);
    EXPECT_EQ(p.message_boxes.size(), 7u);
    EXPECT_EQ(p.dir_starts, 3);
    EXPECT_TRUE(p.loaded.empty());
  }
}

TEST_F(Step, AFileThatIsNotAPictureCostsItsTick) {
  Folder("E:\\QUILDORS\\", {"A.JPG", "NOTE.TXT", "C.JPG"}, {"NOTE.TXT"});
  Start("E:\\QUILDORS\\");
  EXPECT_EQ(Ticks(3), V(3, "A.JPG"));
  const forms::Picture shown = form().Image1.GetPicture();
  const std::string caption = form().panYear.Caption();
  EXPECT_EQ(Tick(), "box");
  // The failed tick kept the picture and caption it had.
  EXPECT_EQ(form().Image1.GetPicture(), shown);
  EXPECT_EQ(form().panYear.Caption(), caption);
  EXPECT_EQ(Ticks(4), (V{"C.JPG", "A.JPG", "A.JPG", "A.JPG"}));
}

TEST_F(Step, NoTickStartsAStepWhileAMessageBoxIsOpen) {
  // The box runs an event loop of its own, in which the timer goes on ticking: those ticks are
  // dropped, so the boxes never stack up. Once it is closed, ticks run steps again.
  Folder("E:\\QUILDORS\\", {"BAD", "B.JPG"}, {"BAD"});
  Start("E:\\QUILDORS\\");
  int ticks_in_box = 0;
  bool inside = false;
  platform.while_message_box = [&] {
    if (inside) return;   // a box opened by the tick inside: the rule is broken, no deeper
    inside = true;
    ++ticks_in_box;
    TickAndLoad(module, platform);
    inside = false;
  };
  EXPECT_EQ(Tick(), "box");
  EXPECT_EQ(ticks_in_box, 1);
  EXPECT_EQ(platform.message_boxes.size(), 1u) << "no second box from the tick inside the first";
  EXPECT_EQ(Ticks(3), (V{"box", "box", "B.JPG"}));
  EXPECT_EQ(ticks_in_box, 3);
}

// Ticks while the show cannot be seen (the displays off): "-" for a tick in the dark, which must
// start no step (no enumeration, no read, no box) and count for nothing; what each tick in the
// light shows is as if the dark ticks had not come.
struct DarkCase {
  const char* name;
  std::vector<std::string> folder;   // empty: a disc that cannot be read
  std::vector<std::string> lit;      // per tick: "" for a dark tick, else what the tick shows
};

class DarkTicks : public Step, public ::testing::WithParamInterface<DarkCase> {};

TEST_P(DarkTicks, StartNoStepAndCountForNothing) {
  const DarkCase& c = GetParam();
  if (c.folder.empty()) {
    platform.unreadable.insert("E:\\QUILDORS\\");
  } else {
    Folder("E:\\QUILDORS\\", c.folder);
  }
  Start("E:\\QUILDORS\\");
  for (const std::string& want : c.lit) {
    platform.can_be_seen = !want.empty();
    if (!want.empty()) {
      EXPECT_EQ(Tick(), want);
      continue;
    }
    const auto before = std::make_tuple(platform.dir_starts, platform.jobs_started,
                                        platform.message_boxes.size(), form().FirstPhotoTicks);
    TickAndLoad(module, platform);
    EXPECT_EQ(std::make_tuple(platform.dir_starts, platform.jobs_started,
                              platform.message_boxes.size(), form().FirstPhotoTicks),
              before);
  }
  EXPECT_EQ(platform.seen_asked.size(), c.lit.size()) << "asked at every tick";
}

INSTANTIATE_TEST_SUITE_P(
    Step, DarkTicks,
    ::testing::Values(
        // The first photograph's three ticks are three ticks in the light.
        DarkCase{"FirstPhotographHeldThroughTheDark", {"A", "B"},
                 {"A", "", "", "A", "A", "B", "", "A"}},
        // No box asking for the disc in the dark, and the disc is tried again in the light.
        DarkCase{"MissingDiscNotTriedInTheDark", {}, {"", "", "box", "", "box"}},
        // Displays already off when the show starts: nothing until they come on.
        DarkCase{"DarkFromTheStart", {"A", "B"}, {"", "", "", "A", "A", "A", "B"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Step, AKeyEndsTheShowInTheDarkAsInTheLight) {
  Folder("E:\\QUILDORS\\", {"A"});
  Start("E:\\QUILDORS\\");
  platform.can_be_seen = false;
  EXPECT_THROW(module.Dispatch(form(), forms::Event::KeyDown, nullptr), fake::ProgramExit);
}

TEST_F(Step, AFirstFileThatIsNotAPictureFailsOnItsThreeTicks) {
  Folder("E:\\QUILDORS\\", {"BAD", "B.JPG"}, {"BAD"});
  Start("E:\\QUILDORS\\");
  EXPECT_EQ(Ticks(5), (V{"box", "box", "box", "B.JPG", "box"}));
}

TEST_F(Step, NoStoredFolderShowsTheMessageAtEveryTick) {
  module.Start();
  EXPECT_EQ(module.PhotoDir, " ");
  EXPECT_EQ(Ticks(5), V(5, "box"));
  ASSERT_FALSE(platform.message_boxes.empty());
  EXPECT_EQ(platform.message_boxes[0].text,
            "Unable to find Quildor photographs!\r\n\r\n"
            "Make sure that the Quildor Anthology is in the CDROM drive.");
  EXPECT_EQ(platform.message_boxes[0].title, "The Quildor Anthology Screen Saver");
}

TEST_F(Step, TenThousandTicksKeepNothingButThePhotographShown) {
  Folder("E:\\QUILDORS\\", {"55A.JPG", "MA1.JPG", "NOTE.TXT", "SP2.JPG"}, {"NOTE.TXT"});
  Start("E:\\QUILDORS\\");
  int boxes = 0;
  for (int i = 0; i < 10000; ++i) {
    if (Tick() == "box") ++boxes;
    ASSERT_GE(form().FirstPhotoTicks, 0);
    ASSERT_LE(form().FirstPhotoTicks, 3);
  }
  // A pass is six ticks: 55A three times, MA1, NOTE (the box), SP2.
  EXPECT_EQ(boxes, 10000 / 6);
  std::size_t alive = 0;
  for (const auto& w : platform.loaded_pictures) alive += w.expired() ? 0 : 1;
  EXPECT_EQ(alive, 1u) << "only the photograph on the screen is kept";
  EXPECT_EQ(form().Image1.GetPicture()->source.substr(12), platform.loaded.back().substr(12));
}

// The loader finishes when it finishes: before the next tick, after it, or never; or it fails.
// Script: T a tick, C the loader completes its oldest job, K a key. `shown` is what each C put
// up ("box" for the box asking for the disc); `ticks` the first-photograph count at the end.
struct LoaderCase {
  const char* name;
  bool readable;
  const char* script;
  int jobs_started;
  std::vector<std::string> shown;
  int ticks;
  bool ended;
};

class Loader : public ::testing::TestWithParam<LoaderCase> {};

TEST_P(Loader, StepsNeverOverlapAndTheUserIsAnsweredMeanwhile) {
  const LoaderCase& c = GetParam();
  FakePlatform p;
  p.folders["/cd/QUILDORS/"] = {"A", "MA"};
  p.pictures = {"/cd/QUILDORS/A", "/cd/QUILDORS/MA"};
  if (!c.readable) p.unreadable.insert("/cd/QUILDORS/");
  p.settings[{"SCRNSAVE: The Quildor Anthology", "Settings", "QuildorsDir"}] = "/cd/QUILDORS/";
  Module1 m(p);
  m.Start();
  Form1& f = *m.form1();
  const std::string first_caption = f.panYear.Caption();
  std::vector<std::string> shown;
  bool ended = false;
  for (const char* s = c.script; *s && !ended; ++s) {
    try {
      if (*s == 'T') m.Dispatch(f, forms::Event::Timer, &f.Timer1);
      if (*s == 'K') m.Dispatch(f, forms::Event::KeyDown, nullptr);
      if (*s == 'C') {
        const std::size_t boxes = p.message_boxes.size();
        ASSERT_TRUE(CompleteLoad(m, p)) << c.name << ": no job to complete";
        shown.push_back(p.message_boxes.size() > boxes ? "box"
                                                       : f.Image1.GetPicture()->source.substr(13));
      }
    } catch (const fake::ProgramExit& e) {
      EXPECT_EQ(e.status, 0);
      ended = true;
    }
    ASSERT_LE(p.jobs.size(), 1u) << c.name << ": steps overlap";
  }
  EXPECT_EQ(p.jobs_started, c.jobs_started) << c.name;
  EXPECT_EQ(shown, c.shown) << c.name;
  EXPECT_EQ(f.FirstPhotoTicks, c.ticks) << c.name;
  EXPECT_EQ(ended, c.ended) << c.name;
  if (shown.empty()) {
    // Nothing completed: the design photograph and caption stand as they were.
    EXPECT_EQ(f.Image1.GetPicture()->source, "design photo") << c.name;
    EXPECT_EQ(f.panYear.Caption(), first_caption) << c.name;
  } else if (shown.back() != "box") {
    // The photograph and its caption went up together.
    EXPECT_EQ(f.panYear.Caption(), shown.back() == "MA" ? "Quildor Matchbook Covers"
                                                        : "  19A Ostrevan") << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Loader,
    ::testing::Values(
        LoaderCase{"before the next tick", true, "TCTCTCTC", 4, {"A", "A", "A", "MA"}, 3, false},
        LoaderCase{"after the next tick", true, "TTCTTTCTC", 3, {"A", "A", "A"}, 3, false},
        LoaderCase{"never", true, "TTTTT", 1, {}, 0, false},
        LoaderCase{"never, and a key", true, "TTKT", 1, {}, 0, true},
        LoaderCase{"a key before it completes", true, "TCTKC", 2, {"A"}, 1, true},
        LoaderCase{"fails (no disc)", false, "TCTTC", 2, {"box", "box"}, 0, false}));

struct CaptionCase {
  const char* dir;
  const char* name;
  const char* caption;
};

class Captions : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(Captions, ComeFromTheTwoCharactersBehindTheFolderName) {
  FakePlatform platform;
  const CaptionCase& c = GetParam();
  platform.folders[c.dir] = {c.name};
  platform.pictures.insert(std::string(c.dir) + c.name);
  platform.settings[{"SCRNSAVE: The Quildor Anthology", "Settings", "QuildorsDir"}] = c.dir;
  Module1 module(platform);
  module.Start();
  TickAndLoad(module, platform);
  ASSERT_TRUE(platform.message_boxes.empty());
  EXPECT_EQ(module.form1()->panYear.Caption(), c.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Captions,
    ::testing::Values(
        CaptionCase{"E:\\QUILDORS\\", "MA0001.JPG", "Quildor Matchbook Covers"},
        CaptionCase{"E:\\QUILDORS\\", "ma0001.jpg", "Quildor Matchbook Covers"},
        CaptionCase{"E:\\QUILDORS\\", "TD12.JPG", "Danbury Mint Die-cast Model"},
        CaptionCase{"E:\\QUILDORS\\", "TF7.JPG", "Franklin Mint Die-cast Models"},
        CaptionCase{"E:\\QUILDORS\\", "vm3.jpg", "Quildor Metal Signs"},
        CaptionCase{"E:\\QUILDORS\\", "ZZ.JPG", "Quildor Philately"},
        CaptionCase{"E:\\QUILDORS\\", "SP.JPG", "1957 Ostrevan Emblem"},
        CaptionCase{"E:\\QUILDORS\\", "55.JPG", "  1955 Ostrevan"},
        CaptionCase{"E:\\QUILDORS\\", "56A.JPG", "  1956 Ostrevan"},
        CaptionCase{"E:\\QUILDORS\\", "S.JPG", "  19S. Ostrevan"},
        CaptionCase{"E:\\QUILDORS\\", "M", "  19M Ostrevan"},
        CaptionCase{"/media/cdrom/Quildors/", "57coupe.jpg", "  1957 Ostrevan"},
        CaptionCase{"C:\\PICS\\", "MA1.JPG", "  19S\\ Ostrevan"},
        CaptionCase{"E:\\QUILDORS\\EXTRA\\", "MA1.JPG", "  19EX Ostrevan"},
        CaptionCase{"/x/ildors", "Q", "  19 Ostrevan"},
        CaptionCase{"E:\\QUILDORS\\", "\xC3\xA9\x63lair.jpg", "  19\xC3\x89\x43 Ostrevan"},
        CaptionCase{"E:\\QUILDORS\\", "\xC3\xA9\xC3\xA0.jpg", "  19\xC3\x89\xC3\x80 Ostrevan"},
        CaptionCase{"/m/\xC3\x89t\xC3\xA9/QUILDORS/", "ma.jpg", "Quildor Matchbook Covers"}));

}  // namespace
}  // namespace quildor
