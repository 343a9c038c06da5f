// Runs the fallible statements of a handler. When one fails, the user is asked Retry or Cancel:
// Retry runs the same statement again (its variables as they were), Cancel gives up the handler.
#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/dialogs.h"
#include "app/modmain.h"
#include "platform/errors.h"

namespace dotreel {

// The dialog text: the step name, "に失敗しました", a line break, the error's description.
std::string stepFailureText(const std::string& stepName, const std::string& description);

class StepRunner {
public:
    StepRunner(ModMain& state, Dialogs& dialogs, std::string title)
        : state_(state), dialogs_(dialogs), title_(std::move(title)) {}

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
            } catch (const std::bad_alloc&) {
                // Out of memory is a failed step like any other: the user may close something
                // and retry, or give up; the program goes on either way.
                if (!askRetry(outOfMemoryError())) return false;
            } catch (const std::length_error&) {
                if (!askRetry(outOfMemoryError())) return false;
            }
        }
    }

    const std::string& title() const { return title_; }

private:
    bool askRetry(const PlatformError& error);

    ModMain& state_;
    Dialogs& dialogs_;
    std::string title_;
};

}  // namespace dotreel
