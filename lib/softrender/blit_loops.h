#pragma once
// The general image-blit loops, generated from one pixel rule over every
// variant axis: pixel format, source kind, blend mode, blend image, draw bright,
// transparency, sampling (plain or scaled) and the 16-bit alpha rule. Each
// combination is its own straight loop; per pixel only the transparency test
// and the alpha 0 and 255 tests remain. Included by one .cpp per format.

#include <type_traits>

#include "lib/softrender/blit_job.h"

namespace velk {

namespace blit_loops {

template <bool kValue>
using Bool = std::integral_constant<bool, kValue>;

// One destination pixel from one source pixel (and blend-image byte).
template <class Format, SourceKind kKind, int kMode, bool kBlend, bool kBright, bool kTrans, Alpha16Rule kRule>
inline void BlitPixel(uint8_t* dp, const uint8_t* sp, const uint8_t* bp, const BlitJob& job) {
    uint32_t raw;
    uint32_t color;
    uint32_t alpha = 255;
    if constexpr (kKind == SourceKind::kPaletted) {
        raw = *sp;
        color = job.palette[raw];
    } else {
        raw = LoadPixel<Format>(sp);
        color = raw;
        if constexpr (kKind == SourceKind::kDirectAlpha) {
            alpha = Format::kIs16Bit ? sp[2] : raw >> 24;
        }
    }
    if constexpr (kTrans) {
        if constexpr (kKind == SourceKind::kDirectAlpha) {
            if (alpha == 0) {
                return;
            }
        } else if (raw == job.trans_color) {
            return;
        }
    }
    const Channels s = PrepareSource<Format, kMode, kBright>(Format::Unpack(color), job.bright);
    const uint32_t graph = kBlend ? BlendGraphTransitionTable[*bp] : 1;
    constexpr int kGraphWeights = kBlend ? 1 : 0;

    // The pixel with the weights that take part: the blend-graph weight, and
    // the source alpha unless the transparency flag makes an alpha of 255
    // count as opaque.
    auto apply = [&](auto weights_tag, uint32_t k) {
        constexpr int kWeights = decltype(weights_tag)::value;
        if constexpr (kMode == kBlendModePlain && kWeights == 0) {
            if constexpr (kBright) {
                const uint32_t d = LoadPixel<Format>(dp);
                StorePixel<Format>(dp, (d & ~Format::kColorMask) | Format::Pack(s));
            } else {
                // The whole source word: X or alpha byte, palette entry's
                // fourth byte included.
                StorePixel<Format>(dp, color);
            }
        } else {
            StorePixel<Format>(dp, BlendPixel<Format, kMode, kWeights, kRule>(LoadPixel<Format>(dp), s, k, job.param));
        }
    };
    if constexpr (kKind == SourceKind::kDirectAlpha) {
        if (kTrans && alpha == 255) {
            apply(std::integral_constant<int, kGraphWeights>{}, graph);
        } else {
            apply(std::integral_constant<int, kGraphWeights + 1>{}, graph * alpha);
        }
    } else {
        apply(std::integral_constant<int, kGraphWeights>{}, graph);
    }
}

// A row's pixels from column `x` to its end by the rule above: the vector
// forms' last pixels of a row, those that do not fill a step. The bound is
// read from the job on every pixel, as the stores might reach it, so the
// compiler leaves these few pixels a plain loop rather than vector code of
// its own beside the caller's (which made the callers' own loops slower).
template <class Format, SourceKind kKind, int kMode, bool kBlend, bool kTrans, Alpha16Rule kRule>
inline void BlitRestOfRow(uint8_t* dp, const uint8_t* sp, const uint8_t* bp, int x, const BlitJob& job) {
    for (; x < job.width; ++x, dp += PixelBytes<Format>(), sp += SourceBytes<Format, kKind>()) {
        BlitPixel<Format, kKind, kMode, kBlend, false, kTrans, kRule>(dp, sp, bp, job);
        if constexpr (kBlend) {
            ++bp;
        }
    }
}

template <class Format, SourceKind kKind, int kMode, bool kBlend, bool kBright, bool kTrans, bool kScaled,
          Alpha16Rule kRule>
void BlitLoop(const BlitJob& job) {
    constexpr int kSrcBytes = SourceBytes<Format, kKind>();
    constexpr int kDstBytes = PixelBytes<Format>();
    for (int y = 0; y < job.height; ++y) {
        uint8_t* dp = job.dst + job.dst_pitch * y;
        const ptrdiff_t source_row = kScaled ? job.rows[y] : y;
        const uint8_t* srow = job.src + job.src_pitch * source_row;
        const uint8_t* brow = kBlend ? job.blend + job.blend_pitch * source_row : nullptr;
        for (int x = 0; x < job.width; ++x, dp += kDstBytes) {
            const ptrdiff_t column = kScaled ? job.columns[x] : x;
            BlitPixel<Format, kKind, kMode, kBlend, kBright, kTrans, kRule>(dp, srow + column * kSrcBytes,
                                                                           kBlend ? brow + column : nullptr, job);
        }
    }
}

template <class F>
void WithBool(bool value, F&& f) {
    if (value) {
        f(Bool<true>{});
    } else {
        f(Bool<false>{});
    }
}

template <class F>
void WithKind(SourceKind kind, F&& f) {
    switch (kind) {
        case SourceKind::kDirect: f(std::integral_constant<SourceKind, SourceKind::kDirect>{}); break;
        case SourceKind::kDirectAlpha: f(std::integral_constant<SourceKind, SourceKind::kDirectAlpha>{}); break;
        case SourceKind::kPaletted: f(std::integral_constant<SourceKind, SourceKind::kPaletted>{}); break;
    }
}

template <class F>
void WithMode(int mode, F&& f) {
    switch (mode) {
        case kBlendModePlain: f(std::integral_constant<int, kBlendModePlain>{}); break;
        case kBlendModeAlpha: f(std::integral_constant<int, kBlendModeAlpha>{}); break;
        case kBlendModeAdd: f(std::integral_constant<int, kBlendModeAdd>{}); break;
        case kBlendModeSubtract: f(std::integral_constant<int, kBlendModeSubtract>{}); break;
        case kBlendModeMultiply: f(std::integral_constant<int, kBlendModeMultiply>{}); break;
        case kBlendModeInvertedAlpha: f(std::integral_constant<int, kBlendModeInvertedAlpha>{}); break;
        case kBlendModeMultiplyAlpha: f(std::integral_constant<int, kBlendModeMultiplyAlpha>{}); break;
        default: break;
    }
}

template <class F>
void WithRule(Alpha16Rule rule, F&& f) {
    switch (rule) {
        case Alpha16Rule::kMixAlpha16: f(std::integral_constant<Alpha16Rule, Alpha16Rule::kMixAlpha16>{}); break;
        case Alpha16Rule::kLerpTable6: f(std::integral_constant<Alpha16Rule, Alpha16Rule::kLerpTable6>{}); break;
        case Alpha16Rule::kHalving: f(std::integral_constant<Alpha16Rule, Alpha16Rule::kHalving>{}); break;
    }
}

// The weighted forms of the 32-bit vector loops: mode 0 or 1 weighted by the
// blend graph, the source alpha or both, except mode 1 with both, whose
// three-factor weight goes beyond 16 bits. For such a job runs
// f.template operator()<kAlpha, kGraph, kMode, kTrans>() and returns true.
template <class F>
bool RunWeightedForm(const BlitJob& job, F&& f) {
    const bool alpha = job.kind == SourceKind::kDirectAlpha;
    const bool graph = job.blend != nullptr;
    if (job.kind == SourceKind::kPaletted || (job.mode != kBlendModePlain && job.mode != kBlendModeAlpha) ||
        !(alpha || graph) || (alpha && graph && job.mode == kBlendModeAlpha)) {
        return false;
    }
    WithBool(alpha, [&](auto alpha_tag) {
        WithBool(graph, [&](auto graph_tag) {
            WithBool(job.trans, [&](auto trans_tag) {
                constexpr bool kAlpha = decltype(alpha_tag)::value;
                constexpr bool kGraph = decltype(graph_tag)::value;
                constexpr bool kTrans = decltype(trans_tag)::value;
                if constexpr (kAlpha || kGraph) {
                    if (job.mode == kBlendModePlain) {
                        f.template operator()<kAlpha, kGraph, kBlendModePlain, kTrans>();
                    } else {
                        f.template operator()<kAlpha, kGraph, kBlendModeAlpha, kTrans>();
                    }
                }
            });
        });
    });
    return true;
}

// The vector forms of a source with alpha in add, subtract or multiply,
// unweighted otherwise (no blend graph): for such a job runs
// f.template operator()<kMode, kTrans, kFullParam>() and returns true.
// kFullParam: add or subtract at P = 255, where the forms leave out the
// scaling by P.
template <class F>
bool RunAlphaSourceBlendForm(const BlitJob& job, F&& f) {
    if (job.kind != SourceKind::kDirectAlpha || job.blend != nullptr ||
        (job.mode != kBlendModeAdd && job.mode != kBlendModeSubtract && job.mode != kBlendModeMultiply)) {
        return false;
    }
    WithBool(job.trans, [&](auto trans_tag) {
        constexpr bool kTrans = decltype(trans_tag)::value;
        if (job.mode == kBlendModeMultiply) {
            f.template operator()<kBlendModeMultiply, kTrans, false>();
            return;
        }
        WithBool(job.param.value == 255, [&](auto full_tag) {
            constexpr bool kFull = decltype(full_tag)::value;
            if (job.mode == kBlendModeAdd) {
                f.template operator()<kBlendModeAdd, kTrans, kFull>();
            } else {
                f.template operator()<kBlendModeSubtract, kTrans, kFull>();
            }
        });
    });
    return true;
}

}  // namespace blit_loops

template <class Format>
void RunBlitJob(const BlitJob& job) {
    using namespace blit_loops;
    if (job.width <= 0 || job.height <= 0) {
        return;
    }
    if (RunFastBlitJob<Format>(job)) {
        return;
    }
    WithKind(job.kind, [&](auto kind) {
        WithMode(job.mode, [&](auto mode) {
            WithBool(job.blend != nullptr, [&](auto blend) {
                WithBool(!job.bright_white, [&](auto bright) {
                    WithBool(job.trans, [&](auto trans) {
                        WithBool(job.columns != nullptr, [&](auto scaled) {
                            constexpr SourceKind kKind = decltype(kind)::value;
                            constexpr int kMode = decltype(mode)::value;
                            constexpr bool kBlend = decltype(blend)::value;
                            constexpr bool kBright = decltype(bright)::value;
                            constexpr bool kTrans = decltype(trans)::value;
                            constexpr bool kScaled = decltype(scaled)::value;
                            // Only 16-bit alpha by P alone has a choice of rule.
                            constexpr bool kRuleMatters = Format::kIs16Bit && kMode == kBlendModeAlpha && !kBlend &&
                                                          !kBright && kKind != SourceKind::kDirectAlpha;
                            if constexpr (kRuleMatters) {
                                WithRule(job.alpha16, [&](auto rule) {
                                    BlitLoop<Format, kKind, kMode, kBlend, kBright, kTrans, kScaled,
                                             decltype(rule)::value>(job);
                                });
                            } else {
                                BlitLoop<Format, kKind, kMode, kBlend, kBright, kTrans, kScaled,
                                         Alpha16Rule::kMixAlpha16>(job);
                            }
                        });
                    });
                });
            });
        });
    });
}

}  // namespace velk
