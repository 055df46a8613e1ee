#pragma once
// The library's system-information record: what the start-up's system
// report found (the OS text and code, the processor's name, speed and
// instruction sets) and what the display's start-up adds (the video driver
// and its memory). One record for the whole library, read from the main
// thread.

#include <cstdint>
#include <string>

namespace velk {

// The OS codes of the Windows versions the report tells apart.
inline constexpr int kOsCodeWin32s = 0;
inline constexpr int kOsCodeWindows95 = 1;
inline constexpr int kOsCodeWindows98 = 2;
inline constexpr int kOsCodeWindowsMe = 3;
inline constexpr int kOsCodeWindowsNt351 = 0x104;
inline constexpr int kOsCodeWindowsNt4 = 0x105;
inline constexpr int kOsCodeWindows2000 = 0x106;
inline constexpr int kOsCodeWindowsXp = 0x107;
inline constexpr int kOsCodeWindowsVista = 0x108;

inline constexpr uint32_t kDirectXVersion7 = 0x70000;

// The video driver's texts keep at most this many bytes.
inline constexpr size_t kVideoDriverTextMax = 255;

struct SystemInformation {
    // "%s ( Build %d %s )": the OS name, build number and service text.
    std::string os_text;
    int os_code = 0;
    uint32_t directx_version = 0;
    // The processor's brand text ("" when it reports none) and speed.
    std::string cpu_name;
    int cpu_mhz = 0;
    int mmx = 0;
    int sse = 0;
    int sse2 = 0;
    int time_stamp_counter = 0;
    int64_t cpu_clock_hz = 0;
    // Filled by the display's start-up.
    std::string video_driver_name;
    std::string video_driver_description;
    uint32_t video_memory_free = 0;
    uint32_t video_memory_total = 0;
};

SystemInformation& GetSystemInfoBlock();
// Back to an empty record (a start-up fills it again).
void ResetSystemInfoBlock();
// Stores the video driver's name and description, each cut to
// kVideoDriverTextMax bytes, and its free and total memory in bytes.
void SetVideoDriverInfo(const std::string& name, const std::string& description, uint32_t memory_free,
                        uint32_t memory_total);
// 1 when the processor's MMX instructions are used.
int GetUseMMXFlag();

}  // namespace velk
