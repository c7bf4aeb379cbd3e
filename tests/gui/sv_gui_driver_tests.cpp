// The GUI driver against sv_gui_fixture.exe, a window whose behaviour is known, so the driver is
// proven before it meets the program's own window.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fixture_ids.h"
#include "gui_driver.h"

namespace sv::gui {
namespace {

// Identifiers of the fixture's controls.
using namespace sv::gui::fixture;

std::wstring BesideThisProgram(const std::wstring& name) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

std::wstring TempFile(const std::wstring& name) {
  wchar_t folder[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, folder);
  return std::wstring(folder) + name;
}

using Rows = std::vector<std::vector<std::wstring>>;

class FixtureWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    auto started = Process::Launch(BesideThisProgram(L"sv_gui_fixture.exe"));
    ASSERT_TRUE(started.has_value()) << "sv_gui_fixture.exe did not start";
    process_.emplace(std::move(*started));
    main_ = WaitForTopLevelWindow(process_->Id(), L"SvGuiFixture");
    ASSERT_NE(main_, nullptr) << "the fixture window did not appear";
  }

  void TearDown() override {
    if (!process_) return;
    for (HWND box : MessageBoxes(process_->Id()))
      PressMessageBoxButton(box, ::GetDlgItem(box, IDOK) != nullptr ? IDOK : IDNO);
    if (main_ != nullptr) ::PostMessageW(main_, WM_CLOSE, 0, 0);
    static_cast<void>(process_->WaitForExit());
  }

  [[nodiscard]] ListView List() const { return ListView(Control(main_, kList)); }

  std::optional<Process> process_;
  HWND main_ = nullptr;
};

TEST_F(FixtureWindow, FindsEveryControlByItsIdAlsoInsidePanels) {
  const struct {
    int id;
    const wchar_t* className;
  } controls[] = {
      {kPanel, L"FixturePanel"},       {kList, L"SysListView32"}, {kCheckBox, L"Button"},
      {kImageButton, L"FixtureImage"}, {kLabel, L"Static"},       {kEdit, L"Edit"},
  };
  for (const auto& control : controls) {
    HWND found = FindControl(main_, control.id);
    ASSERT_NE(found, nullptr) << control.id;
    EXPECT_EQ(_wcsicmp(ClassName(found).c_str(), control.className), 0)
        << control.id << " is a " << ClassName(found).size() << "-letter class";
    EXPECT_TRUE(IsVisible(found)) << control.id;
  }
  // The list sits in the panel, not directly in the window.
  EXPECT_EQ(::GetParent(FindControl(main_, kList)), FindControl(main_, kPanel));
  EXPECT_EQ(FindControl(main_, 999), nullptr);
  EXPECT_THROW(static_cast<void>(Control(main_, 999)), std::runtime_error);
}

TEST_F(FixtureWindow, ReadsTextsOfWindowsAndLabels) {
  EXPECT_EQ(Text(main_), L"Fixture");
  EXPECT_EQ(Text(Control(main_, kLabel)), L"Fixture label");
  EXPECT_EQ(Text(Control(main_, kOpenedLabel)), L"");
  EXPECT_EQ(ProcessOf(main_), process_->Id());
  EXPECT_TRUE(IsEnabled(Control(main_, kImageButton)));
  EXPECT_FALSE(IsEnabled(Control(main_, kDisabledImageButton)));
}

TEST_F(FixtureWindow, ReadsEveryCellStateImageAndTickOfTheOtherProcessList) {
  const ListView list = List();
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.ColumnCount(), 3);
  EXPECT_EQ(list.Rows(), (Rows{{L"1", L"Alpha", L"Supported"},
                               {L"2", L"Beta", L"Unsupported"},
                               {L"3", L"Gamma", L"Supported"}}));
  EXPECT_EQ(list.StateImages(), (std::vector<int>{1, 3, 1}));
  for (int item = 0; item < 3; ++item)
    EXPECT_EQ(list.Param(item), 0) << item;
  EXPECT_EQ(list.Find(1, L"Gamma"), 2);
  EXPECT_EQ(list.Find(1, L"Omega"), -1);
  const RECT first = list.ItemRect(0);
  const RECT second = list.ItemRect(1);
  EXPECT_GT(first.right, first.left);
  EXPECT_EQ(second.top, first.bottom);
}

struct TickCase {
  int row;
  int clicks;
  LPARAM tick;
  int image;
};

class TickByStateIcon : public FixtureWindow, public ::testing::WithParamInterface<TickCase> {};

TEST_P(TickByStateIcon, TogglesOnlyThatRow) {
  const TickCase& wanted = GetParam();
  const ListView list = List();
  std::vector<int> images = list.StateImages();
  for (int click = 1; click <= wanted.clicks; ++click) {
    ASSERT_TRUE(list.ClickStateIcon(wanted.row));
    const LPARAM tick = click % 2;
    ASSERT_TRUE(WaitUntil([&] { return list.Param(wanted.row) == tick; })) << "click " << click;
  }
  EXPECT_EQ(list.Param(wanted.row), wanted.tick);
  images[static_cast<size_t>(wanted.row)] = wanted.image;
  EXPECT_EQ(list.StateImages(), images);
}

INSTANTIATE_TEST_SUITE_P(Rows, TickByStateIcon,
                         ::testing::Values(TickCase{0, 1, 1, 2}, TickCase{0, 2, 0, 1},
                                           TickCase{1, 1, 1, 3}, TickCase{2, 1, 1, 2},
                                           TickCase{2, 3, 1, 2}));

TEST_F(FixtureWindow, ClickOnARowTextSelectsItWithoutTickingAndSpaceTicksIt) {
  const ListView list = List();
  ASSERT_TRUE(list.ClickRow(2));
  ASSERT_TRUE(WaitUntil([&] { return list.IsFocused(2) && list.IsSelected(2); }));
  EXPECT_EQ(list.Param(2), 0);
  ASSERT_TRUE(PressKey(list.Window(), VK_SPACE));
  EXPECT_TRUE(WaitUntil([&] { return list.Param(2) == 1; }));
  EXPECT_EQ(list.StateImages(), (std::vector<int>{1, 3, 2}));
}

class DoubleClickRow : public FixtureWindow,
                       public ::testing::WithParamInterface<std::pair<int, const wchar_t*>> {};

TEST_P(DoubleClickRow, OpensTheFocusedRow) {
  const auto& [row, label] = GetParam();
  const ListView list = List();
  ASSERT_TRUE(list.DoubleClickRow(row));
  HWND opened = Control(main_, kOpenedLabel);
  EXPECT_TRUE(WaitUntil([&] { return Text(opened) == label; })) << "saw " << Text(opened).size();
  EXPECT_EQ(list.Param(row), 0) << "a double click on the text must not tick";
}

INSTANTIATE_TEST_SUITE_P(Rows, DoubleClickRow,
                         ::testing::Values(std::pair{0, L"Opened Alpha"},
                                           std::pair{1, L"Opened Beta"},
                                           std::pair{2, L"Opened Gamma"}));

TEST_F(FixtureWindow, CheckBoxIsSetAndClearedAndItsOwnerIsTold) {
  HWND box = Control(main_, kCheckBox);
  HWND label = Control(main_, kCheckLabel);
  EXPECT_FALSE(IsChecked(box));
  for (const bool checked : {true, false, true}) {
    ASSERT_TRUE(SetChecked(box, checked));
    EXPECT_EQ(IsChecked(box), checked);
    EXPECT_TRUE(WaitUntil([&] { return Text(label) == (checked ? L"checked" : L"clear"); }));
  }
  // Already in the wanted state: nothing is clicked.
  ASSERT_TRUE(SetChecked(box, true));
  EXPECT_TRUE(IsChecked(box));
}

class MessageBoxAnswer : public FixtureWindow,
                         public ::testing::WithParamInterface<std::pair<int, const wchar_t*>> {};

TEST_P(MessageBoxAnswer, IsReadAndAnsweredByItsButton) {
  const auto& [button, answer] = GetParam();
  ASSERT_TRUE(Click(Control(main_, kImageButton)));
  const auto box = WaitForMessageBox(process_->Id());
  ASSERT_TRUE(box.has_value()) << "no message box";
  EXPECT_EQ(box->caption, L"Confirm");
  EXPECT_EQ(box->text, L"Remove everything? ");
  EXPECT_EQ(box->owner, main_);
  ASSERT_TRUE(PressMessageBoxButton(box->window, button));
  HWND label = Control(main_, kAnswerLabel);
  EXPECT_TRUE(WaitUntil([&] { return Text(label) == answer; }));
  EXPECT_TRUE(MessageBoxes(process_->Id()).empty());
}

INSTANTIATE_TEST_SUITE_P(Buttons, MessageBoxAnswer,
                         ::testing::Values(std::pair{IDYES, L"yes"}, std::pair{IDNO, L"no"}));

TEST_F(FixtureWindow, EnterOnAnImageButtonClicksIt) {
  ASSERT_TRUE(PressKey(Control(main_, kImageButton), VK_RETURN));
  const auto box = WaitForMessageBox(process_->Id());
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, L"Confirm");
  EXPECT_FALSE(PressMessageBoxButton(box->window, IDOK)) << "a yes/no box has no OK button";
  ASSERT_TRUE(PressMessageBoxButton(box->window, IDNO));
}

TEST_F(FixtureWindow, DisabledButtonsTakeNoClicks) {
  HWND disabled = Control(main_, kDisabledImageButton);
  EXPECT_FALSE(Click(disabled));
  EXPECT_FALSE(PressKey(disabled, VK_RETURN));
  EXPECT_FALSE(WaitForMessageBox(process_->Id(), Milliseconds{300}).has_value());
}

TEST_F(FixtureWindow, SetsTheTextOfAnEdit) {
  HWND edit = Control(main_, kEdit);
  SetText(edit, L"Pebblenote 3.4.2");
  EXPECT_EQ(Text(edit), L"Pebblenote 3.4.2");
}

TEST_F(FixtureWindow, ReadsTheEntriesAndSelectionOfADropDownList) {
  HWND combo = Control(main_, kCombo);
  EXPECT_EQ(ComboItems(combo),
            (std::vector<std::wstring>{L"All Types(3)", L"Networking Software (1)", L"Games (2)"}));
  EXPECT_EQ(ComboSelection(combo), 1);
}

TEST_F(FixtureWindow, WaitsForARowThatComesLater) {
  const ListView list = List();
  ASSERT_TRUE(Click(Control(main_, kAddLater)));
  ASSERT_TRUE(WaitUntil([&] { return list.Count() == 4; }));
  EXPECT_EQ(list.Row(3), (std::vector<std::wstring>{L"4", L"Delta", L"Supported"}));
  EXPECT_EQ(list.StateImage(3), 1);
}

TEST_F(FixtureWindow, ScreenshotHoldsTheWindowAsTheScreenShowsIt) {
  const std::wstring path = TempFile(L"sv-gui-fixture.bmp");
  ::DeleteFileW(path.c_str());
  ASSERT_TRUE(SaveScreenshot(main_, path));
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
  file.close();
  ::DeleteFileW(path.c_str());
  ASSERT_GT(bytes.size(), sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
  BITMAPFILEHEADER fileHeader;
  BITMAPINFOHEADER header;
  std::memcpy(&fileHeader, bytes.data(), sizeof(fileHeader));
  std::memcpy(&header, bytes.data() + sizeof(fileHeader), sizeof(header));
  EXPECT_EQ(fileHeader.bfType, 0x4D42);
  EXPECT_EQ(fileHeader.bfSize, bytes.size());
  EXPECT_EQ(header.biBitCount, 24);
  RECT window{};
  ::GetWindowRect(main_, &window);
  ASSERT_EQ(header.biWidth, window.right - window.left);
  ASSERT_EQ(header.biHeight, window.bottom - window.top);

  // The panel's colour, at a point of the panel outside the list, read from the file.
  POINT point{8, 8};
  ::ClientToScreen(FindControl(main_, kPanel), &point);
  const size_t x = static_cast<size_t>(point.x - window.left);
  const size_t y = static_cast<size_t>(window.bottom - 1 - point.y);  // rows are stored bottom-up
  const size_t stride = (static_cast<size_t>(header.biWidth) * 3 + 3) & ~size_t{3};
  const size_t at = fileHeader.bfOffBits + y * stride + x * 3;
  ASSERT_LT(at + 2, bytes.size());
  EXPECT_EQ(bytes[at + 2], 0) << "red";
  EXPECT_EQ(bytes[at + 1], 130) << "green";
  EXPECT_EQ(bytes[at], 203) << "blue";
}

TEST(GuiProcess, EndsWithItsExitCodeWhenItsWindowCloses) {
  auto process = Process::Launch(BesideThisProgram(L"sv_gui_fixture.exe"));
  ASSERT_TRUE(process.has_value());
  HWND main = WaitForTopLevelWindow(process->Id(), L"SvGuiFixture");
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(process->IsRunning());
  EXPECT_EQ(TopLevelWindows(process->Id(), L"SvGuiFixture"), std::vector<HWND>{main});
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(process->WaitForExit(), std::optional<DWORD>(7));
  EXPECT_FALSE(process->IsRunning());
}

TEST(GuiProcess, AProgramThatDoesNotExistDoesNotStart) {
  EXPECT_FALSE(Process::Launch(BesideThisProgram(L"no-such-program.exe")).has_value());
}

TEST(GuiProcess, TerminateEndsAProgramThatIsStillRunning) {
  auto process = Process::Launch(BesideThisProgram(L"sv_gui_fixture.exe"));
  ASSERT_TRUE(process.has_value());
  ASSERT_NE(WaitForTopLevelWindow(process->Id(), L"SvGuiFixture"), nullptr);
  process->Terminate();
  EXPECT_FALSE(process->IsRunning());
  EXPECT_TRUE(TopLevelWindows(process->Id(), L"SvGuiFixture").empty());
}

}  // namespace
}  // namespace sv::gui
