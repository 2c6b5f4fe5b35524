// kelmo-calc as a script would use it: run the binary and read what it prints.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Result runCalc(const QStringList& arguments, const QString& outputFile = {}) {
    QProcess p;
    if (!outputFile.isEmpty()) {
        p.setStandardOutputFile(outputFile);
    }
    p.start(KELMO_CALC_PATH, arguments);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-2, {}, QStringLiteral("kelmo-calc did not finish within a minute")};
    }
    // A crash is no exit code at all.
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

// Everything in a folder, hidden files included.
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QJsonObject runJson(const QStringList& arguments) {
    const Result r = runCalc(arguments);
    if (r.exitCode != 0) {
        qWarning() << r.err;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning() << error.errorString();
    }
    return doc.object();
}

QList<double> numbers(const QJsonValue& v) {
    QList<double> out;
    for (const QJsonValue& x : v.toArray()) {
        out << x.toDouble();
    }
    return out;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void workedRun();
    void runs_data();
    void runs();
    void profile();
    void perMoleEqualsPerKg();
    void csv();
    void errors_data();
    void errors();
    void help();
    void reportFiles();
    void perMoleReportDescription();
    void point();
    void pointRange_data();
    void pointRange();
    void pointDatabase();
    void initDb();
    void initDbBadPaths_data();
    void initDbBadPaths();
    void initDbOverDatabaseInUse();
    void fullStandardOutput_data();
    void fullStandardOutput();
    void specialOutputPaths_data();
    void specialOutputPaths();
    void hostileTemplates_data();
    void hostileTemplates();
    void argumentsNotUtf8();
    void fullDisk();
    void tinyCharges_data();
    void tinyCharges();
};

void TestCli::workedRun() {
    const QJsonObject o = runJson({"zones", "--mass", "1000", "--heat", "4520", "--air"});
    QCOMPARE(o["massTNT"].toDouble(), 1000.0);
    QCOMPARE(o["pointCount"].toInt(), 325);
    QCOMPARE(o["endDistance"].toDouble(), 326.0);
    QCOMPARE(o["maxDistance"].toDouble(), 325.0);
    QCOMPARE(numbers(o["radiiKgf"]), QList<double>({27, 32, 39, 53, 68, 113, 311}));
    QCOMPARE(numbers(o["radiiKPa"]), QList<double>({27, 32, 39, 52, 68, 111, 147, 195, 305, 855}));
    QCOMPARE(o["radius53kPa"].toDouble(), 37.0);
    QCOMPARE(o["radius28kPa"].toDouble(), 54.0);
    QCOMPARE(o["radius12kPa"].toDouble(), 97.0);
    QCOMPARE(numbers(o["radiiCriteria"]), QList<double>({11, 13, 15, 16, 19, 23}));
    const QJsonObject zones = o["zoneRadii"].toObject();
    QCOMPARE(numbers(zones["heavy"]), QList<double>({38, 74, 85, 167}));
    QCOMPARE(numbers(zones["total"]), QList<double>({21, 44, 51, 115}));
    QCOMPARE(numbers(zones["people"]), QList<double>({9, 12, 12, 14}));
    QVERIFY(!o.contains("profile"));
}

void TestCli::runs_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("rows");
    QTest::addColumn<double>("radius1kgf");
    QTest::addColumn<QList<double>>("heavy");

    QTest::newRow("ground is the default")
        << QStringList{"--mass", "1000"} << 410 << 34.0 << QList<double>{48, 93, 108, 210};
    QTest::newRow("ground, comma decimal") << QStringList{"--mass", "1000,0", "--ground"} << 410
                                           << 34.0 << QList<double>{48, 93, 108, 210};
    QTest::newRow("air, 10 m step")
        << QStringList{"--mass", "1000", "--air", "--step", "10"} << 33 << 21.0 << QList<double>();
}

void TestCli::runs() {
    QFETCH(QStringList, options);
    QFETCH(int, rows);
    QFETCH(double, radius1kgf);
    QFETCH(QList<double>, heavy);
    const QJsonObject o = runJson(QStringList{"zones"} + options);
    QCOMPARE(o["pointCount"].toInt(), rows);
    QCOMPARE(numbers(o["radiiKgf"]).value(0), radius1kgf);
    if (!heavy.isEmpty()) {
        QCOMPARE(numbers(o["zoneRadii"].toObject()["heavy"]), heavy);
    }
}

void TestCli::profile() {
    const Result r = runCalc({"zones", "--mass", "1000", "--air", "--profile"});
    QCOMPARE(r.exitCode, 0);
    const QJsonArray rows = QJsonDocument::fromJson(r.out).object()["profile"].toArray();
    QCOMPARE(rows.size(), 325);
    const QJsonArray tenMetres = rows[9].toArray();
    QCOMPARE(tenMetres.size(), 7);
    QCOMPARE(tenMetres[0].toDouble(), 10.0);
    QVERIFY(std::abs(tenMetres[2].toDouble() - 10.54) < 1e-12);
    QCOMPARE(std::round(tenMetres[4].toDouble() * 100) / 100, 12.40);

    // Probits are printed as single-precision values in their own shortest form, so the
    // text reads back to the same float and carries no digits of the widening to double.
    const qsizetype start = r.out.indexOf("[10,");
    QVERIFY(start > 0);
    const QList<QByteArray> fields =
        r.out.mid(start + 1, r.out.indexOf(']', start) - start - 1).split(',');
    QCOMPARE(fields.size(), 7);
    for (int i = 4; i < 7; ++i) {
        const float probit = fields[i].toFloat();
        QCOMPARE(QByteArray::number(probit, 'g', 9).toFloat(), probit);
        QVERIFY2(fields[i].size() <= 11, fields[i].constData());
        QCOMPARE(probit, float(tenMetres[i].toDouble()));
    }
}

// The report describes a per-mole charge as the window does: the second number under
// "кДж/моль".
void TestCli::perMoleReportDescription() {
    QTemporaryDir dir;
    const QString path = dir.filePath("mol.docx");
    runJson({"report", "--mass", "1000", "--heat-mol", "809.08", "--molar-mass", "179", "--docx",
             path});
    QProcess p;
    p.start(QStringLiteral(KELMO_PYTHON),
            {"-c", "import docx,sys; print(docx.Document(sys.argv[1]).paragraphs[4].text)", path});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
             QString("Энергия взрыва, кДж/моль:179"));
}

void TestCli::perMoleEqualsPerKg() {
    const QJsonObject perMole = runJson(
        {"zones", "--mass", "1000", "--heat-mol", "809.08", "--molar-mass", "179", "--air"});
    QVERIFY(std::abs(perMole["massTNT"].toDouble() - 1000) < 1e-9);
    QCOMPARE(perMole["pointCount"].toInt(), 325);
}

void TestCli::csv() {
    const Result r = runCalc({"zones", "--mass", "1000", "--air", "--format", "csv"});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 326);
    QVERIFY(lines[0].startsWith("r_m,"));
    QCOMPARE(lines[1].split(',').size(), 7);
    QVERIFY(lines[10].startsWith("10,"));
}

void TestCli::errors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("mentions");

    QTest::newRow("mass not a number") << QStringList{"zones", "--mass", "abc"} << 2 << "--mass";
    QTest::newRow("mass missing") << QStringList{"zones", "--air"} << 2 << "--mass";
    QTest::newRow("step not a number")
        << QStringList{"zones", "--mass", "10", "--step", "x"} << 2 << "--step";
    QTest::newRow("unknown option") << QStringList{"zones", "--mass", "10", "--foo"} << 2 << "foo";
    QTest::newRow("bad format") << QStringList{"zones", "--mass", "10", "--format", "xml"} << 2
                                << "--format";
    QTest::newRow("heat-mol without molar mass")
        << QStringList{"zones", "--mass", "10", "--heat-mol", "800"} << 2 << "--molar-mass";
    QTest::newRow("air and ground")
        << QStringList{"zones", "--mass", "10", "--air", "--ground"} << 2 << "--air";
    QTest::newRow("unknown command") << QStringList{"zonez"} << 2 << "zonez";
    QTest::newRow("zero body mass")
        << QStringList{"zones", "--mass", "10", "--body-mass", "0"} << 1 << "масса тела";
    QTest::newRow("zero step") << QStringList{"zones", "--mass", "10", "--step", "0"} << 1
                               << "Увеличьте шаг";
    QTest::newRow("zero molar divisor")
        << QStringList{"zones", "--mass", "10", "--heat-mol", "800", "--molar-mass", "0"} << 1
        << "кДж/моль";
    QTest::newRow("report without a file")
        << QStringList{"report", "--mass", "10"} << 2 << "--docx";
    QTest::newRow("table without a file") << QStringList{"table", "--mass", "10"} << 2 << "--xlsx";
    QTest::newRow("expert without a distance")
        << QStringList{"expert", "--mass", "10", "--docx", "x.docx"} << 2 << "--at";
    QTest::newRow("expert without its template")
        << QStringList{"expert", "--mass", "1000",   "--air",      "--at",
                       "25",     "--docx", "x.docx", "--template", "/nonexistent/otchet.docx"}
        << 1 << "Не найден шаблон";
    QTest::newRow("negative mass")
        << QStringList{"zones", "--mass", "-1"} << 1 << "тротиловый эквивалент";
}

void TestCli::errors() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, mentions);
    const Result r = runCalc(arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(mentions), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

void TestCli::help() {
    const Result r = runCalc({"zones", "--help"});
    QCOMPARE(r.exitCode, 0);
    const QString text = QString::fromUtf8(r.out);
    for (const char* option : {"--mass", "--heat", "--heat-mol", "--molar-mass", "--ground",
                               "--air", "--step", "--body-mass", "--profile", "--format"}) {
        QVERIFY2(text.contains(option), option);
    }
    // Every command's help and the parser's errors are in Russian.
    const QList<QStringList> calls{{"zones", "--help"},  {"point", "--help"}, {"report", "--help"},
                                   {"expert", "--help"}, {"table", "--help"}, {"init-db", "--help"},
                                   {"zones", "--bogus"}, {"zones", "--mass"}};
    for (const QStringList& call : calls) {
        const Result h = runCalc(call);
        const QString all = QString::fromUtf8(h.out) + h.err;
        QVERIFY2(!all.isEmpty(), qPrintable(call.join(' ')));
        for (const char* english : {"Usage", "Options", "Arguments", "Displays", "option",
                                    "Missing", "Unknown", "value"}) {
            QVERIFY2(!all.contains(QLatin1String(english)),
                     qPrintable(call.join(' ') + ": " + all));
        }
        if (call[1] == "--help") {
            QVERIFY(all.startsWith("Использование: kelmo-calc " + call[0] + " [параметры]"));
        }
    }
}

// The three documents of the worked run, written without a display.
void TestCli::reportFiles() {
    QTemporaryDir dir;
    const QStringList charge{"--mass", "1000", "--air"};
    // The Word reports carry who made them, as the window's «Сведения для отчетов» give it.
    const QStringList byline{"--organisation", "ООО «Ромашка»", "--author", "Иванов И. И."};
    const struct {
        QStringList command;
        QString file;
    } cases[] = {
        {QStringList{"report"} + byline + QStringList{"--docx"}, "full.docx"},
        {QStringList{"expert", "--at", "25"} + byline + QStringList{"--docx"}, "expert.docx"},
        {{"table", "--xlsx"}, "table.xlsx"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.file);
        const QJsonObject json = runJson(c.command + QStringList{path} + charge);
        QCOMPARE(json["rows"].toInt(), 325);
        QCOMPARE(json["file"].toString(), path);
        QFile f(path);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(c.file));
        QCOMPARE(f.read(2), QByteArray("PK"));
        if (c.file.endsWith(".docx")) {
            QProcess p;
            p.start(QStringLiteral(KELMO_PYTHON),
                    {"-c",
                     "import docx,sys; print('\\n'.join(p.text for p in "
                     "docx.Document(sys.argv[1]).paragraphs))",
                     path});
            QVERIFY(p.waitForFinished(60000));
            const QString text = QString::fromUtf8(p.readAllStandardOutput());
            for (const QString& line : {QStringLiteral("Организация:     ООО «Ромашка»"),
                                        QStringLiteral("Исполнитель:     Иванов И. И.")})
                QVERIFY2(text.contains(line), qPrintable(c.file + ": " + line));
        }
    }
}

void TestCli::point() {
    // The point calculation gives exactly the run's values at a stored distance, with the
    // probabilities from the program folder's database.
    const QJsonObject run = runJson({"zones", "--mass", "1000", "--air", "--profile"});
    const QJsonArray row = run["profile"].toArray()[49].toArray();
    const QJsonObject o = runJson({"point", "--at", "50", "--mass", "1000", "--air"});
    QCOMPARE(row[0].toDouble(), 50.0);
    QCOMPARE(o["deltaPkPa"].toDouble(), row[1].toDouble());
    QCOMPARE(o["deltaPkgf"].toDouble(), row[2].toDouble());
    QCOMPARE(o["impulse"].toDouble(), row[3].toDouble());
    QCOMPARE(o["probitHeavy"].toDouble(), row[4].toDouble());
    QCOMPARE(o["probitTotal"].toDouble(), row[5].toDouble());
    QCOMPARE(o["probitPeople"].toDouble(), row[6].toDouble());
    QCOMPARE(std::round(o["percentHeavy"].toDouble() * 10) / 10, 91.2);
    QCOMPARE(std::round(o["percentTotal"].toDouble() * 10) / 10, 36.9);
    QCOMPARE(o["percentPeople"].toDouble(), 0.0);
    for (const char* key : {"argHeavy", "argTotal", "relPressure", "relImpulse", "argPeople"}) {
        QVERIFY2(o[key].toDouble() > 0, key);
    }
    QCOMPARE(o["relPressure"].toDouble(), o["deltaPkPa"].toDouble() * 1000 / 101315);

    const QJsonObject close = runJson({"point", "--at", "2", "--mass", "1000"});
    QCOMPARE(close["percentHeavy"].toDouble(), 100.0);
    QCOMPARE(close["percentTotal"].toDouble(), 100.0);
}

void TestCli::pointRange_data() {
    QTest::addColumn<QString>("at");
    QTest::addColumn<int>("exitCode");
    // The air run of 1000 kg stores 325 rows; the last one is beyond the charts.
    QTest::newRow("first row") << "1" << 0;
    QTest::newRow("before the first row") << "0,5" << 1;
    QTest::newRow("row before the last") << "324" << 0;
    QTest::newRow("last row") << "325" << 1;
    QTest::newRow("not a number") << "abc" << 2;
}

void TestCli::pointRange() {
    QFETCH(QString, at);
    QFETCH(int, exitCode);
    const Result r = runCalc({"point", "--at", at, "--mass", "1000", "--air"});
    QCOMPARE(r.exitCode, exitCode);
    if (exitCode == 1) {
        QVERIFY(r.err.contains("Указанное расстояние выходит за границы расчета!"));
        QVERIFY(r.out.isEmpty());
    }
}

void TestCli::pointDatabase() {
    QTemporaryDir dir;
    const QString missing = dir.filePath("none.db");
    const Result r = runCalc({"point", "--at", "50", "--mass", "1000", "--db", missing});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("не найден"));
    QVERIFY(!QFile::exists(missing));
}

void TestCli::initDb() {
    QTemporaryDir dir;
    const QString path = dir.filePath("new/bdKelmo.db");
    QCOMPARE(runCalc({"init-db", path}).exitCode, 0);
    QVERIFY(QFile::exists(path));
    const QJsonObject o = runJson({"point", "--at", "50", "--mass", "1000", "--air", "--db", path});
    QCOMPARE(std::round(o["percentHeavy"].toDouble() * 10) / 10, 91.2);
    {
        // The structure catalogue: 22 kinds in 4 types, every kind under a type.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "init-db");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        const auto scalar = [&db](const QString& sql) {
            QSqlQuery q(sql, db);
            return q.next() ? q.value(0).toInt() : -1;
        };
        QCOMPARE(scalar("select count(*) from BSubTypes"), 22);
        QCOMPARE(scalar("select count(*) from BTypes"), 4);
        QCOMPARE(scalar("select count(*) from BSubTypes k left join BTypes t on t.TNum = k.Type "
                        "where t.TName is null"),
                 0);
        QStringList types;
        QSqlQuery q("select TName from BTypes order by TNum", db);
        while (q.next()) {
            types << q.value(0).toString();
        }
        QCOMPARE(types, QStringList({"Производственные, административные и жилые здания",
                                     "Резервуары и емкости", "Транспорт",
                                     "Коммунально-энергетические сети"}));
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase("init-db");

    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("user data");
    f.close();
    const Result refused = runCalc({"init-db", path});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.err.contains("--force"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("user data"));
    f.close();
    QCOMPARE(runCalc({"init-db", "--force", path}).exitCode, 0);
    QVERIFY(QFileInfo(path).size() > 10000);
    QCOMPARE(runCalc({"init-db", path, path}).exitCode, 2);
    // Without a path it is the working database, here the build's own, which it keeps.
    const Result working = runCalc({"init-db"});
    QCOMPARE(working.exitCode, 1);
    QVERIFY2(working.err.contains("bdKelmo.db") && working.err.contains("--force"),
             qPrintable(working.err));
}

void TestCli::initDbBadPaths_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << "";
    QTest::newRow("folder name with a separator") << "newdir/";
}

// Paths that name no file are bad arguments: nothing is built, no folder is left.
void TestCli::initDbBadPaths() {
    QFETCH(QString, path);
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(KELMO_CALC_PATH, {"init-db", path});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(!p.readAllStandardError().isEmpty());
    QCOMPARE(entries(dir.path()), QStringList{});
}

void TestCli::initDbOverDatabaseInUse() {
    QTemporaryDir dir;
    const QString path = dir.filePath("bdKelmo.db");
    QCOMPARE(runCalc({"init-db", path}).exitCode, 0);
    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other-program");
        other.setDatabaseName(path);
        QVERIFY(other.open());
        QSqlQuery q(other);
        QVERIFY(q.exec("BEGIN IMMEDIATE"));
        QVERIFY(q.exec("insert into Explosives (VVName, VVPower) values ('Новое ВВ', 1234)"));
        const Result r = runCalc({"init-db", "--force", path});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("используется"), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(q.exec("COMMIT"));
        QVERIFY(q.exec("select count(*) from Explosives where VVName = 'Новое ВВ'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }
    QSqlDatabase::removeDatabase("other-program");
    // The committed row is in the file the path names.
    QSqlDatabase check = QSqlDatabase::addDatabase("QSQLITE", "check");
    check.setDatabaseName(path);
    QVERIFY(check.open());
    {
        QSqlQuery q(check);
        QVERIFY(q.exec("select count(*) from Explosives where VVName = 'Новое ВВ'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }
    check.close();
    check = QSqlDatabase();
    QSqlDatabase::removeDatabase("check");
    QCOMPARE(entries(dir.path()), QStringList{"bdKelmo.db"});
}

void TestCli::fullStandardOutput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("zones json") << QStringList{"zones", "--mass", "1000"};
    QTest::newRow("zones csv") << QStringList{"zones", "--mass", "1000", "--format", "csv"};
    QTest::newRow("point") << QStringList{"point", "--at", "50", "--mass", "1000"};
    QTest::newRow("program help") << QStringList{"--help"};
    QTest::newRow("command help") << QStringList{"zones", "--help"};
    QTest::newRow("init-db") << QStringList{"init-db", "DB"};
}

// Output that cannot be written is a failure, never a silent success.
void TestCli::fullStandardOutput() {
#ifndef Q_OS_LINUX
    QSKIP("/dev/full is a Linux device");
#endif
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    arguments.replaceInStrings(QRegularExpression("^DB$"), dir.filePath("new.db"));
    const Result r = runCalc(arguments, "/dev/full");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("стандартный вывод"), qPrintable(r.err));
}

void TestCli::specialOutputPaths_data() {
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("target");
    const QList<QPair<const char*, QStringList>> commands{
        {"table", {"table", "--xlsx"}},
        {"report", {"report", "--docx"}},
        {"expert", {"expert", "--at", "25", "--docx"}},
    };
    for (const auto& [name, command] : commands) {
        QTest::addRow("%s into a pipe", name) << command << "fifo";
        QTest::addRow("%s into a folder", name) << command << "folder";
        QTest::addRow("%s through a link", name) << command << "link";
    }
}

// A pipe or a folder is refused and stays what it was; a link to a file is written through
// and stays a link, the same for every writer.
void TestCli::specialOutputPaths() {
    QFETCH(QStringList, command);
    QFETCH(QString, target);
    QTemporaryDir dir;
    QString path;
    if (target == "fifo") {
        path = dir.filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (target == "folder") {
        path = dir.filePath("folder");
        QVERIFY(QDir(dir.path()).mkdir("folder"));
    } else {
        path = dir.filePath("link");
        QVERIFY(QFile::link(dir.filePath("real"), path));
    }
    const QStringList before = entries(dir.path());
    const Result r = runCalc(command + QStringList{path, "--mass", "1000", "--air"});
    if (target == "link") {
        QCOMPARE(r.exitCode, 0);
        QVERIFY(QFileInfo(path).isSymLink());
        QVERIFY(QFileInfo(dir.filePath("real")).size() > 1000);
        QCOMPARE(entries(dir.path()), (QStringList{"link", "real"}));
    } else {
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(!r.err.contains("[ERROR]"), qPrintable(r.err));
        QCOMPARE(entries(dir.path()), before);
        QVERIFY(!QFileInfo(path).isFile());
    }
}

void TestCli::hostileTemplates_data() {
    QTest::addColumn<QString>("templ");
    QTest::newRow("part claiming 2^61 bytes") << QStringLiteral(KELMO_FIXTURES "/huge-part.docx");
    QTest::newRow("endless device") << "/dev/zero";
    QTest::newRow("pipe") << "FIFO";
}

// A template that would exhaust memory, never end or hang ends with a message.
void TestCli::hostileTemplates() {
    QFETCH(QString, templ);
    QTemporaryDir dir;
    if (templ == "FIFO") {
        templ = dir.filePath("otchet.docx");
        QCOMPARE(::mkfifo(QFile::encodeName(templ).constData(), 0600), 0);
    }
    const QString out = dir.filePath("expert.docx");
    const Result r =
        runCalc({"expert", "--mass", "1000", "--at", "25", "--template", templ, "--docx", out});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(!r.err.isEmpty());
    QVERIFY(!QFile::exists(out));
}

// File names arrive as bytes; bytes that are not UTF-8 are refused, not replaced.
void TestCli::argumentsNotUtf8() {
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start("/bin/sh", {"-c", "exec \"$0\" table --mass 10 --xlsx \"$(printf 'a\\377.xlsx')\"",
                        KELMO_CALC_PATH});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("UTF-8"));
    QCOMPARE(entries(dir.path()), QStringList{});
}

// A real, nearly full file system: a small tmpfs in a namespace of its own. Each writer fails
// with exit 1, the old file stays, and no temporary file is left.
void TestCli::fullDisk() {
    const QString unshare = QStandardPaths::findExecutable("unshare");
    if (unshare.isEmpty()) {
        QSKIP("unshare is not installed");
    }
    QTemporaryDir dir;
    const QString script = QStringLiteral(R"sh(
set -u
mount -t tmpfs -o size=256k none "$1" || exit 77
cd "$1"
for f in table.xlsx report.docx expert.docx; do printf 'old %s' "$f" > "$f"; done
cat /dev/zero > fill 2>/dev/null
"$2" table --mass 1000 --xlsx table.xlsx; echo "table=$?"
"$2" report --mass 1000 --docx report.docx; echo "report=$?"
"$2" expert --mass 1000 --at 25 --docx expert.docx --template "$3"; echo "expert=$?"
for f in table.xlsx report.docx expert.docx; do echo "$f:$(cat "$f")"; done
ls -A | tr '\n' ' '; echo
)sh");
    // The template lies outside the small file system.
    const QString templ = dir.filePath("otchet.docx");
    QVERIFY(QFile::copy(QStringLiteral(KELMO_PROGRAM_DIR "/otchet.docx"), templ));
    QVERIFY(QDir(dir.path()).mkdir("small"));
    QProcess p;
    p.start(unshare,
            {"-rm", "sh", "-c", script, "sh", dir.filePath("small"), KELMO_CALC_PATH, templ});
    QVERIFY(p.waitForFinished(120000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (p.exitCode() == 77 || out.isEmpty()) {
        QSKIP(qPrintable("no user namespace with a tmpfs here: " + err));
    }
    for (const char* line : {"table=1", "report=1", "expert=1", "table.xlsx:old table.xlsx",
                             "report.docx:old report.docx", "expert.docx:old expert.docx",
                             "expert.docx fill report.docx table.xlsx "}) {
        QVERIFY2(out.contains(line), qPrintable(line + ("\n" + out + err)));
    }
    QVERIFY2(!err.contains("[ERROR]"), qPrintable(err));
    QVERIFY2(err.contains("Ошибка файла") || err.contains("нет места"), qPrintable(err));
}

void TestCli::tinyCharges_data() {
    QTest::addColumn<QString>("mass");
    QTest::newRow("1e-12 kg") << "1e-12";
    QTest::newRow("smallest double, 4.9e-324 kg") << "4.9e-324";
}

// A charge too small to damage anything at 1 m gives an empty result, however small.
void TestCli::tinyCharges() {
    QFETCH(QString, mass);
    const Result r = runCalc({"zones", "--mass", mass});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(o["pointCount"].toInt(), 0);
    QCOMPARE(o["maxDistance"].toDouble(), 0.0);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
