// The Windows build's picture loader, measured: each photograph named on the command line is
// loaded and scaled to Image1's 777 x 473 pixels through the same code the screen saver uses
// (the header check, WIC's decoder and its scaler), over and over; the median is printed as
// "PATH<TAB>MILLISECONDS", one line per photograph. Meant to run under Wine from `make bench`,
// with the Linux paths the Linux benchmark uses (mapped to Wine's drive Z:).
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "forms/run_time_error.h"
#include "platform/platform.h"
#include "platform/win32/win32_pictures.h"

namespace {

double NowMs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring WindowsPath(const std::string& path) {
  std::wstring wide(path.begin(), path.end());   // the benchmark's own paths are ASCII
  if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

}  // namespace

int main(int argc, char** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  for (int i = 1; i < argc; ++i) {
    const std::wstring path = WindowsPath(argv[i]);
    std::vector<double> times;
    try {
      // At least 5 loads, at most 21, within about 10 seconds after a warm-up load.
      quildor::win32::LoadPictureFile(path, argv[i], 777, 473);
      const double start = NowMs();
      while (times.size() < 5 || (times.size() < 21 && NowMs() - start < 10000)) {
        const double t = NowMs();
        quildor::forms::Picture picture = quildor::win32::LoadPictureFile(path, argv[i], 777, 473);
        times.push_back(NowMs() - t);
        if (!picture) return 1;
      }
    } catch (const quildor::forms::RunTimeError& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("%s\t%.3f\n", argv[i], times[times.size() / 2]);
    std::fflush(stdout);
  }
  CoUninitialize();
  return 0;
}
