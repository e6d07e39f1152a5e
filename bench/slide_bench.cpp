// The slide show's speed and size, measured: the cost of one slide-show step through the real
// Linux loader and view, against two references (libjpeg-turbo's own scaled decode, the floor,
// and a full-size decode followed by a smooth scale, the naive path); the cost of a start in
// folders of 10 to 100,000 files; and, from the real program, its peak memory on 6000 x 4000
// photographs, its CPU use between ticks and per tick on small photographs, and the time from
// start to the first frame. The step,
// the floor and the naive path are timed in turn, run after run, so that a slow spell of the
// machine weighs on all three alike.
//
// Usage: slide_bench QUILDOR_EXE OUT_DIR [WIC_COMMAND...]
// (run under a display; `make bench` does it all). With WIC_COMMAND, the Windows loader is
// measured too: the command is run with the photographs' paths appended and prints one line
// "PATH<TAB>MILLISECONDS" per photograph; its figures are reported apart.
// Prints a table and writes OUT_DIR/results.json. With QUILDOR_BENCH_SCALE=2 (and Qt's
// QT_SCALE_FACTOR=2, on a screen twice as large) it measures the high-DPI step instead: the
// photograph decoded for the frame's size in device pixels (1554 x 946), from 3000 x 2000 up, and
// the program's peak memory there; it writes OUT_DIR/results-scale2.json.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench_pictures.h"
#include "bench_show.h"
#include "forms/form.h"
#include "module/module1.h"
#include "platform/qt/dir_enum.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_views.h"
#include "slideshow/form1.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using namespace bench;

struct Result {
  std::string name;
  double median_ms = -1, floor_ms = -1, naive_ms = -1, peak_mb = -1;
  // The naive path's CPU time (every thread of this process: Qt spreads its smooth scale over
  // its pool), for the rows that are CPU times themselves.
  double naive_cpu_ms = -1;
  double cpu_ratio = -1;   // the median of the stretches' ratios of CPU per tick to naive_cpu_ms
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_nsec) / 1e6;
}

double TimeMs(const std::function<void()>& f) {
  const auto start = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Times each of `cases` in turn, `runs` times over (after one warm-up round); the medians, and
// each case's times in run order in `rounds` if given.
std::vector<double> Interleaved(int runs, const std::vector<std::function<void()>>& cases,
                                std::vector<std::vector<double>>* rounds = nullptr) {
  for (const auto& f : cases) f();
  std::vector<std::vector<double>> times(cases.size());
  for (int i = 0; i < runs; ++i) {
    for (std::size_t c = 0; c < cases.size(); ++c) times[c].push_back(TimeMs(cases[c]));
  }
  std::vector<double> medians;
  for (auto& t : times) medians.push_back(Median(t));
  if (rounds) *rounds = std::move(times);
  return medians;
}

long StatusKb(pid_t pid, const char* field) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  }
  return -1;
}

double CpuSeconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string s((std::istreambuf_iterator<char>(f)), {});
  std::istringstream in(s.substr(s.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::atol(field.c_str());
    if (i == 15) stime = std::atol(field.c_str());
  }
  return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

// The CPU time of every thread of process `pid` so far, in milliseconds, to the nanosecond the
// scheduler counts (the clock ticks of /proc/PID/stat are 10 ms).
double ThreadsCpuMs(pid_t pid) {
  double total = 0;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : fs::directory_iterator(tasks)) {
    std::ifstream f(task.path() / "schedstat");
    double ns = 0;
    if (f >> ns) total += ns / 1e6;
  }
  return total;
}

// Starts the real program on `photos` with `interval` seconds; returns its pid.
pid_t Launch(const std::string& exe, const std::string& home, const std::string& photos,
             int interval, const std::string& event_log = "") {
  PrepareHome(home, photos, interval);
  const pid_t pid = fork();
  if (pid == 0) {
    UseHome(home);
    if (!event_log.empty()) setenv("QUILDOR_EVENT_LOG", event_log.c_str(), 1);
    execl(exe.c_str(), exe.c_str(), "/s", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

void Stop(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: slide_bench QUILDOR_EXE OUT_DIR [WIC_COMMAND...]\n");
    return 2;
  }
  const std::string exe = fs::absolute(argv[1]), out = fs::absolute(argv[2]);
  if (const char* scale = std::getenv("QUILDOR_BENCH_SCALE")) g_scale = std::atof(scale);
  const bool high_dpi = g_scale != 1;
  const std::string at_scale =
      high_dpi ? " @" + std::string(std::getenv("QUILDOR_BENCH_SCALE")) + "x" : "";
  int qt_argc = 1;
  QApplication app(qt_argc, argv);
  fs::create_directories(out);
  std::vector<Result> results;
  std::vector<std::pair<std::string, std::string>> files;   // (case name, photograph)
  // Per step case: its name, and the log of its step on the loader's thread / on the GUI thread.
  std::vector<std::pair<std::string, double>> hand_off;

  // Photographs of the three sizes, each kind in a folder of its own.
  struct Photo { int w, h; const char* kind; };
  const Photo photos[] = {
      {776, 496, "baseline"},   {776, 496, "progressive"},   {776, 496, "png"},
      {3000, 2000, "baseline"}, {3000, 2000, "progressive"}, {3000, 2000, "png"},
      {6000, 4000, "baseline"}, {6000, 4000, "progressive"}, {6000, 4000, "png"},
      {6000, 4000, "rotated"}};   // a camera's portrait: baseline, orientation tag 6
  for (const Photo& ph : photos) {
    // At scale 2, the photographs larger than the device frame, as JPEGs.
    if (high_dpi && (ph.w < 3000 || std::string(ph.kind) == "png" ||
                     std::string(ph.kind) == "progressive")) {
      continue;
    }
    const std::string name = std::to_string(ph.w) + "x" + std::to_string(ph.h) + "-" + ph.kind;
    const std::string folder = out + "/photos/" + name;
    const bool png = std::string(ph.kind) == "png";
    const std::string file = folder + "/QUILDORS/55" + name + (png ? ".PNG" : ".JPG");
    if (!fs::exists(file)) {
      fs::create_directories(folder + "/QUILDORS");
      Save(MakePhoto(ph.w, ph.h, static_cast<quint32>(ph.w + ph.h)), file, png ? "png" : "jpeg",
           std::string(ph.kind) == "progressive");
      if (std::string(ph.kind) == "rotated") MarkTurned(file);
    }
    const int runs = ph.w > 1000 ? 21 : 61;
    Result r;
    r.name = "step " + name + at_scale;
    Result gui;
    gui.name = "step " + name + " on the GUI thread" + at_scale;
    {
      SlideShow show(folder, folder + "/QUILDORS");
      SlideShow on_gui_thread(folder + "/gui-thread", folder + "/QUILDORS", true);
      std::vector<std::function<void()>> cases = {[&] { show.Tick(false); }, [&] { Naive(file); },
                                                  [&] { on_gui_thread.Tick(false); }};
      std::unique_ptr<Floor> floor;
      if (!png) {
        floor = std::make_unique<Floor>(file, std::string(ph.kind) == "rotated");
        cases.push_back([&] { floor->Run(); });
      }
      std::vector<std::vector<double>> rounds;
      const std::vector<double> ms = Interleaved(runs, cases, &rounds);
      // The hand-off's cost, run by run: a slow spell of the machine falls on both steps of a
      // run alike, so the ratio of the two steps timed side by side is steadier than the ratio
      // of their medians.
      std::vector<double> ratios;
      for (int i = 0; i < runs; ++i) ratios.push_back(rounds[0][i] / rounds[2][i]);
      hand_off.push_back({name, std::log(Median(ratios))});
      r.median_ms = ms[0];
      r.naive_ms = ms[1];
      gui.median_ms = ms[2];
      if (!png) r.floor_ms = gui.floor_ms = ms[3];
    }
    results.push_back(r);
    results.push_back(gui);
    files.push_back({name, file});
    std::fprintf(stderr, "  %s done\n", r.name.c_str());
  }

  if (!high_dpi) {
    // Starts in folders of 10 to 100,000 photographs: the first tick of a pass (the folder's
    // enumeration started afresh, the first photograph shown), and the folder's first read alone.
    // The photographs are links to copies of one 776 x 496 JPEG, so only the folder's size differs.
    // The three slide shows run side by side and are timed in turn, like the step and its
    // references, so that the folders' figures are compared under the same conditions.
    const std::string one = out + "/photos/776x496-baseline/QUILDORS/55776x496-baseline.JPG";
    const int sizes[] = {10, 10000, 100000};
    std::vector<std::unique_ptr<SlideShow>> shows;
    std::vector<std::unique_ptr<quildor::qt::DirEnumeration>> reads;
    std::vector<std::function<void()>> start_cases;
    for (int n : sizes) {
      const std::string home = out + "/starts/" + std::to_string(n);
      const std::string folder = home + "/QUILDORS";
      if (!fs::exists(home + "/done")) {
        fs::remove_all(home);
        fs::create_directories(folder);
        for (int i = 0; i < n; ++i) {
          // A file takes a limited number of links (65,000 on ext4): a fresh copy every 50,000.
          const std::string source = home + "/source" + std::to_string(i / 50000) + ".JPG";
          if (i % 50000 == 0) fs::copy_file(one, source);
          char name[32];
          std::snprintf(name, sizeof name, "/%02d%06d.JPG", 55 + i % 5, i);
          fs::create_hard_link(source, folder + name);
        }
        std::ofstream(home + "/done");
      }
      shows.push_back(std::make_unique<SlideShow>(home, folder));
      reads.push_back(std::make_unique<quildor::qt::DirEnumeration>());
      SlideShow* show = shows.back().get();
      quildor::qt::DirEnumeration* read = reads.back().get();
      start_cases.push_back([show] { show->Tick(true); });
      start_cases.push_back([read, folder] {
        if (read->Start(folder + "/*.*").empty()) std::abort();
      });
    }
    const std::vector<double> start_ms = Interleaved(201, start_cases);
    shows.clear();
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      Result tick, read;
      tick.name = "start in " + std::to_string(sizes[i]) + " files";
      tick.median_ms = start_ms[2 * i];
      read.name = "first read of " + std::to_string(sizes[i]) + " files";
      read.median_ms = start_ms[2 * i + 1];
      results.push_back(tick);
      results.push_back(read);
    }
  }

  // The real program on 6000 x 4000 photographs: peak memory over a dozen steps. A progressive
  // JPEG is measured apart: its decoder must hold every coefficient of the full-size picture.
  for (const char* kind : {"baseline", "progressive"}) {
    if (high_dpi && std::string(kind) == "progressive") continue;
    const std::string big = out + "/photos/big-" + kind;
    fs::create_directories(big);
    const std::string from = out + "/photos/6000x4000-" + kind + "/QUILDORS/556000x4000-" + kind + ".JPG";
    for (const char* name : {"/55A.JPG", "/56B.JPG"}) {
      if (!fs::exists(big + name)) fs::copy_file(from, big + name);
    }
    const pid_t pid = Launch(exe, out + "/run-memory", big, 1);
    std::this_thread::sleep_for(std::chrono::seconds(8));
    Result r;
    r.name = std::string("slide show, 6000x4000 ") + kind + at_scale;
    r.peak_mb = StatusKb(pid, "VmHWM:") / 1024.0;
    Stop(pid);
    results.push_back(r);
  }

  // CPU between ticks: a minute's interval, five seconds watched after start-up.
  double idle_cpu_ms = -1;
  if (!high_dpi) {
    const pid_t pid = Launch(exe, out + "/run-idle", out + "/photos/776x496-baseline/QUILDORS", 60);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double before = CpuSeconds(pid);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    idle_cpu_ms = (CpuSeconds(pid) - before) * 1000;
    Stop(pid);
    Result r;
    r.name = "CPU ms in 5 s between ticks";
    r.median_ms = idle_cpu_ms;
    results.push_back(r);
  }

  // CPU per tick of the real program on the small photographs (776 x 496, a delay of one second,
  // every tick a new photograph): the whole step, the tick, the loader's thread, the drawing and
  // the X connection, every thread of the process, over nine stretches of four seconds. Against
  // it, the naive path (a full decode and a smooth scale) on the same photograph: its time, timed
  // with the step above, and its CPU time on this process's threads (Qt spreads its smooth scale
  // over a pool), measured after each stretch, so that a slow spell of the machine weighs on
  // both alike; the ratio is the median of the stretches' ratios.
  if (!high_dpi) {
    const std::string small = out + "/photos/small-ticks";
    fs::create_directories(small);
    const std::string from = out + "/photos/776x496-baseline/QUILDORS/55776x496-baseline.JPG";
    for (const char* name : {"/55A.JPG", "/56B.JPG", "/57C.JPG", "/58D.JPG"}) {
      if (!fs::exists(small + name)) fs::copy_file(from, small + name);
    }
    const std::string log = out + "/ticks.log";
    fs::remove(log);
    const pid_t pid = Launch(exe, out + "/run-ticks", small, 1, log);
    auto loaded = [&] {
      const std::string text = ReadFile(log);
      std::size_t n = 0;
      for (std::size_t at = 0; (at = text.find("LoadComplete", at)) != std::string::npos; ++at) ++n;
      return n;
    };
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::vector<double> per_tick, naive_cpu, ratios;
    for (int stretch = 0; stretch < 9; ++stretch) {
      const double cpu_before = ThreadsCpuMs(pid);
      const std::size_t ticks_before = loaded();
      std::this_thread::sleep_for(std::chrono::seconds(4));
      const std::size_t ticks = loaded() - ticks_before;
      if (ticks == 0) continue;
      per_tick.push_back((ThreadsCpuMs(pid) - cpu_before) / static_cast<double>(ticks));
      std::vector<double> naive;
      for (int run = 0; run < 15; ++run) {
        const double before = ProcessCpuMs();
        Naive(from);
        naive.push_back(ProcessCpuMs() - before);
      }
      naive_cpu.push_back(Median(naive));
      ratios.push_back(per_tick.back() / naive_cpu.back());
    }
    Stop(pid);
    Result r;
    r.name = "CPU per tick 776x496-baseline";
    r.median_ms = Median(per_tick);
    for (const Result& step : results) {
      if (step.name == "step 776x496-baseline") r.naive_ms = step.naive_ms;
    }
    r.cpu_ratio = Median(ratios);
    r.naive_cpu_ms = Median(naive_cpu);
    results.push_back(r);
  }

  // Start to first frame: from the start of the process to the window's first paint.
  if (!high_dpi) {
    std::vector<double> times;
    for (int i = 0; i < 7; ++i) {
      const std::string log = out + "/first-frame.log";
      fs::remove(log);
      const auto start = Clock::now();
      const pid_t pid = Launch(exe, out + "/run-first", out + "/photos/776x496-baseline/QUILDORS",
                               60, log);
      double ms = -1;
      while (std::chrono::duration<double>(Clock::now() - start).count() < 10) {
        if (ReadFile(log).find("Painted Form1") != std::string::npos) {
          ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
          break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
      Stop(pid);
      times.push_back(ms);
    }
    Result r;
    r.name = "start to first frame";
    r.median_ms = Median(times);
    results.push_back(r);
  }

  // The Windows loader (WIC under Wine), for information: the same photographs, loaded and
  // scaled to Image1's size by the Windows build's own loading code.
  std::vector<Result> wic;
  if (argc > 3 && !high_dpi) {
    std::string command;
    auto quote = [](const std::string& a) {
      std::string q = "'";
      for (char c : a) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
      return q + "'";
    };
    for (int i = 3; i < argc; ++i) command += quote(argv[i]) + " ";
    for (const auto& f : files) command += quote(f.second) + " ";
    std::fprintf(stderr, "  the Windows loader under Wine...\n");
    FILE* pipe = popen(command.c_str(), "r");
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
      std::string text(line);
      const auto tab = text.find('\t');
      if (tab == std::string::npos) continue;
      for (const auto& f : files) {
        if (f.second == text.substr(0, tab)) {
          Result r;
          r.name = "WIC load " + f.first;
          r.median_ms = std::atof(text.c_str() + tab + 1);
          wic.push_back(r);
        }
      }
    }
    if (!pipe || pclose(pipe) != 0 || wic.size() != files.size()) {
      std::fprintf(stderr, "the Windows loader's measurement failed\n");
      return 1;
    }
  }

  std::ostringstream json;
  json << "[\n";
  bool first_object = true;
  auto report = [&](const std::vector<Result>& rows) {
    std::printf("%-34s %10s %10s %10s %8s %9s\n", "case", "median ms", "floor ms", "naive ms",
                "/floor", "peak MB");
    for (const Result& r : rows) {
      const double ratio = r.floor_ms > 0 ? r.median_ms / r.floor_ms : -1;
      auto cell = [](double v) {
        char b[32];
        if (v < 0) return std::string("-");
        std::snprintf(b, sizeof b, "%.2f", v);
        return std::string(b);
      };
      std::printf("%-34s %10s %10s %10s %8s %9s\n", r.name.c_str(), cell(r.median_ms).c_str(),
                  cell(r.floor_ms).c_str(), cell(r.naive_ms).c_str(), cell(ratio).c_str(),
                  cell(r.peak_mb).c_str());
      auto num = [](double v) { return v < 0 ? std::string("null") : std::to_string(v); };
      json << (first_object ? "" : ",\n") << "  {\"name\": \"" << r.name
           << "\", \"median_ms\": " << num(r.median_ms) << ", \"floor_ms\": " << num(r.floor_ms)
           << ", \"naive_ms\": " << num(r.naive_ms) << ", \"naive_cpu_ms\": " << num(r.naive_cpu_ms)
           << ", \"cpu_ratio_to_naive\": " << num(r.cpu_ratio)
           << ", \"ratio_to_floor\": " << num(ratio)
           << ", \"peak_resident_mb\": " << num(r.peak_mb) << "}";
      first_object = false;
    }
  };
  report(results);
  for (const Result& r : results) {
    if (r.name.rfind("CPU per tick", 0) == 0 && r.naive_ms > 0) {
      std::printf("\n%s: %.2f ms of CPU, %.2f times the naive path's time (%.2f ms), %.2f times its"
                  " CPU time (%.2f ms; the median of nine stretches' ratios)\n", r.name.c_str(),
                  r.median_ms, r.median_ms / r.naive_ms, r.naive_ms, r.cpu_ratio, r.naive_cpu_ms);
    }
  }
  double sum = 0;
  std::printf("\nThe step on the loader's thread against the GUI thread (median ratio, run by"
              " run):\n");
  for (const auto& [name, l] : hand_off) {
    std::printf("  %-28s %+5.1f %%\n", name.c_str(), 100 * (std::exp(l) - 1));
    sum += l;
  }
  std::printf("  %-28s %+5.1f %%\n", "geometric mean",
              100 * (std::exp(sum / hand_off.size()) - 1));
  if (!wic.empty()) {
    std::printf("\nThe Windows loader (WIC under Wine), for information:\n");
    report(wic);
  }
  json << "\n]\n";
  const std::string written = out + (high_dpi ? "/results-scale2.json" : "/results.json");
  std::ofstream(written) << json.str();
  std::printf("\nwritten: %s\n", written.c_str());
  return 0;
}
