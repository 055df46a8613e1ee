#include <gtest/gtest.h>

#include "lib/sound/midi_handles.h"
#include "lib/sound/sound.h"
#include "tests/lib/sound/sound_fixture.h"

namespace velk {
namespace {

std::string Full(const char* path, const char* base) {
    std::string out;
    if (MakeFullPath(path, &out, base) != 0) return "-1:" + out;
    return out;
}

TEST(MakeFullPathTest, ResolvesDotsAgainstTheBase) {
    EXPECT_EQ(Full("a\\..\\b.txt", "C:\\game"), "C:\\game\\b.txt");
    EXPECT_EQ(Full("\\tmp\\x", "D:\\work"), "D:\\tmp\\x");
    EXPECT_EQ(Full("E:x\\y", "C:\\game"), "E:\\x\\y");
    EXPECT_EQ(Full("E:\\x", "C:\\game"), "E:\\x");
    EXPECT_EQ(Full("E:", "C:\\game"), "E:");
    EXPECT_EQ(Full("..\\..\\..\\f", "C:\\a"), "C:\\f");
    EXPECT_EQ(Full("f", "C:\\game\\"), "C:\\game\\f");
    EXPECT_EQ(Full("a\\.\\b\\", "C:\\g"), "C:\\g\\a\\b");
    EXPECT_EQ(Full("a\\..", "C:\\g"), "C:\\g\\a\\..");
    EXPECT_EQ(Full(nullptr, "C:\\g"), "C:\\g");
}

TEST(MakeFullPathTest, EmptyComponentsFail) {
    EXPECT_EQ(Full("a//b", "C:\\g"), "-1:C:\\g\\a");
    EXPECT_EQ(Full("C:\\\\x", "C:\\g"), "-1:C:");
}

TEST(MakeFullPathTest, ShiftJisTrailBytesAreNotSeparators) {
    // "表" is 0x95 0x5C: its trail byte is a backslash.
    EXPECT_EQ(Full("\x95\x5C\\x", "C:\\g"), "C:\\g\\\x95\x5C\\x");
    // A component longer than any fixed buffer is kept whole.
    const std::string long_name(1000, 'n');
    EXPECT_EQ(Full(long_name.c_str(), "C:\\g"), "C:\\g\\" + long_name);
}

TEST(SoundCaptureTest, HeaderForFrames) {
    const auto header = SoundCaptureHeader(1000);
    const testing::Bytes bytes(header.begin(), header.end());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 4038);
    EXPECT_EQ(testing::RiffChunk(bytes, "fmt ").size(), 18u);
    EXPECT_EQ(bytes[24] | bytes[25] << 8 | bytes[26] << 16, 44100);
    EXPECT_EQ(bytes[42] | bytes[43] << 8, 4000);
}

class MidiTest : public testing::SoundTest {};

TEST_F(MidiTest, StopAndDeletePathsOnAHandFilledTable) {
    EXPECT_EQ(CloseSoundCaptureFile(), -1);
    const int32_t handle = AddMidiHandle(std::make_unique<MidiData>());
    ASSERT_NE(handle, -1);
    EXPECT_EQ(handle & 0x78000000, 0x58000000);
    EXPECT_EQ(CheckMidiHandlePlaying(handle), 0);
    SetMidiLoopPlay(1);
    HandleMidiMciNotify();
    EXPECT_EQ(CheckMidiHandlePlaying(handle), 1);
    EXPECT_EQ(StopMidiHandle(handle), 0);
    EXPECT_EQ(CheckMidiHandlePlaying(handle), 0);
    EXPECT_EQ(DeleteMidiHandle(handle), 0);
    EXPECT_EQ(DeleteMidiHandle(handle), -1);
    EXPECT_EQ(CheckMidiHandlePlaying(handle), -1);
    EXPECT_EQ(UpdateMidiPlayState(), 0);
}

TEST_F(MidiTest, StopCurrentMusicDeletesASoundHandle) {
    const int sound = Load(testing::RampWave(1000));
    PlaySoundHandleBody(sound, kPlayTypeLoop, 1);
    SetCurrentMusic(sound, 1);
    EXPECT_EQ(StopCurrentMusic(), 0);
    EXPECT_EQ(CheckSoundPlayingBody(sound), -1);
    EXPECT_EQ(GetCurrentMusic().handle, 0);
    EXPECT_EQ(StopCurrentMusic(), 0);
}

TEST_F(MidiTest, ClosingTheCaptureFileWritesItsHeader) {
    const std::string path = (dir_.path() / "capture.wav").string();
    SoundCaptureFile& capture = GetSoundCaptureFile();
    capture.file = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(capture.file, nullptr);
    const testing::Bytes placeholder(46 + 40, 0x55);
    std::fwrite(placeholder.data(), 1, placeholder.size(), capture.file);
    capture.open = 1;
    capture.frames = 10;
    EXPECT_EQ(CloseSoundCaptureFile(), 0);
    const std::string written = dir_.ReadFile("capture.wav");
    const auto header = SoundCaptureHeader(10);
    EXPECT_EQ(written.substr(0, 46), std::string(header.begin(), header.end()));
    EXPECT_EQ(written.size(), 86u);
}

}  // namespace
}  // namespace velk
