#include "game/data/replay_recorder.h"

#include <cstdio>

#include "game/data/error_reporter.h"
#include "game/data/random_source.h"
#include "game/data/save_stream.h"

namespace velk {
namespace {

// リプレイデータが終了しました
constexpr char kReplayEnded[] =
    "\x83\x8A\x83v\x83\x8C\x83"
    "C\x83"
    "f\x81[\x83^\x82\xAA\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// 乱数シードが違います 保存=%d 現在=%d
constexpr char kSeedMismatch[] =
    "\x97\x90\x90\x94\x83V\x81[\x83h\x82\xAA\x88\xE1\x82\xA2\x82\xDC\x82\xB7 \x95\xDB\x91\xB6=%d \x8C\xBB\x8D\xDD=%d";

constexpr int kButtonCount = 8;

}  // namespace

ReplayRecorder::ReplayRecorder() { StartWithSeed(UpdateRandomSeed(1, 0)); }

void ReplayRecorder::Append(uint8_t code, int32_t value) {
    codes_.push_back(code);
    values_.push_back(value);
}

void ReplayRecorder::StartWithSeed(uint32_t seed) {
    Flush();
    Append(kSeedMarker, static_cast<int32_t>(seed));
}

void ReplayRecorder::Flush() {
    if (runLength_ != 0) Append(static_cast<uint8_t>(runLength_), currentButtons_);
    currentButtons_ = 0;
    runLength_ = 0;
}

void ReplayRecorder::Record(const std::array<uint8_t, 8>& buttons) {
    // A box shown during playback reads the devices; those frames are not
    // part of the record.
    if (playbackFlag) return;
    int32_t bits = 0;
    for (int i = 0; i < kButtonCount; ++i) {
        if (buttons[static_cast<size_t>(i)]) bits |= 1 << i;
    }
    if (bits != currentButtons_) {
        if (runLength_ != 0) Append(static_cast<uint8_t>(runLength_), currentButtons_);
        currentButtons_ = bits;
        runLength_ = 1;
        return;
    }
    if (++runLength_ == kLongestRun) {
        Append(kLongestRun, bits);
        runLength_ = 0;
    }
}

void ReplayRecorder::ShowBox(const std::string& line1) {
    // While the box waits its input comes from the devices (Playing() is
    // false), so it can be closed and the box cannot call Play again.
    showingBox_ = true;
    ActiveErrorReporter().ShowErrorBox(line1, "", "");
    showingBox_ = false;
}

std::array<uint8_t, 8> ReplayRecorder::Play() {
    std::array<uint8_t, 8> out{};
    if (endedFlag) return out;
    while (true) {
        if (position_ < 0 || static_cast<size_t>(position_) >= codes_.size()) {
            // The ended state comes first: whatever the box's wait does, the
            // playback is over.
            endedFlag = 1;
            ++playedFrames_;
            ShowBox(kReplayEnded);
            return out;
        }
        size_t at = static_cast<size_t>(position_);
        uint8_t code = codes_[at];
        if (code >= kSeedMarker) {
            ++position_;
            if (code == kCheckMarker && position_ - 1 >= kFirstCheckedEntry) {
                uint32_t now = UpdateRandomSeed(1, 0);
                if (now != static_cast<uint32_t>(values_[at])) {
                    char text[128];
                    std::snprintf(text, sizeof text, kSeedMismatch, values_[at], static_cast<int32_t>(now));
                    ShowBox(text);
                }
            }
            continue;
        }
        if (code == 0) {
            ++position_;
            continue;
        }
        int32_t value = values_[at];
        for (int i = 0; i < kButtonCount; ++i)
            out[static_cast<size_t>(i)] = (value >> i) & 1;
        codes_[at] = static_cast<uint8_t>(code - 1);
        ++playedFrames_;
        return out;
    }
}

void ReplayRecorder::WriteSavePart(SaveStream& stream) const {
    ByteWriter& writer = stream.Writer();
    writer.WriteU8(kRecordFollows);
    bool pending = runLength_ != 0;
    writer.WriteU32(static_cast<uint32_t>(codes_.size() + (pending ? 1 : 0)));
    auto entry = [&](uint8_t code, int32_t value) {
        writer.WriteU8(code);
        if (code < kSeedMarker) {
            writer.WriteU8(static_cast<uint8_t>(value));
        } else {
            writer.WriteI32(value);
        }
    };
    for (size_t i = 0; i < codes_.size(); ++i)
        entry(codes_[i], values_[i]);
    if (pending) entry(static_cast<uint8_t>(runLength_), currentButtons_);
}

bool ReplayRecorder::ReadSavePart(SaveStream& stream) {
    std::optional<uint8_t> flag = stream.ReadU8();
    if (!flag) return false;
    if (*flag != kRecordFollows) return true;
    std::optional<uint32_t> count = stream.ReadU32();
    // Every entry takes at least two bytes: a count the rest cannot hold is
    // damage, not a size to allocate.
    if (!count || !stream.CanHold(*count, 2)) return false;
    std::vector<uint8_t> codes;
    std::vector<int32_t> values;
    codes.reserve(*count);
    values.reserve(*count);
    for (uint32_t i = 0; i < *count; ++i) {
        std::optional<uint8_t> code = stream.ReadU8();
        if (!code) return false;
        std::optional<int32_t> value;
        if (*code < kSeedMarker) {
            std::optional<uint8_t> small = stream.ReadU8();
            if (small) value = *small;
        } else {
            value = stream.ReadI32();
        }
        if (!value) return false;
        codes.push_back(*code);
        values.push_back(*value);
    }
    codes_ = std::move(codes);
    values_ = std::move(values);
    currentButtons_ = 0;
    runLength_ = 0;
    position_ = 0;
    playedFrames_ = 0;
    return true;
}

void ReplayRecorder::BeginPlayback() {
    Flush();
    playbackFlag = 1;
    endedFlag = 0;
    position_ = 0;
    playedFrames_ = 0;
}

bool ReplayRecorder::FirstSeed(uint32_t* seed) const {
    if (codes_.empty() || codes_[0] != kSeedMarker) return false;
    *seed = static_cast<uint32_t>(values_[0]);
    return true;
}

void RestartReplayForTitle(ReplayRecorder& recorder) {
    if (!recorder.playbackFlag) {
        recorder = ReplayRecorder();
        return;
    }
    uint32_t seed = 0;
    if (recorder.FirstSeed(&seed)) UpdateRandomSeed(2, seed);
}

}  // namespace velk
