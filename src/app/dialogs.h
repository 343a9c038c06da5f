// The questions the editor puts to its user, as one small interface: the window supplies message
// boxes, tests a script. The file sequences and the handlers only ever ask through it.
#pragma once

#include <string>
#include <vector>

namespace dotreel {

// The buttons a dialog can offer. The numbers are the message box's answer codes, which the
// step runner keeps as text ("4" Retry, "2" Cancel).
enum class Answer { Ok = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7, Save = 101, Discard = 102 };

enum class DialogKind {
    StepFailure,  // a file step failed: Retry or Cancel
    Warning,      // input refused: OK
    Question,     // a choice between the listed buttons
};

struct Dialog {
    DialogKind kind = DialogKind::Warning;
    std::string title;
    std::string text;  // a CR LF is a line break
    std::vector<Answer> buttons;
    Answer defaultButton = Answer::Ok;  // what Return chooses
    Answer escapeButton = Answer::Ok;   // what Escape or closing the box chooses
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Shows `dialog` modally and returns the button chosen, always one of `dialog.buttons`.
    virtual Answer ask(const Dialog& dialog) = 0;

    // A failed step: Retry (the default) or Cancel (also Escape).
    Answer stepFailed(const std::string& title, const std::string& text) {
        return ask({DialogKind::StepFailure,
                    title,
                    text,
                    {Answer::Retry, Answer::Cancel},
                    Answer::Retry,
                    Answer::Cancel});
    }
    // A warning with OK alone.
    void warn(const std::string& title, const std::string& text) {
        ask({DialogKind::Warning, title, text, {Answer::Ok}, Answer::Ok, Answer::Ok});
    }
    // Yes or No; No is the default and what Escape chooses, so a slip does nothing.
    bool askYesNo(const std::string& title, const std::string& text) {
        return ask({DialogKind::Question,
                    title,
                    text,
                    {Answer::Yes, Answer::No},
                    Answer::No,
                    Answer::No}) == Answer::Yes;
    }
};

}  // namespace dotreel
