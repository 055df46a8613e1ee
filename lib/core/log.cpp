#include "lib/core/log.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <span>
#include <string_view>

#include "lib/core/string_format.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "platform/base/text_encoding.h"
#include "platform/file/native_file.h"

namespace velk {

namespace {

constexpr const char* kLogFileName = "Log.txt";

struct LogState {
    std::mutex mutex;
    bool off = false;
    std::string start_directory;
    uint32_t start_time = 0;
    int indent = 0;
    // True while the last text written did not end its line.
    bool line_open = false;
};

LogState& State() {
    static LogState state;
    return state;
}

std::string PathIn(const std::string& directory) {
    return (std::filesystem::path(directory) / kLogFileName).string();
}

// The position of the first LF at or after `from`, stepping over Shift-JIS
// pairs so that a second byte 0x0A is not taken for one.
size_t FindLineFeed(std::string_view text, size_t from) {
    size_t i = from;
    while (i < text.size()) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (platform::IsShiftJisLeadByte(byte)) {
            i += 2;
            continue;
        }
        if (byte == '\n') {
            return i;
        }
        ++i;
    }
    return std::string_view::npos;
}

// Turns each lone LF into CR LF. A text whose next LF already follows a CR is
// taken to carry its own line ends from there on and is copied unchanged.
std::string ToCrLfLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    size_t from = 0;
    for (;;) {
        const size_t lf = FindLineFeed(text, from);
        if (lf == std::string_view::npos || (lf > 0 && text[lf - 1] == '\r')) {
            break;
        }
        out.append(text.substr(from, lf - from));
        out.append("\r\n");
        from = lf + 1;
    }
    out.append(text.substr(from));
    return out;
}

// Under the state's mutex. A link in the log's place is not written through.
void AppendToFile(LogState& state, const std::string& converted) {
    platform::WritableFile file;
    if (!file.Create(PathIn(state.start_directory), platform::CreateMode::kAppend)) {
        return;  // logging never fails its caller; the text is lost
    }
    std::string text;
    if (!state.line_open) {
        const uint32_t elapsed = platform::ActiveClock().Milliseconds() - state.start_time;
        text = std::to_string(static_cast<int32_t>(elapsed)) + ":";
        if (state.indent > 0) {
            const std::string tabs(static_cast<size_t>(state.indent), '\t');
            text += tabs;
            platform::DebugOutput(tabs);
        }
    }
    text += converted;
    file.Write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    platform::DebugOutput(converted);
    state.line_open = converted.back() != '\n';
}

}  // namespace

int WriteLog(const char* text) {
    // An empty text would only leave a bare time prefix behind.
    if (text == nullptr || *text == '\0') {
        return -1;
    }
    const std::string converted = ToCrLfLineEnds(text);
    LogState& state = State();
    std::lock_guard guard(state.mutex);
    if (!state.off && !state.start_directory.empty()) {
        AppendToFile(state, converted);
    }
    return -1;
}

int WriteLogFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatStringV(format, args);
    va_end(args);
    text += '\n';
    return WriteLog(text.c_str());
}

int IncreaseLogIndent() {
    LogState& state = State();
    std::lock_guard guard(state.mutex);
    ++state.indent;
    return 0;
}

int DecreaseLogIndent() {
    LogState& state = State();
    std::lock_guard guard(state.mutex);
    if (state.indent > 0) {
        --state.indent;
    }
    return 0;
}

int SetLogOutputFlag(int flag) {
    LogState& state = State();
    std::lock_guard guard(state.mutex);
    state.off = flag == 0;
    return 0;
}

void SetLogStartDirectory(const std::string& directory) {
    LogState& state = State();
    std::lock_guard guard(state.mutex);
    state.start_directory = directory;
}

int CreateLogFile() {
    LogState& state = State();
    std::lock_guard guard(state.mutex);
    if (state.off) {
        return 0;
    }
    if (state.start_directory.empty()) {
        std::error_code error;
        state.start_directory = std::filesystem::current_path(error).string();
        if (error) {
            return -1;
        }
    }
    const std::string path = PathIn(state.start_directory);
    std::remove(path.c_str());
    platform::WritableFile file;
    const bool created = file.Create(path, platform::CreateMode::kTruncate);
    state.indent = 0;
    state.line_open = false;
    state.start_time = platform::ActiveClock().Milliseconds();
    return created ? 0 : -1;
}

std::string LogFilePath() {
    LogState& state = State();
    std::lock_guard guard(state.mutex);
    return state.start_directory.empty() ? std::string() : PathIn(state.start_directory);
}

}  // namespace velk
