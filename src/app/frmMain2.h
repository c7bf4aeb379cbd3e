// TfrmMain, the program's only window: a borderless 692 x 517 window that draws its own title
// area, shows one page at a time and holds the result lists the runs fill. It is also the
// runs' view of the window (engine::WindowControls): a run calls it from its own thread, and
// every such call is carried to the window's thread with SendMessage, so the controls are only
// ever touched by the thread that owns them.
#pragma once

#include <windows.h>
//
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "engine/window_controls.h"
#include "platform/platform.h"
#include "registry/icon_list.h"

namespace sv::app {

class Tdm;
class ImageListIcons;

// Registers the window classes of the main window and its panels and image buttons.
bool RegisterMainWindowClasses(HINSTANCE instance);

class TfrmMain final : public engine::WindowControls {
 public:
  TfrmMain(HINSTANCE instance, platform::Platform platform);
  ~TfrmMain() override;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // Creates the window (FormCreate runs inside). False when the system refused it.
  bool Create();
  // The data module exists only after the window (its image lists are used from the first
  // showing on).
  void AttachDataModule(Tdm& dm) noexcept { dm_ = &dm; }
  // Shows the window; the first showing runs FormShow.
  void Show();
  [[nodiscard]] HWND Handle() const noexcept { return hwnd_; }
  // Keyboard handling of the message loop (Tab, Enter, Space, Escape). True when consumed.
  bool TranslateKeyboard(MSG& msg);

  // engine::WindowControls, callable from any thread.
  int RowCount(engine::ListView list) override;
  void ClearRows(engine::ListView list) override;
  int AddRow(engine::ListView list, const engine::ListRow& row) override;
  engine::ListRow Row(engine::ListView list, int index) override;
  void SetRowCaption(engine::ListView list, int index, std::string_view caption) override;
  void SetRowSelected(engine::ListView list, int index, bool selected) override;
  void SetRowChecked(engine::ListView list, int index, bool checked) override;
  void DeleteRow(engine::ListView list, int index) override;
  void SetGaugeMax(int maximum) override;
  void SetGaugeProgress(int progress) override;
  int GaugeProgress() override;
  std::string Text(engine::Label label) override;
  void SetText(engine::Label label, std::string_view text) override;
  void SetEnabled(engine::Control control, bool enabled) override;
  bool IsEnabled(engine::Control control) override;
  void SetVisible(engine::Control control, bool visible) override;
  bool IsChecked(engine::CheckBox box) override;
  void SetChecked(engine::CheckBox box, bool checked) override;
  void SetDetailProgram(const engine::ProgramRef& program) override;
  engine::ProgramRef DetailProgram() override;
  void ShowPage(engine::Page page) override;
  void lstvNListColumnClick(engine::ListView list, int column) override;
  int ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) override;

  // Runs `call` on the window's thread and waits for it (at once when already there). False
  // when the window is gone.
  bool OnWindowThread(const std::function<void()>& call);

  // The window procedure of the class (the object rides in GWLP_USERDATA).
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Building the window.
  void FormCreate();
  void CreateTitleArea();
  void CreateFootArea();
  void CreateUninstallPage();
  void CreateDetailPage();
  void CreateSettingsPage();
  void CreateSupportPage();
  void CreateSubmitPage();
  void FormShow();
  void ResetButtonImages();
  void LoadProductInfo();
  void LoadSettings();
  void ApplyHintPane(int hiddenRightTips);
  void LayoutUninstallPage();

  // Controls.
  HWND Ctl(int id) const;
  HWND AddControl(HWND parent, int id, const wchar_t* className, std::wstring_view text,
                  DWORD style, int x, int y, int width, int height, DWORD exStyle = 0);
  HWND AddPanel(HWND parent, int id, int x, int y, int width, int height, DWORD panelStyle = 0);
  HWND AddLabel(HWND parent, int id, std::wstring_view text, int x, int y, int width, int height,
                DWORD extraStyle = SS_NOPREFIX);
  // `style`: WS_TABSTOP for buttons the keyboard reaches, kImageExStretch for stretched pictures.
  HWND AddImageButton(HWND parent, int id, int x, int y, int width, int height, DWORD style);
  HWND AddListView(HWND parent, int id, int x, int y, int width, int height, bool results);
  HWND AddCheckBox(HWND parent, int id, std::wstring_view text, int x, int y, int width);
  HWND ListOf(engine::ListView list) const;
  HWND ControlOf(engine::Control control) const;
  HWND CheckBoxOf(engine::CheckBox box) const;
  void SetImage(int buttonId, bool enter);
  void SetControlFont(HWND control, HFONT font);

  // Commands.
  void OnCommand(int id, int code, HWND control);
  LRESULT OnNotify(const NMHDR& header);
  void imgScanClick();
  void imgCleanClick();
  void imgCancelClick();
  void imgSCancelClick();
  void imgDCancelClick();
  void imgDCleanClick();
  void imgSettingsClick();
  void imgSESaveClick();
  void imgSubmitClick();
  void imgHelpClick();
  void imgMinClick();
  void sbtnUpdateClick();
  void timerUpdateTimer();
  void StartUpdater();
  void sbtnSubmitSoftClick();
  void sbtnTechnicalClick();
  void labSupportNumClick();
  void cmbSupportSoftChange();
  void lstvNListDblClick();
  void lstvRListDblClick();
  void RowDoubleClick(engine::ListView list);
  [[nodiscard]] NOTIFYICONDATAW TrayIconData() const;
  void chkSelectAll1Click();
  void chkSelectAll2Click();
  void ToggleRowTick(engine::ListView list, int index);
  void TrayIconNotify(LPARAM mouseMessage);
  void RestoreFromTray();
  void EscapeCommand();
  bool FormCloseQuery();
  void StartRun(std::uint16_t mode);
  void DrawFlatButton(const DRAWITEMSTRUCT& draw);
  LRESULT ColorStatic(HDC dc, HWND control);

  // The rows of a real list view.
  engine::ListRow ReadRow(engine::ListView list, int index) const;
  void WriteRow(engine::ListView list, int index, const engine::ListRow& row);
  void SetRowState(engine::ListView list, int index, int stateIndex, bool checked);
  // A row's item data: the tick in bit 0, above it the number of the row's program in
  // programs_ (0 for none), so a row keeps its record through sorts and deletions.
  [[nodiscard]] LPARAM RowData(const engine::ProgramRef& program, bool checked);

  HINSTANCE instance_;
  platform::Platform platform_;
  HWND hwnd_ = nullptr;
  // What the runs' threads send their calls to; cleared when the window goes.
  std::atomic<HWND> callTarget_{nullptr};
  DWORD threadId_ = 0;
  Tdm* dm_ = nullptr;
  std::map<int, HWND> controls_;
  std::map<int, std::pair<int, int>> buttonImages_;  // id -> leave and enter image
  struct Fonts;
  std::unique_ptr<Fonts> fonts_;
  std::unique_ptr<registry::IconList> smallIcons_;
  std::unique_ptr<registry::IconList> bigIcons_;
  std::string settingsPath_;
  std::string executablePath_;
  engine::Page page_ = engine::Page::pgWelcome;
  bool shown_ = false;
  bool hintPaneVisible_ = true;
  POINT dragOrigin_{};
  HWND titleBarR_ = nullptr;
  HWND titleBarN_ = nullptr;
  // The records the result rows stand for (see RowData), and the one the detail page shows.
  std::vector<engine::ProgramRef> programs_;
  engine::ProgramRef detailProgram_;
};

}  // namespace sv::app
