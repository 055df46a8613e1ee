#include "lib/core/files/archive_format.h"

#include <cstring>

#include "platform/base/text_encoding.h"

namespace velk {

namespace {

uint8_t SwapNibbles(uint8_t b) { return static_cast<uint8_t>((b << 4) | (b >> 4)); }
uint8_t RotateLeft(uint8_t b, int bits) { return static_cast<uint8_t>((b << bits) | (b >> (8 - bits))); }

ArchiveKey FinishKey(ArchiveKey key) {
    key[0] = static_cast<uint8_t>(~key[0]);
    key[1] = SwapNibbles(key[1]);
    key[2] ^= kArchiveKeyXor2;
    key[3] = static_cast<uint8_t>(~SwapNibbles(key[3]));
    key[4] = static_cast<uint8_t>(~key[4]);
    key[5] ^= kArchiveKeyXor5;
    key[6] = static_cast<uint8_t>(~key[6]);
    key[7] = static_cast<uint8_t>(~RotateLeft(key[7], 5));
    key[8] = RotateLeft(key[8], 3);
    key[9] ^= kArchiveKeyXor9;
    key[10] = SwapNibbles(key[10]) ^ kArchiveKeyXor10;
    key[11] ^= kArchiveKeyXor11;
    return key;
}

}  // namespace

ArchiveKey DeriveArchiveKey(std::string_view key_string) {
    if (key_string.empty()) {
        return DefaultArchiveKey();
    }
    ArchiveKey key{};
    for (size_t i = 0; i < kArchiveKeySize; ++i) {
        key[i] = static_cast<uint8_t>(key_string[i % key_string.size()]);
    }
    return FinishKey(key);
}

ArchiveKey DefaultArchiveKey() {
    ArchiveKey key;
    key.fill(kArchiveDefaultKeyFill);
    return FinishKey(key);
}

ArchiveKey SecondArchiveKey() {
    ArchiveKey key;
    key.fill(kArchiveSecondKeyFill);
    return key;
}

void ScrambleArchiveBytes(std::span<uint8_t> bytes, uint64_t file_offset, const ArchiveKey& key) {
    // The key as it runs from this offset, laid out eight times so that whole
    // 96-byte groups are XORed a machine word at a time.
    constexpr size_t kGroup = kArchiveKeySize * 8;
    alignas(8) uint8_t pattern[kGroup];
    const size_t start = static_cast<size_t>(file_offset % kArchiveKeySize);
    for (size_t i = 0; i < kGroup; ++i) {
        pattern[i] = key[(start + i) % kArchiveKeySize];
    }
    uint64_t words[kGroup / 8];
    std::memcpy(words, pattern, kGroup);
    uint8_t* data = bytes.data();
    size_t left = bytes.size();
    while (left >= kGroup) {
        for (size_t w = 0; w < kGroup / 8; ++w) {
            uint64_t value;
            std::memcpy(&value, data + w * 8, 8);
            value ^= words[w];
            std::memcpy(data + w * 8, &value, 8);
        }
        data += kGroup;
        left -= kGroup;
    }
    for (size_t i = 0; i < left; ++i) {
        data[i] ^= pattern[i];
    }
}

FoldedArchiveName FoldArchiveName(std::string_view name) {
    FoldedArchiveName folded;
    uint32_t sum = 0;
    size_t i = 0;
    while (i < name.size() && name[i] != '\\' && name[i] != '/') {
        const auto byte = static_cast<uint8_t>(name[i]);
        if (platform::IsShiftJisLeadByte(byte) && i + 1 < name.size()) {
            const auto trail = static_cast<uint8_t>(name[i + 1]);
            folded.bytes.push_back(byte);
            folded.bytes.push_back(trail);
            sum += byte + trail;
            i += 2;
            continue;
        }
        const uint8_t copied = byte >= 'a' && byte <= 'z' ? static_cast<uint8_t>(byte - 'a' + 'A') : byte;
        folded.bytes.push_back(copied);
        sum += copied;
        ++i;
    }
    folded.consumed = i;
    folded.bytes.resize((folded.bytes.size() + 4) / 4 * 4, 0);
    folded.check = static_cast<uint16_t>(sum & 0xFFFF);
    return folded;
}

namespace {

size_t CharacterSize(std::string_view text, size_t at) {
    return platform::IsShiftJisLeadByte(static_cast<uint8_t>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

}  // namespace

bool MatchArchiveName(std::string_view pattern, std::string_view name) {
    size_t p = 0;
    size_t n = 0;
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            while (p < pattern.size() && pattern[p] == '*') ++p;
            if (p == pattern.size()) return true;
            const std::string_view next = pattern.substr(p, CharacterSize(pattern, p));
            while (n < name.size() && name.substr(n, CharacterSize(name, n)) != next) n += CharacterSize(name, n);
            if (n == name.size()) return false;
            continue;
        }
        if (n == name.size()) return false;
        if (pattern[p] == '?') {
            ++p;
            ++n;
            continue;
        }
        const size_t size = CharacterSize(pattern, p);
        if (pattern.substr(p, size) != name.substr(n, size)) return false;
        p += size;
        n += size;
    }
    return n == name.size();
}

}  // namespace velk
