// An in-memory Platform for tests: every service is plain data the test sets up and reads back.
// Exit throws ProgramExit (not a std::exception, so no failure trap of the program catches it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace quildor::fake {

struct ProgramExit {
  int status;
};

struct MessageBoxCall {
  std::string text;
  std::string title;
};

class FakePlatform : public Platform {
 public:
  // What the test sets.
  std::string command_line;
  bool prev_instance = false;
  float screen_width = 12000;   // 800 x 600 pixels
  float screen_height = 9000;
  std::int32_t cursor_counter = 0;
  std::map<std::tuple<std::string, std::string, std::string>, std::string> settings;
  bool fail_writes = false;
  Preview preview_result = Preview::Unsupported;   // what ShowPreview answers
  // Folders by their path (as the photo directory names them, separator included): the names
  // of their ordinary files in enumeration order. A folder in `unreadable` fails to start.
  std::map<std::string, std::vector<std::string>> folders;
  std::set<std::string> unreadable;
  // Full paths that load as pictures; any other path fails to load.
  std::set<std::string> pictures;
  // Whether the slide show can be seen (false: the displays are off); the forms asked about.
  bool can_be_seen = true;
  std::vector<const forms::Form*> seen_asked;
  // Runs while a message box is open (events a test delivers meanwhile, as a box's own event
  // loop would).
  std::function<void()> while_message_box;

  // What the program did.
  std::vector<std::int32_t> cursor_results;   // the value each ShowCursor call returned
  std::vector<forms::Form*> shown_forms;
  std::vector<MessageBoxCall> message_boxes;
  int settings_reads = 0;
  int settings_writes = 0;
  std::vector<std::string> loaded;            // the path of every successful load
  std::vector<std::pair<int, int>> load_sizes;
  std::vector<std::weak_ptr<const forms::PictureData>> loaded_pictures;
  int dir_starts = 0;
  bool prev_instance_asked = false;
  std::vector<std::uint64_t> previews;   // the parent handle of every ShowPreview call

  std::string CommandLine() override { return command_line; }
  bool PrevInstance() override {
    prev_instance_asked = true;
    return prev_instance;
  }
  Preview ShowPreview(forms::Form&, std::uint64_t parent) override {
    previews.push_back(parent);
    return preview_result;
  }
  float ScreenWidth() override { return screen_width; }
  float ScreenHeight() override { return screen_height; }
  std::int32_t ShowCursor(bool show) override;
  std::string ReadSetting(const std::string& app, const std::string& section,
                          const std::string& key, const std::string& def) override;
  void WriteSetting(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) override;
  // The loader: a job waits until the test completes it, as a real loader finishes before the
  // next tick, after it, or never. CompleteLoad runs the oldest job's work and hands its
  // LoadComplete event to `deliver` (the module's Dispatch); false when no job is waiting.
  struct Job {
    forms::Form* form;
    const forms::Control* source;
    std::function<void()> work;
  };
  std::vector<Job> jobs;
  int jobs_started = 0;
  void StartLoad(forms::Form& form, const forms::Control& source,
                 std::function<void()> work) override {
    jobs.push_back({&form, &source, std::move(work)});
    ++jobs_started;
  }
  using Deliver = std::function<void(forms::Form&, forms::Event, const forms::Control*)>;
  bool CompleteLoad(const Deliver& deliver);

  bool CanBeSeen(const forms::Form& form) override {
    seen_asked.push_back(&form);
    return can_be_seen;
  }
  std::string DirStart(const std::string& pattern) override;
  std::string DirNext() override;
  forms::Picture LoadPicture(const std::string& path, int width, int height) override;
  char32_t ToUpper(char32_t c) override;
  char32_t ToLower(char32_t c) override;
  forms::Picture ResourcePicture(forms::ResourcePicture which) override;
  void ShowForm(forms::Form& form) override { shown_forms.push_back(&form); }
  void MsgBox(const std::string& text, const std::string& title) override {
    message_boxes.push_back({text, title});
    if (while_message_box) while_message_box();
  }
  [[noreturn]] void Exit(int status) override { throw ProgramExit{status}; }

  // The stored value, or nullptr.
  const std::string* Stored(const std::string& key) const;

 private:
  std::vector<std::string> running_;   // what the running enumeration read at its start
  std::size_t next_ = 0;
  bool ended_ = true;
};

}  // namespace quildor::fake
