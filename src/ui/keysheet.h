// The key sheet (F1, ?): every key and modifier of the window with what it does, in Japanese and
// English, read from the one key table (ui/shortcuts). A window of its own: the main window
// keeps every control as it is.
#pragma once

#include <QDialog>

namespace dotreel {

class KeySheet : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "キー一覧 / Keys";
    explicit KeySheet(QWidget* parent);
};

}  // namespace dotreel
