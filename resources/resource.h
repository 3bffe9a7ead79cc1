// Identifiers of Kaptor32's resources (resources/Kaptor32.rc), shared by the .rc and the
// program's code.
//
// Named, not numbered, so there is nothing to #define for them here:
//   "MAINICON"  RT_GROUP_ICON  program icon, 32 x 32 and 16 x 16, 16 colours; also as id 1
//   "CUT"       RT_CURSOR      range-mode cursor, 32 x 32 monochrome, hot spot (0, 0)
#pragma once

// Icons. Id 1 is the program icon again; the About box's animation frames are numbered,
// not named, because named groups sort before numbered ones and Explorer shows the first
// group as the file's icon: that must stay "MAINICON".
#define IDI_MAINICON 1
#define IDI_ABOUT_A 2  // frame A: the camera with its flash lit
#define IDI_ABOUT_B 3  // frame B: the flash bursting

// Glyphs of the tool buttons: 24-bit bitmaps, magenta (255, 0, 255) marks transparent
// pixels. 24 x 24 on ToolBar1's 52 x 40 buttons, 16 x 16 on Panel1's buttons.
#define IDB_CLOSE 101      // SB_Close: door with an arrow going out
#define IDB_OPEN 102       // SB_Open: opened folder
#define IDB_CAPTURE 103    // SB_Capture: monitor inside capture marks (whole screen)
#define IDB_CAPTURE2 104   // SB_Capture2: window list and the chosen window
#define IDB_CAPTURE3 105   // SB_Capture3: active window in front of an inactive one
#define IDB_MAX 106        // SB_Max: monitor with arrows to its corners (full screen)
#define IDB_COPY 107       // SB_Copy: two sheets
#define IDB_PASTE 108      // SB_Paste: clipboard with a sheet
#define IDB_SAVE 109       // SB_Save: floppy disk
#define IDB_OPTION 110     // SB_Option: settings sheet and gear
#define IDB_PRINT 111      // SB_Print: printer
#define IDB_PRTDIALOG 112  // SB_PrtDialog: printer with a gear
#define IDB_RANGE 113      // SB_Range, 16 x 16: selection rectangle with a crop corner
#define IDB_NORANGE 114    // SB_NoRange, 16 x 16: selection rectangle struck out
#define IDB_RESIZE 115     // SB_Resize, 16 x 16: picture and its larger outline
#define IDB_MARKUP 116     // markup mode, 16 x 16: a box and an arrow, and a pencil

#ifndef RC_INVOKED
namespace kaptor {
// COLORREF (0x00bbggrr) of the glyphs' transparent colour.
inline constexpr unsigned long GlyphKeyColor = 0x00FF00FFul;
inline constexpr int ToolGlyphSize = 24;   // ToolBar1's glyphs
inline constexpr int PanelGlyphSize = 16;  // SB_Range, SB_NoRange, SB_Resize
}  // namespace kaptor
#endif
