#include "windows/plan/StructureFileImport.h"

#include "data/StructureImport.h"
#include "ui/Messages.h"
#include "windows/plan/StructureEditor.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

namespace kelmo::plan {

QString chooseStructuresFile(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Сооружения из файла CSV"),
                                        QString(),
                                        QStringLiteral("Файлы CSV (*.csv *.txt);;Все файлы (*)"));
}

bool importStructuresFile(QWidget* parent, const QString& connectionString, int plan,
                          const QString& path) {
    const QString title = QStringLiteral("Внимание!");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui::Messages::warning(parent, title,
                              QStringLiteral("Файл «%1» не открывается: %2")
                                  .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    db::StructureImport result;
    try {
        db::Connection c(connectionString);
        result = db::importStructures(c, plan, bytes);
    } catch (const Error& e) {
        reportPlanError(parent, QStringLiteral("Сооружения не добавлены."), e);
        return false;
    }
    if (!result.refused.isEmpty()) {
        ui::Messages::warning(parent, title,
                              QStringLiteral("Сооружения из файла не добавлены: в нём есть "
                                             "строки, которые нельзя принять. Исправьте их и "
                                             "повторите импорт.\n\n%1")
                                  .arg(db::refusalReport(result.refused)));
        return false;
    }
    const int last = result.firstNumber + static_cast<int>(result.records.size()) - 1;
    const QString numbers = last == result.firstNumber
                                ? QStringLiteral("№%1").arg(last)
                                : QStringLiteral("№%1–№%2").arg(result.firstNumber).arg(last);
    ui::Messages::info(
        parent, QStringLiteral("Расчет инженерной обстановки с использованием плана местности"),
        QStringLiteral("Добавлено сооружений: %1 (%2).").arg(result.records.size()).arg(numbers));
    return true;
}

} // namespace kelmo::plan
