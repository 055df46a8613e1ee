// The IBus back-end against a real daemon: a private ibus-daemon with the
// Anthy engine under its own D-Bus session, started and stopped by the test
// and skipped with a message where it cannot run.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <ibus.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/window/input_method.h"
#include "platform/window/window_messages.h"
#include "tests/support/scratch_dir.h"

namespace velk::platform {
namespace {

bool Executable(const char* path) { return access(path, X_OK) == 0; }

// The daemon and everything it starts run in a process group of their own,
// which the destructor ends.
class PrivateIbusDaemon {
public:
    explicit PrivateIbusDaemon(const std::filesystem::path& folder)
        : address_("unix:path=" + (folder / "ibus-bus").string()) {
        for (const char* sub : {"config", "cache", "home"})
            std::filesystem::create_directories(folder / sub);
        const std::string config = "XDG_CONFIG_HOME=" + (folder / "config").string();
        const std::string cache = "XDG_CACHE_HOME=" + (folder / "cache").string();
        const std::string home = "HOME=" + (folder / "home").string();
        const std::string address_option = "--address=" + address_;
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            // The system's own programs: the engine runs on the system's
            // Python and its GObject bindings.
            const char* environment[] = {config.c_str(),       cache.c_str(),  home.c_str(),
                                         "PATH=/usr/bin:/bin", "LANG=C.UTF-8", nullptr};
            const char* arguments[] = {
                "dbus-run-session",          "--",           "ibus-daemon",          "--panel=disable",
                "--emoji-extension=disable", "--cache=none", address_option.c_str(), nullptr};
            execve("/usr/bin/dbus-run-session", const_cast<char* const*>(arguments),
                   const_cast<char* const*>(environment));
            _exit(127);
        }
        if (pid_ > 0) setpgid(pid_, pid_);
        socket_ = folder / "ibus-bus";
    }

    // The daemon is asked to exit, which ends its engines and the session;
    // what is left of the session's group after a while is ended by it.
    ~PrivateIbusDaemon() {
        if (pid_ <= 0) return;
        if (IBusBus* bus = ibus_bus_new(); bus != nullptr) {
            if (ibus_bus_is_connected(bus)) ibus_bus_exit(bus, FALSE);
            g_object_unref(bus);
        }
        int status = 0;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(-pid_, SIGTERM);
        waitpid(pid_, &status, 0);
    }

    // Whether the daemon's socket appeared within a few seconds.
    bool Ready() const {
        for (int i = 0; i < 200; ++i) {
            if (std::filesystem::exists(socket_)) return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    const std::string& address() const { return address_; }

private:
    std::string address_;
    std::filesystem::path socket_;
    pid_t pid_ = -1;
};

class IbusInputMethodTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Executable("/usr/bin/ibus-daemon") || !Executable("/usr/bin/dbus-run-session") ||
            !Executable("/usr/libexec/ibus-engine-anthy")) {
            GTEST_SKIP() << "ibus-daemon, dbus-run-session or ibus-anthy is not installed (scripts/install-deps)";
        }
        if (const char* address = std::getenv("IBUS_ADDRESS")) saved_address_ = address;
        daemon_.emplace(scratch_.path());
        if (!daemon_->Ready()) GTEST_SKIP() << "the private ibus-daemon did not start";
        setenv("IBUS_ADDRESS", daemon_->address().c_str(), 1);
        method_ = CreateIbusInputMethod("anthy");
        if (!method_) GTEST_SKIP() << "the private ibus-daemon did not answer";
        method_->SetFocus(true);
    }

    void TearDown() override {
        method_.reset();
        daemon_.reset();
        if (saved_address_) {
            setenv("IBUS_ADDRESS", saved_address_->c_str(), 1);
        } else {
            unsetenv("IBUS_ADDRESS");
        }
    }

    void Press(uint32_t virtual_key) {
        method_->FilterKey(InputMethodKey{virtual_key, false, false, false, false});
        method_->FilterKey(InputMethodKey{virtual_key, false, false, false, true});
    }

    void Type(const std::string& letters) {
        for (char letter : letters)
            Press(vk::kLetterA + static_cast<uint32_t>(letter - 'a'));
    }

    // The engine starts in its Latin mode and takes keys only once it is
    // up: the half-width/full-width key, taken, switches it to kana.
    bool SwitchToKana() {
        for (int i = 0; i < 200; ++i) {
            const bool taken = method_->FilterKey(InputMethodKey{vk::kKanji, false, false, false, false});
            method_->FilterKey(InputMethodKey{vk::kKanji, false, false, false, true});
            if (taken) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Pumps until the condition holds on the latest report of its kind,
    // for at most a few seconds.
    template <typename Condition>
    std::optional<InputMethodEvent> WaitFor(InputMethodEvent::Kind kind, Condition&& condition) {
        for (int i = 0; i < 200; ++i) {
            std::vector<InputMethodEvent> events;
            method_->PumpEvents(events);
            for (auto& event : events) {
                if (event.kind == kind) latest_[static_cast<int>(kind)] = event;
            }
            const auto& latest = latest_[static_cast<int>(kind)];
            if (latest && condition(*latest)) return latest;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return latest_[static_cast<int>(kind)];
    }

    velk::testing::ScratchDir scratch_;
    std::optional<std::string> saved_address_;
    std::optional<PrivateIbusDaemon> daemon_;
    std::unique_ptr<InputMethodBackend> method_;
    std::optional<InputMethodEvent> latest_[4];
};

TEST_F(IbusInputMethodTest, AReadingConvertedArrivesAsClausesAndItsCandidates) {
    using Kind = InputMethodEvent::Kind;
    // "わたしのなまえは" (my name is): Anthy converts it in more than one clause.
    const std::string reading =
        "\xE3\x82\x8F\xE3\x81\x9F\xE3\x81\x97\xE3\x81\xAE\xE3\x81\xAA\xE3\x81\xBE\xE3\x81\x88"
        "\xE3\x81\xAF";
    ASSERT_TRUE(SwitchToKana()) << "the Anthy engine never took a key";
    Type("watashinonamaeha");
    auto composition = WaitFor(Kind::kComposition, [&](const InputMethodEvent& e) { return e.text == reading; });
    ASSERT_TRUE(composition.has_value()) << "no composition arrived";
    ASSERT_EQ(composition->text, reading);
    EXPECT_EQ(composition->selected_clause, -1) << "a reading is not being converted";

    Press(vk::kSpace);
    composition = WaitFor(Kind::kComposition,
                          [&](const InputMethodEvent& e) { return e.text != reading && e.clause_starts.size() >= 2; });
    ASSERT_TRUE(composition.has_value());
    EXPECT_NE(composition->text, reading);
    ASSERT_GE(composition->clause_starts.size(), 2u) << composition->text;
    EXPECT_EQ(composition->clause_starts[0], 0);
    EXPECT_EQ(composition->selected_clause, 0) << "the first clause is converted first";

    // Asking again opens the candidate list of the selected clause.
    Press(vk::kSpace);
    const auto candidates =
        WaitFor(Kind::kCandidates, [](const InputMethodEvent& e) { return e.candidates.size() >= 2; });
    ASSERT_TRUE(candidates.has_value()) << "no candidate list arrived";
    EXPECT_GE(candidates->candidates.size(), 2u);
    EXPECT_GE(candidates->selection, 0);
    EXPECT_LT(candidates->selection, static_cast<int>(candidates->candidates.size()));

    // Enter commits the conversion.
    Press(vk::kReturn);
    const auto committed = WaitFor(Kind::kCommit, [](const InputMethodEvent& e) { return !e.text.empty(); });
    ASSERT_TRUE(committed.has_value()) << "nothing was committed";
    EXPECT_NE(committed->text, reading);
}

}  // namespace
}  // namespace velk::platform
