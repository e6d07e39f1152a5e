#include "fake/fake_platform.h"

#include <memory>

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
  if (fail_writes) throw PlatformError("The settings store cannot be written");
  ++settings_writes;
  settings[{app, section, key}] = value;
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
