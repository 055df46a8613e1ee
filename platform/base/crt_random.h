#pragma once
// The C runtime's srand/rand pair of the platform the game data was made on.
// Game data files are scrambled with streams from it, so its constants are
// part of the file formats and must never change.

#include <cstdint>

namespace velk::platform {

class CrtRandom {
public:
    explicit CrtRandom(uint32_t seed = 1) : state_(seed) {}
    void Seed(uint32_t seed) { state_ = seed; }
    // 0..32767: bits 16-30 of the next state.
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }
    uint32_t State() const { return state_; }

private:
    uint32_t state_;
};

// The generator shared by the main thread (srand/rand); the data-file
// container and the save writer draw from it.
CrtRandom& MainThreadCrtRandom();
inline void CrtSrand(uint32_t seed) { MainThreadCrtRandom().Seed(seed); }
inline int CrtRand() { return MainThreadCrtRandom().Next(); }

}  // namespace velk::platform
