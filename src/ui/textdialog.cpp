#include "ui/textdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

#include "draw/hittest.h"
#include "ui/frmmain.h"
#include "ui/texttool.h"

namespace dotreel {
namespace {

const char kOtherFont[] = "ファイル… (file…)";

bool installed(const text::NamedFont& font) {
    for (const auto file : font.files)
        if (!QFileInfo(QString::fromUtf8(text::kX11FontFolder) + "/" +
                       QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size())))
                 .isFile())
            return false;
    return true;
}

// The grid's dots as a frame's bytes: -1 is on, as 記憶 counts it.
std::array<uint8_t, kFrameBytes> gridBytes(const DotGrid& grid) {
    std::array<uint8_t, kFrameBytes> bytes{};
    for (int d = 0; d < kDotCount; ++d)
        if (grid.intDot[static_cast<size_t>(d)] == kDotOn)
            bytes[static_cast<size_t>(d / 8)] |= static_cast<uint8_t>(1U << (d % 8));
    return bytes;
}

std::span<uint8_t, kFrameBytes> frameOf(FrameMemory& memory, int frame) {
    return std::span<uint8_t, kFrameBytes>(
        memory.data() + static_cast<ptrdiff_t>(frame) * kFrameBytes, kFrameBytes);
}

}  // namespace

TextDialog::TextDialog(frmMain& window, int column, int row)
    : QDialog(&window), window_(window), firstFrame_(window.hscFrame[0]->value()) {
    setObjectName("textDialog");
    setWindowTitle(QString::fromUtf8("文字 (text)"));
    gridBefore_ = gridBytes(window.state().dots);

    textEdit = new QPlainTextEdit(this);
    textEdit->setObjectName("text");
    textEdit->setTabChangesFocus(true);
    textEdit->setFixedHeight(textEdit->fontMetrics().lineSpacing() * 3 + 12);
    fontBox = new QComboBox(this);
    fontBox->setObjectName("font");
    for (const auto& named : text::namedFonts())
        if (installed(named))
            fontBox->addItem(
                QString::fromUtf8(named.name.data(), static_cast<qsizetype>(named.name.size())));
    fontBox->addItem(QString::fromUtf8(kOtherFont));
    fontBox->setCurrentText(QString::fromUtf8(text::kDefaultFont));
    sizeBox = new QSpinBox(this);
    sizeBox->setObjectName("size");
    sizeBox->setRange(0, 256);
    sizeBox->setSpecialValueText(QString::fromUtf8("—"));
    sizeBox->setSuffix(" px");

    stampOption = new QRadioButton("stamp", this);
    stampOption->setObjectName("stamp");
    marqueeOption = new QRadioButton("marquee", this);
    marqueeOption->setObjectName("marquee");
    stampOption->setChecked(true);
    xBox = new QSpinBox(this);
    xBox->setObjectName("x");
    xBox->setRange(-1000, 1000);
    xBox->setValue(column);
    yBox = new QSpinBox(this);
    yBox->setObjectName("y");
    yBox->setRange(-1000, 1000);
    yBox->setValue(row);
    overBox = new QCheckBox(QString::fromUtf8("重ねる (over)"), this);
    overBox->setObjectName("over");
    // A stamp is drawing on the grid: it goes over what is drawn unless told otherwise.
    overBox->setChecked(true);
    invertBox = new QCheckBox(QString::fromUtf8("反転 (invert)"), this);
    invertBox->setObjectName("invert");
    directionBox = new QComboBox(this);
    directionBox->setObjectName("direction");
    directionBox->addItems({"left", "right", "up", "down"});
    stepBox = new QSpinBox(this);
    stepBox->setObjectName("step");
    stepBox->setRange(1, kColumns);
    framesBox = new QSpinBox(this);
    framesBox->setObjectName("frames");
    framesBox->setRange(0, kFrameCount);
    framesBox->setSpecialValueText(QString::fromUtf8("1 pass"));
    status = new QLabel(this);
    status->setObjectName("status");
    status->setWordWrap(true);
    status->setMinimumWidth(360);
    // Room for two lines from the start, so that a message does not squeeze the form.
    status->setMinimumHeight(status->fontMetrics().lineSpacing() * 2);
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8("文字 text"), textEdit);
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(fontBox, 1);
    fontRow->addWidget(sizeBox);
    form->addRow(QString::fromUtf8("フォント font"), fontRow);
    auto* stampRow = new QHBoxLayout;
    stampRow->addWidget(stampOption);
    stampRow->addWidget(new QLabel("x", this));
    stampRow->addWidget(xBox);
    stampRow->addWidget(new QLabel("y", this));
    stampRow->addWidget(yBox);
    stampRow->addStretch();
    form->addRow(QString(), stampRow);
    auto* marqueeRow = new QHBoxLayout;
    marqueeRow->addWidget(marqueeOption);
    marqueeRow->addWidget(directionBox);
    marqueeRow->addWidget(new QLabel("step", this));
    marqueeRow->addWidget(stepBox);
    marqueeRow->addWidget(new QLabel("frames", this));
    marqueeRow->addWidget(framesBox);
    marqueeRow->addStretch();
    form->addRow(QString(), marqueeRow);
    auto* paintRow = new QHBoxLayout;
    paintRow->addWidget(overBox);
    paintRow->addWidget(invertBox);
    paintRow->addStretch();
    form->addRow(QString(), paintRow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &TextDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TextDialog::reject);
    // Return writes a line break in the text; Ctrl+Return is OK.
    auto* okKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    connect(okKey, &QShortcut::activated, this, [this] {
        if (buttons->button(QDialogButtonBox::Ok)->isEnabled()) accept();
    });
    const auto update = [this] { refresh(); };
    connect(textEdit, &QPlainTextEdit::textChanged, this, update);
    connect(fontBox, &QComboBox::activated, this, [this](int index) {
        if (fontBox->itemText(index) == QString::fromUtf8(kOtherFont)) {
            const QString path = QFileDialog::getOpenFileName(
                this, QString::fromUtf8("フォント (font)"), QString::fromUtf8(text::kX11FontFolder),
                "Fonts (*.bdf *.pcf *.pcf.gz *.otb *.ttf *.otf);;All files (*)");
            if (!path.isEmpty()) {
                chooseFontFile(path);
                return;
            }
            fontBox->setCurrentText(QString::fromUtf8(text::kDefaultFont));
        }
        refresh();
    });
    for (QSpinBox* box : {sizeBox, xBox, yBox, stepBox, framesBox})
        connect(box, &QSpinBox::valueChanged, this, update);
    for (QAbstractButton* box :
         std::initializer_list<QAbstractButton*>{stampOption, marqueeOption, overBox, invertBox})
        connect(box, &QAbstractButton::toggled, this, update);
    connect(directionBox, &QComboBox::currentIndexChanged, this, update);
    // A stamp goes over the drawing, a marquee fills its frames with the text alone (as the
    // tool does); either can be changed after choosing.
    connect(marqueeOption, &QRadioButton::toggled, overBox,
            [this](bool marquee) { overBox->setChecked(!marquee); });
    refresh();
}

TextDialog::~TextDialog() = default;

void TextDialog::chooseFontFile(const QString& path) {
    if (fontBox->findText(path) < 0) fontBox->insertItem(fontBox->count() - 1, path);
    fontBox->setCurrentText(path);
    refresh();
}

text::Font* TextDialog::font(std::string& error) {
    const std::string name = fontBox->currentText().toStdString();
    const std::pair key{name, sizeBox->value()};
    if (const auto it = fonts_.find(key); it != fonts_.end()) return it->second.get();
    try {
        return fonts_.emplace(key, text::Font::open(name, sizeBox->value())).first->second.get();
    } catch (const text::TextError& e) {
        error = e.what();
        return nullptr;
    }
}

void TextDialog::refresh() {
    DotGrid& grid = window_.state().dots;
    block_.reset();
    const bool marquee = marqueeOption->isChecked();
    const auto direction = text::directionByName(directionBox->currentText().toStdString())
                               .value_or(text::Direction::Left);
    stepBox->setMaximum(text::largestStep(direction));
    xBox->setEnabled(!marquee || !text::horizontal(direction));
    yBox->setEnabled(!marquee || text::horizontal(direction));
    std::string error;
    text::TextBlock block;
    if (text::Font* f = font(error)) {
        try {
            block = text::layOut(*f, text::decodeUtf8(textEdit->toPlainText().toStdString()));
        } catch (const text::TextError& e) {
            error = e.what();
        }
    }
    const text::Paint paint{overBox->isChecked(), invertBox->isChecked()};
    QString message;
    std::array<uint8_t, kFrameBytes> shown = gridBefore_;
    if (error.empty() && !marquee) {
        const text::Clipping c = text::stamp(block, xBox->value(), yBox->value(), paint, shown);
        if (c.any())
            message = QString::fromUtf8(
                          "パネルの外のドットは描きません (dots off the panel left "
                          "out: %1 columns, %2 rows)")
                          .arg(c.columns)
                          .arg(c.rows);
    } else if (error.empty()) {
        marquee_ = {direction, stepBox->value(),
                    text::horizontal(direction) ? yBox->value() : xBox->value()};
        pass_ = text::passLength(block, marquee_);
        count_ = framesBox->value() == 0 ? pass_ : framesBox->value();
        const int last = firstFrame_ + count_ - 1;
        if (pass_ == 0) {
            error = "the text lights no dot: nothing to scroll";
        } else if (last > kLastFrame) {
            error = "the marquee needs " + std::to_string(count_) + " frames from frame " +
                    std::to_string(firstFrame_) + ", past frame 267 (room for " +
                    std::to_string(kFrameCount - firstFrame_) + "): fewer frames or a larger step";
        } else {
            // The middle of the pass, where the text stands about in the middle of the panel,
            // or the last frame written when the count cuts the pass shorter.
            const int k = std::min(pass_ / 2, count_ - 1);
            if (paint.over) {
                const FrameMemory& memory = window_.state().bytFrameData();
                std::copy_n(memory.data() + static_cast<ptrdiff_t>(firstFrame_ + k) * kFrameBytes,
                            kFrameBytes, shown.begin());
            }
            const auto [px, py] = text::marqueePen(block, marquee_, k);
            text::stamp(block, px, py, paint, shown);
            message = QString::fromUtf8(
                          "フレーム %1..%2 (frames %1..%2, %3 a pass); "
                          "グリッドはフレーム %4 (the grid shows frame %4)")
                          .arg(firstFrame_)
                          .arg(last)
                          .arg(pass_)
                          .arg(firstFrame_ + k);
            block_ = std::move(block);
        }
    }
    if (!error.empty()) message = QString::fromStdString(error);
    grid.putFrame(shown);
    status->setText(message);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(error.empty());
}

void TextDialog::accept() {
    if (marqueeOption->isChecked()) {
        if (!block_) return;
        const text::Paint paint{overBox->isChecked(), invertBox->isChecked()};
        window_.changeMemory([&](FrameMemory& memory) {
            for (int k = 0; k < count_; ++k) {
                const auto [px, py] = text::marqueePen(*block_, marquee_, k % pass_);
                text::stamp(*block_, px, py, paint, frameOf(memory, firstFrame_ + k));
            }
        });
    }
    // A stamp stays on the grid as it is previewed: drawing, until 記憶.
    QDialog::accept();
}

void TextDialog::reject() {
    window_.state().dots.putFrame(gridBefore_);
    QDialog::reject();
}

void installTextTool(frmMain& window) { new TextTool(window); }

TextTool::TextTool(frmMain& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
}

TextDialog* TextTool::open() {
    // Playback rewrites the grid on every tick; the dialog waits until it stops.
    if (window_.cmdFrame[2]->text() != "START") return nullptr;
    auto* dialog = new TextDialog(window_, column_, row_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Below the grid, over the control groups, so that the preview stays in sight.
    dialog->move(window_.mapToGlobal(QPoint(28, 265)));
    dialog->open();
    return dialog;
}

bool TextTool::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) return false;
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto dot = dotAtTwips(static_cast<float>(mouse->position().x() * 15),
                                    static_cast<float>(mouse->position().y() * 15));
        if (dot) {
            column_ = dotColumn(*dot);
            row_ = dotRow(*dot);
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_T && key->modifiers() == Qt::ControlModifier) {
            open();
            return true;
        }
    }
    return false;
}

}  // namespace dotreel
