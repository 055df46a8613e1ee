#pragma once
// Fakes the data layer's tests share: a reporter that records every message,
// a scope that runs a test inside a folder, and Shift-JIS literals.

#include <filesystem>
#include <string>
#include <vector>

#include "game/data/error_reporter.h"
#include "platform/base/text_encoding.h"

namespace velk::testing {

struct ReportedBox {
    std::string line1, line2, line3;
};

class RecordingReporter final : public ErrorReporter {
public:
    RecordingReporter() : installed_(*this) {}
    // Counted as the game's reporters count them, so that a range stops at
    // its first box as it does in the game.
    void ShowErrorBox(const std::string& line1, const std::string& line2, const std::string& line3) override {
        CountErrorBoxAskedFor();
        boxes.push_back({line1, line2, line3});
    }
    void ShowMessageBox(const std::string& text, const std::string& caption, MessageBoxButtons buttons) override {
        CountErrorBoxAskedFor();
        messages.push_back({text, caption, ""});
        messageButtons.push_back(buttons);
    }
    void EndProgram(int exitCode) override { exitCodes.push_back(exitCode); }

    std::vector<ReportedBox> boxes;
    std::vector<ReportedBox> messages;  // text, caption
    std::vector<MessageBoxButtons> messageButtons;
    std::vector<int> exitCodes;

private:
    ScopedErrorReporter installed_;
};

// Runs the rest of a scope with `folder` as the current directory.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path previous_;
};

// A UTF-8 literal as the Shift-JIS bytes the game stores.
inline std::string Sjis(const char* utf8) { return platform::Utf8ToShiftJis(utf8); }

}  // namespace velk::testing
