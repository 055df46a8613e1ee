// The character ring that the window procedure fills and the key-input
// editing step empties: 1025 bytes, so at most 1024 wait.

#include <array>

#include "lib/core/input/input_log_texts.h"
#include "lib/core/input/key_input.h"
#include "lib/core/input/key_input_internal.h"
#include "lib/core/log.h"
#include "lib/core/window/message_processing.h"
#include "platform/base/text_encoding.h"

namespace velk {

namespace {

constexpr int kRingSize = 1025;

struct CharRing {
    std::array<unsigned char, kRingSize> bytes{};
    int read = 0;
    int write = 0;
};

CharRing& Ring() {
    static CharRing ring;
    return ring;
}

int Next(int index) { return index + 1 == kRingSize ? 0 : index + 1; }

// Control codes of the editing keys are never lead bytes.
bool IsLead(unsigned char byte) { return platform::IsShiftJisLeadByte(byte); }

}  // namespace

int StockInputChar(unsigned char byte) {
    CharRing& ring = Ring();
    if (Next(ring.write) == ring.read) return -1;
    ring.bytes[ring.write] = byte;
    ring.write = Next(ring.write);
    return 0;
}

bool IsCharBufferFull() { return Next(Ring().write) == Ring().read; }

int GetInputChar(char* out, int consume) {
    CharRing& ring = Ring();
    if (ring.read == ring.write) return 0;
    const unsigned char first = ring.bytes[ring.read];
    int size = 1;
    if (IsLead(first)) {
        if (Next(ring.read) == ring.write) return 0;  // the second byte has not come yet
        size = 2;
        out[1] = static_cast<char>(ring.bytes[Next(ring.read)]);
    }
    out[0] = static_cast<char>(first);
    if (consume == 1) {
        ring.read = Next(ring.read);
        if (size == 2) ring.read = Next(ring.read);
    }
    return size;
}

int ClearInputCharBuf() {
    ProcessMessagesBody();
    CharRing& ring = Ring();
    while (ring.read != ring.write) {
        const unsigned char byte = ring.bytes[ring.read];
        ring.read = Next(ring.read);
        if (byte == 0) break;
        if (byte == 0xFF) WriteLog(input_log_text::kCharBufferError);
        if (ProcessMessagesBody() != 0) break;
    }
    ring.read = ring.write = 0;
    return 0;
}

int InitCharBuffer() {
    using namespace key_input_internal;
    WriteLog(input_log_text::kCharBufferStart);
    Ring() = CharRing{};
    Ime() = ImeState{};
    for (auto& slot : Slots()) slot = KeyInputData{};
    Settings() = KeyInputSettings{};
    SetStartColours();
    WriteLog(input_log_text::kCharBufferDone);
    return 0;
}

}  // namespace velk
