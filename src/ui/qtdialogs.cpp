#include "ui/qtdialogs.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace dotreel {

namespace {

QMessageBox::StandardButton standardButton(Answer answer) {
    switch (answer) {
        case Answer::Ok:
            return QMessageBox::Ok;
        case Answer::Cancel:
            return QMessageBox::Cancel;
        case Answer::Retry:
            return QMessageBox::Retry;
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
        case Answer::Save:
            return QMessageBox::Save;
        case Answer::Discard:
            return QMessageBox::Discard;
    }
    return QMessageBox::NoButton;
}

}  // namespace

Answer QtDialogs::ask(const Dialog& dialog) {
    QString message = QString::fromStdString(dialog.text);
    message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QMessageBox::Icon icon =
        dialog.kind == DialogKind::Question ? QMessageBox::Question : QMessageBox::Warning;
    QMessageBox box(icon, QString::fromStdString(dialog.title), message, QMessageBox::NoButton,
                    parent_);
    box.setTextFormat(Qt::PlainText);
    for (const Answer button : dialog.buttons) box.addButton(standardButton(button));
    // Qt's standard captions follow its translation; these questions name their own.
    for (const auto& [button, caption] : dialog.captions)
        if (QAbstractButton* b = box.button(standardButton(button)))
            b->setText(QString::fromStdString(caption));
    box.setDefaultButton(standardButton(dialog.defaultButton));
    box.setEscapeButton(box.button(standardButton(dialog.escapeButton)));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    // A box closed without a button (by the window system) counts as Escape.
    for (const Answer button : dialog.buttons)
        if (box.clickedButton() != nullptr &&
            box.clickedButton() == box.button(standardButton(button)))
            return button;
    return dialog.escapeButton;
}

}  // namespace dotreel
