// The site plan windows on a database file: the editor's controls and visibility rules, the
// sliders, the corner pictures, the structure navigation and actions, the create and choose
// dialogs, and the way the shell wires them to the main menu.

#include "core/ProgramFolder.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/SitePlan.h"
#include "shell/MainWindow.h"
#include "shell/Navigator.h"
#include "tests/support/WidgetLookup.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapView.h"
#include "windows/plan/ChoosePlanDialog.h"
#include "windows/plan/CreatePlanDialog.h"
#include "windows/plan/PlanEditorWindow.h"
#include "windows/plan/PlanPictures.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kelmo;
using kelmo::test::child;
using kelmo::ui::MessageRecorder;

namespace {

QByteArray fileHash(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

const char* const kDegreeNames[4] = {"Sla", "Sre", "Sul", "Pol"};

// Which degree groups (slider, value field, three labels) show, as a string like "..S.".
QString visibleGroups(QWidget* w) {
    static const int firstLabel[4] = {18, 21, 24, 27};
    QString out;
    for (int i = 0; i < 4; ++i) {
        const QString d = QString::fromLatin1(kDegreeNames[i]);
        QList<QWidget*> group{w->findChild<QWidget*>("hsc" + d), w->findChild<QWidget*>("txt" + d)};
        for (int l = 0; l < 3; ++l) {
            group << w->findChild<QWidget*>(QStringLiteral("Label%1").arg(firstLabel[i] + l));
        }
        const int shown = static_cast<int>(std::count_if(
            group.begin(), group.end(), [w](QWidget* c) { return c && c->isVisibleTo(w); }));
        out += shown == 5   ? QStringLiteral("S")
               : shown == 0 ? QStringLiteral(".")
                            : QStringLiteral("?");
    }
    return out;
}

} // namespace

class TestPlanWindows : public QObject {
    Q_OBJECT

    QTemporaryDir m_template;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    std::unique_ptr<db::Connection> m_c;
    plan::PlanSession m_session;
    std::unique_ptr<plan::PlanEditorWindow> m_editor;
    // Every message is recorded, so that none waits for a click.
    std::unique_ptr<MessageRecorder> m_messages;

    // One type "Склады" (7) with two kinds whose ranges differ in every degree.
    void kindFixture(double weakMin = 10, double weakMax = 15) {
        m_c->exec(QStringLiteral("delete from BSubTypes"));
        m_c->exec(QStringLiteral("delete from BTypes"));
        m_c->exec(QStringLiteral("insert into BTypes (TNum, TName) values (7, 'Склады'), "
                                 "(8, 'Пустой тип')"));
        m_c->exec(QStringLiteral("insert into BSubTypes (Type, STName, Slamin, Slamax, Sremin, "
                                 "Sremax, Sulmin, Sulmax, Polmin, Polmax) values "
                                 "(7, 'Первый', ?, ?, 20, 30, 30, 40, 40, 60), "
                                 "(7, 'Второй', 100, 200, 200, 300, 300, 400, 400, 600)"),
                  {weakMin, weakMax});
    }

    WindowContext context() const {
        return WindowContext::forDatabase(db::fileConnectionString(m_path));
    }

    plan::PlanEditorWindow* openEditor() {
        m_editor = std::make_unique<plan::PlanEditorWindow>(context(), m_session);
        m_editor->show();
        return m_editor.get();
    }

    int planWith(const QString& name, int count) {
        const int plan = db::createPlan(*m_c, name);
        for (int n = 1; n <= count; ++n) {
            db::StructureRecord r;
            r.plan = plan;
            r.number = n;
            r.type = QStringLiteral("Склады");
            r.kind = QStringLiteral("Первый");
            r.storeys = QString::number(n);
            r.staff = QStringLiteral("0");
            r.selected = {false, false, true, false};
            r.pressure = {12, 25, 35, 50};
            for (QString& corner : r.corners) {
                corner = QString::number(n);
            }
            db::addStructure(*m_c, r);
        }
        return plan;
    }

    // A plan of many structures, stored in one transaction.
    int bigPlan(const QString& name, int count) {
        const int plan = db::createPlan(*m_c, name);
        QList<db::StructureRecord> records;
        for (int n = 1; n <= count; ++n) {
            db::StructureRecord r;
            r.type = QStringLiteral("Склады");
            r.kind = QStringLiteral("Первый");
            r.storeys = QStringLiteral("1");
            r.staff = QStringLiteral("0");
            r.pressure = {12, 25, 35, 50};
            const double x = (n % 100) * 20.0;
            const double y = (n / 100) * 20.0;
            db::setOutline(r, {{x, y}, {x, y + 10}, {x + 10, y + 10}, {x + 10, y}});
            records.append(r);
        }
        db::appendStructures(*m_c, plan, records);
        return plan;
    }

    std::size_t structuresOnMap() const { return m_editor->planMap()->model().structures.size(); }

    // The editor on a plan, as after a choose.
    plan::PlanEditorWindow* editorOnPlan(int plan) {
        m_session.planNumber = plan;
        auto* e = openEditor();
        e->showPlanAreas();
        return e;
    }

    QList<int> storeysOf(int plan) {
        QList<int> out;
        QSqlQuery q = m_c->exec(QStringLiteral("select Text1 from IDPM where NumPrim = ? "
                                               "order by NumSoor"),
                                {plan});
        while (q.next()) {
            out << q.value(0).toInt();
        }
        return out;
    }

    QString text(const char* name) {
        if (auto* line = m_editor->findChild<QLineEdit*>(name)) {
            return line->text();
        }
        return child<QAbstractButton>(m_editor.get(), name)->text();
    }
    bool shown(const char* name) {
        return child<QWidget>(m_editor.get(), name)->isVisibleTo(m_editor.get());
    }
    bool enabled(const char* name) { return child<QWidget>(m_editor.get(), name)->isEnabled(); }
    void click(const char* name) {
        QTest::mouseClick(child<QAbstractButton>(m_editor.get(), name), Qt::LeftButton);
    }

private slots:
    // Each test works on its own copy of one freshly built database.
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QVERIFY(m_template.isValid());
        const QString path = m_template.filePath(QStringLiteral("bdKelmo.db"));
        db::createDatabaseFile(path, false);
        m_c = std::make_unique<db::Connection>(db::fileConnectionString(path));
        kindFixture();
        m_c.reset();
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        setProgramFolderForTesting(m_dir->path());
        m_path = m_dir->filePath(QStringLiteral("bdKelmo.db"));
        QVERIFY(QFile::copy(m_template.filePath(QStringLiteral("bdKelmo.db")), m_path));
        QFile(m_path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        m_c = std::make_unique<db::Connection>(db::fileConnectionString(m_path));
        m_messages = std::make_unique<MessageRecorder>();
        m_session = plan::PlanSession{};
    }

    void cleanup() {
        m_editor.reset();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            delete w;
        }
        m_messages.reset();
        m_c.reset();
        setProgramFolderForTesting({});
        m_dir.reset();
    }

    // ---- The window as it opens ----

    void captions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        const QList<QPair<const char*, const char*>> rows = {
            {"cmdRasch", "РАСЧЕТ"},
            {"cmdNazad", "<<  НАЗАД"},
            {"cmdVihod", "ВЫХОД"},
            {"Frame4", "Сосредоточенный заряд"},
            {"Frame3", "Параметры взрыва"},
            {"Frame1", "Исходные данные  плана местности (объекта)"},
            {"Option1", "в воздухе"},
            {"Option2", "на поверхности земли"},
            {"Option3", "выбор конденсированного ВВ из списка"},
            {"Option4", "ввод данных с клавиатуры"},
            {"Option5", "кДж/кг"},
            {"Option6", "кДж/моль"},
            {"Text11", "0"},
            {"Text17", "0"},
            {"Text15", "0"},
            {"Text16", "0"},
            {"Text13", "1"},
            {"cmdMinN", "<"},
            {"cmdMaxN", ">"},
            {"cmdDob", "Добавить №1"},
            {"cmdRec", "Изменить №1"},
            {"cmdDel", "Удалить №1"},
            {"Text1", "0"},
            {"Text2", "0"},
            {"Frame5", "Р* i - ой степени разрушения сооружения"},
            {"Frame2", "Координаты угловых точек сооружения (м,м)"},
            {"optSla", "слабой"},
            {"optSre", "средней"},
            {"optSul", "сильной"},
            {"optPol", "полной"},
            {"Label18", "кПа"},
            {"Label19", "min"},
            {"Label20", "max"},
            {"Label29", "max"},
            {"txtX1", "0"},
            {"txtY4", "0"},
            {"lblCombo4", "Вид конденсированного ВВ"},
            {"lblText11", "Масса конденсированного ВВ (кг)"},
            {"lblText12", "Энергия взрыва:"},
            {"lblStorage", "Координаты места хранения КВВ (м,м)"},
            {"lblText13", "Порядковый номер сооружения на плане"},
            {"lblCombo2", "Тип сооружения"},
            {"lblCombo3", "Вид сооружения"},
            {"lblText1", "Этажность здания"},
            {"lblText2", "Количество сотрудников в здании"},
            {"lblX1", "Х1"},
            {"lblY3", "У3"},
            {"lblPicture1", "Координатная привязка углов сооружений"},
            {"mnuSozdPM", "Создать план местности (объекта)"},
            {"mnuViborPM", "Выбрать план местности (объекта)"},
            {"mnuDelPM", "Удалить план местности (объекта)"},
        };
        for (const auto& [name, caption] : rows) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption);
        }
    }
    void captions() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        auto* e = openEditor();
        QObject* control = e->findChild<QObject*>(name);
        QVERIFY2(control, qPrintable(name));
        QString actual;
        if (auto* g = qobject_cast<QGroupBox*>(control)) {
            actual = g->title();
        } else if (auto* b = qobject_cast<QAbstractButton*>(control)) {
            actual = b->text();
        } else if (auto* l = qobject_cast<QLineEdit*>(control)) {
            actual = l->text();
        } else if (auto* lb = qobject_cast<QLabel*>(control)) {
            actual = lb->text();
        } else if (auto* a = qobject_cast<QAction*>(control)) {
            actual = a->text();
        }
        QCOMPARE(actual, caption);
    }

    void openingShowsOnlyMenuAndButtons() {
        auto* e = openEditor();
        QCOMPARE(e->windowTitle(),
                 QStringLiteral("Расчет инженерной обстановки с использованием плана местности"));
        QCOMPARE(e->menuBar()->actions().first()->text().remove(u'&'), QStringLiteral("Файл"));
        for (const char* name : {"Frame1", "Frame3", "Frame4", "cmdRasch"}) {
            QVERIFY2(!shown(name), name);
        }
        QVERIFY(shown("cmdNazad") && shown("cmdVihod"));
        e->showPlanAreas();
        for (const char* name : {"Frame1", "Frame3", "Frame4", "cmdRasch", "cmdDob"}) {
            QVERIFY2(shown(name), name);
        }
        for (const char* name : {"cmdRec", "cmdDel", "Text14", "Text17"}) {
            QVERIFY2(!shown(name), name);
        }
        // No structure yet: №1 is offered and nothing comes after it.
        QVERIFY(enabled("cmdMinN") && !enabled("cmdMaxN"));
        QVERIFY(!enabled("Text12"));
        QVERIFY(child<QRadioButton>(e, "Option2")->isChecked());
        QVERIFY(child<QRadioButton>(e, "Option3")->isChecked());
        QVERIFY(child<QRadioButton>(e, "Option5")->isChecked());
        QVERIFY(child<QRadioButton>(e, "optSul")->isChecked());
        QCOMPARE(visibleGroups(e), QStringLiteral("..S."));
        QVERIFY(child<QLineEdit>(e, "Text13")->isReadOnly());
        QVERIFY(!child<QComboBox>(e, "Combo2")->isEditable());
        QVERIFY(!child<QComboBox>(e, "Combo3")->isEditable());
        QVERIFY(child<QComboBox>(e, "Combo4")->isEditable());
        QVERIFY(!child<QLabel>(e, "Picture1")->pixmap().isNull());
        QVERIFY(!child<QLabel>(e, "vzr")->pixmap().isNull());
    }

    void explosiveListAndOptions() {
        auto* e = openEditor();
        auto* list = child<QComboBox>(e, "Combo4");
        QVERIFY(list->count() > 3);
        QCOMPARE(list->currentIndex(), 0);
        const int tnt = list->findText(QStringLiteral("Тротил"), Qt::MatchStartsWith);
        list->setCurrentIndex(tnt);
        QCOMPARE(text("Text12"), QStringLiteral("4520"));
        list->setEditText(QStringLiteral("Нет такого ВВ"));
        QCOMPARE(text("Text12"), QStringLiteral("4520"));

        e->showPlanAreas();
        child<QRadioButton>(e, "Option4")->setChecked(true);
        QVERIFY(!shown("Combo4") && shown("Text14") && enabled("Text12"));
        child<QRadioButton>(e, "Option6")->setChecked(true);
        QVERIFY(shown("Text17") && !shown("Text12"));
        QVERIFY(child<QRadioButton>(e, "Option4")->isChecked()); // two separate option groups
        child<QRadioButton>(e, "Option5")->setChecked(true);
        QVERIFY(!shown("Text17") && shown("Text12"));
        child<QRadioButton>(e, "Option3")->setChecked(true);
        QVERIFY(shown("Combo4") && !shown("Text14") && !enabled("Text12"));
        QVERIFY(child<QRadioButton>(e, "Option5")->isChecked());
    }

    // ---- Sliders ----

    void sliderMiddleRoundsHalfToEven_data() {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<int>("position");
        QTest::newRow("10..15 → 12") << 10.0 << 15.0 << 12;
        QTest::newRow("10..25 → 18") << 10.0 << 25.0 << 18;
        QTest::newRow("fractions 9.6..14.4 → 12") << 9.6 << 14.4 << 12;
        QTest::newRow("20..20") << 20.0 << 20.0 << 20;
    }
    void sliderMiddleRoundsHalfToEven() {
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(int, position);
        kindFixture(min, max);
        auto* e = openEditor();
        auto* slider = child<QScrollBar>(e, "hscSla");
        QCOMPARE(slider->value(), position);
        QCOMPARE(text("txtSla"), QString::number(position));
        QCOMPARE(slider->minimum(), static_cast<int>(std::nearbyint(min)));
    }

    // The sliders always carry the ranges of the kind the list shows.
    void slidersFollowTheSelectedKind() {
        auto* e = openEditor();
        auto* kinds = child<QComboBox>(e, "Combo3");
        QCOMPARE(kinds->count(), 2);
        QCOMPARE(kinds->currentText(), QStringLiteral("Первый"));
        QCOMPARE(m_session.typeNumber, 7);
        auto* pol = child<QScrollBar>(e, "hscPol");
        QCOMPARE(pol->minimum(), 40);
        QCOMPARE(pol->maximum(), 60);
        QCOMPARE(text("txtPol"), QStringLiteral("50"));
        kinds->setCurrentIndex(1);
        QCOMPARE(pol->minimum(), 400);
        QCOMPARE(pol->maximum(), 600);
        QCOMPARE(text("txtPol"), QStringLiteral("500"));
        QCOMPARE(text("txtSla"), QStringLiteral("150"));
        // The user moves a slider: its field follows.
        pol->setValue(420);
        QCOMPARE(text("txtPol"), QStringLiteral("420"));
    }

    void typeWithoutKindsAndEmptyTypeTable() {
        auto* e = openEditor();
        auto* types = child<QComboBox>(e, "Combo2");
        types->setCurrentIndex(types->findText(QStringLiteral("Пустой тип")));
        QCOMPARE(m_session.typeNumber, 8);
        QCOMPARE(child<QComboBox>(e, "Combo3")->count(), 0);
        QVERIFY(!child<QComboBox>(e, "Combo3")->placeholderText().isEmpty());

        m_c->exec(QStringLiteral("delete from BSubTypes"));
        m_c->exec(QStringLiteral("delete from BTypes"));
        m_session.planNumber = db::createPlan(*m_c, QStringLiteral("План"));
        e = openEditor();
        e->showPlanAreas();
        QCOMPARE(child<QComboBox>(e, "Combo2")->count(), 0);
        QVERIFY(!child<QComboBox>(e, "Combo2")->placeholderText().isEmpty());
        MessageRecorder& messages = *m_messages;
        messages.clear();
        QVERIFY(!e->addStructure());
        QCOMPARE(messages.last().text, QStringLiteral("Выберите тип сооружения."));
        QVERIFY(storeysOf(m_session.planNumber).isEmpty());
    }

    void degreeOptionShowsOnlyItsGroup_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("groups");
        QTest::newRow("weak") << "optSla"
                              << "S...";
        QTest::newRow("medium") << "optSre"
                                << ".S..";
        QTest::newRow("complete") << "optPol"
                                  << "...S";
    }
    void degreeOptionShowsOnlyItsGroup() {
        QFETCH(QString, option);
        QFETCH(QString, groups);
        auto* e = openEditor();
        e->showPlanAreas();
        QTest::mouseClick(e->findChild<QRadioButton*>(option), Qt::LeftButton);
        QCOMPARE(visibleGroups(e), groups);
    }

    // ---- Corner pictures ----

    void cornerFieldShowsItsPicture_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("corner");
        QTest::newRow("txtX1") << "txtX1" << 1;
        QTest::newRow("txtY2") << "txtY2" << 2;
        QTest::newRow("txtX3") << "txtX3" << 3;
        QTest::newRow("txtY3") << "txtY3" << 3;
        QTest::newRow("txtY4") << "txtY4" << 4;
    }
    void cornerFieldShowsItsPicture() {
        QFETCH(QString, field);
        QFETCH(int, corner);
        QString error;
        QVERIFY2(plan::writeCornerPictures(m_dir->path(), &error), qPrintable(error));
        auto* e = openEditor();
        e->showPlanAreas();
        // The field clicked below takes the focus at once only in an active window; otherwise
        // its focus arrives with the activation, after the checks.
        QVERIFY(QTest::qWaitForWindowActive(e));
        const QImage sketch = child<QLabel>(e, "Picture1")->pixmap().toImage();
        QTest::mouseClick(e->findChild<QLineEdit*>(field), Qt::LeftButton);
        const QImage expected(m_dir->filePath(QStringLiteral("p%1.jpg").arg(corner)));
        QVERIFY(!expected.isNull());
        QCOMPARE(
            child<QLabel>(e, "Picture1")->pixmap().toImage().convertToFormat(expected.format()),
            expected);
        QVERIFY(!shown("lblPictureNote"));

        // Another plan shown in the window starts again from the sketch of all four corners.
        e->showPlanAreas();
        QCOMPARE(child<QLabel>(e, "Picture1")->pixmap().toImage(), sketch);
    }

    void missingOrBrokenPictureShowsSketchAndNote_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a picture") << QByteArray("это не JPEG");
    }
    void missingOrBrokenPictureShowsSketchAndNote() {
        QFETCH(QByteArray, content);
        if (!content.isEmpty()) {
            QFile f(m_dir->filePath(QStringLiteral("p2.jpg")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        auto* e = openEditor();
        e->showPlanAreas();
        const QImage sketch = child<QLabel>(e, "Picture1")->pixmap().toImage();
        QTest::mouseClick(child<QLineEdit>(e, "txtX2"), Qt::LeftButton);
        QVERIFY(shown("lblPictureNote"));
        QVERIFY(child<QLabel>(e, "lblPictureNote")->text().contains(QStringLiteral("p2.jpg")));
        QCOMPARE(child<QLabel>(e, "Picture1")->pixmap().toImage(), sketch);
    }

    // ---- Navigation and the structure actions ----

    // A plan, chosen or just created, opens on its own first structure, whatever the window
    // showed before; the title names it.
    void planOpensOnItsFirstStructure() {
        const int full = planWith(QStringLiteral("Склад «Север»"), 2);
        const int empty = db::createPlan(*m_c, QStringLiteral("Новый"));
        auto* e = editorOnPlan(full);
        QCOMPARE(text("Text13"), QStringLiteral("1"));
        QCOMPARE(text("Text1"), QStringLiteral("1"));
        QCOMPARE(text("txtX1"), QStringLiteral("1"));
        QVERIFY(shown("cmdRec") && shown("cmdDel") && !shown("cmdDob"));
        QCOMPARE(text("cmdRec"), QStringLiteral("Изменить №1"));
        QVERIFY(enabled("cmdMaxN"));
        QVERIFY(e->windowTitle().endsWith(QStringLiteral(" — Склад «Север»")));
        click("cmdMaxN");
        QCOMPARE(text("cmdDel"), QStringLiteral("Удалить №2"));

        m_session.planNumber = empty; // as the create and choose windows leave it
        e->showPlanAreas();
        QCOMPARE(text("Text13"), QStringLiteral("1"));
        QVERIFY(shown("cmdDob") && !shown("cmdRec") && !shown("cmdDel"));
        QCOMPARE(text("cmdDob"), QStringLiteral("Добавить №1"));
        QCOMPARE(text("Text1"), QStringLiteral("0"));
        QCOMPARE(text("txtX1"), QStringLiteral("0"));
        QVERIFY(e->windowTitle().endsWith(QStringLiteral(" — Новый")));
        QCOMPARE(m_session.structureNumber, 1);

        m_session.planNumber = full;
        e->showPlanAreas();
        QCOMPARE(text("cmdRec"), QStringLiteral("Изменить №1"));
        QCOMPARE(text("Text1"), QStringLiteral("1"));
    }

    void stepsThroughStructuresThenOffersNext() {
        const int plan = planWith(QStringLiteral("План"), 3);
        auto* e = editorOnPlan(plan);
        for (int n = 1; n <= 3; ++n) {
            if (n > 1) {
                click("cmdMaxN");
            }
            QCOMPARE(text("Text13"), QString::number(n));
            QCOMPARE(text("Text1"), QString::number(n));
            QVERIFY(shown("cmdRec") && shown("cmdDel") && !shown("cmdDob"));
            QCOMPARE(text("cmdRec"), QStringLiteral("Изменить №%1").arg(n));
            QCOMPARE(text("cmdDel"), QStringLiteral("Удалить №%1").arg(n));
            QVERIFY(enabled("cmdMaxN"));
        }
        click("cmdMaxN");
        QCOMPARE(text("Text13"), QStringLiteral("4"));
        QCOMPARE(text("cmdDob"), QStringLiteral("Добавить №4"));
        QVERIFY(shown("cmdDob") && !shown("cmdRec") && !shown("cmdDel"));
        QVERIFY(!enabled("cmdMaxN"));
        QCOMPARE(m_session.structureNumber, 4);
        Q_UNUSED(e);
    }

    void previousAtOneDisablesBothAndShowsOne() {
        const int plan = planWith(QStringLiteral("План"), 2);
        editorOnPlan(plan);
        click("cmdMaxN");
        click("cmdMinN");
        QCOMPARE(text("Text13"), QStringLiteral("1"));
        QCOMPARE(text("cmdRec"), QStringLiteral("Изменить №1"));
        click("cmdMinN");
        QVERIFY(!enabled("cmdMinN"));
        QCOMPARE(text("Text1"), QStringLiteral("1"));
        QVERIFY(shown("cmdRec")); // structure 1 is there, so ">" is back
        QVERIFY(enabled("cmdMaxN"));

        // On a plan without structures "<" at 1 leaves both disabled and offers 1.
        m_editor.reset();
        editorOnPlan(db::createPlan(*m_c, QStringLiteral("Пустой")));
        click("cmdMinN");
        QVERIFY(!enabled("cmdMinN") && !enabled("cmdMaxN"));
        QCOMPARE(text("cmdDob"), QStringLiteral("Добавить №1"));
    }

    void storedDegreeSelectsItsOption() {
        const int plan = planWith(QStringLiteral("План"), 1);
        auto r = *db::readStructure(*m_c, plan, 1);
        r.selected = {false, true, false, false};
        r.pressure = {11, 27, 33, 44};
        db::changeStructure(*m_c, r);
        auto* e = editorOnPlan(plan);
        QVERIFY(child<QRadioButton>(e, "optSre")->isChecked());
        QCOMPARE(visibleGroups(e), QStringLiteral(".S.."));
        QCOMPARE(text("txtSre"), QStringLiteral("27"));
        QCOMPARE(child<QScrollBar>(e, "hscSre")->value(), 27);
        QCOMPARE(text("txtSla"), QStringLiteral("11"));
    }

    // A value outside the kind's present range stays as stored and is written back unchanged.
    void storedValueOutsideTheRangeIsKept() {
        const int plan = planWith(QStringLiteral("План"), 1);
        auto r = *db::readStructure(*m_c, plan, 1);
        r.pressure[3] = 95; // the kind now allows 40 … 60
        db::changeStructure(*m_c, r);
        editorOnPlan(plan);
        QCOMPARE(text("txtPol"), QStringLiteral("95"));
        MessageRecorder& messages = *m_messages;
        messages.clear();
        QVERIFY(m_editor->changeStructure());
        QCOMPARE(db::readStructure(*m_c, plan, 1)->pressure[3], 95);
    }

    void addThenShowsTheNewStructure() {
        const int plan = planWith(QStringLiteral("План"), 2);
        auto* e = editorOnPlan(plan);
        click("cmdMaxN");
        click("cmdMaxN");
        click("cmdMaxN");
        child<QComboBox>(e, "Combo3")->setCurrentIndex(1);
        child<QLineEdit>(e, "Text1")->setText(QStringLiteral("9"));
        child<QLineEdit>(e, "Text2")->setText(QStringLiteral("120"));
        child<QRadioButton>(e, "optPol")->setChecked(true);
        child<QLineEdit>(e, "txtX1")->setText(QStringLiteral("-12,5"));
        child<QLineEdit>(e, "txtY1")->setText(QStringLiteral("3.25"));
        MessageRecorder& messages = *m_messages;
        messages.clear();
        click("cmdDob");
        QCOMPARE(messages.count(), 0);
        const auto stored = db::readStructure(*m_c, plan, 3);
        QVERIFY(stored);
        QCOMPARE(stored->kind, QStringLiteral("Второй"));
        QCOMPARE(stored->storeys, QStringLiteral("9"));
        QCOMPARE(stored->selected, (std::array<bool, 4>{false, false, false, true}));
        QCOMPARE(stored->pressure, (std::array<int, 4>{150, 250, 350, 500}));
        QCOMPARE(stored->corners[0], QStringLiteral("-12.5"));
        QCOMPARE(stored->corners[1], QStringLiteral("3.25"));
        QCOMPARE(text("cmdRec"), QStringLiteral("Изменить №3"));
        QVERIFY(enabled("cmdMaxN"));
        QCOMPARE(text("txtX1"), QStringLiteral("-12,5"));
    }

    void addAtTakenNumberStoresNothing() {
        const int plan = planWith(QStringLiteral("План"), 3);
        editorOnPlan(plan);
        QCOMPARE(text("cmdDob"), QStringLiteral("Добавить №1"));
        MessageRecorder& messages = *m_messages;
        messages.clear();
        QVERIFY(!m_editor->addStructure());
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.last().text.contains(QStringLiteral("уже есть сооружение №1")));
        QCOMPARE(storeysOf(plan), (QList<int>{1, 2, 3}));
    }

    void badFieldsAreNamed_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("named");
        QTest::newRow("storeys text") << "Text1"
                                      << "два"
                                      << "«Этажность здания»";
        QTest::newRow("storeys fraction") << "Text1"
                                          << "2,5"
                                          << "«Этажность здания»";
        QTest::newRow("storeys negative") << "Text1"
                                          << "-1"
                                          << "«Этажность здания»";
        QTest::newRow("staff empty") << "Text2"
                                     << ""
                                     << "«Количество сотрудников в здании»";
        QTest::newRow("corner text") << "txtY2"
                                     << "1 м"
                                     << "«У2»";
        QTest::newRow("corner two commas") << "txtX4"
                                           << "1,2,3"
                                           << "«Х4»";
        QTest::newRow("corner beyond the plan") << "txtX3"
                                                << "1e30"
                                                << "«Х3»";
        QTest::newRow("corner just beyond the plan") << "txtY1"
                                                     << "-100000000,5"
                                                     << "вне пределов плана";
        QTest::newRow("corner infinite") << "txtY4"
                                         << "inf"
                                         << "«У4»";
    }
    void badFieldsAreNamed() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, named);
        const int plan = planWith(QStringLiteral("План"), 1);
        auto* e = editorOnPlan(plan);
        e->findChild<QLineEdit*>(field)->setText(value);
        MessageRecorder& messages = *m_messages;
        messages.clear();
        QVERIFY(!e->changeStructure());
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.last().text.contains(named), qPrintable(messages.last().text));
        click("cmdMaxN");
        QVERIFY(!e->addStructure());
        QCOMPARE(storeysOf(plan), (QList<int>{1}));
        QCOMPARE(*db::readStructure(*m_c, plan, 1)->corners.begin(), QStringLiteral("1"));
    }

    void changeKeepsTheNumber() {
        const int plan = planWith(QStringLiteral("План"), 3);
        auto* e = editorOnPlan(plan);
        click("cmdMaxN");
        child<QLineEdit>(e, "Text1")->setText(QStringLiteral("12"));
        child<QLineEdit>(e, "txtX4")->setText(QStringLiteral("-7"));
        MessageRecorder& messages = *m_messages;
        messages.clear();
        click("cmdRec");
        QCOMPARE(messages.count(), 0);
        QCOMPARE(storeysOf(plan), (QList<int>{1, 12, 3}));
        QCOMPARE(db::readStructure(*m_c, plan, 2)->corners[6], QStringLiteral("-7"));
        QCOMPARE(text("Text13"), QStringLiteral("2"));
        QCOMPARE(text("cmdRec"), QStringLiteral("Изменить №2"));
    }

    // A structure outlined by vertices keeps them when the form changes its other fields.
    void changeKeepsAnOutlineOfVertices() {
        const int plan = planWith(QStringLiteral("План"), 3);
        db::StructureRecord heptagon = *db::readStructure(*m_c, plan, 2);
        db::setOutline(heptagon, {{5, 0}, {3, 4}, {-2, 5}, {-5, 1}, {-4, -3}, {0, -5}, {4, -3}});
        db::changeStructure(*m_c, heptagon);
        auto* e = editorOnPlan(plan);
        QVERIFY(!shown("lblOutline"));
        QVERIFY(!child<QLineEdit>(e, "txtX1")->isReadOnly());
        click("cmdMaxN");
        // The corner fields show the rectangle around it and cannot be typed in.
        QVERIFY(shown("lblOutline"));
        QVERIFY2(child<QLabel>(e, "lblOutline")->text().contains(QStringLiteral("из 7 вершин")),
                 qPrintable(child<QLabel>(e, "lblOutline")->text()));
        QCOMPARE(text("txtX1"), QStringLiteral("-5"));
        QCOMPARE(text("txtY3"), QStringLiteral("5"));
        QVERIFY(child<QLineEdit>(e, "txtX1")->isReadOnly());
        QVERIFY(child<QLineEdit>(e, "txtY4")->isReadOnly());
        child<QLineEdit>(e, "Text1")->setText(QStringLiteral("12"));
        m_messages->clear();
        click("cmdRec");
        QCOMPARE(m_messages->count(), 0);
        QCOMPARE(storeysOf(plan), (QList<int>{1, 12, 3}));
        QCOMPARE(db::readStructure(*m_c, plan, 2)->vertices, heptagon.vertices);
        // A structure of four corners, and a new one, are typed again.
        click("cmdMaxN");
        QVERIFY(!shown("lblOutline"));
        QVERIFY(!child<QLineEdit>(e, "txtX1")->isReadOnly());
        click("cmdMaxN");
        QCOMPARE(text("cmdDob"), QStringLiteral("Добавить №4"));
        QVERIFY(!child<QLineEdit>(e, "txtY4")->isReadOnly());
    }

    void deleteSecondOfThreeShowsTheOldThird() {
        const int plan = planWith(QStringLiteral("План"), 3);
        editorOnPlan(plan);
        click("cmdMaxN");
        MessageRecorder& messages = *m_messages;
        messages.clear();
        messages.queueAnswer(QMessageBox::No);
        click("cmdDel");
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().icon, QMessageBox::Question);
        QCOMPARE(messages.last().defaultButton, QMessageBox::No);
        QVERIFY(messages.last().text.contains(QStringLiteral("№2")));
        QCOMPARE(storeysOf(plan), (QList<int>{1, 2, 3})); // "Нет" keeps it
        messages.queueAnswer(QMessageBox::Yes);
        click("cmdDel");
        QCOMPARE(storeysOf(plan), (QList<int>{1, 3}));
        QCOMPARE(text("Text13"), QStringLiteral("2"));
        QCOMPARE(text("Text1"), QStringLiteral("3"));
        QCOMPARE(text("cmdDel"), QStringLiteral("Удалить №2"));
        QVERIFY(shown("cmdRec") && !shown("cmdDob") && enabled("cmdMaxN"));
    }

    void deleteTheLastLeavesNoWayToAGap() {
        const int plan = planWith(QStringLiteral("План"), 2);
        editorOnPlan(plan);
        click("cmdMaxN");
        m_messages->queueAnswer(QMessageBox::Yes);
        click("cmdDel");
        QCOMPARE(storeysOf(plan), (QList<int>{1}));
        QCOMPARE(text("cmdDob"), QStringLiteral("Добавить №2"));
        QVERIFY(shown("cmdDob") && !shown("cmdRec") && !shown("cmdDel"));
        QVERIFY(!enabled("cmdMaxN"));
    }

    // Showing state left over from another plan: nothing under the number to change or delete.
    void changeOrDeleteWithoutStructureGiveAMessage() {
        const int full = planWith(QStringLiteral("Полный"), 2);
        const int empty = db::createPlan(*m_c, QStringLiteral("Пустой"));
        auto* e = editorOnPlan(full);
        m_session.planNumber = empty;
        MessageRecorder& messages = *m_messages;
        messages.clear();
        QVERIFY(!e->changeStructure());
        messages.queueAnswer(QMessageBox::Yes);
        QVERIFY(!e->deleteStructure());
        QCOMPARE(messages.count(), 3); // the refusal, the question, the refusal
        QVERIFY(messages.messages()[0].text.contains(QStringLiteral("нет сооружения №1")));
        QVERIFY(messages.messages()[2].text.contains(QStringLiteral("нет сооружения №1")));
        QVERIFY(storeysOf(empty).isEmpty());
        QCOMPARE(storeysOf(full), (QList<int>{1, 2}));
    }

    void nextStopsAt32767() {
        const int plan = db::createPlan(*m_c, QStringLiteral("План"));
        editorOnPlan(plan);
        m_session.structureNumber = 32766;
        m_editor->nextStructure(); // ">" itself is off: nothing comes after an empty №1
        QCOMPARE(text("Text13"), QStringLiteral("32767"));
        QVERIFY(!enabled("cmdMaxN"));
        m_editor->nextStructure();
        QCOMPARE(m_session.structureNumber, 32767);
        QCOMPARE(text("Text13"), QStringLiteral("32767"));
    }

    void calculateChangesNothing() {
        const int plan = planWith(QStringLiteral("План"), 1);
        auto* e = editorOnPlan(plan);
        // A charge the calculation can take: 1000 kg of TNT typed in.
        child<QRadioButton>(e, "Option4")->setChecked(true);
        child<QLineEdit>(e, "Text11")->setText(QStringLiteral("1000"));
        child<QLineEdit>(e, "Text12")->setText(QStringLiteral("4520"));
        QSignalSpy requested(e, &plan::PlanEditorWindow::calculationRequested);
        const QByteArray before = fileHash(m_path);
        const plan::PlanSession sessionBefore = m_session;
        MessageRecorder& messages = *m_messages;
        messages.clear();
        click("cmdRasch");
        QCOMPARE(requested.count(), 1);
        QCOMPARE(messages.count(), 0);
        QCOMPARE(fileHash(m_path), before);
        QCOMPARE(m_session.structureNumber, sessionBefore.structureNumber);
        QCOMPARE(text("Text13"), QStringLiteral("1"));
    }

    // A charge or storage field that is not a number: the message names that field, the field
    // takes the focus and nothing is calculated.
    void calculateRefusesBadField_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("perMole");
        QTest::addColumn<QString>("name");
        QTest::newRow("mass") << "Text11" << false << "Масса конденсированного ВВ (кг)";
        QTest::newRow("heat per kg") << "Text12" << false << "Энергия взрыва, кДж/кг";
        QTest::newRow("second heat number") << "Text17" << true << "Энергия взрыва, кДж/моль";
        QTest::newRow("storage X") << "Text15" << false << "Координата Х места хранения КВВ, м";
        QTest::newRow("storage Y") << "Text16" << false << "Координата У места хранения КВВ, м";
    }
    void calculateRefusesBadField() {
        QFETCH(QString, field);
        QFETCH(bool, perMole);
        QFETCH(QString, name);
        auto* e = editorOnPlan(planWith(QStringLiteral("План"), 1));
        QVERIFY(QTest::qWaitForWindowActive(e));
        child<QRadioButton>(e, "Option4")->setChecked(true);
        child<QRadioButton>(e, perMole ? "Option6" : "Option5")->setChecked(true);
        const std::pair<const char*, const char*> good[] = {{"Text11", "1000"},
                                                            {"Text12", "4520"},
                                                            {"Text17", "2"},
                                                            {"Text15", "0"},
                                                            {"Text16", "0"}};
        for (const auto& [object, value] : good) {
            child<QLineEdit>(e, object)->setText(QString::fromLatin1(value));
        }
        auto* bad = child<QLineEdit>(e, field.toLatin1().constData());
        bad->setText(QStringLiteral("12x"));
        QSignalSpy requested(e, &plan::PlanEditorWindow::calculationRequested);
        MessageRecorder& messages = *m_messages;
        messages.clear();
        click("cmdRasch");
        QCOMPARE(requested.count(), 0);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(
            messages.last().text,
            QStringLiteral("Поле «%1»: «12x» не является числом. Введите число, например 12,5.")
                .arg(name));
        QVERIFY(bad->hasFocus());
    }

    // ---- Plan catalogue through the windows ----

    void deletePlanAsksAndReturnsToOpening() {
        const int plan = planWith(QStringLiteral("Склад «Север»"), 2);
        const int kept = planWith(QStringLiteral("Другой"), 1);
        auto* e = editorOnPlan(plan);
        click("cmdMaxN");
        MessageRecorder& messages = *m_messages;
        messages.clear();
        messages.queueAnswer(QMessageBox::No);
        child<QAction>(e, "mnuDelPM")->trigger();
        QCOMPARE(messages.last().text,
                 QStringLiteral("Удалить план местности «Склад «Север»» и все его сооружения?"));
        QVERIFY(db::planExists(*m_c, plan));
        QVERIFY(shown("Frame1"));
        messages.queueAnswer(QMessageBox::Yes);
        child<QAction>(e, "mnuDelPM")->trigger();
        QVERIFY(!db::planExists(*m_c, plan));
        QVERIFY(storeysOf(plan).isEmpty());
        QCOMPARE(storeysOf(kept), (QList<int>{1}));
        QCOMPARE(m_session.planNumber, 0);
        for (const char* name : {"Frame1", "Frame3", "Frame4", "cmdRasch"}) {
            QVERIFY2(!shown(name), name);
        }
        QVERIFY(shown("cmdNazad") && shown("cmdVihod"));
        // Nothing current any more: the item says so.
        messages.clear();
        child<QAction>(e, "mnuDelPM")->trigger();
        QCOMPARE(messages.count(), 1);
        QCOMPARE(db::listPlans(*m_c).size(), 1);
    }

    void createDialog() {
        plan::CreatePlanDialog dialog(context(), m_session);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Создание плана местности"));
        QCOMPARE(child<QLabel>(&dialog, "Label1")->text(),
                 QStringLiteral("Задайте имя создаваемого плана местности (объекта)"));
        QCOMPARE(child<QPushButton>(&dialog, "cmdOk")->text(), QStringLiteral("OK"));
        QCOMPARE(child<QPushButton>(&dialog, "cmdOtm")->text(), QStringLiteral("Отмена"));
        QVERIFY(!dialog.isModal());
        QSignalSpy activated(&dialog, &plan::CreatePlanDialog::planActivated);
        MessageRecorder& messages = *m_messages;
        messages.clear();

        child<QLineEdit>(&dialog, "Text1")->setText(QStringLiteral("   "));
        QVERIFY(!dialog.createPlan());
        QCOMPARE(messages.count(), 1);
        QVERIFY(db::listPlans(*m_c).isEmpty());

        child<QLineEdit>(&dialog, "Text1")->setText(QStringLiteral("Склад"));
        dialog.show();
        QVERIFY(dialog.createPlan());
        QCOMPARE(activated.count(), 1);
        const int plan = activated.first().first().toInt();
        QCOMPARE(m_session.planNumber, plan);
        QCOMPARE(db::findPlan(*m_c, QStringLiteral("Склад")), std::optional<int>(plan));
        QVERIFY(!dialog.isVisible());
    }

    void createUnderTakenNameAsksFirst() {
        const int old = planWith(QStringLiteral("Склад"), 2);
        plan::CreatePlanDialog dialog(context(), m_session);
        QSignalSpy activated(&dialog, &plan::CreatePlanDialog::planActivated);
        child<QLineEdit>(&dialog, "Text1")->setText(QStringLiteral("Склад"));
        MessageRecorder& messages = *m_messages;
        messages.clear();
        messages.queueAnswer(QMessageBox::No);
        QVERIFY(!dialog.createPlan());
        QCOMPARE(messages.last().text,
                 QStringLiteral("План «Склад» уже есть. Заменить его? Все его сооружения будут "
                                "удалены."));
        QCOMPARE(messages.last().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(storeysOf(old), (QList<int>{1, 2}));
        QCOMPARE(activated.count(), 0);
        QCOMPARE(m_session.planNumber, 0);

        messages.queueAnswer(QMessageBox::Yes);
        QVERIFY(dialog.createPlan());
        QVERIFY(!db::planExists(*m_c, old));
        QVERIFY(storeysOf(old).isEmpty());
        QCOMPARE(db::listPlans(*m_c).size(), 1);
        QCOMPARE(m_session.planNumber, *db::findPlan(*m_c, QStringLiteral("Склад")));
    }

    // ---- A plan of many structures ----

    // The plan is read for the map on another thread: the window has returned before the read
    // and its form answers meanwhile; the map then shows every structure.
    void bigPlanLoadsInTheBackground() {
        const int count = plan::PlanEditorWindow::kBackgroundLoadFrom;
        auto* e = editorOnPlan(bigPlan(QStringLiteral("Большой"), count));
        QVERIFY(e->planLoading());
        QCOMPARE(structuresOnMap(), std::size_t(0));
        QSignalSpy loaded(e, &plan::PlanEditorWindow::planLoaded);
        click("cmdMaxN");
        QCOMPARE(text("Text13"), QStringLiteral("2"));
        // The step's read keeps the window's events going, so the map's read may have ended
        // during it.
        QVERIFY(!loaded.isEmpty() || loaded.wait(60000));
        QVERIFY(!e->planLoading());
        QCOMPARE(structuresOnMap(), std::size_t(count));
        QCOMPARE(m_messages->count(), 0);
    }

    // A structure changed while the plan is read is on the map as changed once it is shown.
    void changeWhileLoadingIsOnTheMap() {
        auto* e = editorOnPlan(
            bigPlan(QStringLiteral("Большой"), plan::PlanEditorWindow::kBackgroundLoadFrom));
        QVERIFY(e->planLoading());
        QSignalSpy loaded(e, &plan::PlanEditorWindow::planLoaded);
        child<QLineEdit>(e, "Text1")->setText(QStringLiteral("77"));
        click("cmdRec");
        QCOMPARE(storeysOf(m_session.planNumber).first(), 77);
        // The write keeps the window's events going, so the read may have ended during it.
        QVERIFY(!loaded.isEmpty() || loaded.wait(60000));
        QVERIFY(!e->planLoading());
        const auto& structures = e->planMap()->model().structures;
        QCOMPARE(structures.size(), std::size_t(plan::PlanEditorWindow::kBackgroundLoadFrom));
        QCOMPARE(structures.front().storeys, QStringLiteral("77"));
    }

    // «Отмена» stops waiting for the read: the map stays empty, the form works on, and the
    // status bar says why the map is empty.
    void cancelledLoadLeavesTheMapEmpty() {
        auto* e = editorOnPlan(
            bigPlan(QStringLiteral("Большой"), plan::PlanEditorWindow::kBackgroundLoadFrom));
        QVERIFY(e->planLoading());
        QSignalSpy loaded(e, &plan::PlanEditorWindow::planLoaded);
        e->cancelPlanLoading();
        // Said at once: what the window does meanwhile (its other background reads) may put
        // its own words in the status bar before the read has ended.
        QVERIFY(e->statusBar()->currentMessage().contains(QStringLiteral("отменена")));
        QVERIFY(loaded.wait(60000));
        QCOMPARE(structuresOnMap(), std::size_t(0));
        click("cmdMaxN");
        QCOMPARE(text("Text13"), QStringLiteral("2"));
    }

    // A small plan is read at once, as before: the map is full when the window returns.
    void smallPlanIsShownAtOnce() {
        auto* e = editorOnPlan(
            bigPlan(QStringLiteral("Малый"), plan::PlanEditorWindow::kBackgroundLoadFrom - 1));
        QVERIFY(!e->planLoading());
        QCOMPARE(structuresOnMap(), std::size_t(plan::PlanEditorWindow::kBackgroundLoadFrom - 1));
    }

    void chooseDialog() {
        const int first = planWith(QStringLiteral("Первый"), 1);
        const int second = db::createPlan(*m_c, QStringLiteral("Второй"));
        const QByteArray before = fileHash(m_path);
        plan::ChoosePlanDialog dialog(context(), m_session);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("План местности"));
        QCOMPARE(child<QLabel>(&dialog, "Label1")->text(),
                 QStringLiteral("Выберите план местности (объекта) из существующего списка"));
        QCOMPARE(child<QPushButton>(&dialog, "Command1")->text(), QStringLiteral("ОК"));
        QCOMPARE(child<QPushButton>(&dialog, "Command2")->text(), QStringLiteral("Отмена"));
        auto* list = child<QComboBox>(&dialog, "Combo1");
        QVERIFY(!list->isEditable());
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentText(), QStringLiteral("Первый"));
        QVERIFY(!child<QWidget>(&dialog, "lblEmpty")->isVisibleTo(&dialog));
        QSignalSpy activated(&dialog, &plan::ChoosePlanDialog::planActivated);
        list->setCurrentIndex(1);
        QVERIFY(dialog.choosePlan());
        QCOMPARE(m_session.planNumber, second);
        QCOMPARE(activated.count(), 1);
        QCOMPARE(fileHash(m_path), before);
        Q_UNUSED(first);
    }

    // A name longer than the limit is refused with a short message; one stored by an older
    // program (10,000 characters) keeps the chooser and the editor within the screen.
    void longPlanNames() {
        MessageRecorder& messages = *m_messages;
        plan::CreatePlanDialog create(context(), m_session);
        child<QLineEdit>(&create, "Text1")->setText(QString(256, u'Ж'));
        QVERIFY(!create.createPlan());
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.last().text.contains(QStringLiteral("255")),
                 qPrintable(messages.last().text));
        QVERIFY(messages.last().text.size() < 200);
        QVERIFY(db::listPlans(*m_c).isEmpty());
        child<QLineEdit>(&create, "Text1")->setText(QString(255, u'Ж'));
        QVERIFY(create.createPlan());

        const QString huge = QString(10000, u'Щ');
        m_c->exec(QStringLiteral("insert into MnuPM (MnuPM) values (?)"), {huge});
        plan::ChoosePlanDialog choose(context(), m_session);
        choose.show();
        QVERIFY(QTest::qWaitForWindowExposed(&choose));
        QVERIFY2(choose.width() < 900, qPrintable(QString::number(choose.width())));
        auto* list = child<QComboBox>(&choose, "Combo1");
        list->setCurrentIndex(list->findText(huge));
        QVERIFY(choose.choosePlan());
        auto* e = openEditor();
        e->showPlanAreas();
        QVERIFY(e->windowTitle().size() < 200);
        QVERIFY2(e->width() < 2000, qPrintable(QString::number(e->width())));
    }

    void chooseDialogWithoutPlansOffersToCreate() {
        plan::ChoosePlanDialog dialog(context(), m_session);
        dialog.show();
        QVERIFY(child<QWidget>(&dialog, "lblEmpty")->isVisible());
        QVERIFY(!child<QWidget>(&dialog, "Command1")->isEnabled());
        QVERIFY(!dialog.choosePlan());
        QSignalSpy create(&dialog, &plan::ChoosePlanDialog::createPlanRequested);
        QTest::mouseClick(child<QPushButton>(&dialog, "cmdCreate"), Qt::LeftButton);
        QCOMPARE(create.count(), 1);
        QVERIFY(!dialog.isVisible());
    }

    void choosePlanDeletedMeanwhile() {
        const int plan = db::createPlan(*m_c, QStringLiteral("Исчезнет"));
        plan::ChoosePlanDialog dialog(context(), m_session);
        db::deletePlan(*m_c, plan);
        MessageRecorder& messages = *m_messages;
        messages.clear();
        QVERIFY(!dialog.choosePlan());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(m_session.planNumber, 0);
        QCOMPARE(child<QComboBox>(&dialog, "Combo1")->count(), 0);
    }

    // ---- Wiring by the shell ----

    // Main menu → editor → create a plan through the menu → back → reopened editor → exit.
    void shellWiring() {
        shell::Navigator navigator;
        navigator.setConnectionString(db::fileConnectionString(m_path));
        auto* menu = navigator.showMainMenu();
        QAction* item = child<QAction>(menu, "mnuPlan");
        QVERIFY(item->isEnabled());
        item->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!navigator.mainMenu());
        plan::PlanEditorWindow* editor = navigator.planEditor();
        QVERIFY(editor && editor->isVisible());
        QVERIFY(!child<QWidget>(editor, "Frame1")->isVisible());

        child<QAction>(editor, "mnuSozdPM")->trigger();
        child<QAction>(editor, "mnuSozdPM")->trigger();
        QCOMPARE(editor->findChildren<plan::CreatePlanDialog*>().size(), 1);
        plan::CreatePlanDialog* create = navigator.createPlanDialog();
        QVERIFY(create && create->isVisible());
        child<QLineEdit>(create, "Text1")->setText(QStringLiteral("Через меню"));
        QTest::mouseClick(child<QPushButton>(create, "cmdOk"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!navigator.createPlanDialog());
        QVERIFY(child<QWidget>(editor, "Frame1")->isVisible());
        const int plan = navigator.planSession().planNumber;
        QCOMPARE(db::findPlan(*m_c, QStringLiteral("Через меню")), std::optional<int>(plan));

        child<QAction>(editor, "mnuViborPM")->trigger();
        QVERIFY(navigator.choosePlanDialog() && navigator.choosePlanDialog()->isVisible());

        QTest::mouseClick(child<QPushButton>(editor, "cmdNazad"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!navigator.planEditor());
        QVERIFY(!navigator.choosePlanDialog()); // the dialogs close with the editor
        QVERIFY(navigator.mainMenu() && navigator.mainMenu()->isVisible());
        // The plan number outlives the window; the frames wait for a new create or choose.
        editor = navigator.showPlanEditor();
        QCOMPARE(navigator.planSession().planNumber, plan);
        QVERIFY(!child<QWidget>(editor, "Frame1")->isVisible());

        QTest::mouseClick(child<QPushButton>(editor, "cmdVihod"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!navigator.planEditor() && !navigator.mainMenu());
    }
};

QTEST_MAIN(TestPlanWindows)
#include "tst_planwindows.moc"
