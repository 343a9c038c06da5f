// The dialogs of a test: every question is recorded (kind, title, text) and answered from a
// script, so no test ever waits on a real message box.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/dialogs.h"

namespace dotreel::testing {

struct ScriptedDialogs : Dialogs {
    struct Call {
        DialogKind kind;
        std::string title;
        std::string text;
        std::vector<Answer> buttons;
    };

    // Answered in order. Once used up, every dialog gets its Escape answer (Cancel, No or OK),
    // so a test that asks more than it scripted ends instead of retrying for ever.
    std::deque<Answer> answers;
    std::vector<Call> calls;
    // Runs while the dialog is open, before it is answered: the user fixing the cause (putting a
    // file back) before Retry. Gets the call's index, counting from 0.
    std::function<void(size_t callIndex)> beforeAnswer;

    Answer ask(const Dialog& dialog) override {
        calls.push_back({dialog.kind, dialog.title, dialog.text, dialog.buttons});
        if (beforeAnswer) beforeAnswer(calls.size() - 1);
        if (answers.empty()) return dialog.escapeButton;
        const Answer next = answers.front();
        answers.pop_front();
        // A script that answers with a button the dialog does not have is itself wrong.
        if (std::find(dialog.buttons.begin(), dialog.buttons.end(), next) == dialog.buttons.end())
            throw std::logic_error("scripted answer is not a button of dialog " + dialog.title);
        return next;
    }

    std::vector<std::string> titles() const { return field(&Call::title); }
    std::vector<std::string> texts() const { return field(&Call::text); }
    size_t count(DialogKind kind) const {
        return static_cast<size_t>(std::count_if(calls.begin(), calls.end(),
                                                 [kind](const Call& c) { return c.kind == kind; }));
    }

private:
    std::vector<std::string> field(std::string Call::*member) const {
        std::vector<std::string> out;
        for (const Call& c : calls) out.push_back(c.*member);
        return out;
    }
};

}  // namespace dotreel::testing
