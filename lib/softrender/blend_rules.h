#pragma once
// The per-pixel rule of every blend mode, on both colour formats of the
// software renderer. Every draw loop (blits, scaled blits, boxes, lines and the
// transformed fills) builds its pixels from these functions, so each rule lives
// here once.
//
// Notation: d a destination channel, s a source channel, both at their native
// width (8 bits in X8R8G8B8; 5, 6, 5 bits in R5G6B5, never widened); P the
// blend parameter (0..255); k the product of the per-pixel weights other than P
// (blend-graph weight, source alpha; each 0..255), kWeights how many there are
// (k is ignored when there are none).
// All arithmetic is integer: division by 255 through the tables of
// blend_tables.h, division by 256 by shifts, every weight multiplied into one
// product with one shift of 8 bits per weight. The products are exact: with
// three factors d x 2^24 + (s - d) x k x P lies in 0..2^32 - 1, so it is
// computed in wrapping unsigned 32-bit arithmetic.
//
// Add and subtract saturate each channel exactly (adding or subtracting 0 leaves
// a channel unchanged; nothing crosses channels or pixels) and leave the unused
// byte of a 32-bit pixel 0.

#include <cstdint>

#include "lib/softrender/blend_tables.h"

namespace velk {

// The draw blend modes the software loops draw; every other mode draws
// nothing.
inline constexpr int kBlendModePlain = 0;
inline constexpr int kBlendModeAlpha = 1;
inline constexpr int kBlendModeAdd = 2;
inline constexpr int kBlendModeSubtract = 3;
inline constexpr int kBlendModeMultiply = 4;
inline constexpr int kBlendModeInvertedAlpha = 10;  // alpha with the inverted source
inline constexpr int kBlendModeMultiplyAlpha = 11;  // multiply, then alpha

// The mode a loop runs for the draw's mode and parameter, or -1 when the draw
// leaves every pixel as it is: alpha at P = 255 is a plain copy; alpha, add and
// subtract at P = 0 draw nothing; modes 5 to 9 and outside 0..11 draw nothing.
inline int ResolveBlendMode(int mode, int param) {
    switch (mode) {
        case kBlendModePlain:
        case kBlendModeMultiply:
        case kBlendModeInvertedAlpha:
        case kBlendModeMultiplyAlpha:
            return mode;
        case kBlendModeAlpha:
            return param <= 0 ? -1 : (param >= 255 ? kBlendModePlain : kBlendModeAlpha);
        case kBlendModeAdd:
        case kBlendModeSubtract:
            return param <= 0 ? -1 : mode;
        default:
            return -1;
    }
}

struct Channels {
    int red = 0;
    int green = 0;
    int blue = 0;
};

// 32-bit X8R8G8B8: blue bits 0-7, green 8-15, red 16-23; bits 24-31 (X) carry no
// colour.
struct Xrgb8888 {
    using Pixel = uint32_t;
    static constexpr bool kIs16Bit = false;
    static constexpr int kRedBits = 8, kGreenBits = 8, kBlueBits = 8;
    static constexpr uint32_t kColorMask = 0x00FFFFFF;
    static Channels Unpack(uint32_t p) {
        return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
    }
    static uint32_t Pack(Channels c) {
        return static_cast<uint32_t>(c.red) << 16 | static_cast<uint32_t>(c.green) << 8 | static_cast<uint32_t>(c.blue);
    }
};

// 16-bit R5G6B5: red bits 11-15, green 5-10, blue 0-4.
struct Rgb565 {
    using Pixel = uint16_t;
    static constexpr bool kIs16Bit = true;
    static constexpr int kRedBits = 5, kGreenBits = 6, kBlueBits = 5;
    static constexpr uint32_t kColorMask = 0xFFFF;
    static Channels Unpack(uint32_t p) {
        return {static_cast<int>((p >> 11) & 0x1F), static_cast<int>((p >> 5) & 0x3F), static_cast<int>(p & 0x1F)};
    }
    static uint32_t Pack(Channels c) {
        return static_cast<uint32_t>(c.red) << 11 | static_cast<uint32_t>(c.green) << 5 | static_cast<uint32_t>(c.blue);
    }
};

// How a 16-bit alpha draw weighted by P alone mixes its channels. The
// scaled blit, the flat colours and every draw with other weights use
// MixAlpha16; the plain blit without blend image, without source alpha and
// with the draw bright white uses the 64-level table, and at P = 128 the exact
// halving average.
enum class Alpha16Rule { kMixAlpha16, kLerpTable6, kHalving };

// The blend parameter and its table rows, prepared once per draw.
struct BlendParam {
    int value = 0;
    const uint32_t* row = MulDiv255Table[0];                     // x P / 255
    const int32_t* signed_row = &SignedMulDiv255Table[0][255];   // indexed by s - d
    const uint8_t (*lerp_block)[64] = BlendLerpTable6[0];          // block P / 4
};

inline BlendParam MakeBlendParam(int param) {
    param = param < 0 ? 0 : (param > 255 ? 255 : param);
    return {param, MulDiv255Table[param], &SignedMulDiv255Table[param][255], BlendLerpTable6[param >> 2]};
}

// ---- channel operations ----------------------------------------------------

// (d x 256 + (s - d) x w) >> 8: the 32-bit alpha mix.
inline int MixAlpha32(int d, int s, int w) {
    return static_cast<int>(((static_cast<uint32_t>(d) << 8) + static_cast<uint32_t>(s - d) * static_cast<uint32_t>(w)) >> 8);
}

// d + (s - d) x w / 255 rounded toward zero: the 16-bit alpha mix.
inline int MixAlpha16(int d, int s, int w) { return d + SignedMulDiv255(w, s - d); }

// (d x 2^shift + (s - d) x k) >> shift, k being a product of shift / 8
// weights: an exact floor of the weighted mix.
inline int MixWeighted(int d, int s, uint32_t k, int shift) {
    return static_cast<int>(((static_cast<uint32_t>(d) << shift) + static_cast<uint32_t>(s - d) * k) >> shift);
}

// ---- whole-pixel operations ------------------------------------------------

// Exact per-channel saturating add and subtract; the X byte becomes 0.
inline uint32_t AddSaturate32(uint32_t d, uint32_t s) {
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t sum = ((d >> shift) & 0xFF) + ((s >> shift) & 0xFF);
        result |= (sum > 0xFF ? 0xFFu : sum) << shift;
    }
    return result;
}

inline uint32_t SubSaturate32(uint32_t d, uint32_t s) {
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t dc = (d >> shift) & 0xFF;
        const uint32_t sc = (s >> shift) & 0xFF;
        result |= (dc > sc ? dc - sc : 0u) << shift;
    }
    return result;
}

inline uint32_t AddSaturate16(uint32_t d, uint32_t s) {
    const Channels dc = Rgb565::Unpack(d), sc = Rgb565::Unpack(s);
    auto add = [](int a, int b, int max) { return a + b > max ? max : a + b; };
    return Rgb565::Pack({add(dc.red, sc.red, 31), add(dc.green, sc.green, 63), add(dc.blue, sc.blue, 31)});
}

inline uint32_t SubSaturate16(uint32_t d, uint32_t s) {
    const Channels dc = Rgb565::Unpack(d), sc = Rgb565::Unpack(s);
    auto sub = [](int a, int b) { return a > b ? a - b : 0; };
    return Rgb565::Pack({sub(dc.red, sc.red), sub(dc.green, sc.green), sub(dc.blue, sc.blue)});
}

// The draw bright applied to a colour's channels: channel x bright / 255 at
// native width, through the table (so a bright of 255 never changes a
// channel). bright_rows are MulDiv255Table rows of the red, green and blue
// bright bytes.
struct BrightRows {
    const uint32_t* red = MulDiv255Table[255];
    const uint32_t* green = MulDiv255Table[255];
    const uint32_t* blue = MulDiv255Table[255];
};

inline BrightRows MakeBrightRows(int red, int green, int blue) {
    auto row = [](int v) { return MulDiv255Table[v < 0 ? 0 : (v > 255 ? 255 : v)]; };
    return {row(red), row(green), row(blue)};
}

inline Channels ApplyBright(Channels c, const BrightRows& b) {
    return {static_cast<int>(b.red[c.red]), static_cast<int>(b.green[c.green]), static_cast<int>(b.blue[c.blue])};
}

// Every channel turned to its maximum minus itself (mode 10's source).
template <class Format>
inline Channels InvertChannels(Channels c) {
    return {(1 << Format::kRedBits) - 1 - c.red, (1 << Format::kGreenBits) - 1 - c.green,
            (1 << Format::kBlueBits) - 1 - c.blue};
}

// A flat colour (box, line) scaled by the draw bright; the X byte of a 32-bit
// colour is kept, since mode 0 stores the colour word whole.
template <class Format>
inline uint32_t ScaleColorByBright(uint32_t color, const BrightRows& bright) {
    const uint32_t kept = color & ~Format::kColorMask;
    return kept | Format::Pack(ApplyBright(Format::Unpack(color), bright));
}

// ---- the blend rule of each mode ---------------------------------------------

// One channel of width `bits` (5, 6 or 8). `s` is the source channel after
// the source stage (inverted for mode 10, then scaled by the bright).
template <bool kIs16Bit, int kMode, int kWeights, Alpha16Rule kRule>
inline int BlendChannel(int d, int s, int bits, uint32_t k, const BlendParam& p) {
    static_assert(kWeights >= 0 && kWeights <= 2);
    constexpr int kShift = 8 * kWeights;
    if constexpr (kMode == kBlendModePlain) {
        return kWeights == 0 ? s : MixWeighted(d, s, k, kShift);
    } else if constexpr (kMode == kBlendModeAlpha || kMode == kBlendModeInvertedAlpha ||
                         kMode == kBlendModeMultiplyAlpha) {
        if constexpr (kMode == kBlendModeMultiplyAlpha) {
            s = (d * s) >> bits;
        }
        if constexpr (kWeights > 0) {
            return MixWeighted(d, s, k * static_cast<uint32_t>(p.value), kShift + 8);
        } else if constexpr (!kIs16Bit) {
            return MixAlpha32(d, s, p.value);
        } else if constexpr (kMode == kBlendModeAlpha && kRule == Alpha16Rule::kLerpTable6) {
            return p.lerp_block[s][d];
        } else if constexpr (kMode == kBlendModeAlpha && kRule == Alpha16Rule::kHalving) {
            return (d + s) >> 1;
        } else {
            return d + p.signed_row[s - d];
        }
    } else if constexpr (kMode == kBlendModeAdd || kMode == kBlendModeSubtract) {
        int amount;
        if constexpr (kWeights == 0) {
            amount = static_cast<int>(p.row[s]);
        } else if constexpr (kIs16Bit) {
            // 16-bit applies P last, through the table.
            amount = static_cast<int>(p.row[(static_cast<uint32_t>(s) * k) >> kShift]);
        } else {
            amount = static_cast<int>((static_cast<uint32_t>(s) * k * static_cast<uint32_t>(p.value)) >> (kShift + 8));
        }
        if constexpr (kMode == kBlendModeAdd) {
            const int max = (1 << bits) - 1;
            return d + amount > max ? max : d + amount;
        } else {
            return d > amount ? d - amount : 0;
        }
    } else {
        static_assert(kMode == kBlendModeMultiply);
        const uint32_t product = static_cast<uint32_t>(d) * static_cast<uint32_t>(s);
        return static_cast<int>((kWeights == 0 ? product : product * k) >> (bits + kShift));
    }
}

// The new destination pixel. Modes 2 and 3 write the whole pixel (X = 0);
// the others write the colour and keep the destination's X byte. (Mode 0's
// unweighted copy of a whole source word is the loops' business: only they
// know the raw source.)
template <class Format, int kMode, int kWeights, Alpha16Rule kRule = Alpha16Rule::kMixAlpha16>
inline uint32_t BlendPixel(uint32_t dst, Channels s, uint32_t k, const BlendParam& p) {
    const Channels d = Format::Unpack(dst);
    constexpr bool k16 = Format::kIs16Bit;
    const Channels r{BlendChannel<k16, kMode, kWeights, kRule>(d.red, s.red, Format::kRedBits, k, p),
                     BlendChannel<k16, kMode, kWeights, kRule>(d.green, s.green, Format::kGreenBits, k, p),
                     BlendChannel<k16, kMode, kWeights, kRule>(d.blue, s.blue, Format::kBlueBits, k, p)};
    if constexpr (kMode == kBlendModeAdd || kMode == kBlendModeSubtract) {
        return Format::Pack(r);
    } else {
        return (dst & ~Format::kColorMask) | Format::Pack(r);
    }
}

// The source stage of an image draw: inversion (mode 10), then the bright.
template <class Format, int kMode, bool kBright>
inline Channels PrepareSource(Channels s, const BrightRows& bright) {
    if constexpr (kMode == kBlendModeInvertedAlpha) {
        s = InvertChannels<Format>(s);
    }
    if constexpr (kBright) {
        s = ApplyBright(s, bright);
    }
    return s;
}

// A flat colour's source stage: the bright first, then inversion (mode 10).
template <class Format>
inline uint32_t PrepareFlatColor(uint32_t color, int mode, const BrightRows& bright) {
    color = ScaleColorByBright<Format>(color, bright);
    if (mode == kBlendModeInvertedAlpha) {
        color = (color & ~Format::kColorMask) | Format::Pack(InvertChannels<Format>(Format::Unpack(color)));
    }
    return color;
}

}  // namespace velk
