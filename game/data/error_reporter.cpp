#include "game/data/error_reporter.h"

#include <cstdlib>

#include "game/data/data_texts.h"
#include "game/data/text_format.h"
#include "lib/core/library.h"
#include "lib/core/window/system_message_box.h"

namespace velk {
namespace {

class MessageBoxReporter final : public ErrorReporter {
public:
    // The error box's three lines, the empty ones left out, in one box
    // without a title.
    void ShowErrorBox(const std::string& line1, const std::string& line2, const std::string& line3) override {
        CountErrorBoxAskedFor();
        std::string text;
        for (const std::string* line : {&line1, &line2, &line3}) {
            if (line->empty()) continue;
            if (!text.empty()) text += "\n";
            text += *line;
        }
        ShowSystemMessageBox(text, "", SystemMessageBoxButtons::kOk);
    }
    void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons) override {
        CountErrorBoxAskedFor();
        ShowSystemMessageBox(text, caption,
                             buttons == MessageBoxButtons::kOkCancel ? SystemMessageBoxButtons::kOkCancel
                                                                     : SystemMessageBoxButtons::kOk);
    }
    // The library's end takes the window, sound and devices down and lists
    // its leaks before the process goes.
    void EndProgram(int exitCode) override {
        EndLibrary();
        std::exit(exitCode);
    }
};

ErrorReporter* installed_reporter = nullptr;
uint64_t boxes_asked_for = 0;

}  // namespace

ErrorReporter& SystemMessageBoxReporter() {
    static MessageBoxReporter reporter;
    return reporter;
}

ErrorReporter& ActiveErrorReporter() { return installed_reporter ? *installed_reporter : SystemMessageBoxReporter(); }

void SetErrorReporter(ErrorReporter* reporter) { installed_reporter = reporter; }

uint64_t ErrorBoxesAskedFor() { return boxes_asked_for; }

void CountErrorBoxAskedFor() { ++boxes_asked_for; }

ErrorLocation& CurrentErrorLocation() {
    static ErrorLocation location;
    return location;
}

std::string FormatErrorLocation() {
    const ErrorLocation& place = CurrentErrorLocation();
    return FormatText(texts::kErrorLocation, place.mapEvent, place.commonEvent, place.line);
}

}  // namespace velk
