// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's layout as data: geometry constants of the two views and
// one table per key panel and for the menu. The window builds its controls
// from these tables; nothing else places a key.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <span>

namespace tallyvox {

class TFrmMain;

namespace layout {

// Outer window sizes of the two views. Where a window manager draws a frame,
// the frame is inside these sizes; without one they are the widget's size.
constexpr QSize StandardOuterSize{250, 430};
constexpr QSize EnhancedOuterSize{478, 430};

// The layout before FormCreate picks a view (client area and panels).
constexpr QSize InitialClientSize{462, 456};
constexpr QRect InitialResultRect{16, 16, 433, 65};
constexpr QRect InitialNumberRect{238, 94, 211, 209};
constexpr QRect InitialScienceRect{16, 94, 211, 209};

constexpr QPoint StandardNumberPos{15, 97};
constexpr QPoint EnhancedNumberPos{242, 97};
constexpr QPoint EnhancedSciencePos{15, 97};
constexpr int StandardResultWidth = 211;
constexpr int EnhancedResultWidth = 438;

// Without a loaded page the strip is hidden and the window that much lower.
constexpr int AdStripHeight = 60;

// The tape panel under the keypad, as wide as the display; shown, it makes
// the window that much taller and leaves every key where it was.
constexpr int TapeLeft = 16;
constexpr int TapeTop = 316;
constexpr int TapeHeight = 150;
constexpr int TapeGrowth = TapeHeight + 10;

// The display's and the label's fonts; both shrink, down to the smallest, so
// that a long number shows whole.
constexpr int DisplayFontPixels = 20;
constexpr int LabelFontPixels = 14;
constexpr int SmallestFontPixels = 8;

// Controls that lie outside the visible client area or stay hidden.
constexpr QRect EditTempRect{543, 368, 121, 21};
constexpr QRect SpbInvRect{543, 286, 35, 28};
constexpr QRect SpeedButton2Rect{529, 320, 76, 28};

// Inside pnlResult: bevel width, side margin, label height, memory mark.
constexpr int ResultBevel = 2;
constexpr int ResultSideMargin = 5;
constexpr int LabelHeight = 18;
constexpr QRect MemoryMarkRect{8, 8, 3, 13};

// The angle strip at the top of RzScience and its radio buttons.
constexpr QRect Panel2Rect{8, 8, 191, 28};
constexpr QRect RadAngleRect{4, 4, 48, 17};
constexpr QRect RadRadianRect{76, 4, 43, 17};
constexpr QRect RadGradsRect{141, 4, 43, 17};

constexpr int KeyWidth = 35;
constexpr int KeyHeight = 28;

// Picture keys: drawn at start, not loaded from files.
enum class KeyPicture : std::uint8_t {
    None,
    SquareRoot, // √x
    Pi,         // π
    Square,     // x²
    Cube,       // x³
    PowerN,     // xⁿ
    RootN,      // ⁿ√x
    CubeRoot,   // ∛x
    TenPower,   // 10ⁿ
};

using KeySlot = void (TFrmMain::*)();

// A key's place and face; the rest of the key is its row of the key table
// with the same object name.
struct KeyEntry {
    const char *name;
    const char *caption; // empty for picture keys (KeyPictureText says what they show)
    KeyPicture picture;
    QRect rect;             // in the panel's client pixels
    bool green = false;     // caption drawn in green ("CE", "C")
    bool checkable = false; // stays down until the next click ("F-E")
};

struct MenuEntry {
    const char *name;
    const char *caption;
    const char *parent; // nullptr: top level in MainMenu1
    KeySlot slot;       // nullptr: no handler
    bool radio = false; // member of the view group
    bool visible = true;
    int tag = 0;
};

} // namespace layout
} // namespace tallyvox
