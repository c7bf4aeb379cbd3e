// Resource identifiers of Sorvane.exe (shared by the resource script and the code).
#pragma once

#define IDI_SORVANE 1

// Artwork: JPEG pictures stored as RCDATA and decoded with the Windows Imaging Component.
// tools/artwork/make-artwork.sh draws them into res/, and res/artwork.rc lists them.
#define IDJ_LOGO 101             // 312 x 81, the left of the title area
#define IDJ_HEADER 102           // 380 x 81, the rest of the title area (stretched)
#define IDJ_SIDE 103             // 9 x 517, the left and right edges (stretched)
#define IDJ_FOOT 104             // 692 x 14, the strip at the bottom (stretched)
#define IDJ_TITLE_R 105          // 200 x 22, title image over the residue list
#define IDJ_TITLE_N 106          // 200 x 22, title image over the installed list
#define IDJ_STRIP_BUTTON 110     // 10 cells of 90 x 91 side by side (imglstButton)
#define IDJ_STRIP_OTHER 111      // 4 cells of 30 x 11 (imglstOther: minimise, close)
#define IDJ_STRIP_HELP 112       // 4 cells of 61 x 31 (imglstHelp: Help, Back)
#define IDJ_STRIP_TOPBUTTON 113  // 4 cells of 78 x 18 (imglstTopButton; 2 and 3: Settings)
#define IDJ_MENU_APP 120         // 16 x 16, picture of the tray menu's first item
#define IDJ_MENU_UPDATE 121      // 16 x 16, picture of "Update Online"
