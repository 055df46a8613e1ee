// Every public operation of the library is declared by the one header the
// game includes and has a body behind it (the program links).

#include <gtest/gtest.h>

#include "lib/api/library_api.h"

namespace velk {
namespace {

#define VELK_OPERATION(name) reinterpret_cast<const void*>(&name)

TEST(PublicOperations, AllHundredAndFiveExistInTheirFamilies) {
    const void* const operations[] = {
        // Library life
        VELK_OPERATION(InitLibrary), VELK_OPERATION(EndLibrary), VELK_OPERATION(ProcessMessages),
        // Files
        VELK_OPERATION(OpenFileForRead), VELK_OPERATION(GetFileLength), VELK_OPERATION(CloseFile),
        VELK_OPERATION(ReadFromFile), VELK_OPERATION(ReadFileLine),
        // Window and settings
        VELK_OPERATION(GetWindowActiveFlag), VELK_OPERATION(GetMouseCursorShowFlag),
        VELK_OPERATION(GetWindowSizeExtendRate), VELK_OPERATION(ChangeWindowMode), VELK_OPERATION(SetMainWindowText),
        VELK_OPERATION(SetLogOutputFlag), VELK_OPERATION(SetAlwaysRunFlag), VELK_OPERATION(SetWindowIconId),
        VELK_OPERATION(SetWindowSizeExtendRate), VELK_OPERATION(SetUseArchiveFlag),
        VELK_OPERATION(SetArchiveExtension), VELK_OPERATION(SetArchiveKeyString),
        // Mouse and time
        VELK_OPERATION(SetMouseCursorShowFlag), VELK_OPERATION(GetMousePosition), VELK_OPERATION(SetMousePosition),
        VELK_OPERATION(GetMouseButtonState), VELK_OPERATION(GetMouseWheelTurns), VELK_OPERATION(WaitWithMessages),
        VELK_OPERATION(WaitForAnyKey), VELK_OPERATION(GetMillisecondCount),
        // Key input and input state
        VELK_OPERATION(SetKeyInputColors), VELK_OPERATION(CreateKeyInput), VELK_OPERATION(DeleteKeyInput),
        VELK_OPERATION(SetActiveKeyInput), VELK_OPERATION(GetKeyInputState), VELK_OPERATION(DrawKeyInputString),
        VELK_OPERATION(SetKeyInputText), VELK_OPERATION(GetKeyInputText), VELK_OPERATION(CheckAnyInput),
        VELK_OPERATION(GetAllKeyStates), VELK_OPERATION(GetPadInputState),
        // Screen
        VELK_OPERATION(SetUseHardwareRenderFlag), VELK_OPERATION(SetUseDirectDrawFlag),
        VELK_OPERATION(GetDisplayPixelFormat), VELK_OPERATION(GetColorValue),
        VELK_OPERATION(CreateColorDataFromMasks), VELK_OPERATION(CreatePixelFormat), VELK_OPERATION(FlipScreen),
        VELK_OPERATION(CopyFullBackBufferToWindow), VELK_OPERATION(SetScreenMode),
        VELK_OPERATION(SaveDrawScreenToPNG),
        // Graphs and drawing
        VELK_OPERATION(CreateEmptyGraph), VELK_OPERATION(DeleteGraph), VELK_OPERATION(GetGraphCount),
        VELK_OPERATION(DeleteAllGraphs), VELK_OPERATION(LoadGraphAsOneTexture), VELK_OPERATION(RestoreAllGraphs),
        VELK_OPERATION(ClearDrawScreen), VELK_OPERATION(DrawGraph), VELK_OPERATION(DrawGraphScaled),
        VELK_OPERATION(DrawGraphRotated), VELK_OPERATION(DrawRectGraph), VELK_OPERATION(DrawBlendGraph),
        VELK_OPERATION(DrawBox), VELK_OPERATION(SetDrawMode), VELK_OPERATION(SetDrawBlendMode),
        VELK_OPERATION(SetDrawBrightness), VELK_OPERATION(SetDrawScreen), VELK_OPERATION(SetUse3DFlag),
        VELK_OPERATION(SetTransparentColor), VELK_OPERATION(SetGraphRestoreCallback),
        VELK_OPERATION(GetDrawScreenGraph), VELK_OPERATION(GetGraphSize), VELK_OPERATION(GetUse3DFlag),
        VELK_OPERATION(DeleteAllGraphImageHandles), VELK_OPERATION(CreateXRGB32GraphImage),
        VELK_OPERATION(ReleaseGraphImage), VELK_OPERATION(CreateGraphFromMemoryImage),
        VELK_OPERATION(CreateDerivedGraph),
        // Text and fonts
        VELK_OPERATION(DrawString), VELK_OPERATION(DrawStringToHandle), VELK_OPERATION(DrawFormattedString),
        VELK_OPERATION(DrawStringScaledToHandle), VELK_OPERATION(ListFontFaceNames), VELK_OPERATION(InitFontHandles),
        VELK_OPERATION(CreateFontToHandle), VELK_OPERATION(SetDefaultFontSize),
        VELK_OPERATION(SetDefaultFontThickness), VELK_OPERATION(SetDefaultFontFace),
        VELK_OPERATION(SetDefaultFontType), VELK_OPERATION(GetStringWidth), VELK_OPERATION(GetStringWidthToHandle),
        // Sound
        VELK_OPERATION(DeleteAllSounds), VELK_OPERATION(LoadSoundFromMemoryWithBuffers),
        VELK_OPERATION(LoadSoundFromMemory), VELK_OPERATION(DeleteSound), VELK_OPERATION(PlaySoundHandle),
        VELK_OPERATION(StopSoundHandle), VELK_OPERATION(CheckSoundPlaying), VELK_OPERATION(SetSoundVolume),
        VELK_OPERATION(SetSoundFrequency), VELK_OPERATION(GetSoundFrequency), VELK_OPERATION(SetSoundPlayPosition),
        VELK_OPERATION(GetSoundPlayPosition), VELK_OPERATION(GetSoundLength), VELK_OPERATION(SetSoundLoopPosition),
        VELK_OPERATION(SetSoundCreateType),
    };
    EXPECT_EQ(std::size(operations), 105u);
    for (const void* operation : operations) EXPECT_NE(operation, nullptr);
}

#undef VELK_OPERATION

}  // namespace
}  // namespace velk
