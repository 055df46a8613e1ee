#include "platform/speech/speech_synthesizer.h"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

namespace velk::platform {
namespace {

// こんにちは
constexpr char kGreeting[] = "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD";
// こんにちは、ゆっくりしていってね
constexpr char kLongerGreeting[] =
    "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\x81"
    "A\x82\xE4\x82\xC1\x82\xAD\x82\xE8\x82\xB5\x82\xC4\x82\xA2\x82\xC1\x82\xC4\x82\xCB";

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// What a WAVE image says of itself, read from the fixed header layout.
struct Heard {
    uint32_t rate = 0;
    double seconds = 0;
    double rms = 0;
};

Heard Listen(const std::vector<uint8_t>& image) {
    EXPECT_GE(image.size(), 44u);
    if (image.size() < 44) return {};
    EXPECT_EQ(std::memcmp(image.data(), "RIFF", 4), 0);
    EXPECT_EQ(U32At(image, 4), image.size() - 8);
    EXPECT_EQ(std::memcmp(image.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(U32At(image, 20), 0x00010001u);  // PCM, mono
    EXPECT_EQ(std::memcmp(image.data() + 36, "data", 4), 0);
    const uint32_t dataSize = U32At(image, 40);
    EXPECT_EQ(dataSize, image.size() - 44);
    Heard heard;
    heard.rate = U32At(image, 24);
    const size_t count = dataSize / 2;
    double sum = 0;
    for (size_t i = 0; i < count; ++i) {
        const auto sample = static_cast<int16_t>(image[44 + 2 * i] | (image[45 + 2 * i] << 8));
        sum += static_cast<double>(sample) * sample;
    }
    heard.seconds = heard.rate == 0 ? 0 : static_cast<double>(count) / heard.rate;
    heard.rms = count == 0 ? 0 : std::sqrt(sum / static_cast<double>(count));
    return heard;
}

TEST(MonoWaveImageTest, HeaderAndSamplesAsTheFormatLaysThemOut) {
    // clang-format off
    const std::vector<uint8_t> expected = {
        'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E',
        'f', 'm', 't', ' ', 16, 0, 0, 0,
        1, 0,                  // PCM
        1, 0,                  // one channel
        0x22, 0x56, 0, 0,      // 22050 samples a second
        0x44, 0xAC, 0, 0,      // 44100 bytes a second
        2, 0, 16, 0,           // two bytes a frame, 16 bits
        'd', 'a', 't', 'a', 4, 0, 0, 0,
        0x34, 0x12, 0xFF, 0xFF};
    // clang-format on
    EXPECT_EQ(MonoWaveImage({0x1234, -1}, 22050), expected);
}

class SpeechSynthesizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SpeechEngineInstalled()) GTEST_SKIP() << "the speech engine's data is not installed";
        SpeechOpenFailure failure = SpeechOpenFailure::kNone;
        synthesizer_ = SpeechSynthesizer::Open("ja", &failure);
        if (!synthesizer_) GTEST_SKIP() << "the Japanese voice of the speech engine is not installed";
        EXPECT_EQ(failure, SpeechOpenFailure::kNone);
    }

    std::unique_ptr<SpeechSynthesizer> synthesizer_;
};

TEST_F(SpeechSynthesizerTest, KanaBecomesAudibleSpeechOfPlausibleLength) {
    const Heard greeting = Listen(synthesizer_->Synthesize(kGreeting, 100));
    EXPECT_EQ(greeting.rate, static_cast<uint32_t>(synthesizer_->SampleRate()));
    EXPECT_GT(greeting.rms, 300.0);
    // Five morae at a normal pace.
    EXPECT_GT(greeting.seconds, 0.3);
    EXPECT_LT(greeting.seconds, 3.0);
    // Longer text, longer sound; slower, longer; faster, shorter.
    EXPECT_GT(Listen(synthesizer_->Synthesize(kLongerGreeting, 100)).seconds, greeting.seconds * 2);
    const Heard slow = Listen(synthesizer_->Synthesize(kGreeting, 50));
    const Heard fast = Listen(synthesizer_->Synthesize(kGreeting, 200));
    EXPECT_GT(slow.seconds, greeting.seconds * 1.5);
    EXPECT_LT(fast.seconds, greeting.seconds * 0.75);
    EXPECT_GT(fast.rms, 300.0);
}

TEST_F(SpeechSynthesizerTest, NothingToSayGivesNoImageAndHostileSpeedsAreClamped) {
    EXPECT_TRUE(synthesizer_->Synthesize("", 100).empty());
    const Heard slowest = Listen(synthesizer_->Synthesize(kGreeting, INT32_MIN));
    const Heard fastest = Listen(synthesizer_->Synthesize(kGreeting, INT32_MAX));
    EXPECT_GT(slowest.seconds, fastest.seconds);
    EXPECT_GT(fastest.seconds, 0.0);
    // Bytes that are not Shift-JIS give a whole image or none.
    const std::vector<uint8_t> odd = synthesizer_->Synthesize("\x82\xFF\xFF\x81", 100);
    if (!odd.empty()) Listen(odd);
}

TEST_F(SpeechSynthesizerTest, UnknownVoiceFailsAndTheOthersStillSpeak) {
    SpeechOpenFailure failure = SpeechOpenFailure::kNone;
    EXPECT_EQ(SpeechSynthesizer::Open("no-such-voice", &failure), nullptr);
    EXPECT_EQ(failure, SpeechOpenFailure::kVoice);
    EXPECT_GT(Listen(synthesizer_->Synthesize(kGreeting, 100)).rms, 300.0);
}

}  // namespace
}  // namespace velk::platform
