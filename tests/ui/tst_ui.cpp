#include "ui/BackgroundWork.h"
#include "ui/ChargePanel.h"
#include "ui/Messages.h"
#include "ui/Settings.h"
#include "ui/TableCopy.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressDialog>
#include <QRadioButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <memory>
#include <stdexcept>

using namespace kelmo;

class TestUi : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // Window places go to a folder of the test's own.
        m_settings = std::make_unique<QTemporaryDir>();
    }

    void cleanup() { m_settings.reset(); }

    void windowCentredThenKeptAndRemembered() {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QPoint moved;
        const QString file = m_settings->filePath(QStringLiteral("kelmo.conf"));
        auto settings = std::make_unique<ui::Settings>(file);
        {
            QMainWindow window;
            window.resize(400, 300);
            ui::WindowPlacement::attach(&window, QStringLiteral("w"), *settings);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            // First show ever: centred on the screen.
            QVERIFY2((window.frameGeometry().center() - screen.center()).manhattanLength() <= 2,
                     qPrintable(QStringLiteral("%1,%2")
                                    .arg(window.frameGeometry().center().x())
                                    .arg(window.frameGeometry().center().y())));
            window.setGeometry(QRect(screen.topLeft() + QPoint(30, 40), QSize(500, 350)));
            moved = window.pos();
            window.hide();
            // Shown again: where the user left it, whatever the window system would do.
            window.move(screen.bottomRight() - QPoint(100, 100));
            window.show();
            QCOMPARE(window.pos(), moved);
            QCOMPARE(window.size(), QSize(500, 350));
        }
        // A new window of the same name, in a later run, takes the remembered place.
        settings->sync();
        QVERIFY(QFile::exists(file));
        settings = std::make_unique<ui::Settings>(file);
        QMainWindow again;
        ui::WindowPlacement::attach(&again, QStringLiteral("w"), *settings);
        again.show();
        QCOMPARE(again.pos(), moved);
        QCOMPARE(again.size(), QSize(500, 350));
        // Another window has its own place: centred.
        QMainWindow other;
        other.resize(200, 100);
        ui::WindowPlacement::attach(&other, QStringLiteral("other"), *settings);
        other.show();
        QVERIFY((other.frameGeometry().center() - screen.center()).manhattanLength() <= 2);
    }

    void copyBlock_data() {
        QTest::addColumn<QList<QPoint>>("cells"); // (column, row)
        QTest::addColumn<QString>("expected");
        QTest::newRow("one cell") << QList<QPoint>{{1, 0}} << "1,5\n";
        QTest::newRow("block 2x2")
            << QList<QPoint>{{0, 1}, {1, 1}, {0, 2}, {1, 2}} << "2\t2,5\n3\t3,5\n";
        QTest::newRow("gap stays empty") << QList<QPoint>{{0, 0}, {1, 1}} << "1\t\n\t2,5\n";
    }

    void copyBlock() {
        QFETCH(QList<QPoint>, cells);
        QFETCH(QString, expected);
        QStandardItemModel model(3, 2);
        for (int r = 0; r < 3; ++r) {
            model.setItem(r, 0, new QStandardItem(QString::number(r + 1)));
            model.setItem(r, 1, new QStandardItem(QString::number(r + 1) + QStringLiteral(",5")));
        }
        QTableView view;
        view.setModel(&model);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        ui::installTableCopy(&view);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.selectionModel()->setCurrentIndex(model.index(2, 1), QItemSelectionModel::NoUpdate);
        for (const QPoint& c : cells) {
            view.selectionModel()->select(model.index(c.y(), c.x()), QItemSelectionModel::Select);
        }
        QCOMPARE(ui::selectionText(&view), expected);
        QGuiApplication::clipboard()->clear();
        QTest::keySequence(&view, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    }

    void refusedFieldIsSelected() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* field = new QLineEdit(QStringLiteral("1000кг"));
        auto* other = new QLineEdit;
        layout->addWidget(field);
        layout->addWidget(other);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // Refused while the focus is moving away from it, as a check on leaving does.
        struct Refuser : QObject {
            QLineEdit* field;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::FocusOut) {
                    ui::refuseField(field);
                }
                return false;
            }
        } refuser;
        refuser.field = field;
        field->setFocus();
        field->deselect();
        field->end(false);
        field->installEventFilter(&refuser);
        QTest::mouseClick(other, Qt::LeftButton);
        QCoreApplication::processEvents();
        field->removeEventFilter(&refuser);
        QVERIFY(field->hasFocus());
        QCOMPARE(field->selectedText(), QStringLiteral("1000кг"));
        // Typing replaces the refused text.
        QTest::keyClicks(field, QStringLiteral("1000"));
        QCOMPARE(field->text(), QStringLiteral("1000"));
    }

    // Work that never ends on its own: the window keeps answering, «Отмена» gives up on it;
    // quick work and its errors come back as they are.
    void backgroundWorkCanBeCancelled() {
        QWidget window;
        window.show();
        const auto release = std::make_shared<std::atomic<bool>>(false);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        QTimer::singleShot(600, [&window] {
            auto* progress = window.findChild<QProgressDialog*>();
            QVERIFY(progress);
            QCOMPARE(progress->labelText(), QStringLiteral("Чтение…"));
            progress->cancel();
        });
        bool endedLate = false;
        const auto stuck = ui::runInBackground(
            &window, QStringLiteral("Чтение…"),
            [release] {
                while (!*release) {
                    QThread::msleep(5);
                }
                return 1;
            },
            [&endedLate] { endedLate = true; });
        QVERIFY(!stuck);
        QVERIFY2(ticks >= 10, "the window must keep answering while it waits");
        QVERIFY(!endedLate);
        // The cancelled work ends after all: the window hears of it, to read again.
        *release = true;
        QTRY_VERIFY(endedLate);

        QCOMPARE(ui::runInBackground(&window, QStringLiteral("Чтение…"), [] { return 42; }),
                 std::optional<int>(42));
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            ui::runInBackground(&window, QStringLiteral("Чтение…"),
                                []() -> int { throw std::runtime_error("повреждён"); }));
    }

    // Before the dialog shows, the window goes on running its timers and painting: work the
    // window's own timer ends (on its second tick) finishes without any dialog.
    void backgroundWorkKeepsTheWindowAnsweringBeforeTheDialog() {
        QWidget window;
        window.show();
        const auto release = std::make_shared<std::atomic<bool>>(false);
        int ticks = 0;
        bool dialogSeen = false;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            dialogSeen = dialogSeen || window.findChild<QProgressDialog*>() != nullptr;
            if (++ticks == 2) {
                *release = true;
            }
        });
        ticker.start(20);
        const auto done = ui::runInBackground(&window, QStringLiteral("Чтение…"), [release] {
            while (!*release) {
                QThread::msleep(1);
            }
            return 7;
        });
        QCOMPARE(done, std::optional<int>(7));
        QVERIFY2(!dialogSeen && window.findChild<QProgressDialog*>() == nullptr,
                 "the window must answer its timers before the dialog shows");
    }

    // The explosives catalogue stalls (a server that stopped answering): choosing another
    // explosive waits behind «Отмена» while the window answers, and «Отмена» puts the list
    // back on the explosive whose heat the field shows. The list itself and the first heat
    // come in one read.
    void chargePanelWaitsForTheCatalogueBehindCancel() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        ui::ChargePanel::Controls c;
        c.fromListOption = new QRadioButton(&window);
        c.typedOption = new QRadioButton(&window);
        c.explosiveCombo = new QComboBox(&window);
        c.typedNameEdit = new QLineEdit(&window);
        c.massEdit = new QLineEdit(&window);
        c.heatEdit = new QLineEdit(&window);
        c.molarDivisorEdit = new QLineEdit(&window);
        c.perKgOption = new QRadioButton(&window);
        c.perMoleOption = new QRadioButton(&window);
        c.groundOption = new QRadioButton(&window);
        c.airOption = new QRadioButton(&window);
        auto* panel = new ui::ChargePanel(&window);
        for (QWidget* w : std::initializer_list<QWidget*>{c.explosiveCombo, c.heatEdit, panel}) {
            layout->addWidget(w);
        }
        // Answers at once until told to stall; a stall ends by itself after 8 s, so that a
        // panel that waits on the window's thread fails the test instead of hanging it.
        const auto stallUntil = std::make_shared<std::atomic<qint64>>(0);
        const auto reads = std::make_shared<std::atomic<int>>(0);
        ui::ChargePanel::Catalogue catalogue;
        catalogue.names = [reads] {
            ++*reads;
            return QStringList{QStringLiteral("Гексоген"), QStringLiteral("Тротил (ТНТ)")};
        };
        catalogue.heat = [stallUntil, reads](const QString& name) -> std::optional<double> {
            ++*reads;
            while (QDateTime::currentMSecsSinceEpoch() < *stallUntil) {
                QThread::msleep(5);
            }
            return name == QStringLiteral("Гексоген") ? 5360.0 : 4520.0;
        };
        panel->bind(c, catalogue);
        ui::MessageRecorder messages;
        window.show();
        panel->loadCatalogue();
        QCOMPARE(c.explosiveCombo->currentText(), QStringLiteral("Гексоген"));
        QCOMPARE(c.heatEdit->text(), QStringLiteral("5360"));
        QCOMPARE(reads->load(), 2); // the list and its first heat, once each

        *stallUntil = QDateTime::currentMSecsSinceEpoch() + 8000;
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        QString waitedFor;
        QTimer::singleShot(600, &window, [&window, &waitedFor] {
            auto* busy =
                window.findChild<QProgressDialog*>(QLatin1String(ui::kBackgroundDialogName));
            QVERIFY(busy && busy->isVisible());
            waitedFor = busy->labelText();
            busy->cancel();
        });
        c.explosiveCombo->setCurrentIndex(1);
        const bool stalledStill = QDateTime::currentMSecsSinceEpoch() < *stallUntil;
        *stallUntil = 0;
        QVERIFY2(stalledStill, "the heat must not be read on the window's thread");
        QCOMPARE(waitedFor, QStringLiteral("Чтение энергии взрыва ВВ…"));
        QVERIFY2(ticks >= 3, qPrintable(QString::number(ticks)));
        QCOMPARE(messages.count(), 0);
        QCOMPARE(c.explosiveCombo->currentText(), QStringLiteral("Гексоген"));
        QCOMPARE(c.heatEdit->text(), QStringLiteral("5360"));

        // Answering again: the choice goes through.
        c.explosiveCombo->setCurrentIndex(1);
        QCOMPARE(c.heatEdit->text(), QStringLiteral("4520"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
