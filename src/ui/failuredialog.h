// The step-failure dialog: a modal warning with Retry and Cancel.
#pragma once

#include <string>

#include "app/steprunner.h"

class QWidget;

namespace dotreel {

// Shows `text` (its CR LF as a line break) under `title`; Retry is the default button and
// Escape answers Cancel.
Answer showFailureDialog(QWidget* parent, const std::string& title, const std::string& text);

}  // namespace dotreel
