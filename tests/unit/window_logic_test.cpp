#include "app/window_logic.h"

#include <gtest/gtest.h>

#include "engine/memory_window.h"

namespace sv::app {
namespace {

using engine::ListRow;
using engine::ListView;
using engine::MemoryWindow;
using engine::Page;

ListRow Installed(std::string number, std::string name, std::string_view state,
                  bool checked = false) {
  ListRow row;
  row.caption = std::move(number);
  row.subItems = {std::move(name), std::string(state), "2024-01-01", "Acme"};
  row.checked = checked;
  row.stateIndex = state == engine::kStateUnsupported ? 2 : (checked ? 1 : 0);
  return row;
}

ListRow Residue(std::string number, std::string name, bool checked = false) {
  ListRow row;
  row.caption = std::move(number);
  row.subItems = {std::move(name), "Residual software"};
  row.checked = checked;
  row.stateIndex = checked ? 1 : 0;
  return row;
}

struct CleanCase {
  const char* name;
  std::vector<ListRow> installed;
  std::vector<ListRow> residues;
  CleanAnswer answer;
};

class DecideCleanTest : public ::testing::TestWithParam<CleanCase> {};

TEST_P(DecideCleanTest, AnswersByWhatIsTicked) {
  MemoryWindow window;
  for (const auto& row : GetParam().installed)
    window.AddRow(ListView::lstvNList, row);
  for (const auto& row : GetParam().residues)
    window.AddRow(ListView::lstvRList, row);
  EXPECT_EQ(DecideClean(window), GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecideCleanTest,
    ::testing::Values(CleanCase{"BothListsEmpty", {}, {}, CleanAnswer::Nothing},
                      CleanCase{"NothingTicked",
                                {Installed("1", "A", engine::kStateSupported)},
                                {Residue("1", "R")},
                                CleanAnswer::SelectFirst},
                      CleanCase{"OnlyUnsupportedTicked",
                                {Installed("1", "A", engine::kStateSupported),
                                 Installed("2", "U", engine::kStateUnsupported, true)},
                                {},
                                CleanAnswer::Unsupported},
                      CleanCase{"SupportedAndUnsupportedTicked",
                                {Installed("1", "A", engine::kStateSupported, true),
                                 Installed("2", "U", engine::kStateUnsupported, true)},
                                {},
                                CleanAnswer::Confirm},
                      CleanCase{"OnlyAResidueTicked",
                                {Installed("1", "U", engine::kStateUnsupported)},
                                {Residue("1", "R", true)},
                                CleanAnswer::Confirm},
                      // The state text is compared exactly: "supported" is not "Supported".
                      CleanCase{"StateComparedWithCase",
                                {Installed("1", "A", "supported", true)},
                                {},
                                CleanAnswer::Unsupported}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(WindowRules, BackGoesToResultsOnlyWhileAListHoldsRows) {
  MemoryWindow window;
  EXPECT_EQ(BackPage(window), Page::pgWelcome);
  window.AddRow(ListView::lstvRList, Residue("1", "R"));
  EXPECT_EQ(BackPage(window), Page::pgResults);
  window.ClearRows(ListView::lstvRList);
  window.AddRow(ListView::lstvNList, Installed("1", "U", engine::kStateUnsupported));
  EXPECT_EQ(BackPage(window), Page::pgResults);
}

TEST(WindowRules, DoubleClicksOpenDetailsOrTheSubmissionPage) {
  EXPECT_EQ(RowCommandFor(ListView::lstvNList, Installed("1", "A", engine::kStateSupported)),
            RowCommand::Details);
  EXPECT_EQ(RowCommandFor(ListView::lstvNList, Installed("1", "U", engine::kStateUnsupported)),
            RowCommand::Submit);
  EXPECT_EQ(RowCommandFor(ListView::lstvRList, Residue("1", "R")), RowCommand::Details);
  EXPECT_EQ(RowCommandFor(ListView::lstvNList, ListRow{}), RowCommand::Submit);
}

TEST(WindowRules, SelectAllTicksOnlySupportedInstalledRows) {
  MemoryWindow window;
  window.AddRow(ListView::lstvNList, Installed("1", "A", engine::kStateSupported));
  window.AddRow(ListView::lstvNList, Installed("2", "U", engine::kStateUnsupported));
  window.AddRow(ListView::lstvNList, Installed("3", "B", engine::kStateSupported));
  window.AddRow(ListView::lstvRList, Residue("1", "R"));
  SelectAllRows(window, ListView::lstvNList, true);
  auto rows = window.Rows(ListView::lstvNList);
  EXPECT_TRUE(rows[0].checked);
  EXPECT_EQ(rows[0].stateIndex, 1);
  EXPECT_FALSE(rows[1].checked);
  EXPECT_EQ(rows[1].stateIndex, 2);  // the red mark stays
  EXPECT_TRUE(rows[2].checked);
  EXPECT_FALSE(window.Rows(ListView::lstvRList)[0].checked);
  SelectAllRows(window, ListView::lstvRList, true);
  EXPECT_TRUE(window.Rows(ListView::lstvRList)[0].checked);
  SelectAllRows(window, ListView::lstvNList, false);
  rows = window.Rows(ListView::lstvNList);
  EXPECT_FALSE(rows[0].checked);
  EXPECT_EQ(rows[0].stateIndex, 0);
}

TEST(WindowRules, PurgeRemovesUnsupportedRowsAndRenumbersTheRest) {
  MemoryWindow window;
  // After a sort by name the numbers are out of order; the purge numbers the rows as they stand.
  window.AddRow(ListView::lstvNList, Installed("3", "A", engine::kStateSupported));
  window.AddRow(ListView::lstvNList, Installed("1", "U1", engine::kStateUnsupported));
  window.AddRow(ListView::lstvNList, Installed("4", "B", engine::kStateSupported));
  window.AddRow(ListView::lstvNList, Installed("2", "U2", engine::kStateUnsupported, true));
  window.SetRowSelected(ListView::lstvNList, 2, true);
  PurgeUnsupportedRows(window);
  const auto rows = window.Rows(ListView::lstvNList);
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].caption, "1");
  EXPECT_EQ(rows[0].subItems[0], "A");
  EXPECT_EQ(rows[1].caption, "2");
  EXPECT_EQ(rows[1].subItems[0], "B");
  EXPECT_FALSE(rows[1].selected);
}

TEST(WindowRules, TheWindowStaysWhileAnyRunHoldsItsButton) {
  using engine::Control;
  for (const Control running : {Control::imgScan, Control::imgClean, Control::imgDClean}) {
    MemoryWindow window;
    EXPECT_TRUE(MayClose(window));
    window.SetEnabled(running, false);
    EXPECT_FALSE(MayClose(window)) << engine::ControlName(running);
  }
}

TEST(WindowTexts, HintsAreLinesJoinedByCarriageReturns) {
  const std::string welcome = WelcomeHintText();
  EXPECT_EQ(welcome.substr(0, 46), "Sorvane helps you\rcompletely remove programs\r&");
  EXPECT_EQ(std::count(welcome.begin(), welcome.end(), '\r'), 8);
  EXPECT_EQ(welcome.back(), '.');
  const std::string results = ResultsHintText();
  EXPECT_EQ(std::count(results.begin(), results.end(), '\r'), 13);
  EXPECT_NE(results.find("\r\rTo submit unsupported software\r"), std::string::npos);
  EXPECT_EQ(results.find('\n'), std::string::npos);
  EXPECT_EQ(ScanningHintText(),
            "Sorvane is now scanning\ryour system. \r\rPlease wait until the scan is\r"
            "completed and the results are\rshown on the left.");
  EXPECT_EQ(ConfirmRemoveShownText("Kestrel Browser 4.2.1"),
            "Are you sure you want to remove Kestrel Browser 4.2.1? ");
}

TEST(WindowTexts, ProductInformation) {
  EXPECT_EQ(AppVersionText("1.7.5.199"), "v1.7.5");
  EXPECT_EQ(AppVersionText("2.0"), "v2.0");
  EXPECT_EQ(AppVersionText("3"), "v3");
  EXPECT_EQ(AppVersionText(""), std::nullopt);
  // 2024-03-15 08:05:09
  EXPECT_EQ(SoftVersionText(45366.0 + (8 * 3600 + 5 * 60 + 9) / 86400.0), "2024.0315.0805.09");
  EXPECT_EQ(SupportCountText(22), "22 Software");
  std::array<std::uint16_t, 11> counts{};
  for (std::size_t i = 0; i < counts.size(); ++i)
    counts[i] = static_cast<std::uint16_t>(i * 2);
  const auto entries = SupportComboEntries(counts);
  ASSERT_EQ(entries.size(), 11U);
  EXPECT_EQ(entries[0], "All Types(0)");
  EXPECT_EQ(entries[1], "Networking Software (2)");
  EXPECT_EQ(entries[3], "Audio and video (6)");
  EXPECT_EQ(entries[10], "Other Tools (20)");
}

}  // namespace
}  // namespace sv::app
