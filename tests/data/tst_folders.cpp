// Where the program keeps its files: the program folder of a build or a portable copy, or the
// installed layout with fixed files in share/kelmo and the user's own files in the per-user data
// folder, where the working database is made on the first start.
#include "core/ProgramFolder.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace kelmo;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(content);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The names of the explosives in a database file.
QStringList explosiveNames(const QString& path) {
    db::Connection c(QStringLiteral("Data Source=MS Access Database;Initial Catalog=") + path);
    QSqlQuery q = c.select(QStringLiteral("select VVName from Explosives order by VVName"));
    QStringList names;
    while (q.next()) {
        names << q.value(0).toString();
    }
    return names;
}

void addExplosive(const QString& path, const QString& name) {
    db::Connection c(QStringLiteral("Data Source=MS Access Database;Initial Catalog=") + path);
    c.exec(QStringLiteral("insert into Explosives (VVName, VVPower) values (?, ?)"),
           {name, 1234.5});
}

} // namespace

class TestFolders final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    // An installed program: prefix/bin, prefix/share/kelmo and a user folder not made yet.
    ProgramFolders installed() const {
        return {FileLayout::Installed, m_dir->filePath("prefix/bin"),
                m_dir->filePath("prefix/share/kelmo"), m_dir->filePath("home/.local/share/kelmo")};
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() {
        setProgramFoldersForTesting({});
        m_dir.reset();
    }

    void layout_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("portable");
        QTest::newRow("build folder") << QStringList{"kelmo", "bdKelmo.db", "otchet.docx"} << true;
        QTest::newRow("copy with only the data source name")
            << QStringList{"kelmo", "Data Source.txt"} << true;
        QTest::newRow("copy with only the template") << QStringList{"otchet.docx"} << true;
        QTest::newRow("installed bin") << QStringList{"kelmo", "kelmo-calc"} << false;
        QTest::newRow("empty") << QStringList{} << false;
    }
    void layout() {
        QFETCH(QStringList, files);
        QFETCH(bool, portable);
        const QString program = m_dir->filePath("prefix/bin");
        QVERIFY(QDir().mkpath(program));
        for (const QString& name : files) {
            writeFile(QDir(program).filePath(name), "x");
        }
        const QString user = m_dir->filePath("home/kelmo");
        const ProgramFolders f = decideProgramFolders(program, user);
        QCOMPARE(f.program, program);
        if (portable) {
            QCOMPARE(f.layout, FileLayout::Portable);
            QCOMPARE(f.shared, program);
            QCOMPARE(f.user, program);
        } else {
            QCOMPARE(f.layout, FileLayout::Installed);
            QCOMPARE(f.shared, m_dir->filePath("prefix/share/kelmo"));
            QCOMPARE(f.user, user);
        }
    }

    // A program folder the user cannot write to is an installed one even with a database in it.
    void readOnlyProgramFolderIsInstalled() {
        if (::geteuid() == 0) {
            QSKIP("root writes to every folder");
        }
        const QString program = m_dir->filePath("bin");
        writeFile(QDir(program).filePath("bdKelmo.db"), "x");
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        const ProgramFolders f = decideProgramFolders(program, m_dir->filePath("user"));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(f.layout, FileLayout::Installed);
    }

    // Without share/kelmo beside bin, the system data folders are searched, never the user's.
    void sharedFolderFromSystemDataFolders() {
        const QByteArray oldHome = qgetenv("XDG_DATA_HOME");
        const QByteArray oldDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_HOME", m_dir->filePath("home").toUtf8());
        qputenv("XDG_DATA_DIRS",
                (m_dir->filePath("none") + ':' + m_dir->filePath("system")).toUtf8());
        QVERIFY(QDir().mkpath(m_dir->filePath("home/kelmo")));
        QVERIFY(QDir().mkpath(m_dir->filePath("system/kelmo")));
        QVERIFY(QDir().mkpath(m_dir->filePath("opt/bin")));
        const ProgramFolders f = decideProgramFolders(m_dir->filePath("opt/bin"), userDataFolder());
        qputenv("XDG_DATA_HOME", oldHome);
        qputenv("XDG_DATA_DIRS", oldDirs);
        QCOMPARE(f.layout, FileLayout::Installed);
        QCOMPARE(f.shared, m_dir->filePath("system/kelmo"));
        QCOMPARE(f.user, m_dir->filePath("home/kelmo"));
    }

    // The first start copies the seed database into the user folder, which it makes.
    void firstStartCopiesTheSeed() {
        const ProgramFolders f = installed();
        setProgramFoldersForTesting(f);
        const QString seed = QDir(f.shared).filePath("bdKelmo.db");
        QVERIFY(QDir().mkpath(f.shared));
        db::createDatabaseFile(seed, false);
        addExplosive(seed, "Из исходной базы");
        // Installed files are read-only for the user; the copy must not be.
        QVERIFY(
            QFile::setPermissions(seed, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

        const QString working = db::prepareWorkingDatabase();
        QCOMPARE(working, QDir(f.user).filePath("bdKelmo.db"));
        QCOMPARE(readFile(working), readFile(seed));
        addExplosive(working, "Введено пользователем");
        QVERIFY(explosiveNames(working).contains("Введено пользователем"));
        QCOMPARE(QDir(f.user).entryList(QDir::Files | QDir::Hidden), QStringList{"bdKelmo.db"});
    }

    // A later start, or a new seed after an upgrade, never touches the user's database.
    void userDatabaseIsNeverReplaced() {
        const ProgramFolders f = installed();
        setProgramFoldersForTesting(f);
        QVERIFY(QDir().mkpath(f.shared));
        db::createDatabaseFile(QDir(f.shared).filePath("bdKelmo.db"), false);
        const QString working = db::prepareWorkingDatabase();
        addExplosive(working, "Введено пользователем");
        const QByteArray entered = readFile(working);

        db::createDatabaseFile(QDir(f.shared).filePath("bdKelmo.db"), true); // the upgrade
        addExplosive(QDir(f.shared).filePath("bdKelmo.db"), "Новое в версии");
        QCOMPARE(db::prepareWorkingDatabase(), working);
        QCOMPARE(readFile(working), entered);
        QVERIFY(!explosiveNames(working).contains("Новое в версии"));
    }

    // Without a shipped seed the database is made from the reference data built into the program.
    void withoutSeedTheBuiltInDataIsUsed() {
        const ProgramFolders f = installed();
        setProgramFoldersForTesting(f);
        const QString working = db::prepareWorkingDatabase();
        QVERIFY(QFileInfo(working).isFile());
        QVERIFY(!explosiveNames(working).isEmpty());
        QVERIFY(!QFileInfo::exists(f.shared));
    }

    // A user folder that cannot be made is reported, not passed over.
    void userFolderThatCannotBeMade() {
        ProgramFolders f = installed();
        writeFile(m_dir->filePath("blocked"), "a file, not a folder");
        f.user = m_dir->filePath("blocked/kelmo");
        setProgramFoldersForTesting(f);
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db::prepareWorkingDatabase());
        QVERIFY(!writeDataSourceName("DSN"));
    }

    // A portable folder keeps today's behaviour: a missing database is not made behind the
    // user's back; start-up then asks for the data source.
    void portableFolderMakesNothing() {
        setProgramFolderForTesting(m_dir->path());
        QCOMPARE(db::prepareWorkingDatabase(), m_dir->filePath("bdKelmo.db"));
        QVERIFY(QDir(m_dir->path()).isEmpty());
    }

    // "Data Source.txt" and the database of the connection strings are the user's files.
    void dataSourceLivesInTheUserFolder() {
        const ProgramFolders f = installed();
        setProgramFoldersForTesting(f);
        QVERIFY(writeDataSourceName("База данных MS Access"));
        QCOMPARE(readFile(QDir(f.user).filePath("Data Source.txt")),
                 QString("База данных MS Access").toUtf8());
        QCOMPARE(readDataSourceName(), QString("База данных MS Access"));
        QVERIFY(defaultConnectionString().endsWith(
            "Initial Catalog=" + QDir::toNativeSeparators(QDir(f.user).filePath("bdKelmo.db"))));
        QVERIFY(!QFileInfo::exists(f.shared));
        QVERIFY(!QFileInfo::exists(f.program));
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "tst_folders.moc"
