#pragma once
// Font handles: making and deleting fonts, the library's default font and its
// setters, re-making every font after the graphics were rebuilt, the start and
// end of font management, and the list of installed faces. Texts are
// Shift-JIS.

#include <memory>
#include <string>
#include <vector>

#include "lib/graphics/font/font_data.h"
#include "platform/font/gdi_font.h"

namespace velk {

// face: null or "" uses the fall-back face. -1 picks the default of each
// value: size 16, thickness 6, font type 0, character set by the code page
// (Shift-JIS here), edge size 1, the first free slot, the next check counter.
// An edge size above 1 makes the font edged. Returns the handle, -1 on
// failure (logged).
int CreateFontToHandle(const char* face, int size, int thickness, int font_type, int charset, int edge_size,
                       int italic, int slot = -1, int check = -1);
// 0; -1 on a bad handle.
int DeleteFontToHandle(int font);
// Deletes every font and makes the default font again. 0; -1 when the
// display device is needed and missing.
int InitFontHandles();
int RecreateAllFontHandles();
int InitFontManagement();
int EndFontManagement();

// Stores the flag's address and writes 0 through it; the font's deletion
// writes 1. 0, -1.
int SetFontDeleteNotifyFlag(int font, int* flag);
// Extra pixels added to every character's advance. 0, -1.
int SetFontSpaceToHandle(int spacing, int font);
// Each pointer may be null. 0, -1.
int GetFontStateToHandle(std::string* face, int* size, int* thickness, int font);
// The size asked for at creation; -1 on a bad handle.
int GetFontSizeToHandle(int font);

int GetDefaultFontHandle();
// -1 for each picks 16, 6 and 0. Each makes the default font again when it
// no longer matches. 0.
int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
int SetDefaultFontType(int font_type);
// face null or "": the fall-back face; charset -1: by the code page. 0.
int SetDefaultFontFace(const char* face, int charset);
// 0; -1 when the display device is needed and missing.
int SetDefaultFontSizeAndThickness(int size, int thickness);
// Makes the default font again when its parameters changed (the string
// draws and measures run it first).
void RefreshDefaultFont();

// The installed faces (and those a game added), each name once; with the
// flag only Japanese TrueType faces. Faces for vertical text ("@...") never
// count. names null counts only; max_count 0 means no limit. Returns the
// count.
int ListFontFaceNames(std::vector<std::string>* names, int max_count, int japanese_truetype_only);

// Where fonts come from: the platform's font stand-in unless a test puts in
// another (null restores it).
using GdiFontFactory = std::unique_ptr<platform::GdiFont> (*)(const platform::FontRequest& request);
void SetGdiFontFactory(GdiFontFactory factory);

}  // namespace velk
