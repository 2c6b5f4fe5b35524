// Start-up, the data-source dialog, the main menu and the About window, driven by objectName
// with the message helper intercepted. The ODBC cases use unixODBC with the SQLite3 ODBC driver
// set up in a temporary folder.

#include "core/ProgramFolder.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/ExplosiveCatalogue.h"
#include "data/ProbitTable.h"
#include "data/SchemaVersion.h"
#include "shell/AboutDialog.h"
#include "shell/Application.h"
#include "shell/DataSourceDialog.h"
#include "shell/MainWindow.h"
#include "shell/Navigator.h"
#include "shell/Translations.h"
#include "tests/support/GuiTest.h"
#include "ui/Messages.h"
#include "windows/zone/ZoneInputWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace kelmo;
using kelmo::shell::AboutDialog;
using kelmo::shell::DataSourceDialog;
using kelmo::shell::MainWindow;
using kelmo::ui::MessageRecorder;

namespace {

const char* const kDsn = "Kelmo Test DSN";

QString sqliteOdbcDriver() {
    for (const char* path :
         {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
          "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so"}) {
        if (QFile::exists(path)) {
            return path;
        }
    }
    return {};
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestShell : public test::GuiTest {
    Q_OBJECT

    QTemporaryDir m_odbcDir;
    QString m_serverDb; // the database behind the DSN
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<shell::Navigator> m_navigator;
    bool m_haveOdbc = false;

    QString databaseFile() const { return m_dir->filePath("bdKelmo.db"); }
    QString dataSourceFile() const { return m_dir->filePath("Data Source.txt"); }

private slots:
    void initTestCase() {
        // unixODBC reads its driver and data source lists from here; the stock [SQLite] entry
        // of the system points at a missing library, so the driver gets an entry of its own.
        // The driver stays loaded, so that a sanitizer run can name what it leaks.
        const QString driver = sqliteOdbcDriver();
        m_serverDb = m_odbcDir.filePath("server.db");
        db::createDatabaseFile(m_serverDb, false);
        writeFile(m_odbcDir.filePath("odbcinst.ini"),
                  "[Kelmo SQLite3]\nDescription=SQLite3 for the tests\nDriver=" + driver.toUtf8() +
                      "\nDontDLClose=1\n");
        writeFile(m_odbcDir.filePath("odbc.ini"),
                  "[" + QByteArray(kDsn) +
                      "]\nDriver=Kelmo SQLite3\nDatabase=" + m_serverDb.toUtf8() + "\n");
        qputenv("ODBCSYSINI", m_odbcDir.path().toUtf8());
        qputenv("ODBCINI", m_odbcDir.filePath("odbc.ini").toUtf8());
        m_haveOdbc = !driver.isEmpty();
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        setProgramFolderForTesting(m_dir->path());
        db::createDatabaseFile(databaseFile(), false);
        m_navigator = std::make_unique<shell::Navigator>();
        startRecording();
    }

    void cleanup() {
        m_navigator.reset();
        stopRecording();
        flushDeletes();
        setProgramFolderForTesting({});
        m_dir.reset();
    }

    void startsOnTheEmbeddedFile() {
        writeFile(dataSourceFile(), "Какой-то DSN");
        MessageRecorder messages;
        QVERIFY(m_navigator->start());
        QCOMPARE(messages.count(), 0);
        QCOMPARE(m_navigator->connectionString(), defaultConnectionString());
        auto* menu = m_navigator->mainMenu();
        QVERIFY(menu && menu->isVisible());
        QVERIFY(!m_navigator->dataSourceDialog());
    }

    void fallsBackToTheStoredDsn() {
        if (!m_haveOdbc) {
            QSKIP("libsqliteodbc is not installed");
        }
        QFile::remove(databaseFile());
        writeFile(dataSourceFile(), QByteArray(kDsn) + "\r\n");
        MessageRecorder messages;
        QVERIFY(m_navigator->start());
        QCOMPARE(messages.count(), 0);
        QCOMPARE(m_navigator->connectionString(), namedConnectionString(kDsn));
        QVERIFY(m_navigator->mainMenu());
        // Connecting never creates the embedded file.
        QVERIFY(!QFile::exists(databaseFile()));
    }

    // An embedded database made by a newer program is refused with its reason, and start-up
    // goes on as without it.
    void newerEmbeddedDatabaseIsNamed() {
        const int newer = db::currentSchemaVersion() + 1;
        {
            db::Connection c(db::fileConnectionString(databaseFile()), db::SchemaCheck::None);
            c.exec(QStringLiteral("PRAGMA user_version = %1").arg(newer));
        }
        MessageRecorder messages;
        QVERIFY(!m_navigator->start());
        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.messages().first().icon, QMessageBox::Critical);
        for (const QString& part : {QDir::toNativeSeparators(databaseFile()),
                                    QStringLiteral("версия её схемы %1").arg(newer),
                                    QStringLiteral("не выше %1").arg(newer - 1)}) {
            QVERIFY2(messages.messages().first().text.contains(part),
                     qPrintable(messages.messages().first().text));
        }
        QCOMPARE(messages.last().text,
                 QString("Невозможно подключиться к базе данных, установите имя источника "
                         "данных ODBC!"));
        QVERIFY(m_navigator->dataSourceDialog());
        QVERIFY(!m_navigator->mainMenu());
    }

    void noSourceOpensTheDialog() {
        QFile::remove(databaseFile());
        MessageRecorder messages;
        QVERIFY(!m_navigator->start());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QString("Внимание!"));
        QCOMPARE(messages.last().text,
                 QString("Невозможно подключиться к базе данных, установите имя источника "
                         "данных ODBC!"));
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        auto* dialog = m_navigator->dataSourceDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->windowTitle(), QString("Имя источника данных ODBC"));
        QCOMPARE(dialog->findChild<QLineEdit*>("txtDataSourse")->text(),
                 QString("База данных MS Access"));
        QVERIFY(!m_navigator->mainMenu());
        QVERIFY(!QFile::exists(databaseFile()));
        QVERIFY(!QFile::exists(dataSourceFile()));
    }

    void dialogWrongThenRightName() {
        if (!m_haveOdbc) {
            QSKIP("libsqliteodbc is not installed");
        }
        QFile::remove(databaseFile());
        writeFile(dataSourceFile(), "Старый DSN");
        MessageRecorder messages;
        QVERIFY(!m_navigator->start());
        auto* dialog = m_navigator->dataSourceDialog();
        QVERIFY(dialog);
        auto* field = dialog->findChild<QLineEdit*>("txtDataSourse");
        QCOMPARE(field->text(), QString("Старый DSN"));
        messages.clear();

        field->setText("Нет такого");
        QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QString("В н и м а н и е!!!"));
        QCOMPARE(messages.last().text,
                 QString("Невозможно подключиться к базе данных, измените имя источника "
                         "данных ODBC!"));
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        QCOMPARE(readFile(dataSourceFile()), QString("Старый DSN").toUtf8());
        QVERIFY(dialog->isVisible());
        QCOMPARE(field->text(), QString("Нет такого"));
        messages.clear();

        field->setText(kDsn);
        QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QString("В н и м а н и е!!!"));
        QCOMPARE(messages.last().text, QString("База успешно подключена!"));
        QCOMPARE(messages.last().icon, QMessageBox::NoIcon);
        QCOMPARE(readFile(dataSourceFile()), QByteArray(kDsn));
        flushDeletes();
        QVERIFY(!m_navigator->dataSourceDialog());
        auto* menu = m_navigator->mainMenu();
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(m_navigator->connectionString(), namedConnectionString(kDsn));
    }

    void dialogExitCloses() {
        QFile::remove(databaseFile());
        MessageRecorder messages;
        m_navigator->start();
        auto* dialog = m_navigator->dataSourceDialog();
        QTest::mouseClick(dialog->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(!m_navigator->dataSourceDialog());
    }

    void odbcAccessLayer() {
        if (!m_haveOdbc) {
            QSKIP("libsqliteodbc is not installed");
        }
        const QString odbc = namedConnectionString(kDsn);
        // Nested connections and a bound name with quotes, through the driver manager.
        {
            db::Connection outer(odbc);
            outer.exec("insert into Explosives (VVName, VVPower) values (?, ?)",
                       {"Смесь 'А'", 1000.0});
            QSqlQuery rows = outer.select("select * from Explosives order by VVName asc");
            int count = 0;
            while (rows.next()) {
                db::Connection inner(odbc);
                QSqlQuery q = inner.exec("select count(*) from Explosives where VVName = ?",
                                         {db::Connection::field(rows, "VVName")});
                QVERIFY(q.next());
                QCOMPARE(q.value(0).toInt(), 1);
                q.finish();
                ++count;
            }
            rows.finish();
            QCOMPARE(count, 20);
            QCOMPARE(explosiveHeat(outer, "Смесь 'А'"), std::optional<double>(1000.0));
            outer.exec("delete from Explosives where VVName = ?", {"Смесь 'А'"});
        }
        double viaOdbc = 0;
        QStringList namesViaOdbc;
        {
            db::Connection c(odbc);
            viaOdbc = ProbitToPercent(6.125f, c);
            namesViaOdbc = explosiveNames(c);
        }
        db::Connection local(defaultConnectionString());
        QCOMPARE(viaOdbc, ProbitToPercent(6.125f, local));
        QCOMPARE(namesViaOdbc, explosiveNames(local));
        QCOMPARE(namesViaOdbc.size(), 19);
    }

    void mainMenuLayout() {
        MainWindow bare(QList<MainWindow::WorkWindow>{});
        auto* menu = &bare;
        QCOMPARE(menu->windowTitle(), QString("Меню пользователя"));
        QCOMPARE(menu->findChild<QLabel*>("Label1")->text(),
                 QString(" Программа оценки последствий аварий при взрывах конденсированных "
                         "взрывчатых веществ"));
        QCOMPARE(menu->findChild<QLabel*>("Label2")->text(),
                 QString("Разработана в соответствие с НПБ 107-97"));
        QVERIFY(!menu->findChild<QLabel*>("Image1")->pixmap().isNull());
        QVERIFY(!menu->findChild<QLabel*>("vzr")->pixmap().isNull());

        // The captions as shown, each with an Alt mnemonic of its own.
        QStringList titles;
        QSet<QChar> mnemonics;
        for (QAction* a : menu->menuBar()->actions()) {
            const QString text = a->text();
            const qsizetype amp = text.indexOf(u'&');
            QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
            mnemonics.insert(text.at(amp + 1).toLower());
            titles << QString(text).remove(u'&');
        }
        QCOMPARE(titles, QStringList({"Выбор варианта расчета", "Определение инженерной обстановки",
                                      "Изменение базы данных", "Выход", "Помощь"}));
        QCOMPARE(mnemonics.size(), titles.size());
        const auto action = [&](const char* name) {
            return menu->findChild<QAction*>(name);
        };
        QCOMPARE(action("He")->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(action("Hel")->shortcut(), QKeySequence(Qt::Key_F3));
        QVERIFY(action("dd")->isSeparator());
        QCOMPARE(action("mnuRezerv")->text().remove(u'&'),
                 QString("Жилых и промышленных объектов,транспорта, резервуаров"));
        // Windows not available are disabled, and the map item never has an action.
        for (const char* name : {"mnuZone", "mnuPlan", "mnuRezerv", "mnuKvv", "mnuKarta"}) {
            QVERIFY2(!action(name)->isEnabled(), name);
        }
        // The shell's menu offers the windows it wires.
        auto* wired = m_navigator->showMainMenu();
        QVERIFY(wired->findChild<QAction*>("mnuZone")->isEnabled());
        QVERIFY(wired->findChild<QAction*>("mnuPlan")->isEnabled());
        QVERIFY(!wired->findChild<QAction*>("mnuKarta")->isEnabled());
    }

    void workWindowReplacesTheMenu() {
        m_navigator->setConnectionString(defaultConnectionString());
        auto* menu = m_navigator->showMainMenu();
        trigger(menu, "mnuZone");
        flushDeletes();
        QCOMPARE(messages().count(), 0);
        zone::ZoneInputWindow* input = m_navigator->zoneInput();
        QVERIFY(input != nullptr);
        QVERIFY(input->isVisible());
        QVERIFY(!m_navigator->mainMenu());
    }

    void aboutOpensOnce() {
        auto* menu = m_navigator->showMainMenu();
        menu->findChild<QAction*>("Hel")->trigger();
        auto* about = m_navigator->about();
        QVERIFY(about && about->isVisible());
        menu->findChild<QAction*>("Hel")->trigger();
        QCOMPARE(m_navigator->about(), about);
        const QWidgetList tops = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(tops.begin(), tops.end(),
                               [](QWidget* w) { return qobject_cast<AboutDialog*>(w) != nullptr; }),
                 1);
        QVERIFY(menu->isVisible());
        QVERIFY(!about->isModal());

        QCOMPARE(about->windowTitle(), QString("О программе"));
        QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(),
                 QString("Версия %1").arg(KELMO_TEST_VERSION)); // as kelmo-calc --version says
        QCOMPARE(about->findChild<QLabel*>("Description")->text(),
                 QString(" Программа оценки последствий аварий при взрывах конденсированных "
                         "взрывчатых веществ"));
        QCOMPARE(about->findChild<QPushButton*>("cmdSysInfo")->text(), QString("&System Info..."));

#ifndef Q_OS_WIN
        MessageRecorder messages;
        QTest::mouseClick(about->findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().text, QString("System Information Is Unavailable At This Time"));
        QCOMPARE(messages.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(about->isVisible());
#endif
        QTest::mouseClick(about->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        flushDeletes();
        QVERIFY(!m_navigator->about());
        QVERIFY(m_navigator->mainMenu());
    }

    void missingManualIsReported() {
        auto* menu = m_navigator->showMainMenu();
        MessageRecorder messages;
        menu->findChild<QAction*>("He")->trigger();
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QString("Внимание!"));
        QVERIFY(messages.last().text.contains("Инструкция пользователя.docx"));
        QVERIFY(menu->isVisible());
        writeFile(m_dir->filePath("Инструкция пользователя.docx"), "x");
        QCOMPARE(shell::userManualPath(), m_dir->filePath("Инструкция пользователя.docx"));
    }

    // "Инструкция" hands the manual to the desktop's opener, the PDF first, and says nothing
    // when a program opens it. An edition that no program opens passes to the next one; when
    // none opens, the user is told, with every file tried.
    void manualOpens_data() {
        QTest::addColumn<QStringList>("editions"); // extensions present beside the program
        QTest::addColumn<QStringList>("openable"); // extensions the desktop has a program for
        QTest::addColumn<QStringList>("tried");    // what the opener is handed, in order
        QTest::addColumn<bool>("told");
        const QStringList both{"pdf", "docx"};
        QTest::newRow("Word edition opens")
            << QStringList{"docx"} << QStringList{"docx"} << QStringList{"docx"} << false;
        QTest::newRow("no program for .docx")
            << QStringList{"docx"} << QStringList{} << QStringList{"docx"} << true;
        QTest::newRow("the PDF first") << both << both << QStringList{"pdf"} << false;
        QTest::newRow("no PDF viewer: the Word edition")
            << both << QStringList{"docx"} << both << false;
        QTest::newRow("no program for either") << both << QStringList{} << both << true;
    }
    void manualOpens() {
        QFETCH(QStringList, editions);
        QFETCH(QStringList, openable);
        QFETCH(QStringList, tried);
        QFETCH(bool, told);
        const QString base = m_dir->filePath(QStringLiteral("Инструкция пользователя."));
        for (const QString& extension : editions) {
            QVERIFY(QFile::copy(QStringLiteral(KELMO_USER_MANUAL), base + extension));
        }
        // A stand-in for xdg-open that notes what it was given and knows a program only for
        // the openable extensions; like xdg-open, it exits with 3 when it finds none.
        QVERIFY(QDir(m_dir->path()).mkpath("opener"));
        const QString log = m_dir->filePath("opened.txt");
        const QString opener = m_dir->filePath("opener/xdg-open");
        QString known;
        for (const QString& extension : openable) {
            known += QStringLiteral("*.%1) exit 0 ;;\n").arg(extension);
        }
        writeFile(opener, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n"
                                         "case \"$1\" in\n%2*) exit 3 ;;\nesac\n")
                              .arg(log, known)
                              .toUtf8());
        QVERIFY(QFile::setPermissions(opener, QFile::permissions(opener) | QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", m_dir->filePath("opener").toUtf8() + ":" + path);
        auto* menu = m_navigator->showMainMenu();
        MessageRecorder messages;
        menu->findChild<QAction*>("He")->trigger();
        QStringList expected;
        for (const QString& extension : tried) {
            expected << base + extension;
        }
        const auto opened = [&] {
            return QString::fromUtf8(readFile(log)).split(u'\n', Qt::SkipEmptyParts);
        };
        // Every opener started has finished and none follows.
        QTRY_VERIFY(qApp->findChildren<QProcess*>().isEmpty());
        qputenv("PATH", path);
        QCOMPARE(opened(), expected);
        QCOMPARE(messages.count(), told ? 1 : 0);
        if (told) {
            QCOMPARE(messages.last().icon, QMessageBox::Warning);
            QVERIFY(messages.last().text.contains(QStringLiteral("нет программы")));
            for (const QString& file : expected) {
                QVERIFY2(messages.last().text.contains(file), qPrintable(messages.last().text));
            }
        }
        QVERIFY(menu->isVisible());
    }

    // An installed program: the About window names both folders, a missing manual names the
    // folder of the fixed files and says to reinstall the package.
    void installedFoldersAreShown() {
        const ProgramFolders installed{FileLayout::Installed, m_dir->filePath("prefix/bin"),
                                       m_dir->filePath("prefix/share/kelmo"),
                                       m_dir->filePath("home/kelmo")};
        setProgramFoldersForTesting(installed);
        auto* menu = m_navigator->showMainMenu();
        menu->findChild<QAction*>("Hel")->trigger();
        const QString folders = m_navigator->about()->findChild<QLabel*>("lblFolders")->text();
        QVERIFY2(folders.contains(installed.shared) && folders.contains(installed.user),
                 qPrintable(folders));

        MessageRecorder messages;
        menu->findChild<QAction*>("He")->trigger();
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.last().text.contains(installed.shared));
        QVERIFY(messages.last().text.contains("apt install --reinstall kelmo"));
    }

    void portableFolderIsShown() {
        auto* menu = m_navigator->showMainMenu();
        menu->findChild<QAction*>("Hel")->trigger();
        QVERIFY(
            m_navigator->about()->findChild<QLabel*>("lblFolders")->text().contains(m_dir->path()));
    }

    // The first start of an installed program makes the user's database from the shipped seed
    // and opens the main menu without a word.
    void installedFirstStartOpensTheMenu() {
        const ProgramFolders installed{FileLayout::Installed, m_dir->filePath("prefix/bin"),
                                       m_dir->filePath("prefix/share/kelmo"),
                                       m_dir->filePath("home/kelmo")};
        QVERIFY(QDir().mkpath(installed.shared));
        QVERIFY(QFile::copy(databaseFile(), QDir(installed.shared).filePath("bdKelmo.db")));
        setProgramFoldersForTesting(installed);
        MessageRecorder messages;
        QVERIFY(m_navigator->start());
        QCOMPARE(messages.count(), 0);
        QVERIFY(QFileInfo(QDir(installed.user).filePath("bdKelmo.db")).isFile());
        QVERIFY(
            m_navigator->connectionString().contains(QDir(installed.user).filePath("bdKelmo.db")));
    }

    void qtSpeaksRussian() {
        QVERIFY(shell::installQtTranslations());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
    }

    void windowTitlesGetNoSuffix() {
        // The window system appends a display name, when one is set, to every title.
        shell::identifyApplication(QStringLiteral("1.0"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("kelmo"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    }

    void exitClosesEverything() {
        auto* menu = m_navigator->showMainMenu();
        menu->findChild<QAction*>("Hel")->trigger();
        menu->findChild<QAction*>("mnuExit")->trigger();
        flushDeletes();
        QVERIFY(!m_navigator->mainMenu());
        QVERIFY(!m_navigator->about());
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
