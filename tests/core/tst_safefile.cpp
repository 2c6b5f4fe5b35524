// Replacing files: the old file survives every failure, nothing is left behind, and paths
// that are not ordinary files are refused.

#include "core/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace kelmo;

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void put(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(content), content.size());
}

// Everything in the folder, hidden files included.
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { setDiskSpaceForTesting(-1); }

    void replacesWholeFile() {
        const QString path = m_dir->filePath("report.docx");
        put(path, "old content that is longer than the new one");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        writeFileSafely(path, "new");
        QCOMPARE(contentOf(path), QByteArray("new"));
        QCOMPARE(entries(m_dir->path()), QStringList{"report.docx"});
        // The replaced file keeps who may read it.
        const QFile::Permissions modeBits{0x7077}; // owner, group, others
        QCOMPARE(QFile::permissions(path) & modeBits,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }

    // A disk that fills up part-way: the old file stays, no temporary file is left, and the
    // failure says which file was not written.
    void fullDiskKeepsOldFile_data() {
        QTest::addColumn<bool>("existed");
        QTest::addColumn<qint64>("space");
        QTest::newRow("over an old file, no room at all") << true << qint64(0);
        QTest::newRow("over an old file, room for part") << true << qint64(100);
        QTest::newRow("new file, room for part") << false << qint64(100);
    }
    void fullDiskKeepsOldFile() {
        QFETCH(bool, existed);
        QFETCH(qint64, space);
        const QString path = m_dir->filePath("Data Source.txt");
        if (existed) {
            put(path, "Старый DSN");
        }
        setDiskSpaceForTesting(space);
        try {
            writeFileSafely(path, QByteArray(4096, 'x'));
            QFAIL("a write beyond the free space must fail");
        } catch (const FileError& e) {
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.contains("Data Source.txt") && text.contains("Ошибка файла"),
                     qPrintable(text));
        }
        QCOMPARE(entries(m_dir->path()), existed ? QStringList{"Data Source.txt"} : QStringList{});
        if (existed) {
            QCOMPARE(QString::fromUtf8(contentOf(path)), QStringLiteral("Старый DSN"));
        }
    }

    void uncommittedWriteLeavesNothing() {
        const QString path = m_dir->filePath("table.xlsx");
        put(path, "old");
        {
            SafeFile file(path);
            file.write("half a workbook");
            QVERIFY(QFile::exists(file.tempPath()));
            QCOMPARE(QFileInfo(file.tempPath()).absolutePath(), QFileInfo(path).absolutePath());
        } // an exception would leave here the same way
        QCOMPARE(contentOf(path), QByteArray("old"));
        QCOMPARE(entries(m_dir->path()), QStringList{"table.xlsx"});
    }

    // Two writers of one target at once: each has its own temporary file, both complete, and
    // the target holds one whole version.
    void twoWritersOfOneTarget() {
        const QString path = m_dir->filePath("out.xlsx");
        SafeFile first(path);
        SafeFile second(path);
        QVERIFY(first.tempPath() != second.tempPath());
        first.write(QByteArray(10000, 'a'));
        second.write(QByteArray(20000, 'b'));
        second.commit();
        first.commit();
        QCOMPARE(contentOf(path), QByteArray(10000, 'a'));
        QCOMPARE(entries(m_dir->path()), QStringList{"out.xlsx"});
    }

    void writesThroughLink() {
        const QString real = m_dir->filePath("real.docx");
        const QString link = m_dir->filePath("link.docx");
        put(real, "old");
        QVERIFY(QFile::link(real, link));
        writeFileSafely(link, "new");
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(contentOf(real), QByteArray("new"));
        // A dangling link makes its target.
        const QString later = m_dir->filePath("later.docx");
        const QString dangling = m_dir->filePath("dangling.docx");
        QVERIFY(QFile::link(later, dangling));
        writeFileSafely(dangling, "made");
        QVERIFY(QFileInfo(dangling).isSymLink());
        QCOMPARE(contentOf(later), QByteArray("made"));
    }

#ifdef Q_OS_UNIX
    // In a folder like /tmp (everyone writes, the sticky bit set) another user's link to a file
    // of ours is refused with the file untouched; our own link there, and another user's link
    // in a folder of ours, are followed.
    void plantedLinkInSharedFolder_data() {
        QTest::addColumn<bool>("sharedFolder");
        QTest::addColumn<bool>("othersLink");
        QTest::addColumn<bool>("followed");
        QTest::newRow("another user's link in a shared folder") << true << true << false;
        QTest::newRow("our own link in a shared folder") << true << false << true;
        QTest::newRow("another user's link in our folder") << false << true << true;
    }
    void plantedLinkInSharedFolder() {
        QFETCH(bool, sharedFolder);
        QFETCH(bool, othersLink);
        QFETCH(bool, followed);
        if (othersLink && ::geteuid() != 0) {
            QSKIP("giving a link to another user needs root");
        }
        const QString folder = m_dir->filePath("shared");
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), sharedFolder ? 01777 : 0755) == 0);
        const QString secret = m_dir->filePath("secret.txt");
        put(secret, "mine");
        const QString link = QDir(folder).filePath("report.xlsx");
        QVERIFY(QFile::link(secret, link));
        if (othersLink) {
            QVERIFY(::lchown(QFile::encodeName(link).constData(), 65534, 65534) == 0);
        }
        if (followed) {
            writeFileSafely(link, "report");
            QCOMPARE(contentOf(secret), QByteArray("report"));
        } else {
            try {
                writeFileSafely(link, "report");
                QFAIL("a planted link was followed");
            } catch (const FileError& e) {
                QVERIFY2(
                    QString::fromUtf8(e.what()).contains(QStringLiteral("другому пользователю")),
                    e.what());
            }
            QCOMPARE(contentOf(secret), QByteArray("mine"));
            QCOMPARE(entries(folder), QStringList{"report.xlsx"});
        }
    }
#endif

    // Temporaries a killed program left a day ago go when the folder is written again; a
    // recent one (another write may still be under way) and files of other names stay.
    void staleTemporariesAreRemoved() {
        const QString folder = m_dir->path();
        const QDateTime twoDaysAgo = QDateTime::currentDateTime().addDays(-2);
        const QStringList stale{".map.svg.0123456789abcdef.tmp",
                                ".table.xlsx.fedcba9876543210.tmp"};
        const QStringList kept{".map.svg.00000000000000aa.tmp", ".notes.txt.tmp",
                               "work.0123456789abcdef.tmp"};
        for (const QString& name : stale + kept) {
            put(QDir(folder).filePath(name), "left over");
        }
        for (const QString& name :
             stale + QStringList{".notes.txt.tmp", "work.0123456789abcdef.tmp"}) {
            QFile f(QDir(folder).filePath(name));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(twoDaysAgo, QFileDevice::FileModificationTime));
        }
        writeFileSafely(QDir(folder).filePath(QStringLiteral("report.docx")), "new");
        QStringList expected = kept;
        expected << QStringLiteral("report.docx");
        expected.sort();
        QStringList found = entries(folder);
        found.sort();
        QCOMPARE(found, expected);
    }

    void refusesWhatIsNotAFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("empty name") << "empty"
                                    << "Не задано имя файла";
        QTest::newRow("folder") << "folder"
                                << "это папка";
        QTest::newRow("name ending in a separator") << "slash"
                                                    << "это папка";
        QTest::newRow("missing folder") << "missing"
                                        << "не существует";
#ifdef Q_OS_UNIX
        QTest::newRow("pipe") << "fifo"
                              << "не обычный файл";
        QTest::newRow("link to a pipe") << "link-to-fifo"
                                        << "не обычный файл";
        QTest::newRow("link loop") << "loop"
                                   << "по кругу";
#endif
    }
    void refusesWhatIsNotAFile() {
        QFETCH(QString, kind);
        QFETCH(QString, mentions);
        const QString fifo = m_dir->filePath("pipe");
        QString path;
        if (kind == "empty") {
            path = "";
        } else if (kind == "folder") {
            QVERIFY(QDir(m_dir->path()).mkdir("sub"));
            path = m_dir->filePath("sub");
        } else if (kind == "slash") {
            path = m_dir->filePath("new") + "/";
        } else if (kind == "missing") {
            path = m_dir->filePath("none/file.docx");
        }
#ifdef Q_OS_UNIX
        if (kind.contains("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
            path = fifo;
        }
        if (kind == "link-to-fifo") {
            path = m_dir->filePath("link");
            QVERIFY(QFile::link(fifo, path));
        }
        if (kind == "loop") {
            path = m_dir->filePath("a");
            QVERIFY(QFile::link(m_dir->filePath("b"), path));
            QVERIFY(QFile::link(path, m_dir->filePath("b")));
        }
#endif
        const QStringList before = entries(m_dir->path());
        try {
            writeFileSafely(path, "data");
            QFAIL("the path must be refused");
        } catch (const FileError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(mentions), e.what());
        }
        QCOMPARE(entries(m_dir->path()), before);
#ifdef Q_OS_UNIX
        if (kind.contains("fifo")) {
            QVERIFY(!QFileInfo(fifo).isFile()); // still the pipe
        }
#endif
    }

    void refusesToReadWhatIsNotAFile() {
        const QString file = m_dir->filePath("otchet.docx");
        put(file, "PK");
        checkReadableFile(file);
        QStringList refused{m_dir->path(), m_dir->filePath("none.docx")};
#ifdef Q_OS_UNIX
        refused << "/dev/zero";
        const QString fifo = m_dir->filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        refused << fifo;
#endif
        for (const QString& path : refused) {
            QVERIFY_THROWS_EXCEPTION(FileError, checkReadableFile(path));
        }
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
