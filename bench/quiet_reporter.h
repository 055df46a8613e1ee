#pragma once
// An error reporter for benchmarks whose boxes are not the subject: it shows
// nothing and ends nothing, so a box never waits for a player.

#include <string>

#include "game/data/error_reporter.h"

namespace velk::bench {

class QuietReporter final : public ErrorReporter {
public:
    void ShowErrorBox(const std::string&, const std::string&, const std::string&) override {}
    void ShowMessageBox(const std::string&, const std::string&, MessageBoxButtons) override {}
    void EndProgram(int) override {}
};

}  // namespace velk::bench
