// The questions the editor puts to its user, as one small interface: the window supplies message
// boxes, tests a script. The file sequences and the handlers only ever ask through it.
#pragma once

#include <string>
#include <utility>
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
    // Captions of the program's own for some buttons; the others keep the standard ones.
    std::vector<std::pair<Answer, std::string>> captions;
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
                    Answer::Cancel,
                    {}});
    }
    // A warning with OK alone.
    void warn(const std::string& title, const std::string& text) {
        ask({DialogKind::Warning, title, text, {Answer::Ok}, Answer::Ok, Answer::Ok, {}});
    }
    // Yes or No; No is the default and what Escape chooses, so a slip does nothing.
    bool askYesNo(const std::string& title, const std::string& text) {
        return ask({DialogKind::Question,
                    title,
                    text,
                    {Answer::Yes, Answer::No},
                    Answer::No,
                    Answer::No,
                    {}}) == Answer::Yes;
    }
    // Save, Discard or Cancel, captioned 保存 / 破棄 / キャンセル; Return saves, Escape cancels.
    Answer askSaveDiscardCancel(const std::string& title, const std::string& text) {
        return ask(
            {DialogKind::Question,
             title,
             text,
             {Answer::Save, Answer::Discard, Answer::Cancel},
             Answer::Save,
             Answer::Cancel,
             {{Answer::Save, "保存"}, {Answer::Discard, "破棄"}, {Answer::Cancel, "キャンセル"}}});
    }
};

// Passes every question on to `inner` and knows while one is open: a timer's tick that arrives
// while a dialog waits for its answer must not run inside the handler that asked.
class TrackedDialogs : public Dialogs {
public:
    explicit TrackedDialogs(Dialogs& inner) : inner_(inner) {}
    Answer ask(const Dialog& dialog) override {
        struct Open {
            int& count;
            explicit Open(int& c) : count(c) { ++count; }
            ~Open() { --count; }
            Open(const Open&) = delete;
            Open& operator=(const Open&) = delete;
        } open(open_);
        return inner_.ask(dialog);
    }
    bool isOpen() const { return open_ > 0; }

private:
    Dialogs& inner_;
    int open_ = 0;
};

}  // namespace dotreel
