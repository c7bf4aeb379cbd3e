// Child ids of the fixture window, shared by the fixture and the driver's tests on it.
#pragma once

namespace sv::gui::fixture {

inline constexpr int kPanel = 100;
inline constexpr int kImageButton = 210;
inline constexpr int kDisabledImageButton = 211;
inline constexpr int kAddLater = 212;
inline constexpr int kLabel = 300;
inline constexpr int kOpenedLabel = 301;
inline constexpr int kCheckLabel = 302;
inline constexpr int kAnswerLabel = 303;
inline constexpr int kList = 500;
inline constexpr int kCheckBox = 600;
inline constexpr int kEdit = 720;
inline constexpr int kCombo = 710;

}  // namespace sv::gui::fixture
