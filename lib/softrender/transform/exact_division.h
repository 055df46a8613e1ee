#pragma once
// Exact integer division helpers for the transformed fills' set-up. Edge and
// texture positions are ratios of wide integers; rounding them with these keeps
// every pixel decision exact, so two triangles that share an edge agree on it.

#include <cstdint>

namespace velk {

using Int128 = __int128;

// Quotient rounded toward minus infinity, in Int; divisor != 0.
template <class Int>
inline Int FloorDivIn(Int numerator, Int divisor) {
    Int quotient = numerator / divisor;
    if (numerator % divisor != 0 && ((numerator < 0) != (divisor < 0))) --quotient;
    return quotient;
}

// Quotient rounded toward plus infinity, in Int; divisor != 0.
template <class Int>
inline Int CeilDivIn(Int numerator, Int divisor) { return -FloorDivIn<Int>(-numerator, divisor); }

inline Int128 FloorDiv(Int128 numerator, Int128 divisor) { return FloorDivIn<Int128>(numerator, divisor); }
inline Int128 CeilDiv(Int128 numerator, Int128 divisor) { return CeilDivIn<Int128>(numerator, divisor); }

// A half-open run of indices [begin, end); empty when begin >= end.
struct IndexRange {
    int64_t begin = 0;
    int64_t end = 0;
    bool empty() const { return begin >= end; }
};

// The indices i of [0, count) for which low <= start + i * step < high,
// worked out in Int (wide enough for every difference of the arguments).
template <class Int>
inline IndexRange SolveLinearRangeIn(Int start, Int step, Int low, Int high, int64_t count) {
    Int first = 0;
    Int last = static_cast<Int>(count) - 1;  // inclusive
    if (step == 0) {
        if (start < low || start >= high) return {0, 0};
    } else if (step > 0) {
        const Int lower = CeilDivIn<Int>(low - start, step);
        const Int upper = FloorDivIn<Int>(high - 1 - start, step);
        if (lower > first) first = lower;
        if (upper < last) last = upper;
    } else {
        const Int lower = CeilDivIn<Int>(high - 1 - start, step);
        const Int upper = FloorDivIn<Int>(low - start, step);
        if (lower > first) first = lower;
        if (upper < last) last = upper;
    }
    if (first > last) return {0, 0};
    return {static_cast<int64_t>(first), static_cast<int64_t>(last + 1)};
}

// The same for any arguments. The values start + i * step form a straight
// line, so the answer is one run. Arguments that all lie within +-2^61 (every
// draw of a sane size) are solved in 64-bit arithmetic, which gives the same
// run far faster than 128-bit division.
inline IndexRange SolveLinearRange(Int128 start, Int128 step, Int128 low, Int128 high, int64_t count) {
    constexpr Int128 kNarrow = Int128{1} << 61;
    auto narrow = [&](Int128 x) { return x > -kNarrow && x < kNarrow; };
    if (narrow(start) && narrow(step) && narrow(low) && narrow(high)) {
        return SolveLinearRangeIn<int64_t>(static_cast<int64_t>(start), static_cast<int64_t>(step),
                                           static_cast<int64_t>(low), static_cast<int64_t>(high), count);
    }
    return SolveLinearRangeIn<Int128>(start, step, low, high, count);
}

}  // namespace velk
