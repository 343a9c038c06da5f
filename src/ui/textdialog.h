// Text on the grid, from a small dialog of its own (Ctrl+T): a "stamp" at the last dot clicked,
// unstored drawing like any other until 記憶, or a "marquee" into the frames from the frame on
// show, one step of the history. The grid previews the result while the text is typed; Cancel
// or Escape gives the grid back as it was, and the frame memory is never touched before OK.
#pragma once

#include <QDialog>
#include <QObject>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/frame.h"
#include "text/font.h"
#include "text/layout.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace dotreel {

class frmMain;

class TextDialog : public QDialog {
    Q_OBJECT
public:
    // `column`, `row`: where a stamp's pen starts (the last dot clicked).
    TextDialog(frmMain& window, int column, int row);
    ~TextDialog() override;

    QPlainTextEdit* textEdit;
    QComboBox* fontBox;  // installed named fonts, then font files chosen
    QSpinBox* sizeBox;   // 0: the font's own bitmap
    QRadioButton* stampOption;
    QRadioButton* marqueeOption;
    QSpinBox *xBox, *yBox;
    QCheckBox *overBox, *invertBox;
    QComboBox* directionBox;        // left, right, up, down
    QSpinBox *stepBox, *framesBox;  // framesBox 0: one pass
    QLabel* status;
    QDialogButtonBox* buttons;

    // Adds a font file to the font list and chooses it.
    void chooseFontFile(const QString& path);

public slots:
    void accept() override;
    void reject() override;

private:
    void refresh();  // the preview on the grid, and whether OK may be pressed
    text::Font* font(std::string& error);

    frmMain& window_;
    std::array<uint8_t, kFrameBytes> gridBefore_{};
    int firstFrame_;
    std::map<std::pair<std::string, int>, std::unique_ptr<text::Font>> fonts_;
    // What OK stores when the marquee is chosen: the laid-out text and where it goes.
    std::optional<text::TextBlock> block_;
    text::Marquee marquee_;
    int pass_ = 0;
    int count_ = 0;
};

// Installed on the window (which owns it): Ctrl+T opens the dialog, and every press on the grid
// is remembered as the stamp's place.
class TextTool : public QObject {
    Q_OBJECT
public:
    explicit TextTool(frmMain& window);
    TextDialog* open();  // nullptr while playback runs

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmMain& window_;
    int column_ = 0;
    int row_ = 0;
};

}  // namespace dotreel
