#include "game/shell/test_play_tools.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/shell/frame_pacing.h"
#include "game/shell/game_home.h"
#include "game/shell/game_program.h"
#include "game/shell/shell_wait.h"
#include "lib/api/library_api.h"
#include "platform/base/calendar_time.h"

namespace velk {
namespace {

// 『%s』 　　VELK RPGエディター <F8:情報変更>
constexpr char kPlainTitle[] =
    "\x81w%s\x81x \x81@\x81@VELK RPG\x83G\x83"
    "f\x83"
    "B\x83^\x81[ <F8:\x8F\xEE\x95\xF1\x95\xCF\x8DX>";
// [描画FPS%d(%s)<%dms>/内部FPS%d]ｽﾌﾟﾗｲﾄ%d枚/ﾏｳｽ X%d Y%d / [Ev処理時間]=%s
constexpr char kTestPlayTitle[] =
    "[\x95`\x89\xE6"
    "FPS%d(%s)<%dms>/\x93\xE0\x95\x94"
    "FPS%d]\xBD\xCC\xDF\xD7\xB2\xC4%d\x96\x87/\xCF\xB3\xBD X%d Y%d / "
    "[Ev\x8F\x88\x97\x9D\x8E\x9E\x8A\xD4]=%s";
// [描画FPS%d/内部FPS%d] ﾌﾚｰﾑｽｷｯﾌﾟ(※F5)[%s]  (F8:情報変更)
constexpr char kPlayerTitle[] =
    "[\x95`\x89\xE6"
    "FPS%d/\x93\xE0\x95\x94"
    "FPS%d] \xCC\xDA\xB0\xD1\xBD\xB7\xAF\xCC\xDF(\x81\xA6"
    "F5)[%s]  "
    "(F8:\x8F\xEE\x95\xF1\x95\xCF\x8DX)";
// ｽｷｯﾌﾟなし
constexpr char kNoSkip[] = "\xBD\xB7\xAF\xCC\xDF\x82\xC8\x82\xB5";
// ｽｷｯﾌﾟx2
constexpr char kSkipTwo[] = "\xBD\xB7\xAF\xCC\xDFx2";
// ｽｷｯﾌﾟx3
constexpr char kSkipThree[] = "\xBD\xB7\xAF\xCC\xDFx3";
// ■
constexpr char kBarSquare[] = "\x81\xA1";
// ★
constexpr char kBarStar[] = "\x81\x9A";
// スクリーンショットを撮影しました
constexpr char kScreenshotTaken[] =
    "\x83X\x83N\x83\x8A\x81[\x83\x93\x83V\x83\x87\x83"
    "b\x83g\x82\xF0\x8E"
    "B\x89"
    "e\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// Ev%d CommonEv%d %d行
constexpr char kViewerPlace[] = "Ev%d CommonEv%d %d\x8Ds";
// ■通常変数-----
constexpr char kViewerNormalHeading[] = "\x81\xA1\x92\xCA\x8F\xED\x95\xCF\x90\x94-----";
// ■V%d-%.2i:%5d(%s)
constexpr char kViewerNormal[] = "\x81\xA1V%d-%.2i:%5d(%s)";
// ■文字列変数---
constexpr char kViewerStringHeading[] = "\x81\xA1\x95\xB6\x8E\x9A\x97\xF1\x95\xCF\x90\x94---";
// ●S%.2i:%s(%s)
constexpr char kViewerString[] = "\x81\x9CS%.2i:%s(%s)";
// ■ｼｽﾃﾑ変数-----
constexpr char kViewerSystemHeading[] = "\x81\xA1\xBC\xBD\xC3\xD1\x95\xCF\x90\x94-----";
// ★Sys%.2i:%5d(%s)
constexpr char kViewerSystem[] = "\x81\x9ASys%.2i:%5d(%s)";
// ■ｼｽﾃﾑ文字列(読み取り専用)---
constexpr char kViewerSystemStringHeading[] =
    "\x81\xA1\xBC\xBD\xC3\xD1\x95\xB6\x8E\x9A\x97\xF1(\x93\xC7\x82\xDD\x8E\xE6\x82\xE8\x90\xEA\x97p)---";
// ※SysS%.2i:%s(%s)
constexpr char kViewerSystemString[] = "\x81\xA6SysS%.2i:%s(%s)";
// [デバッグデータ]　　[ピクチャ %d(画像数%d)] / [音声数 %d]
constexpr char kDebugHeading[] =
    "[\x83"
    "f\x83o\x83"
    "b\x83O\x83"
    "f\x81[\x83^]\x81@\x81@[\x83s\x83N\x83`\x83\x83 %d(\x89\xE6\x91\x9C\x90\x94%d)] / "
    "[\x89\xB9\x90\xBA\x90\x94 %d]";
// [読込ピクチャ]
constexpr char kDebugPictures[] = "[\x93\xC7\x8D\x9E\x83s\x83N\x83`\x83\x83]";
// [読込サウンド]
constexpr char kDebugSounds[] =
    "[\x93\xC7\x8D\x9E\x83T\x83"
    "E\x83\x93\x83h]";
// [読込スプライト]
constexpr char kDebugSprites[] =
    "[\x93\xC7\x8D\x9E\x83X\x83v\x83\x89\x83"
    "C\x83g]";
// [実行中並列コモン]
constexpr char kDebugParallel[] = "[\x8E\xC0\x8Ds\x92\x86\x95\xC0\x97\xF1\x83R\x83\x82\x83\x93]";

constexpr char kScreenshotName[] = "ScreenShot_%d_%02d%02d_%02d_%02d_%02d.png";

// The system database's types that name the variables: type 14 + g names
// group g's normal variables (the store sizes the groups by the same
// types); the three reserved types before the sound rows' spare types name
// the string variables, system variables and system strings.
constexpr int32_t kNormalNameType = 14;
constexpr int32_t kStringNameType = 4;
constexpr int32_t kSystemNameType = 5;
constexpr int32_t kSystemStringNameType = 6;
constexpr int32_t kSystemVariableCount = 106;
constexpr int32_t kSystemStringCount = 50;
constexpr size_t kShownStringBytes = 32;

constexpr int kViewerFontSize = 9;
constexpr int kViewerWaitPasses = 30;
constexpr int kPollMilliseconds = 16;
constexpr int kEventBarSymbols = 21;

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[1024];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

const char* SkipText(int32_t level) {
    if (level == 1) return kSkipTwo;
    if (level == 2) return kSkipThree;
    return kNoSkip;
}

uint32_t NowMs() { return static_cast<uint32_t>(GetMillisecondCount()); }

}  // namespace

std::string ScreenshotFileName() {
    CalendarTime now = platform::LocalCalendarNow();
    return Format(kScreenshotName, now.year, now.month, now.day, now.hour, now.minute, now.second);
}

std::string EventTimeText(int32_t largest) {
    std::string text = std::to_string(largest);
    int symbols = 0;
    for (int32_t i = 0; i < largest && symbols < kEventBarSymbols; ++i) {
        const char* symbol = nullptr;
        if (i < 10) {
            symbol = "|";
        } else if (i <= 25) {
            if (i % 3 == 0) symbol = kBarSquare;
        } else if (i % 5 == 0) {
            symbol = kBarStar;
        }
        if (symbol) {
            text += symbol;
            ++symbols;
        }
    }
    return text;
}

std::string PlayedTimeText(int32_t frames) {
    uint32_t f = static_cast<uint32_t>(frames);
    return Format("%.2i:%.2i:%.2i", static_cast<int>(f / 216000), static_cast<int>((f % 216000) / 3600),
                  static_cast<int>((f % 3600) / 60));
}

std::vector<std::string> VariableViewerLines(GameHome& home) {
    std::vector<std::string> lines;
    const ErrorLocation& place = CurrentErrorLocation();
    lines.push_back(Format(kViewerPlace, place.mapEvent, place.commonEvent, place.line));
    VariableStore& store = home.variableStore;
    Database& names = home.databases.system;
    const VariableStoreContents& contents = store.Contents();
    lines.push_back(kViewerNormalHeading);
    for (size_t g = 0; g < contents.groups.size(); ++g) {
        const std::vector<int32_t>& group = contents.groups[g];
        for (size_t i = 0; i < group.size(); ++i) {
            std::string name = names.GetDataName(kNormalNameType + static_cast<int32_t>(g), static_cast<int32_t>(i));
            lines.push_back(Format(kViewerNormal, static_cast<int>(g), static_cast<int>(i), group[i], name.c_str()));
        }
    }
    lines.push_back(kViewerStringHeading);
    for (size_t i = 0; i < contents.strings.size(); ++i) {
        std::string value = contents.strings[i].substr(0, kShownStringBytes);
        std::string name = names.GetDataName(kStringNameType, static_cast<int32_t>(i));
        lines.push_back(Format(kViewerString, static_cast<int>(i), value.c_str(), name.c_str()));
    }
    lines.push_back(kViewerSystemHeading);
    for (int32_t i = 0; i < kSystemVariableCount; ++i) {
        std::string name = names.GetDataName(kSystemNameType, i);
        lines.push_back(Format(kViewerSystem, i, store.GetSystemVariable(i), name.c_str()));
    }
    lines.push_back(kViewerSystemStringHeading);
    for (int32_t i = 0; i < kSystemStringCount; ++i) {
        std::string value = store.GetSystemString(i);
        std::string name = names.GetDataName(kSystemStringNameType, i);
        lines.push_back(Format(kViewerSystemString, i, value.c_str(), name.c_str()));
    }
    return lines;
}

int32_t TestPlayTools::MessageFontSize() const { return home_.MessageFontSize(); }

void TestPlayTools::HandleHotkeys(int flag) {
    if (flag == 1) return;
    const InputState& input = home_.inputState;
    GameWideValues& values = home_.wideValues;
    GameSystem& system = home_.gameSystem;

    if (input.ToolKeyPressed(InputState::kF4Key)) StepWindowScale();
    if (input.ToolKeyPressed(InputState::kF5Key)) {
        skipStep_ = (skipStep_ + 1) % 3;
        SetFrameSkipLevel(values, skipStep_, home_.playerSettings.frameSkip);
    }
    if (input.ToolKeyPressed(InputState::kF8Key)) {
        system.informationMode = (system.informationMode + 1) % 2;
        SetFrameSkipLevel(values, skipStep_, home_.playerSettings.frameSkip);
    }
    if (input.ToolKeyPressed(InputState::kF9Key) && values.testPlayFlag) ShowVariableViewer(true);
    if (input.ToolKeyPressed(InputState::kF12Key)) system.sceneState = kSceneTitle;
    if (input.ToolKeyPressed(InputState::kPrintScreenKey) && home_.playerSettings.screenShotFlag != 0) {
        TakeScreenshot();
    }
}

void TestPlayTools::StepWindowScale() {
    scaleStep_ = (scaleStep_ + 1) % 3;
    double rate = 1.0;
    if (scaleStep_ == 2) {
        if (home_.playerSettings.softModeFlag == 0) {
            rate = 0.5;
        } else {
            scaleStep_ = 0;
        }
    } else if (scaleStep_ == 1) {
        int width = 640, height = 480;
        GetDesktopWorkArea(&width, &height);
        double rx = width / 640.0;
        double ry = height / 480.0;
        rate = (rx < ry + 0.1 ? rx : ry) - 0.04;
    }
    SetWindowSizeExtendRate(rate);
    SetMouseCursorShowFlag(home_.mainInterpreter.systemVariables.sysVar74);
}

void TestPlayTools::TakeScreenshot() {
    FlipScreen();
    CopyFullBackBufferToWindow();
    std::string name = ScreenshotFileName();
    if (SaveDrawScreenToPNG(0, 0, 640, 480, name.c_str(), -1) == 0) lastScreenshot_ = name;
    SetDrawBlendMode(1, 180);
    DrawBox(0, 192, 640, 288, GetColorValue(0, 90, 0), 1);
    SetDrawBlendMode(0, 255);
    const GameWideValues& values = home_.wideValues;
    int lift = 0;
    if (values.chipSize == 16) lift = values.chipScale == 1 ? 10 : 20;
    SetDefaultFontSize(values.chipSize * values.chipScale / 2);
    uint32_t white = GetColorValue(255, 255, 255);
    auto centred = [&](const std::string& text, int y) {
        int width = GetStringWidth(text.c_str(), static_cast<int>(text.size()));
        DrawString(320 - width / 2, y - lift, text.c_str(), white);
    };
    centred(kScreenshotTaken, 224);
    centred(name, 246);
    FlipScreen();
    WaitForAnyKey();
    SetDefaultFontSize(MessageFontSize());
}

void TestPlayTools::ShowVariableViewer(bool first) {
    GameWideValues& values = home_.wideValues;
    if (!values.testPlayFlag) return;
    if (first) viewerOffset_ = 0;
    bool smallScreen = values.chipSize == 16 && values.chipScale == 1;
    const int column = smallScreen ? 160 : 220;
    const int pageStep = smallScreen ? 320 : 660;
    const int unit = values.chipSize * values.chipScale;
    const int screenHeight = unit * 15;

    std::vector<std::string> lines = VariableViewerLines(home_);
    struct Placed {
        int x, y;
    };
    std::vector<Placed> places;
    int x = 0, y = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        places.push_back({x, y});
        y += kViewerFontSize;
        if (y >= screenHeight - 8) {
            y = 0;
            x += column;
        }
    }
    const int lastColumn = places.empty() ? 0 : places.back().x;

    bool closed = false;
    while (true) {
        SetDefaultFontType(2);
        SetDefaultFontSize(kViewerFontSize);
        SetDrawBlendMode(1, 190);
        DrawBox(0, 0, 640, 480, GetColorValue(0, 0, 0), 1);
        SetDrawBlendMode(0, 255);
        uint32_t white = GetColorValue(255, 255, 255);
        for (size_t i = 0; i < lines.size(); ++i) {
            DrawFormattedString(places[i].x - viewerOffset_, places[i].y, white, "%s", lines[i].c_str());
        }
        FlipScreen();
        int held = 0;
        while (!closed) {
            if (ProcessMessages() != 0) {
                // The remaining pages pass without waiting.
                home_.gameSystem.sceneState = kSceneQuit;
                closed = true;
                break;
            }
            home_.UpdateInput();
            const InputState& input = home_.inputState;
            if (input.Pressed(kButtonConfirm) || input.MouseClicked(0)) break;
            if (input.Held(kButtonConfirm) || input.MouseHeld(0)) {
                if (++held > kViewerWaitPasses) break;
            } else {
                held = 0;
            }
            ShellWait(kPollMilliseconds);
        }
        if (viewerOffset_ > lastColumn - unit * 15) break;
        viewerOffset_ = std::min(viewerOffset_ + pageStep, lastColumn + unit * 6);
    }
    SetDefaultFontSize(MessageFontSize());
}

void TestPlayTools::DrawTestPlayOverlay() {
    uint32_t now = NowMs();
    ++drawnCount_;
    if (!markSet_) {
        markSet_ = true;
        markMs_ = now;
    } else if (now - markMs_ >= 1000) {
        drawnFps_ = drawnCount_;
        drawnCount_ = 0;
        markMs_ = now;
    }
    const ReplayRecorder& replay = home_.replayRecorder;
    if (replay.playbackFlag) {
        DrawString(530, 460, PlayedTimeText(replay.PlayedFrames()).c_str(), GetColorValue(235, 235, 255));
    }
    int32_t mode = home_.gameSystem.informationMode;
    SetWindowTitle(mode);
    if (home_.wideValues.testPlayFlag && home_.inputState.ToolKeyHeld(InputState::kF8Key)) DrawDebugPage();
    lastMode_ = mode;
}

void TestPlayTools::SetWindowTitle(int32_t mode) {
    const GameWideValues& values = home_.wideValues;
    if (mode == 0) {
        if (mode != lastMode_) {
            SetMainWindowText(Format(kPlainTitle, home_.gameInfo.Text(GameInfo::kTitleText).c_str()).c_str());
        }
        return;
    }
    if (mode != 1) return;
    if (values.testPlayFlag) {
        if (drawnCount_ % 3 != 0) return;
        int mx = 0, my = 0;
        GetMousePosition(&mx, &my);
        const std::array<int32_t, 5>& history = home_.gameSystem.frameHistory;
        int32_t largest = *std::max_element(history.begin(), history.end());
        SetMainWindowText(Format(kTestPlayTitle, drawnFps_, SkipText(values.frameSkipLevel),
                                 home_.gameSystem.drawingTime, values.measuredFps, GetGraphCount(),
                                 mx * values.chipSize / 32, my * values.chipSize / 32, EventTimeText(largest).c_str())
                              .c_str());
    } else if (drawnCount_ % 5 == 0) {
        SetMainWindowText(Format(kPlayerTitle, drawnFps_, values.measuredFps, SkipText(values.frameSkipLevel)).c_str());
    }
}

void TestPlayTools::DrawDebugPage() {
    SetDrawBlendMode(1, 180);
    DrawBox(0, 0, 640, 480, GetColorValue(0, 0, 0), 1);
    SetDrawBlendMode(0, 255);
    SetDefaultFontType(0);
    SetDefaultFontSize(12);
    uint32_t white = GetColorValue(255, 255, 255);
    uint32_t heading = GetColorValue(255, 120, 120);
    // The lists under the headings come from their owners once they report
    // them; the page's frame is fixed here.
    DrawString(0, 0, DebugHeading().c_str(), white);
    DrawString(0, 20, kDebugPictures, heading);
    DrawString(0, 240, kDebugSounds, heading);
    DrawString(320, 20, kDebugSprites, heading);
    DrawString(320, 240, kDebugParallel, heading);
    SetDefaultFontSize(MessageFontSize());
}

std::string TestPlayTools::DebugHeading() const {
    const int32_t pictures = countPictures ? countPictures() : 0;
    return Format(kDebugHeading, pictures, GetGraphCount(), home_.sound.CountLoadedSounds());
}

std::shared_ptr<TestPlayTools> ConnectTestPlayTools(GameProgram& program) {
    auto tools = std::make_shared<TestPlayTools>(program.Home());
    Scene& scene = program.GetScene();
    scene.Hooks().hotkeys = [tools] { tools->HandleHotkeys(0); };
    scene.SetDrawLayer(DrawLayer::kTestPlayOverlay, [tools] { tools->DrawTestPlayOverlay(); });
    return tools;
}

}  // namespace velk
