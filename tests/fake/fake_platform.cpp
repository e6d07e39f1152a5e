#include "fake/fake_platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "forms/run_time_error.h"

namespace quildor::fake {

std::int32_t FakePlatform::ShowCursor(bool show) {
  cursor_counter += show ? 1 : -1;
  cursor_results.push_back(cursor_counter);
  return cursor_counter;
}

std::string FakePlatform::ReadSetting(const std::string& app, const std::string& section,
                                      const std::string& key, const std::string& def) {
  ++settings_reads;
  auto it = settings.find({app, section, key});
  return it == settings.end() ? def : it->second;
}

void FakePlatform::WriteSetting(const std::string& app, const std::string& section,
                                const std::string& key, const std::string& value) {
  if (fail_writes) throw forms::RunTimeError("The settings store cannot be written");
  ++settings_writes;
  settings[{app, section, key}] = value;
}

std::string FakePlatform::DirStart(const std::string& pattern) {
  ++dir_starts;
  const std::string suffix = "*.*";
  if (pattern.size() < suffix.size() ||
      pattern.compare(pattern.size() - suffix.size(), suffix.size(), suffix) != 0) {
    throw forms::RunTimeError("the fake enumeration knows only the pattern *.*");
  }
  const std::string folder = pattern.substr(0, pattern.size() - suffix.size());
  running_.clear();
  ended_ = true;
  if (unreadable.count(folder)) throw forms::RunTimeError("Device unavailable");
  auto it = folders.find(folder);
  if (it == folders.end() || it->second.empty()) return "";
  running_ = it->second;
  next_ = 1;
  ended_ = false;
  return running_[0];
}

std::string FakePlatform::DirNext() {
  if (ended_) throw forms::RunTimeError("Invalid procedure call or argument");
  if (next_ >= running_.size()) {
    ended_ = true;
    return "";
  }
  return running_[next_++];
}

bool FakePlatform::CompleteLoad(const Deliver& deliver) {
  if (jobs.empty()) return false;
  Job job = std::move(jobs.front());
  jobs.erase(jobs.begin());
  job.work();
  deliver(*job.form, forms::Event::LoadComplete, job.source);
  return true;
}

forms::Picture FakePlatform::LoadPicture(const std::string& path, int width, int height) {
  if (!pictures.count(path)) throw forms::RunTimeError("File not found: " + path);
  loaded.push_back(path);
  load_sizes.emplace_back(width, height);
  auto p = std::make_shared<forms::PictureData>();
  p->width = 640;
  p->height = 480;
  p->source = path;
  loaded_pictures.push_back(p);
  return p;
}

// ASCII and the Latin-1 letters: enough for tests, and one character to one character.
char32_t FakePlatform::ToUpper(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  return c;
}

char32_t FakePlatform::ToLower(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  return c;
}

forms::Picture FakePlatform::ResourcePicture(forms::ResourcePicture which) {
  auto p = std::make_shared<forms::PictureData>();
  switch (which) {
    case forms::ResourcePicture::DesignPhoto: *p = {776, 496, "design photo", nullptr}; break;
    case forms::ResourcePicture::TitleBanner: *p = {576, 71, "title banner", nullptr}; break;
    case forms::ResourcePicture::DialogPhoto: *p = {293, 115, "dialog photo", nullptr}; break;
    case forms::ResourcePicture::Icon: *p = {32, 32, "icon", nullptr}; break;
  }
  return p;
}

const std::string* FakePlatform::Stored(const std::string& key) const {
  auto it = settings.find({"SCRNSAVE: The Quildor Anthology", "Settings", key});
  return it == settings.end() ? nullptr : &it->second;
}

}  // namespace quildor::fake
