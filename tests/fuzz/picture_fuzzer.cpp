// A libFuzzer target over the Linux program's picture loading: the header check and the Qt
// decoders as the slide-show step calls them (through a file, scaled to the photograph's size).
// Any input must either load or fail with forms::RunTimeError; a crash, a hang or a sanitizer
// report is a bug. Inputs that once failed are kept in regressions/ and run by every test run.
#include <sys/mman.h>
#include <unistd.h>

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "forms/picture_header.h"
#include "forms/run_time_error.h"
#include "platform/qt/qt_platform.h"

namespace {
quildor::qt::QtPlatform* g_platform = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QGuiApplication app(*argc, *argv);
  g_platform = new quildor::qt::QtPlatform("");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)quildor::forms::ReadDeclaredSize(data, size);

  const int fd = memfd_create("picture", MFD_CLOEXEC);
  if (fd < 0) return 0;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  try {
    const auto picture =
        g_platform->LoadPicture("/proc/self/fd/" + std::to_string(fd), 777, 473);
    if (picture && (picture->width <= 0 || picture->height <= 0)) std::abort();
  } catch (const quildor::forms::RunTimeError&) {
    // a refused file: what the step's failure path handles
  }
  close(fd);
  return 0;
}
