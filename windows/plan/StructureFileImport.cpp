#include "windows/plan/StructureFileImport.h"

#include "core/FileError.h"
#include "core/SafeFile.h"
#include "data/StructureImport.h"
#include "ui/BackgroundWork.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"
#include "windows/plan/StructureEditor.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <atomic>
#include <memory>

namespace kelmo::plan {

QString chooseStructuresFile(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Сооружения из файла CSV"),
                                        QString(),
                                        QStringLiteral("Файлы CSV (*.csv *.txt);;Все файлы (*)"));
}

namespace {

// "Добавлено сооружений: 3 (№4–№6)."
QString addedText(const db::StructureImport& result) {
    const int last = result.firstNumber + static_cast<int>(result.records.size()) - 1;
    const QString numbers = last == result.firstNumber
                                ? QStringLiteral("№%1").arg(last)
                                : QStringLiteral("№%1–№%2").arg(result.firstNumber).arg(last);
    return QStringLiteral("Добавлено сооружений: %1 (%2).").arg(result.records.size()).arg(numbers);
}

const QString kAddedTitle =
    QStringLiteral("Расчет инженерной обстановки с использованием плана местности");

} // namespace

bool importStructuresFile(QWidget* parent, const QString& connectionString, int plan,
                          const QString& path, std::function<void()> storedLate) {
    const QString title = QStringLiteral("Внимание!");
    try {
        checkReadableFile(path); // a device or a pipe could be read without end
    } catch (const Error& e) {
        ui::Messages::warning(parent, title, QString::fromUtf8(e.what()));
        return false;
    }
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ui::Messages::warning(parent, title,
                                  QStringLiteral("Файл «%1» не открывается: %2")
                                      .arg(QDir::toNativeSeparators(path), file.errorString()));
            return false;
        }
    }
    // The file is read and stored on a worker with a connection of its own; filled there and
    // read here only after it ended.
    struct Outcome {
        db::StructureImport result;
        bool read = false;
        QString error;
    };
    const auto outcome = std::make_shared<Outcome>();
    const ui::BackgroundProgress percent = ui::makeBackgroundProgress();
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    auto work = [connectionString, plan, path, outcome, percent, stop] {
        try {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                throw FileError(QStringLiteral("Файл «%1» не открывается: %2")
                                    .arg(QDir::toNativeSeparators(path), file.errorString()));
            }
            db::Connection c(connectionString);
            outcome->result = db::importStructures(c, plan, file, [&](qint64 done, qint64 total) {
                // Percent of the file, so that a file of gigabytes fits the dialog's int.
                *percent = total > 0 ? static_cast<int>(done * 100 / total) : -1;
                return !*stop;
            });
        } catch (const Error& e) {
            outcome->error = QString::fromUtf8(e.what());
            throw;
        }
        outcome->read = true;
        return true;
    };
    // An import given up on while it was being stored may reach the database after all.
    const auto ended = [parent, title, outcome, storedLate = std::move(storedLate)] {
        if (outcome->read && outcome->result.refused.isEmpty()) {
            ui::Messages::info(parent, kAddedTitle, addedText(outcome->result));
            if (storedLate) {
                storedLate();
            }
            return;
        }
        ui::Messages::warning(
            parent, title,
            outcome->error.isEmpty()
                ? QStringLiteral("Сооружения из файла не добавлены.")
                : QStringLiteral("Сооружения из файла не добавлены.\n%1").arg(outcome->error));
    };
    std::optional<bool> done;
    try {
        done = ui::runInBackground(
            parent, QStringLiteral("Чтение файла «%1»…").arg(QFileInfo(path).fileName()),
            std::move(work), ended, percent);
    } catch (const Error& e) {
        reportPlanError(parent, QStringLiteral("Сооружения не добавлены."), e);
        return false;
    }
    if (!done) {
        *stop = true; // the reading stops; a store under way goes on
        ui::Messages::warning(
            parent, title,
            QStringLiteral("Ожидание прервано. Неизвестно, добавлены ли сооружения из файла "
                           "«%1»: когда работа закончится, программа скажет, что хранит база "
                           "данных.")
                .arg(QFileInfo(path).fileName()));
        return false;
    }
    const db::StructureImport& result = outcome->result;
    if (!result.refused.isEmpty()) {
        ui::Messages::warning(parent, title,
                              QStringLiteral("Сооружения из файла не добавлены: в нём есть "
                                             "строки, которые нельзя принять. Исправьте их и "
                                             "повторите импорт.\n\n%1")
                                  .arg(db::refusalReport(result.refused)));
        return false;
    }
    ui::Messages::info(parent, kAddedTitle, addedText(result));
    return true;
}

} // namespace kelmo::plan
