#include "platform/win32/win32_pictures.h"

#include <icm.h>
#include <wincodec.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "forms/picture_header.h"
#include "forms/run_time_error.h"
#include "platform/platform.h"

namespace quildor::win32 {

namespace {

template <class T>
struct ComPtr {
  T* p = nullptr;
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
  T* get() const { return p; }
};

[[noreturn]] void Fail(const std::string& name, const char* step, HRESULT hr) {
  char code[16];
  snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
  throw forms::RunTimeError("Cannot load the picture " + name + " (" + step + ", error 0x" + code +
                            ")");
}

// A picture file is read whole into memory for decoding; a larger one (no photograph is) is
// refused.
constexpr LONGLONG kMaxFileBytes = 256LL << 20;

// One factory per thread (the GUI thread's and the loader's), each made in its own thread's COM
// apartment, never passed between them.
IWICImagingFactory* Factory() {
  thread_local IWICImagingFactory* factory = [] {
    IWICImagingFactory* f = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IWICImagingFactory, reinterpret_cast<void**>(&f));
    if (FAILED(hr)) Fail("(no imaging component)", "WIC", hr);
    return f;
  }();
  return factory;
}

}  // namespace

namespace {

// The ICC profile the frame carries (JPEG APP2, PNG iCCP), or nothing.
std::vector<BYTE> EmbeddedProfile(IWICBitmapFrameDecode* frame) {
  UINT count = 0;
  if (FAILED(frame->GetColorContexts(0, nullptr, &count)) || count == 0) return {};
  std::vector<IWICColorContext*> contexts(count, nullptr);
  for (auto& c : contexts) {
    if (FAILED(Factory()->CreateColorContext(&c))) c = nullptr;
  }
  std::vector<BYTE> profile;
  UINT got = 0;
  if (std::all_of(contexts.begin(), contexts.end(), [](auto* c) { return c != nullptr; }) &&
      SUCCEEDED(frame->GetColorContexts(count, contexts.data(), &got))) {
    for (UINT i = 0; i < got && profile.empty(); ++i) {
      WICColorContextType type{};
      UINT bytes = 0;
      if (SUCCEEDED(contexts[i]->GetType(&type)) && type == WICColorContextProfile &&
          SUCCEEDED(contexts[i]->GetProfileBytes(0, nullptr, &bytes)) && bytes > 0) {
        profile.resize(bytes);
        if (FAILED(contexts[i]->GetProfileBytes(bytes, profile.data(), &bytes))) profile.clear();
      }
    }
  }
  for (auto* c : contexts) {
    if (c) c->Release();
  }
  return profile;
}

// Converts 32-bit BGR pixels from the colour space of `profile` to sRGB, the screen's, through
// the system's colour management (on Windows its colour system; under Wine, Little CMS). Leaves
// the pixels as they are when the profile is not one it can use.
void ConvertToSrgb(const std::vector<BYTE>& profile, void* bits, UINT width, UINT height) {
  PROFILE source{PROFILE_MEMBUFFER, const_cast<BYTE*>(profile.data()),
                 static_cast<DWORD>(profile.size())};
  HPROFILE from = OpenColorProfileW(&source, PROFILE_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (!from) return;
  wchar_t srgb_path[MAX_PATH];
  DWORD srgb_size = sizeof srgb_path;
  HPROFILE to = nullptr;
  constexpr DWORD kSrgb = 0x73524742;   // LCS_sRGB, the four letters 'sRGB'
  if (GetStandardColorSpaceProfileW(nullptr, kSrgb, srgb_path, &srgb_size)) {
    PROFILE srgb{PROFILE_FILENAME, srgb_path,
                 static_cast<DWORD>((wcslen(srgb_path) + 1) * sizeof(wchar_t))};
    to = OpenColorProfileW(&srgb, PROFILE_READ, FILE_SHARE_READ, OPEN_EXISTING);
  }
  if (to) {
    HPROFILE both[2] = {from, to};
    DWORD intent = INTENT_PERCEPTUAL;
    HTRANSFORM transform =
        CreateMultiProfileTransform(both, 2, &intent, 1, BEST_MODE, INDEX_DONT_CARE);
    if (transform) {
      const DWORD stride = width * 4;
      std::vector<BYTE> converted(std::size_t{stride} * height);
      if (TranslateBitmapBits(transform, bits, BM_xRGBQUADS, width, height, stride,
                              converted.data(), BM_xRGBQUADS, stride, nullptr, 0)) {
        std::memcpy(bits, converted.data(), converted.size());
      }
      DeleteColorTransform(transform);
    }
    CloseColorProfile(to);
  }
  CloseColorProfile(from);
}

// Decodes the first frame the stream holds, no larger than max_width x max_height (0: any size),
// stood upright as `orientation` says, in sRGB, transparent pixels composed over black.
forms::Picture Decode(IWICStream* stream, const std::string& name, int max_width, int max_height,
                      int orientation, const std::vector<BYTE>& file_profile) {
  IWICImagingFactory* factory = Factory();
  ComPtr<IWICBitmapDecoder> decoder;
  HRESULT hr = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                &decoder);
  if (FAILED(hr)) Fail(name, "not a picture", hr);
  ComPtr<IWICBitmapFrameDecode> frame;
  hr = decoder->GetFrame(0, &frame);
  if (FAILED(hr)) Fail(name, "frame", hr);
  UINT own_width = 0, own_height = 0;
  hr = frame->GetSize(&own_width, &own_height);
  if (FAILED(hr) || own_width == 0 || own_height == 0) Fail(name, "size", hr);
  GUID format{};
  decoder->GetContainerFormat(&format);
  forms::CheckDeclaredSize({IsEqualGUID(format, GUID_ContainerFormatJpeg)
                                ? forms::DeclaredSize::Format::Jpeg
                                : forms::DeclaredSize::Format::Png,
                            own_width, own_height},
                           name);

  // A picture stored on its side is scaled for the control turned the same way, right behind the
  // decoder (which lets a JPEG decoder scale while decoding), and stood upright as it is copied.
  const bool swaps = forms::SwapsAxes(orientation);
  IWICBitmapSource* source = frame.get();
  ComPtr<IWICBitmapScaler> scaler;
  const forms::PixelSize own{static_cast<int>(own_width), static_cast<int>(own_height)};
  const forms::PixelSize control =
      swaps ? forms::PixelSize{max_height, max_width} : forms::PixelSize{max_width, max_height};
  const forms::PixelSize scaled = forms::DecodedSize(own, control);
  if (scaled != own) {
    // Larger than the control either way: scaled once to exactly its size (it stretches).
    hr = factory->CreateBitmapScaler(&scaler);
    if (SUCCEEDED(hr)) {
      hr = scaler->Initialize(frame.get(), static_cast<UINT>(scaled.width),
                              static_cast<UINT>(scaled.height), WICBitmapInterpolationModeFant);
    }
    if (FAILED(hr)) Fail(name, "scale", hr);
    source = scaler.get();
  }
  const UINT width = static_cast<UINT>(swaps ? scaled.height : scaled.width);
  const UINT height = static_cast<UINT>(swaps ? scaled.width : scaled.height);
  // Premultiplied: a transparent pixel's colour counts only as much as it covers, so with the
  // alpha left out the picture is composed over black.
  ComPtr<IWICBitmapSource> converted;
  hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, source, &converted);
  if (FAILED(hr)) Fail(name, "convert", hr);

  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = static_cast<LONG>(width);
  bi.bmiHeader.biHeight = -static_cast<LONG>(height);   // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) Fail(name, "memory", E_OUTOFMEMORY);
  const UINT stride = width * 4;
  if (orientation == 1) {
    hr = converted->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits));
  } else {
    // Stood upright pixel by pixel (WIC's flip-rotator cannot mirror or turn under Wine).
    const forms::Turn turn{orientation, scaled.width, scaled.height};
    std::vector<std::uint32_t> stored(std::size_t{width} * height);
    hr = converted->CopyPixels(nullptr, static_cast<UINT>(scaled.width) * 4, stride * height,
                               reinterpret_cast<BYTE*>(stored.data()));
    auto* upright = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < static_cast<int>(height); ++y) {
      for (int x = 0; x < static_cast<int>(width); ++x) {
        upright[y * width + x] = stored[turn.StoredY(x, y) * scaled.width + turn.StoredX(x, y)];
      }
    }
  }
  if (FAILED(hr)) {
    DeleteObject(bitmap);
    Fail(name, "decode", hr);
  }
  // The profile WIC finds in the frame; a JPEG's own, read from the file, where WIC finds none
  // (Wine's JPEG decoder does not report it).
  std::vector<BYTE> profile = EmbeddedProfile(frame.get());
  if (profile.empty()) profile = file_profile;
  if (!profile.empty()) ConvertToSrgb(profile, bits, width, height);

  auto p = std::make_shared<forms::PictureData>();
  p->width = static_cast<int>(swaps ? own_height : own_width);
  p->height = static_cast<int>(swaps ? own_width : own_height);
  p->source = name;
  p->native = std::shared_ptr<void>(bitmap, [](void* b) { DeleteObject(static_cast<HBITMAP>(b)); });
  return p;
}

}  // namespace

forms::Picture DecodePicture(const void* data, std::size_t size, const std::string& name) {
  ComPtr<IWICStream> stream;
  HRESULT hr = Factory()->CreateStream(&stream);
  if (SUCCEEDED(hr)) {
    hr = stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                      static_cast<DWORD>(size));
  }
  if (FAILED(hr)) Fail(name, "stream", hr);
  return Decode(stream.get(), name, 0, 0, 1, {});
}

forms::Picture LoadPictureFile(const std::wstring& path, const std::string& name, int width,
                               int height) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) Fail(name, "no such file", HRESULT_FROM_WIN32(GetLastError()));
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) Fail(name, "a folder", E_INVALIDARG);

  // The file is read whole, and what its header declares is checked before any decoder sees it:
  // some decoders allocate (or overrun) a buffer of the declared size before they notice
  // anything wrong, and show a GIF or BMP that ends early without a word.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(name, "open", HRESULT_FROM_WIN32(GetLastError()));
  LARGE_INTEGER file_size{};
  std::vector<std::uint8_t> bytes;
  bool read = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &file_size) &&
              file_size.QuadPart <= kMaxFileBytes;
  if (read) {
    bytes.resize(static_cast<std::size_t>(file_size.QuadPart));
    DWORD got = 0;
    read = bytes.empty() ||
           (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
            got == bytes.size());
  }
  CloseHandle(file);
  if (!read) Fail(name, "not a file", E_INVALIDARG);
  int orientation = 1;
  if (const auto declared = forms::ReadDeclaredSize(bytes.data(), bytes.size())) {
    forms::CheckDeclaredSize(*declared, name);
    if (forms::CutShort(*declared, bytes.data(), bytes.size())) {
      Fail(name, "cut short", HRESULT_FROM_WIN32(ERROR_HANDLE_EOF));
    }
    orientation = declared->orientation;
  }
  ComPtr<IWICStream> stream;
  HRESULT hr = Factory()->CreateStream(&stream);
  if (SUCCEEDED(hr)) {
    hr = stream->InitializeFromMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
  }
  if (FAILED(hr)) Fail(name, "open", hr);
  return Decode(stream.get(), name, width, height, orientation,
                forms::JpegIccProfile(bytes.data(), bytes.size()));
}

HBITMAP BitmapOf(const forms::Picture& p) {
  return p && p->native ? static_cast<HBITMAP>(p->native.get()) : nullptr;
}

}  // namespace quildor::win32
