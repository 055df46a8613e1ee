#include "lib/graphics/font/glyph_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELK_WIDE_GLYPHS 1
#endif

#include "lib/core/cpu_features.h"
#include "lib/graphics/font/edged_glyph_writer16.h"
#include "lib/graphics/font/font_data.h"
#include "lib/graphics/font/glyph_cell.h"
#include "lib/graphics/font/glyph_entry_records.h"
#include "lib/graphics/font/glyph_levels16.h"
#include "lib/graphics/font/glyph_line_form.h"

namespace velk {

namespace {

using Kind = GlyphWriter::Kind;
using Ink = GlyphWriter::Ink;

// Channels in the image's own widths (5/6/5 or 8/8/8).
struct Channels {
    int r = 0;
    int g = 0;
    int b = 0;
};

bool Is16(Kind kind) { return kind == Kind::k16 || kind == Kind::k16Alpha || kind == Kind::k16Over; }

Channels Unpack(Kind kind, uint32_t pixel) {
    if (Is16(kind)) {
        return {static_cast<int>((pixel >> 11) & 0x1F), static_cast<int>((pixel >> 5) & 0x3F),
                static_cast<int>(pixel & 0x1F)};
    }
    return {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
            static_cast<int>(pixel & 0xFF)};
}

uint32_t Pack(Kind kind, const Channels& c) {
    if (Is16(kind)) {
        return static_cast<uint32_t>((c.r << 11) | (c.g << 5) | c.b);
    }
    return static_cast<uint32_t>((c.r << 16) | (c.g << 8) | c.b);
}

// The coverage of one cell value and how much of it is text (0..256; the
// rest is edge).
struct Coverage {
    int alpha = 0;
    int text_weight = 256;
};

Coverage CoverageOf(int font_type, int value) {
    switch (font_type) {
        case 0:
            return value != 0 ? Coverage{255, 256} : Coverage{0, 0};
        case 1:
            return value == 1 ? Coverage{255, 256} : (value == 2 ? Coverage{255, 0} : Coverage{0, 0});
        default: {
            const int glyph = value & 0x0F;
            const int edge = font_type == 3 ? value >> 4 : 0;
            if (glyph == 0) {
                return Coverage{16 * edge, 0};
            }
            if (glyph == 15) {
                return Coverage{255, 256};
            }
            const int alpha = (16 * glyph + (15 - glyph) * edge) & 0xFF;
            return Coverage{alpha, 4096 * glyph / alpha};
        }
    }
}

// CoverageOf for every font type and cell value, worked out once: Begin
// needs all 256 values of anti-aliased edged cells for each string.
const Coverage& CoverageTable(int font_type, int value) {
    static const auto table = [] {
        std::array<std::array<Coverage, 256>, 4> t{};
        for (int type = 0; type < 4; ++type) {
            for (int v = 0; v < 256; ++v) {
                t[static_cast<size_t>(type)][static_cast<size_t>(v)] = CoverageOf(type, v);
            }
        }
        return t;
    }();
    return table[static_cast<size_t>(font_type)][static_cast<size_t>(value)];
}

// Anti-aliased edged cells over a plain 32-bit image by premultiplied
// entries, one of 64 bits a cell value: the ink's blue, green and red each
// times its coverage a, then 256 - a. A channel is then
// (d x (256 - a) + s x a) >> 8 in one multiply and one add, as the alpha
// blit mixes it (the sum stays below 2^16). An opaque ink's entry holds
// s x 256 and weight 0, which gives s itself. The last word's high byte
// is 0xFF for an opaque ink and 0 for others: X, weighted 0, comes out as
// that byte, and or'd with the destination's X it is the blit's X (0xFF
// over an opaque ink, the destination's over the others).
uint64_t OverEntry32(const Ink& ink) {
    const uint32_t a = ink.alpha;
    const bool opaque = a == 255;
    const uint64_t times = opaque ? 256 : a;
    uint64_t entry = 0;
    for (int c = 0; c < 3; ++c) {
        entry |= (((ink.pixel >> (8 * c)) & 0xFF) * times) << (16 * c);
    }
    return entry | (static_cast<uint64_t>(opaque ? 0xFF00 : 256 - a) << 48);
}

template <Kind kKind>
inline void Put(uint8_t* p, const Ink& ink) {
    if constexpr (kKind == Kind::k8) {
        *p = static_cast<uint8_t>(ink.pixel);
    } else if constexpr (kKind == Kind::k16Alpha) {
        p[0] = static_cast<uint8_t>(ink.pixel);
        p[1] = static_cast<uint8_t>(ink.pixel >> 8);
        p[2] = ink.alpha;
    } else if constexpr (kKind == Kind::k16Over) {
        // As the 16-bit alpha blit: an opaque colour word whole, the others
        // d + (s - d) x a / 256 rounded down per channel.
        if (ink.alpha == 255) {
            p[0] = static_cast<uint8_t>(ink.pixel);
            p[1] = static_cast<uint8_t>(ink.pixel >> 8);
            return;
        }
        const Channels s = Unpack(kKind, ink.pixel), t = Unpack(kKind, static_cast<uint32_t>(p[0] | (p[1] << 8)));
        const int a = ink.alpha;
        auto mix = [a](int d, int c) { return (d * (256 - a) + c * a) >> 8; };
        const uint32_t mixed = Pack(kKind, {mix(t.r, s.r), mix(t.g, s.g), mix(t.b, s.b)});
        p[0] = static_cast<uint8_t>(mixed);
        p[1] = static_cast<uint8_t>(mixed >> 8);
    } else if constexpr (kKind == Kind::k16) {
        if (ink.alpha == 255) {
            p[0] = static_cast<uint8_t>(ink.pixel);
            p[1] = static_cast<uint8_t>(ink.pixel >> 8);
            return;
        }
        const uint32_t d = static_cast<uint32_t>(p[0] | (p[1] << 8));
        const Channels s = Unpack(kKind, ink.pixel), t = Unpack(kKind, d);
        const int a = ink.alpha;
        const uint32_t mixed = Pack(kKind, {(s.r * a + t.r * (255 - a)) / 255, (s.g * a + t.g * (255 - a)) / 255,
                                            (s.b * a + t.b * (255 - a)) / 255});
        p[0] = static_cast<uint8_t>(mixed);
        p[1] = static_cast<uint8_t>(mixed >> 8);
    } else if constexpr (kKind == Kind::k32Alpha) {
        *reinterpret_cast<uint32_t*>(p) = ink.pixel;
    } else if constexpr (kKind == Kind::k32Over) {
        // The blit copies an opaque source word whole and mixes the others
        // over 2^8, the destination's X kept.
        uint32_t* d = reinterpret_cast<uint32_t*>(p);
        if (ink.alpha == 255) {
            *d = ink.pixel;
            return;
        }
        const uint32_t a = ink.alpha;
        uint32_t out = *d & 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t dc = (*d >> shift) & 0xFF, sc = (ink.pixel >> shift) & 0xFF;
            out |= ((dc * (256 - a) + sc * a) >> 8) << shift;
        }
        *d = out;
    } else {
        uint32_t* d = reinterpret_cast<uint32_t*>(p);
        if (ink.alpha == 255) {
            *d = ink.pixel;
            return;
        }
        const Channels s = Unpack(kKind, ink.pixel), t = Unpack(kKind, *d);
        const int a = ink.alpha;
        *d = (ink.pixel & 0xFF000000u) | Pack(kKind, {(s.r * a + t.r * (255 - a)) / 255,
                                                      (s.g * a + t.g * (255 - a)) / 255,
                                                      (s.b * a + t.b * (255 - a)) / 255});
    }
}

constexpr int BytesOf(Kind kind) { return kind == Kind::k8 ? 1 : (kind == Kind::k16 || kind == Kind::k16Over ? 2 : 4); }

// The pixels `from` to `to` (at most 56) of a 1-bit cell row as a word whose
// bit i is pixel from + i. Cache images end in 8 spare bytes, so the word
// is loaded whole.
inline uint64_t RowBits(const uint8_t* row, int from, int to) {
    uint64_t word;
    std::memcpy(&word, row + (from >> 3), sizeof(word));
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    word >>= from & 7;
    return word & ((uint64_t{1} << (to - from)) - 1);
}

// Writes the solid colour into those of eight pixels whose bit is set (bit i
// for pixel i), leaving the others as they are.
constexpr bool HasGroupStore(Kind kind) {
#if defined(__SSE2__)
    return kind == Kind::k16 || kind == Kind::k32 || kind == Kind::k32Alpha;
#else
    (void)kind;
    return false;
#endif
}

#if defined(__SSE2__)
// For each byte of bits, eight 32-bit lanes all ones where the bit is set.
struct LaneMasks {
    alignas(16) uint32_t lanes[256][8];
};

const LaneMasks& Masks32() {
    static const LaneMasks masks = [] {
        LaneMasks m{};
        for (int v = 0; v < 256; ++v) {
            for (int i = 0; i < 8; ++i) m.lanes[v][i] = ((v >> i) & 1) != 0 ? 0xFFFFFFFFu : 0;
        }
        return m;
    }();
    return masks;
}

inline __m128i Blend(__m128i mask, __m128i color, __m128i old) {
    return _mm_or_si128(_mm_and_si128(mask, color), _mm_andnot_si128(mask, old));
}

template <Kind kKind>
inline void StoreGroup(uint8_t* p, unsigned bits, __m128i color, const LaneMasks& masks) {
    __m128i* q = reinterpret_cast<__m128i*>(p);
    const __m128i* m = reinterpret_cast<const __m128i*>(masks.lanes[bits]);
    if constexpr (kKind == Kind::k16) {
        // Eight 32-bit lanes narrowed to eight 16-bit ones.
        const __m128i mask = _mm_packs_epi32(_mm_load_si128(m), _mm_load_si128(m + 1));
        _mm_storeu_si128(q, Blend(mask, color, _mm_loadu_si128(q)));
    } else {
        _mm_storeu_si128(q, Blend(_mm_load_si128(m), color, _mm_loadu_si128(q)));
        _mm_storeu_si128(q + 1, Blend(_mm_load_si128(m + 1), color, _mm_loadu_si128(q + 1)));
    }
}

// Whether byte-cell glyphs are written four pixels at a time.
constexpr bool HasInkGroups(Kind kind) { return kind == Kind::k16 || kind == Kind::k32; }

// floor(x / 255) for 16-bit lanes holding 0..65025.
inline __m128i DivideBy255(__m128i x) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
}

// (s x a + t x (255 - a)) / 255 per 16-bit lane.
inline __m128i MixBy255(__m128i s, __m128i t, __m128i a, __m128i rest) {
    return DivideBy255(_mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(t, rest)));
}

// Four pixels from four cell values, as Put writes them one by one: the
// ink mixed with the pixel there by its coverage, nothing where there is
// none.
template <Kind kKind>
inline void PutGroup(uint8_t* p, const uint8_t* values, const Ink* inks) {
    const Ink& i0 = inks[values[0]];
    const Ink& i1 = inks[values[1]];
    const Ink& i2 = inks[values[2]];
    const Ink& i3 = inks[values[3]];
    const __m128i zero = _mm_setzero_si128();
    if constexpr (kKind == Kind::k16) {
        auto lanes = [](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
            return _mm_setr_epi16(static_cast<int16_t>(a), static_cast<int16_t>(b), static_cast<int16_t>(c),
                                  static_cast<int16_t>(d), 0, 0, 0, 0);
        };
        const __m128i color = lanes(i0.pixel, i1.pixel, i2.pixel, i3.pixel);
        const __m128i alpha = lanes(i0.alpha, i1.alpha, i2.alpha, i3.alpha);
        const __m128i rest = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
        const __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const __m128i six = _mm_set1_epi16(0x3F), five = _mm_set1_epi16(0x1F);
        const __m128i red = MixBy255(_mm_srli_epi16(color, 11), _mm_srli_epi16(d, 11), alpha, rest);
        const __m128i green = MixBy255(_mm_and_si128(_mm_srli_epi16(color, 5), six),
                                       _mm_and_si128(_mm_srli_epi16(d, 5), six), alpha, rest);
        const __m128i blue = MixBy255(_mm_and_si128(color, five), _mm_and_si128(d, five), alpha, rest);
        const __m128i mixed = _mm_or_si128(_mm_slli_epi16(red, 11), _mm_or_si128(_mm_slli_epi16(green, 5), blue));
        // (A whole coverage mixes to the ink itself.)
        const __m128i out = Blend(_mm_cmpeq_epi16(alpha, zero), d, mixed);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), out);
    } else {
        static_assert(kKind == Kind::k32 || kKind == Kind::k32Alpha);
        __m128i* q = reinterpret_cast<__m128i*>(p);
        const __m128i color = _mm_setr_epi32(static_cast<int>(i0.pixel), static_cast<int>(i1.pixel),
                                             static_cast<int>(i2.pixel), static_cast<int>(i3.pixel));
        const __m128i alpha = _mm_setr_epi32(i0.alpha, i1.alpha, i2.alpha, i3.alpha);
        const __m128i d = _mm_loadu_si128(q);
        __m128i out = color;
        if constexpr (kKind == Kind::k32) {
            // Each pixel's coverage over its four byte lanes.
            const __m128i a_lo = _mm_setr_epi16(i0.alpha, i0.alpha, i0.alpha, i0.alpha, i1.alpha, i1.alpha, i1.alpha,
                                                i1.alpha);
            const __m128i a_hi = _mm_setr_epi16(i2.alpha, i2.alpha, i2.alpha, i2.alpha, i3.alpha, i3.alpha, i3.alpha,
                                                i3.alpha);
            const __m128i full = _mm_set1_epi16(255);
            const __m128i lo = MixBy255(_mm_unpacklo_epi8(color, zero), _mm_unpacklo_epi8(d, zero), a_lo,
                                        _mm_sub_epi16(full, a_lo));
            const __m128i hi = MixBy255(_mm_unpackhi_epi8(color, zero), _mm_unpackhi_epi8(d, zero), a_hi,
                                        _mm_sub_epi16(full, a_hi));
            // The ink's top byte over the mixed channels (a whole coverage
            // mixes to the ink itself).
            out = Blend(_mm_set1_epi32(0x00FFFFFF), _mm_packus_epi16(lo, hi), color);
        }
        _mm_storeu_si128(q, Blend(_mm_cmpeq_epi32(alpha, zero), d, out));
    }
}

// Eight pixels of an edged glyph without anti-aliasing, whose cells hold
// 1 for the text, 2 for the edge and nothing else that draws: both inks are
// whole, so each pixel takes one of them or stays.
template <Kind kKind>
inline void PutTwoInkGroup(uint8_t* p, const uint8_t* values, __m128i text, __m128i edge) {
    const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(values));
    const __m128i is_text = _mm_cmpeq_epi8(v, _mm_set1_epi8(1));
    const __m128i is_edge = _mm_cmpeq_epi8(v, _mm_set1_epi8(2));
    __m128i* q = reinterpret_cast<__m128i*>(p);
    if constexpr (kKind == Kind::k16) {
        const __m128i t = _mm_unpacklo_epi8(is_text, is_text), e = _mm_unpacklo_epi8(is_edge, is_edge);
        _mm_storeu_si128(q, Blend(t, text, Blend(e, edge, _mm_loadu_si128(q))));
    } else {
        const __m128i t = _mm_unpacklo_epi8(is_text, is_text), e = _mm_unpacklo_epi8(is_edge, is_edge);
        const __m128i t0 = _mm_unpacklo_epi16(t, t), t1 = _mm_unpackhi_epi16(t, t);
        const __m128i e0 = _mm_unpacklo_epi16(e, e), e1 = _mm_unpackhi_epi16(e, e);
        _mm_storeu_si128(q, Blend(t0, text, Blend(e0, edge, _mm_loadu_si128(q))));
        _mm_storeu_si128(q + 1, Blend(t1, text, Blend(e1, edge, _mm_loadu_si128(q + 1))));
    }
}

template <Kind kKind>
inline __m128i SpreadColor(uint32_t pixel) {
    return kKind == Kind::k16 ? _mm_set1_epi16(static_cast<int16_t>(pixel)) : _mm_set1_epi32(static_cast<int>(pixel));
}
#endif

// A 1-bit glyph box cut to the rectangle (x0, y0)-(x1, y1) in the box's own
// coordinates; `room` is where the clip ends in them. Where the image takes
// group stores, eight pixels are written at a time without a branch on the
// bits (how many pixels a row has set differs from row to row); a group may
// reach past the glyph, whose bits there are clear, but never past the clip.
template <Kind kKind>
void WriteBitBox(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0, int x1, int y1,
                 int room, const Ink& solid) {
    constexpr int kBytes = BytesOf(kKind);
    const int pitch = dest.base->pitch;
    const uint8_t* src = glyph.pixels + y0 * glyph.pitch;
    uint8_t* row = dest.pixels + static_cast<ptrdiff_t>(y + y0) * pitch + static_cast<ptrdiff_t>(x) * kBytes;
#if defined(__SSE2__)
    const __m128i color = SpreadColor<kKind>(solid.pixel);
    const LaneMasks& masks = Masks32();
    if constexpr (HasGroupStore(kKind)) {
        // The usual glyph: one word a row, whole groups inside the clip.
        const int count = x1 - x0;
        const int groups = (count + 7) / 8;
        if (count <= 56 && x0 + 8 * groups <= room) {
            for (int gy = y0; gy < y1; ++gy, src += glyph.pitch, row += pitch) {
                uint64_t bits = RowBits(src, x0, x1);
                uint8_t* p = row + x0 * kBytes;
                for (int g = 0; g < groups; ++g, bits >>= 8, p += 8 * kBytes) {
                    StoreGroup<kKind>(p, static_cast<unsigned>(bits) & 0xFF, color, masks);
                }
            }
            return;
        }
    }
#endif
    for (int gy = y0; gy < y1; ++gy, src += glyph.pitch, row += pitch) {
        for (int from = x0; from < x1; from += 56) {
            const int count = std::min(x1, from + 56) - from;
            uint64_t bits = RowBits(src, from, from + count);
            uint8_t* start = row + from * kBytes;
            int done = 0;
#if defined(__SSE2__)
            if constexpr (HasGroupStore(kKind)) {
                const int groups_end = std::min((count + 7) & ~7, (room - from) & ~7);
                for (; done < groups_end; done += 8) {
                    StoreGroup<kKind>(start + done * kBytes, static_cast<unsigned>(bits >> done) & 0xFF, color, masks);
                }
                bits = done < 64 ? bits >> done : 0;
            }
#endif
            for (; bits != 0; bits &= bits - 1) {
                Put<kKind>(start + (done + __builtin_ctzll(bits)) * kBytes, solid);
            }
        }
    }
}

// A glyph box of byte cells (font types 1 to 3), cut as above; stretches of
// eight empty pixels are skipped at once.
template <Kind kKind>
void WriteByteBox(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0, int x1, int y1,
                  const Ink* inks, bool two_inks) {
    constexpr int kBytes = BytesOf(kKind);
    const int pitch = dest.base->pitch;
#if defined(__SSE2__)
    constexpr bool kTwoInkGroups = kKind == Kind::k16 || kKind == Kind::k32 || kKind == Kind::k32Alpha;
    const __m128i text = SpreadColor<kKind>(inks[1].pixel), edge = SpreadColor<kKind>(inks[2].pixel);
#endif
    for (int gy = y0; gy < y1; ++gy) {
        const uint8_t* src = glyph.pixels + gy * glyph.pitch;
        uint8_t* row = dest.pixels + static_cast<ptrdiff_t>(y + gy) * pitch + static_cast<ptrdiff_t>(x) * kBytes;
        int gx = x0;
        for (; gx + 8 <= x1; gx += 8) {
            uint64_t values;
            std::memcpy(&values, src + gx, 8);
            if (values == 0) {
                continue;
            }
            if constexpr (kKind == Kind::k32Alpha) {
#if defined(__SSE2__)
                if (two_inks) {
                    PutTwoInkGroup<kKind>(row + gx * kBytes, src + gx, text, edge);
                    continue;
                }
#endif
#if defined(__SSE2__)
                // Every ink is stored whole, its coverage in its top byte:
                // no branch on the cell values.
                for (int i = 0; i < 8; i += 4) {
                    const uint8_t* v = src + gx + i;
                    __m128i* q = reinterpret_cast<__m128i*>(row + (gx + i) * kBytes);
                    const __m128i color =
                        _mm_setr_epi32(static_cast<int>(inks[v[0]].pixel), static_cast<int>(inks[v[1]].pixel),
                                       static_cast<int>(inks[v[2]].pixel), static_cast<int>(inks[v[3]].pixel));
                    const __m128i blank = _mm_cmpeq_epi32(_mm_srli_epi32(color, 24), _mm_setzero_si128());
                    _mm_storeu_si128(q, Blend(blank, _mm_loadu_si128(q), color));
                }
                continue;
#endif
            }
#if defined(__SSE2__)
            if constexpr (kTwoInkGroups) {
                if (two_inks) {
                    PutTwoInkGroup<kKind>(row + gx * kBytes, src + gx, text, edge);
                    continue;
                }
            }
            if constexpr (HasInkGroups(kKind)) {
                for (int half = 0; half < 8; half += 4) {
                    uint32_t four;
                    std::memcpy(&four, src + gx + half, 4);
                    if (four != 0) {
                        PutGroup<kKind>(row + (gx + half) * kBytes, src + gx + half, inks);
                    }
                }
                continue;
            }
#endif
            for (int i = 0; i < 8; ++i) {
                const Ink& ink = inks[src[gx + i]];
                if (ink.alpha != 0) {
                    Put<kKind>(row + (gx + i) * kBytes, ink);
                }
            }
        }
#if defined(__SSE2__)
        if constexpr (HasInkGroups(kKind)) {
            if (gx + 4 <= x1) {
                PutGroup<kKind>(row + gx * kBytes, src + gx, inks);
                gx += 4;
            }
        }
#endif
        for (; gx < x1; ++gx) {
            const Ink& ink = inks[src[gx]];
            if (ink.alpha != 0) {
                Put<kKind>(row + gx * kBytes, ink);
            }
        }
    }
}

// A box form and its line form.
struct BoxForms {
    GlyphWriter::WideBoxWriter box = nullptr;
    GlyphWriter::LineWriter line = nullptr;
};

#if defined(VELK_WIDE_GLYPHS)
bool g_wide_allowed = true;

__attribute__((target("avx2"))) inline __m256i MixOver(__m256i d16, __m256i s16, __m256i a16) {
    const __m256i rest = _mm256_sub_epi16(_mm256_set1_epi16(256), a16);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(d16, rest), _mm256_mullo_epi16(s16, a16)), 8);
}

// How a wide step finds each pixel's ink: from the 16-entry table, as one of
// the two inks of edged cells, gathered from all 256 inks, or (anti-aliased
// text over a plain image) as a mix of sixteen coverage levels.
enum class LookupForm { kTable, kTwoInks, kGather, kLevels };

struct WideInks {
    __m256i low, high, keep_bits, text, edge, color, whole;
    const Ink* inks;
    // 16-bit anti-aliased edged cells: each value's colour word, its
    // coverage above it.
    const uint32_t* cover_words;
};

// Eight pixels from eight cell values: each the ink of its value (mixed as an
// alpha blit would for k32Over) or left as it is, as are those `outside`.
template <Kind kKind, LookupForm kForm>
__attribute__((target("avx2"), always_inline)) inline void PutEight(uint8_t* p, const uint8_t* cells, __m256i outside,
                                                                    const WideInks& w) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i all = _mm256_set1_epi32(-1);
    const __m256i one = _mm256_set1_epi32(1), fifteen = _mm256_set1_epi32(15);
    // (Cache images end in 8 spare bytes: the load stays inside.)
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cells));
    if constexpr (kForm == LookupForm::kGather) {
        // Value 0 puts nothing down in every font type: an empty step looks
        // up no ink.
        if (_mm_cvtsi128_si64(bytes) == 0) {
            return;
        }
    }
    const __m256i values = _mm256_cvtepu8_epi32(bytes);
    __m256i ink = zero, keep;
    if constexpr (kForm == LookupForm::kGather) {
        // The inks' pixels, whose top byte is their coverage: eight loads
        // beat the machine's gather, whose latency each step waits on.
        const Ink* k = w.inks;
        ink = _mm256_setr_epi32(static_cast<int>(k[cells[0]].pixel), static_cast<int>(k[cells[1]].pixel),
                                static_cast<int>(k[cells[2]].pixel), static_cast<int>(k[cells[3]].pixel),
                                static_cast<int>(k[cells[4]].pixel), static_cast<int>(k[cells[5]].pixel),
                                static_cast<int>(k[cells[6]].pixel), static_cast<int>(k[cells[7]].pixel));
        keep = _mm256_or_si256(_mm256_cmpeq_epi32(_mm256_srli_epi32(ink, 24), zero), outside);
    } else if constexpr (kForm == LookupForm::kTwoInks) {
        // Edged cells: 1 the text, 2 the edge, nothing else draws.
        const __m256i is_text = _mm256_cmpeq_epi32(values, one);
        const __m256i is_edge = _mm256_cmpeq_epi32(values, _mm256_set1_epi32(2));
        keep = _mm256_or_si256(_mm256_xor_si256(_mm256_or_si256(is_text, is_edge), all), outside);
        ink = _mm256_blendv_epi8(w.edge, w.text, is_text);
    } else if constexpr (kForm == LookupForm::kLevels) {
        // Value 0, and values of 16 or more, put nothing down.
        keep = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi32(values, zero), _mm256_cmpgt_epi32(values, fifteen)),
                               outside);
    } else {
        // (Values of 16 or more have no ink in these font types.)
        keep = _mm256_or_si256(
            _mm256_or_si256(_mm256_cmpeq_epi32(_mm256_and_si256(_mm256_srlv_epi32(w.keep_bits, values), one), one),
                            _mm256_cmpgt_epi32(values, fifteen)),
            outside);
        // Values 8 to 15 (bit 3 moved to the sign) from the high half.
        ink = _mm256_castps_si256(_mm256_blendv_ps(_mm256_castsi256_ps(_mm256_permutevar8x32_epi32(w.low, values)),
                                                   _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(w.high, values)),
                                                   _mm256_castsi256_ps(_mm256_slli_epi32(values, 28))));
    }
    if constexpr (kKind == Kind::k32Over) {
        // (Only the mix is worth a branch on empty steps.)
        if (_mm256_movemask_epi8(keep) == -1) {
            return;
        }
    }
    __m256i* q = reinterpret_cast<__m256i*>(p);
    const __m256i d = _mm256_loadu_si256(q);
    __m256i out = ink;
    if constexpr (kForm == LookupForm::kLevels) {
        // (d x (256 - 16 v) + s x 16 v) >> 8 is (d x (16 - v) + s x v) >> 4,
        // whose factors fit bytes: one multiply-add of (d, s) byte pairs by
        // (16 - v, v) mixes each channel. The source's X is the
        // destination's, so X mixes to itself. The weights also choose:
        // 15 mixes by (0, 16) to the whole ink, whose X (its coverage) is
        // 0xFF, and a pixel left as it is by (16, 0).
        const __m256i whole = _mm256_cmpeq_epi32(values, fifteen);
        const __m256i s = _mm256_or_si256(
            w.color, _mm256_and_si256(_mm256_or_si256(d, whole), _mm256_set1_epi32(static_cast<int>(0xFF000000u))));
        const __m256i weight = _mm256_andnot_si256(keep, _mm256_sub_epi32(values, whole));
        const __m256i pairs =
            _mm256_add_epi32(_mm256_mullo_epi32(weight, _mm256_set1_epi32(0x00FF00FF)), _mm256_set1_epi32(0x00100010));
        const __m256i lo =
            _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(d, s), _mm256_unpacklo_epi32(pairs, pairs)), 4);
        const __m256i hi =
            _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(d, s), _mm256_unpackhi_epi32(pairs, pairs)), 4);
        _mm256_storeu_si256(q, _mm256_packus_epi16(lo, hi));
        return;
    } else if constexpr (kKind == Kind::k32Over) {
        // Per channel (d x (256 - a) + s x a) >> 8 with X weighted 0 (each
        // ink's coverage spread over its blue, green and red lanes); an
        // opaque ink whole.
        const __m256i spread_low = _mm256_setr_epi8(3, -1, 3, -1, 3, -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1, 3, -1, 3,
                                                    -1, 3, -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1);
        const __m256i spread_high = _mm256_setr_epi8(11, -1, 11, -1, 11, -1, -1, -1, 15, -1, 15, -1, 15, -1, -1, -1, 11,
                                                     -1, 11, -1, 11, -1, -1, -1, 15, -1, 15, -1, 15, -1, -1, -1);
        const __m256i lo = MixOver(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(ink, zero),
                                   _mm256_shuffle_epi8(ink, spread_low));
        const __m256i hi = MixOver(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(ink, zero),
                                   _mm256_shuffle_epi8(ink, spread_high));
        out = _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), ink,
                                 _mm256_cmpeq_epi32(_mm256_or_si256(ink, _mm256_set1_epi32(0x00FFFFFF)), all));
    }
    _mm256_storeu_si256(q, _mm256_blendv_epi8(out, d, keep));
}

// The 32-bit form of WriteByteBox for a usable lookup: eight pixels a step
// without a branch on the values. A row's last, partial step runs pixel by
// pixel when eight pixels would reach past the clip.
template <Kind kKind, LookupForm kForm>
__attribute__((target("avx2"))) void WriteLookupBox32(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph,
                                                      int x0, int y0, int x1, int y1, int room, const Ink* inks,
                                                      const GlyphWriter::Lookup& lookup) {
    static_assert(kKind == Kind::k32 || kKind == Kind::k32Alpha || kKind == Kind::k32Over);
    const WideInks w{_mm256_load_si256(reinterpret_cast<const __m256i*>(lookup.pixels.data())),
                     _mm256_load_si256(reinterpret_cast<const __m256i*>(lookup.pixels.data() + 8)),
                     _mm256_set1_epi32(static_cast<int>(lookup.keep_bits)),
                     _mm256_set1_epi32(static_cast<int>(inks[1].pixel)),
                     _mm256_set1_epi32(static_cast<int>(inks[2].pixel)),
                     _mm256_set1_epi32(static_cast<int>(lookup.level_color)),
                     _mm256_set1_epi32(static_cast<int>(inks[15].pixel)),
                     inks,
                     nullptr};
    const ptrdiff_t pitch = dest.base->pitch;
    const int full_end = x0 + ((x1 - x0) & ~7);
    const int rest = x1 - full_end;
    const bool wide_rest = rest != 0 && full_end + 8 <= room;
    const __m256i rest_outside = _mm256_xor_si256(
        _mm256_cmpgt_epi32(_mm256_set1_epi32(rest), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)), _mm256_set1_epi32(-1));
    const __m256i none = _mm256_setzero_si256();
    const uint8_t* src = glyph.pixels + static_cast<ptrdiff_t>(y0) * glyph.pitch;
    uint8_t* row = dest.pixels + (y + y0) * pitch + static_cast<ptrdiff_t>(x) * 4;
    for (int gy = y0; gy < y1; ++gy, src += glyph.pitch, row += pitch) {
        for (int gx = x0; gx < full_end; gx += 8) {
            PutEight<kKind, kForm>(row + gx * 4, src + gx, none, w);
        }
        if (wide_rest) {
            PutEight<kKind, kForm>(row + full_end * 4, src + full_end, rest_outside, w);
        } else {
            for (int gx = full_end; gx < x1; ++gx) {
                const Ink& ink = inks[src[gx]];
                if (ink.alpha != 0) {
                    Put<kKind>(row + gx * 4, ink);
                }
            }
        }
    }
}
#endif

#if defined(VELK_WIDE_GLYPHS)
// A 1-bit glyph box mixed over a plain 32-bit image by one ink (the blended
// draw of text without anti-aliasing): per channel
// (d x (256 - a) + s x a) >> 8 with the destination's X, eight pixels a
// step where the clip leaves room for them, as WriteBitBox's groups.
__attribute__((target("avx2"))) bool WriteBitBoxOver32(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph,
                                                       int x0, int y0, int x1, int y1, int room, const Ink& solid) {
    const int count = x1 - x0;
    const int groups = (count + 7) / 8;
    if (count > 56 || x0 + 8 * groups > room || solid.alpha == 255) {
        return false;
    }
    const __m256i zero = _mm256_setzero_si256();
    // The ink's share s x a per channel, 0 for X; the destination's weight
    // 256 - a, 256 for X.
    const __m256i ink16 = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(solid.pixel & 0x00FFFFFFu)), zero);
    const int a = solid.alpha;
    const __m256i weight = _mm256_setr_epi16(
        static_cast<int16_t>(a), static_cast<int16_t>(a), static_cast<int16_t>(a), 0, static_cast<int16_t>(a),
        static_cast<int16_t>(a), static_cast<int16_t>(a), 0, static_cast<int16_t>(a), static_cast<int16_t>(a),
        static_cast<int16_t>(a), 0, static_cast<int16_t>(a), static_cast<int16_t>(a), static_cast<int16_t>(a), 0);
    const __m256i share = _mm256_mullo_epi16(ink16, weight);
    const __m256i rest = _mm256_sub_epi16(_mm256_set1_epi16(256), weight);
    const LaneMasks& masks = Masks32();
    const int pitch = dest.base->pitch;
    const uint8_t* src = glyph.pixels + y0 * glyph.pitch;
    uint8_t* row = dest.pixels + static_cast<ptrdiff_t>(y + y0) * pitch + static_cast<ptrdiff_t>(x) * 4;
    for (int gy = y0; gy < y1; ++gy, src += glyph.pitch, row += pitch) {
        uint64_t bits = RowBits(src, x0, x1);
        uint8_t* p = row + x0 * 4;
        for (int g = 0; g < groups; ++g, bits >>= 8, p += 32) {
            const unsigned eight = static_cast<unsigned>(bits) & 0xFF;
            if (eight == 0) {
                continue;
            }
            __m256i* q = reinterpret_cast<__m256i*>(p);
            const __m256i d = _mm256_loadu_si256(q);
            const __m256i lo =
                _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), rest), share), 8);
            const __m256i hi =
                _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), rest), share), 8);
            const __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(masks.lanes[eight]));
            _mm256_storeu_si256(q, _mm256_blendv_epi8(d, _mm256_packus_epi16(lo, hi), mask));
        }
    }
    return true;
}

// d + floor((s - d) x w / 2^shift) per 16-bit lane, |s - d| x w inside 16
// signed bits.
template <int kShift>
__attribute__((target("avx2"))) inline __m128i MixLanes16(__m128i d, __m128i s, __m128i w) {
    return _mm_add_epi16(d, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(s, d), w), kShift));
}

// R5G6B5 words mixed channel by channel by MixLanes16.
template <int kShift>
__attribute__((target("avx2"))) inline __m128i Mix565(__m128i d, __m128i s, __m128i w) {
    const __m128i six = _mm_set1_epi16(0x3F), five = _mm_set1_epi16(0x1F);
    const __m128i red = MixLanes16<kShift>(_mm_srli_epi16(d, 11), _mm_srli_epi16(s, 11), w);
    const __m128i green =
        MixLanes16<kShift>(_mm_and_si128(_mm_srli_epi16(d, 5), six), _mm_and_si128(_mm_srli_epi16(s, 5), six), w);
    const __m128i blue = MixLanes16<kShift>(_mm_and_si128(d, five), _mm_and_si128(s, five), w);
    return _mm_or_si128(_mm_slli_epi16(red, 11), _mm_or_si128(_mm_slli_epi16(green, 5), blue));
}

// PutEight for 16-bit images: edged cells' two inks into a plain image, and
// anti-aliased cells over one (k16Over) by their sixteen levels or by inks
// gathered from all 256.
template <Kind kKind, LookupForm kForm>
__attribute__((target("avx2"), always_inline)) inline void PutEight16(uint8_t* p, const uint8_t* cells, __m128i outside,
                                                                      const WideInks& w) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i all = _mm_set1_epi16(-1);
    const __m128i fifteen = _mm_set1_epi16(15);
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cells));
    if (_mm_cvtsi128_si64(bytes) == 0) {
        return;
    }
    const __m128i values = _mm_cvtepu8_epi16(bytes);
    __m128i ink = zero, alpha = zero, keep;
    if constexpr (kForm == LookupForm::kTwoInks) {
        const __m128i is_text = _mm_cmpeq_epi16(values, _mm_set1_epi16(1));
        const __m128i is_edge = _mm_cmpeq_epi16(values, _mm_set1_epi16(2));
        keep = _mm_or_si128(_mm_xor_si128(_mm_or_si128(is_text, is_edge), all), outside);
        ink = _mm_blendv_epi8(_mm256_castsi256_si128(w.edge), _mm256_castsi256_si128(w.text), is_text);
    } else if constexpr (kForm == LookupForm::kLevels) {
        keep = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(values, zero), _mm_cmpgt_epi16(values, fifteen)), outside);
    } else {
        static_assert(kForm == LookupForm::kGather);
        // Each ink's colour word and coverage in one load (loads one by one
        // are faster than the machine's gathers).
        const uint32_t* t = w.cover_words;
        auto at = [t, cells](int i) { return static_cast<int>(t[cells[i]]); };
        const __m128i first = _mm_setr_epi32(at(0), at(1), at(2), at(3));
        const __m128i second = _mm_setr_epi32(at(4), at(5), at(6), at(7));
        const __m128i word_bits = _mm_set1_epi32(0xFFFF);
        ink = _mm_packus_epi32(_mm_and_si128(first, word_bits), _mm_and_si128(second, word_bits));
        alpha = _mm_packus_epi32(_mm_srli_epi32(first, 16), _mm_srli_epi32(second, 16));
        keep = _mm_or_si128(_mm_cmpeq_epi16(alpha, zero), outside);
    }
    if constexpr (kKind == Kind::k16Over) {
        if (_mm_movemask_epi8(keep) == 0xFFFF) {
            return;
        }
    }
    __m128i* q = reinterpret_cast<__m128i*>(p);
    const __m128i d = _mm_loadu_si128(q);
    __m128i out = ink;
    if constexpr (kForm == LookupForm::kLevels) {
        // (d x (256 - 16 v) + s x 16 v) >> 8 is d + floor((s - d) x v / 16);
        // 15 is the whole colour word.
        out = _mm_blendv_epi8(Mix565<4>(d, _mm256_castsi256_si128(w.color), values), _mm256_castsi256_si128(w.whole),
                              _mm_cmpeq_epi16(values, fifteen));
    } else if constexpr (kForm == LookupForm::kGather) {
        out = _mm_blendv_epi8(Mix565<8>(d, ink, alpha), ink, _mm_cmpeq_epi16(alpha, _mm_set1_epi16(255)));
    }
    _mm_storeu_si128(q, _mm_blendv_epi8(out, d, keep));
}

// Mix565 for sixteen pixels.
template <int kShift>
__attribute__((target("avx2"))) inline __m256i Mix565Wide(__m256i d, __m256i s, __m256i w) {
    const __m256i six = _mm256_set1_epi16(0x3F), five = _mm256_set1_epi16(0x1F);
    auto mix = [w](__m256i dc, __m256i sc) __attribute__((target("avx2"))) {
        return _mm256_add_epi16(dc, _mm256_srai_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(sc, dc), w), kShift));
    };
    const __m256i red = mix(_mm256_srli_epi16(d, 11), _mm256_srli_epi16(s, 11));
    const __m256i green =
        mix(_mm256_and_si256(_mm256_srli_epi16(d, 5), six), _mm256_and_si256(_mm256_srli_epi16(s, 5), six));
    const __m256i blue = mix(_mm256_and_si256(d, five), _mm256_and_si256(s, five));
    return _mm256_or_si256(_mm256_slli_epi16(red, 11), _mm256_or_si256(_mm256_slli_epi16(green, 5), blue));
}

// PutEight16 for sixteen pixels, those `outside` left as they are. (Each
// half's cells are read as PutEight16 reads them.)
template <Kind kKind, LookupForm kForm>
__attribute__((target("avx2"), always_inline)) inline void PutSixteen16(uint8_t* p, const uint8_t* cells,
                                                                        __m256i outside, const WideInks& w) {
    const __m256i fifteen = _mm256_set1_epi16(15);
    const __m128i bytes = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cells)),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cells + 8)));
    if (_mm_testz_si128(bytes, bytes)) {
        return;
    }
    const __m256i values = _mm256_cvtepu8_epi16(bytes);
    __m256i* q = reinterpret_cast<__m256i*>(p);
    if constexpr (kForm == LookupForm::kTwoInks) {
        const __m256i is_text = _mm256_cmpeq_epi16(values, _mm256_set1_epi16(1));
        const __m256i is_edge = _mm256_cmpeq_epi16(values, _mm256_set1_epi16(2));
        const __m256i d = _mm256_loadu_si256(q);
        const __m256i ink = _mm256_blendv_epi8(w.edge, w.text, is_text);
        _mm256_storeu_si256(
            q, _mm256_blendv_epi8(d, ink, _mm256_andnot_si256(outside, _mm256_or_si256(is_text, is_edge))));
    } else if constexpr (kForm == LookupForm::kGather) {
        // (Loaded as PutEight16 loads them.) Pixels 0-3 and 8-11 in one
        // register, 4-7 and 12-15 in the other, so that the packs (lane by
        // lane) put all sixteen in order.
        const uint32_t* t = w.cover_words;
        auto at = [t, cells](int i) { return static_cast<int>(t[cells[i]]); };
        const __m256i first = _mm256_setr_epi32(at(0), at(1), at(2), at(3), at(8), at(9), at(10), at(11));
        const __m256i second = _mm256_setr_epi32(at(4), at(5), at(6), at(7), at(12), at(13), at(14), at(15));
        const __m256i word_bits = _mm256_set1_epi32(0xFFFF);
        const __m256i ink =
            _mm256_packus_epi32(_mm256_and_si256(first, word_bits), _mm256_and_si256(second, word_bits));
        const __m256i alpha = _mm256_packus_epi32(_mm256_srli_epi32(first, 16), _mm256_srli_epi32(second, 16));
        // As in the levels form, the weights choose: coverage 255 mixes by
        // 256/256 to the ink itself, none (or outside) by 0.
        const __m256i weight = _mm256_andnot_si256(
            outside, _mm256_sub_epi16(alpha, _mm256_cmpeq_epi16(alpha, _mm256_set1_epi16(255))));
        _mm256_storeu_si256(q, Mix565Wide<8>(_mm256_loadu_si256(q), ink, weight));
    } else {
        static_assert(kForm == LookupForm::kLevels);
        // The weights themselves choose: 15 mixes by 16/16 to the whole
        // colour, and a pixel left as it is (value 0 or above 15, or
        // outside) mixes by 0.
        const __m256i weight = _mm256_andnot_si256(
            _mm256_or_si256(_mm256_cmpgt_epi16(values, fifteen), outside),
            _mm256_sub_epi16(values, _mm256_cmpeq_epi16(values, fifteen)));
        _mm256_storeu_si256(q, Mix565Wide<4>(_mm256_loadu_si256(q), w.color, weight));
    }
}

template <Kind kKind, LookupForm kForm>
__attribute__((target("avx2"))) void WriteLookupBox16(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph,
                                                      int x0, int y0, int x1, int y1, int room, const Ink* inks,
                                                      const GlyphWriter::Lookup& lookup, const uint32_t* cover_words) {
    static_assert(kKind == Kind::k16 || kKind == Kind::k16Over);
    const WideInks w{_mm256_setzero_si256(),
                     _mm256_setzero_si256(),
                     _mm256_setzero_si256(),
                     _mm256_set1_epi16(static_cast<int16_t>(inks[1].pixel)),
                     _mm256_set1_epi16(static_cast<int16_t>(inks[2].pixel)),
                     _mm256_set1_epi16(static_cast<int16_t>(lookup.level_color)),
                     _mm256_set1_epi16(static_cast<int16_t>(inks[15].pixel)),
                     inks,
                     cover_words};
    const ptrdiff_t pitch = dest.base->pitch;
    const int full_end = x0 + ((x1 - x0) & ~7);
    const int rest = x1 - full_end;
    const bool wide_rest = rest != 0 && full_end + 8 <= room;
    const __m128i rest_outside = _mm_xor_si128(
        _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<int16_t>(rest)), _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7)),
        _mm_set1_epi16(-1));
    const __m128i none = _mm_setzero_si128();
    // Sixteen pixels a step where the form allows, the last step too when
    // it holds more than eight and the clip leaves room.
    const int wide_end = x0 + ((x1 - x0) & ~15);
    const int rest16 = x1 - wide_end;
    const bool sixteen_rest = rest16 > 8 && wide_end + 16 <= room;
    const __m256i none16 = _mm256_setzero_si256();
    const __m256i rest16_outside =
        _mm256_xor_si256(_mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<int16_t>(rest16)),
                                            _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15)),
                         _mm256_set1_epi16(-1));
    const uint8_t* src = glyph.pixels + static_cast<ptrdiff_t>(y0) * glyph.pitch;
    uint8_t* row = dest.pixels + (y + y0) * pitch + static_cast<ptrdiff_t>(x) * 2;
    for (int gy = y0; gy < y1; ++gy, src += glyph.pitch, row += pitch) {
        int gx = x0;
        for (; gx < wide_end; gx += 16) {
            PutSixteen16<kKind, kForm>(row + gx * 2, src + gx, none16, w);
        }
        if (sixteen_rest) {
            PutSixteen16<kKind, kForm>(row + gx * 2, src + gx, rest16_outside, w);
            continue;
        }
        for (; gx < full_end; gx += 8) {
            PutEight16<kKind, kForm>(row + gx * 2, src + gx, none, w);
        }
        if (wide_rest) {
            PutEight16<kKind, kForm>(row + full_end * 2, src + full_end, rest_outside, w);
        } else {
            for (int gx = full_end; gx < x1; ++gx) {
                const Ink& ink = inks[src[gx]];
                if (ink.alpha != 0) {
                    Put<kKind>(row + gx * 2, ink);
                }
            }
        }
    }
}
#endif

#if defined(VELK_WIDE_GLYPHS)
bool g_widest_allowed = true;
bool g_permutes_allowed = true;
bool g_entries_allowed = true;
bool g_entry_records_allowed = true;
bool g_level_pairs_allowed = true;

// GCC 12's 512-bit intrinsics start from a register left undefined on
// purpose, which its flow analysis then reports as used uninitialised.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define VELK_TARGET_512 __attribute__((target("avx512f,avx512bw,avx512vl")))

// The cells of a row step of up to 64 pixels from `from` below `to`: those
// beyond read as 0 (nothing loaded there, so nothing past the cell is
// touched).
VELK_TARGET_512 inline __mmask64 StepMask(int from, int to, int step) {
    const int count = std::min(step, to - from);
    return count >= 64 ? ~__mmask64{0} : (__mmask64{1} << count) - 1;
}

// Edged cells whose two inks are both whole: each pixel takes the text
// colour (value 1), the edge colour (2) or stays, so a step is one masked
// store of the colours chosen by the cells, without reading the image. A
// step is one register's worth of pixels (32 at 16 bits, 16 at 32), the last
// of a row cut to the glyph by its mask.
template <int kBytes>
VELK_TARGET_512 void WriteTwoInkBox512(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0,
                                       int x1, int y1, const Ink* inks, const GlyphWriter::Lookup& /*lookup*/,
                                       const uint32_t* /*cover_words*/) {
    const uint32_t text = inks[1].pixel, edge = inks[2].pixel;
    constexpr int kStep = 64 / kBytes;
    const ptrdiff_t pitch = dest.base->pitch;
    const uint8_t* src = glyph.pixels + static_cast<ptrdiff_t>(y0) * glyph.pitch + x0;
    uint8_t* row = dest.pixels + (y + y0) * pitch + static_cast<ptrdiff_t>(x + x0) * kBytes;
    const ptrdiff_t cell_pitch = glyph.pitch;  // (read once: the stores might reach it)
    const int width = x1 - x0;
    const int last = (width - 1) & ~(kStep - 1);  // where a row's last step starts
    const __mmask64 last_mask = StepMask(last, width, kStep);
    if constexpr (kBytes == 2) {
        const __m512i text_words = _mm512_set1_epi16(static_cast<int16_t>(text));
        const __m512i edge_words = _mm512_set1_epi16(static_cast<int16_t>(edge));
        const __m256i one = _mm256_set1_epi8(1), two = _mm256_set1_epi8(2);
        auto step = [&](const uint8_t* cells, uint8_t* p, __mmask32 mask) VELK_TARGET_512 {
            const __m256i values = _mm256_maskz_loadu_epi8(mask, cells);
            const __mmask32 is_text = _mm256_cmpeq_epi8_mask(values, one);
            const __mmask32 is_edge = _mm256_cmpeq_epi8_mask(values, two);
            _mm512_mask_storeu_epi16(p, is_text | is_edge, _mm512_mask_blend_epi16(is_text, edge_words, text_words));
        };
        if (last == 0) {
            // (Most glyphs: one step a row, two rows a turn.)
            int gy = y0;
            for (; gy + 1 < y1; gy += 2, src += 2 * cell_pitch, row += 2 * pitch) {
                step(src, row, static_cast<__mmask32>(last_mask));
                step(src + cell_pitch, row + pitch, static_cast<__mmask32>(last_mask));
            }
            if (gy < y1) {
                step(src, row, static_cast<__mmask32>(last_mask));
            }
            return;
        }
        for (int gy = y0; gy < y1; ++gy, src += cell_pitch, row += pitch) {
            for (int gx = 0; gx < last; gx += kStep) {
                step(src + gx, row + gx * 2, ~__mmask32{0});
            }
            step(src + last, row + last * 2, static_cast<__mmask32>(last_mask));
        }
    } else {
        const __m512i text_words = _mm512_set1_epi32(static_cast<int>(text));
        const __m512i edge_words = _mm512_set1_epi32(static_cast<int>(edge));
        const __m128i one = _mm_set1_epi8(1), two = _mm_set1_epi8(2);
        auto step = [&](const uint8_t* cells, uint8_t* p, __mmask16 mask) VELK_TARGET_512 {
            const __m128i values = _mm_maskz_loadu_epi8(mask, cells);
            const __mmask16 is_text = _mm_cmpeq_epi8_mask(values, one);
            const __mmask16 is_edge = _mm_cmpeq_epi8_mask(values, two);
            _mm512_mask_storeu_epi32(p, is_text | is_edge, _mm512_mask_blend_epi32(is_text, edge_words, text_words));
        };
        for (int gy = y0; gy < y1; ++gy, src += cell_pitch, row += pitch) {
            for (int gx = 0; gx < last; gx += kStep) {
                step(src + gx, row + gx * 4, ~__mmask16{0});
            }
            step(src + last, row + last * 4, static_cast<__mmask16>(last_mask));
        }
    }
}

// Sixteen pixels of anti-aliased cells written over a plain 32-bit image as
// an alpha blit would write them (those outside `mask` read as value 0 and
// stay): by the sixteen levels of one colour, or by inks gathered from all
// 256 (anti-aliased edged cells).
template <LookupForm kForm>
VELK_TARGET_512 inline void PutSixteenOver32(uint8_t* p, const uint8_t* cells, __mmask16 mask, const Ink* inks,
                                             __m512i color) {
    const __m512i values = _mm512_cvtepu8_epi32(_mm_maskz_loadu_epi8(mask, cells));
    const __m512i top = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    if constexpr (kForm == LookupForm::kLevels) {
        // Value 0, and values of 16 or more, put nothing down.
        const __m512i fifteen = _mm512_set1_epi32(15);
        const __mmask16 draw = _mm512_test_epi32_mask(values, values) & _mm512_cmple_epu32_mask(values, fifteen);
        if (draw == 0) {
            return;
        }
        const __mmask16 whole = _mm512_cmpeq_epi32_mask(values, fifteen);
        // (Masked: the step may reach past the image's last pixel.)
        const __m512i d = _mm512_maskz_loadu_epi32(draw, p);
        // As the 256-bit levels form: the weights (16 - v, v) mix byte
        // pairs (d, s), 15 by (0, 16) to the whole ink whose X is 0xFF, and
        // the source's X is otherwise the destination's.
        const __m512i s = _mm512_mask_or_epi32(_mm512_or_si512(color, _mm512_and_si512(d, top)), whole, color, top);
        const __m512i weight =
            _mm512_maskz_mov_epi32(draw, _mm512_mask_add_epi32(values, whole, values, _mm512_set1_epi32(1)));
        const __m512i pairs = _mm512_add_epi16(
            _mm512_mullo_epi16(_mm512_or_si512(weight, _mm512_slli_epi32(weight, 16)), _mm512_set1_epi16(255)),
            _mm512_set1_epi16(16));
        const __m512i lo =
            _mm512_srli_epi16(_mm512_maddubs_epi16(_mm512_unpacklo_epi8(d, s), _mm512_unpacklo_epi32(pairs, pairs)), 4);
        const __m512i hi =
            _mm512_srli_epi16(_mm512_maddubs_epi16(_mm512_unpackhi_epi8(d, s), _mm512_unpackhi_epi32(pairs, pairs)), 4);
        _mm512_mask_storeu_epi32(p, draw, _mm512_packus_epi16(lo, hi));
    } else {
        static_assert(kForm == LookupForm::kGather);
        // Value 0 puts nothing down in every font type: only the others
        // look up their ink, whose top byte is its coverage.
        const __mmask16 any = _mm512_test_epi32_mask(values, values);
        if (any == 0) {
            return;
        }
        const __m512i ink =
            _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), any, values, &inks[0].pixel, sizeof(Ink));
        const __mmask16 draw = _mm512_test_epi32_mask(ink, top);
        const __m512i d = _mm512_maskz_loadu_epi32(draw, p);
        const __m512i zero = _mm512_setzero_si512();
        // Per channel (d x (256 - a) + s x a) >> 8 with X weighted 0 (each
        // ink's coverage spread over its blue, green and red lanes); an
        // opaque ink whole.
        const __m512i low_alpha = _mm512_shuffle_epi8(
            ink, _mm512_broadcast_i32x4(_mm_setr_epi8(3, -1, 3, -1, 3, -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1)));
        const __m512i high_alpha = _mm512_shuffle_epi8(
            ink, _mm512_broadcast_i32x4(_mm_setr_epi8(11, -1, 11, -1, 11, -1, -1, -1, 15, -1, 15, -1, 15, -1, -1, -1)));
        const __m512i full = _mm512_set1_epi16(256);
        auto mix = [full](__m512i d16, __m512i s16, __m512i a16) VELK_TARGET_512 {
            return _mm512_srli_epi16(
                _mm512_add_epi16(_mm512_mullo_epi16(d16, _mm512_sub_epi16(full, a16)), _mm512_mullo_epi16(s16, a16)),
                8);
        };
        const __m512i lo = mix(_mm512_unpacklo_epi8(d, zero), _mm512_unpacklo_epi8(ink, zero), low_alpha);
        const __m512i hi = mix(_mm512_unpackhi_epi8(d, zero), _mm512_unpackhi_epi8(ink, zero), high_alpha);
        const __mmask16 opaque = _mm512_cmpeq_epi32_mask(_mm512_and_si512(ink, top), top);
        _mm512_mask_storeu_epi32(p, draw, _mm512_mask_mov_epi32(_mm512_packus_epi16(lo, hi), opaque, ink));
    }
}

template <LookupForm kForm>
VELK_TARGET_512 void WriteOverBox512(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0,
                                     int x1, int y1, const Ink* inks, const GlyphWriter::Lookup& lookup,
                                     const uint32_t* /*cover_words*/) {
    const ptrdiff_t pitch = dest.base->pitch;
    const uint8_t* src = glyph.pixels + static_cast<ptrdiff_t>(y0) * glyph.pitch + x0;
    uint8_t* row = dest.pixels + (y + y0) * pitch + static_cast<ptrdiff_t>(x + x0) * 4;
    const ptrdiff_t cell_pitch = glyph.pitch;  // (read once: the stores might reach it)
    const int width = x1 - x0;
    const int last = (width - 1) & ~15;
    const auto last_mask = static_cast<__mmask16>(StepMask(last, width, 16));
    const __m512i color = _mm512_set1_epi32(static_cast<int>(lookup.level_color));
    for (int gy = y0; gy < y1; ++gy, src += cell_pitch, row += pitch) {
        for (int gx = 0; gx < last; gx += 16) {
            PutSixteenOver32<kForm>(row + gx * 4, src + gx, 0xFFFF, inks, color);
        }
        PutSixteenOver32<kForm>(row + last * 4, src + last, last_mask, inks, color);
    }
}

// The entries of OverEntry32 for sixteen cell values, in the order the
// mix takes them: pixels 0, 1 of each 128 bits in `low`, 2, 3 in `high`
// (value 0 reads none and comes out 0).
VELK_TARGET_512 inline void GatherEntries32(__m128i cells, const long long* entries, __m512i* low, __m512i* high) {
    const __m512i zero = _mm512_setzero_si512();
    const __m128i ordered =
        _mm_shuffle_epi8(cells, _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15));
    const __m512i index = _mm512_cvtepu8_epi32(ordered);
    const __mmask16 any = _mm_test_epi8_mask(ordered, ordered);
    *low = _mm512_mask_i32gather_epi64(zero, static_cast<__mmask8>(any), _mm512_castsi512_si256(index), entries, 8);
    *high = _mm512_mask_i32gather_epi64(zero, static_cast<__mmask8>(any >> 8), _mm512_extracti64x4_epi64(index, 1),
                                        entries, 8);
}

// Sixteen pixels over a plain 32-bit image by their entries (as
// GatherEntries32 orders them); `d` holds what is there (lanes whose cell
// is 0 stay as they are and are not stored).
VELK_TARGET_512 inline __m512i MixEntriesOver32(__m512i d, __m512i low_entries, __m512i high_entries) {
    const __m512i zero = _mm512_setzero_si512();
    // Each pixel's 256 - a over its blue, green and red words, X weighted 0.
    const __m512i spread =
        _mm512_broadcast_i32x4(_mm_setr_epi8(6, -1, 6, -1, 6, -1, -1, -1, 14, -1, 14, -1, 14, -1, -1, -1));
    auto mix = [spread](__m512i d16, __m512i entry) VELK_TARGET_512 {
        return _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(d16, _mm512_shuffle_epi8(entry, spread)), entry),
                                 8);
    };
    const __m512i lo = mix(_mm512_unpacklo_epi8(d, zero), low_entries);
    const __m512i hi = mix(_mm512_unpackhi_epi8(d, zero), high_entries);
    // packed | (d & 0xFF000000)
    return _mm512_ternarylogic_epi32(_mm512_packus_epi16(lo, hi), d, _mm512_set1_epi32(static_cast<int>(0xFF000000u)),
                                     0xF8);
}

// The entries of a step's sixteen cell values: those recorded for the same
// values at this step of the glyph when there are, gathered (and recorded
// over what the step held) when not; gathered alone without a slot or
// beyond its steps.
VELK_TARGET_512 inline void StepEntries32(__m128i values, const long long* entries, GlyphEntryRecords::Slot* slot,
                                          int step, __m512i* low, __m512i* high) {
    if (slot == nullptr || step >= GlyphEntryRecords::kSteps) {
        GatherEntries32(values, entries, low, high);
        return;
    }
    uint8_t* recorded = slot->entries[step];
    if (_mm_cmpneq_epi8_mask(values, _mm_load_si128(reinterpret_cast<const __m128i*>(slot->cells[step]))) == 0) {
        *low = _mm512_load_si512(recorded);
        *high = _mm512_load_si512(recorded + 64);
        return;
    }
    GatherEntries32(values, entries, low, high);
    _mm512_store_si512(recorded, *low);
    _mm512_store_si512(recorded + 64, *high);
    _mm_store_si128(reinterpret_cast<__m128i*>(slot->cells[step]), values);
}

// Up to sixteen pixels each of kRows rows (sixteen / kRows lanes a row) a
// step: a glyph's last few columns take as many rows in one step as its
// other steps take pixels of one. Row q's lanes read its cells and pixels
// from 16 / kRows x q before where they start, so a step of more than one
// row must not start within the first 16 - 16 / kRows pixels of the
// image's row. `step` counts the glyph's steps for its records.
template <int kRows>
VELK_TARGET_512 inline void PutOverEntries32(uint8_t* p, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                                             __mmask16 row_mask, int rows, const long long* entries,
                                             GlyphEntryRecords::Slot* slot, int step) {
    constexpr int kLanes = 16 / kRows;
    __m128i values = _mm_setzero_si128();
    for (int q = 0; q < kRows; ++q) {
        const auto mask = static_cast<__mmask16>(q < rows ? row_mask << (kLanes * q) : 0);
        values = _mm_mask_loadu_epi8(values, mask, cells + q * cell_pitch - kLanes * q);
    }
    const __mmask16 draw = _mm_test_epi8_mask(values, values);
    if (draw == 0) {
        return;
    }
    constexpr auto kRowLanes = static_cast<__mmask16>((1u << kLanes) - 1);
    __m512i d = _mm512_setzero_si512();
    for (int q = 0; q < kRows; ++q) {
        const auto mask = static_cast<__mmask16>(draw & (kRowLanes << (kLanes * q)));
        d = _mm512_mask_loadu_epi32(d, mask, p + q * pitch - 4 * kLanes * q);
    }
    __m512i low, high;
    StepEntries32(values, entries, slot, step, &low, &high);
    const __m512i out = MixEntriesOver32(d, low, high);
    for (int q = 0; q < kRows; ++q) {
        const auto mask = static_cast<__mmask16>(draw & (kRowLanes << (kLanes * q)));
        _mm512_mask_storeu_epi32(p + q * pitch - 4 * kLanes * q, mask, out);
    }
}

// The records a string's glyphs may use, if any.
GlyphEntryRecords* EntryRecordsFor(const GlyphWriter::Lookup& lookup) {
    return g_entry_records_allowed && lookup.entries_made != 0 ? &ThreadGlyphEntryRecords() : nullptr;
}

VELK_TARGET_512 inline void WriteOverEntriesWith(GlyphEntryRecords* records, const MEMIMG& dest, int x, int y,
                                                 const GlyphCellView& glyph, int x0, int y0, int x1, int y1,
                                                 const GlyphWriter::Lookup& lookup, const uint32_t* cover_words) {
    const auto* entries = reinterpret_cast<const long long*>(cover_words);
    GlyphEntryRecords::Slot* slot = records != nullptr ? records->SlotFor(glyph.pixels, lookup.entries_made) : nullptr;
    const ptrdiff_t pitch = dest.base->pitch;
    const ptrdiff_t cell_pitch = glyph.pitch;  // (read once: the stores might reach it)
    const uint8_t* src = glyph.pixels + static_cast<ptrdiff_t>(y0) * cell_pitch + x0;
    uint8_t* row = dest.pixels + (y + y0) * pitch + static_cast<ptrdiff_t>(x + x0) * 4;
    const int width = x1 - x0;
    const int last = (width - 1) & ~15;  // where a row's last step starts
    const int rest = width - last;
    const auto last_mask = static_cast<__mmask16>(StepMask(last, width, 16));
    // A last step of a few columns after whole ones takes two or four rows
    // (it starts at least sixteen pixels into the box).
    const int rows_a_step = last == 0 || rest > 8 ? 1 : (rest > 4 ? 2 : 4);
    const int height = y1 - y0;
    if (last == 0 && slot != nullptr && height <= GlyphEntryRecords::kSteps) {
        // (Most glyphs: one step a row, each recorded, in a loop without
        // the wider boxes' cases.)
        for (int gy = 0; gy < height; ++gy) {
            PutOverEntries32<1>(row + gy * pitch, pitch, src + gy * cell_pitch, cell_pitch, last_mask, 1, entries, slot,
                                gy);
        }
        return;
    }
    int step = 0;
    for (int gy = 0; gy < height; ++gy) {
        const uint8_t* cells = src + gy * cell_pitch;
        uint8_t* p = row + gy * pitch;
        for (int gx = 0; gx < last; gx += 16) {
            PutOverEntries32<1>(p + gx * 4, pitch, cells + gx, cell_pitch, 0xFFFF, 1, entries, slot, step++);
        }
        if (rows_a_step == 1) {
            PutOverEntries32<1>(p + last * 4, pitch, cells + last, cell_pitch, last_mask, 1, entries, slot, step++);
        }
    }
    const uint8_t* cells = src + last;
    uint8_t* p = row + last * 4;
    if (rows_a_step == 2) {
        for (int gy = 0; gy < height; gy += 2) {
            PutOverEntries32<2>(p + gy * pitch, pitch, cells + gy * cell_pitch, cell_pitch, last_mask, height - gy,
                                entries, slot, step++);
        }
    } else if (rows_a_step == 4) {
        for (int gy = 0; gy < height; gy += 4) {
            PutOverEntries32<4>(p + gy * pitch, pitch, cells + gy * cell_pitch, cell_pitch, last_mask, height - gy,
                                entries, slot, step++);
        }
    }
}

VELK_TARGET_512 void WriteOverEntries32(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0,
                                        int x1, int y1, const Ink* /*inks*/, const GlyphWriter::Lookup& lookup,
                                        const uint32_t* cover_words) {
    WriteOverEntriesWith(EntryRecordsFor(lookup), dest, x, y, glyph, x0, y0, x1, y1, lookup, cover_words);
}

// The line form of WriteOverEntries32: the records found once a line.
VELK_TARGET_512 __attribute__((flatten)) void WriteEntriesLine32(const MEMIMG& dest, const Rect& clip, int x, int y,
                                                                 const GlyphLine& line, const Ink* /*inks*/,
                                                                 const GlyphWriter::Lookup& lookup,
                                                                 const uint32_t* cover_words) {
    GlyphEntryRecords* const records = EntryRecordsFor(lookup);
    ForEachLineBox(clip, x, y, line,
                   [&](int gx, int gy, const GlyphCellView& glyph, int x0, int y0, int x1, int y1) VELK_TARGET_512 {
                       WriteOverEntriesWith(records, dest, gx, gy, glyph, x0, y0, x1, y1, lookup, cover_words);
                   });
}

// d + floor((s - d) x w / 2^shift) per channel of R5G6B5 words, as Mix565
// (|s - d| x w stays inside 16 signed bits).
template <int kShift>
VELK_TARGET_512 inline __m512i Mix565x32(__m512i d, __m512i s, __m512i w) {
    const __m512i six = _mm512_set1_epi16(0x3F), five = _mm512_set1_epi16(0x1F);
    auto mix = [w](__m512i dc, __m512i sc) VELK_TARGET_512 {
        return _mm512_add_epi16(dc, _mm512_srai_epi16(_mm512_mullo_epi16(_mm512_sub_epi16(sc, dc), w), kShift));
    };
    const __m512i red = mix(_mm512_srli_epi16(d, 11), _mm512_srli_epi16(s, 11));
    const __m512i blue = mix(_mm512_and_si512(d, five), _mm512_and_si512(s, five));
    if constexpr (kShift == 4) {
        // Green where it lies, which saves two shifts: (s - d) x 32 x w
        // stays inside 16 signed bits for weights up to 16, and shifted
        // down by 4 it is 32 x (s - d) x w / 16 exactly, whose bits below
        // 32 cleared are 32 x floor((s - d) x w / 16).
        const __m512i field = _mm512_set1_epi16(0x07E0);
        const __m512i dg = _mm512_and_si512(d, field);
        const __m512i step =
            _mm512_srai_epi16(_mm512_mullo_epi16(_mm512_sub_epi16(_mm512_and_si512(s, field), dg), w), 4);
        const __m512i green =
            _mm512_add_epi16(dg, _mm512_and_si512(step, _mm512_set1_epi16(static_cast<int16_t>(0xFFE0))));
        return _mm512_or_si512(_mm512_slli_epi16(red, 11), _mm512_or_si512(green, blue));
    } else {
        const __m512i green =
            mix(_mm512_and_si512(_mm512_srli_epi16(d, 5), six), _mm512_and_si512(_mm512_srli_epi16(s, 5), six));
        return _mm512_or_si512(_mm512_slli_epi16(red, 11), _mm512_or_si512(_mm512_slli_epi16(green, 5), blue));
    }
}

// Thirty-two anti-aliased cells over the 16-bit pixels `d` of a plain image,
// as an alpha blit would write them, by their sixteen levels of one colour
// or by the inks of edged cells. The weights choose, as in the 256-bit
// forms: a whole ink mixes by 16/16 (or 256/256) to itself and a pixel left
// as it is by 0.
template <LookupForm kForm>
VELK_TARGET_512 inline __m512i MixCells16(__m256i cells, __m512i d, __m512i color, const uint32_t* cover_words) {
    const __m512i values = _mm512_cvtepu8_epi16(cells);
    if constexpr (kForm == LookupForm::kLevels) {
        // 15 weighs 16; 0 and values above 15 weigh nothing.
        const __m512i fifteen = _mm512_set1_epi16(15);
        const __mmask32 levels = _mm512_cmple_epu16_mask(values, fifteen);
        const __m512i weight = _mm512_maskz_mov_epi16(
            levels,
            _mm512_mask_add_epi16(values, _mm512_cmpeq_epi16_mask(values, fifteen), values, _mm512_set1_epi16(1)));
        return Mix565x32<4>(d, color, weight);
    } else {
        static_assert(kForm == LookupForm::kGather);
        // Each value's colour word with its coverage above it, for the
        // first sixteen cells and the second.
        const __m512i word_bits = _mm512_set1_epi32(0xFFFF);
        const __m512i first =
            _mm512_i32gather_epi32(_mm512_cvtepu8_epi32(_mm256_castsi256_si128(cells)), cover_words, 4);
        const __m512i second =
            _mm512_i32gather_epi32(_mm512_cvtepu8_epi32(_mm256_extracti128_si256(cells, 1)), cover_words, 4);
        const __m512i ink =
            _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi32_epi16(_mm512_and_si512(first, word_bits))),
                               _mm512_cvtepi32_epi16(_mm512_and_si512(second, word_bits)), 1);
        const __m512i alpha =
            _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi32_epi16(_mm512_srli_epi32(first, 16))),
                               _mm512_cvtepi32_epi16(_mm512_srli_epi32(second, 16)), 1);
        const __m512i weight = _mm512_mask_add_epi16(alpha, _mm512_cmpeq_epi16_mask(alpha, _mm512_set1_epi16(255)),
                                                     alpha, _mm512_set1_epi16(1));
        return Mix565x32<8>(d, ink, weight);
    }
}

// A glyph's last few columns (`mask`, at most 32 / kRows) of kRows rows in
// one step of 32 lanes, row q at lanes 32 / kRows x q. Rows are loaded and
// stored a quarter of the register at a time, each at up to a quarter's
// width before where it starts: the step must start at least 16 pixels
// into the image's row.
template <LookupForm kForm, int kRows>
VELK_TARGET_512 inline void PutLastColumns16(uint8_t* p, ptrdiff_t pitch, const uint8_t* cells, ptrdiff_t cell_pitch,
                                             __mmask16 mask, int rows, __m512i color, const uint32_t* cover_words) {
    constexpr int kLanes = 32 / kRows;
    static_assert(kLanes == 4 || kLanes == 8);
    __m128i cell_parts[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
    for (int q = 0; q < kRows; ++q) {
        const int at = kLanes * q % 16;
        const auto row_mask = static_cast<__mmask16>(q < rows ? mask << at : 0);
        cell_parts[kLanes * q / 16] =
            _mm_mask_loadu_epi8(cell_parts[kLanes * q / 16], row_mask, cells + q * cell_pitch - at);
    }
    const __m256i values = _mm256_inserti128_si256(_mm256_castsi128_si256(cell_parts[0]), cell_parts[1], 1);
    if (_mm256_testz_si256(values, values)) {
        return;
    }
    __m128i parts[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    for (int q = 0; q < kRows; ++q) {
        const int at = kLanes * q % 8;
        const auto row_mask = static_cast<__mmask8>(q < rows ? mask << at : 0);
        parts[kLanes * q / 8] = _mm_mask_loadu_epi16(parts[kLanes * q / 8], row_mask, p + q * pitch - 2 * at);
    }
    __m512i d = _mm512_castsi128_si512(parts[0]);
    d = _mm512_inserti32x4(d, parts[1], 1);
    d = _mm512_inserti32x4(d, parts[2], 2);
    d = _mm512_inserti32x4(d, parts[3], 3);
    const __m512i mixed = MixCells16<kForm>(values, d, color, cover_words);
    const __m128i out[4] = {_mm512_castsi512_si128(mixed), _mm512_extracti32x4_epi32(mixed, 1),
                            _mm512_extracti32x4_epi32(mixed, 2), _mm512_extracti32x4_epi32(mixed, 3)};
    for (int q = 0; q < kRows; ++q) {
        const int at = kLanes * q % 8;
        const auto row_mask = static_cast<__mmask8>(q < rows ? mask << at : 0);
        _mm_mask_storeu_epi16(p + q * pitch - 2 * at, row_mask, out[kLanes * q / 8]);
    }
}

// The columns from `from` on of a glyph box written by PutLastColumns16:
// true when they are few enough (at most eight) and start far enough into
// the box (sixteen).
template <LookupForm kForm>
VELK_TARGET_512 bool WriteLastColumns16(uint8_t* row, ptrdiff_t pitch, const uint8_t* src, ptrdiff_t cell_pitch,
                                        int from, int width, int height, __m512i color, const uint32_t* cover_words) {
    const int count = width - from;
    if (from < 16 || count > 8) {
        return false;
    }
    const auto mask = static_cast<__mmask16>((1u << count) - 1);
    uint8_t* p = row + 2 * static_cast<ptrdiff_t>(from);
    const uint8_t* cells = src + from;
    if (count > 4) {
        for (int gy = 0; gy < height; gy += 4) {
            PutLastColumns16<kForm, 4>(p + gy * pitch, pitch, cells + gy * cell_pitch, cell_pitch, mask, height - gy,
                                       color, cover_words);
        }
    } else {
        for (int gy = 0; gy < height; gy += 8) {
            PutLastColumns16<kForm, 8>(p + gy * pitch, pitch, cells + gy * cell_pitch, cell_pitch, mask, height - gy,
                                       color, cover_words);
        }
    }
    return true;
}

// Anti-aliased cells over a plain 16-bit image (written as an alpha blit
// would write them) by MixCells16, sixteen pixels of two rows a step: one
// register holds both rows, as glyphs of this size are rarely wider than
// sixteen. A few last columns take several rows a step.
template <LookupForm kForm>
VELK_TARGET_512 void WriteOverBox16x512(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0,
                                        int x1, int y1, const Ink* /*inks*/, const GlyphWriter::Lookup& lookup,
                                        const uint32_t* cover_words) {
    const ptrdiff_t pitch = dest.base->pitch;
    const ptrdiff_t cell_pitch = glyph.pitch;
    const __m512i color = _mm512_set1_epi16(static_cast<int16_t>(lookup.level_color));
    const uint8_t* box_cells = glyph.pixels + static_cast<ptrdiff_t>(y0) * cell_pitch + x0;
    uint8_t* box_row = dest.pixels + (y + y0) * pitch + static_cast<ptrdiff_t>(x + x0) * 2;
    const int width = x1 - x0;
    const int last = (width - 1) & ~15;  // where the last step of a row starts
    const bool last_together =
        WriteLastColumns16<kForm>(box_row, pitch, box_cells, cell_pitch, last, width, y1 - y0, color, cover_words);
    const int end = last_together ? last : width;
    for (int gx = 0; gx < end; gx += 16) {
        const auto mask = static_cast<__mmask16>(StepMask(gx, end, 16));
        const uint8_t* src = box_cells + gx;
        uint8_t* row = box_row + static_cast<ptrdiff_t>(gx) * 2;
        for (int gy = y0; gy < y1; gy += 2, src += 2 * cell_pitch, row += 2 * pitch) {
            // The second row's half is empty past the box's last row.
            const __mmask16 next_mask = gy + 1 < y1 ? mask : 0;
            const __m256i cells = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_maskz_loadu_epi8(mask, src)),
                                                          _mm_maskz_loadu_epi8(next_mask, src + cell_pitch), 1);
            if (_mm256_testz_si256(cells, cells)) {
                continue;
            }
            const __m512i d = _mm512_inserti64x4(_mm512_castsi256_si512(_mm256_maskz_loadu_epi16(mask, row)),
                                                 _mm256_maskz_loadu_epi16(next_mask, row + pitch), 1);
            const __m512i mixed = MixCells16<kForm>(cells, d, color, cover_words);
            _mm256_mask_storeu_epi16(row, mask, _mm512_castsi512_si256(mixed));
            _mm256_mask_storeu_epi16(row + pitch, next_mask, _mm512_extracti64x4_epi64(mixed, 1));
        }
    }
}

// Anti-aliased edged cells over a plain 16-bit image by byte permutes of
// the tables after the cover words.
void WriteEdgedOverBox16(const MEMIMG& dest, int x, int y, const GlyphCellView& glyph, int x0, int y0, int x1, int y1,
                         const Ink* /*inks*/, const GlyphWriter::Lookup& lookup, const uint32_t* cover_words) {
    WriteEdgedOver16(dest, x, y, glyph, x0, y0, x1, y1, reinterpret_cast<const uint8_t*>(cover_words + 256),
                     lookup.tables_stamp);
}

template <GlyphWriter::WideBoxWriter kBox>
VELK_TARGET_512 __attribute__((flatten)) void WriteLine512(const MEMIMG& dest, const Rect& clip, int x, int y,
                                                           const GlyphLine& line, const Ink* inks,
                                                           const GlyphWriter::Lookup& lookup,
                                                           const uint32_t* cover_words) {
    WriteLineBoxes<kBox>(dest, clip, x, y, line, inks, lookup, cover_words);
}

template <GlyphWriter::WideBoxWriter kBox>
constexpr BoxForms Forms512() {
    return BoxForms{kBox, &WriteLine512<kBox>};
}

// The 512-bit form for glyph boxes of this kind, font type and inks, or
// none.
BoxForms ChooseBox512(Kind kind, int font_type, const Ink* inks, const GlyphWriter::Lookup& lookup) {
    if (!g_wide_allowed || !g_widest_allowed || !MachineHasAvx512Bw() || font_type == 0) {
        return {};
    }
    // (Into an image written as an alpha blit, a whole ink is stored whole
    // as well.)
    if (lookup.two_inks && inks[1].alpha == 255 && inks[2].alpha == 255 && kind != Kind::k8 && kind != Kind::k16Alpha) {
        return BytesOf(kind) == 2 ? Forms512<&WriteTwoInkBox512<2>>() : Forms512<&WriteTwoInkBox512<4>>();
    }
    if (kind == Kind::k32Over && lookup.gather) {
        if (g_entries_allowed) {
            return BoxForms{&WriteOverEntries32, &WriteEntriesLine32};
        }
        return Forms512<&WriteOverBox512<LookupForm::kGather>>();
    }
    if (kind == Kind::k32Over && lookup.sixteen_levels) {
        return Forms512<&WriteOverBox512<LookupForm::kLevels>>();
    }
    if (kind == Kind::k16Over && font_type == 3) {
        if (g_permutes_allowed && MachineRunsEdgedOver16()) {
            return BoxForms{&WriteEdgedOverBox16, &WriteEdgedLineOver16};
        }
        return Forms512<&WriteOverBox16x512<LookupForm::kGather>>();
    }
    if (kind == Kind::k16Over && lookup.sixteen_levels) {
        if (g_level_pairs_allowed) {
            return BoxForms{&WriteLevelsOver16, &WriteLevelsLineOver16};
        }
        return Forms512<&WriteOverBox16x512<LookupForm::kLevels>>();
    }
    return {};
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

template <Kind kKind>
void WriteTurnedBox(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphCellView& glyph, bool bits,
                    const Ink* inks) {
    constexpr int kBytes = BytesOf(kKind);
    const int pitch = dest.base->pitch;
    for (int gy = 0; gy < glyph.height; ++gy) {
        const int dx = x - gy;
        if (dx < clip.left || dx >= clip.right) {
            continue;
        }
        const uint8_t* src = glyph.pixels + gy * glyph.pitch;
        for (int gx = 0; gx < glyph.width; ++gx) {
            const int dy = y + gx;
            if (dy < clip.top || dy >= clip.bottom) {
                continue;
            }
            const uint8_t value = bits ? (CellBit(src, gx) ? 1 : 0) : src[gx];
            if (value != 0 && inks[value].alpha != 0) {
                Put<kKind>(dest.pixels + static_cast<ptrdiff_t>(dy) * pitch + static_cast<ptrdiff_t>(dx) * kBytes,
                           inks[value]);
            }
        }
    }
}

template <Kind kKind>
void WriteForKind(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphCellView& glyph, bool bits,
                  bool two_inks, const Ink* inks, const GlyphWriter::Lookup& lookup, const uint32_t* cover_words) {
    const int x0 = std::max(0, clip.left - x), y0 = std::max(0, clip.top - y);
    const int x1 = std::min(glyph.width, clip.right - x), y1 = std::min(glyph.height, clip.bottom - y);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    if (bits) {
#if defined(VELK_WIDE_GLYPHS)
        if constexpr (kKind == Kind::k32Over) {
            if (g_wide_allowed && MachineHasAvx2() &&
                WriteBitBoxOver32(dest, x, y, glyph, x0, y0, x1, y1, clip.right - x, inks[1])) {
                return;
            }
        }
#endif
        WriteBitBox<kKind>(dest, x, y, glyph, x0, y0, x1, y1, clip.right - x, inks[1]);
        return;
    }
#if defined(VELK_WIDE_GLYPHS)
    if constexpr (kKind == Kind::k32 || kKind == Kind::k32Alpha || kKind == Kind::k32Over) {
        if (lookup.usable && g_wide_allowed && MachineHasAvx2()) {
            const int room = clip.right - x;
            if (lookup.gather) {
                WriteLookupBox32<kKind, LookupForm::kGather>(dest, x, y, glyph, x0, y0, x1, y1, room, inks, lookup);
            } else if (lookup.two_inks) {
                WriteLookupBox32<kKind, LookupForm::kTwoInks>(dest, x, y, glyph, x0, y0, x1, y1, room, inks, lookup);
            } else if (kKind == Kind::k32Over && lookup.sixteen_levels) {
                WriteLookupBox32<Kind::k32Over, LookupForm::kLevels>(dest, x, y, glyph, x0, y0, x1, y1, room, inks,
                                                                     lookup);
            } else {
                WriteLookupBox32<kKind, LookupForm::kTable>(dest, x, y, glyph, x0, y0, x1, y1, room, inks, lookup);
            }
            return;
        }
    }
    if constexpr (kKind == Kind::k16 || kKind == Kind::k16Over) {
        if (g_wide_allowed && MachineHasAvx2()) {
            const int room = clip.right - x;
            if (kKind == Kind::k16Over && lookup.gather) {
                WriteLookupBox16<Kind::k16Over, LookupForm::kGather>(dest, x, y, glyph, x0, y0, x1, y1, room, inks,
                                                                     lookup, cover_words);
                return;
            }
            if (kKind == Kind::k16Over && lookup.sixteen_levels) {
                WriteLookupBox16<Kind::k16Over, LookupForm::kLevels>(dest, x, y, glyph, x0, y0, x1, y1, room, inks,
                                                                     lookup, nullptr);
                return;
            }
            if (kKind == Kind::k16 && lookup.two_inks) {
                WriteLookupBox16<Kind::k16, LookupForm::kTwoInks>(dest, x, y, glyph, x0, y0, x1, y1, room, inks, lookup,
                                                                  nullptr);
                return;
            }
        }
    }
#endif
    WriteByteBox<kKind>(dest, x, y, glyph, x0, y0, x1, y1, inks, two_inks);
}

template <typename Fn>
void Dispatch(Kind kind, Fn&& fn) {
    switch (kind) {
        case Kind::k8: fn(std::integral_constant<Kind, Kind::k8>{}); break;
        case Kind::k16: fn(std::integral_constant<Kind, Kind::k16>{}); break;
        case Kind::k16Alpha: fn(std::integral_constant<Kind, Kind::k16Alpha>{}); break;
        case Kind::k16Over: fn(std::integral_constant<Kind, Kind::k16Over>{}); break;
        case Kind::k32: fn(std::integral_constant<Kind, Kind::k32>{}); break;
        case Kind::k32Alpha: fn(std::integral_constant<Kind, Kind::k32Alpha>{}); break;
        case Kind::k32Over: fn(std::integral_constant<Kind, Kind::k32Over>{}); break;
    }
}

uint32_t Brighten(Kind kind, uint32_t pixel, int red, int green, int blue) {
    if (kind == Kind::k8 || (red == 255 && green == 255 && blue == 255)) {
        return pixel;
    }
    Channels c = Unpack(kind, pixel);
    c.r = c.r * red / 255;
    c.g = c.g * green / 255;
    c.b = c.b * blue / 255;
    return Pack(kind, c);
}

Kind KindOf(const MemImgBase& base) {
    if (base.format == kMemImgFormat8 || base.use_palette != 0) {
        return Kind::k8;
    }
    if (base.format == kMemImgFormat16) {
        return base.use_alpha != 0 ? Kind::k16Alpha : Kind::k16;
    }
    return base.use_alpha != 0 ? Kind::k32Alpha : Kind::k32;
}

// The 512-bit form for glyph boxes, where there is one and it may be used.
BoxForms WideBoxFor(Kind kind, int font_type, const Ink* inks, const GlyphWriter::Lookup& lookup) {
#if defined(VELK_WIDE_GLYPHS)
    return ChooseBox512(kind, font_type, inks, lookup);
#else
    (void)kind, (void)font_type, (void)inks, (void)lookup;
    return {};
#endif
}

}  // namespace

void UseWideGlyphWriter(bool allowed) {
#if defined(VELK_WIDE_GLYPHS)
    g_wide_allowed = allowed;
#else
    (void)allowed;
#endif
}

void UseWidestGlyphWriter(bool allowed) {
#if defined(VELK_WIDE_GLYPHS)
    g_widest_allowed = allowed;
#else
    (void)allowed;
#endif
}

void UseGlyphMixEntries(bool allowed) {
#if defined(VELK_WIDE_GLYPHS)
    g_entries_allowed = allowed;
#else
    (void)allowed;
#endif
}

void UseGlyphEntryRecords(bool allowed) {
#if defined(VELK_WIDE_GLYPHS)
    g_entry_records_allowed = allowed;
#else
    (void)allowed;
#endif
}

void UseGlyphInkPermutes(bool allowed) {
#if defined(VELK_WIDE_GLYPHS)
    g_permutes_allowed = allowed;
#else
    (void)allowed;
#endif
}

void UseGlyphLevelPairs(bool allowed) {
#if defined(VELK_WIDE_GLYPHS)
    g_level_pairs_allowed = allowed;
#else
    (void)allowed;
#endif
}

uint32_t BrightenedPixel(const MEMIMG& image, uint32_t pixel, int bright_red, int bright_green, int bright_blue) {
    const Kind kind = KindOf(*image.base);
    if (kind == Kind::k8) {
        return pixel & 0xFF;
    }
    return Pack(kind, Unpack(kind, Brighten(kind, pixel, bright_red, bright_green, bright_blue)));
}

bool GlyphWriter::Begin(const MEMIMG& dest, int font_type, uint32_t text_color, uint32_t edge_color, int bright_red,
                        int bright_green, int bright_blue, bool as_alpha_blit, int blit_weight) {
    wide_box_ = nullptr;
    wide_line_ = nullptr;
    if (CheckValidMemImg(&dest) == 0) {
        return false;
    }
    const MemImgBase& base = *dest.base;
    if (base.format == kMemImgFormatDepth) {
        return false;
    }
    kind_ = KindOf(base);
    if (as_alpha_blit) {
        if (kind_ != Kind::k32 && kind_ != Kind::k16) {
            return false;
        }
        kind_ = kind_ == Kind::k32 ? Kind::k32Over : Kind::k16Over;
    }
    font_type_ = font_type & (kFontTypeEdge | kFontTypeAntiAlias);
    if (blit_weight < 255 && (kind_ != Kind::k32Over || (font_type_ & kFontTypeAntiAlias) != 0)) {
        return false;
    }
    blit_weight = std::clamp(blit_weight, 0, 255);
    const uint32_t unused = kind_ == Kind::k32 && base.color_data != nullptr ? base.color_data->no_use_mask : 0;
    const InkKey key{kind_,      font_type_,   text_color,  edge_color, unused,
                     bright_red, bright_green, bright_blue, blit_weight};
    // Strings are mostly drawn in the colours of the one before: a writer
    // kept from string to string keeps its inks, and the inks made last
    // are kept whole for other writers (all 256 of anti-aliased edged cells
    // cost more to make than a short string takes to draw).
    struct MadeInks {
        bool valid = false;
        InkKey key{};
        int inks_set = 0;
        std::array<Ink, 256> inks{};
        Lookup lookup{};
        std::array<uint32_t, 512> cover_words{};
    };
    thread_local MadeInks made;
    if (inks_made_ && inks_made_for_ == key) {
        // (Its own inks.)
    } else if (made.valid && made.key == key) {
        // Inks beyond both counts hold nothing on either side: only those
        // below are copied (a string of 16 inks copies 16, not 256).
        const int count = std::max(made.inks_set, inks_set_);
        std::copy_n(made.inks.begin(), count, inks_.begin());
        inks_set_ = made.inks_set;
        lookup_ = made.lookup;
        if (UsesCoverWords()) {
            cover_words_ = made.cover_words;
        }
    } else {
        MakeInks(text_color, edge_color, unused, bright_red, bright_green, bright_blue, blit_weight);
        made.valid = true;
        made.key = key;
        std::copy_n(inks_.begin(), std::max(made.inks_set, inks_set_), made.inks.begin());
        made.inks_set = inks_set_;
        made.lookup = lookup_;
        if (UsesCoverWords()) {
            made.cover_words = cover_words_;
        }
    }
    inks_made_ = true;
    inks_made_for_ = key;
    const BoxForms forms = WideBoxFor(kind_, font_type_, inks_.data(), lookup_);
    wide_box_ = forms.box;
    wide_line_ = forms.line;
    return true;
}

void GlyphWriter::MakeInks(uint32_t text_color, uint32_t edge_color, uint32_t unused, int bright_red, int bright_green,
                           int bright_blue, int blit_weight) {
    const Channels text = Unpack(kind_, Brighten(kind_, text_color, bright_red, bright_green, bright_blue));
    const Channels edge = Unpack(kind_, Brighten(kind_, edge_color, bright_red, bright_green, bright_blue));
    // Cells of each type hold values below this.
    const int values = font_type_ == 3 ? 256 : (font_type_ == 2 ? 16 : 3);
    // Values beyond them put nothing down (what an earlier string set is
    // cleared).
    for (int v = values; v < inks_set_; ++v) {
        inks_[static_cast<size_t>(v)] = Ink{};
    }
    inks_set_ = values;
    for (int v = 0; v < values; ++v) {
        inks_[static_cast<size_t>(v)] = Ink{};
        const Coverage& cover = CoverageTable(font_type_, v);
        if (cover.alpha == 0) {
            continue;
        }
        Ink& ink = inks_[static_cast<size_t>(v)];
        // (Whole inks only: a weight below 255 is the mode-1 blit's.)
        const int alpha = cover.alpha == 255 ? blit_weight : cover.alpha;
        ink.alpha = static_cast<uint8_t>(alpha);
        if (kind_ == Kind::k8) {
            ink.alpha = cover.alpha >= 128 ? 255 : 0;
            ink.pixel = (cover.text_weight >= 128 ? text_color : edge_color) & 0xFF;
            continue;
        }
        const int w = cover.text_weight;
        const Channels mixed{edge.r + (text.r - edge.r) * w / 256, edge.g + (text.g - edge.g) * w / 256,
                             edge.b + (text.b - edge.b) * w / 256};
        ink.pixel = Pack(kind_, mixed);
        if (kind_ == Kind::k32Alpha || kind_ == Kind::k32Over) {
            ink.pixel |= static_cast<uint32_t>(alpha) << 24;
        } else if (kind_ == Kind::k32) {
            ink.pixel |= unused;
        }
    }
    // Bit cells have their own writer; the 256 values of anti-aliased edged
    // cells are gathered from the inks, whose top byte is then the coverage.
    lookup_ = Lookup{};
    const bool coverage_on_top = kind_ == Kind::k32Alpha || kind_ == Kind::k32Over;
    lookup_.usable = font_type_ == 1 || font_type_ == 2 || (font_type_ == 3 && coverage_on_top);
    lookup_.gather = font_type_ == 3;
    lookup_.two_inks = font_type_ == 1;
    // Anti-aliased text over a plain image: the levels form, when the inks
    // are what it assumes.
    if ((kind_ == Kind::k32Over || kind_ == Kind::k16Over) && font_type_ == 2) {
        const uint32_t color = inks_[15].pixel & 0x00FFFFFFu;
        bool levels = inks_[0].alpha == 0 && inks_[15].alpha == 255;
        for (int v = 1; v < 15; ++v) {
            const Ink& ink = inks_[static_cast<size_t>(v)];
            levels = levels && ink.alpha == 16 * v && (ink.pixel & 0x00FFFFFFu) == color;
        }
        lookup_.sixteen_levels = levels;
        lookup_.level_color = color;
    }
    if (UsesCoverWords() && kind_ == Kind::k32Over) {
        lookup_.entries_made = NewEntriesMaking();
        for (size_t v = 0; v < 256; ++v) {
            const uint64_t entry = OverEntry32(inks_[v]);
            cover_words_[2 * v] = static_cast<uint32_t>(entry);
            cover_words_[2 * v + 1] = static_cast<uint32_t>(entry >> 32);
        }
    } else if (UsesCoverWords()) {
        static_assert(sizeof(uint32_t) * (512 - 256) == kEdgedOver16TableBytes);
        for (size_t v = 0; v < 256; ++v) {
            cover_words_[v] = (inks_[v].pixel & 0xFFFFu) | (static_cast<uint32_t>(inks_[v].alpha) << 16);
        }
        lookup_.tables_stamp =
            MakeEdgedOver16Tables(inks_.data(), reinterpret_cast<uint8_t*>(cover_words_.data() + 256));
    }
    for (int v = 0; v < 16; ++v) {
        const Ink& ink = inks_[static_cast<size_t>(v)];
        lookup_.pixels[static_cast<size_t>(v)] = ink.pixel;
        if (ink.alpha != 0) {
            lookup_.keep_bits &= ~(1u << v);
        }
        // Without alpha, a part coverage mixes with what is there.
        if (ink.alpha != 0 && ink.alpha != 255 && kind_ != Kind::k32Alpha && kind_ != Kind::k32Over &&
            kind_ != Kind::k16Over) {
            lookup_.usable = false;
        }
    }
}

void GlyphWriter::WriteWithoutWideBox(const MEMIMG& dest, const Rect& clip, int x, int y,
                                      const GlyphCellView& glyph) const {
    const bool bits = font_type_ == 0;
    // Edged glyphs without anti-aliasing draw two whole inks.
    const bool two_inks = font_type_ == kFontTypeEdge;
    Dispatch(kind_, [&](auto kind) {
        WriteForKind<decltype(kind)::value>(dest, clip, x, y, glyph, bits, two_inks, inks_.data(), lookup_,
                                            cover_words_.data());
    });
}

void GlyphWriter::WriteLine(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphLine& line) const {
    if (wide_line_ != nullptr) {
        wide_line_(dest, clip, x, y, line, inks_.data(), lookup_, cover_words_.data());
        return;
    }
    // (The kind chosen once a line, not a glyph.)
    const bool bits = font_type_ == 0;
    const bool two_inks = font_type_ == kFontTypeEdge;
    Dispatch(kind_, [&](auto kind) {
        for (size_t i = 0; i < line.count; ++i) {
            const PlacedGlyph& placed = line.glyphs[i];
            const GlyphCellView glyph{line.cells + placed.cell * line.cell_bytes, line.pitch, placed.width,
                                      placed.height};
            WriteForKind<decltype(kind)::value>(dest, clip, x + placed.along, y + placed.top, glyph, bits, two_inks,
                                                inks_.data(), lookup_, cover_words_.data());
        }
    });
}

void GlyphWriter::WriteTurned(const MEMIMG& dest, const Rect& clip, int x, int y, const GlyphCellView& glyph) const {
    const bool bits = font_type_ == 0;
    Dispatch(kind_,
             [&](auto kind) { WriteTurnedBox<decltype(kind)::value>(dest, clip, x, y, glyph, bits, inks_.data()); });
}

}  // namespace velk
