#include "app/artwork.h"

// After <windows.h> (through artwork.h), which they build on.
#include <objbase.h>
#include <wincodec.h>

#include <climits>
#include <cstddef>
#include <utility>

#include "platform/win32/handles.h"

namespace sv::app {
namespace {

using win32::ComPtr;

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::DeleteDC(handle); }
};
using MemoryDc = ScopedHandle<MemoryDcTraits>;

// Keeps a GDI object selected into a device context for a scope; the previous one comes back at
// its end, so the object can be deleted and the context reused.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  [[nodiscard]] bool Ok() const noexcept { return previous_ != nullptr && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// COM for the length of one call on a thread that had not initialised it.
class ComForThisCall {
 public:
  ComForThisCall() noexcept : ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ComForThisCall(const ComForThisCall&) = delete;
  ComForThisCall& operator=(const ComForThisCall&) = delete;
  ~ComForThisCall() {
    if (ok_) ::CoUninitialize();
  }
  [[nodiscard]] bool Ok() const noexcept { return ok_; }

 private:
  bool ok_;
};

struct Dib {
  BitmapHandle bitmap;
  std::uint32_t* pixels = nullptr;  // width * height pixels, top row first
};

// A top-down 32-bit DIB section, or a null bitmap when the size is unusable.
Dib CreateDib(int width, int height) noexcept {
  Dib dib;
  if (width <= 0 || height <= 0 || width > INT_MAX / 4 / height) return dib;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: the first row in memory is the top one
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dib.bitmap.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (dib.bitmap && bits != nullptr) {
    dib.pixels = static_cast<std::uint32_t*>(bits);
  } else {
    dib.bitmap.Reset();
  }
  return dib;
}

// The 32bppBGR format leaves the fourth byte undefined and GDI drawing clears it; an image list
// that sees some non-zero bytes there would take the rest for transparency.
void MakeOpaque(const Dib& dib, int width, int height) noexcept {
  ::GdiFlush();
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < count; ++i)
    dib.pixels[i] |= 0xFF000000u;
}

HRESULT CreateFactory(ComPtr<IWICImagingFactory>& factory) noexcept {
  return ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Receive()));
}

// A JPEG's last marker is EOI (FF D9). A decoder may fill a picture whose data stops early with
// grey and report success (libjpeg calls it a warning); a cut-off resource is a broken build and
// must show as one.
bool EndsLikeJpeg(std::span<const std::uint8_t> bytes) noexcept {
  // Some writers pad after EOI; allow a little of that, never a missing end.
  constexpr std::size_t kSlack = 16;
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
  const std::size_t first = bytes.size() > kSlack + 2 ? bytes.size() - kSlack - 2 : 2;
  for (std::size_t i = bytes.size() - 2; i >= first; --i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xD9) return true;
  }
  return false;
}

BitmapHandle Decode(IWICImagingFactory& factory, std::span<const std::uint8_t> bytes) noexcept {
  ComPtr<IWICStream> stream;
  if (FAILED(factory.CreateStream(stream.Receive()))) return {};
  // WIC only reads the buffer; its signature just lacks the const.
  if (FAILED(stream.Get()->InitializeFromMemory(const_cast<BYTE*>(bytes.data()),
                                                static_cast<DWORD>(bytes.size())))) {
    return {};
  }
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory.CreateDecoder(GUID_ContainerFormatJpeg, nullptr, decoder.Receive())) ||
      FAILED(decoder.Get()->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand))) {
    return {};
  }
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder.Get()->GetFrame(0, frame.Receive()))) return {};
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory.CreateFormatConverter(converter.Receive())) ||
      FAILED(converter.Get()->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR,
                                         WICBitmapDitherTypeNone, nullptr, 0.0,
                                         WICBitmapPaletteTypeCustom))) {
    return {};
  }
  UINT width = 0, height = 0;
  if (FAILED(converter.Get()->GetSize(&width, &height)) || width > INT_MAX || height > INT_MAX) {
    return {};
  }
  Dib dib = CreateDib(static_cast<int>(width), static_cast<int>(height));
  if (!dib.bitmap) return {};
  const UINT stride = width * 4;
  if (FAILED(converter.Get()->CopyPixels(nullptr, stride, stride * height,
                                         reinterpret_cast<BYTE*>(dib.pixels)))) {
    return {};
  }
  MakeOpaque(dib, static_cast<int>(width), static_cast<int>(height));
  return std::move(dib.bitmap);
}

bool CellSize(HIMAGELIST list, int& width, int& height) noexcept {
  return list != nullptr && ::ImageList_GetIconSize(list, &width, &height) && width > 0 &&
         height > 0;
}

}  // namespace

BitmapHandle DecodeJpeg(std::span<const std::uint8_t> bytes) noexcept {
  if (bytes.empty() || bytes.size() > MAXDWORD || !EndsLikeJpeg(bytes)) return {};
  ComPtr<IWICImagingFactory> factory;
  const HRESULT created = CreateFactory(factory);
  if (SUCCEEDED(created)) return Decode(*factory.Get(), bytes);
  if (created != CO_E_NOTINITIALIZED) return {};

  const ComForThisCall com;
  if (!com.Ok() || FAILED(CreateFactory(factory))) return {};
  BitmapHandle bitmap = Decode(*factory.Get(), bytes);
  factory.Reset();  // before COM goes away with `com`
  return bitmap;
}

BitmapHandle LoadJpegResource(HINSTANCE module, int id) noexcept {
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (found == nullptr) return {};
  const DWORD size = ::SizeofResource(module, found);
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0) return {};
  return DecodeJpeg(std::span(static_cast<const std::uint8_t*>(data), size));
}

ImageListHandle MakeStripImageList(HBITMAP strip, int cellWidth, int cellHeight) noexcept {
  BITMAP info{};
  if (strip == nullptr || cellWidth <= 0 || cellHeight <= 0 ||
      ::GetObjectW(strip, sizeof(info), &info) != sizeof(info) || info.bmHeight < cellHeight) {
    return {};
  }
  const int cells = info.bmWidth / cellWidth;
  if (cells <= 0) return {};
  ImageListHandle list(::ImageList_Create(cellWidth, cellHeight, ILC_COLOR32, cells, 0));
  // ImageList_Add cuts the strip into cells of the list's width itself.
  if (!list || ::ImageList_Add(list.Get(), strip, nullptr) < 0 ||
      ::ImageList_GetImageCount(list.Get()) != cells) {
    return {};
  }
  return list;
}

ImageListHandle MakeCheckImageList() noexcept {
  constexpr int kSize = 16;
  constexpr int kImages = 3;
  Dib dib = CreateDib(kSize * kImages, kSize);
  MemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dib.bitmap || !dc) return {};
  {
    const Selection bitmap(dc.Get(), dib.bitmap.Get());
    if (!bitmap.Ok()) return {};
    RECT all{0, 0, kSize * kImages, kSize};
    ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    // A check box of the usual 13 pixels. Flat: the sunken 3-D box draws its lower and right
    // edges in the highlight colour, which is white and would vanish on the white cell.
    RECT unticked{1, 1, 14, 14};
    RECT ticked{kSize + 1, 1, kSize + 14, 14};
    ::DrawFrameControl(dc.Get(), &unticked, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT);
    ::DrawFrameControl(dc.Get(), &ticked, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_FLAT);
    // The unsupported mark: a red disc crossed by a white bar.
    const Selection brush(dc.Get(), ::GetStockObject(DC_BRUSH));
    const Selection pen(dc.Get(), ::GetStockObject(DC_PEN));
    ::SetDCBrushColor(dc.Get(), RGB(204, 3, 3));
    ::SetDCPenColor(dc.Get(), RGB(204, 3, 3));
    ::Ellipse(dc.Get(), 2 * kSize + 1, 1, 2 * kSize + 15, 15);
    RECT bar{2 * kSize + 4, 7, 2 * kSize + 12, 9};
    ::FillRect(dc.Get(), &bar, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  }
  MakeOpaque(dib, kSize * kImages, kSize);
  // Grown two at a time, as the lists add their state images in pairs.
  ImageListHandle list(::ImageList_Create(kSize, kSize, ILC_COLOR32, kImages, 2));
  if (!list || ::ImageList_Add(list.Get(), dib.bitmap.Get(), nullptr) < 0 ||
      ::ImageList_GetImageCount(list.Get()) != kImages) {
    return {};
  }
  return list;
}

BitmapHandle CopyImageFromList(HIMAGELIST list, int index) noexcept {
  int width = 0, height = 0;
  if (!CellSize(list, width, height) || index < 0 || index >= ::ImageList_GetImageCount(list)) {
    return {};
  }
  Dib dib = CreateDib(width, height);
  MemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dib.bitmap || !dc) return {};
  {
    const Selection bitmap(dc.Get(), dib.bitmap.Get());
    if (!bitmap.Ok()) return {};
    RECT all{0, 0, width, height};
    ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    if (!::ImageList_Draw(list, index, dc.Get(), 0, 0, ILD_NORMAL)) return {};
  }
  MakeOpaque(dib, width, height);
  return std::move(dib.bitmap);
}

}  // namespace sv::app
