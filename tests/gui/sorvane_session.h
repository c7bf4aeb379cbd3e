// The program's window worked from outside: the options the runner passes, small text and
// file helpers, and the fixture that starts and closes Sorvane.exe for each case.
#pragma once

#include <windows.h>
//
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "gui_driver.h"

namespace sv::gui {

namespace ids = sv::app::ids;
using json = nlohmann::json;

struct Options {
  std::wstring app;
  std::wstring expected;
  std::wstring database;
  std::wstring shots;
};
inline Options g_options;

constexpr Milliseconds kScanTimeout{120000};
constexpr Milliseconds kRemovalTimeout{180000};

inline std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  return wide;
}

inline std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
  return narrow;
}

inline std::string ReadFile(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

inline json ReadJson(const std::wstring& path) {
  const std::string text = ReadFile(path);
  if (text.empty()) throw std::runtime_error("cannot read " + Narrow(path));
  return json::parse(text);
}

inline std::wstring Folder(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\'));
}

inline std::wstring SettingsPath() {
  return Folder(g_options.app) + L"\\Settings.ini";
}

inline bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::wstring Lower(std::wstring text) {
  for (auto& c : text)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return text;
}

// The program started and closed as a user does, one fresh start per case.
class SorvaneSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(g_options.app.empty()) << "no --app=PATH given";
    ASSERT_TRUE(Exists(g_options.app)) << Narrow(g_options.app) << " does not exist";
  }

  void TearDown() override { Stop(); }

  // Starts the program afresh; without the settings file unless told to keep it.
  void Start(bool keepSettings = false) {
    Stop();
    if (!keepSettings) ::DeleteFileW(SettingsPath().c_str());
    auto started = Process::Launch(g_options.app);
    ASSERT_TRUE(started.has_value()) << "Sorvane.exe did not start";
    process_.emplace(std::move(*started));
    main_ = WaitForTopLevelWindow(process_->Id(), SV_MAIN_WINDOW_CLASS);
    ASSERT_NE(main_, nullptr) << "no visible TfrmMain window";
    // The first showing is over when the welcome page and the counts are there.
    ASSERT_TRUE(WaitUntil([&] {
      HWND support = FindControl(main_, ids::labSupportNum);
      return Page() == "welcome" && support != nullptr && !Text(support).empty();
    })) << "the window never showed the filled welcome page; page "
        << Page();
  }

  // Closes the program as the user would and checks that it ends.
  void Stop() {
    if (!process_) return;
    if (process_->IsRunning()) {
      for (HWND box : MessageBoxes(process_->Id()))
        PressMessageBoxButton(box, ::GetDlgItem(box, IDOK) != nullptr ? IDOK : IDNO);
      ::PostMessageW(main_, WM_CLOSE, 0, 0);
      if (!process_->WaitForExit()) {
        ADD_FAILURE() << "Sorvane.exe did not end after WM_CLOSE";
        process_->Terminate();
      }
    }
    process_.reset();
    main_ = nullptr;
  }

  HWND C(int id) const { return Control(main_, id); }
  ListView List(int id) const { return ListView(C(id)); }

  std::string Page() const {
    const auto shown = [&](int id) {
      HWND panel = FindControl(main_, id);
      return panel != nullptr && IsVisible(panel);
    };
    if (shown(ids::pan_Main_Uninstall) && shown(ids::pan_Foot_Scan)) return "welcome";
    if (shown(ids::pan_Main_Uninstall) && shown(ids::pan_Foot_Clean)) return "results";
    if (shown(ids::pan_Main_Detail)) return "detail";
    if (shown(ids::pan_Main_Submit)) return "submit";
    if (shown(ids::pan_Main_Settings)) return "settings";
    if (shown(ids::pan_Main_Status)) return "support";
    return "none";
  }

  MessageBoxInfo ExpectBox(const std::wstring& caption, const std::wstring& text,
                           Milliseconds timeout = kDefaultTimeout) {
    const auto box = WaitForMessageBox(process_->Id(), timeout);
    if (!box) {
      ADD_FAILURE() << "no message box '" << Narrow(text) << "'";
      return {};
    }
    EXPECT_EQ(box->caption, caption);
    EXPECT_EQ(box->text, text);
    EXPECT_EQ(box->owner, main_) << "the box is not owned by the main window";
    return *box;
  }

  void Shot(const std::wstring& name) {
    if (g_options.shots.empty()) return;
    EXPECT_TRUE(SaveScreenshot(main_, g_options.shots + L"\\" + name + L".bmp")) << Narrow(name);
  }

  // The installed row of a supported program whose database name is `name`.
  int SupportedRow(const ListView& list, const std::wstring& name) const {
    const int count = list.Count();
    for (int item = 0; item < count; ++item) {
      const std::wstring shown = list.CellText(item, 1);
      if (list.CellText(item, 2) == L"Supported" && shown.compare(0, name.size(), name) == 0)
        return item;
    }
    return -1;
  }

  std::optional<Process> process_;
  HWND main_ = nullptr;
};

}  // namespace sv::gui
