// The structures file reader: any bytes read against a database with the seed catalogue, so
// that good lines meet real types and kinds.

#include "data/DatabaseFile.h"
#include "data/StructureImport.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

kelmo::db::Connection& connection() {
    static QTemporaryDir folder;
    static std::unique_ptr<kelmo::db::Connection> c = [] {
        const QString path = QDir(folder.path()).filePath(QStringLiteral("bdKelmo.db"));
        kelmo::db::createDatabaseFile(path, false);
        return std::make_unique<kelmo::db::Connection>(kelmo::db::fileConnectionString(path));
    }();
    return *c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto result = kelmo::db::readStructuresFile(connection(), bytes);
        (void)kelmo::db::refusalReport(result.refused);
    } catch (const kelmo::Error&) {
        // a database error ends with a message
    }
    return 0;
}
