#include "platform/win32/win32_pictures.h"

#include <wincodec.h>

#include <cstring>
#include <memory>

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
  throw PlatformError("Cannot load the picture " + name + " (" + step + ", error 0x" + code + ")");
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

forms::Picture DecodePicture(const void* data, std::size_t size, const std::string& name) {
  IWICImagingFactory* factory = Factory();
  ComPtr<IWICStream> stream;
  HRESULT hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr)) {
    hr = stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                      static_cast<DWORD>(size));
  }
  if (FAILED(hr)) Fail(name, "stream", hr);
  ComPtr<IWICBitmapDecoder> decoder;
  hr = factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                        &decoder);
  if (FAILED(hr)) Fail(name, "not a picture", hr);
  ComPtr<IWICBitmapFrameDecode> frame;
  hr = decoder->GetFrame(0, &frame);
  if (FAILED(hr)) Fail(name, "frame", hr);
  ComPtr<IWICBitmapSource> converted;
  hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.get(), &converted);
  if (FAILED(hr)) Fail(name, "convert", hr);
  UINT width = 0, height = 0;
  converted->GetSize(&width, &height);
  if (width == 0 || height == 0) Fail(name, "size", E_FAIL);

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
  p->width = static_cast<int>(width);
  p->height = static_cast<int>(height);
  p->source = name;
  p->native = std::shared_ptr<void>(bitmap, [](void* b) { DeleteObject(static_cast<HBITMAP>(b)); });
  return p;
}

HBITMAP BitmapOf(const forms::Picture& p) {
  return p && p->native ? static_cast<HBITMAP>(p->native.get()) : nullptr;
}

}  // namespace quildor::win32
