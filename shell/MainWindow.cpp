#include "shell/MainWindow.h"
#include "ui_MainWindow.h"

#include "core/ProgramFolder.h"
#include "shell/AboutDialog.h"
#include "shell/Pictures.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace kelmo::shell {

QString userManualPath() {
    return findUserManual();
}

namespace {

// Offers the editions of the manual in turn until a program of the desktop opens one (a
// desktop without a PDF viewer may still show the Word edition); when none opens, the user
// is told what to install.
void openManualEdition(QWidget* window, const QStringList& editions, qsizetype index) {
    const QPointer<QWidget> owner(window);
    ui::openWithDesktop(editions[index], [owner, editions, index] {
        if (index + 1 < editions.size()) {
            openManualEdition(owner, editions, index + 1);
            return;
        }
        QStringList names;
        for (const QString& path : editions) {
            names.append(QStringLiteral("«%1»").arg(QDir::toNativeSeparators(path)));
        }
        ui::Messages::warning(
            owner, QStringLiteral("Внимание!"),
            QStringLiteral("Не удалось открыть инструкцию пользователя %1: нет программы для "
                           "просмотра таких файлов. Установите программу для просмотра PDF, "
                           "например Evince, или для документов Word, например LibreOffice "
                           "Writer, и средство открытия файлов рабочего стола (sudo apt install "
                           "evince xdg-utils).")
                .arg(names.join(QStringLiteral(", "))));
    });
}

} // namespace

MainWindow::MainWindow(const QList<WorkWindow>& available, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::MainWindow>()) {
    m_ui->setupUi(this);
    QLabel* const subtitleLabel = m_ui->Label2;
    QLabel* const backdrop = m_ui->Image1;
    QLabel* const explosionPicture = m_ui->vzr;

    // The caption "-" means a separator line; as text it would show beside the line.
    m_ui->dd->setSeparator(true);
    m_ui->dd->setText(QString());
    QFont subtitle = subtitleLabel->font();
    subtitle.setPointSizeF(9.75);
    subtitleLabel->setFont(subtitle);
    backdrop->setPixmap(cloudySky(QSize(1366, 768)));
    explosionPicture->setPixmap(explosionDrawing(QSize(320, 220)));

    const std::pair<QAction*, WorkWindow> items[] = {
        {m_ui->mnuZone, WorkWindow::Zone},
        {m_ui->mnuPlan, WorkWindow::Plan},
        {m_ui->mnuRezerv, WorkWindow::StructureTypes},
        {m_ui->mnuKvv, WorkWindow::Explosives},
    };
    for (const auto& [action, window] : items) {
        action->setEnabled(available.contains(window));
        connect(action, &QAction::triggered, this,
                [this, w = window] { emit workWindowRequested(w); });
    }
    connect(m_ui->mnuExit, &QAction::triggered, this, &MainWindow::exitRequested);
    connect(m_ui->He, &QAction::triggered, this, &MainWindow::openManual);
    connect(m_ui->Hel, &QAction::triggered, this, &MainWindow::aboutRequested);
}

MainWindow::~MainWindow() = default;

void MainWindow::openManual() {
    const QStringList editions = userManualEditions();
    if (editions.isEmpty()) {
        const ProgramFolders folders = programFolders();
        const QString remedy =
            folders.layout == FileLayout::Installed
                ? QStringLiteral("Переустановите пакет kelmo (sudo apt install --reinstall kelmo).")
                : QStringLiteral("Соберите программу заново (make build) или скопируйте файл "
                                 "в эту папку.");
        ui::Messages::warning(this, QStringLiteral("Внимание!"),
                              QStringLiteral("Инструкция пользователя не найдена: в папке «%1» "
                                             "нет файла «%2.docx» (подойдёт также .pdf, .doc или "
                                             ".odt). %3")
                                  .arg(QDir::toNativeSeparators(folders.shared),
                                       QString::fromUtf8(kUserManualBaseName), remedy));
        return;
    }
    openManualEdition(this, editions, 0);
}

} // namespace kelmo::shell
