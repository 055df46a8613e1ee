#pragma once
// The arithmetic of the value commands. Variables hold 32-bit integers; the
// ordinary forms work in 64 bits and clamp to +-2000000000, the forms that
// common events run prepared wrap in 32 bits. No operand makes either trap:
// division and remainder by 0 take a divisor of 1 (or leave the value), and
// quotients that do not fit are clamped or wrapped like every other result.

#include <cstdint>
#include <string_view>

namespace velk {

inline constexpr int32_t kVariableLimit = 2000000000;
inline constexpr int32_t kSixDigitLimit = 999999;

int32_t ClampToVariableRange(int64_t value);
int32_t ClampToSixDigits(bool enabled, int32_t value);

// The C library's decimal conversion: leading blanks, a sign, then digits;
// 0 when there are none; beyond 32 bits it saturates.
int32_t DecimalValue(std::string_view text);

// A number between a and b inclusive from the game's random source.
int32_t RandomBetween(int32_t a, int32_t b);

// Calculation operators 0-6 (+ - x / % AND random) and assignment
// operators 0-8 (= += -= *= /= %= max min abs).
inline constexpr int32_t kCalculationRandom = 6;

// Integer mode: the value of a op b, clamped where the operator can leave
// the range.
int32_t CalculateInt(int32_t operation, int32_t a, int32_t b);
// Integer mode: what the target holds after `assignment` combines value v
// into `current`; false when the operator stores nothing.
bool AssignInt(int32_t assignment, int32_t current, int32_t v, int32_t& result);

// Real mode: the value as a double, and its assignment.
double CalculateReal(int32_t operation, int32_t a, int32_t b);
bool AssignReal(int32_t assignment, int32_t current, double v, int32_t& result);

// The prepared forms: plain 32-bit arithmetic, wrapping.
int32_t CalculateWrapped(int32_t operation, int32_t a, int32_t b);
bool AssignWrapped(int32_t assignment, int32_t current, int32_t v, int32_t& result);

// The database command's operators 0-7: 32-bit, wrapping, never clamped.
bool AssignDatabase(int32_t assignment, int32_t current, int32_t v, int32_t& result);

}  // namespace velk
