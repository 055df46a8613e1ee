// The system report's lines and the record it fills, for machines that
// differ in what they report.

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "lib/core/log.h"
#include "lib/api/startup_log_texts.h"
#include "lib/api/system_report.h"
#include "lib/core/system_information.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "tests/support/scratch_dir.h"

namespace velk::testing {
namespace {

class SystemReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetDebugOutputEnabled(false);
        SetLogOutputFlag(1);
        SetLogStartDirectory(dir_.path().string());
        ASSERT_EQ(CreateLogFile(), 0);
        ResetSystemInfoBlock();
    }

    void TearDown() override {
        SetLogStartDirectory("");
        ResetSystemInfoBlock();
    }

    // The report's lines after the first, each without its time prefix, with
    // its tabs, and "\n" for CR LF.
    std::vector<std::string> ReportLines() const {
        std::vector<std::string> lines;
        const std::string bytes = dir_.ReadFile("Log.txt");
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find("\r\n", start);
            end = end == std::string::npos ? bytes.size() : end + 2;
            std::string line = bytes.substr(start, end - start);
            line.erase(0, line.find(':') + 1);
            if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.replace(line.size() - 2, 2, "\n");
            lines.push_back(line);
            start = end;
        }
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    }

    static SystemProbe Probe(bool mmx, bool sse, bool sse2) {
        SystemProbe probe;
        probe.features.time_stamp_counter = true;
        probe.features.mmx = mmx;
        probe.features.sse = sse;
        probe.features.sse2 = sse2;
        probe.vendor = "GenuineIntel";
        probe.brand = "Test CPU 3000";
        probe.cpu_mhz = 2995;
        return probe;
    }

    ScratchDir dir_;
    platform::ManualClock clock_;
    platform::ScopedClock installed_{clock_};
};

TEST_F(SystemReportTest, AFullMachineReportsEveryLineIndentedUnderTheTitle) {
    LogSystemInfoFrom(Probe(true, true, true));
    const std::string tab = "\t";
    EXPECT_EQ(ReportLines(), (std::vector<std::string>{
                                 tab + startup_log_text::kOs + "WindowsXP ( Build 2600  )\n",
                                 tab + "\x82\x62\x82\x6f\x82\x74\x93\xae\x8d\xec\x91\xac\x93\x78\x81\x46\x91\xe5\x91"
                                       "\xcc" "3.00GHz\n",
                                 tab + startup_log_text::kUseMmx,
                                 tab + startup_log_text::kSseAvailable,
                                 tab + startup_log_text::kSse2Available,
                                 tab + startup_log_text::kCpuVendor + "GenuineIntel\n",
                                 tab + "\x82\x62\x82\x6f\x82\x74\x96\xbc\x81\x46" "Test CPU 3000\n",
                             }));
    const SystemInformation& record = GetSystemInfoBlock();
    EXPECT_EQ(record.os_code, kOsCodeWindowsXp);
    EXPECT_EQ(record.cpu_name, "Test CPU 3000");
    EXPECT_EQ(record.cpu_clock_hz, int64_t{2995000000});
    EXPECT_EQ(record.mmx + record.sse + record.sse2, 3);
    EXPECT_EQ(GetUseMMXFlag(), 1);
}

TEST_F(SystemReportTest, InstructionSetsCountOnlyInTheirChain) {
    LogSystemInfoFrom(Probe(true, false, true));  // SSE2 without SSE is not used
    const SystemInformation& record = GetSystemInfoBlock();
    EXPECT_EQ(std::vector<int>({record.mmx, record.sse, record.sse2}), std::vector<int>({1, 0, 0}));

    ResetSystemInfoBlock();
    LogSystemInfoFrom(Probe(false, true, true));
    const std::vector<std::string> lines = ReportLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("\t") + startup_log_text::kNoMmx), lines.end());
    EXPECT_EQ(GetUseMMXFlag(), 0);
}

TEST_F(SystemReportTest, WithoutATimeStampCounterThereIsNoSpeedLineAndNoClock) {
    SystemProbe probe = Probe(true, true, true);
    probe.features.time_stamp_counter = false;
    LogSystemInfoFrom(probe);
    const std::vector<std::string> lines = ReportLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], std::string("\t") + startup_log_text::kUseMmx);
    EXPECT_EQ(GetSystemInfoBlock().cpu_clock_hz, 0);
    EXPECT_EQ(GetSystemInfoBlock().time_stamp_counter, 0);
}

TEST_F(SystemReportTest, WithoutCpuidOnlyThatIsSaidAndNoNameIsKept) {
    SystemProbe probe = Probe(true, true, true);
    probe.has_cpuid = false;
    LogSystemInfoFrom(probe);
    const std::vector<std::string> lines = ReportLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], std::string("\t") + startup_log_text::kNoCpuid);
    EXPECT_EQ(GetSystemInfoBlock().cpu_name, "");
    EXPECT_EQ(GetUseMMXFlag(), 0);
}

TEST_F(SystemReportTest, ANamelessProcessorWritesNoNameLine) {
    SystemProbe probe = Probe(true, true, true);
    probe.brand.clear();
    LogSystemInfoFrom(probe);
    EXPECT_EQ(ReportLines().back(), std::string("\t") + startup_log_text::kCpuVendor + "GenuineIntel\n");
}

TEST(OsNames, EachVersionHasItsNameAndCode) {
    struct Case {
        platform::OsVersion os;
        const char* name;
        int code;
    };
    const Case cases[] = {
        {{0, 3, 10, 0, ""}, "Windows3.1", kOsCodeWin32s},
        {{1, 4, 0, 950, "C"}, "Windows95OSR2", kOsCodeWindows95},
        {{1, 4, 10, 2222, "A"}, "Windows98SE", kOsCodeWindows98},
        {{1, 4, 90, 3000, ""}, "WindowsMe", kOsCodeWindowsMe},
        {{2, 3, 51, 1057, ""}, "WindowsNT 3.51", kOsCodeWindowsNt351},
        {{2, 4, 0, 1381, ""}, "Windows4.0", kOsCodeWindowsNt4},
        {{2, 5, 0, 2195, ""}, "Windows2000", kOsCodeWindows2000},
        {{2, 5, 1, 2600, "Service Pack 3"}, "WindowsXP", kOsCodeWindowsXp},
        {{2, 6, 1, 7601, ""}, "WindowsVista", kOsCodeWindowsVista},
        {{2, 10, 0, 19045, ""}, "Windows", 77},  // unknown: the code stays
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OsNameOf(c.os), c.name);
        EXPECT_EQ(OsCodeOf(c.os, 77), c.code) << c.name;
    }
}

TEST(SystemRecord, VideoDriverTextsAreCutWithoutSplittingACharacter) {
    ResetSystemInfoBlock();
    const std::string long_name(300, 'a');
    // 254 ASCII bytes and then a Shift-JIS pair that would end at byte 256.
    const std::string japanese = std::string(254, 'b') + "\x82\xa0" + "cc";
    SetVideoDriverInfo(long_name, japanese, 1000, 2000);
    const SystemInformation& record = GetSystemInfoBlock();
    EXPECT_EQ(record.video_driver_name, std::string(255, 'a'));
    EXPECT_EQ(record.video_driver_description, std::string(254, 'b'));
    EXPECT_EQ(record.video_memory_free, 1000u);
    EXPECT_EQ(record.video_memory_total, 2000u);
    ResetSystemInfoBlock();
}

}  // namespace
}  // namespace velk::testing
