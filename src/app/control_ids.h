// Child-window identifiers of the main window. The window creates every control with the
// identifier of its name, and the GUI test driver finds controls by them from outside the
// process, so they are fixed numbers shared by both.
#pragma once

namespace sv::app::ids {

// Panels (containers). Their children are the controls below.
inline constexpr int pan_Left = 100;
inline constexpr int pan_Right = 101;
inline constexpr int panTop = 102;
inline constexpr int panFoot = 103;
inline constexpr int panFoot_Left = 104;
inline constexpr int panFoot_Main = 105;
inline constexpr int pan_Foot_Bottom = 106;
inline constexpr int pan_Foot_Side = 107;
inline constexpr int pan_Main_Uninstall = 110;
inline constexpr int pan_Main_Submit = 111;
inline constexpr int pan_Main_Detail = 112;
inline constexpr int pan_Main_Settings = 113;
inline constexpr int pan_Main_Status = 114;
inline constexpr int pan_Foot_Scan = 120;
inline constexpr int pan_Foot_Clean = 121;
inline constexpr int pan_Foot_Submit = 122;
inline constexpr int pan_Foot_Detail = 123;
inline constexpr int pan_Foot_Settings = 124;
inline constexpr int pan_Foot_Status = 125;
inline constexpr int pan_Uninstall_RightHint = 130;
inline constexpr int panCleanHint = 131;
inline constexpr int panUS1Top = 132;

// Image buttons (TImageEx): a click is a left button press and release inside the control,
// or Enter or Space while it has the focus.
inline constexpr int imgLogo = 200;
inline constexpr int imgHeader = 201;
inline constexpr int imgMin = 202;
inline constexpr int imgClose = 203;
inline constexpr int imgSettings = 204;
inline constexpr int imgLeft = 205;
inline constexpr int imgRight = 206;
inline constexpr int imgFoot = 207;
inline constexpr int imgScan = 210;
inline constexpr int imgClean = 211;
inline constexpr int imgCancel = 212;
inline constexpr int imgSubmit = 213;
inline constexpr int imgSCancel = 214;
inline constexpr int imgDClean = 215;
inline constexpr int imgDCancel = 216;
inline constexpr int imgSESave = 217;
inline constexpr int imgSECancel = 218;
inline constexpr int imgSTCancel = 219;
inline constexpr int imgHelp = 220;
inline constexpr int imgBack = 221;
inline constexpr int imgTitleR = 222;
inline constexpr int imgTitleN = 223;
inline constexpr int imgUS1Soft = 224;

// Labels (static text).
inline constexpr int labAppVer = 300;
inline constexpr int labSoftNum = 301;
inline constexpr int labSoftVersion = 302;
inline constexpr int labDataVersion = 303;
inline constexpr int labSupportNum = 304;
inline constexpr int labTitle = 305;
inline constexpr int labHint = 306;
inline constexpr int labUS1Soft = 307;
inline constexpr int labUS1Type = 308;
inline constexpr int labLastTime = 309;
inline constexpr int labSubmitHint = 310;
inline constexpr int labSettingsTitle = 311;

// Flat text buttons of the foot strip.
inline constexpr int sbtnUpdate = 400;
inline constexpr int sbtnSubmitSoft = 401;
inline constexpr int sbtnTechnical = 402;

// List views.
inline constexpr int lstvNList = 500;
inline constexpr int lstvRList = 501;
inline constexpr int lstvUS2Registry = 502;
inline constexpr int lstvUS2File = 503;
inline constexpr int lstvSoftInfo = 504;

// Check boxes.
inline constexpr int chkSelectAll1 = 600;
inline constexpr int chkSelectAll2 = 601;
inline constexpr int chkHideTip = 602;
inline constexpr int chkHideProcess = 603;
inline constexpr int chkHideUnsupport = 604;
inline constexpr int chkAutoUpdate = 605;
inline constexpr int chkUpdateDel = 606;
inline constexpr int chkWindowStart = 607;
inline constexpr int chkStartMin = 608;

// Group boxes, drop-down lists, edits, the gauge.
inline constexpr int gboxDisplay = 700;
inline constexpr int gboxUpdate = 701;
inline constexpr int gboxStartup = 702;
inline constexpr int cmbSupportSoft = 710;
inline constexpr int cmbSoftType = 711;
inline constexpr int cmbOS = 712;
inline constexpr int edtSoftName = 720;
inline constexpr int edtSoftVer = 721;
inline constexpr int edtDownLink = 722;
inline constexpr int memoOther = 723;
inline constexpr int edtEMail = 724;
inline constexpr int gaugeUS = 730;

}  // namespace sv::app::ids

// Window class names, so the driver can find the main window without relying on its caption.
#define SV_MAIN_WINDOW_CLASS L"TfrmMain"
#define SV_IMAGE_EX_CLASS L"TImageEx"
#define SV_PANEL_CLASS L"SvPanel"
