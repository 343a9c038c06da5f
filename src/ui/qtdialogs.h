// The window's dialogs as message boxes: failures and warnings with the warning icon, questions
// with the question icon, each modal until it is answered.
#pragma once

#include "app/dialogs.h"

class QWidget;

namespace dotreel {

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}

    // The text's CR LF becomes a line break; the text is shown as plain text.
    Answer ask(const Dialog& dialog) override;

private:
    QWidget* parent_;
};

}  // namespace dotreel
