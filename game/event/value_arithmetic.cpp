#include "game/event/value_arithmetic.h"

#include <cmath>
#include <limits>

#include "game/data/random_source.h"

namespace velk {
namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// Truncates toward zero; a value beyond 32 bits becomes the clamped limit.
int32_t TruncateReal(double value) {
    if (std::isnan(value)) return 0;
    const double truncated = std::trunc(value);
    if (truncated > static_cast<double>(kInt32Max)) return kVariableLimit;
    if (truncated < static_cast<double>(kInt32Min)) return -kVariableLimit;
    return static_cast<int32_t>(truncated);
}

// Truncated and clamped to the variable range, through 64 bits.
int32_t ClampReal(double value) {
    if (std::isnan(value)) return 0;
    const double truncated = std::trunc(value);
    if (truncated >= static_cast<double>(kVariableLimit)) return kVariableLimit;
    if (truncated <= -static_cast<double>(kVariableLimit)) return -kVariableLimit;
    return static_cast<int32_t>(truncated);
}

int64_t Divisor(int32_t value) { return value == 0 ? 1 : value; }

}  // namespace

int32_t ClampToVariableRange(int64_t value) {
    if (value < -kVariableLimit) return -kVariableLimit;
    if (value > kVariableLimit) return kVariableLimit;
    return static_cast<int32_t>(value);
}

int32_t ClampToSixDigits(bool enabled, int32_t value) {
    if (!enabled) return value;
    if (value <= -kSixDigitLimit) return -kSixDigitLimit;
    if (value > kSixDigitLimit) return kSixDigitLimit;
    return value;
}

int32_t DecimalValue(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > kInt32Max + 1) value = kInt32Max + 1;
    }
    if (negative) value = -value;
    if (value > kInt32Max) return static_cast<int32_t>(kInt32Max);
    return static_cast<int32_t>(value);
}

int32_t RandomBetween(int32_t a, int32_t b) {
    const int64_t low = a < b ? a : b;
    // Up to 2^32 numbers: the span is counted in 64 bits, so it never wraps to 0.
    const uint64_t span = static_cast<uint64_t>(std::llabs(int64_t{a} - int64_t{b})) + 1;
    const uint64_t drawn = UpdateRandomSeed(0, 0);
    return static_cast<int32_t>(low + static_cast<int64_t>(drawn % span));
}

int32_t CalculateInt(int32_t operation, int32_t a, int32_t b) {
    switch (operation) {
        case 0: return ClampToVariableRange(int64_t{a} + b);
        case 1: return ClampToVariableRange(int64_t{a} - b);
        case 2: return ClampToVariableRange(int64_t{a} * b);
        case 3: return ClampToVariableRange(a / Divisor(b));
        case 4: return static_cast<int32_t>(a % Divisor(b));
        case 5: return a & b;
        case kCalculationRandom: return RandomBetween(a, b);
        default: return 0;
    }
}

bool AssignInt(int32_t assignment, int32_t current, int32_t v, int32_t& result) {
    switch (assignment) {
        case 0: result = v; return true;
        case 1: result = ClampToVariableRange(int64_t{current} + v); return true;
        case 2: result = ClampToVariableRange(int64_t{current} - v); return true;
        case 3: result = ClampToVariableRange(int64_t{current} * v); return true;
        case 4: result = ClampToVariableRange(current / Divisor(v)); return true;
        case 5: result = static_cast<int32_t>(current % Divisor(v)); return true;
        case 6: result = current < v ? v : current; return true;
        case 7: result = current > v ? v : current; return true;
        case 8: {
            const int64_t magnitude = std::llabs(int64_t{v});
            result = static_cast<int32_t>(magnitude > kInt32Max ? kInt32Max : magnitude);
            return true;
        }
        default: return false;
    }
}

double CalculateReal(int32_t operation, int32_t a, int32_t b) {
    const double x = a;
    const double y = b;
    switch (operation) {
        case 0: return x + y;
        case 1: return x - y;
        case 2: {
            // A product that reaches the range's limit is the limit itself.
            const int32_t whole = ClampToVariableRange(int64_t{a} * b) / kVariableLimit;
            return whole != 0 ? static_cast<double>(whole) * kVariableLimit : x * y;
        }
        case 3: return x / (b == 0 ? 1.0 : y);
        case 4: return static_cast<double>(a % Divisor(b));
        case 5: return static_cast<double>(a & b);
        default: return 0.0;
    }
}

bool AssignReal(int32_t assignment, int32_t current, double v, int32_t& result) {
    switch (assignment) {
        case 0: result = TruncateReal(v); return true;
        case 1: result = ClampReal(current + v); return true;
        case 2: result = ClampReal(current - v); return true;
        case 3: {
            double base = current;
            const int32_t product = ClampToVariableRange(int64_t{current} * TruncateReal(v));
            if (product == kVariableLimit || product == -kVariableLimit) {
                base = product;
                v = 1.0;
            }
            result = ClampReal(base * v);
            return true;
        }
        case 4: result = TruncateReal(current / (v == 0.0 ? 1.0 : v)); return true;
        case 5: result = static_cast<int32_t>(current % Divisor(TruncateReal(v))); return true;
        case 6: result = current < v ? TruncateReal(v) : current; return true;
        case 7: result = current > v ? TruncateReal(v) : current; return true;
        case 8: {
            const int32_t whole = TruncateReal(v);
            result = whole < 0 ? -whole : whole;
            return true;
        }
        default: return false;
    }
}

int32_t CalculateWrapped(int32_t operation, int32_t a, int32_t b) {
    switch (operation) {
        case 0: return Wrap(int64_t{a} + b);
        case 1: return Wrap(int64_t{a} - b);
        case 2: return Wrap(int64_t{a} * b);
        case 3: return b == 0 ? a : Wrap(int64_t{a} / b);
        case 4: return b == 0 ? 0 : static_cast<int32_t>(int64_t{a} % b);
        case 5: return a & b;
        case kCalculationRandom: return RandomBetween(a, b);
        default: return 0;
    }
}

bool AssignWrapped(int32_t assignment, int32_t current, int32_t v, int32_t& result) {
    switch (assignment) {
        case 0: result = v; return true;
        case 1: result = Wrap(int64_t{current} + v); return true;
        case 2: result = Wrap(int64_t{current} - v); return true;
        case 3: result = Wrap(int64_t{current} * v); return true;
        case 4: result = v == 0 ? current : Wrap(int64_t{current} / v); return true;
        case 5: result = static_cast<int32_t>(int64_t{current} % Divisor(v)); return true;
        case 6: result = current < v ? v : current; return true;
        case 7: result = current > v ? v : current; return true;
        case 8: result = Wrap(std::llabs(int64_t{v})); return true;
        default: return false;
    }
}

bool AssignDatabase(int32_t assignment, int32_t current, int32_t v, int32_t& result) {
    switch (assignment) {
        case 0: result = v; return true;
        case 1: result = Wrap(int64_t{current} + v); return true;
        case 2: result = Wrap(int64_t{current} - v); return true;
        case 3: result = Wrap(int64_t{current} * v); return true;
        case 4: result = Wrap(current / Divisor(v)); return true;
        case 5: result = static_cast<int32_t>(current % Divisor(v)); return true;
        case 6: result = current < v ? v : current; return true;
        case 7: result = current > v ? v : current; return true;
        default: return false;
    }
}

}  // namespace velk
