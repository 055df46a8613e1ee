#include "lib/core/files/archive_decoder.h"

#include <cstring>
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "lib/core/files/archive_decoder_wide.h"
#include "lib/core/files/archive_format.h"
#include "tools/archive/archive_encoder.h"

namespace velk {
namespace {

using tools::EncodeArchiveData;

// The decoding rule written out plainly, byte by byte, to hold the fast
// decoder against.
std::optional<std::vector<uint8_t>> ReferenceDecode(const std::vector<uint8_t>& source) {
    if (source.size() < 9) {
        return std::nullopt;
    }
    const uint32_t total = source[4] | (source[5] << 8) | (source[6] << 16) | (source[7] << 24);
    const uint8_t marker = source[8];
    if (total < 9 || total > source.size()) {
        return std::nullopt;
    }
    std::vector<uint8_t> out;
    size_t i = 9;
    while (i < total) {
        const uint8_t byte = source[i++];
        if (byte != marker) {
            out.push_back(byte);
            continue;
        }
        if (i >= total) {
            return std::nullopt;
        }
        uint8_t code = source[i++];
        if (code == marker) {
            out.push_back(marker);
            continue;
        }
        if (code > marker) {
            --code;
        }
        size_t length = code >> 3;
        if (code & 4) {
            if (i >= total) {
                return std::nullopt;
            }
            length |= static_cast<size_t>(source[i++]) << 5;
        }
        length += 4;
        const size_t bytes = (code & 3) + 1;
        if (bytes == 4 || i + bytes > total) {
            return std::nullopt;
        }
        size_t distance = 0;
        for (size_t b = 0; b < bytes; ++b) {
            distance |= static_cast<size_t>(source[i++]) << (8 * b);
        }
        distance += 1;
        if (distance > out.size()) {
            return std::nullopt;
        }
        for (size_t n = 0; n < length; ++n) {
            out.push_back(out[out.size() - distance]);
        }
    }
    return out;
}

std::optional<std::vector<uint8_t>> Decode(const std::vector<uint8_t>& source) {
    const auto head = ReadArchiveDataHead(source);
    if (!head) {
        return std::nullopt;
    }
    std::vector<uint8_t> out(head->decoded_size);
    if (!DecodeArchiveData(source, out)) {
        return std::nullopt;
    }
    return out;
}

// The same through the piecewise decoder, the stream fed in pieces of the
// given sizes (cycled) as the reader feeds what it reads from the archive:
// what a piece leaves is carried to the front of the next.
std::optional<std::vector<uint8_t>> DecodeInPieces(const std::vector<uint8_t>& source,
                                                   const std::vector<size_t>& sizes) {
    const auto head = ReadArchiveDataHead(source);
    if (!head) {
        return std::nullopt;
    }
    std::vector<uint8_t> out(head->decoded_size);
    ArchiveDataDecoder decoder(head->marker, out);
    std::vector<uint8_t> piece;
    size_t at = kArchiveDataHeadSize;
    for (size_t i = 0;; ++i) {
        const size_t wanted = std::min<size_t>(sizes[i % sizes.size()], head->total_size - at);
        piece.insert(piece.end(), source.begin() + at, source.begin() + at + wanted);
        at += wanted;
        const bool last = at == head->total_size;
        const auto taken = decoder.Decode(piece, last);
        if (!taken) {
            return std::nullopt;
        }
        EXPECT_LT(piece.size() - *taken, last ? 1 : kArchiveDecodeCarry);
        if (last) {
            break;
        }
        piece.erase(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(*taken));
    }
    if (!decoder.full()) {
        return std::nullopt;
    }
    return out;
}

// What the decoder must give for a stream: the reference's bytes when they
// are exactly the head's decoded size, else a refusal.
std::optional<std::vector<uint8_t>> Expected(const std::vector<uint8_t>& source) {
    const auto head = ReadArchiveDataHead(source);
    auto decoded = ReferenceDecode(source);
    if (!head || !decoded || decoded->size() != head->decoded_size) {
        return std::nullopt;
    }
    return decoded;
}

std::vector<uint8_t> Head(uint32_t decoded, uint8_t marker, std::vector<uint8_t> codes) {
    std::vector<uint8_t> data(9);
    const uint32_t total = static_cast<uint32_t>(9 + codes.size());
    for (int i = 0; i < 4; ++i) {
        data[i] = static_cast<uint8_t>(decoded >> (8 * i));
        data[4 + i] = static_cast<uint8_t>(total >> (8 * i));
    }
    data[8] = marker;
    data.insert(data.end(), codes.begin(), codes.end());
    return data;
}

void ExpectRoundTrip(const std::vector<uint8_t>& data) {
    const auto coded = EncodeArchiveData(data);
    const auto decoded = Decode(coded);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_TRUE(*decoded == data);
    EXPECT_EQ(ReferenceDecode(coded), data);
    EXPECT_TRUE(DecodeInPieces(coded, {1, 7, 4096, 3, 100}) == data);
}

// Runs `check` with the general decoder alone and, where the machine has
// it, with the wide run as well.
void WithEachDecoderForm(const std::function<void()>& check) {
    UseWideArchiveRun(false);
    {
        SCOPED_TRACE("general loop");
        check();
    }
    UseWideArchiveRun(true);
    if (WideArchiveRunAvailable()) {
        SCOPED_TRACE("wide run");
        check();
    }
}

// A back-reference code, its distance written in `distance_bytes` bytes
// (more than it needs, if asked: the format allows it).
void PushCode(std::vector<uint8_t>& codes, uint8_t marker, size_t length, size_t distance, size_t distance_bytes) {
    const size_t extra = length - 4;
    uint32_t code = ((extra & 31) << 3) | (extra >= 32 ? 4 : 0) | static_cast<uint32_t>(distance_bytes - 1);
    if (code >= marker) {
        ++code;
    }
    codes.push_back(marker);
    codes.push_back(static_cast<uint8_t>(code));
    if (extra >= 32) {
        codes.push_back(static_cast<uint8_t>(extra >> 5));
    }
    for (size_t i = 0; i < distance_bytes; ++i) {
        codes.push_back(static_cast<uint8_t>((distance - 1) >> (8 * i)));
    }
}

size_t DistanceBytes(size_t distance) { return distance - 1 < 256 ? 1 : distance - 1 < 65536 ? 2 : 3; }

// Literal bytes other than the marker.
void PushLiterals(std::vector<uint8_t>& codes, size_t count, uint8_t marker, std::mt19937& random) {
    for (size_t i = 0; i < count; ++i) {
        uint8_t b = static_cast<uint8_t>(random());
        codes.push_back(b == marker ? static_cast<uint8_t>(b + 1) : b);
    }
}

TEST(ArchiveCoding, RoundTripsTextNoiseRunsAndMarkers) {
    std::mt19937 random(7);
    std::vector<uint8_t> noise(20000);
    for (auto& b : noise) {
        b = static_cast<uint8_t>(random());
    }
    ExpectRoundTrip(noise);
    ExpectRoundTrip({});
    ExpectRoundTrip({42});
    // Every byte value equally often: the marker occurs in the data.
    std::vector<uint8_t> all;
    for (int r = 0; r < 40; ++r) {
        for (int b = 0; b < 256; ++b) {
            all.push_back(static_cast<uint8_t>(b));
        }
    }
    ExpectRoundTrip(all);
    // Runs longer than the longest match, and a repeat far back.
    std::vector<uint8_t> runs(30000, 'x');
    runs.insert(runs.end(), noise.begin(), noise.begin() + 5000);
    runs.insert(runs.end(), 20000, 'y');
    runs.insert(runs.end(), noise.begin(), noise.begin() + 5000);
    ExpectRoundTrip(runs);
    const auto coded = EncodeArchiveData(runs);
    EXPECT_LT(coded.size(), runs.size() / 4);
}

TEST(ArchiveCoding, MarkerCodeAndOverlappingCopies) {
    // Marker 0x10: "a", a literal marker, then a copy of 7 at distance 1
    // (repeating the marker), then a copy of 40 at distance 2 with the
    // extra length byte. Codes at or above the marker are written one higher.
    const uint8_t m = 0x10;
    const uint8_t copy7_d1 = ((7 - 4) << 3) | 0;               // 0x18 >= m -> 0x19
    const uint8_t copy40_d2 = (((40 - 4) & 31) << 3) | 4 | 0;  // 0x24 -> 0x25
    const auto coded =
        Head(1 + 1 + 7 + 40, m,
             {'a', m, m, m, static_cast<uint8_t>(copy7_d1 + 1), 0, m, static_cast<uint8_t>(copy40_d2 + 1), 1, 1});
    const auto decoded = Decode(coded);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, ReferenceDecode(coded));
    EXPECT_EQ((*decoded)[1], m);
    EXPECT_EQ((*decoded)[8], m);
    EXPECT_EQ((*decoded)[9], m) << "distance 2 repeats marker, marker";
    // A code below the marker is taken as it is.
    const auto low = Head(5, 0xF0, {'q', 0xF0, 0x00, 0x00});
    EXPECT_EQ(Decode(low), std::vector<uint8_t>(5, 'q'));
}

TEST(ArchiveCoding, DamagedStreamsAreRefused) {
    const uint8_t m = 0x10;
    // Distance beyond what was written.
    EXPECT_FALSE(Decode(Head(6, m, {'a', 'b', m, 0x00, 0x02})).has_value());
    EXPECT_FALSE(DecodeInPieces(Head(6, m, {'a', 'b', m, 0x00, 0x02}), {3})) << "nor in pieces";
    EXPECT_FALSE(DecodeInPieces(Head(6, m, {'a', 'b', m, 0x00}), {1})) << "cut inside a code";
    // A copy longer than the space left.
    EXPECT_FALSE(Decode(Head(5, m, {'a', 'b', m, 0x00, 0x00})).has_value());
    // Stream ends inside a code, or after a lone marker.
    EXPECT_FALSE(Decode(Head(3, m, {'a', m})).has_value());
    EXPECT_FALSE(Decode(Head(6, m, {'a', 'b', m, 0x04})).has_value()) << "missing length byte";
    // Distance size code 3 does not exist.
    EXPECT_FALSE(Decode(Head(6, m, {'a', 'b', m, 0x03, 0, 0, 0, 0})).has_value());
    // Output shorter or longer than the head says.
    EXPECT_FALSE(Decode(Head(3, m, {'a', 'b'})).has_value());
    EXPECT_FALSE(Decode(Head(1, m, {'a', 'b'})).has_value());
    // A whole size beyond the source, or below the head.
    auto cut = Head(2, m, {'a', 'b'});
    cut.pop_back();
    EXPECT_FALSE(ReadArchiveDataHead(cut).has_value());
    auto tiny = Head(0, m, {});
    tiny[4] = 3;
    EXPECT_FALSE(ReadArchiveDataHead(tiny).has_value());
    // The destination must be exactly the head's size.
    const auto good = Head(2, m, {'a', 'b'});
    std::vector<uint8_t> wrong(3);
    EXPECT_FALSE(DecodeArchiveData(good, wrong));
}

TEST(ArchiveCoding, ADistanceReachesToTheStartAndNoFurther) {
    // 100 literals, a copy of 4 reaching back `distance`, then `tail`
    // literals: with a long tail the copy is taken by the fast loop, with a
    // short one by the careful loop at the end.
    const uint8_t m = 0xFF;
    for (const size_t tail : {size_t{0}, size_t{3}, size_t{100}}) {
        for (const size_t distance : {size_t{100}, size_t{101}}) {
            SCOPED_TRACE(::testing::Message() << "tail " << tail << " distance " << distance);
            std::vector<uint8_t> codes;
            for (size_t i = 0; i < 100; ++i)
                codes.push_back(static_cast<uint8_t>(i));
            codes.insert(codes.end(), {m, 0x00, static_cast<uint8_t>(distance - 1)});
            for (size_t i = 0; i < tail; ++i)
                codes.push_back(static_cast<uint8_t>(i));
            const auto stream = Head(static_cast<uint32_t>(104 + tail), m, codes);
            const auto decoded = Decode(stream);
            EXPECT_EQ(decoded.has_value(), distance <= 100);
            EXPECT_EQ(decoded, Expected(stream));
            EXPECT_EQ(DecodeInPieces(stream, {5}), Expected(stream));
        }
    }
}

TEST(ArchiveCoding, RunsOfBackReferencesAtEveryNearDistance) {
    // After 300 decoded bytes, runs of back-references with no literal
    // between them, as the wide run takes them: every distance up to 140
    // (the copy repeating its own output below 64, formed from the last 64
    // decoded bytes up to 64, loaded beyond), lengths around every copy
    // width, distances written in more bytes than needed, and a long literal
    // tail so that the run has room to work.
    const std::vector<size_t> lengths = {4,  5,  7,  8,  9,  15, 16, 17, 31, 32,  33,
                                         35, 36, 47, 48, 49, 63, 64, 65, 66, 100, 300};
    std::mt19937 random(23);
    WithEachDecoderForm([&] {
        for (size_t distance = 1; distance <= 140; ++distance) {
            const uint8_t marker = static_cast<uint8_t>(distance * 37);
            std::vector<uint8_t> codes;
            PushLiterals(codes, 300, marker, random);
            size_t written = 300;
            for (size_t i = 0; i < 3 * lengths.size(); ++i) {
                const size_t length = lengths[(i * 7 + distance) % lengths.size()];
                const size_t at = i % 3 == 2 ? 1 + random() % written : distance;
                PushCode(codes, marker, length, at, std::max(DistanceBytes(at), size_t{1} + i % 3));
                written += length;
            }
            PushLiterals(codes, 1500, marker, random);
            written += 1500;
            const auto stream = Head(static_cast<uint32_t>(written), marker, codes);
            const auto expected = ReferenceDecode(stream);
            ASSERT_TRUE(expected.has_value()) << distance;
            EXPECT_EQ(Decode(stream), expected) << "distance " << distance;
            EXPECT_EQ(DecodeInPieces(stream, {4096}), expected) << "distance " << distance;
            EXPECT_EQ(DecodeInPieces(stream, {1 + distance % 13, 300}), expected) << "distance " << distance;
        }
    });
}

TEST(ArchiveCoding, RunsOfLongNearCopiesUpToTheOutputsEnd) {
    // Runs of the longest near copies, 64 bytes out for every 4 in, then
    // repeated markers, 1 byte out for every 2, to the end: the run's last
    // steps write the most a step can and end, at every alignment, close to
    // the output's end. Nothing is read or written past it (the sanitizer
    // build holds that).
    std::mt19937 random(71);
    WithEachDecoderForm([&] {
        for (size_t copies = 60; copies < 160; ++copies) {
            for (size_t repeats = 24; repeats <= 44; repeats += 4) {
                const uint8_t marker = 0xE7;
                const size_t lead = 64 + copies % 7;
                std::vector<uint8_t> codes;
                PushLiterals(codes, lead, marker, random);
                for (size_t i = 0; i < copies; ++i) {
                    PushCode(codes, marker, 64, 1 + (i * 5 + lead) % 64, 1);
                }
                for (size_t i = 0; i < repeats; ++i) {
                    codes.insert(codes.end(), {marker, marker});
                }
                const auto stream = Head(static_cast<uint32_t>(lead + copies * 64 + repeats), marker, codes);
                const auto expected = ReferenceDecode(stream);
                ASSERT_TRUE(expected.has_value());
                EXPECT_EQ(Decode(stream), expected) << "copies " << copies << " repeats " << repeats;
                EXPECT_EQ(DecodeInPieces(stream, {1000}), expected) << "copies " << copies << " repeats " << repeats;
            }
        }
    });
}

TEST(ArchiveCoding, FarDistancesWhoseFirstByteLooksNear) {
    // Runs of copies whose distance has a first byte below 64 (or just
    // above) and a second or third byte that makes it far, written with and
    // without the length byte and in two or three bytes: each must copy from
    // where its whole distance points, not from close behind.
    std::mt19937 random(83);
    WithEachDecoderForm([&] {
        const uint8_t marker = 0x3C;
        std::vector<uint8_t> codes;
        PushLiterals(codes, 70000, marker, random);
        size_t written = 70000;
        const size_t lengths[] = {4, 17, 35, 36, 50, 64};
        for (const size_t high : {size_t{1} << 8, size_t{2} << 8, size_t{1} << 16, size_t{1} << 16 | 5 << 8}) {
            for (const size_t low : {0, 1, 62, 63, 64, 200}) {
                for (size_t i = 0; i < std::size(lengths); ++i) {
                    const size_t distance = high + low + 1;
                    PushCode(codes, marker, lengths[i], distance, std::max(DistanceBytes(distance), size_t{2} + i % 2));
                    written += lengths[i];
                }
            }
        }
        PushLiterals(codes, 1500, marker, random);
        written += 1500;
        const auto stream = Head(static_cast<uint32_t>(written), marker, codes);
        const auto expected = ReferenceDecode(stream);
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(Decode(stream), expected);
        EXPECT_EQ(DecodeInPieces(stream, {777}), expected);
    });
}

TEST(ArchiveCoding, CodeBytesOnEitherSideOfTheMarkerInRuns) {
    // For every marker, runs of back-references whose code bytes lie just
    // below and above it (those above stand one higher) and at both ends of
    // the byte range, with and without the length byte and with each
    // distance size: the run must read each code as the rule does.
    std::mt19937 random(41);
    WithEachDecoderForm([&] {
        for (int marker_value = 0; marker_value < 256; ++marker_value) {
            const auto marker = static_cast<uint8_t>(marker_value);
            std::vector<uint8_t> codes;
            PushLiterals(codes, 300, marker, random);
            size_t written = 300;
            for (int i = 0; i < 40; ++i) {
                const int offsets[] = {-2, -1, 1, 2, 3, 4, 5};
                int raw = i % 8 == 7 ? (i % 16 == 7 ? 0 : 255) : marker_value + offsets[i % 8 % 7];
                if (raw < 0 || raw > 255 || raw == marker_value) {
                    continue;
                }
                const uint32_t code = static_cast<uint32_t>(raw) - (raw > marker_value ? 1u : 0u);
                if ((code & 3) == 3) {
                    continue;  // the distance size that does not exist
                }
                codes.push_back(marker);
                codes.push_back(static_cast<uint8_t>(raw));
                size_t length = (code >> 3) + 4;
                if ((code & 4) != 0) {
                    const uint8_t high = static_cast<uint8_t>(length + 32 <= 64 ? random() % 2 : 0);
                    codes.push_back(high);
                    length += size_t{high} << 5;
                }
                const size_t distance_bytes = (code & 3) + 1;
                const size_t distance = 1 + random() % written;
                for (size_t b = 0; b < distance_bytes; ++b) {
                    codes.push_back(static_cast<uint8_t>((distance - 1) >> (8 * b)));
                }
                written += length;
            }
            PushLiterals(codes, 1500, marker, random);
            written += 1500;
            const auto stream = Head(static_cast<uint32_t>(written), marker, codes);
            const auto expected = ReferenceDecode(stream);
            ASSERT_TRUE(expected.has_value()) << "marker " << marker_value;
            EXPECT_EQ(Decode(stream), expected) << "marker " << marker_value;
            EXPECT_EQ(DecodeInPieces(stream, {700}), expected) << "marker " << marker_value;
        }
    });
}

// A stream made as game data codes: literal runs of every length, crossing
// the 64-byte steps of the wide run; repeated markers alone, in runs and
// inside literal runs; back-references of every distance class (1, up to
// 64, just beyond, far, beyond 65536 in the larger streams) with distances
// sometimes written in more bytes than needed; long ones, near and far; and
// a last code that is sometimes a long copy right up to the end of the
// output. Returns the stream with its head.
std::vector<uint8_t> MakeGameLikeStream(std::mt19937& random, int tokens, bool large) {
    const auto marker = static_cast<uint8_t>(random());
    std::vector<uint8_t> codes;
    const size_t lead = large ? 70000 : 1 + random() % 100;
    PushLiterals(codes, lead, marker, random);
    size_t written = lead;
    auto push_copy = [&](size_t length, size_t distance) {
        const size_t bytes = std::max(DistanceBytes(distance), random() % 8 == 0 ? size_t{3} : size_t{1});
        PushCode(codes, marker, length, distance, bytes);
        written += length;
    };
    auto pick_distance = [&]() -> size_t {
        switch (random() % 5) {
            case 0: return 1;
            case 1: return 1 + random() % std::min<size_t>(written, 64);
            case 2: return std::min<size_t>(written, 65 + random() % 64);
            default: return 1 + random() % written;
        }
    };
    for (int token = 0; token < tokens; ++token) {
        const int kind = static_cast<int>(random() % 16);
        if (kind < 2) {
            const size_t run = 1 + random() % 300;
            PushLiterals(codes, run, marker, random);
            written += run;
        } else if (kind == 2) {
            for (size_t n = 1 + random() % 3; n > 0; --n) {
                codes.insert(codes.end(), {marker, marker});
                ++written;
            }
        } else if (kind == 3) {
            const size_t run = 1 + random() % 70;
            PushLiterals(codes, run, marker, random);
            codes.insert(codes.end(), {marker, marker});
            PushLiterals(codes, 1, marker, random);
            written += run + 2;
        } else if (kind == 4) {
            push_copy(65 + random() % (random() % 2 == 0 ? 200 : 8131), pick_distance());
        } else {
            push_copy(4 + random() % 61, pick_distance());
        }
    }
    if (random() % 2 == 0) {
        push_copy(65 + random() % 3000, pick_distance());
    }
    return Head(static_cast<uint32_t>(written), marker, codes);
}

TEST(ArchiveCoding, GameLikeStreamsDecodeAlikeBothWays) {
    // The wide run against the general loop over many streams, whole and in
    // pieces of every size (so that codes fall at every place near a
    // piece's end), and the same streams damaged: both forms must give the
    // rule's bytes or refuse where it refuses.
    std::mt19937 random(53);
    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        const auto stream = MakeGameLikeStream(random, 150, round % 20 == 0);
        const auto expected = ReferenceDecode(stream);
        ASSERT_TRUE(expected.has_value());
        const std::vector<size_t> pieces = {1 + random() % 2000, 1 + random() % 200, 512 << 10};
        std::vector<std::vector<uint8_t>> damaged;
        for (int damage = 0; damage < 6; ++damage) {
            auto bad = stream;
            const size_t at = 9 + random() % (bad.size() - 9);
            if (damage < 3) {
                bad[at] = static_cast<uint8_t>(damage == 0 ? bad[8] : random());
            } else if (damage < 5) {
                bad.resize(at);
                const auto total = static_cast<uint32_t>(at);
                std::memcpy(bad.data() + 4, &total, 4);
            } else {
                const auto decoded = static_cast<uint32_t>(expected->size() - 1 + random() % 3);
                std::memcpy(bad.data(), &decoded, 4);
            }
            damaged.push_back(std::move(bad));
        }
        std::vector<std::optional<std::vector<uint8_t>>> general;
        UseWideArchiveRun(false);
        general.push_back(Decode(stream));
        general.push_back(DecodeInPieces(stream, pieces));
        for (const auto& bad : damaged) {
            general.push_back(Decode(bad));
            general.push_back(DecodeInPieces(bad, pieces));
        }
        UseWideArchiveRun(true);
        EXPECT_EQ(general[0], expected);
        EXPECT_EQ(general[1], expected);
        if (!WideArchiveRunAvailable()) {
            continue;
        }
        EXPECT_EQ(Decode(stream), expected);
        EXPECT_EQ(DecodeInPieces(stream, pieces), expected);
        for (size_t i = 0; i < damaged.size(); ++i) {
            const auto want = Expected(damaged[i]);
            EXPECT_EQ(general[2 + 2 * i], want) << "damage " << i;
            EXPECT_EQ(Decode(damaged[i]), want) << "damage " << i;
            EXPECT_EQ(DecodeInPieces(damaged[i], pieces), want) << "damage " << i;
        }
    }
}

TEST(ArchiveCoding, CodesPastALongCopyToTheEndAreRefused) {
    // A long copy that fills the output exactly, then, in the same 64 stream
    // bytes, a short one more than the head allows: refused, and nothing is
    // written past the output (the sanitizer build holds the second).
    std::mt19937 random(61);
    WithEachDecoderForm([&] {
        for (const size_t distance : {size_t{5}, size_t{100}}) {
            const uint8_t marker = 0xF0;
            std::vector<uint8_t> codes;
            PushLiterals(codes, 2000, marker, random);
            PushCode(codes, marker, 2000, distance, 1);
            PushCode(codes, marker, 10, 5, 1);
            PushLiterals(codes, 300, marker, random);
            const auto stream = Head(4000, marker, codes);
            EXPECT_FALSE(Expected(stream).has_value());
            EXPECT_FALSE(Decode(stream).has_value()) << "distance " << distance;
            EXPECT_FALSE(DecodeInPieces(stream, {1000}).has_value()) << "distance " << distance;
        }
    });
}

TEST(ArchiveCoding, RunsOfBackReferencesRefuseWhatTheRuleRefuses) {
    // A run of valid codes, and in it one that the rule refuses or that the
    // run must hand back: a distance one beyond what was written, the
    // distance size that does not exist (twice), a repeated marker, a
    // literal, a long overlapping copy, a distance to the very start; then
    // the same stream cut at every byte.
    std::mt19937 random(31);
    WithEachDecoderForm([&] {
        for (int fault = 0; fault < 7; ++fault) {
            SCOPED_TRACE(::testing::Message() << "fault " << fault);
            const uint8_t marker = static_cast<uint8_t>(fault == 0 ? 0 : fault == 1 ? 255 : random());
            std::vector<uint8_t> codes;
            PushLiterals(codes, 200, marker, random);
            size_t written = 200;
            for (int i = 0; i < 60; ++i) {
                if (i == 40) {
                    if (fault == 0) {
                        PushCode(codes, marker, 8, written + 1, 2);
                        written += 8;
                    } else if (fault == 1) {
                        codes.insert(codes.end(), {marker, static_cast<uint8_t>(3 + (3 >= marker ? 1 : 0)), 1, 0, 0});
                    } else if (fault == 2) {
                        codes.insert(codes.end(), {marker, marker});
                        ++written;
                    } else if (fault == 3) {
                        PushLiterals(codes, 1, marker, random);
                        ++written;
                    } else if (fault == 6) {
                        // As long as the longest code, the output as if it
                        // were not there: it must not be stepped over.
                        codes.insert(codes.end(),
                                     {marker, static_cast<uint8_t>(3 + (3 >= marker ? 1 : 0)), 0, 0, 0, 0});
                    } else if (fault == 4) {
                        PushCode(codes, marker, written, written, DistanceBytes(written));
                        written *= 2;
                    } else {
                        PushCode(codes, marker, 8, written, DistanceBytes(written));
                        written += 8;
                    }
                    continue;
                }
                const size_t length = 4 + random() % 70;
                const size_t distance = 1 + random() % std::min<size_t>(written, i % 2 == 0 ? 70 : 5000);
                PushCode(codes, marker, length, distance, DistanceBytes(distance));
                written += length;
            }
            const size_t tail_at = 9 + codes.size();
            PushLiterals(codes, 3000, marker, random);
            written += 3000;
            const auto stream = Head(static_cast<uint32_t>(written), marker, codes);
            EXPECT_EQ(Decode(stream), Expected(stream));
            EXPECT_EQ(Expected(stream).has_value(), fault >= 2 && fault != 6);
            for (size_t cut = 9; cut < tail_at + 100; ++cut) {
                auto part = stream;
                part.resize(cut);
                const auto total = static_cast<uint32_t>(cut);
                std::memcpy(part.data() + 4, &total, 4);
                const auto want = Expected(part);
                ASSERT_EQ(Decode(part), want) << "cut at " << cut;
                // The decoded size as a shortened stream would give it: the
                // codes up to the cut decode, then the output is too short.
                auto shorter = part;
                const auto reference = ReferenceDecode(part);
                if (reference) {
                    const auto size = static_cast<uint32_t>(reference->size());
                    std::memcpy(shorter.data(), &size, 4);
                    ASSERT_EQ(Decode(shorter), Expected(shorter)) << "cut at " << cut;
                }
            }
        }
    });
}

TEST(ArchiveCoding, RandomStreamsDecodeLikeTheReference) {
    // Streams made of random valid codes, short distances included, so the
    // overlapping copies take every path of the fast decoder.
    // Both decoder forms, each on the same streams.
    WithEachDecoderForm([&] {
        std::mt19937 random(11);
        for (int round = 0; round < 300; ++round) {
            const uint8_t marker = static_cast<uint8_t>(random());
            std::vector<uint8_t> codes;
            size_t written = 0;
            for (int token = 0; token < 60; ++token) {
                const int kind = static_cast<int>(random() % 4);
                if (kind == 0 || written == 0) {
                    uint8_t b = static_cast<uint8_t>(random());
                    codes.push_back(b);
                    if (b == marker) {
                        codes.push_back(marker);
                    }
                    ++written;
                } else {
                    const size_t length = 4 + random() % (kind == 3 ? 300 : 30);
                    const size_t distance = 1 + random() % std::min<size_t>(written, kind == 1 ? 8 : 70000);
                    const size_t extra = length - 4;
                    const size_t bytes = distance - 1 < 256 ? 1 : distance - 1 < 65536 ? 2 : 3;
                    uint32_t code = ((extra & 31) << 3) | (extra >= 32 ? 4 : 0) | (bytes - 1);
                    if (code >= marker) {
                        ++code;
                    }
                    codes.push_back(marker);
                    codes.push_back(static_cast<uint8_t>(code));
                    if (extra >= 32) {
                        codes.push_back(static_cast<uint8_t>(extra >> 5));
                    }
                    for (size_t i = 0; i < bytes; ++i) {
                        codes.push_back(static_cast<uint8_t>((distance - 1) >> (8 * i)));
                    }
                    written += length;
                }
            }
            const auto stream = Head(static_cast<uint32_t>(written), marker, codes);
            const auto expected = ReferenceDecode(stream);
            ASSERT_TRUE(expected.has_value()) << round;
            EXPECT_EQ(Decode(stream), expected) << round;
            EXPECT_EQ(DecodeInPieces(stream, {1 + random() % 20, 1 + random() % 300}), expected) << round;
            // The same stream damaged: bytes changed, the stream cut or its
            // decoded size changed. Whatever the fast decoder and the piecewise
            // one make of it, the plain rule must make too.
            for (int damage = 0; damage < 8; ++damage) {
                auto damaged = stream;
                const size_t at = 9 + random() % (damaged.size() - 9);
                if (damage < 5) {
                    damaged[at] = static_cast<uint8_t>(damage < 2 ? marker : random());
                } else if (damage < 7) {
                    damaged.resize(at);
                    const auto total = static_cast<uint32_t>(at);
                    std::memcpy(damaged.data() + 4, &total, 4);
                } else {
                    const auto decoded = static_cast<uint32_t>(written - 1 + random() % 3);
                    std::memcpy(damaged.data(), &decoded, 4);
                }
                const auto want = Expected(damaged);
                EXPECT_EQ(Decode(damaged), want) << round << " " << damage;
                EXPECT_EQ(DecodeInPieces(damaged, {1 + random() % 20, 1 + random() % 300}), want)
                    << round << " " << damage;
            }
        }
    });
}

}  // namespace
}  // namespace velk
