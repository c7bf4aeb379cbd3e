// The window's artwork through the real Windows Imaging Component, GDI and image lists: every
// committed picture decodes to the size the resource table gives it, with the colours drawn there;
// broken data gives no bitmap; the strips and the check marks become the image lists the window
// needs.
#include <windows.h>
//
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/artwork.h"
#include "app/resource_ids.h"

namespace sv::app {
namespace {

struct Rgb {
  int r, g, b;
};

struct Probe {
  int x, y;
  Rgb colour;
};

struct Picture {
  const char* file;
  int id;
  int width, height;
  std::vector<Probe> probes;  // places whose colour make-artwork.sh paints flat
};

void PrintTo(const Picture& picture, std::ostream* out) {
  *out << picture.file;
}

constexpr Rgb kBlue{0, 130, 203};
constexpr Rgb kBlueLight{72, 170, 226};
constexpr Rgb kMist{226, 236, 246};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kHeaderMiddle{12, 128, 196};  // the title area's gradient, row 40 of 81
constexpr Rgb kHeaderTop{24, 152, 222};
constexpr Rgb kSlate{42, 58, 81};  // the foot's gradient near its bottom

const std::vector<Picture>& Pictures() {
  static const std::vector<Picture> pictures = {
      {"logo.jpg", IDJ_LOGO, 312, 81, {{5, 40, kHeaderMiddle}, {22, 40, kWhite}}},
      {"header.jpg", IDJ_HEADER, 380, 81, {{190, 40, kHeaderMiddle}, {379, 0, kHeaderTop}}},
      {"side.jpg", IDJ_SIDE, 9, 517, {{4, 40, kHeaderMiddle}, {4, 200, kMist}, {4, 515, kSlate}}},
      {"foot.jpg", IDJ_FOOT, 692, 14, {{300, 0, kBlue}, {300, 12, kSlate}}},
      {"title-r.jpg", IDJ_TITLE_R, 200, 22, {{7, 10, kBlue}, {150, 3, kMist}}},
      {"title-n.jpg", IDJ_TITLE_N, 200, 22, {{7, 10, kBlue}, {150, 3, kMist}}},
      {"strip-button.jpg",
       IDJ_STRIP_BUTTON,
       900,
       91,
       {{45, 14, kBlue},
        {135, 14, kBlueLight},
        {135, 7, kMist},
        {2, 88, kWhite},
        {855, 14, kBlueLight}}},
      {"strip-other.jpg", IDJ_STRIP_OTHER, 120, 11, {{2, 5, {22, 149, 218}}, {45, 2, kMist}}},
      {"strip-help.jpg",
       IDJ_STRIP_HELP,
       244,
       31,
       {{6, 15, kMist}, {67, 15, kBlue}, {0, 0, kWhite}}},
      {"strip-topbutton.jpg",
       IDJ_STRIP_TOPBUTTON,
       312,
       18,
       {{10, 9, {40, 160, 226}}, {88, 9, kMist}, {244, 9, kMist}}},
      {"menu-app.jpg", IDJ_MENU_APP, 16, 16, {{2, 8, kBlue}, {0, 0, kWhite}}},
      {"menu-update.jpg", IDJ_MENU_UPDATE, 16, 16, {{4, 11, kBlue}, {0, 0, kWhite}}},
  };
  return pictures;
}

// The pictures as committed; the build copies them into bin\artwork, the working folder's child.
std::vector<std::uint8_t> ReadPicture(const std::string& file) {
  std::ifstream in("artwork\\" + file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> data;  // 0xAARRGGBB, top row first

  [[nodiscard]] std::uint32_t At(int x, int y) const {
    return data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x)];
  }
  [[nodiscard]] Rgb ColourAt(int x, int y) const {
    const std::uint32_t p = At(x, y);
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
  }
};

// The pixels of a bitmap as 0xAARRGGBB, top row first as it appears on screen, whichever way
// round its memory is laid out. Our bitmaps are 32-bit DIB sections; anything else reads as empty.
Pixels Read(HBITMAP bitmap) {
  DIBSECTION dib{};
  Pixels pixels;
  if (::GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 32) {
    ADD_FAILURE() << "not a 32-bit DIB section";
    return pixels;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = dib.dsBm.bmWidth;
  info.bmiHeader.biHeight = -dib.dsBm.bmHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> data(static_cast<std::size_t>(dib.dsBm.bmWidth) *
                                  static_cast<std::size_t>(dib.dsBm.bmHeight));
  HDC screen = ::GetDC(nullptr);
  const int rows = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(dib.dsBm.bmHeight), data.data(),
                               &info, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, screen);
  if (rows != dib.dsBm.bmHeight) {
    ADD_FAILURE() << "GetDIBits read " << rows << " rows";
    return pixels;
  }
  pixels.width = dib.dsBm.bmWidth;
  pixels.height = dib.dsBm.bmHeight;
  pixels.data = std::move(data);
  return pixels;
}

::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance) {
  if (std::abs(actual.r - expected.r) <= tolerance &&
      std::abs(actual.g - expected.g) <= tolerance &&
      std::abs(actual.b - expected.b) <= tolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "RGB(" << actual.r << "," << actual.g << "," << actual.b << ") instead of RGB("
         << expected.r << "," << expected.g << "," << expected.b << ")";
}

// The window's thread has COM; so do the tests, unless a test says otherwise.
class WithCom : public ::testing::Test {
 protected:
  void SetUp() override {
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    initialised_ = SUCCEEDED(hr);
    ASSERT_TRUE(initialised_ || hr == RPC_E_CHANGED_MODE);
  }
  void TearDown() override {
    if (initialised_) ::CoUninitialize();
  }

 private:
  bool initialised_ = false;
};

class ArtworkPicture : public WithCom, public ::testing::WithParamInterface<Picture> {};

TEST_P(ArtworkPicture, DecodesToItsSizeWithThePaintedColours) {
  const Picture& picture = GetParam();
  const std::vector<std::uint8_t> bytes = ReadPicture(picture.file);
  ASSERT_FALSE(bytes.empty()) << picture.file << " was not copied beside the tests";
  const BitmapHandle bitmap = DecodeJpeg(bytes);
  ASSERT_TRUE(bitmap);
  const Pixels pixels = Read(bitmap.Get());
  ASSERT_EQ(pixels.width, picture.width);
  ASSERT_EQ(pixels.height, picture.height);
  for (const Probe& probe : picture.probes) {
    EXPECT_TRUE(Near(pixels.ColourAt(probe.x, probe.y), probe.colour, 12))
        << "at " << probe.x << "," << probe.y;
    EXPECT_EQ(pixels.At(probe.x, probe.y) >> 24, 0xFFu) << "not opaque";
  }
}

// The resource script names the right file for each identifier: the picture embedded in this
// program decodes to exactly the pixels of the file.
TEST_P(ArtworkPicture, TheResourceHoldsTheSamePicture) {
  const Picture& picture = GetParam();
  const BitmapHandle fromFile = DecodeJpeg(ReadPicture(picture.file));
  const BitmapHandle fromResource = LoadJpegResource(::GetModuleHandleW(nullptr), picture.id);
  ASSERT_TRUE(fromFile);
  ASSERT_TRUE(fromResource);
  const Pixels file = Read(fromFile.Get());
  const Pixels resource = Read(fromResource.Get());
  EXPECT_EQ(resource.width, file.width);
  EXPECT_EQ(resource.height, file.height);
  EXPECT_TRUE(resource.data == file.data);
}

INSTANTIATE_TEST_SUITE_P(Committed, ArtworkPicture, ::testing::ValuesIn(Pictures()),
                         [](const ::testing::TestParamInfo<Picture>& param) {
                           std::string name = param.param.file;
                           for (char& c : name) {
                             if (c == '-' || c == '.') c = '_';
                           }
                           return name;
                         });

// The application icon carries the three sizes the shell asks for, each drawn for its size.
TEST(ArtworkIcon, HoldsSixteenThirtyTwoAndFortyEight) {
  HMODULE self = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(IDI_SORVANE), RT_GROUP_ICON);
  ASSERT_NE(found, nullptr);
  const auto* directory =
      static_cast<const std::uint8_t*>(::LockResource(::LoadResource(self, found)));
  ASSERT_NE(directory, nullptr);
  // The group directory: three 16-bit fields, then one 14-byte entry per image.
  const int count = directory[4] | (directory[5] << 8);
  ASSERT_EQ(::SizeofResource(self, found), static_cast<DWORD>(6 + 14 * count));
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* entry = directory + 6 + 14 * i;
    EXPECT_EQ(entry[0], entry[1]) << "a square icon";
    sizes.push_back(entry[0]);
    const int bits = entry[6] | (entry[7] << 8);
    EXPECT_EQ(bits, 32) << "colour with an alpha channel";
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
}

struct BrokenData {
  const char* name;
  std::vector<std::uint8_t> bytes;
};

std::vector<BrokenData> BrokenPictures() {
  const std::vector<std::uint8_t> logo = ReadPicture("logo.jpg");
  const auto cut = [&](std::size_t size) {
    return std::vector<std::uint8_t>(logo.begin(), logo.begin() + static_cast<long>(size));
  };
  std::vector<std::uint8_t> garbage(4096);
  std::uint32_t state = 12345;
  for (auto& byte : garbage) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 16);
  }
  // The end of a JPEG without anything that describes a picture.
  std::vector<std::uint8_t> markersOnly = {0xFF, 0xD8, 0xFF, 0xD9};
  // The start of a PNG, which the system could decode but is no JPEG.
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0xFF, 0xD9};
  return {{"empty", {}},
          {"start marker only", cut(2)},
          {"headers only", cut(300)},
          {"half", cut(logo.size() / 2)},
          {"all but the end marker", cut(logo.size() - 2)},
          {"garbage", garbage},
          {"markers only", markersOnly},
          {"not a jpeg", png}};
}

class ArtworkBrokenData : public WithCom {};

TEST_F(ArtworkBrokenData, GivesNoBitmap) {
  ASSERT_GT(ReadPicture("logo.jpg").size(), 600u);
  for (const BrokenData& broken : BrokenPictures()) {
    EXPECT_FALSE(DecodeJpeg(broken.bytes)) << broken.name;
  }
  EXPECT_FALSE(LoadJpegResource(::GetModuleHandleW(nullptr), 9999)) << "no such resource";
  EXPECT_FALSE(LoadJpegResource(::GetModuleHandleW(nullptr), IDI_SORVANE)) << "an icon";
}

// The window's thread initialises COM, but a decode elsewhere must not fail for want of it, nor
// leave COM behind on that thread.
TEST(ArtworkWithoutCom, DecodesAndLeavesComAsItFoundIt) {
  const std::vector<std::uint8_t> bytes = ReadPicture("menu-app.jpg");
  bool decoded = false;
  HRESULT afterwards = E_FAIL;
  std::thread worker([&] {
    decoded = static_cast<bool>(DecodeJpeg(bytes));
    afterwards = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(afterwards)) ::CoUninitialize();
  });
  worker.join();
  EXPECT_TRUE(decoded);
  EXPECT_EQ(afterwards, S_OK) << "COM was left initialised on the thread";
}

struct Strip {
  const char* file;
  int cellWidth, cellHeight, cells;
};

class ArtworkStrips : public WithCom {};

TEST_F(ArtworkStrips, EachGivesItsCellsInOrder) {
  const Strip strips[] = {{"strip-button.jpg", 90, 91, 10},
                          {"strip-other.jpg", 30, 11, 4},
                          {"strip-help.jpg", 61, 31, 4},
                          {"strip-topbutton.jpg", 78, 18, 4}};
  for (const Strip& strip : strips) {
    SCOPED_TRACE(strip.file);
    const BitmapHandle bitmap = DecodeJpeg(ReadPicture(strip.file));
    ASSERT_TRUE(bitmap);
    const Pixels whole = Read(bitmap.Get());
    const ImageListHandle list =
        MakeStripImageList(bitmap.Get(), strip.cellWidth, strip.cellHeight);
    ASSERT_TRUE(list);
    ASSERT_EQ(::ImageList_GetImageCount(list.Get()), strip.cells);
    int width = 0, height = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(list.Get(), &width, &height));
    EXPECT_EQ(width, strip.cellWidth);
    EXPECT_EQ(height, strip.cellHeight);
    // Each image is its own cell of the strip: compare the cell's middle column.
    for (int cell = 0; cell < strip.cells; ++cell) {
      const BitmapHandle copy = CopyImageFromList(list.Get(), cell);
      ASSERT_TRUE(copy) << "cell " << cell;
      const Pixels image = Read(copy.Get());
      ASSERT_EQ(image.width, strip.cellWidth);
      ASSERT_EQ(image.height, strip.cellHeight);
      for (int y = 0; y < strip.cellHeight; ++y) {
        const int x = strip.cellWidth / 2;
        ASSERT_TRUE(Near(image.ColourAt(x, y), whole.ColourAt(cell * strip.cellWidth + x, y), 2))
            << "cell " << cell << " at " << x << "," << y;
      }
    }
    EXPECT_FALSE(CopyImageFromList(list.Get(), -1));
    EXPECT_FALSE(CopyImageFromList(list.Get(), strip.cells));
    EXPECT_FALSE(CopyImageFromList(list.Get(), strip.cells + 7));
  }
}

TEST_F(ArtworkStrips, OnlyWholeCellsBecomeImages) {
  const BitmapHandle bitmap = DecodeJpeg(ReadPicture("strip-button.jpg"));
  ASSERT_TRUE(bitmap);
  const struct {
    int width, height, images;  // images 0: no list at all
  } cases[] = {{100, 91, 9}, {90, 50, 10}, {900, 91, 1}, {901, 91, 0},
               {90, 92, 0},  {0, 91, 0},   {90, 0, 0},   {-90, 91, 0}};
  for (const auto& c : cases) {
    const ImageListHandle list = MakeStripImageList(bitmap.Get(), c.width, c.height);
    EXPECT_EQ(list ? ::ImageList_GetImageCount(list.Get()) : 0, c.images)
        << c.width << " by " << c.height;
  }
  EXPECT_FALSE(MakeStripImageList(nullptr, 90, 91));
  EXPECT_FALSE(CopyImageFromList(nullptr, 0));
}

TEST(ArtworkCheckImages, UntickedTickedAndUnsupported) {
  const ImageListHandle list = MakeCheckImageList();
  ASSERT_TRUE(list);
  ASSERT_EQ(::ImageList_GetImageCount(list.Get()), 3);
  int width = 0, height = 0;
  ASSERT_TRUE(::ImageList_GetIconSize(list.Get(), &width, &height));
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 16);

  std::vector<Pixels> images;
  for (int i = 0; i < 3; ++i) {
    const BitmapHandle copy = CopyImageFromList(list.Get(), i);
    ASSERT_TRUE(copy);
    images.push_back(Read(copy.Get()));
    ASSERT_EQ(images.back().width, 16);
    EXPECT_TRUE(Near(images.back().ColourAt(0, 0), kWhite, 0)) << "image " << i << " not on white";
  }
  EXPECT_FALSE(images[0].data == images[1].data) << "the tick is missing";
  // Both boxes have an edge; the unticked one is empty inside, the tick darkens the middle.
  EXPECT_FALSE(Near(images[0].ColourAt(1, 7), kWhite, 30));
  EXPECT_FALSE(Near(images[1].ColourAt(1, 7), kWhite, 30));
  EXPECT_TRUE(Near(images[0].ColourAt(7, 7), kWhite, 0));
  EXPECT_FALSE(Near(images[1].ColourAt(7, 7), kWhite, 60));
  // A red disc crossed by a white bar.
  EXPECT_TRUE(Near(images[2].ColourAt(8, 4), {204, 3, 3}, 0));
  EXPECT_TRUE(Near(images[2].ColourAt(8, 12), {204, 3, 3}, 0));
  EXPECT_TRUE(Near(images[2].ColourAt(8, 7), kWhite, 0));
  EXPECT_FALSE(CopyImageFromList(list.Get(), 3));
}

}  // namespace
}  // namespace sv::app
