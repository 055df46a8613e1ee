#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lib/core/input/clipboard_text.h"
#include "lib/core/input/key_input_internal.h"
#include "platform/base/text_encoding.h"
#include "tests/lib/core/input/input_fixture.h"

namespace velk {
namespace {

namespace key = platform::key;

// The editing codes of the ring.
constexpr char kBackspace = 8;
constexpr char kEnter = 13;
constexpr char kDelete = 16;
constexpr char kPaste = 22;
constexpr char kCut = 24;
constexpr char kEnd = 25;
constexpr char kHome = 26;
constexpr char kEscape = 27;
constexpr char kRight = 28;
constexpr char kLeft = 29;

const std::string kA = "\x82\xA0";   // HIRAGANA A
const std::string kSo = "\x83\x5C";  // KATAKANA SO: its second byte is a backslash
const std::string kPi = "\x83\x73";  // KATAKANA PI

class KeyInputTest : public InputTest {
protected:
    int Create(int max_length, bool cancel = false, bool single = false, bool digits = false) {
        const int handle = CreateKeyInput(max_length, cancel ? 1 : 0, single ? 1 : 0, digits ? 1 : 0);
        EXPECT_NE(handle, -1);
        SetActiveKeyInput(handle);
        return handle;
    }

    void Type(const std::string& bytes) {
        for (char byte : bytes) StockInputChar(static_cast<unsigned char>(byte));
        ProcessKeyInput();
    }

    std::string Text(int handle) {
        std::string text;
        EXPECT_TRUE(GetKeyInputTextString(handle, &text));
        return text;
    }
};

TEST_F(KeyInputTest, TheRingHoldsAtMost1024BytesAndWaitsForSecondBytes) {
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(StockInputChar('a'), 0);
    EXPECT_EQ(StockInputChar('b'), -1);
    EXPECT_TRUE(IsCharBufferFull());
    ClearInputCharBuf();
    StockInputChar(0x82);
    char out[2];
    EXPECT_EQ(GetInputChar(out, 1), 0);
    StockInputChar(0xA0);
    EXPECT_EQ(GetInputChar(out, 0), 2);
    EXPECT_EQ(GetInputChar(out, 1), 2);
    EXPECT_EQ(std::string(out, 2), kA);
    EXPECT_EQ(GetInputChar(out, 1), 0);
}

TEST_F(KeyInputTest, TypingFollowsTheLengthAndTheKindsOfCharacterAllowed) {
    EXPECT_EQ(CreateKeyInput(0, 0, 0, 0), -1);
    EXPECT_EQ(CreateKeyInput(-5, 0, 0, 0), -1);
    struct Case {
        const char* what;
        int max_length;
        bool single, digits;
        std::string typed, text;
    };
    const Case cases[] = {
        {"a full text drops its last character for a new one", 4, false, false, "abcde", "abce"},
        {"a pair replaces the last character", 4, false, false, "abcd" + kA, "ab" + kA},
        {"a pair never fits one byte, and never loops", 1, false, false, kA + "x" + kA, "x"},
        {"digits only", 10, false, true, "-1a-2.5." + kA, "-12.5"},
        {"single bytes only", 10, true, false, "a" + kA + "b", "ab"},
        {"control bytes without an editing meaning are typed; tab, up and down are not", 20, false, false,
         std::string("a\x01\x17\x15\x7F" "b\t\x1E\x1F\x02", 10), std::string("a\x01\x17\x15\x7F" "b\x02", 7)},
        {"a 0 byte is never typed", 20, false, false, std::string("a\0b", 3), "ab"},
        {"control bytes are single bytes", 3, true, false, "\x01\x7F\x15\x05", "\x01\x7F\x05"},
        {"digits only refuses control bytes", 10, false, true, "1\x01\x7F" "2", "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int handle = Create(c.max_length, false, c.single, c.digits);
        Type(c.typed);
        EXPECT_EQ(Text(handle), c.text);
        DeleteKeyInput(handle);
    }
}

TEST_F(KeyInputTest, BackspaceAndCursorKeysKeepPairsWhole) {
    const int handle = Create(20);
    Type("a" + kA);
    Type(std::string(1, kBackspace));
    EXPECT_EQ(Text(handle), "a");
    // KATAKANA PI's first byte 0x83 and SO's second byte 0x5C: a character
    // whose second byte lies in the lead-byte range must not be split.
    Type("\x82\x9F" "b");
    Type(std::string(1, kBackspace));
    EXPECT_EQ(Text(handle), "a\x82\x9F");
    Type(kSo + kPi);
    Type(std::string(1, kLeft) + std::string(1, kLeft) + std::string(1, kDelete));
    EXPECT_EQ(Text(handle), "a\x82\x9F" + kPi);
    Type(std::string(1, kRight) + "z");
    EXPECT_EQ(Text(handle), "a\x82\x9F" + kPi + "z");
}

TEST_F(KeyInputTest, EnterFinishesAndEscapeCancelsOnlyWhenAllowed) {
    const int plain = Create(5);
    Type(std::string(1, kEscape));
    EXPECT_EQ(GetKeyInputState(plain), 0);
    Type("ok" + std::string(1, kEnter) + "more");
    EXPECT_EQ(GetKeyInputState(plain), 1);
    EXPECT_EQ(Text(plain), "ok");
    const int cancellable = Create(5, true);
    Type(std::string(1, kEscape));
    EXPECT_EQ(GetKeyInputState(cancellable), 2);
    // Activating again clears both flags.
    SetActiveKeyInput(plain);
    EXPECT_EQ(GetKeyInputState(plain), 0);
    EXPECT_EQ(DeleteKeyInput(cancellable), 0);
    EXPECT_EQ(GetKeyInputState(cancellable), -1);
}

TEST_F(KeyInputTest, PasteInsertsTextNotKeys) {
    const int handle = Create(8);
    Type("<>" + std::string(1, kLeft));
    // A paste code, a line end, Escape and an Enter in the clipboard are not
    // obeyed; what does not fit is left out and pairs stay whole.
    SetClipboardText(std::string("x\x16y\r\nz\x1B" + kA + kA + kA + "w").c_str());
    Type(std::string(1, kPaste));
    EXPECT_EQ(Text(handle), "<xyz" + kA + ">");
    EXPECT_EQ(GetKeyInputState(handle), 0);
    EXPECT_FALSE(IsCharBufferFull());
}

TEST_F(KeyInputTest, APasteThatExactlyFillsTheRoomKeepsItsLastCharacter) {
    struct Case {
        int max_length;
        std::string typed;  // then the cursor goes back one character
        std::string pasted;
        std::string text;
    };
    const Case cases[] = {
        {6, "ab", "cdef", "acdefb"},
        {6, "ab", "cdefg", "acdefb"},  // one more than fits is left out
        {5, "ab", "c" + kA, "ac" + kA + "b"},  // a pair as the last that fits
        {4, "ab", "c" + kA, "acb"},  // the pair does not fit whole
        {3, "ab", "c", "acb"},
        {2, "ab", "c", "ab"},
    };
    for (const Case& c : cases) {
        const int handle = Create(c.max_length);
        Type(c.typed + std::string(1, kLeft));
        SetClipboardText(c.pasted.c_str());
        Type(std::string(1, kPaste));
        EXPECT_EQ(Text(handle), c.text) << c.max_length << " " << c.pasted;
        DeleteKeyInput(handle);
    }
}

TEST_F(KeyInputTest, SelectionWithShiftCopyCutAndTyping) {
    const int handle = Create(20);
    Type("hello");
    devices.SetKey(key::kLeftShift, true);
    Type(std::string(1, kHome));
    devices.SetKey(key::kLeftShift, false);
    Type(std::string(1, 3));  // copy
    EXPECT_EQ(GetClipboardTextString().value_or(""), "hello");
    Type(std::string(1, kEnd));
    devices.SetKey(key::kRightShift, true);
    Type(std::string(2, kLeft));
    devices.SetKey(key::kRightShift, false);
    Type(std::string(1, kCut));
    EXPECT_EQ(Text(handle), "hel");
    EXPECT_EQ(GetClipboardTextString().value_or(""), "lo");
    devices.SetKey(key::kLeftShift, true);
    Type(std::string(1, kLeft));
    devices.SetKey(key::kLeftShift, false);
    Type("P");
    EXPECT_EQ(Text(handle), "heP");
}

TEST_F(KeyInputTest, ReadingTextCannotOverflowTheCaller) {
    const int handle = Create(300);
    SetKeyInputText((std::string(299, 'a') + "b").c_str(), handle);
    char small[5];
    EXPECT_EQ(GetKeyInputText(small, sizeof(small), handle), 0);
    EXPECT_STREQ(small, "aaaa");
    SetKeyInputText(("ab" + kA).c_str(), handle);
    char four[4];
    GetKeyInputText(four, sizeof(four), handle);
    EXPECT_STREQ(four, "ab");
    EXPECT_EQ(GetKeyInputText(four, 4, handle + 1), -1);
    // Text set beyond the maximum is cut at a whole character.
    const int short_handle = Create(3);
    SetKeyInputText(("a" + kA + "b").c_str(), short_handle);
    EXPECT_EQ(Text(short_handle), "a" + kA);
}

TEST_F(KeyInputTest, HandlesCarryAWrappingCheckCounter) {
    // Every create takes the next counter value, whatever handles came before.
    int handle = CreateKeyInput(4, 0, 0, 0);
    for (int i = 0; i < 2048 && ((handle >> 16) & 0x7FF) != 2047; ++i) {
        DeleteKeyInput(handle);
        handle = CreateKeyInput(4, 0, 0, 0);
        ASSERT_NE(handle, -1);
    }
    EXPECT_EQ((handle >> 16) & 0x7FF, 2047);
    const int next = CreateKeyInput(4, 0, 0, 0);
    EXPECT_EQ((next >> 16) & 0x7FF, 0);
    EXPECT_EQ(next & 0x78000000, 0x50000000);
    // A stale handle of the same slot is refused.
    DeleteKeyInput(handle);
    EXPECT_EQ(GetKeyInputState(handle), -1);
}

TEST_F(KeyInputTest, AllSlotsInUse) {
    for (int i = 0; i < kMaxKeyInputs; ++i) ASSERT_NE(CreateKeyInput(2, 0, 0, 0), -1);
    EXPECT_EQ(CreateKeyInput(2, 0, 0, 0), -1);
    EndKeyInput();
    EXPECT_NE(CreateKeyInput(2, 0, 0, 0), -1);
}

TEST_F(KeyInputTest, TheInputMethodFollowsTheHandles) {
    EXPECT_FALSE(IsImeEnabled());
    const int first = CreateKeyInput(4, 0, 0, 0);
    const int second = CreateKeyInput(4, 0, 0, 0);
    EXPECT_TRUE(IsImeEnabled());
    EXPECT_TRUE(backend.text_input_enabled());
    DeleteKeyInput(first);
    EXPECT_TRUE(IsImeEnabled());
    DeleteKeyInput(second);
    EXPECT_FALSE(IsImeEnabled());
    EXPECT_FALSE(backend.text_input_enabled());
}

TEST_F(KeyInputTest, TypedTextTravelsFromTheWindowToTheHandle) {
    RegisterTextInputWithWindow();
    const int handle = Create(10);
    auto inject = [&](platform::WindowEvent::Kind kind, int key_code, const char* text) {
        platform::WindowEvent event;
        event.kind = kind;
        event.key = key_code;
        event.text = text;
        backend.Inject(event);
    };
    inject(platform::WindowEvent::Kind::kText, 0, "a\xE3\x81\x82");
    inject(platform::WindowEvent::Kind::kKeyDown, platform::vk::kLeft, "");
    inject(platform::WindowEvent::Kind::kText, 0, "a\xE3\x81\x82");
    inject(platform::WindowEvent::Kind::kKeyDown, platform::vk::kReturn, "");
    ProcessMessagesBody();
    EXPECT_EQ(Text(handle), "aa" + kA + kA);
    EXPECT_EQ(GetKeyInputState(handle), 1);
}

// Random editing never breaks the text: it stays within its maximum, pairs
// stay whole, the cursor and selection stay on character boundaries, and
// every step ends.
TEST_F(KeyInputTest, RandomEditingKeepsTheTextValid) {
    std::mt19937 random(20240601);
    const std::string pieces[] = {"a", "Z", "5", "-", ".", kA, kSo, kPi, "\x82\x9F", std::string(1, kBackspace),
                                  std::string(1, kDelete), std::string(1, kLeft), std::string(1, kRight),
                                  std::string(1, kHome), std::string(1, kEnd), std::string(1, kPaste),
                                  std::string(1, kCut), std::string(1, 3), std::string(1, 1), std::string(1, 0x17)};
    for (int round = 0; round < 40; ++round) {
        const int max_length = 1 + static_cast<int>(random() % 12);
        const bool digits = random() % 5 == 0;
        const bool single = random() % 5 == 0;
        const int handle = Create(max_length, false, single, digits);
        for (int step = 0; step < 200; ++step) {
            devices.SetKey(key::kLeftShift, random() % 3 == 0);
            if (random() % 10 == 0) {
                SetClipboardText((pieces[random() % 9] + "\r" + pieces[random() % 9] + kA).c_str());
            }
            std::string burst;
            for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) burst += pieces[random() % std::size(pieces)];
            Type(burst);

            std::string text;
            ASSERT_TRUE(GetKeyInputTextString(handle, &text));
            ASSERT_LE(static_cast<int>(text.size()), max_length);
            std::vector<bool> boundary(text.size() + 1, false);
            size_t i = 0;
            while (i < text.size()) {
                boundary[i] = true;
                const bool lead = platform::IsShiftJisLeadByte(static_cast<uint8_t>(text[i]));
                ASSERT_TRUE(!lead || i + 1 < text.size()) << "split pair in round " << round;
                i += lead ? 2 : 1;
            }
            boundary[text.size()] = true;
            for (char c : text) {
                const auto byte = static_cast<unsigned char>(c);
                const bool editing_code = byte == 0 || byte == 3 || byte == kBackspace || byte == kDelete ||
                                          byte == kPaste || byte == kCut || (byte >= kEnd && byte <= kLeft);
                ASSERT_FALSE(editing_code) << "editing code typed in round " << round;
            }
            const auto* data = key_input_internal::Find(handle);
            ASSERT_NE(data, nullptr);
            ASSERT_TRUE(data->cursor >= 0 && data->cursor <= static_cast<int>(text.size()) && boundary[data->cursor]);
            for (int end : {data->selection_start, data->selection_end}) {
                ASSERT_TRUE(end == -1 || (end <= static_cast<int>(text.size()) && boundary[end]));
            }
            if (digits) {
                for (char c : text) ASSERT_TRUE((c >= '0' && c <= '9') || c == '-' || c == '.');
            }
        }
        DeleteKeyInput(handle);
    }
}

}  // namespace
}  // namespace velk
