#include "game/data/error_reporter.h"

#include <cstdlib>

#include "game/data/data_texts.h"
#include "game/data/text_format.h"
#include "platform/base/debug_output.h"

namespace velk {
namespace {

class DebugOutputReporter final : public ErrorReporter {
public:
    void ShowErrorBox(const std::string& line1, const std::string& line2, const std::string& line3) override {
        platform::DebugOutput(line1 + "\n" + line2 + "\n" + line3 + "\n");
    }
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        platform::DebugOutput(caption + ": " + text + "\n");
    }
    void EndProgram(int exitCode) override { std::exit(exitCode); }
};

ErrorReporter* installed_reporter = nullptr;

}  // namespace

ErrorReporter& ActiveErrorReporter() {
    static DebugOutputReporter fallback;
    return installed_reporter ? *installed_reporter : fallback;
}

void SetErrorReporter(ErrorReporter* reporter) { installed_reporter = reporter; }

ErrorLocation& CurrentErrorLocation() {
    static ErrorLocation location;
    return location;
}

std::string FormatErrorLocation() {
    const ErrorLocation& place = CurrentErrorLocation();
    return FormatText(texts::kErrorLocation, place.mapEvent, place.commonEvent, place.line);
}

}  // namespace velk
