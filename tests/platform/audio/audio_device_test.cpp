#include "platform/audio/audio_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/audio/audio_faults.h"
#include "platform/audio/manual_audio.h"

namespace velk::platform {
namespace {

constexpr uint32_t kStaticFlags = kBufferGlobalFocus | kBufferCtrlVolume | kBufferCtrlPan | kBufferCtrlFrequency |
                                  kBufferStatic;

// A ramp that makes every frame tell its index: left = i, right = -i.
std::vector<int16_t> StereoRamp(uint32_t frames) {
    std::vector<int16_t> samples(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        samples[2 * i] = static_cast<int16_t>(i);
        samples[2 * i + 1] = static_cast<int16_t>(-static_cast<int32_t>(i));
    }
    return samples;
}

class AudioDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearAudioFaults();
        device_ = AudioDevice::Create();
        ASSERT_TRUE(device_);
        ASSERT_TRUE(device_->Initialize());
    }
    void TearDown() override { ClearAudioFaults(); }

    std::unique_ptr<AudioBuffer> MakeBuffer(const WaveFormat& format, const void* data, uint32_t bytes,
                                            uint32_t flags = kStaticFlags) {
        auto buffer = device_->CreateBuffer(SoundBufferDesc{flags, bytes, format});
        if (!buffer) return nullptr;
        LockedRegion region;
        EXPECT_TRUE(buffer->Lock(0, bytes, &region));
        std::memcpy(region.first, data, region.first_bytes);
        EXPECT_TRUE(buffer->Unlock(region));
        return buffer;
    }

    std::unique_ptr<AudioBuffer> MakeRampBuffer(uint32_t frames) {
        const std::vector<int16_t> ramp = StereoRamp(frames);
        return MakeBuffer(MakePcmFormat(2, 44100, 16), ramp.data(), frames * 4);
    }

    bool Playing(AudioBuffer& buffer) {
        uint32_t status = 0;
        EXPECT_TRUE(buffer.GetStatus(&status));
        return (status & kBufferStatusPlaying) != 0;
    }

    uint32_t Cursor(AudioBuffer& buffer) {
        uint32_t play = 0;
        EXPECT_TRUE(buffer.GetCurrentPosition(&play, nullptr));
        return play;
    }

    ManualAudio audio_;
    std::unique_ptr<AudioDevice> device_;
};

TEST_F(AudioDeviceTest, NonLoopingBufferPlaysItsSamplesExactlyThenStopsAtPositionZero) {
    auto buffer = MakeRampBuffer(1000);
    ASSERT_TRUE(buffer);
    ASSERT_TRUE(buffer->Play(false));
    EXPECT_TRUE(Playing(*buffer));

    std::vector<int16_t> first = audio_.RenderSamples(600);
    EXPECT_EQ(Cursor(*buffer), 600u * 4);
    std::vector<int16_t> rest = audio_.RenderSamples(600);
    first.insert(first.end(), rest.begin(), rest.end());

    const std::vector<int16_t> ramp = StereoRamp(1000);
    EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), first.begin()));
    for (size_t i = ramp.size(); i < first.size(); ++i) ASSERT_EQ(first[i], 0) << i;
    EXPECT_FALSE(Playing(*buffer));
    EXPECT_EQ(Cursor(*buffer), 0u);
}

TEST_F(AudioDeviceTest, LoopingBufferWrapsWithoutAGap) {
    auto buffer = MakeRampBuffer(300);
    ASSERT_TRUE(buffer->Play(true));
    const std::vector<int16_t> out = audio_.RenderSamples(1000);
    for (uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(out[2 * i], static_cast<int16_t>(i % 300)) << i;
    EXPECT_TRUE(Playing(*buffer));
    EXPECT_EQ(Cursor(*buffer), (1000u % 300) * 4);
    uint32_t status = 0;
    ASSERT_TRUE(buffer->GetStatus(&status));
    EXPECT_EQ(status, kBufferStatusPlaying | kBufferStatusLooping);
}

TEST_F(AudioDeviceTest, StopKeepsThePositionAndPlayResumesThere) {
    auto buffer = MakeRampBuffer(1000);
    buffer->Play(false);
    audio_.RenderSamples(100);
    buffer->Stop();
    EXPECT_EQ(audio_.RenderSamples(50), std::vector<int16_t>(100, 0));
    EXPECT_EQ(Cursor(*buffer), 400u);
    buffer->Play(false);
    EXPECT_EQ(audio_.RenderSamples(1)[0], 100);
}

TEST_F(AudioDeviceTest, DuplicateSharesMemoryButPlaysIndependently) {
    auto original = MakeRampBuffer(1000);
    auto duplicate = device_->DuplicateBuffer(*original);
    ASSERT_TRUE(duplicate);
    EXPECT_EQ(duplicate->Bytes(), original->Bytes());

    // A write through the original is heard through the duplicate.
    LockedRegion region;
    ASSERT_TRUE(original->Lock(0, 4, &region));
    const int16_t marker[2] = {1234, -1234};
    std::memcpy(region.first, marker, 4);
    ASSERT_TRUE(original->Unlock(region));

    ASSERT_TRUE(duplicate->SetCurrentPosition(0));
    duplicate->Play(false);
    EXPECT_EQ(audio_.RenderSamples(1)[0], 1234);
    EXPECT_FALSE(Playing(*original));
    EXPECT_EQ(Cursor(*original), 0u);

    // Both at once add up, each at its own cursor.
    original->SetCurrentPosition(500 * 4);
    original->Play(false);
    const std::vector<int16_t> both = audio_.RenderSamples(1);
    EXPECT_EQ(both[0], 1 + 500);

    // Releasing the original leaves the duplicate's memory alive.
    original.reset();
    EXPECT_EQ(audio_.RenderSamples(1)[0], 2);
}

TEST_F(AudioDeviceTest, VolumeIsHundredthsOfADecibel) {
    std::vector<int16_t> loud(2000, 20000);
    auto buffer = MakeBuffer(MakePcmFormat(2, 44100, 16), loud.data(), 4000);
    ASSERT_TRUE(buffer->SetVolume(-600));
    buffer->Play(true);
    const double gain = audio_.RenderSamples(10)[0] / 20000.0;
    EXPECT_NEAR(gain, 0.501, 0.00501);

    ASSERT_TRUE(buffer->SetVolume(-10000));
    EXPECT_EQ(audio_.RenderSamples(10), std::vector<int16_t>(20, 0));
    EXPECT_FALSE(buffer->SetVolume(-10001));
    EXPECT_FALSE(buffer->SetVolume(1));
}

TEST_F(AudioDeviceTest, DoublingTheFrequencyHalvesTheDuration) {
    auto buffer = MakeRampBuffer(1000);
    ASSERT_TRUE(buffer->SetFrequency(88200));
    buffer->Play(false);
    const std::vector<int16_t> out = audio_.RenderSamples(499);
    EXPECT_TRUE(Playing(*buffer));
    for (uint32_t i = 0; i < 499; ++i) ASSERT_EQ(out[2 * i], static_cast<int16_t>(2 * i));
    audio_.RenderSamples(1);
    EXPECT_FALSE(Playing(*buffer));

    ASSERT_TRUE(buffer->SetFrequency(0));
    uint32_t hz = 0;
    ASSERT_TRUE(buffer->GetFrequency(&hz));
    EXPECT_EQ(hz, 44100u);
    EXPECT_FALSE(buffer->SetFrequency(99));
    EXPECT_FALSE(buffer->SetFrequency(200001));
}

// A slow reference for the resampler: linear interpolation in doubles.
TEST_F(AudioDeviceTest, ResamplingMatchesLinearInterpolationWithinOneStep) {
    constexpr uint32_t kFrames = 4000;
    std::vector<int16_t> mono(kFrames);
    for (uint32_t i = 0; i < kFrames; ++i) mono[i] = static_cast<int16_t>(12000 * std::sin(i * 0.05));
    auto buffer = MakeBuffer(MakePcmFormat(1, 22050, 16), mono.data(), kFrames * 2);
    ASSERT_TRUE(buffer->SetFrequency(30011));
    buffer->Play(false);
    const std::vector<int16_t> out = audio_.RenderSamples(3000);
    const double step = 30011.0 / 44100.0;
    for (uint32_t i = 0; i < 3000; ++i) {
        const double at = i * step;
        const auto index = static_cast<uint32_t>(at);
        const double frac = at - index;
        const double expected = mono[index] + (mono[index + 1] - mono[index]) * frac;
        ASSERT_NEAR(out[2 * i], expected, 2.0) << i;
        ASSERT_EQ(out[2 * i], out[2 * i + 1]);
    }
}

TEST_F(AudioDeviceTest, EightBitMonoIsCentredAndSpreadToBothChannels) {
    const uint8_t bytes[4] = {128, 255, 0, 64};
    auto buffer = MakeBuffer(MakePcmFormat(1, 44100, 8), bytes, 4);
    buffer->Play(false);
    const std::vector<int16_t> out = audio_.RenderSamples(4);
    EXPECT_EQ(out, (std::vector<int16_t>{0, 0, 127 * 256, 127 * 256, -128 * 256, -128 * 256, -64 * 256, -64 * 256}));
}

TEST_F(AudioDeviceTest, SumsSaturateAtSixteenBits) {
    std::vector<int16_t> loud(200, 30000);
    auto a = MakeBuffer(MakePcmFormat(2, 44100, 16), loud.data(), 400);
    auto b = device_->DuplicateBuffer(*a);
    a->Play(false);
    b->Play(false);
    EXPECT_EQ(audio_.RenderSamples(1)[0], 32767);
}

TEST_F(AudioDeviceTest, LockAcrossTheEndGivesTwoRegions) {
    auto buffer = MakeRampBuffer(100);
    LockedRegion region;
    ASSERT_TRUE(buffer->Lock(360, 80, &region));
    EXPECT_EQ(region.first_bytes, 40u);
    EXPECT_EQ(region.second_bytes, 40u);
    ASSERT_NE(region.second, nullptr);
    EXPECT_EQ(region.first - region.second, 360);
    EXPECT_TRUE(buffer->Unlock(region));

    ASSERT_TRUE(buffer->Lock(0, 400, &region));
    EXPECT_EQ(region.second, nullptr);
    EXPECT_EQ(region.second_bytes, 0u);

    EXPECT_FALSE(buffer->Lock(400, 4, &region));
    EXPECT_FALSE(buffer->Lock(0, 401, &region));
    uint8_t foreign[4];
    EXPECT_FALSE(buffer->Unlock(LockedRegion{foreign, 4, nullptr, 0}));
}

TEST_F(AudioDeviceTest, SetCurrentPositionRoundsDownToWholeSamples) {
    auto buffer = MakeRampBuffer(1000);
    ASSERT_TRUE(buffer->SetCurrentPosition(529));
    EXPECT_EQ(Cursor(*buffer), 528u);
    buffer->Play(false);
    EXPECT_EQ(audio_.RenderSamples(1)[0], 132);
    EXPECT_FALSE(buffer->SetCurrentPosition(4000));
}

TEST_F(AudioDeviceTest, BuffersRefuseFormatsTheMixerCannotPlay) {
    uint8_t bytes[16] = {};
    WaveFormat wide = MakePcmFormat(2, 44100, 24);
    EXPECT_FALSE(device_->CreateBuffer(SoundBufferDesc{kStaticFlags, 12, wide}));
    EXPECT_FALSE(device_->CreateBuffer(SoundBufferDesc{kStaticFlags, 12, MakePcmFormat(0, 44100, 16)}));
    EXPECT_FALSE(device_->CreateBuffer(SoundBufferDesc{kStaticFlags, 0, MakePcmFormat(2, 44100, 16)}));
    WaveFormat bad_align = MakePcmFormat(2, 44100, 16);
    bad_align.block_align = 3;
    EXPECT_FALSE(device_->CreateBuffer(SoundBufferDesc{kStaticFlags, 12, bad_align}));
    EXPECT_TRUE(MakeBuffer(MakePcmFormat(1, 8000, 8), bytes, 16));
    // Controls need their capability flags.
    auto plain = MakeBuffer(MakePcmFormat(2, 44100, 16), bytes, 16, kBufferStatic);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->SetVolume(-100));
    EXPECT_FALSE(plain->SetFrequency(22050));
}

TEST_F(AudioDeviceTest, PrimaryFormatSetsTheOutput) {
    auto primary = device_->CreateBuffer(SoundBufferDesc{kBufferPrimary, 0, {}});
    ASSERT_TRUE(primary);
    EXPECT_EQ(audio_.OutputFormat(), MakePcmFormat(2, 44100, 16));
    ASSERT_TRUE(primary->SetFormat(MakePcmFormat(1, 22050, 8)));
    EXPECT_EQ(audio_.OutputFormat(), MakePcmFormat(1, 22050, 8));

    const uint8_t bytes[4] = {200, 200, 100, 100};
    auto buffer = MakeBuffer(MakePcmFormat(1, 22050, 8), bytes, 4);
    ASSERT_TRUE(buffer);
    buffer->Play(false);
    EXPECT_EQ(audio_.RenderBytes(5), (std::vector<uint8_t>{200, 200, 100, 100, 128}));
    EXPECT_FALSE(primary->SetFormat(MakePcmFormat(2, 44100, 24)));
}

TEST_F(AudioDeviceTest, PlannedFailuresHitExactlyTheCallsAsked) {
    FailAudioStep(AudioStep::kGetStatus, 1, 1);
    auto buffer = MakeRampBuffer(10);
    uint32_t status = 0;
    EXPECT_TRUE(buffer->GetStatus(&status));
    EXPECT_FALSE(buffer->GetStatus(&status));
    EXPECT_TRUE(buffer->GetStatus(&status));

    FailAudioStep(AudioStep::kCreateBuffer);
    EXPECT_FALSE(device_->CreateBuffer(SoundBufferDesc{kStaticFlags, 40, MakePcmFormat(2, 44100, 16)}));
    EXPECT_TRUE(device_->CreateBuffer(SoundBufferDesc{kStaticFlags, 40, MakePcmFormat(2, 44100, 16)}));
    FailAudioStep(AudioStep::kDuplicateBuffer);
    EXPECT_FALSE(device_->DuplicateBuffer(*buffer));
    FailAudioStep(AudioStep::kLock);
    LockedRegion region;
    EXPECT_FALSE(buffer->Lock(0, 4, &region));
    FailAudioStep(AudioStep::kUnlock);
    ASSERT_TRUE(buffer->Lock(0, 4, &region));
    EXPECT_FALSE(buffer->Unlock(region));
}

TEST(AudioDeviceStartTest, EachStartStepCanFail) {
    ManualAudio audio;
    FailAudioStep(AudioStep::kCreateDevice);
    EXPECT_FALSE(AudioDevice::Create());
    auto device = AudioDevice::Create();
    ASSERT_TRUE(device);
    FailAudioStep(AudioStep::kInitializeDevice);
    EXPECT_FALSE(device->Initialize());
    EXPECT_FALSE(device->CreateBuffer(SoundBufferDesc{kBufferPrimary, 0, {}}));
    ASSERT_TRUE(device->Initialize());
    FailAudioStep(AudioStep::kSetCooperativeLevel);
    EXPECT_FALSE(device->SetCooperativeLevel());
    EXPECT_TRUE(device->SetCooperativeLevel());
    FailAudioStep(AudioStep::kCreatePrimaryBuffer);
    EXPECT_FALSE(device->CreateBuffer(SoundBufferDesc{kBufferPrimary, 0, {}}));
    auto primary = device->CreateBuffer(SoundBufferDesc{kBufferPrimary, 0, {}});
    FailAudioStep(AudioStep::kSetPrimaryFormat);
    EXPECT_FALSE(primary->SetFormat(MakePcmFormat(2, 44100, 16)));
    ClearAudioFaults();
}

TEST(AudioDriverModuleTest, ListsTheOutputUnlessModuleOrFunctionIsMissing) {
    ManualAudio audio;
    EXPECT_FALSE(AudioDriverModule::Load("OTHER.DLL"));
    auto module = AudioDriverModule::Load("dsound.dll");
    ASSERT_TRUE(module);
    auto list = module->Find("DirectSoundEnumerateA");
    ASSERT_TRUE(list);
    std::vector<std::string> modules;
    list([&](const char*, const char* name) {
        modules.push_back(name);
        return true;
    });
    EXPECT_EQ(modules, std::vector<std::string>{"manual"});
    FailAudioStep(AudioStep::kLoadDriverModule);
    EXPECT_FALSE(AudioDriverModule::Load("DSOUND.DLL"));
    FailAudioStep(AudioStep::kFindEnumerateFunction);
    EXPECT_FALSE(module->Find("DirectSoundEnumerateA"));
}

// The real back-end under SDL's dummy driver: opens, plays and closes
// without a sound card (no timing is asserted).
TEST(SdlAudioBackendTest, OpensAndClosesHeadless) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    auto device = AudioDevice::Create();
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->Initialize());
    auto primary = device->CreateBuffer(SoundBufferDesc{kBufferPrimary, 0, {}});
    ASSERT_TRUE(primary->SetFormat(MakePcmFormat(2, 44100, 16)));
    std::vector<int16_t> data(4000, 100);
    auto buffer = device->CreateBuffer(SoundBufferDesc{kStaticFlags, 8000, MakePcmFormat(2, 44100, 16)});
    ASSERT_TRUE(buffer);
    EXPECT_TRUE(buffer->Play(true));
    uint32_t status = 0;
    EXPECT_TRUE(buffer->GetStatus(&status));
    EXPECT_TRUE(status & kBufferStatusPlaying);
    buffer.reset();
    primary.reset();
    device.reset();
}

}  // namespace
}  // namespace velk::platform
