#pragma once

#include "core/FileError.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace kelmo {

// The file a write to `path` lands in: the path itself, or the file a symbolic link points
// to. Throws FileError when the path names nothing a file can be written to: an empty name,
// a folder, a device, a pipe, a socket, or a link to one of them.
QString writeTarget(const QString& path);

// Refuses a path the program is about to read when it is not a regular file (a device or a
// pipe could be read without end or hang the program). Throws FileError.
void checkReadableFile(const QString& path);

// Replaces a file only when the new content is complete: the content goes to a temporary
// file with a unique name in the target's folder, is flushed to the disk, and one atomic
// rename puts it in place. Until commit() succeeds the old file stays as it was; the
// temporary file is removed on every failure and when the object is destroyed uncommitted.
//
// Libraries that write by file name (the workbook writer, the database) write to tempPath()
// and then call commit().
class SafeFile final {
public:
    // Throws FileError when the target cannot be written or the folder takes no new file.
    explicit SafeFile(const QString& path);
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // The file that will be replaced (a link already followed) and the temporary file.
    const QString& targetPath() const { return m_target; }
    const QString& tempPath() const { return m_temp; }

    // Throws FileError; the temporary file is removed then.
    void write(const QByteArray& data);
    // Flushes to the disk and renames onto the target. Throws FileError.
    void commit();
    // Removes the temporary file; the target stays untouched.
    void discard();

private:
    [[noreturn]] void fail(const QString& message, const QString& systemText);

    QString m_target;
    QString m_temp;
    int m_fd = -1;
    bool m_done = false;
};

// The whole file in one go through SafeFile. Throws FileError.
void writeFileSafely(const QString& path, const QByteArray& data);

// A test stands in for a nearly full disk: every SafeFile write fails with "no space left"
// once this many bytes have been written in all; a negative value removes the limit.
void setDiskSpaceForTesting(qint64 bytes);

} // namespace kelmo
