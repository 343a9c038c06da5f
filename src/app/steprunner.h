// Runs the fallible statements of a handler. When one fails, the user is asked Retry or Cancel:
// Retry runs the same statement again (its variables as they were), Cancel gives up the handler.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "app/modmain.h"
#include "platform/errors.h"

namespace dotreel {

enum class Answer { Retry = 4, Cancel = 2 };

// Shows the step-failure dialog: a title and a text; returns the user's choice.
using FailurePrompt = std::function<Answer(const std::string& title, const std::string& text)>;

// The dialog text: the step name, "に失敗しました", a line break, the error's description.
std::string stepFailureText(const std::string& stepName, const std::string& description);

class StepRunner {
public:
    StepRunner(ModMain& state, FailurePrompt prompt, std::string title)
        : state_(state), prompt_(std::move(prompt)), title_(std::move(title)) {}

    // Runs `statement` until it succeeds (true) or the user cancels after a failure (false).
    // On false the caller leaves its handler at once.
    template <class Statement>
    bool operator()(Statement&& statement) {
        for (;;) {
            try {
                statement();
                return true;
            } catch (const PlatformError& e) {
                if (!askRetry(e)) return false;
            }
        }
    }

    const std::string& title() const { return title_; }

private:
    bool askRetry(const PlatformError& error);

    ModMain& state_;
    FailurePrompt prompt_;
    std::string title_;
};

}  // namespace dotreel
