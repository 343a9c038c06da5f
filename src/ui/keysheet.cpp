#include "ui/keysheet.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/shortcuts.h"

namespace dotreel {

KeySheet::KeySheet(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setObjectName(QStringLiteral("keySheet"));
    const auto table = keyTable();
    auto* sheet = new QTableWidget(static_cast<int>(table.size()), 3, this);
    sheet->setObjectName(QStringLiteral("keyTable"));
    sheet->setHorizontalHeaderLabels(
        {QStringLiteral("キー / key"), QStringLiteral("意味"), QStringLiteral("does")});
    sheet->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sheet->verticalHeader()->hide();
    sheet->setWordWrap(true);
    int r = 0;
    for (const KeyRow& row : table) {
        sheet->setItem(r, 0, new QTableWidgetItem(keyNames(row)));
        sheet->setItem(r, 1, new QTableWidgetItem(QString::fromUtf8(row.japanese)));
        sheet->setItem(r, 2, new QTableWidgetItem(QString::fromUtf8(row.english)));
        ++r;
    }
    sheet->setColumnWidth(0, 150);
    sheet->setColumnWidth(1, 420);
    sheet->setColumnWidth(2, 420);
    sheet->resizeRowsToContents();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sheet);
    resize(1030, 700);
}

}  // namespace dotreel
