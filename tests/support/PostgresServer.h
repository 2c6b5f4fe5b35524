#pragma once

// A PostgreSQL server of the tests' own: a fresh cluster in a temporary folder, listening on a
// free local port and on a socket in that folder, run as an unprivileged user when the tests
// run as root, reached through unixODBC with driver and data-source lists written into that
// folder (ODBCSYSINI/ODBCINI). The server stops when the object goes, and also when the test
// process dies (the server gets a fast-shutdown signal from the kernel).
//
//     test::PostgresServer server;
//     if (!server.start()) QSKIP(qPrintable(server.skipReason()));
//     server.createDatabase("kelmo");
//     server.installOdbc({"kelmo"});   // DSN "Kelmo Test kelmo"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace kelmo::test {

class PostgresServer final {
public:
    // The role the cluster is created with; it owns every database of the tests.
    static constexpr const char* kRole = "kelmo";

    PostgresServer() = default;
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;
    ~PostgresServer() { stop(); }

    // Creates and starts the cluster. False with skipReason() when this machine has no
    // PostgreSQL server programs or no PostgreSQL ODBC driver, or the server would not start.
    bool start() {
#ifndef Q_OS_LINUX
        m_skipReason = QStringLiteral("the test server is only set up on Linux");
        return false;
#else
        m_binDir = findBinDir();
        if (m_binDir.isEmpty()) {
            m_skipReason = QStringLiteral("PostgreSQL server programs (initdb, postgres) are not "
                                          "installed: apt-get install postgresql");
            return false;
        }
        m_odbcDriver = findOdbcDriver();
        if (m_odbcDriver.isEmpty()) {
            m_skipReason = QStringLiteral("the PostgreSQL ODBC driver psqlodbcw.so is not "
                                          "installed: apt-get install odbc-postgresql");
            return false;
        }
        // A short path: the socket path must stay within the 107 bytes of a Unix socket name.
        m_dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/kelmo-pg-XXXXXX"));
        if (!m_dir->isValid()) {
            return fail(QStringLiteral("cannot create a temporary folder"));
        }
        if (!chooseUser()) {
            return false;
        }
        if (!handOver(m_dir->path())) {
            return fail(QStringLiteral("cannot give the folder to the server's user"));
        }
        QString output;
        if (!runAsServerUser(m_binDir + QStringLiteral("/initdb"),
                             {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"),
                              QLatin1String(kRole), QStringLiteral("-A"), QStringLiteral("trust"),
                              QStringLiteral("-E"), QStringLiteral("UTF8"),
                              QStringLiteral("--no-locale"), QStringLiteral("--no-sync")},
                             &output)) {
            return fail(QStringLiteral("initdb failed: ") + output);
        }
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_port = freePort();
            if (m_port != 0 && launch()) {
                return true;
            }
        }
        return fail(QStringLiteral("the server did not start: ") + serverLog());
#endif
    }

    QString skipReason() const {
        return m_skipReason;
    }
    bool isRunning() const {
        return m_server && m_server->state() == QProcess::Running;
    }
    int port() const {
        return m_port;
    }
    QString socketDir() const {
        return m_dir ? m_dir->path() : QString();
    }
    QString folder() const {
        return socketDir();
    }
    QString binDir() const {
        return m_binDir;
    }

    // The DSN installOdbc() writes for a database.
    static QString dsnName(const QString& database) {
        return QStringLiteral("Kelmo Test ") + database;
    }

    // Runs SQL through psql as the cluster's role; false with the output in *output on error.
    bool psql(const QString& database, const QString& sql, QString* output = nullptr) {
        return run(m_binDir + QStringLiteral("/psql"),
                   {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                    QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), socketDir(),
                    QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"),
                    QLatin1String(kRole), QStringLiteral("-d"), database, QStringLiteral("-c"),
                    sql},
                   output);
    }

    // An empty database owned by the cluster's role.
    bool createDatabase(const QString& name) {
        return psql(QStringLiteral("postgres"),
                    QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0").arg(name));
    }

    bool dropDatabase(const QString& name) {
        return psql(QStringLiteral("postgres"),
                    QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(name));
    }

    // The driver entry and the data sources, one per database, written into the server's
    // folder, and unixODBC pointed at them. Extra text goes into odbc.ini as it is (other
    // data sources a test needs beside these).
    bool installOdbc(const QStringList& databases, const QByteArray& extraOdbcIni = {}) {
        QByteArray inst = "[" + driverName() + "]\nDescription=PostgreSQL for the tests\nDriver=" +
                          m_odbcDriver.toUtf8() + "\n";
        QByteArray ini;
        for (const QString& db : databases) {
            ini += odbcIniEntry(dsnName(db), db);
        }
        ini += extraOdbcIni;
        if (!writeFile(QDir(folder()).filePath(QStringLiteral("odbcinst.ini")), inst) ||
            !writeFile(QDir(folder()).filePath(QStringLiteral("odbc.ini")), ini)) {
            return false;
        }
        qputenv("ODBCSYSINI", folder().toUtf8());
        qputenv("ODBCINI", QDir(folder()).filePath(QStringLiteral("odbc.ini")).toUtf8());
        return true;
    }

    // One data-source entry of odbc.ini for a database of this server.
    QByteArray odbcIniEntry(const QString& dsn, const QString& database) const {
        return "[" + dsn.toUtf8() + "]\nDriver=" + driverName() +
               "\nServername=" + socketDir().toUtf8() + "\nPort=" + QByteArray::number(m_port) +
               "\nDatabase=" + database.toUtf8() + "\nUsername=" + QByteArray(kRole) + "\n";
    }

    static QByteArray driverName() {
        return "Kelmo PostgreSQL Unicode";
    }

    // Stops the server (fast shutdown: open sessions are ended).
    void stop() {
#ifdef Q_OS_LINUX
        if (m_server && m_server->state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_server->processId()), SIGINT);
            if (!m_server->waitForFinished(30000)) {
                m_server->kill();
                m_server->waitForFinished(5000);
            }
        }
#endif
        m_server.reset();
    }

    // Starts a stopped server again on the same port and folder.
    bool restart() {
        return launch();
    }

    // The server's client authentication file (a test may write it with COPY … TO and reload).
    QString hbaFile() const {
        return QDir(dataDir()).filePath(QStringLiteral("pg_hba.conf"));
    }

    QString serverLog() const {
        QFile f(QDir(folder()).filePath(QStringLiteral("server.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().right(2000)) : QString();
    }

private:
    QString dataDir() const {
        return QDir(folder()).filePath(QStringLiteral("data"));
    }

    bool fail(const QString& reason) {
        m_skipReason = QStringLiteral("the test PostgreSQL server could not be set up: ") + reason;
        stop();
        return false;
    }

    static QString findBinDir() {
        // The newest installed major version; Debian keeps each under /usr/lib/postgresql/N.
        const QDir root(QStringLiteral("/usr/lib/postgresql"));
        QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(versions.begin(), versions.end(),
                  [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
        for (const QString& v : versions) {
            const QString bin = root.filePath(v + QStringLiteral("/bin"));
            if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
                QFileInfo(bin + QStringLiteral("/postgres")).isExecutable()) {
                return bin;
            }
        }
        return {};
    }

    static QString findOdbcDriver() {
        for (const char* path :
             {"/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so",
              "/usr/lib/aarch64-linux-gnu/odbc/psqlodbcw.so",
              "/usr/lib/i386-linux-gnu/odbc/psqlodbcw.so", "/usr/lib/odbc/psqlodbcw.so"}) {
            if (QFile::exists(QLatin1String(path))) {
                return QLatin1String(path);
            }
        }
        return {};
    }

    // A port nobody listens on just now; the server retries with another if it is taken
    // before the server binds it.
    static quint16 freePort() {
#ifdef Q_OS_LINUX
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) {
            return 0;
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof(address);
        quint16 port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        ::close(fd);
        return port;
#else
        return 0;
#endif
    }

    static bool writeFile(const QString& path, const QByteArray& content) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               f.write(content) == content.size();
    }

#ifdef Q_OS_LINUX
    // PostgreSQL refuses to run as root, so a root test run hands the cluster to a system
    // user: postgres when the server package made one, otherwise nobody.
    bool chooseUser() {
        if (::geteuid() != 0) {
            return true;
        }
        for (const char* name : {"postgres", "nobody"}) {
            if (const passwd* pw = ::getpwnam(name)) {
                m_uid = pw->pw_uid;
                m_gid = pw->pw_gid;
                return true;
            }
        }
        return fail(QStringLiteral("running as root and neither the user postgres nor nobody "
                                   "exists"));
    }

    bool handOver(const QString& path) const {
        if (!m_uid) {
            return true;
        }
        return ::chown(QFile::encodeName(path).constData(), *m_uid, *m_gid) == 0;
    }

    // In the child between fork and exec: drop to the server's user, and have the kernel
    // stop the child when the test process dies so that no server outlives a crashed test.
    std::function<void()> childSetup() const {
        const std::optional<uid_t> uid = m_uid;
        const std::optional<gid_t> gid = m_gid;
        return [uid, gid] {
            if (uid) {
                if (::setgroups(0, nullptr) != 0 || ::setgid(*gid) != 0 || ::setuid(*uid) != 0) {
                    ::_exit(126);
                }
            }
            ::prctl(PR_SET_PDEATHSIG, SIGINT);
        };
    }
#else
    bool chooseUser() {
        return true;
    }
    bool handOver(const QString&) const {
        return true;
    }
    std::function<void()> childSetup() const {
        return [] {
        };
    }
#endif

    bool runAsServerUser(const QString& program, const QStringList& args, QString* output) {
        QProcess p;
        p.setChildProcessModifier(childSetup());
        p.setWorkingDirectory(folder());
        return finish(p, program, args, output);
    }

    bool run(const QString& program, const QStringList& args, QString* output) {
        QProcess p;
        return finish(p, program, args, output);
    }

    static bool finish(QProcess& p, const QString& program, const QStringList& args,
                       QString* output) {
        p.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("PGPASSWORD"));
        p.setProcessEnvironment(env);
        p.start(program, args);
        const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit &&
                        p.exitCode() == 0;
        if (output) {
            *output = QString::fromUtf8(p.readAll());
        }
        return ok;
    }

    bool launch() {
        m_server = std::make_unique<QProcess>();
        m_server->setChildProcessModifier(childSetup());
        m_server->setWorkingDirectory(folder());
        m_server->setProcessChannelMode(QProcess::MergedChannels);
        m_server->setStandardOutputFile(QDir(folder()).filePath(QStringLiteral("server.log")),
                                        QIODevice::Append);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        m_server->setProcessEnvironment(env);
        m_server->start(m_binDir + QStringLiteral("/postgres"),
                        {QStringLiteral("-D"), dataDir(), QStringLiteral("-p"),
                         QString::number(m_port), QStringLiteral("-k"), socketDir(),
                         QStringLiteral("-c"), QStringLiteral("listen_addresses=127.0.0.1"),
                         QStringLiteral("-c"), QStringLiteral("fsync=off"), QStringLiteral("-c"),
                         QStringLiteral("max_connections=40")});
        if (!m_server->waitForStarted(10000)) {
            m_server.reset();
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            if (m_server->state() == QProcess::NotRunning) {
                m_server.reset();
                return false; // a port taken meanwhile, for one
            }
            if (run(m_binDir + QStringLiteral("/pg_isready"),
                    {QStringLiteral("-q"), QStringLiteral("-h"), socketDir(), QStringLiteral("-p"),
                     QString::number(m_port)},
                    nullptr)) {
                return true;
            }
            m_server->waitForFinished(100);
        }
        stop();
        return false;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_server;
    QString m_binDir;
    QString m_odbcDriver;
    QString m_skipReason;
    quint16 m_port = 0;
#ifdef Q_OS_LINUX
    std::optional<uid_t> m_uid;
    std::optional<gid_t> m_gid;
#endif
};

} // namespace kelmo::test
