#include "core/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kelmo {

namespace {

std::atomic<qint64> g_diskSpaceForTesting{-1};

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

#ifndef Q_OS_WIN
// So that the rename itself survives a power cut.
void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif

// Temporary files of ours that a killed program left behind: our own name pattern, our own
// ordinary files (never a link, never another user's), untouched for more than a day, so
// that no write still in progress loses its file.
void removeStaleTemporaries(const QDir& folder) {
    static const QRegularExpression ours(QStringLiteral("^\\..+\\.[0-9a-f]{16}\\.tmp$"));
    const QDateTime dayAgo = QDateTime::currentDateTimeUtc().addDays(-1);
    const QFileInfoList candidates = folder.entryInfoList(
        {QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& file : candidates) {
        if (!ours.match(file.fileName()).hasMatch() || file.lastModified().toUTC() > dayAgo) {
            continue;
        }
#ifndef Q_OS_WIN
        if (file.ownerId() != ::geteuid()) {
            continue;
        }
#endif
        QFile::remove(file.filePath());
    }
}

#ifndef Q_OS_WIN
// In a folder that everyone may write to and only owners may delete from (/tmp and the like),
// a link may have been planted by another user to make our write land in a file of ours. As
// the kernel's protected-symlinks rule does, such a link is followed only when it is the
// user's own or the folder's owner's.
void refusePlantedLink(const QString& link) {
    struct stat folder {};
    struct stat entry {};
    const QByteArray folderName = QFile::encodeName(QFileInfo(link).absolutePath());
    if (::lstat(QFile::encodeName(link).constData(), &entry) != 0 ||
        ::stat(folderName.constData(), &folder) != 0) {
        return;
    }
    const bool sharedFolder = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    if (!sharedFolder || entry.st_uid == ::geteuid() || entry.st_uid == folder.st_uid) {
        return;
    }
    throw FileError(QStringLiteral("Ссылка «%1» лежит в общей папке и принадлежит другому "
                                   "пользователю; по такой ссылке программа не пишет. Выберите "
                                   "другое имя файла или другую папку.")
                        .arg(shown(link)));
}
#endif

} // namespace

QString writeTarget(const QString& path) {
    if (path.isEmpty()) {
        throw FileError(QStringLiteral("Не задано имя файла."));
    }
    QFileInfo info(path);
    // Follow a chain of links: the file is written where the link points.
    for (int hops = 0; info.isSymLink(); ++hops) {
        if (hops == 40) {
            throw FileError(
                QStringLiteral("Ссылка «%1» ведет по кругу; файл не записан.").arg(shown(path)));
        }
#ifndef Q_OS_WIN
        refusePlantedLink(info.filePath());
#endif
        info = QFileInfo(info.symLinkTarget());
    }
    if (info.fileName().isEmpty() || info.isDir()) {
        throw FileError(QStringLiteral("«%1» — это папка; укажите имя файла.").arg(shown(path)));
    }
    if (info.exists() && !info.isFile()) {
        throw FileError(QStringLiteral("«%1» — не обычный файл (устройство, канал или сокет); "
                                       "записывать в него программа не будет.")
                            .arg(shown(path)));
    }
    if (!info.absoluteDir().exists()) {
        throw FileError(
            QStringLiteral("Папка «%1» не существует.").arg(shown(info.absolutePath())));
    }
    return info.absoluteFilePath();
}

void checkReadableFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw FileError(QStringLiteral("Не найден файл «%1».").arg(shown(path)));
    }
    if (!info.isFile()) {
        throw FileError(QStringLiteral("«%1» — не обычный файл (папка, устройство или канал); "
                                       "прочитать его нельзя.")
                            .arg(shown(path)));
    }
}

SafeFile::SafeFile(const QString& path)
    : m_target(writeTarget(path)) {
    const QFileInfo target(m_target);
    const QDir folder = target.absoluteDir();
    // A unique name, created exclusively: two writers of one target never share it.
    int error = 0;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temp = folder.filePath(
            QStringLiteral(".%1.%2.tmp")
                .arg(target.fileName())
                .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
#ifdef Q_OS_WIN
        m_fd = ::_wopen(reinterpret_cast<const wchar_t*>(m_temp.utf16()),
                        _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        m_fd = ::open(QFile::encodeName(m_temp).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
        error = errno;
        if (m_fd < 0 && error != EEXIST) {
            break;
        }
    }
    if (m_fd < 0) {
        m_done = true; // nothing to remove
        throw FileError(QStringLiteral("Не удалось создать файл в папке «%1»; файл «%2» не "
                                       "записан.")
                            .arg(shown(folder.path()), shown(m_target)),
                        systemText(error));
    }
    // The new file keeps the permissions of the one it replaces.
    if (target.exists()) {
        QFile::setPermissions(m_temp, QFile::permissions(m_target));
    }
    removeStaleTemporaries(folder);
}

SafeFile::~SafeFile() {
    if (!m_done) {
        discard();
    }
}

void SafeFile::fail(const QString& message, const QString& systemText) {
    discard();
    throw FileError(message.arg(shown(m_target)), systemText);
}

void SafeFile::write(const QByteArray& data) {
    if (m_done) {
        throw FileError(QStringLiteral("Файл «%1» уже закрыт.").arg(shown(m_target)));
    }
    const char* p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        qint64 chunk = std::min<qint64>(left, 1 << 20);
        const qint64 space = g_diskSpaceForTesting.load();
        if (space >= 0 && chunk > space) {
            chunk = space;
        }
        if (chunk == 0) {
            fail(QStringLiteral("Не удалось записать файл «%1»."), systemText(ENOSPC));
        }
#ifdef Q_OS_WIN
        const auto n = ::_write(m_fd, p, static_cast<unsigned>(chunk));
#else
        const auto n = ::write(m_fd, p, static_cast<size_t>(chunk));
#endif
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(QStringLiteral("Не удалось записать файл «%1»."), systemText(errno));
        }
        if (space >= 0) {
            g_diskSpaceForTesting -= n;
        }
        p += n;
        left -= n;
    }
}

void SafeFile::commit() {
    if (m_done) {
        throw FileError(QStringLiteral("Файл «%1» уже закрыт.").arg(shown(m_target)));
    }
#ifdef Q_OS_WIN
    const bool synced = ::_commit(m_fd) == 0;
#else
    const bool synced = ::fsync(m_fd) == 0;
#endif
    if (!synced) {
        fail(QStringLiteral("Не удалось записать файл «%1» на диск."), systemText(errno));
    }
#ifdef Q_OS_WIN
    const bool closed = ::_close(m_fd) == 0;
#else
    const bool closed = ::close(m_fd) == 0;
#endif
    m_fd = -1;
    if (!closed) {
        fail(QStringLiteral("Не удалось записать файл «%1» на диск."), systemText(errno));
    }
    // One rename puts the new file in place of the old one: a reader sees either.
#ifdef Q_OS_WIN
    const bool renamed = ::MoveFileExW(reinterpret_cast<const wchar_t*>(m_temp.utf16()),
                                       reinterpret_cast<const wchar_t*>(m_target.utf16()),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    const int error = renamed ? 0 : EACCES;
#else
    const bool renamed = ::rename(QFile::encodeName(m_temp).constData(),
                                  QFile::encodeName(m_target).constData()) == 0;
    const int error = errno;
#endif
    if (!renamed) {
        fail(QStringLiteral("Не удалось заменить файл «%1»; прежний файл не изменен."),
             systemText(error));
    }
    m_done = true;
#ifndef Q_OS_WIN
    syncFolder(QFileInfo(m_target).absolutePath());
#endif
}

void SafeFile::discard() {
    if (m_fd >= 0) {
#ifdef Q_OS_WIN
        ::_close(m_fd);
#else
        ::close(m_fd);
#endif
        m_fd = -1;
    }
    if (!m_done) {
        QFile::remove(m_temp);
        m_done = true;
    }
}

void writeFileSafely(const QString& path, const QByteArray& data) {
    SafeFile file(path);
    file.write(data);
    file.commit();
}

void setDiskSpaceForTesting(qint64 bytes) {
    g_diskSpaceForTesting = bytes;
}

} // namespace kelmo
