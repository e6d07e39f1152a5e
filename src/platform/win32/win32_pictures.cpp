#include "platform/win32/win32_pictures.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <vector>
#include <cstring>
#include <memory>

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

IWICImagingFactory* Factory() {
  static IWICImagingFactory* factory = [] {
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

// Decodes the first frame the stream holds, no larger than max_width x max_height (0: any size).
forms::Picture Decode(IWICStream* stream, const std::string& name, int max_width, int max_height) {
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

  IWICBitmapSource* source = frame.get();
  ComPtr<IWICBitmapScaler> scaler;
  const forms::PixelSize own{static_cast<int>(own_width), static_cast<int>(own_height)};
  const forms::PixelSize shown = forms::DecodedSize(own, {max_width, max_height});
  const UINT width = static_cast<UINT>(shown.width), height = static_cast<UINT>(shown.height);
  if (shown != own) {
    // Larger than the control either way: scaled once to exactly its size (it stretches).
    hr = factory->CreateBitmapScaler(&scaler);
    if (SUCCEEDED(hr)) {
      hr = scaler->Initialize(frame.get(), width, height, WICBitmapInterpolationModeFant);
    }
    if (FAILED(hr)) Fail(name, "scale", hr);
    source = scaler.get();
  }
  ComPtr<IWICBitmapSource> converted;
  hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, source, &converted);
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
  hr = converted->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits));
  if (FAILED(hr)) {
    DeleteObject(bitmap);
    Fail(name, "decode", hr);
  }

  auto p = std::make_shared<forms::PictureData>();
  p->width = static_cast<int>(own_width);
  p->height = static_cast<int>(own_height);
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
  return Decode(stream.get(), name, 0, 0);
}

forms::Picture LoadPictureFile(const std::wstring& path, const std::string& name, int width,
                               int height) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) Fail(name, "no such file", HRESULT_FROM_WIN32(GetLastError()));
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) Fail(name, "a folder", E_INVALIDARG);

  // The size the header declares is checked before any decoder sees the file: some decoders
  // allocate (or overrun) a buffer of that size before they notice anything wrong.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail(name, "open", HRESULT_FROM_WIN32(GetLastError()));
  std::vector<std::uint8_t> head(1 << 20);
  DWORD got = 0;
  const bool read = GetFileType(file) == FILE_TYPE_DISK &&
                    ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr);
  CloseHandle(file);
  if (!read) Fail(name, "not a file", E_INVALIDARG);
  if (const auto declared = forms::ReadDeclaredSize(head.data(), got)) {
    forms::CheckDeclaredSize(*declared, name);
  }
  ComPtr<IWICStream> stream;
  HRESULT hr = Factory()->CreateStream(&stream);
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_READ);
  if (FAILED(hr)) Fail(name, "open", hr);
  return Decode(stream.get(), name, width, height);
}

HBITMAP BitmapOf(const forms::Picture& p) {
  return p && p->native ? static_cast<HBITMAP>(p->native.get()) : nullptr;
}

}  // namespace quildor::win32
