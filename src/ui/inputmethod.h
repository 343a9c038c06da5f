// Which input method the editor starts with.
#pragma once

namespace dotreel {

// Call before the application object is made. Every text box of the window takes a number, so
// the editor needs no input method: unless the user's environment names one (QT_IM_MODULE or
// QT_IM_MODULES, for a Japanese input method say), it starts without any. Qt's default one reads
// the compose tables, a millisecond or more of every start-up, for sequences no box takes.
void preferNoInputMethod();

}  // namespace dotreel
