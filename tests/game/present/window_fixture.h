#pragma once
// The message and choice windows over the fake library: a wait cursor of
// four 16 x 16 frames, a 48 x 48 choice frame and a one-frame 24 x 24 choice
// cursor named in the system database, the game system, sound effects
// recorded, and frames run in the game's order (choice, then message).

#include <memory>
#include <string>
#include <vector>

#include "game/data/game_system.h"
#include "game/event/event_interpreter.h"
#include "game/present/game_windows.h"
#include "tests/game/present/text_fixture.h"

namespace velk::testing {

class WindowTest : public TextTest {
protected:
    WindowTest() {
        DbTypeData& graphics = databases_.system.types[kWindowGraphicsType];
        graphics.itemKinds = {2000, 1000};
        graphics.rows = {DbRow{{4}, {"cursor.png"}}, DbRow{{0}, {"frame.png"}}, DbRow{{1}, {"choice.png"}}};
        library_.files["Data\\cursor.png"] = ImageBytes(16, 64);
        library_.files["Data\\frame.png"] = ImageBytes(48, 48);
        library_.files["Data\\choice.png"] = ImageBytes(24, 24);
        interpreter_.block.sysVar10 = 0;
        Build();
    }
    ~WindowTest() override {
        ActiveWindowWaiters().SetMessageWaiter(nullptr);
        ActiveWindowWaiters().SetChoiceWaiter(-1, nullptr);
    }

    // The windows anew (after the database or the files changed).
    void Build() {
        choice_.reset();
        message_.reset();
        message_ = std::make_unique<MessageWindow>(context_);
        choice_ = std::make_unique<ChoiceWindow>(context_);
    }

    void Frame(const MenuInput& input = {}) {
        choice_->Update(input);
        message_->Update(input);
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            Frame();
    }
    // Frames until the choice window reacts to input (at most 100).
    void UntilChoiceReady() {
        for (int i = 0; i < 100 && !(choice_->open && choice_->delay < 1 && choice_->box.IsDisplayComplete() &&
                                     system_.choicesWithMessage == system_.messageWindowSignal);
             ++i) {
            Frame();
        }
    }

    // An unpaired choice of `items` (one text each, converted).
    void RequestChoice(const std::vector<std::string>& items, int32_t cancelValue = -1, int32_t options = 0) {
        system_.choiceRequest.clear();
        for (const std::string& item : items)
            system_.choiceRequest += ConvertEscapeCodes(store_, item, EscapeCodeOptions{}) + "\n";
        system_.choiceCount = static_cast<int32_t>(items.size());
        system_.choiceCancelValue = cancelValue;
        system_.choiceOptions = options;
    }

    // The waiting interpreter's case value, as the choice command's indent 0
    // holds it.
    void WaitForChoice() {
        waiter_.waitWindow = 1;
        waiter_.branchResult[0] = -12345;
        ActiveWindowWaiters().SetChoiceWaiter(0, &waiter_);
    }

    static MenuInput Press(bool confirm, bool cancel = false) {
        MenuInput input;
        input.confirm = confirm;
        input.cancel = cancel;
        return input;
    }
    static MenuInput Direction(int32_t direction) {
        MenuInput input;
        input.direction = direction;
        return input;
    }

    GameSystem system_;
    std::vector<int32_t> sounds_;
    EventInterpreter waiter_;
    WindowContext context_{library_,
                           cache_,
                           renderer_,
                           settings_,
                           store_,
                           databases_.system,
                           system_,
                           ActiveWindowWaiters(),
                           [this](int32_t number) { sounds_.push_back(number); }};
    std::unique_ptr<MessageWindow> message_;
    std::unique_ptr<ChoiceWindow> choice_;
};

}  // namespace velk::testing
