// The Linux file enumeration and picture loader on a real folder.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include "forms/run_time_error.h"
#include "platform/qt/dir_enum.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_views.h"
#include "platform/qt/smooth_scale.h"
#include "../data/shown_pictures.h"
#include "unprivileged.h"

namespace quildor {
namespace {

namespace fs = std::filesystem;

class Folder : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quildor-files-XXXXXX";
    dir = ::mkdtemp(tmpl);
    dir += "/QUILDORS/";
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(fs::path(dir).parent_path().parent_path()); }
  void Touch(const std::string& name) { std::ofstream(dir + name) << "x"; }
  std::set<std::string> All(const std::string& pattern = "*.*") {
    std::set<std::string> names;
    for (std::string n = enumeration.Start(dir + pattern); !n.empty(); n = enumeration.Next()) {
      EXPECT_TRUE(names.insert(n).second) << "returned twice: " << n;
    }
    return names;
  }

  std::string dir;
  qt::DirEnumeration enumeration;
};

TEST_F(Folder, ListsOrdinaryFilesOnly) {
  Touch("MA0001.JPG");
  Touch("NODOT");
  Touch("55 coupe é.jpg");
  Touch(".hidden.jpg");
  fs::create_directory(dir + "SUBFOLDER");
  fs::create_directory(dir + "FOLDER.JPG");
  fs::create_symlink(dir + "MA0001.JPG", dir + "LINK.JPG");
  fs::create_symlink(dir + "SUBFOLDER", dir + "LINKDIR.JPG");
  fs::create_symlink(dir + "LOOP.JPG", dir + "LOOP.JPG");
  fs::create_symlink(dir + "MISSING", dir + "DANGLING.JPG");
  ASSERT_EQ(::mkfifo((dir + "PIPE.JPG").c_str(), 0600), 0);
  EXPECT_EQ(All(), (std::set<std::string>{"MA0001.JPG", "NODOT", "55 coupe é.jpg", "LINK.JPG"}));
  EXPECT_EQ(All("*.jpg"), (std::set<std::string>{"MA0001.JPG", "55 coupe é.jpg", "LINK.JPG"}));
  EXPECT_EQ(All("MA*"), (std::set<std::string>{"MA0001.JPG"}));
}

TEST_F(Folder, EndsWithAnEmptyNameAndThenFails) {
  Touch("A");
  EXPECT_EQ(enumeration.Start(dir + "*.*"), "A");
  EXPECT_EQ(enumeration.Next(), "");
  EXPECT_THROW(enumeration.Next(), forms::RunTimeError);
  EXPECT_EQ(enumeration.Start(dir + "*.*"), "A") << "a new start begins again";
}

// An empty folder has no files; a folder that does not exist is a disc that is not mounted.
TEST_F(Folder, EmptyFoldersHaveNoFilesAndMissingOnesFail) {
  EXPECT_EQ(enumeration.Start(dir + "*.*"), "");
  EXPECT_THROW(enumeration.Next(), forms::RunTimeError);
  EXPECT_THROW(enumeration.Start(dir + "NOT-THERE/*.*"), forms::RunTimeError);
  EXPECT_THROW(enumeration.Start(dir + "NOT-THERE/DEEPER/*.*"), forms::RunTimeError);
  EXPECT_THROW(enumeration.Next(), forms::RunTimeError);
  Touch("NOT-THERE");
  EXPECT_THROW(enumeration.Start(dir + "NOT-THERE/*.*"), forms::RunTimeError) << "a file";
  EXPECT_EQ(enumeration.Start(" *.*"), "") << "the default folder, one blank";
  EXPECT_THROW(qt::DirEnumeration().Next(), forms::RunTimeError);
}

TEST_F(Folder, AnUnreadableFolderOrPhotographIsAFailure) {
  // A real photograph, so that only the permission can make it fail.
  fs::copy_file(std::string(QUILDOR_TEST_DATA) + "/baseline.jpg", dir + "MA0001.JPG");
  AsUnprivilegedUser::Reachable(fs::path(dir).parent_path().parent_path());
  const std::string denied = std::strerror(EACCES);
  qt::QtPlatform platform("");
  ::chmod((dir + "MA0001.JPG").c_str(), 0);
  {
    AsUnprivilegedUser user;
    try {
      platform.LoadPicture(dir + "MA0001.JPG", 777, 473);
      ADD_FAILURE() << "an unreadable photograph loaded";
    } catch (const forms::RunTimeError& e) {
      EXPECT_NE(std::string(e.what()).find(denied), std::string::npos) << e.what();
    }
  }
  ::chmod(dir.c_str(), 0);
  {
    AsUnprivilegedUser user;
    try {
      enumeration.Start(dir + "*.*");
      ADD_FAILURE() << "an unreadable folder was listed";
    } catch (const forms::RunTimeError& e) {
      EXPECT_NE(std::string(e.what()).find(denied), std::string::npos) << e.what();
    }
  }
  ::chmod(dir.c_str(), 0755);
  EXPECT_EQ(All(), std::set<std::string>{"MA0001.JPG"}) << "nothing is lost";
}

TEST_F(Folder, LargeFoldersComeOneNameAtATime) {
  for (int i = 0; i < 2000; ++i) Touch("F" + std::to_string(i));
  const std::string first = enumeration.Start(dir + "*.*");
  EXPECT_FALSE(first.empty());
  int rest = 0;
  while (!enumeration.Next().empty()) ++rest;
  EXPECT_EQ(rest, 1999);
}

// The instance lock outside the runtime folder lives in the user's cache folder, and whatever
// stands in its place that is not a file of the user's own is refused, not used: a link, a
// folder, another user's file (which could be kept locked to stop every start).
TEST_F(Folder, TheInstanceLockIsAFileOfTheUsersOwn) {
  const std::string cache = fs::path(dir).parent_path().parent_path().string() + "/cache";
  ::unsetenv("XDG_RUNTIME_DIR");
  ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  const std::string lock = qt::QtPlatform::LockPath();
  EXPECT_EQ(lock.rfind(cache + "/", 0), 0u) << lock;
  {
    qt::QtPlatform first(""), second("");
    EXPECT_FALSE(first.PrevInstance());
    EXPECT_TRUE(second.PrevInstance());
  }
  const std::string other = cache + "/other";
  std::ofstream(other) << "kept";
  const std::function<bool()> in_place[] = {
      [&] { return ::symlink(other.c_str(), lock.c_str()) == 0; },
      [&] { return ::mkdir(lock.c_str(), 0700) == 0; },
      [&] {   // only where this process may give a file away
        std::ofstream(lock) << "kept";
        return ::chown(lock.c_str(), ::geteuid() + 1, ::getegid()) == 0;
      },
  };
  for (const auto& put : in_place) {
    fs::remove_all(lock);
    if (!put()) continue;
    qt::QtPlatform platform("");
    try {
      platform.PrevInstance();
      ADD_FAILURE() << "a lock that is not the user's own file was taken";
    } catch (const forms::RunTimeError& e) {
      EXPECT_NE(std::string(e.what()).find(lock), std::string::npos) << e.what();
    }
  }
  std::ifstream kept(other);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
}

class Loader : public ::testing::Test {
 protected:
  qt::QtPlatform platform{""};
  static std::string Data(const char* name) { return std::string(QUILDOR_TEST_DATA) + "/" + name; }
};

// Every kind of picture shown, as a photo viewer shows it (the table is both loaders').
TEST_F(Loader, ShowsEveryKindUprightInSrgbOverBlack) {
  for (const test::ShownPicture& c : test::kShownPictures) {
    const forms::Picture p = platform.LoadPicture(Data(c.name), 777, 473);
    ASSERT_NE(p, nullptr) << c.name;
    EXPECT_EQ(QSize(p->width, p->height), QSize(64, 48)) << c.name;
    const QImage* image = qt::ImageOf(p);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->size(), QSize(64, 48)) << c.name;
    const std::uint32_t expected[] = {c.top_left, c.top_right, c.bottom_left, c.bottom_right};
    for (int i = 0; i < 4; ++i) {
      const auto [x, y] = test::kShownCorners[i];
      const std::uint32_t seen = image->pixel(x, y) & 0xFFFFFF;
      EXPECT_TRUE(test::NearColour(seen, expected[i]))
          << c.name << " at " << x << "," << y << ": " << std::hex << seen << " for "
          << expected[i];
    }
  }
}

// A camera's portrait photograph, larger than the frame, is decoded for the frame turned the same
// way and then stood upright at exactly the frame's size.
TEST_F(Loader, ATurnedPhotographFillsTheFrameUpright) {
  const forms::Picture p = platform.LoadPicture(Data("orientation6.jpg"), 32, 24);
  EXPECT_EQ(QSize(p->width, p->height), QSize(64, 48));
  const QImage* image = qt::ImageOf(p);
  ASSERT_EQ(image->size(), QSize(32, 24));
  EXPECT_TRUE(test::NearColour(image->pixel(6, 5) & 0xFFFFFF, test::kRed));
  EXPECT_TRUE(test::NearColour(image->pixel(26, 18) & 0xFFFFFF, test::kBlue));
}

TEST_F(Loader, DecodesLargePicturesNoLargerThanNeeded) {
  const forms::Picture p = platform.LoadPicture(Data("baseline.jpg"), 32, 24);
  EXPECT_EQ(p->width, 64) << "the picture's own size is kept";
  EXPECT_EQ(qt::ImageOf(p)->size(), QSize(32, 24));
}

TEST_F(Loader, PicturesLargerOneWayAreScaledOnceToTheWholeControl) {
  // 64 x 48 for a stretched control of 80 x 40: taller than the control, not as wide. The loader
  // gives the control's exact size, so the view has nothing left to resample.
  for (const char* name : {"baseline.jpg", "progressive.jpg", "cmyk.jpg", "picture.png"}) {
    const forms::Picture p = platform.LoadPicture(Data(name), 80, 40);
    EXPECT_EQ(p->width, 64) << name;
    const QImage* image = qt::ImageOf(p);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(image->size(), QSize(80, 40)) << name;
    EXPECT_GT(image->pixelColor(10, 20).red(), 200) << name;
    EXPECT_GT(image->pixelColor(70, 20).blue(), 200) << name;
  }
  // No larger either way: kept at its own size for the view to stretch.
  EXPECT_EQ(qt::ImageOf(platform.LoadPicture(Data("picture.png"), 80, 60))->size(), QSize(64, 48));
}

// The loader's own smooth scale looks as Qt's does, shrinking and growing, one way or both, at
// sizes that leave odd pixels over; a flat colour stays exactly that colour, and a picture of
// the same size comes back unchanged.
TEST(SmoothScale, LooksAsQtsOwnAndKeepsFlatColours) {
  const auto soft = [](int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h,
                                  static_cast<int>(127.5 + 127 * std::sin((x + 2 * y) * 0.02))));
    return image;
  };
  const QSize cases[][2] = {{{776, 496}, {777, 473}},   // a photograph of the collection
                            {{1500, 1000}, {777, 473}}, // a large one, decoded at a quarter
                            {{2000, 400}, {777, 473}},  // a panorama: narrower, taller
                            {{64, 48}, {13, 7}},         {{5, 3}, {16, 1}},
                            {{1, 1}, {3, 2}},            {{17, 9}, {17, 9}}};
  for (const auto& [from, to] : cases) {
    const QImage source = soft(from.width(), from.height());
    const QImage ours = qt::SmoothScaled(source, to.width(), to.height());
    const QImage qts = source.scaled(to, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ASSERT_EQ(ours.size(), to);
    ASSERT_EQ(ours.format(), QImage::Format_RGB32);
    int worst = 0;
    for (int y = 0; y < to.height(); ++y)
      for (int x = 0; x < to.width(); ++x) {
        const QRgb a = ours.pixel(x, y), b = qts.pixel(x, y);
        ASSERT_EQ(qAlpha(a), 255);
        worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                          std::abs(qBlue(a) - qBlue(b))});
      }
    EXPECT_LE(worst, 3) << from.width() << "x" << from.height() << " to " << to.width() << "x"
                        << to.height();
    if (from == to) {
      EXPECT_EQ(ours, source);
    }
    QImage flat(from, QImage::Format_RGB32);
    flat.fill(qRgb(201, 7, 128));
    const QImage scaled = qt::SmoothScaled(flat, to.width(), to.height());
    for (int y = 0; y < to.height(); ++y)
      for (int x = 0; x < to.width(); ++x) ASSERT_EQ(scaled.pixel(x, y), qRgb(201, 7, 128));
  }
}

TEST_F(Loader, RefusesHostileFilesWithoutLargeAllocations) {
  // A 1 GB sparse file named like a photograph: nothing but zeros.
  char tmpl[] = "/tmp/quildor-hostile-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  const std::string sparse = dir + "/SPARSE.JPG";
  {
    std::ofstream f(sparse, std::ios::binary);
    f.seekp((1LL << 30) - 1);
    f.put('\0');
  }
  for (const std::string& path : {Data("bomb.jpg"), Data("bomb.png"), Data("bomb.gif"),
                                  Data("truncated.jpg"), Data("truncated.png"),
                                  Data("truncated.gif"), Data("truncated.bmp"),
                                  Data("empty.jpg"), sparse}) {
    EXPECT_THROW(platform.LoadPicture(path, 777, 473), forms::RunTimeError) << path;
  }
  fs::remove_all(dir);
  struct rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss / 1024, 150) << "peak resident memory in MB";
}

TEST_F(Loader, RefusesWhatIsNotAPicture) {
  char tmpl[] = "/tmp/quildor-loader-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  ASSERT_EQ(::mkfifo((dir + "/PIPE.JPG").c_str(), 0600), 0);
  std::ofstream(dir + "/EMPTY.JPG");
  for (const std::string& path :
       {Data("text.jpg"), dir + "/EMPTY.JPG", dir, dir + "/PIPE.JPG", dir + "/MISSING.JPG",
        std::string(" "), std::string("")}) {
    EXPECT_THROW(platform.LoadPicture(path, 777, 473), forms::RunTimeError) << path;
  }
  fs::remove_all(dir);
}

TEST(CaseMapping, IsOneCharacterToOne) {
  qt::QtPlatform platform("");
  EXPECT_EQ(platform.ToUpper(U'a'), U'A');
  EXPECT_EQ(platform.ToUpper(U'é'), U'É');
  EXPECT_EQ(platform.ToLower(U'Ω'), U'ω');
  EXPECT_EQ(platform.ToUpper(U'ß'), U'ß') << "its upper case is two letters";
  EXPECT_EQ(platform.ToUpper(U'1'), U'1');
}

}  // namespace
}  // namespace quildor

int main(int argc, char** argv) {
  QGuiApplication::setAttribute(Qt::AA_Use96Dpi);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
