// The explosives editor and the structure types editor on a real database file: their modes
// and buttons, what they store, what they refuse, and that an interrupted change loses nothing.

#include "core/NameOrder.h"
#include "core/ProgramFolder.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/ExplosiveRecords.h"
#include "data/StructureKinds.h"
#include "shell/MainWindow.h"
#include "shell/Navigator.h"
#include "tests/support/GuiTest.h"
#include "ui/Messages.h"
#include "windows/editors/ExplosivesEditor.h"
#include "windows/editors/StructureTypesEditor.h"
#include "windows/zone/ZoneInputWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace kelmo;
using editors::ExplosivesEditor;
using editors::StructureTypesEditor;
using test::child;

namespace {

QStringList dump(const QString& connection, const QString& table) {
    db::Connection c(connection);
    QStringList rows;
    QSqlQuery q = c.select("select * from " + table);
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i) {
            fields << q.value(i).toString();
        }
        rows << fields.join('|');
    }
    return rows;
}

QStringList catalogue(const QString& connection) {
    QStringList all;
    for (const char* table : {"Explosives", "BTypes", "BSubTypes", "IDPM"}) {
        all << QString::fromLatin1(table) << dump(connection, QString::fromLatin1(table));
    }
    return all;
}

void click(QWidget* window, const char* button) {
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

QTableWidget* grid(QWidget* window) {
    return child<QTableWidget>(window, "grdTable");
}

QStringList column(QWidget* window, int c) {
    QStringList texts;
    for (int row = 0; row < grid(window)->rowCount(); ++row) {
        texts << grid(window)->item(row, c)->text();
    }
    return texts;
}

int rowOf(QWidget* window, const QString& text, int c = 0) {
    return static_cast<int>(column(window, c).indexOf(text));
}

// Clicks the grid row whose first (or given) column reads `text`, as the user would.
int clickRow(QWidget* window, const QString& text, int c = 0) {
    const int row = rowOf(window, text, c);
    if (row < 0) {
        return row;
    }
    QTableWidget* g = grid(window);
    g->scrollToItem(g->item(row, c));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {},
                      g->visualItemRect(g->item(row, c)).center());
    return row;
}

void enter(QWidget* window, const char* name, const QString& text) {
    if (auto* combo = window->findChild<QComboBox*>(QString::fromLatin1(name))) {
        combo->setEditText(text);
    } else {
        child<QLineEdit>(window, name)->setText(text);
    }
}

QString fieldText(QWidget* window, const char* name) {
    if (auto* combo = window->findChild<QComboBox*>(QString::fromLatin1(name))) {
        return combo->currentText();
    }
    return child<QLineEdit>(window, name)->text();
}

// Which of the named controls are enabled, as "name=1 name=0 …", to compare whole states.
QString enabled(QWidget* window, const QStringList& names) {
    QStringList states;
    for (const QString& name : names) {
        auto* w = window->findChild<QWidget*>(name);
        states << name + (w && w->isEnabled() ? "=1" : "=0");
    }
    return states.join(' ');
}

const QStringList kControls{"cmdDob", "cmdIzm", "cmdDel", "cmdNazad", "cmdVihod", "grdTable"};
const QString kTnt = QStringLiteral("Тротил (ТНТ)");
const QString kBuildings = QStringLiteral("Производственные, административные и жилые здания");
const QString kWooden = QStringLiteral("Деревянные дома");
const QString kTankWagons = QStringLiteral("Цистерны для перевозки нефтепродуктов");

// Run as a child process: opens an editor on the database, starts a change of its first
// row, says "ready" and waits to be killed.
int childMain(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString connection = db::fileConnectionString(qEnvironmentVariable("KELMO_EDITOR_DB"));
    std::unique_ptr<QWidget> window;
    if (qEnvironmentVariable("KELMO_EDITOR_CHILD") == "kvv") {
        window = std::make_unique<ExplosivesEditor>(WindowContext::forDatabase(connection));
    } else {
        window = std::make_unique<StructureTypesEditor>(WindowContext::forDatabase(connection));
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        return 2;
    }
    clickRow(window.get(), grid(window.get())->item(0, 1)->text(), 1);
    click(window.get(), "cmdIzm");
    if (!child<QGroupBox>(window.get(), "Frame1")->isVisible()) {
        return 3;
    }
    enter(window.get(),
          qEnvironmentVariable("KELMO_EDITOR_CHILD") == "kvv" ? "comKVVName" : "Combo2",
          "Изменённое имя");
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return app.exec();
}

} // namespace

class TestEditors : public test::GuiTest {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    QString m_connection;

    template <typename W> std::unique_ptr<W> open() {
        auto window = std::make_unique<W>(WindowContext::forDatabase(m_connection));
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) {
            qFatal("window not shown");
        }
        return window;
    }

    void exec(const QString& sql) {
        db::Connection c(m_connection);
        c.exec(sql);
    }

    void addStructures(const QString& type, const QString& kind, int count) {
        db::Connection c(m_connection);
        for (int i = 0; i < count; ++i) {
            c.exec("insert into IDPM (NumPrim, NumSoor, Combo2, Combo3) values (1, "
                   "(select count(*) + 1 from IDPM), ?, ?)",
                   {type, kind});
        }
    }

private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        setProgramFolderForTesting(m_dir->path());
        m_path = m_dir->filePath("bdKelmo.db");
        db::createDatabaseFile(m_path, false);
        m_connection = db::fileConnectionString(m_path);
    }
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            w->close();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setProgramFolderForTesting({});
        QLocale::setDefault(QLocale::c());
        m_dir.reset();
    }

    // ---- explosives ----

    void explosivesLayout() {
        auto w = open<ExplosivesEditor>();
        QCOMPARE(w->windowTitle(), "Изменение базы данных конденсированных ВВ");
        QTableWidget* g = grid(w.get());
        QCOMPARE(g->columnCount(), 2);
        QCOMPARE(g->horizontalHeaderItem(0)->text(), "Наименование конденсированного ВВ");
        // The values are kJ/kg (4520 for TNT), so the header says so.
        QCOMPARE(g->horizontalHeaderItem(1)->text(), "Энергия взрыва КВВ, кДж/кг");
        QCOMPARE(g->columnWidth(0), 210);
        QCOMPARE(g->columnWidth(1), 153);
        QCOMPARE(g->rowCount(), 19);
        QStringList names = column(w.get(), 0);
        // In the order of the alphabet, whatever the case: «Тетрил» before «ТЭН».
        QStringList sorted = names;
        std::sort(sorted.begin(), sorted.end(), NameOrder());
        QCOMPARE(names, sorted);
        QVERIFY(names.indexOf(QStringLiteral("Тетрил")) < names.indexOf(QStringLiteral("ТЭН")));
        QCOMPARE(g->item(rowOf(w.get(), kTnt), 1)->text(), "4520");
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=0 cmdDel=0 cmdNazad=1 cmdVihod=1 grdTable=1");
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(child<QGroupBox>(w.get(), "Frame1")->title(),
                 "Окно ввода нового (изменения старого) конденсированного ВВ");
        QCOMPARE(fieldText(w.get(), "txtVVPower"), "0");
        QCOMPARE(child<QComboBox>(w.get(), "comKVVName")->count(), 0);
        QCOMPARE(child<QPushButton>(w.get(), "cmdOk")->text(), "OK");
    }

    // Each button leaves the window in the mode the user expects, and a change followed by
    // "Отмена" brings the explosive back in its place without touching the table.
    void explosivesModesAndCancel() {
        auto w = open<ExplosivesEditor>();
        ui::MessageRecorder messages;
        QSignalSpy back(w.get(), &ExplosivesEditor::backRequested);
        QSignalSpy exit(w.get(), &ExplosivesEditor::exitRequested);
        const QStringList before = catalogue(m_connection);
        const QStringList namesBefore = column(w.get(), 0);

        const int row = clickRow(w.get(), kTnt);
        QVERIFY(row >= 0);
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=1 cmdDel=1 cmdNazad=1 cmdVihod=1 grdTable=1");

        click(w.get(), "cmdDob");
        QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(enabled(w.get(), {"cmdNazad", "cmdVihod", "grdTable"}),
                 "cmdNazad=0 cmdVihod=0 grdTable=0");
        click(w.get(), "cmdCansel");
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=0 cmdDel=0 cmdNazad=1 cmdVihod=1 grdTable=1");

        clickRow(w.get(), kTnt);
        click(w.get(), "cmdIzm");
        QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(fieldText(w.get(), "comKVVName"), kTnt);
        QCOMPARE(fieldText(w.get(), "txtVVPower"), "4520");
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=0 cmdIzm=0 cmdDel=0 cmdNazad=0 cmdVihod=0 grdTable=0");
        // Gone from the grid, still in the table.
        QVERIFY(!column(w.get(), 0).contains(kTnt));
        QCOMPARE(grid(w.get())->rowCount(), 18);
        QCOMPARE(catalogue(m_connection), before);
        // The way out is closed while the frame is open.
        click(w.get(), "cmdNazad");
        click(w.get(), "cmdVihod");
        QCOMPARE(back.count() + exit.count(), 0);

        enter(w.get(), "comKVVName", "Что-то другое");
        enter(w.get(), "txtVVPower", "1");
        // Esc in a field of the frame is "Отмена".
        QTest::keyClick(child<QLineEdit>(w.get(), "txtVVPower"), Qt::Key_Escape);
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(column(w.get(), 0), namesBefore);
        QCOMPARE(rowOf(w.get(), kTnt), row);
        QCOMPARE(catalogue(m_connection), before);
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=0 cmdDel=0 cmdNazad=1 cmdVihod=1 grdTable=1");
        QCOMPARE(messages.count(), 0);

        click(w.get(), "cmdNazad");
        click(w.get(), "cmdVihod");
        QCOMPARE(back.count(), 1);
        QCOMPARE(exit.count(), 1);
    }

    void explosiveChangeStored() {
        auto w = open<ExplosivesEditor>();
        ui::MessageRecorder messages;
        clickRow(w.get(), kTnt);
        click(w.get(), "cmdIzm");
        enter(w.get(), "comKVVName", "ТНТ (тротил)");
        enter(w.get(), "txtVVPower", "4184,5");
        QTest::keyClick(child<QLineEdit>(w.get(), "txtVVPower"), Qt::Key_Return); // as "OK"
        QCOMPARE(messages.count(), 0);
        db::Connection c(m_connection);
        QVERIFY(!db::findExplosive(c, kTnt));
        QCOMPARE(db::findExplosive(c, "ТНТ (тротил)")->energy, 4184.5);
        QCOMPARE(db::readExplosives(c).size(), std::size_t(19));
        // Back to browsing, as after "Отмена".
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=0 cmdDel=0 cmdNazad=1 cmdVihod=1 grdTable=1");
        const int row = rowOf(w.get(), "ТНТ (тротил)");
        QVERIFY(row >= 0);
        QCOMPARE(grid(w.get())->item(row, 1)->text(), "4184.5");
    }

    void explosiveValidation_data() {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("energy");
        QTest::addColumn<QString>("refusal"); // empty: stored
        QTest::addColumn<double>("stored");
        const QString nameField = "«Конденсированное ВВ»";
        const QString energyField = "«Энергия взрыва»";
        QTest::newRow("blank name") << false << "   "
                                    << "100" << nameField << 0.0;
        QTest::newRow("name taken, other case") << false << "тротил (тнт)"
                                                << "100" << nameField << 0.0;
        QTest::newRow("energy not a number") << false << "Новое"
                                             << "сто" << energyField << 0.0;
        QTest::newRow("energy empty") << false << "Новое"
                                      << "" << energyField << 0.0;
        QTest::newRow("energy zero") << false << "Новое"
                                     << "0" << energyField << 0.0;
        QTest::newRow("energy negative") << false << "Новое"
                                         << "-4520" << energyField << 0.0;
        QTest::newRow("grouped digits") << true << "Новое"
                                        << "4 520" << energyField << 0.0;
        QTest::newRow("comma, C locale") << false << " Новое "
                                         << "4520,5"
                                         << "" << 4520.5;
        QTest::newRow("point, C locale") << false << "Новое"
                                         << "4520.5"
                                         << "" << 4520.5;
        QTest::newRow("comma, Russian locale") << true << "Новое"
                                               << "4520,5"
                                               << "" << 4520.5;
        QTest::newRow("point, Russian locale") << true << "Новое"
                                               << "4520.5"
                                               << "" << 4520.5;
    }
    void explosiveValidation() {
        QFETCH(bool, russian);
        QFETCH(QString, name);
        QFETCH(QString, energy);
        QFETCH(QString, refusal);
        QFETCH(double, stored);
        if (russian) {
            QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        }
        auto w = open<ExplosivesEditor>();
        ui::MessageRecorder messages;
        const QStringList before = catalogue(m_connection);
        click(w.get(), "cmdDob");
        enter(w.get(), "comKVVName", name);
        enter(w.get(), "txtVVPower", energy);
        click(w.get(), "cmdOk");
        db::Connection c(m_connection);
        if (refusal.isEmpty()) {
            QCOMPARE(messages.count(), 0);
            QCOMPARE(db::findExplosive(c, name.trimmed())->energy, stored);
            QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        } else {
            QCOMPARE(messages.count(), 1);
            QVERIFY2(messages.last().text.contains(refusal), qPrintable(messages.last().text));
            QCOMPARE(catalogue(m_connection), before);
            QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());
        }
    }

    void explosiveDelete() {
        auto w = open<ExplosivesEditor>();
        ui::MessageRecorder messages;
        clickRow(w.get(), "Гексоген");
        messages.queueAnswer(QMessageBox::No);
        click(w.get(), "cmdDel");
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().icon, QMessageBox::Question);
        QCOMPARE(messages.last().defaultButton, QMessageBox::No);
        QVERIFY(messages.last().text.contains("Гексоген"));
        QCOMPARE(grid(w.get())->rowCount(), 19); // "Нет" keeps it
        clickRow(w.get(), "Гексоген");
        messages.queueAnswer(QMessageBox::Yes);
        click(w.get(), "cmdDel");
        QCOMPARE(messages.count(), 2);
        QVERIFY(!column(w.get(), 0).contains("Гексоген"));
        QCOMPARE(grid(w.get())->rowCount(), 18);
        db::Connection c(m_connection);
        QVERIFY(!db::findExplosive(c, "Гексоген"));
        QCOMPARE(enabled(w.get(), {"cmdIzm", "cmdDel"}), "cmdIzm=0 cmdDel=0");
    }

    // Another program removed or renamed the row since the grid was filled.
    void explosiveRemovedElsewhere_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("change") << "cmdIzm";
        QTest::newRow("delete") << "cmdDel";
        QTest::newRow("store a change") << "cmdOk";
    }
    void explosiveRemovedElsewhere() {
        QFETCH(QString, action);
        auto w = open<ExplosivesEditor>();
        ui::MessageRecorder messages;
        clickRow(w.get(), kTnt);
        if (action == "cmdOk") {
            click(w.get(), "cmdIzm");
            enter(w.get(), "comKVVName", "Тротил новый");
        }
        exec("update Explosives set VVName = 'Тротил литой' where VVName = 'Тротил (ТНТ)'");
        const QStringList before = catalogue(m_connection);
        if (action == "cmdDel") {
            messages.queueAnswer(QMessageBox::Yes);
        }
        click(w.get(), qPrintable(action));
        if (action == "cmdDel") {
            QCOMPARE(messages.count(), 2); // the question, then the news
        } else {
            QCOMPARE(messages.count(), 1);
        }
        QVERIFY2(messages.last().text.contains("в другой программе"),
                 qPrintable(messages.last().text));
        QCOMPARE(catalogue(m_connection), before);
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QVERIFY(column(w.get(), 0).contains("Тротил литой"));
        QVERIFY(!column(w.get(), 0).contains(kTnt));
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=0 cmdDel=0 cmdNazad=1 cmdVihod=1 grdTable=1");
    }

    // A write the database refuses: the driver's words, the frame stays, nothing stored;
    // once the database takes writes again the same input goes in.
    void explosiveDatabaseFailure() {
        auto w = open<ExplosivesEditor>();
        ui::MessageRecorder messages;
        exec("create trigger refuse before update on Explosives begin "
             "select raise(abort, 'база данных только для чтения'); end");
        const QStringList before = catalogue(m_connection);
        clickRow(w.get(), kTnt);
        click(w.get(), "cmdIzm");
        enter(w.get(), "txtVVPower", "4600");
        click(w.get(), "cmdOk");
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        QVERIFY2(messages.last().text.contains("база данных только для чтения"),
                 qPrintable(messages.last().text));
        QCOMPARE(catalogue(m_connection), before);
        QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());

        exec("drop trigger refuse");
        click(w.get(), "cmdOk");
        QCOMPARE(messages.count(), 1);
        db::Connection c(m_connection);
        QCOMPARE(db::findExplosive(c, kTnt)->energy, 4600.0);
    }

    // ---- structure types ----

    void structuresLayout() {
        exec("insert into BSubTypes (Type, STName, Slamin, Slamax, Sremin, Sremax, Sulmin, "
             "Sulmax, Polmin, Polmax) values (99, 'Без типа', 1, 2, 3, 4, 5, 6, 7, 8.5)");
        auto w = open<StructureTypesEditor>();
        QCOMPARE(w->windowTitle(), "Изменение базы данных жилых и промышленных объектов");
        QTableWidget* g = grid(w.get());
        const QStringList headers{"Тип сооружения",
                                  "Вид сооружения",
                                  "Миним.значение dР*слаб (кПа)",
                                  "Макс.dР*слаб (кПа)",
                                  "Миним.значение dР*сред (кПа)",
                                  "Макс.dР*сред (кПа)",
                                  "Миним.значение dР*сильн (кПа)",
                                  "Макс.dР*сильн (кПа)",
                                  "Миним.значение dР*полн (кПа)",
                                  "Макс.dР*полн (кПа)"};
        QCOMPARE(g->columnCount(), 10);
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(g->horizontalHeaderItem(c)->text(), headers[c]);
            QCOMPARE(g->columnWidth(c), 100);
        }
        QCOMPARE(g->rowCount(), 23);
        QCOMPARE(g->item(0, 0)->text(), kBuildings);
        const int wooden = rowOf(w.get(), kWooden, 1);
        QStringList woodenRow;
        for (int c = 2; c < 10; ++c) {
            woodenRow << g->item(wooden, c)->text();
        }
        QCOMPARE(woodenRow, QStringList({"6", "8", "8", "12", "12", "20", "20", "30"}));
        QCOMPARE(g->item(22, 0)->text(), QString());
        QCOMPARE(g->item(22, 1)->text(), "Без типа");
        QCOMPARE(g->item(22, 9)->text(), "8.5");
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=1 cmdDel=1 cmdNazad=1 cmdVihod=1 grdTable=1");
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(child<QPushButton>(w.get(), "cmdOk")->text(), "ОК");
        QCOMPARE(fieldText(w.get(), "Text1"), "0");
        QCOMPARE(fieldText(w.get(), "txtPolmax"), "0");
    }

    // "Изменить запись" fills the frame from the selected row; "ОК" changes that row in place.
    void structureChangeInPlace() {
        auto w = open<StructureTypesEditor>();
        ui::MessageRecorder messages;
        const int row = clickRow(w.get(), kWooden, 1);
        click(w.get(), "cmdIzm");
        QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=0 cmdIzm=0 cmdDel=0 cmdNazad=1 cmdVihod=1 grdTable=0");
        QCOMPARE(fieldText(w.get(), "Combo1"), kBuildings);
        QCOMPARE(fieldText(w.get(), "Text1"), "1");
        QVERIFY(child<QLineEdit>(w.get(), "Text1")->isReadOnly());
        QCOMPARE(fieldText(w.get(), "Combo2"), kWooden);
        QCOMPARE(child<QComboBox>(w.get(), "Combo2")->count(), 15); // the kinds of its type
        QCOMPARE(fieldText(w.get(), "txtSulmax"), "20");
        QCOMPARE(fieldText(w.get(), "txtPolmax"), "30");
        enter(w.get(), "txtPolmax", "35,5");
        QTest::keyClick(child<QLineEdit>(w.get(), "txtPolmax"), Qt::Key_Return); // as "ОК"
        QCOMPARE(messages.count(), 0);
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(grid(w.get())->rowCount(), 22);
        QCOMPARE(grid(w.get())->item(row, 1)->text(), kWooden);
        QCOMPARE(grid(w.get())->item(row, 9)->text(), "35.5");
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=1 cmdDel=1 cmdNazad=1 cmdVihod=1 grdTable=1");
    }

    // "Добавить запись": an existing type brings its number and its kinds; a new type takes
    // the number in Text1, offered as the next free one.
    void structureAdd() {
        auto w = open<StructureTypesEditor>();
        ui::MessageRecorder messages;
        click(w.get(), "cmdDob");
        auto* types = child<QComboBox>(w.get(), "Combo1");
        QCOMPARE(types->count(), 4);
        types->setCurrentIndex(types->findText("Транспорт"));
        QCOMPARE(fieldText(w.get(), "Text1"), "3");
        QVERIFY(child<QLineEdit>(w.get(), "Text1")->isReadOnly());
        QCOMPARE(child<QComboBox>(w.get(), "Combo2")->count(), 1);
        QCOMPARE(child<QComboBox>(w.get(), "Combo2")->itemText(0), kTankWagons);

        enter(w.get(), "Combo1", "Мосты");
        QVERIFY(!child<QLineEdit>(w.get(), "Text1")->isReadOnly());
        QCOMPARE(fieldText(w.get(), "Text1"), "5");
        QCOMPARE(child<QComboBox>(w.get(), "Combo2")->count(), 0);
        enter(w.get(), "Combo2", "Мосты стальные");
        const char* fields[] = {"txtSlamin", "txtSlamax", "txtSremin", "txtSremax",
                                "txtSulmin", "txtSulmax", "txtPolmin", "txtPolmax"};
        const char* values[] = {"10", "20", "20", "30", "30", "40", "40", "60"};
        for (int i = 0; i < 8; ++i) {
            enter(w.get(), fields[i], values[i]);
        }
        click(w.get(), "cmdOk");
        QCOMPARE(messages.count(), 0);
        QCOMPARE(grid(w.get())->rowCount(), 23);
        QCOMPARE(grid(w.get())->item(22, 0)->text(), "Мосты");
        QCOMPARE(grid(w.get())->item(22, 1)->text(), "Мосты стальные");
        QCOMPARE(grid(w.get())->item(22, 9)->text(), "60");
        QCOMPARE(dump(m_connection, "BTypes").last(), "5|Мосты");
    }

    void structureValidation_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("refusal");
        const QString number = "«Условный номер типа сооружения»";
        QTest::newRow("no type") << "  "
                                 << ""
                                 << ""
                                 << "«Тип сооружения»";
        QTest::newRow("new type, number not whole") << "Мосты"
                                                    << "Text1"
                                                    << "5,5" << number;
        QTest::newRow("new type, number beyond 16 bits") << "Мосты"
                                                         << "Text1"
                                                         << "32768" << number;
        QTest::newRow("new type, number taken") << "Мосты"
                                                << "Text1"
                                                << "2" << number;
        QTest::newRow("no kind") << "Транспорт"
                                 << "Combo2"
                                 << " "
                                 << "«Вид сооружения»";
        QTest::newRow("kind taken in its type") << "транспорт"
                                                << "Combo2"
                                                << "цистерны для перевозки нефтепродуктов"
                                                << "«Вид сооружения»";
        QTest::newRow("range not a number") << "Транспорт"
                                            << "txtSlamin"
                                            << "десять"
                                            << "«Минимальное значение (слабой степени разрушения)»";
        QTest::newRow("range negative") << "Транспорт"
                                        << "txtSremax"
                                        << "-1"
                                        << "«Максимальное значение (средней степени разрушения)»";
        QTest::newRow("range beyond 16 bits")
            << "Транспорт"
            << "txtPolmax"
            << "32768"
            << "«Максимальное значение (полной степени разрушения)»";
        QTest::newRow("minimum above maximum")
            << "Транспорт"
            << "txtSulmin"
            << "45"
            << "«Максимальное значение (сильной степени разрушения)»";
    }
    void structureValidation() {
        QFETCH(QString, type);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, refusal);
        auto w = open<StructureTypesEditor>();
        ui::MessageRecorder messages;
        const QStringList before = catalogue(m_connection);
        click(w.get(), "cmdDob");
        enter(w.get(), "Combo1", type);
        enter(w.get(), "Combo2", "Вагоны");
        const char* fields[] = {"txtSlamin", "txtSlamax", "txtSremin", "txtSremax",
                                "txtSulmin", "txtSulmax", "txtPolmin", "txtPolmax"};
        const char* values[] = {"10", "20", "20", "30", "30", "40", "40", "60"};
        for (int i = 0; i < 8; ++i) {
            enter(w.get(), fields[i], values[i]);
        }
        if (!field.isEmpty()) {
            enter(w.get(), qPrintable(field), value);
        }
        click(w.get(), "cmdOk");
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.last().text.contains(refusal), qPrintable(messages.last().text));
        QCOMPARE(catalogue(m_connection), before);
        QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());
    }

    // Degrees out of order are allowed once the user accepts the warning.
    void structureRangesOutOfOrder() {
        auto w = open<StructureTypesEditor>();
        ui::MessageRecorder messages;
        const QStringList before = catalogue(m_connection);
        clickRow(w.get(), kWooden, 1);
        click(w.get(), "cmdIzm");
        enter(w.get(), "txtSremin", "7"); // medium begins inside weak: 6–8
        messages.queueAnswer(QMessageBox::No);
        click(w.get(), "cmdOk");
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY2(messages.last().text.contains("перекрываются"), qPrintable(messages.last().text));
        QCOMPARE(catalogue(m_connection), before);
        QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());

        messages.queueAnswer(QMessageBox::Yes);
        click(w.get(), "cmdOk");
        QCOMPARE(messages.count(), 2);
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(grid(w.get())->item(rowOf(w.get(), kWooden, 1), 4)->text(), "7");
    }

    void structureCancel_data() {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Отмена") << false;
        QTest::newRow("Esc") << true;
    }
    void structureCancel() {
        QFETCH(bool, byEscape);
        auto w = open<StructureTypesEditor>();
        ui::MessageRecorder messages;
        const QStringList before = catalogue(m_connection);
        clickRow(w.get(), kWooden, 1);
        click(w.get(), "cmdIzm");
        enter(w.get(), "Combo2", "Другое");
        enter(w.get(), "txtSlamin", "1");
        if (byEscape) {
            QTest::keyClick(child<QLineEdit>(w.get(), "txtSlamin"), Qt::Key_Escape);
        } else {
            click(w.get(), "cmdCansel");
        }
        QVERIFY(!child<QGroupBox>(w.get(), "Frame1")->isVisible());
        QCOMPARE(catalogue(m_connection), before);
        QCOMPARE(messages.count(), 0);
        QCOMPARE(enabled(w.get(), kControls),
                 "cmdDob=1 cmdIzm=1 cmdDel=1 cmdNazad=1 cmdVihod=1 grdTable=1");
    }

    // Kinds that structures of site plans use: their count is named before a rename or a
    // delete, "Нет" changes nothing, a rename carries the structures along.
    void structuresUsedByPlans() {
        addStructures(kBuildings, kWooden, 2);
        auto w = open<StructureTypesEditor>();
        ui::MessageRecorder messages;
        const QStringList before = catalogue(m_connection);

        clickRow(w.get(), kWooden, 1);
        click(w.get(), "cmdIzm");
        enter(w.get(), "Combo2", "Дома из бруса");
        messages.queueAnswer(QMessageBox::No);
        click(w.get(), "cmdOk");
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.last().text.contains("у 2 сооружений"), qPrintable(messages.last().text));
        QCOMPARE(catalogue(m_connection), before);
        messages.queueAnswer(QMessageBox::Yes);
        click(w.get(), "cmdOk");
        QCOMPARE(dump(m_connection, "IDPM").filter("|Дома из бруса|").size(), 2);

        clickRow(w.get(), "Дома из бруса", 1);
        messages.queueAnswer(QMessageBox::No);
        click(w.get(), "cmdDel");
        QVERIFY2(messages.last().text.contains("у 2 сооружений"), qPrintable(messages.last().text));
        QVERIFY(column(w.get(), 1).contains("Дома из бруса"));
        messages.queueAnswer(QMessageBox::Yes);
        click(w.get(), "cmdDel");
        QVERIFY(!column(w.get(), 1).contains("Дома из бруса"));
        QCOMPARE(grid(w.get())->rowCount(), 21);
        QCOMPARE(dump(m_connection, "IDPM").size(), 2);
    }

    void structureDeleteLastOfType() {
        auto w = open<StructureTypesEditor>();
        ui::MessageRecorder messages;
        click(w.get(), "cmdDel");
        QVERIFY2(messages.last().text.contains("Выберите"), qPrintable(messages.last().text));
        clickRow(w.get(), kTankWagons, 1);
        messages.queueAnswer(QMessageBox::Yes);
        click(w.get(), "cmdDel");
        QVERIFY2(messages.last().text.contains("тип тоже будет удалён"),
                 qPrintable(messages.last().text));
        QCOMPARE(messages.last().defaultButton, QMessageBox::No); // Enter keeps the kind
        QVERIFY(!column(w.get(), 0).contains("Транспорт"));
        QVERIFY(!dump(m_connection, "BTypes").contains("3|Транспорт"));
        QCOMPARE(dump(m_connection, "BTypes").size(), 3);
    }

    void structureDatabaseFailure() {
        auto w = open<StructureTypesEditor>();
        ui::MessageRecorder messages;
        exec("create trigger refuse before update on BSubTypes begin "
             "select raise(abort, 'диск заполнен'); end");
        const QStringList before = catalogue(m_connection);
        clickRow(w.get(), kWooden, 1);
        click(w.get(), "cmdIzm");
        enter(w.get(), "Combo1", "Деревянные постройки"); // a new type, then the refused update
        enter(w.get(), "txtPolmax", "31");
        click(w.get(), "cmdOk");
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        QVERIFY2(messages.last().text.contains("диск заполнен"), qPrintable(messages.last().text));
        QCOMPARE(catalogue(m_connection), before);
        QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());
    }

    // ---- interrupted changes ----

    // Closing the window from its frame while a change is open loses nothing.
    void changeInterruptedByClose_data() {
        QTest::addColumn<bool>("explosives");
        QTest::newRow("explosives") << true;
        QTest::newRow("structure types") << false;
    }
    void changeInterruptedByClose() {
        QFETCH(bool, explosives);
        const QStringList before = catalogue(m_connection);
        std::unique_ptr<QWidget> w;
        if (explosives) {
            w = open<ExplosivesEditor>();
        } else {
            w = open<StructureTypesEditor>();
        }
        clickRow(w.get(), grid(w.get())->item(0, 1)->text(), 1);
        click(w.get(), "cmdIzm");
        QVERIFY(child<QGroupBox>(w.get(), "Frame1")->isVisible());
        enter(w.get(), explosives ? "comKVVName" : "Combo2", "Изменённое имя");
        QVERIFY(w->close());
        w.reset();
        QCOMPARE(catalogue(m_connection), before);
    }

    // The process dies while the frame of a change is open: the catalogue is complete.
    void changeInterruptedByKill_data() { changeInterruptedByClose_data(); }
    void changeInterruptedByKill() {
        QFETCH(bool, explosives);
        const QStringList before = catalogue(m_connection);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KELMO_EDITOR_CHILD", explosives ? "kvv" : "bdz");
        env.insert("KELMO_EDITOR_DB", m_path);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(process.waitForStarted());
        QByteArray out;
        while (!out.contains("ready") && process.waitForReadyRead(20000)) {
            out += process.readAllStandardOutput();
        }
        QVERIFY2(out.contains("ready"), out + process.readAllStandardError());
        process.kill();
        QVERIFY(process.waitForFinished());
        QCOMPARE(catalogue(m_connection), before);
        db::Connection c(m_connection);
        QSqlQuery check = c.select("pragma integrity_check");
        QVERIFY(check.next());
        QCOMPARE(check.value(0).toString(), "ok");
    }

    // ---- the main menu ----

    // The menu opens each editor and closes itself; back brings it again; the zone input
    // window, opened afterwards, lists what the editor stored.
    void menuOpensEditors() {
        ui::MessageRecorder messages;
        shell::Navigator navigator;
        QVERIFY(navigator.start());
        auto* kvv = navigator.mainMenu()->findChild<QAction*>("mnuKvv");
        QVERIFY(kvv->isEnabled());
        QCOMPARE(kvv->text().remove(u'&'), "Конденсированных взрывчатых веществ");
        kvv->trigger();
        flushDeletes();
        QVERIFY(navigator.mainMenu() == nullptr);
        ExplosivesEditor* editor = navigator.explosivesEditor();
        QVERIFY(editor && editor->isVisible());
        click(editor, "cmdDob");
        enter(editor, "comKVVName", "Аммонал");
        enter(editor, "txtVVPower", "5100");
        click(editor, "cmdOk");
        click(editor, "cmdNazad");
        flushDeletes();
        QVERIFY(navigator.explosivesEditor() == nullptr);
        QVERIFY(navigator.mainMenu() && navigator.mainMenu()->isVisible());

        trigger(navigator.mainMenu(), "mnuZone");
        flushDeletes();
        auto* zone = navigator.zoneInput();
        QVERIFY(zone != nullptr);
        auto* list = child<QComboBox>(zone, "Combo4");
        const int at = list->findText("Аммонал");
        QVERIFY(at >= 0);
        list->setCurrentIndex(at);
        QCOMPARE(fieldText(zone, "Text12"), "5100");
        click(zone, "cmdNazad");
        flushDeletes();

        auto* rezerv = navigator.mainMenu()->findChild<QAction*>("mnuRezerv");
        QVERIFY(rezerv->isEnabled());
        QCOMPARE(rezerv->text().remove(u'&'),
                 "Жилых и промышленных объектов,транспорта, резервуаров");
        rezerv->trigger();
        flushDeletes();
        QVERIFY(navigator.mainMenu() == nullptr);
        StructureTypesEditor* types = navigator.structureTypesEditor();
        QVERIFY(types && types->isVisible());
        QCOMPARE(grid(types)->rowCount(), 22);
        click(types, "cmdNazad");
        flushDeletes();
        QVERIFY(navigator.structureTypesEditor() == nullptr);
        QVERIFY(navigator.mainMenu()->isVisible());

        // "Выход" of an editor closes every window.
        trigger(navigator.mainMenu(), "mnuKvv");
        flushDeletes();
        click(navigator.explosivesEditor(), "cmdVihod");
        flushDeletes();
        QVERIFY(navigator.explosivesEditor() == nullptr);
        QVERIFY(navigator.mainMenu() == nullptr);
        QCOMPARE(messages.count(), 0);
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("KELMO_EDITOR_CHILD")) {
        return childMain(argc, argv);
    }
    QApplication app(argc, argv);
    TestEditors test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_editors.moc"
