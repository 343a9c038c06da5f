#include "ui/portdialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstdio>

namespace dotreel {

std::string portLine(const link::PortInfo& port) {
    std::string line = port.name;
    std::string about = port.description;
    if (!port.manufacturer.empty() && about.find(port.manufacturer) == std::string::npos)
        about += (about.empty() ? "" : ", ") + port.manufacturer;
    if (port.vid >= 0 && port.pid >= 0) {
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", port.vid & 0xFFFF, port.pid & 0xFFFF);
        about += (about.empty() ? "" : ", ") + std::string(ids);
    }
    if (!about.empty()) line += "  (" + about + ")";
    return line;
}

std::string askForPort(QWidget* parent, const std::vector<link::PortInfo>& ports) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromUtf8("パネルのポート"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(
        QString::fromUtf8(ports.empty()
                              ? "シリアルポートが見つかりません。名前を入力してください。\n"
                                "No serial port was found: type its name."
                              : "プレーヤーを書き込んだボードのシリアルポート：\n"
                                "The serial port of the board with the player:"),
        &dialog));
    auto* choice = new QComboBox(&dialog);
    choice->setEditable(true);
    choice->setMinimumContentsLength(40);
    for (const link::PortInfo& port : ports)
        choice->addItem(QString::fromStdString(portLine(port)), QString::fromStdString(port.name));
    layout->addWidget(choice);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return {};
    // A listed line stands for its port; anything typed is the name itself.
    const int index = choice->findText(choice->currentText());
    const QString name =
        index >= 0 ? choice->itemData(index).toString() : choice->currentText().trimmed();
    return name.toStdString();
}

}  // namespace dotreel
