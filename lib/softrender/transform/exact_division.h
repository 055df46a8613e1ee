#pragma once
// Exact integer division helpers for the transformed fills' set-up. Edge and
// texture positions are ratios of wide integers; rounding them with these keeps
// every pixel decision exact, so two triangles that share an edge agree on it.

#include <cstdint>

namespace velk {

using Int128 = __int128;

// Quotient rounded toward minus infinity; divisor != 0.
inline Int128 FloorDiv(Int128 numerator, Int128 divisor) {
    Int128 quotient = numerator / divisor;
    if (numerator % divisor != 0 && ((numerator < 0) != (divisor < 0))) --quotient;
    return quotient;
}

// Quotient rounded toward plus infinity; divisor != 0.
inline Int128 CeilDiv(Int128 numerator, Int128 divisor) { return -FloorDiv(-numerator, divisor); }

// A half-open run of indices [begin, end); empty when begin >= end.
struct IndexRange {
    int64_t begin = 0;
    int64_t end = 0;
    bool empty() const { return begin >= end; }
};

// The indices i of [0, count) for which low <= start + i * step < high. The
// values start + i * step form a straight line, so the answer is one run.
inline IndexRange SolveLinearRange(Int128 start, Int128 step, Int128 low, Int128 high, int64_t count) {
    Int128 first = 0;
    Int128 last = static_cast<Int128>(count) - 1;  // inclusive
    if (step == 0) {
        if (start < low || start >= high) return {0, 0};
    } else if (step > 0) {
        const Int128 lower = CeilDiv(low - start, step);
        const Int128 upper = FloorDiv(high - 1 - start, step);
        if (lower > first) first = lower;
        if (upper < last) last = upper;
    } else {
        const Int128 lower = CeilDiv(high - 1 - start, step);
        const Int128 upper = FloorDiv(low - start, step);
        if (lower > first) first = lower;
        if (upper < last) last = upper;
    }
    if (first > last) return {0, 0};
    return {static_cast<int64_t>(first), static_cast<int64_t>(last + 1)};
}

}  // namespace velk
