// The window's hook for text (Ctrl+T and the dialog of src/ui/textdialog.h), kept apart from
// the dialog's own header so that the window's files need not see the text/ names.
#pragma once

namespace dotreel {

class frmMain;

// Ctrl+T opens the text dialog; presses on the grid choose where a stamp goes. Owned by the window.
void installTextTool(frmMain& window);

}  // namespace dotreel
