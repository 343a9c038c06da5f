// The dialogs of a benchmark: every question is answered by one function of title and text, so
// no run ever waits on a message box.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "app/dialogs.h"

namespace dotreel {

class AnsweringDialogs : public Dialogs {
public:
    using Answerer = std::function<Answer(const std::string& title, const std::string& text)>;
    explicit AnsweringDialogs(Answerer answer) : answer_(std::move(answer)) {}
    Answer ask(const Dialog& dialog) override { return answer_(dialog.title, dialog.text); }

private:
    Answerer answer_;
};

}  // namespace dotreel
