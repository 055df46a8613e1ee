#pragma once
// Messages, window styles and virtual keys of the window stand-in. The values
// are the ones the library's window code was written against, so message
// numbers keep their meaning in the code that handles them.

#include <cstdint>

namespace velk::platform {

// Names a window of the stand-in; 0 names none.
using WindowHandle = int32_t;
// As a message filter: only the messages posted to the thread itself.
constexpr WindowHandle kThreadMessagesOnly = -1;

using WParam = uint64_t;
using LParam = int64_t;
using MessageResult = int64_t;

struct Message {
    WindowHandle window = 0;
    uint32_t message = 0;
    WParam wparam = 0;
    LParam lparam = 0;
};

namespace msg {
constexpr uint32_t kDestroy = 0x0002;
constexpr uint32_t kMove = 0x0003;
constexpr uint32_t kSize = 0x0005;
constexpr uint32_t kActivate = 0x0006;
constexpr uint32_t kPaint = 0x000F;
constexpr uint32_t kClose = 0x0010;
constexpr uint32_t kQuit = 0x0012;
constexpr uint32_t kActivateApp = 0x001C;
constexpr uint32_t kSetCursor = 0x0020;
constexpr uint32_t kDisplayChange = 0x007E;
constexpr uint32_t kKeyDown = 0x0100;
constexpr uint32_t kKeyUp = 0x0101;
constexpr uint32_t kChar = 0x0102;
constexpr uint32_t kSysKeyDown = 0x0104;
constexpr uint32_t kSysKeyUp = 0x0105;
constexpr uint32_t kImeStartComposition = 0x010D;
constexpr uint32_t kImeEndComposition = 0x010E;
constexpr uint32_t kImeComposition = 0x010F;
constexpr uint32_t kSysCommand = 0x0112;
constexpr uint32_t kTimer = 0x0113;
constexpr uint32_t kMouseMove = 0x0200;
constexpr uint32_t kLeftButtonDown = 0x0201;
constexpr uint32_t kLeftButtonUp = 0x0202;
constexpr uint32_t kRightButtonDown = 0x0204;
constexpr uint32_t kRightButtonUp = 0x0205;
constexpr uint32_t kMiddleButtonDown = 0x0207;
constexpr uint32_t kMiddleButtonUp = 0x0208;
constexpr uint32_t kMouseWheel = 0x020A;
constexpr uint32_t kSizing = 0x0214;
constexpr uint32_t kMoving = 0x0216;
constexpr uint32_t kDropFiles = 0x0233;
constexpr uint32_t kImeSetContext = 0x0281;
constexpr uint32_t kImeNotify = 0x0282;
constexpr uint32_t kMciNotify = 0x03B9;
// The library's own messages.
constexpr uint32_t kF10Held = 0x046F;
constexpr uint32_t kNetworkEvent = 0x0505;
}  // namespace msg

// wParam of the activation message.
constexpr uint16_t kActivateInactive = 0;
constexpr uint16_t kActivateActive = 1;

// wParam of the size message.
constexpr uint32_t kSizeRestored = 0;
constexpr uint32_t kSizeMinimized = 1;
constexpr uint32_t kSizeMaximized = 2;

// wParam of the system command message (low four bits are the system's own).
constexpr uint32_t kSysCommandClose = 0xF060;
constexpr uint32_t kSysCommandScreenSave = 0xF140;
constexpr uint32_t kSysCommandMonitorPower = 0xF170;

// lParam bits of the composition message.
constexpr uint32_t kCompositionString = 0x0008;
constexpr uint32_t kCompositionClause = 0x0020;
constexpr uint32_t kCompositionCursor = 0x0080;
constexpr uint32_t kCompositionResult = 0x0800;

// wParam of the input-method notification message.
constexpr uint32_t kImeNotifyCloseCandidate = 0x0004;
constexpr uint32_t kImeNotifyOpenCandidate = 0x0005;
constexpr uint32_t kImeNotifyChangeCandidate = 0x0003;
constexpr uint32_t kImeNotifySetOpenStatus = 0x0008;
constexpr uint32_t kImeNotifySetCandidatePosition = 0x0009;

// Key messages carry the modifiers held when the key went down above the 32
// bits that the key data itself uses; character translation reads them.
constexpr LParam kKeyDataControl = LParam{1} << 32;
constexpr LParam kKeyDataShift = LParam{1} << 33;
constexpr LParam kKeyDataAlt = LParam{1} << 34;

// Window styles.
constexpr uint32_t kStylePopup = 0x80000000u;
constexpr uint32_t kStyleVisible = 0x10000000u;
constexpr uint32_t kStyleCaption = 0x00C00000u;
constexpr uint32_t kStyleSystemMenu = 0x00080000u;
constexpr uint32_t kStyleMinimizeBox = 0x00020000u;
constexpr uint32_t kExStyleTopmost = 0x00000008u;
constexpr uint32_t kExStyleWindowEdge = 0x00000100u;
constexpr uint32_t kExStyleClientEdge = 0x00000200u;

// Show commands.
constexpr int kShowHide = 0;
constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 6;
constexpr int kShowRestore = 9;
constexpr int kShowDefault = 5;

// Virtual keys the library's code and the character translation look at.
namespace vk {
constexpr uint32_t kBack = 0x08;
constexpr uint32_t kTab = 0x09;
constexpr uint32_t kReturn = 0x0D;
constexpr uint32_t kShift = 0x10;
constexpr uint32_t kControl = 0x11;
constexpr uint32_t kMenu = 0x12;
constexpr uint32_t kPause = 0x13;
constexpr uint32_t kCapital = 0x14;
constexpr uint32_t kKana = 0x15;
constexpr uint32_t kKanji = 0x19;
constexpr uint32_t kEscape = 0x1B;
constexpr uint32_t kConvert = 0x1C;
constexpr uint32_t kNonConvert = 0x1D;
constexpr uint32_t kSpace = 0x20;
constexpr uint32_t kPrior = 0x21;
constexpr uint32_t kNext = 0x22;
constexpr uint32_t kEnd = 0x23;
constexpr uint32_t kHome = 0x24;
constexpr uint32_t kLeft = 0x25;
constexpr uint32_t kUp = 0x26;
constexpr uint32_t kRight = 0x27;
constexpr uint32_t kDown = 0x28;
constexpr uint32_t kSnapshot = 0x2C;
constexpr uint32_t kInsert = 0x2D;
constexpr uint32_t kDelete = 0x2E;
constexpr uint32_t kDigit0 = 0x30;  // to 0x39
constexpr uint32_t kLetterA = 0x41;  // to 0x5A
constexpr uint32_t kNumpad0 = 0x60;  // to 0x69
constexpr uint32_t kMultiply = 0x6A;
constexpr uint32_t kAdd = 0x6B;
constexpr uint32_t kSubtract = 0x6D;
constexpr uint32_t kDecimal = 0x6E;
constexpr uint32_t kDivide = 0x6F;
constexpr uint32_t kF1 = 0x70;  // to F24 = 0x87
constexpr uint32_t kNumLock = 0x90;
constexpr uint32_t kScroll = 0x91;
constexpr uint32_t kOem1 = 0xBA;
constexpr uint32_t kOemPlus = 0xBB;
constexpr uint32_t kOemComma = 0xBC;
constexpr uint32_t kOemMinus = 0xBD;
constexpr uint32_t kOemPeriod = 0xBE;
constexpr uint32_t kOem2 = 0xBF;
constexpr uint32_t kOem3 = 0xC0;
constexpr uint32_t kOem4 = 0xDB;
constexpr uint32_t kOem5 = 0xDC;
constexpr uint32_t kOem6 = 0xDD;
constexpr uint32_t kOem7 = 0xDE;
constexpr uint32_t kOem102 = 0xE2;
}  // namespace vk

constexpr uint16_t LowWord(uint64_t value) { return static_cast<uint16_t>(value & 0xFFFFu); }
constexpr uint16_t HighWord(uint64_t value) { return static_cast<uint16_t>((value >> 16) & 0xFFFFu); }
constexpr int16_t SignedLowWord(uint64_t value) { return static_cast<int16_t>(LowWord(value)); }
constexpr int16_t SignedHighWord(uint64_t value) { return static_cast<int16_t>(HighWord(value)); }
constexpr LParam MakeLParam(int low, int high) {
    return static_cast<LParam>(static_cast<uint32_t>((static_cast<uint32_t>(high) & 0xFFFFu) << 16 |
                                                     (static_cast<uint32_t>(low) & 0xFFFFu)));
}

}  // namespace velk::platform
