#pragma once
// Where the data layer's messages go. Runtime data errors appear in the game's
// three-line error box; start-up failures, which come before the window
// exists, in a system message box; a data file that fails its check ends the
// program after its message. The shell installs the reporter that shows the
// real boxes; tests install one that records. The readers themselves only
// return what they found: the loaders decide what to report.

#include <cstdint>
#include <string>

namespace velk {

// The buttons of a system message box; which one was pressed does not matter
// to any caller.
enum class MessageBoxButtons { kOk, kOkCancel };

class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    // The blocking error box: returns when the player has closed it.
    virtual void ShowErrorBox(const std::string& line1, const std::string& line2, const std::string& line3) = 0;
    // A system message box, usable before the window exists.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                                MessageBoxButtons buttons = MessageBoxButtons::kOk) = 0;
    // Ends the program with this exit code. Only a test's reporter returns.
    virtual void EndProgram(int exitCode) = 0;
};

// The reporter in use: the installed one, else the start-up reporter below.
ErrorReporter& ActiveErrorReporter();
// How many error and message boxes the game's reporters have been asked for
// so far. A command that works through a range stops at the first element
// that raised one, so one bad range costs the player one box, not one per
// element.
uint64_t ErrorBoxesAskedFor();
void CountErrorBoxAskedFor();
// The reporter the data layer has of its own, good before the window exists:
// every message, the error box's lines too, goes to a system message box
// (through the platform's hook, so tests see it), and the program ends after
// the library has been ended.
ErrorReporter& SystemMessageBoxReporter();
// Installs a reporter (nullptr restores the default). The caller keeps it alive.
void SetErrorReporter(ErrorReporter* reporter);

class ScopedErrorReporter {
public:
    explicit ScopedErrorReporter(ErrorReporter& reporter) { SetErrorReporter(&reporter); }
    ~ScopedErrorReporter() { SetErrorReporter(nullptr); }
    ScopedErrorReporter(const ScopedErrorReporter&) = delete;
    ScopedErrorReporter& operator=(const ScopedErrorReporter&) = delete;
};

// The place line of runtime error boxes: the map event, common event and line
// that the interpreter is running, which it keeps up to date.
struct ErrorLocation {
    int mapEvent = 0;
    int commonEvent = 0;
    int line = 0;
};
ErrorLocation& CurrentErrorLocation();
std::string FormatErrorLocation();

}  // namespace velk
