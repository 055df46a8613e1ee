#include "lib/core/system_information.h"

namespace velk {

namespace {

// A cut that would split a Shift-JIS pair drops the lead byte as well.
std::string CutText(const std::string& text, size_t max_bytes) {
    if (text.size() <= max_bytes) return text;
    size_t end = 0;
    while (end < max_bytes) {
        const auto byte = static_cast<unsigned char>(text[end]);
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        const size_t size = lead ? 2 : 1;
        if (end + size > max_bytes) break;
        end += size;
    }
    return text.substr(0, end);
}

}  // namespace

SystemInformation& GetSystemInfoBlock() {
    static SystemInformation record;
    return record;
}

void ResetSystemInfoBlock() { GetSystemInfoBlock() = SystemInformation{}; }

void SetVideoDriverInfo(const std::string& name, const std::string& description, uint32_t memory_free,
                        uint32_t memory_total) {
    SystemInformation& record = GetSystemInfoBlock();
    record.video_driver_name = CutText(name, kVideoDriverTextMax);
    record.video_driver_description = CutText(description, kVideoDriverTextMax);
    record.video_memory_free = memory_free;
    record.video_memory_total = memory_total;
}

int GetUseMMXFlag() { return GetSystemInfoBlock().mmx; }

}  // namespace velk
