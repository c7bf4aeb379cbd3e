// Sorvane.exe worked from outside, as a user works it, on the seeded demo machine. Every case
// starts the program afresh. run_gui_tests.py prepares the machine and passes:
//   --app=C:\Sorvane\Sorvane.exe        the program, beside SV.dat and soft.dat
//   --expected=C:\sv-seed-expected.json what sv-seed.exe says the scan and detail views must show
//   --database=C:\sv-database.json      the sample database's source (names, categories, stamp)
//   --shots=C:\sv-shots                 where the screenshots go (none when not given)
#include <windows.h>
//
#include <shellapi.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "gui_driver.h"
#include "sorvane_session.h"

namespace sv::gui {
namespace {

// What the expectations and the database say, read once.
struct Row {
  std::wstring name;
  std::wstring second;  // publisher, or a residue's description
  std::wstring installDate;
};

struct Detail {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> files;     // path, type
  std::vector<std::pair<std::wstring, std::wstring>> registry;  // path, type
};

struct Machine {
  std::vector<Row> supported;
  std::vector<Row> unsupported;
  std::vector<std::wstring> notListed;
  std::vector<Row> residues;
  std::wstring label;
  std::vector<Detail> details;
  // The database.
  std::vector<std::wstring> names;
  std::map<int, int> perCategory;
  long long stamp = 0;
};

// The rows the detail page lists: what the removal policy keeps ("kept") is not among them.
std::vector<std::pair<std::wstring, std::wstring>> PathRows(const json& rows) {
  std::vector<std::pair<std::wstring, std::wstring>> result;
  for (const auto& row : rows) {
    if (row.contains("kept")) continue;
    result.emplace_back(Wide(row.at("path").get<std::string>()),
                        Wide(row.at("type").get<std::string>()));
  }
  return result;
}

const Machine& TheMachine() {
  static const Machine machine = [] {
    Machine m;
    const json expected = ReadJson(g_options.expected);
    const json& scan = expected.at("scan");
    const auto rows = [](const json& list, const char* second) {
      std::vector<Row> result;
      for (const auto& row : list)
        result.push_back({Wide(row.at("name").get<std::string>()),
                          Wide(row.value(second, std::string())),
                          Wide(row.value("installDate", std::string()))});
      return result;
    };
    m.supported = rows(scan.at("supported"), "publisher");
    m.unsupported = rows(scan.at("unsupported"), "publisher");
    m.residues = rows(scan.at("residues"), "description");
    for (const auto& name : scan.value("notListed", json::array()))
      m.notListed.push_back(Wide(name.get<std::string>()));
    m.label = Wide(scan.at("label").get<std::string>());
    for (const auto& detail : expected.at("details"))
      m.details.push_back({Wide(detail.at("name").get<std::string>()), PathRows(detail.at("files")),
                           PathRows(detail.at("registry"))});
    const json database = ReadJson(g_options.database);
    m.stamp = database.at("stamp").get<long long>();
    for (const auto& software : database.at("software")) {
      m.names.push_back(Wide(software.at("name").get<std::string>()));
      ++m.perCategory[software.at("category").get<int>()];
    }
    return m;
  }();
  return machine;
}

// "yyyy.MMdd.hhnnss" of a build stamp (seconds, taken as they are).
std::wstring StampText(long long stamp) {
  const long long days = stamp >= 0 ? stamp / 86400 : -((-stamp + 86399) / 86400);
  const long long seconds = stamp - days * 86400;
  // Civil date from days since 1970-01-01.
  long long z = days + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long day = doy - (153 * mp + 2) / 5 + 1;
  const long long month = mp < 10 ? mp + 3 : mp - 9;
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  wchar_t text[64];
  std::swprintf(text, 64, L"%04lld.%02lld%02lld.%02lld%02lld%02lld", year, month, day,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

// The welcome text as the label shows it: lines, the doubled ampersand shown as one.
const std::vector<std::wstring> kWelcomeLines = {L"Sorvane helps you",
                                                 L"completely remove programs",
                                                 L"& leftovers from your PC.",
                                                 L"",
                                                 L"Please click on the \"Scan\"",
                                                 L"button to start scanning your",
                                                 L"system for residual files and",
                                                 L"complete programs installed",
                                                 L"in your computer."};

// The lines a label shows: its text split at line breaks, and "&&" shown as "&" unless the
// label shows ampersands as they are.
std::vector<std::wstring> ShownLines(HWND label) {
  std::wstring text = Text(label);
  if ((::GetWindowLongPtrW(label, GWL_STYLE) & SS_NOPREFIX) == 0) {
    std::wstring shown;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'&' && i + 1 < text.size()) ++i;
      shown.push_back(text[i]);
    }
    text = shown;
  }
  std::vector<std::wstring> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' || text[i] == L'\n') {
      if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(text[i]);
    }
  }
  return lines;
}

std::wstring Numbers(int count) {
  std::wstring text;
  for (int n = 1; n <= count; ++n)
    text += std::to_wstring(n) + L" ";
  return text;
}

std::wstring Column(const ListView& list, int column) {
  std::wstring text;
  const int count = list.Count();
  for (int item = 0; item < count; ++item)
    text += list.CellText(item, column) + L" ";
  return text;
}

class Sorvane : public SorvaneSession {
 protected:
  // Clicks Scan and waits until the scan has ended on the results page.
  void Scan() {
    ASSERT_TRUE(Click(C(ids::imgScan))) << "Scan is disabled";
    ASSERT_TRUE(WaitUntil(
        [&] {
          return Page() == "results" && IsEnabled(C(ids::imgScan)) &&
                 Text(C(ids::labSoftNum)) == TheMachine().label;
        },
        kScanTimeout))
        << "the scan did not end on the results page with " << Narrow(TheMachine().label)
        << "; page " << Page() << ", label '" << Narrow(Text(C(ids::labSoftNum))) << "'";
  }
};

// Every main window of every process.
BOOL CALLBACK CollectMainWindows(HWND window, LPARAM found) {
  if (ClassName(window) == SV_MAIN_WINDOW_CLASS)
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

TEST_F(Sorvane, ASecondStartEndsAtOnceAndMakesNoSecondWindow) {
  Start();
  auto second = Process::Launch(g_options.app);
  ASSERT_TRUE(second.has_value());
  EXPECT_TRUE(second->WaitForExit().has_value()) << "the second Sorvane.exe still runs";
  std::vector<HWND> windows;
  ::EnumWindows(CollectMainWindows, reinterpret_cast<LPARAM>(&windows));
  EXPECT_EQ(windows, std::vector<HWND>{main_});
  EXPECT_TRUE(process_->IsRunning());
  EXPECT_EQ(Page(), "welcome");
}

TEST_F(Sorvane, WelcomePageShowsItsTextVersionsAndTheSupportedSoftware) {
  Start();
  const Machine& machine = TheMachine();
  EXPECT_EQ(Text(main_), L"Sorvane");
  EXPECT_EQ(Text(C(ids::labTitle)), L"Welcome to SV");
  EXPECT_EQ(ShownLines(C(ids::labHint)), kWelcomeLines);
  EXPECT_EQ(List(ids::lstvNList).Count(), 0);
  EXPECT_EQ(List(ids::lstvRList).Count(), 0);
  EXPECT_TRUE(IsEnabled(C(ids::imgScan)));

  // The program's own version and file date.
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(g_options.app.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "Sorvane.exe has no version resource";
  std::vector<unsigned char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(g_options.app.c_str(), 0, size, info.data()));
  // The label shows the version text's first three parts.
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  UINT translationSize = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &translationSize) &&
              translationSize >= sizeof(Translation));
  wchar_t block[64];
  std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", translation->language,
                translation->codePage);
  wchar_t* versionText = nullptr;
  UINT versionLength = 0;
  ASSERT_TRUE(
      ::VerQueryValueW(info.data(), block, reinterpret_cast<void**>(&versionText), &versionLength));
  std::wstring version = L"v";
  std::wstring parts = versionText;
  for (int part = 0; part < 3; ++part) {
    const auto dot = parts.find(L'.');
    version += (part > 0 ? L"." : L"") + parts.substr(0, dot);
    if (dot == std::wstring::npos) break;
    parts = parts.substr(dot + 1);
  }
  EXPECT_EQ(Text(C(ids::labAppVer)), version);
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  ASSERT_TRUE(::GetFileAttributesExW(g_options.app.c_str(), GetFileExInfoStandard, &attributes));
  SYSTEMTIME written{};
  ::FileTimeToSystemTime(&attributes.ftLastWriteTime, &written);
  wchar_t date[64];
  std::swprintf(date, 64, L"%04u.%02u%02u.%02u%02u.%02u", written.wYear, written.wMonth,
                written.wDay, written.wHour, written.wMinute, written.wSecond);
  EXPECT_EQ(Text(C(ids::labSoftVersion)), date);

  // The database's stamp and counts.
  EXPECT_EQ(Text(C(ids::labDataVersion)), StampText(machine.stamp));
  const int total = static_cast<int>(machine.names.size());
  EXPECT_EQ(Text(C(ids::labSupportNum)), std::to_wstring(total) + L" Software");
  const wchar_t* types[] = {L"Networking Software",  L"System Tools",         L"Audio and video",
                            L"Graphic Tools",        L"Application Software", L"Profession",
                            L"Educational Software", L"Security Tools",       L"Games",
                            L"Other Tools"};
  std::vector<std::wstring> entries{L"All Types(" + std::to_wstring(total) + L")"};
  for (int category = 1; category <= 10; ++category) {
    const auto count = machine.perCategory.count(category) ? machine.perCategory.at(category) : 0;
    entries.push_back(std::wstring(types[category - 1]) + L" (" + std::to_wstring(count) + L")");
  }
  EXPECT_EQ(ComboItems(C(ids::cmbSupportSoft)), entries);
  EXPECT_EQ(ComboSelection(C(ids::cmbSupportSoft)), 0);
  Shot(L"welcome");
}

TEST_F(Sorvane, ScanListsSupportedBeforeUnsupportedProgramsAndTheResidues) {
  Start();
  Scan();
  const Machine& machine = TheMachine();
  EXPECT_EQ(Text(C(ids::labTitle)), L"Scan results");
  EXPECT_EQ(Text(C(ids::labSoftNum)), machine.label);

  const ListView installed = List(ids::lstvNList);
  const auto rows = installed.Rows();
  const auto images = installed.StateImages();
  ASSERT_EQ(images.size(), rows.size());
  bool seenUnsupported = false;
  std::vector<std::wstring> numbers;
  for (size_t item = 0; item < rows.size(); ++item) {
    const auto& row = rows[item];
    ASSERT_EQ(row.size(), 5u) << "installed rows have the columns No, name, state, date, publisher";
    SCOPED_TRACE(Narrow(row[1]));
    numbers.push_back(row[0]);
    if (row[2] == L"Unsupported") {
      seenUnsupported = true;
      EXPECT_EQ(images[item], 3) << "an unsupported row shows the unsupported mark";
    } else {
      EXPECT_EQ(row[2], L"Supported");
      EXPECT_FALSE(seenUnsupported) << "a supported row after an unsupported one";
      EXPECT_EQ(images[item], 1) << "a new supported row is not ticked";
    }
    EXPECT_EQ(installed.Tick(static_cast<int>(item)), 0);
  }
  std::sort(numbers.begin(), numbers.end(),
            [](const auto& a, const auto& b) { return std::stoi(a) < std::stoi(b); });
  std::wstring joined;
  for (const auto& number : numbers)
    joined += number + L" ";
  EXPECT_EQ(joined, Numbers(static_cast<int>(rows.size()))) << "numbers lost or repeated";

  const auto check = [&](const std::vector<Row>& wanted, const std::wstring& state) {
    for (const Row& want : wanted) {
      const int item = installed.Find(1, want.name);
      ASSERT_GE(item, 0) << Narrow(want.name) << " is not listed";
      const auto& row = rows[static_cast<size_t>(item)];
      EXPECT_EQ(row[2], state) << Narrow(want.name);
      EXPECT_EQ(row[3], want.installDate) << Narrow(want.name);
      EXPECT_EQ(row[4], want.second) << Narrow(want.name);
    }
  };
  check(machine.supported, L"Supported");
  check(machine.unsupported, L"Unsupported");
  const auto supportedRows =
      std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r[2] == L"Supported"; });
  EXPECT_EQ(static_cast<size_t>(supportedRows), machine.supported.size());
  for (const auto& name : machine.notListed)
    EXPECT_EQ(installed.Find(1, name), -1) << Narrow(name) << " must not be listed";

  const ListView residues = List(ids::lstvRList);
  std::vector<std::vector<std::wstring>> wanted;
  for (size_t n = 0; n < machine.residues.size(); ++n)
    wanted.push_back(
        {std::to_wstring(n + 1), machine.residues[n].name, machine.residues[n].second});
  EXPECT_EQ(residues.Rows(), wanted);
  Shot(L"results");
}

TEST_F(Sorvane, CloseDuringAScanIsRefused) {
  Start();
  // The scan disables Scan while it runs; the close must come in that time. Poll fast, and
  // try a few scans before calling the scan too quick to catch.
  bool caught = false;
  for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
    if (Page() != "welcome") {
      ASSERT_TRUE(Click(C(ids::imgCancel)));
      ASSERT_TRUE(WaitUntil([&] { return Page() == "welcome"; }));
    }
    HWND scan = C(ids::imgScan);
    ASSERT_TRUE(Click(scan));
    if (WaitUntil([&] { return !IsEnabled(scan); }, Milliseconds{10000}, Milliseconds{1})) {
      ::PostMessageW(main_, WM_CLOSE, 0, 0);
      caught = true;
    }
    if (!caught) {
      ASSERT_TRUE(WaitUntil([&] { return Page() == "results" && IsEnabled(scan); }, kScanTimeout));
    }
  }
  ASSERT_TRUE(caught) << "five scans ended before the driver saw Scan disabled";
  const auto box = ExpectBox(L"Error", L"Application is running, can not out!");
  ASSERT_NE(box.window, nullptr);
  EXPECT_TRUE(PressMessageBoxButton(box.window, IDOK));
  EXPECT_TRUE(process_->IsRunning());
  EXPECT_TRUE(::IsWindow(main_) && IsVisible(main_));
  // The scan goes on to its end.
  EXPECT_TRUE(
      WaitUntil([&] { return Page() == "results" && IsEnabled(C(ids::imgScan)); }, kScanTimeout));
  EXPECT_EQ(Text(C(ids::labSoftNum)), TheMachine().label);
}

TEST_F(Sorvane, DoubleClickOnASupportedOrResidueRowShowsItsDetail) {
  bool first = true;
  for (const Detail& detail : TheMachine().details) {
    SCOPED_TRACE(Narrow(detail.name));
    Start();
    Scan();
    const ListView residues = List(ids::lstvRList);
    const ListView installed = List(ids::lstvNList);
    int item = residues.Find(1, detail.name);
    const bool residue = item >= 0;
    const ListView& list = residue ? residues : installed;
    if (!residue) item = SupportedRow(installed, detail.name);
    ASSERT_GE(item, 0) << "no row for " << Narrow(detail.name);
    const std::wstring shownName = list.CellText(item, 1);
    ASSERT_TRUE(list.DoubleClickRow(item));

    const ListView files = List(ids::lstvUS2File);
    const ListView registry = List(ids::lstvUS2Registry);
    ASSERT_TRUE(WaitUntil(
        [&] {
          return Page() == "detail" && IsEnabled(C(ids::imgDClean)) &&
                 files.Count() == static_cast<int>(detail.files.size()) &&
                 registry.Count() == static_cast<int>(detail.registry.size());
        },
        kScanTimeout))
        << "page " << Page() << ", " << files.Count() << " file rows (want " << detail.files.size()
        << "), " << registry.Count() << " registry rows (want " << detail.registry.size() << ")";
    EXPECT_EQ(list.Tick(item), 0) << "opening the detail view ticked the row";
    EXPECT_EQ(Text(C(ids::labUS1Type)), residue ? L"Residual" : L"Installation");
    EXPECT_EQ(Text(C(ids::labUS1Soft)), shownName);
    const auto compare = [](const ListView& shown,
                            const std::vector<std::pair<std::wstring, std::wstring>>& want) {
      const auto rows = shown.Rows();
      for (size_t n = 0; n < std::max(rows.size(), want.size()); ++n) {
        if (n >= rows.size() || n >= want.size()) {
          ADD_FAILURE() << "row " << n + 1 << " only on one side";
          continue;
        }
        EXPECT_EQ(rows[n].size(), 3u);
        EXPECT_EQ(rows[n][0], std::to_wstring(n + 1));
        EXPECT_EQ(Lower(rows[n].at(1)), Lower(want[n].first)) << "row " << n + 1;
        EXPECT_EQ(rows[n].at(2), want[n].second) << "row " << n + 1;
      }
    };
    compare(files, detail.files);
    compare(registry, detail.registry);
    if (first) Shot(L"detail");
    first = false;
    // Back to the results, which keep their rows.
    ASSERT_TRUE(Click(C(ids::imgDCancel)));
    EXPECT_TRUE(WaitUntil([&] { return Page() == "results"; }));
  }
}

TEST_F(Sorvane, DoubleClickOnAnUnsupportedRowOpensTheSubmissionWithItsName) {
  Start();
  Scan();
  const std::wstring name = TheMachine().unsupported.at(0).name;
  const ListView installed = List(ids::lstvNList);
  const int item = installed.Find(1, name);
  ASSERT_GE(item, 0);
  ASSERT_TRUE(installed.DoubleClickRow(item));
  ASSERT_TRUE(WaitUntil([&] { return Page() == "submit"; })) << "page " << Page();
  EXPECT_EQ(Text(C(ids::edtSoftName)), name);
  Shot(L"submit");
  ASSERT_TRUE(Click(C(ids::imgSCancel)));
  EXPECT_TRUE(WaitUntil([&] { return Page() == "results"; }));
}

class TickRow : public Sorvane, public ::testing::WithParamInterface<bool> {};

TEST_P(TickRow, ShowsTheTickAndTakesItBack) {
  const bool bySpace = GetParam();
  Start();
  Scan();
  const ListView installed = List(ids::lstvNList);
  const int item = installed.Find(1, TheMachine().supported.at(0).name);
  ASSERT_GE(item, 0);
  const auto others = [&] {
    auto images = installed.StateImages();
    images.erase(images.begin() + item);
    return images;
  };
  const auto before = others();
  LPARAM start = 0;
  if (bySpace) {
    // Selecting the row by its name focuses it and must leave the tick alone.
    ASSERT_TRUE(installed.ClickRow(item));
    ASSERT_TRUE(WaitUntil([&] { return installed.IsFocused(item); }));
    start = installed.Tick(item);
    EXPECT_EQ(start, 0) << "a click on the row's name ticked it";
  }
  for (const LPARAM tick : {1 - start, start}) {
    if (bySpace) {
      ASSERT_TRUE(PressKey(installed.Window(), VK_SPACE));
    } else {
      ASSERT_TRUE(installed.ClickStateIcon(item)) << "the row shows no state image";
    }
    ASSERT_TRUE(WaitUntil([&] { return installed.Tick(item) == tick; })) << "tick " << tick;
    EXPECT_TRUE(WaitUntil([&] { return installed.StateImage(item) == (tick ? 2 : 1); }))
        << "state image " << installed.StateImage(item) << " for tick " << tick;
    EXPECT_EQ(others(), before) << "another row changed";
  }
}

INSTANTIATE_TEST_SUITE_P(MouseAndSpace, TickRow, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "Space" : "StateIcon"; });

TEST_F(Sorvane, SelectAllTicksTheSupportedRowsAndEveryResidue) {
  Start();
  Scan();
  const ListView installed = List(ids::lstvNList);
  const ListView residues = List(ids::lstvRList);
  for (const bool checked : {true, false}) {
    SCOPED_TRACE(checked ? "ticked" : "cleared");
    ASSERT_TRUE(SetChecked(C(ids::chkSelectAll2), checked));
    ASSERT_TRUE(SetChecked(C(ids::chkSelectAll1), checked));
    const LPARAM tick = checked ? 1 : 0;
    EXPECT_TRUE(WaitUntil([&] {
      for (int item = 0; item < residues.Count(); ++item)
        if (residues.Tick(item) != tick) return false;
      return true;
    })) << "the residues' ticks";
    EXPECT_TRUE(WaitUntil([&] {
      const auto rows = installed.Rows();
      for (size_t item = 0; item < rows.size(); ++item) {
        const bool supported = rows[item][2] == L"Supported";
        const int row = static_cast<int>(item);
        if (installed.Tick(row) != (supported ? tick : 0)) return false;
        if (installed.StateImage(row) != (supported ? (checked ? 2 : 1) : 3)) return false;
      }
      return true;
    })) << "the installed rows' ticks: supported rows follow the box, unsupported ones keep "
           "their mark and no tick";
  }
}

struct CleanCase {
  const char* name;
  bool tickUnsupported;
  bool tickSupported;
  const wchar_t* caption;
  const wchar_t* text;
  int answer;
};

class CleanWithout : public Sorvane, public ::testing::WithParamInterface<CleanCase> {};

TEST_P(CleanWithout, IsAnsweredAndRemovesNothing) {
  const CleanCase& wanted = GetParam();
  Start();
  Scan();
  const ListView installed = List(ids::lstvNList);
  if (wanted.tickUnsupported) {
    const int item = installed.Find(1, TheMachine().unsupported.at(0).name);
    ASSERT_GE(item, 0);
    ASSERT_TRUE(installed.ClickStateIcon(item));
    ASSERT_TRUE(WaitUntil([&] { return installed.Tick(item) == 1; })) << "the row was not ticked";
    EXPECT_EQ(installed.StateImage(item), 3) << "an unsupported row keeps its mark when ticked";
  }
  if (wanted.tickSupported) {
    const int item = installed.Find(1, TheMachine().supported.at(0).name);
    ASSERT_GE(item, 0);
    ASSERT_TRUE(installed.ClickStateIcon(item));
    ASSERT_TRUE(WaitUntil([&] { return installed.Tick(item) == 1; })) << "the row was not ticked";
    EXPECT_EQ(installed.StateImage(item), 2);
  }
  const auto before = installed.Rows();
  const auto residuesBefore = List(ids::lstvRList).Rows();
  ASSERT_TRUE(Click(C(ids::imgClean)));
  const auto box = ExpectBox(wanted.caption, wanted.text);
  ASSERT_NE(box.window, nullptr);
  ASSERT_TRUE(PressMessageBoxButton(box.window, wanted.answer));
  // No removal ran: no second message, the lists and the count as they were.
  EXPECT_FALSE(WaitForMessageBox(process_->Id(), Milliseconds{1000}).has_value());
  EXPECT_TRUE(IsEnabled(C(ids::imgClean)));
  EXPECT_EQ(installed.Rows(), before);
  EXPECT_EQ(List(ids::lstvRList).Rows(), residuesBefore);
  EXPECT_EQ(Text(C(ids::labSoftNum)), TheMachine().label);
  EXPECT_EQ(Page(), "results");
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, CleanWithout,
    ::testing::Values(CleanCase{"NothingTicked", false, false, L"Error",
                                L"Please select the software you want to remove first! ", IDOK},
                      CleanCase{"OnlyUnsupportedTicked", true, false, L"Error",
                                L"The program you selected is unsupported by Sorvane and cannot be "
                                L"uninstalled at present. ",
                                IDOK},
                      CleanCase{"ConfirmationDeclined", true, true, L"Confirm",
                                L"Are you sure you want to remove the selected software? ", IDNO}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(Sorvane, RemovalOfOneTickedSupportedProgram) {
  const Machine& machine = TheMachine();
  // The first program with a detail view: its files are known, so their removal can be checked.
  const auto detail = std::find_if(machine.details.begin(), machine.details.end(), [&](auto& d) {
    return std::any_of(machine.supported.begin(), machine.supported.end(), [&](const Row& row) {
      return row.name.compare(0, d.name.size(), d.name) == 0;
    });
  });
  ASSERT_NE(detail, machine.details.end()) << "no supported program has a detail view";
  Start();
  Scan();
  const ListView installed = List(ids::lstvNList);
  const ListView residues = List(ids::lstvRList);
  const int item = SupportedRow(installed, detail->name);
  ASSERT_GE(item, 0);
  const std::wstring name = installed.CellText(item, 1);
  const int installedBefore = installed.Count();
  const int residuesBefore = residues.Count();
  ASSERT_TRUE(installed.ClickStateIcon(item));
  ASSERT_TRUE(WaitUntil([&] { return installed.Tick(item) == 1; }));
  EXPECT_EQ(installed.StateImage(item), 2);

  ASSERT_TRUE(Click(C(ids::imgClean)));
  const auto confirm =
      ExpectBox(L"Confirm", L"Are you sure you want to remove the selected software? ");
  ASSERT_NE(confirm.window, nullptr);
  ASSERT_TRUE(PressMessageBoxButton(confirm.window, IDYES));
  const auto finish = ExpectBox(L"Finish", L"Cleaning completed.", kRemovalTimeout);
  ASSERT_NE(finish.window, nullptr);
  EXPECT_FALSE(IsEnabled(C(ids::imgClean))) << "Clean is usable while the removal waits";
  ASSERT_TRUE(PressMessageBoxButton(finish.window, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(C(ids::imgClean)); }));

  EXPECT_EQ(installed.Find(1, name), -1) << "the removed row is still listed";
  EXPECT_EQ(installed.Count(), installedBefore - 1);
  EXPECT_EQ(residues.Count(), residuesBefore);
  EXPECT_EQ(Column(installed, 0), Numbers(installed.Count()));
  EXPECT_EQ(Column(residues, 0), Numbers(residues.Count()));
  const int supportedLeft = static_cast<int>(machine.supported.size()) - 1;
  EXPECT_EQ(Text(C(ids::labSoftNum)),
            std::to_wstring(supportedLeft + residuesBefore) + L" Software");
  EXPECT_EQ(Page(), "results");

  for (const auto& [path, type] : detail->files)
    if (type == L"File") {
      EXPECT_FALSE(Exists(path)) << Narrow(path) << " is still there";
    }

  // A new scan no longer finds the program, neither installed nor as a residue.
  ASSERT_TRUE(Click(C(ids::imgCancel)));
  ASSERT_TRUE(WaitUntil([&] { return Page() == "welcome"; }));
  ASSERT_TRUE(Click(C(ids::imgScan)));
  ASSERT_TRUE(
      WaitUntil([&] { return Page() == "results" && IsEnabled(C(ids::imgScan)); }, kScanTimeout));
  EXPECT_EQ(installed.Find(1, name), -1);
  EXPECT_EQ(residues.Find(1, detail->name), -1);
  EXPECT_EQ(Text(C(ids::labSoftNum)),
            std::to_wstring(supportedLeft + residuesBefore) + L"  Software");
}

TEST_F(Sorvane, FirstStartWritesTheDefaultSettingsFile) {
  Start();
  ASSERT_TRUE(WaitUntil([] { return Exists(SettingsPath()); })) << "no Settings.ini";
  const std::string content = ReadFile(SettingsPath());
  const std::regex shape(
      "\\[Settings\\]\r\nView Style=2\r\nHidden RightTips=0\r\nHidden Process=0\r\n"
      "Hidden Unsupport=0\r\nAuto Update=0\r\nDelete Update=1\r\nWindows Startup=0\r\n"
      "Startup Minimize=0\r\n\\[Update Information\\]\r\n"
      "Last Time=(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})\r\n");
  std::smatch parts;
  ASSERT_TRUE(std::regex_match(content, parts, shape)) << content;
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  // A real local time of today (or of yesterday, just after midnight).
  const int month = std::stoi(parts[2]);
  const int day = std::stoi(parts[3]);
  EXPECT_EQ(std::stoi(parts[1]), now.wYear);
  EXPECT_TRUE((month == now.wMonth && (day == now.wDay || day + 1 == now.wDay)) ||
              (now.wDay == 1 && day >= 28))
      << content;
  EXPECT_LT(std::stoi(parts[4]), 24);
  EXPECT_LT(std::stoi(parts[5]), 60);
  EXPECT_LT(std::stoi(parts[6]), 60);

  ASSERT_TRUE(Click(C(ids::imgSettings)));
  ASSERT_TRUE(WaitUntil([&] { return Page() == "settings"; }));
  const struct {
    int id;
    bool checked;
  } boxes[] = {{ids::chkHideTip, false},       {ids::chkHideProcess, false},
               {ids::chkHideUnsupport, false}, {ids::chkAutoUpdate, false},
               {ids::chkUpdateDel, true},      {ids::chkWindowStart, false},
               {ids::chkStartMin, false}};
  for (const auto& box : boxes)
    EXPECT_EQ(IsChecked(C(box.id)), box.checked) << "check box " << box.id;
  const std::string stored = content.substr(content.rfind("Last Time=") + 10, 19);
  EXPECT_EQ(Text(C(ids::labLastTime)), L"Last Time: " + Wide(stored));
  Shot(L"settings");
}

struct SettingCase {
  const char* name;
  int box;
  const wchar_t* key;
};

class SavedSetting : public Sorvane, public ::testing::WithParamInterface<SettingCase> {};

TEST_P(SavedSetting, IsWrittenAndShownAgainAfterARestart) {
  const SettingCase& wanted = GetParam();
  Start();
  ASSERT_TRUE(Click(C(ids::imgSettings)));
  ASSERT_TRUE(WaitUntil([&] { return Page() == "settings"; }));
  ASSERT_TRUE(SetChecked(C(wanted.box), true));
  ASSERT_TRUE(Click(C(ids::imgSESave)));
  const auto box = ExpectBox(L"Save", L"Settings have been saved successfully.");
  ASSERT_NE(box.window, nullptr);
  ASSERT_TRUE(PressMessageBoxButton(box.window, IDOK));
  const std::wstring path = SettingsPath();
  EXPECT_EQ(::GetPrivateProfileIntW(L"Settings", wanted.key, -1, path.c_str()), 1);
  // The other values stay as the defaults have them.
  const struct {
    const wchar_t* key;
    int value;
  } others[] = {{L"Hidden RightTips", 0}, {L"Hidden Process", 0}, {L"Hidden Unsupport", 0},
                {L"Auto Update", 0},      {L"Delete Update", 1},  {L"Windows Startup", 0},
                {L"Startup Minimize", 0}, {L"View Style", 2}};
  for (const auto& other : others)
    if (std::wstring(other.key) != wanted.key) {
      EXPECT_EQ(::GetPrivateProfileIntW(L"Settings", other.key, -1, path.c_str()), other.value)
          << Narrow(other.key);
    }

  Start(/*keepSettings=*/true);
  ASSERT_TRUE(Click(C(ids::imgSettings)));
  ASSERT_TRUE(WaitUntil([&] { return Page() == "settings"; }));
  EXPECT_TRUE(IsChecked(C(wanted.box)));
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, SavedSetting,
    ::testing::Values(SettingCase{"HideTip", ids::chkHideTip, L"Hidden RightTips"},
                      SettingCase{"HideProcess", ids::chkHideProcess, L"Hidden Process"},
                      SettingCase{"HideUnsupport", ids::chkHideUnsupport, L"Hidden Unsupport"}),
    [](const auto& test) { return std::string(test.param.name); });

// The window's thread's keyboard focus, seen from outside.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
  return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

TEST_F(Sorvane, TheKeyboardReachesTheButtonsAndListsAndEscapeGoesBack) {
  Start();
  // Tab walks through the controls of the visible page and comes round again; collect what it
  // reaches on the way, then stop on Scan.
  std::set<int> reached;
  HWND focus = FocusOf(main_);
  HWND first = nullptr;
  const auto tab = [&] {
    const HWND target = focus != nullptr ? focus : main_;
    const HWND before = focus;
    ASSERT_TRUE(PressKey(target, VK_TAB));
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(main_) != before && FocusOf(main_) != nullptr; }))
        << "Tab moved the focus nowhere";
    focus = FocusOf(main_);
    reached.insert(::GetDlgCtrlID(focus));
  };
  for (int step = 0; step < 40; ++step) {
    ASSERT_NO_FATAL_FAILURE(tab());
    if (first == nullptr) {
      first = focus;
    } else if (focus == first) {
      break;
    }
  }
  EXPECT_EQ(focus, first) << "Tab did not come round in 40 steps";
  for (const int id : {ids::imgScan, ids::lstvRList, ids::lstvNList, ids::sbtnUpdate,
                       ids::sbtnSubmitSoft, ids::sbtnTechnical, ids::imgSettings, ids::imgHelp}) {
    EXPECT_TRUE(reached.count(id)) << "Tab never reached control " << id;
  }
  for (int step = 0; step < 40 && ::GetDlgCtrlID(focus) != ids::imgScan; ++step) {
    ASSERT_NO_FATAL_FAILURE(tab());
  }
  // Enter on the focused Scan button scans.
  ASSERT_EQ(::GetDlgCtrlID(FocusOf(main_)), ids::imgScan);
  ASSERT_TRUE(PressKey(C(ids::imgScan), VK_RETURN));
  ASSERT_TRUE(
      WaitUntil([&] { return Page() == "results" && IsEnabled(C(ids::imgScan)); }, kScanTimeout))
      << "Enter on Scan did not scan; page " << Page();
  // Escape is the page's Cancel or Back: settings -> results, results -> welcome.
  ASSERT_TRUE(Click(C(ids::imgSettings)));
  ASSERT_TRUE(WaitUntil([&] { return Page() == "settings"; }));
  ASSERT_TRUE(PressKey(C(ids::chkHideTip), VK_ESCAPE));
  EXPECT_TRUE(WaitUntil([&] { return Page() == "results"; })) << Page();
  ASSERT_TRUE(PressKey(C(ids::lstvNList), VK_ESCAPE));
  EXPECT_TRUE(WaitUntil([&] { return Page() == "welcome"; })) << Page();
  EXPECT_EQ(List(ids::lstvNList).Count(), 0);
}

TEST_F(Sorvane, SupportPageListsEverySupportedProgramSorted) {
  Start();
  ASSERT_TRUE(Click(C(ids::labSupportNum)));
  ASSERT_TRUE(WaitUntil([&] { return Page() == "support"; })) << "page " << Page();
  std::vector<std::wstring> names = TheMachine().names;
  // Sorted without case by the user's locale, as the page sorts them.
  std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
    return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_LESS_THAN;
  });
  const ListView list = List(ids::lstvSoftInfo);
  ASSERT_TRUE(WaitUntil([&] { return list.Count() == static_cast<int>(names.size()); }));
  std::vector<std::vector<std::wstring>> wanted;
  for (size_t n = 0; n < names.size(); ++n)
    wanted.push_back({std::to_wstring(n + 1), names[n]});
  EXPECT_EQ(list.Rows(), wanted);
  Shot(L"support");
  ASSERT_TRUE(Click(C(ids::imgSTCancel)));
  EXPECT_TRUE(WaitUntil([&] { return Page() == "welcome"; }));
}

}  // namespace
}  // namespace sv::gui

int main(int argc, char** argv) {
  // Unbuffered, so a run that ends abruptly still shows how far it came.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  int wide = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &wide);
  const sv::win32::LocalMem owner(arguments);
  for (int i = 1; arguments != nullptr && i < wide; ++i) {
    const std::wstring argument = arguments[i];
    const auto take = [&](const wchar_t* option, std::wstring& into) {
      const std::wstring prefix = option;
      if (argument.compare(0, prefix.size(), prefix) == 0) into = argument.substr(prefix.size());
    };
    take(L"--app=", sv::gui::g_options.app);
    take(L"--expected=", sv::gui::g_options.expected);
    take(L"--database=", sv::gui::g_options.database);
    take(L"--shots=", sv::gui::g_options.shots);
  }
  return RUN_ALL_TESTS();
}
