#include "ui/failuredialog.h"

#include <QMessageBox>
#include <QPushButton>

namespace dotreel {

Answer showFailureDialog(QWidget* parent, const std::string& title, const std::string& text) {
    QString message = QString::fromStdString(text);
    message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(title), message,
                    QMessageBox::Retry | QMessageBox::Cancel, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Cancel);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Retry ? Answer::Retry : Answer::Cancel;
}

}  // namespace dotreel
