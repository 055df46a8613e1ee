#include "game/shell/test_play_tools.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>

#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/event/parallel_common_event_runner.h"
#include "game/map/character.h"
#include "game/shell/frame_pacing.h"
#include "game/shell/game_home.h"
#include "game/shell/game_program.h"
#include "game/shell/presentation.h"
#include "game/shell/shell_wait.h"
#include "lib/api/library_api.h"
#include "platform/base/calendar_time.h"
#include "platform/base/text_encoding.h"

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

// The debug page: font size 12 in lines of 14 pixels; the lists under the
// headings fill the screen's quarters.
constexpr int kDebugFontSize = 12;
constexpr int kDebugLineHeight = 14;
constexpr int kDebugHalfWidth = 320;
constexpr int kDebugColumnGap = 8;
constexpr int kDebugHeadingY = 0;
constexpr int kDebugUpperListY = 20;
constexpr int kDebugLowerListY = 240;
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
// Longer names are cut before they are measured: a hostile name costs no
// more than a sensible one.
constexpr size_t kDebugLineBytes = 96;
constexpr char kSoundKinds[3][4] = {"BGM", "BGS", "SE"};

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

int TextWidth(const std::string& text) { return GetStringWidth(text.c_str(), static_cast<int>(text.size())); }

// The start of the text up to `bytes`, whole characters only.
std::string CutBytes(const std::string& text, size_t bytes) {
    size_t end = 0;
    while (end < text.size()) {
        size_t next = end + 1;
        if (platform::IsShiftJisLeadByte(static_cast<uint8_t>(text[end])) && next < text.size()) ++next;
        if (next > bytes) break;
        end = next;
    }
    return text.substr(0, end);
}

// The longest start of the text, whole characters only, that fits `width`.
std::string FitWidth(const std::string& text, int width) {
    std::string fitted = CutBytes(text, kDebugLineBytes);
    if (TextWidth(fitted) <= width) return fitted;
    for (size_t bytes = fitted.size(); bytes > 0; --bytes) {
        std::string shorter = CutBytes(fitted, bytes - 1);
        if (shorter.size() < bytes - 1) continue;
        if (TextWidth(shorter) <= width) return shorter;
    }
    return {};
}

int PlacesBetween(int top, int bottom) { return std::max(0, (bottom - top) / kDebugLineHeight); }

// The lines of one list from (x, top) down to `bottom`, each cut to
// `width`; when they do not all fit, the last place says how many are left.
void PlaceList(const std::vector<std::string>& items, int x, int top, int bottom, int width,
               std::vector<DebugPageLine>& out) {
    const size_t places = static_cast<size_t>(PlacesBetween(top, bottom));
    for (size_t i = 0; i < items.size() && i < places; ++i) {
        std::string text = items[i];
        if (i + 1 == places && items.size() > places) text = Format("... (+%d)", static_cast<int>(items.size() - i));
        text = FitWidth(text, width);
        out.push_back({x, top + static_cast<int>(i) * kDebugLineHeight, TextWidth(text), text});
    }
}

// The "%d," list broken at numbers' ends into at most `places` lines no
// wider than `width`; when it goes on, the last line says how many numbers
// are left.
std::vector<std::string> WrapList(const std::string& list, int width, size_t places) {
    std::vector<std::string> lines;
    if (places == 0) return lines;
    size_t lineBegin = 0;
    size_t begin = 0;
    while (begin < list.size()) {
        size_t end = list.find(',', begin);
        end = end == std::string::npos ? list.size() : end + 1;
        if (begin > lineBegin && TextWidth(list.substr(lineBegin, end - lineBegin)) > width) {
            if (lines.size() + 1 == places) {
                const auto left = std::count(list.begin() + static_cast<std::ptrdiff_t>(lineBegin), list.end(), ',');
                lines.push_back(Format("... (+%d)", static_cast<int>(left)));
                return lines;
            }
            lines.push_back(list.substr(lineBegin, begin - lineBegin));
            lineBegin = begin;
        }
        begin = end;
    }
    if (begin > lineBegin) lines.push_back(list.substr(lineBegin));
    return lines;
}

void AddSpriteImage(const CharacterSprite& sprite, const GraphicCache& cache, std::set<std::string>& seen,
                    std::vector<std::string>& names) {
    if (sprite.character == nullptr || sprite.image.empty() || cache.Cells(sprite.image) == nullptr) return;
    // A character drawn from a tileset cell shows the tileset, not a
    // character graphic of its own.
    if (sprite.character->graphicTileNumber >= 0) return;
    if (seen.insert(sprite.image).second) names.push_back(sprite.image);
}

// Lays the page out in the page's font (see LastDebugPage).
std::vector<DebugPageLine> LayOutDebugPage(const DebugPageContents& page) {
    std::vector<DebugPageLine> lines;
    const std::string heading = FitWidth(page.heading, kScreenWidth);
    lines.push_back({0, kDebugHeadingY, TextWidth(heading), heading});
    const int listWidth = kDebugHalfWidth - kDebugColumnGap;
    const int upperTop = kDebugUpperListY + kDebugLineHeight;
    const int lowerTop = kDebugLowerListY + kDebugLineHeight;
    PlaceList(page.pictureFiles, 0, upperTop, kDebugLowerListY, listWidth, lines);
    PlaceList(page.sounds, 0, lowerTop, kScreenHeight, listWidth, lines);
    PlaceList(page.characterGraphics, kDebugHalfWidth, upperTop, kDebugLowerListY, listWidth, lines);
    const size_t parallelPlaces = static_cast<size_t>(PlacesBetween(lowerTop, kScreenHeight));
    PlaceList(WrapList(page.parallelEvents, listWidth, parallelPlaces), kDebugHalfWidth, lowerTop, kScreenHeight,
              listWidth, lines);
    return lines;
}

// The scene's hotkey hook, of a type of its own so that the tools it owns
// can be found from the scene.
struct HotkeyHook {
    std::shared_ptr<TestPlayTools> tools;
    void operator()() const { tools->HandleHotkeys(0); }
};

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
    DrawBox(0, 0, kScreenWidth, kScreenHeight, GetColorValue(0, 0, 0), 1);
    SetDrawBlendMode(0, 255);
    SetDefaultFontType(0);
    SetDefaultFontSize(kDebugFontSize);
    const uint32_t white = GetColorValue(255, 255, 255);
    const uint32_t heading = GetColorValue(255, 120, 120);
    DrawString(0, kDebugUpperListY, kDebugPictures, heading);
    DrawString(0, kDebugLowerListY, kDebugSounds, heading);
    DrawString(kDebugHalfWidth, kDebugUpperListY, kDebugSprites, heading);
    DrawString(kDebugHalfWidth, kDebugLowerListY, kDebugParallel, heading);
    lastDebugPage_ = LayOutDebugPage(DebugPage());
    for (const DebugPageLine& line : lastDebugPage_)
        DrawString(line.x, line.y, line.text.c_str(), white);
    SetDefaultFontSize(MessageFontSize());
}

DebugPageContents TestPlayTools::DebugPage() const {
    DebugPageContents page;
    int32_t pictures = 0;
    if (const GamePresentation* p = debugSources.presentation) {
        pictures = static_cast<int32_t>(p->pictures.Pictures().size());
        // One line per file, whatever divisions its pictures cut it into.
        std::set<std::string> seen;
        for (const PictureImageStore::Entry& entry : p->pictureImages.Entries()) {
            if (seen.insert(entry.fileName).second) page.pictureFiles.push_back(entry.fileName);
        }
        seen.clear();
        const MapScene& scene = p->mapScene;
        AddSpriteImage(scene.heroSprite, p->cache, seen, page.characterGraphics);
        for (const CharacterSprite& sprite : scene.followerSprites)
            AddSpriteImage(sprite, p->cache, seen, page.characterGraphics);
        for (const CharacterSprite& sprite : scene.eventSprites)
            AddSpriteImage(sprite, p->cache, seen, page.characterGraphics);
    }
    const SoundState& sound = home_.sound;
    page.heading = Format(kDebugHeading, pictures, GetGraphCount(), sound.CountLoadedSounds());
    for (const SoundState::LoadedSound& loaded : sound.LoadedSounds())
        page.sounds.push_back(std::string(kSoundKinds[loaded.kind]) + " " + loaded.fileName);
    if (debugSources.parallelRunners != nullptr) {
        for (const ParallelCommonEventRunner& runner : *debugSources.parallelRunners) {
            if (runner.IsRunning()) page.parallelEvents += Format("%d,", runner.CommonIndex());
        }
    }
    return page;
}

std::shared_ptr<TestPlayTools> ConnectTestPlayTools(GameProgram& program) {
    auto tools = std::make_shared<TestPlayTools>(program.Home());
    Scene& scene = program.GetScene();
    scene.Hooks().hotkeys = HotkeyHook{tools};
    scene.SetDrawLayer(DrawLayer::kTestPlayOverlay, [tools] { tools->DrawTestPlayOverlay(); });
    return tools;
}

TestPlayTools* ConnectedTestPlayTools(Scene& scene) {
    const HotkeyHook* hook = scene.Hooks().hotkeys.target<HotkeyHook>();
    return hook == nullptr ? nullptr : hook->tools.get();
}

}  // namespace velk
