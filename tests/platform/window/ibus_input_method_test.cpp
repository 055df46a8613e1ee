// The IBus back-end against a real daemon: a private ibus-daemon with the
// Anthy engine under its own D-Bus session, started and stopped by the test
// and skipped with a message where it cannot run.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

// A loaded machine may take many times longer to start the daemon and its
// engine than an idle one; waits end as soon as what they wait for is there,
// so a generous bound costs nothing when all is well.
constexpr auto kPatience = std::chrono::seconds(180);
constexpr const char* kEngineComponent = "org.freedesktop.IBus.Anthy";

// Polls `done` every `interval` until it holds or kPatience has passed.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds interval) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

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
        // The daemon gives up on an engine whose start takes longer than its
        // reply timeout (15 s by default) and drops its connection.
        const std::string timeout_option = "--timeout=" + std::to_string(std::chrono::milliseconds(kPatience).count());
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            // The system's own programs: the engine runs on the system's
            // Python and its GObject bindings.
            const char* environment[] = {config.c_str(),       cache.c_str(),  home.c_str(),
                                         "PATH=/usr/bin:/bin", "LANG=C.UTF-8", nullptr};
            const char* arguments[] = {"dbus-run-session",
                                       "--",
                                       "ibus-daemon",
                                       "--panel=disable",
                                       "--emoji-extension=disable",
                                       "--cache=none",
                                       address_option.c_str(),
                                       timeout_option.c_str(),
                                       nullptr};
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
            if (!Running()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(-pid_, SIGTERM);
        waitpid(pid_, &status, 0);
    }

    // Whether the daemon's socket appeared while the daemon ran.
    bool Ready() {
        WaitUntil([&] { return std::filesystem::exists(socket_) || !Running(); }, std::chrono::milliseconds(50));
        return std::filesystem::exists(socket_) && Running();
    }

    bool Running() {
        if (exited_) return false;
        int status = 0;
        exited_ = waitpid(pid_, &status, WNOHANG) == pid_;
        return !exited_;
    }

    // What the daemon last told of itself, for a failure's message: whether
    // it runs and whether the engine's process has joined its bus.
    std::string Describe() {
        std::string description = Running() ? "the daemon runs" : "the daemon has exited";
        IBusBus* bus = ibus_bus_new();
        if (bus == nullptr || ibus_bus_is_connected(bus) == FALSE) {
            description += ", its bus does not answer";
        } else {
            description += ibus_bus_name_has_owner(bus, kEngineComponent) != FALSE ? ", the engine is on its bus"
                                                                                   : ", the engine is not on its bus";
        }
        if (bus != nullptr) g_object_unref(bus);
        return description;
    }

    const std::string& address() const { return address_; }

private:
    std::string address_;
    std::filesystem::path socket_;
    pid_t pid_ = -1;
    bool exited_ = false;
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
    // up: the half-width/full-width key, taken, switches it to kana. On
    // failure, the message says what the engine and the daemon last answered.
    ::testing::AssertionResult SwitchToKana() {
        int tries = 0;
        size_t events_seen = 0;
        const bool taken = WaitUntil(
            [&] {
                ++tries;
                const bool key_taken = method_->FilterKey(InputMethodKey{vk::kKanji, false, false, false, false});
                method_->FilterKey(InputMethodKey{vk::kKanji, false, false, false, true});
                std::vector<InputMethodEvent> events;
                method_->PumpEvents(events);
                events_seen += events.size();
                return key_taken;
            },
            std::chrono::milliseconds(50));
        if (taken) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "the Anthy engine never took a key: " << tries << " presses over "
               << std::chrono::duration_cast<std::chrono::seconds>(kPatience).count() << " s were all passed on, with "
               << events_seen << " reports from the engine; " << daemon_->Describe();
    }

    // Pumps until the condition holds on the latest report of its kind.
    template <typename Condition>
    std::optional<InputMethodEvent> WaitFor(InputMethodEvent::Kind kind, Condition&& condition) {
        auto& latest = latest_[static_cast<int>(kind)];
        WaitUntil(
            [&] {
                std::vector<InputMethodEvent> events;
                method_->PumpEvents(events);
                for (auto& event : events) {
                    if (event.kind == kind) latest = event;
                }
                return latest && condition(*latest);
            },
            std::chrono::milliseconds(25));
        return latest;
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
    ASSERT_TRUE(SwitchToKana());
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
