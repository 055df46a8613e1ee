#pragma once
// The game library as the game sees it: every public operation, by family,
// with the program-wide set-up around them. Include this one header; call
// RegisterLibraryParts() once, set the start options and the window and
// screen settings, then InitLibrary(); end with EndLibrary().
//
// Only InitLibrary, EndLibrary and ProcessMessages take the library lock;
// every other operation is called from the main thread.

// Library life, start options, the system-information record and the fatal
// exit: InitLibrary, EndLibrary, ProcessMessages, ExitOnFatalError.
#include "lib/core/library.h"
#include "lib/api/library_parts.h"
#include "lib/api/start_options.h"
#include "lib/core/system_information.h"

// The log: WriteLog, SetLogOutputFlag.
#include "lib/core/log.h"

// Files: OpenFileForRead, GetFileLength, CloseFile, ReadFromFile,
// ReadFileLine, SetUseArchiveFlag, SetArchiveExtension, SetArchiveKeyString.
#include "lib/core/files/file_operations.h"

// Window and settings: GetWindowActiveFlag, GetMouseCursorShowFlag,
// GetWindowSizeExtendRate, ChangeWindowMode, SetMainWindowText,
// SetAlwaysRunFlag, SetWindowIconId, SetWindowSizeExtendRate; mouse:
// SetMouseCursorShowFlag, GetMousePosition, SetMousePosition,
// GetMouseWheelTurns.
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"

// Time: WaitWithMessages, GetMillisecondCount.
#include "lib/core/base_routines.h"

// Input: GetMouseButtonState, CheckAnyInput, GetAllKeyStates,
// GetPadInputState, WaitForAnyKey; key input: SetKeyInputColors,
// CreateKeyInput, DeleteKeyInput, SetActiveKeyInput, GetKeyInputState,
// DrawKeyInputString, SetKeyInputText, GetKeyInputText.
#include "lib/core/input/clipboard_text.h"
#include "lib/core/input/device_input.h"
#include "lib/core/input/key_input.h"

// Screen: SetUseHardwareRenderFlag, SetUseDirectDrawFlag,
// GetDisplayPixelFormat, GetColorValue, CreateColorDataFromMasks,
// CreatePixelFormat, FlipScreen, CopyFullBackBufferToWindow, SetScreenMode,
// SaveDrawScreenToPNG.
#include "lib/api/screen_entries.h"
#include "lib/image/color_data.h"
#include "lib/graphics/screen/screen_present.h"

// Graphs and drawing: CreateEmptyGraph, DeleteGraph, GetGraphCount,
// DeleteAllGraphs, LoadGraphAsOneTexture, RestoreAllGraphs, ClearDrawScreen,
// DrawGraph, DrawGraphScaled, DrawGraphRotated, DrawRectGraph,
// DrawBlendGraph, DrawBox, SetDrawMode, SetDrawBlendMode, SetDrawBrightness,
// SetDrawScreen, SetUse3DFlag, SetTransparentColor, SetGraphRestoreCallback,
// GetDrawScreenGraph, GetGraphSize, GetUse3DFlag, DeleteAllGraphImageHandles,
// CreateXRGB32GraphImage, ReleaseGraphImage, CreateGraphFromMemoryImage,
// CreateDerivedGraph.
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/image/graph_image.h"
#include "lib/image/graph_image_handles.h"

// Text and fonts: DrawString, DrawStringToHandle, DrawFormattedString,
// DrawStringScaledToHandle, ListFontFaceNames, InitFontHandles,
// CreateFontToHandle, SetDefaultFontSize, SetDefaultFontThickness,
// SetDefaultFontFace, SetDefaultFontType, GetStringWidth,
// GetStringWidthToHandle.
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/text_draw.h"

// Sound: DeleteAllSounds, LoadSoundFromMemoryWithBuffers,
// LoadSoundFromMemory, DeleteSound, PlaySoundHandle, StopSoundHandle,
// CheckSoundPlaying, SetSoundVolume, SetSoundFrequency, GetSoundFrequency,
// SetSoundPlayPosition, GetSoundPlayPosition, GetSoundLength,
// SetSoundLoopPosition, SetSoundCreateType.
#include "lib/sound/sound_public.h"
