#include "windows/plan/StructureFileImport.h"

#include "core/SafeFile.h"
#include "data/StructureImport.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"
#include "windows/plan/StructureEditor.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace kelmo::plan {

QString chooseStructuresFile(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Сооружения из файла CSV"),
                                        QString(),
                                        QStringLiteral("Файлы CSV (*.csv *.txt);;Все файлы (*)"));
}

bool importStructuresFile(QWidget* parent, const QString& connectionString, int plan,
                          const QString& path) {
    const QString title = QStringLiteral("Внимание!");
    try {
        checkReadableFile(path); // a device or a pipe could be read without end
    } catch (const Error& e) {
        ui::Messages::warning(parent, title, QString::fromUtf8(e.what()));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui::Messages::warning(parent, title,
                              QStringLiteral("Файл «%1» не открывается: %2")
                                  .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    db::StructureImport result;
    try {
        db::Connection c(connectionString);
        ui::ProgressDialog progress(
            parent, QStringLiteral("Сооружения из файла"),
            QStringLiteral("Чтение файла «%1»…").arg(QFileInfo(path).fileName()));
        result = db::importStructures(c, plan, file, [&](qint64 done, qint64 total) {
            // Percent of the file, so that a file of gigabytes fits the dialog's int.
            progress.update(total > 0 ? static_cast<int>(done * 100 / total) : 0,
                            total > 0 ? 100 : 0);
            return true;
        });
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
