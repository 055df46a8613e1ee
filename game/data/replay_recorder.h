#pragma once
// The replay record: the random source's state when recording began and,
// frame by frame, the eight game buttons, kept as runs of equal frames.
// Because every random number comes from the game's own source and every
// frame's input passes through the input state, feeding the same buttons
// from the same seed repeats the game. The input update records into it, or
// during playback takes its buttons from it (the record is consumed as it
// plays).
//
// A record that ends, or that holds nothing playable, ends playback: the
// ended flag is set before anything is shown, and while its message box
// waits the box reads the real devices, so the player can close it and the
// main loop hands the game back to the title.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/input_state.h"

namespace velk {

class SaveStream;

class ReplayRecorder final : public ReplayLink {
public:
    // Entry codes besides runs (1-240 frames).
    static constexpr uint8_t kLongestRun = 240;
    static constexpr uint8_t kSeedMarker = 250;
    static constexpr uint8_t kCheckMarker = 251;
    // The save part's first byte when a record follows.
    static constexpr uint8_t kRecordFollows = 1;
    // Check markers before this entry are not compared.
    static constexpr int32_t kFirstCheckedEntry = 10;

    // Starts with the seed marker of the random source's current state.
    ReplayRecorder();

    // Appends the pending run, then (250, seed).
    void StartWithSeed(uint32_t seed);
    // Appends the pending run (if any) and starts counting afresh.
    void Flush();
    // One frame's buttons: up, down, left, right, confirm, cancel, sub, fourth.
    void Record(const std::array<uint8_t, 8>& buttons) override;
    // The next frame's buttons, consuming the record.
    std::array<uint8_t, 8> Play() override;

    bool Playing() override { return playbackFlag != 0 && !showingBox_; }
    bool Ended() override { return endedFlag != 0; }

    // The save part: a flag byte 1, the entry count, then per entry its code
    // and its value (one byte for runs, four for markers). The run still
    // being counted is written as its own entry; the record is not changed.
    void WriteSavePart(SaveStream& stream) const;
    // Reads a save part. A flag other than 1 leaves the record as it was; a
    // part that ends early or is damaged leaves it as it was too and returns
    // false (with the stream's error flag set).
    bool ReadSavePart(SaveStream& stream);

    // Playback from the start of the record (the loader copies a save's
    // record in first and sends the game back to the title).
    void BeginPlayback();
    // The player cancelled playback.
    void EndPlayback() { endedFlag = 1; }

    // The seed (the value of the first entry) when the record starts with a
    // seed marker.
    bool FirstSeed(uint32_t* seed) const;

    const std::vector<uint8_t>& Codes() const { return codes_; }
    const std::vector<int32_t>& Values() const { return values_; }
    int32_t Position() const { return position_; }
    int32_t PlayedFrames() const { return playedFrames_; }

    // 1 while a replay is played back; 1 once it has ended (record used up,
    // or the player cancelled).
    uint8_t playbackFlag = 0;
    uint8_t endedFlag = 0;

private:
    void Append(uint8_t code, int32_t value);
    void ShowBox(const std::string& line1);

    int32_t currentButtons_ = 0;
    int32_t runLength_ = 0;
    std::vector<uint8_t> codes_;
    std::vector<int32_t> values_;
    int32_t position_ = 0;
    int32_t playedFrames_ = 0;
    bool showingBox_ = false;
};

// Starting the game over from the title: outside playback a fresh record
// seeded with the random source's state; during playback the record stays
// and the random source takes its seed.
void RestartReplayForTitle(ReplayRecorder& recorder);

}  // namespace velk
