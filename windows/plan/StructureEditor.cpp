#include "windows/plan/StructureEditor.h"

#include "core/NumberText.h"
#include "core/ProgramFolder.h"
#include "engine/PlanGeometry.h"
#include "ui/Messages.h"
#include "windows/plan/DatabaseWork.h"
#include "windows/plan/PlanPictures.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>

#include <algorithm>
#include <cmath>

namespace kelmo::plan {

namespace {

const QString kTitle = QStringLiteral("Внимание!");

// A range bound or a middle of the kind table as a slider position: rounded half to even,
// kept inside the 16-bit range the table is defined for.
int sliderPosition(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    const double rounded = std::nearbyint(value);
    return static_cast<int>(std::clamp(rounded, -32768.0, 32767.0));
}

// A whole number of storeys or people: 0 or more.
std::optional<int> wholeNumber(const QString& text) {
    const auto v = numtext::parse(text);
    if (!v || *v < 0 || *v > 1.0e6 || std::floor(*v) != *v) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

QPixmap sketch() {
    QPixmap stored;
    if (stored.load(sharedFile(QString::fromLatin1(kSketchFile)))) {
        return stored;
    }
    return QPixmap::fromImage(cornerDrawing(0));
}

const char* const kCornerNames[8] = {"Х1", "У1", "Х2", "У2", "Х3", "У3", "Х4", "У4"};

} // namespace

void reportPlanError(QWidget* parent, const QString& what, const std::exception& e) {
    if (dynamic_cast<const db::StructureNumberError*>(&e) != nullptr ||
        dynamic_cast<const db::StructureConflictError*>(&e) != nullptr ||
        dynamic_cast<const db::StructureOutlineError*>(&e) != nullptr) {
        ui::Messages::warning(parent, kTitle, QString::fromStdString(e.what()));
        return;
    }
    ui::Messages::critical(parent, kTitle, what + u'\n' + QString::fromStdString(e.what()));
}

StructureRead readStructureForForm(db::Connection& c, int plan, int number) {
    StructureRead read;
    read.record = db::readStructure(c, plan, number);
    if (read.record) {
        read.typeNumber = db::findTypeNumber(c, read.record->type);
        if (read.typeNumber) {
            read.kinds = db::listKindsOfType(c, *read.typeNumber);
        }
    }
    return read;
}

StructureEditor::StructureEditor(QWidget* parent)
    : QGroupBox(parent) {}

StructureEditor::~StructureEditor() = default;

void StructureEditor::bind(const Controls& controls, const QString& connectionString,
                           PlanSession& session) {
    m_connectionString = connectionString;
    m_c = controls;
    m_session = &session;

    // The degree and corner frames keep their own height; the room left goes below them.
    m_c.degreesLayout->addStretch(1);
    m_c.typeCombo->setPlaceholderText(QStringLiteral("в базе данных нет типов сооружений"));
    m_c.kindCombo->setPlaceholderText(QStringLiteral("у типа нет видов сооружений"));

    connect(m_c.typeCombo, &QComboBox::currentIndexChanged, this, &StructureEditor::fillKinds);
    connect(m_c.kindCombo, &QComboBox::currentIndexChanged, this,
            &StructureEditor::applyKindRanges);
    for (int i = 0; i < 4; ++i) {
        const DegreeControls& d = m_c.degrees[i];
        connect(d.slider, &QScrollBar::valueChanged, this,
                [field = d.valueEdit](int value) { field->setText(QString::number(value)); });
        connect(d.option, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) {
                showDegree(i);
            }
        });
    }
    for (QLineEdit* corner : m_c.cornerEdits) {
        corner->installEventFilter(this);
    }
    connect(m_c.nextButton, &QPushButton::clicked, this, &StructureEditor::next);
    connect(m_c.previousButton, &QPushButton::clicked, this, &StructureEditor::previous);
    connect(m_c.addButton, &QPushButton::clicked, this, &StructureEditor::add);
    connect(m_c.changeButton, &QPushButton::clicked, this, &StructureEditor::change);
    connect(m_c.deleteButton, &QPushButton::clicked, this, &StructureEditor::remove);
}

void StructureEditor::load() {
    reset();
    m_c.cornerPicture->setPixmap(sketch());
    fillTypes();
}

// ---- Types, kinds and the degree sliders ----

void StructureEditor::fillTypes() {
    struct Types {
        std::vector<db::TypeRecord> list;
        StructureRead first; // the kinds of the first type, which the list starts on
    };
    std::optional<Types> types;
    try {
        types = onDatabase(window(), QStringLiteral("Чтение типов сооружений…"), m_connectionString,
                           [](db::Connection& c) {
                               Types t;
                               t.list = db::readStructureTypes(c);
                               if (!t.list.empty()) {
                                   t.first.typeNumber = t.list.front().number;
                                   t.first.kinds = db::listKindsOfType(c, t.list.front().number);
                               }
                               return t;
                           });
    } catch (const Error& e) {
        reportPlanError(window(),
                        QStringLiteral("Не удалось прочитать типы сооружений из базы данных."), e);
        return;
    }
    if (!types) {
        m_c.typeCombo->setPlaceholderText(QStringLiteral("типы сооружений не прочитаны"));
        if (auto* main = qobject_cast<QMainWindow*>(window())) {
            main->statusBar()->showMessage(
                QStringLiteral("Чтение типов сооружений отменено: откройте окно заново, когда "
                               "сервер базы данных ответит."));
        }
        return;
    }
    {
        const QSignalBlocker block(m_c.typeCombo);
        for (const db::TypeRecord& type : types->list) {
            m_c.typeCombo->addItem(type.name);
        }
        m_c.typeCombo->setCurrentIndex(-1);
    }
    if (!types->list.empty()) {
        takeKinds(types->list.front().name, types->first);
        m_c.typeCombo->setCurrentIndex(0);
    }
}

void StructureEditor::takeKinds(const QString& type, const StructureRead& read) {
    m_readKinds.emplace(type, read);
}

void StructureEditor::fillKinds() {
    const QString type =
        m_c.typeCombo->currentIndex() >= 0 ? m_c.typeCombo->currentText() : QString();
    QList<db::KindEntry> kinds;
    if (!type.isNull()) {
        std::optional<StructureRead> read;
        if (m_readKinds && m_readKinds->first == type) {
            read = m_readKinds->second;
        } else {
            try {
                read = onDatabase(
                    window(), QStringLiteral("Чтение видов сооружений…"), m_connectionString,
                    [type, fallback = m_session->typeNumber](db::Connection& c) {
                        StructureRead r;
                        r.typeNumber = db::findTypeNumber(c, type);
                        r.kinds = db::listKindsOfType(c, r.typeNumber.value_or(fallback));
                        return r;
                    });
            } catch (const Error& e) {
                reportPlanError(
                    window(),
                    QStringLiteral("Не удалось прочитать виды сооружений из базы данных."), e);
                read.emplace();
            }
            if (!read) {
                // The type goes back to the one whose kinds the list shows.
                const QSignalBlocker block(m_c.typeCombo);
                m_c.typeCombo->setCurrentIndex(
                    m_kindsType.isNull() ? -1
                                         : m_c.typeCombo->findText(m_kindsType, Qt::MatchExactly));
                if (auto* main = qobject_cast<QMainWindow*>(window())) {
                    main->statusBar()->showMessage(QStringLiteral(
                        "Чтение видов сооружений отменено: тип сооружения не изменён."));
                }
                return;
            }
        }
        if (read->typeNumber) {
            m_session->typeNumber = *read->typeNumber;
        }
        kinds = read->kinds;
    }
    m_readKinds.reset();
    m_kinds = kinds;
    m_kindsType = type;
    {
        const QSignalBlocker block(m_c.kindCombo);
        m_c.kindCombo->clear();
        for (const db::KindEntry& kind : m_kinds) {
            m_c.kindCombo->addItem(kind.name);
        }
        m_c.kindCombo->setCurrentIndex(m_kinds.isEmpty() ? -1 : 0);
    }
    applyKindRanges();
}

void StructureEditor::applyKindRanges() {
    const int index = m_c.kindCombo->currentIndex();
    if (index < 0 || index >= m_kinds.size()) {
        return;
    }
    const db::KindEntry& kind = m_kinds[index];
    for (int i = 0; i < 4; ++i) {
        const db::PressureRange r = kind.ranges[i];
        QScrollBar* slider = m_c.degrees[i].slider;
        slider->setRange(sliderPosition(r.min), sliderPosition(r.max));
        slider->setValue(sliderPosition((r.min + r.max) / 2));
        m_c.degrees[i].valueEdit->setText(QString::number(slider->value()));
    }
}

void StructureEditor::showDegree(int degree) {
    for (int i = 0; i < 4; ++i) {
        const bool visible = i == degree;
        const DegreeControls& d = m_c.degrees[i];
        d.slider->setVisible(visible);
        d.valueEdit->setVisible(visible);
        for (QLabel* label : d.labels) {
            label->setVisible(visible);
        }
    }
}

// ---- Corner pictures ----

bool StructureEditor::eventFilter(QObject* watched, QEvent* event) {
    // A corner field entered by the mouse or the keyboard; the focus coming back with the
    // window (which may arrive while a read of another plan runs) enters nothing.
    const bool entered =
        event->type() == QEvent::MouseButtonPress ||
        (event->type() == QEvent::FocusIn &&
         static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason);
    if (entered) {
        for (int i = 0; i < 8; ++i) {
            if (watched == m_c.cornerEdits[i]) {
                showCornerPicture(i / 2 + 1);
            }
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void StructureEditor::showCornerPicture(int corner) {
    const QString file = cornerPictureFile(corner);
    QPixmap picture;
    if (picture.load(sharedFile(file))) {
        m_c.cornerPicture->setPixmap(picture);
        m_c.pictureNote->setVisible(false);
        return;
    }
    m_c.cornerPicture->setPixmap(sketch());
    m_c.pictureNote->setText(
        QStringLiteral("Рисунок «%1» не найден в папке программы или не читается; показана "
                       "общая схема: угол %2 отмечен на ней цифрой %2.")
            .arg(file)
            .arg(corner));
    m_c.pictureNote->setVisible(true);
}

// ---- The current plan ----

void StructureEditor::openPlan() {
    // The form shows another plan's structure until then: cleared if the read does not end.
    const auto read = readNumber(1, QStringLiteral("Форма очищена."));
    // No corner field has been entered yet in this plan (a focus that came in while the read
    // ran belongs to the plan before): the sketch of all four corners.
    m_c.cornerPicture->setPixmap(sketch());
    m_c.pictureNote->setVisible(false);
    m_session->structureNumber = 1;
    m_c.numberEdit->setText(QStringLiteral("1"));
    m_c.previousButton->setEnabled(true);
    m_c.nextButton->setEnabled(true);
    if (!read || !showReadStructure(*read)) {
        clearFields();
        setOfferingState(1);
        m_c.nextButton->setEnabled(false);
    }
}

void StructureEditor::reset() {
    m_c.numberEdit->setText(QStringLiteral("1"));
    setOfferingState(1);
    m_c.previousButton->setEnabled(true);
    m_c.nextButton->setEnabled(true);
}

void StructureEditor::allowNext() {
    m_c.nextButton->setEnabled(true);
}

void StructureEditor::clearFields() {
    m_shown.reset();
    m_c.storeysEdit->setText(QStringLiteral("0"));
    m_c.staffEdit->setText(QStringLiteral("0"));
    for (QLineEdit* corner : m_c.cornerEdits) {
        corner->setText(QStringLiteral("0"));
    }
    showOutlineKind(0);
}

// ---- Structure records ----

void StructureEditor::setShowingState(int number) {
    m_c.changeButton->setText(QStringLiteral("Изменить №%1").arg(number));
    m_c.deleteButton->setText(QStringLiteral("Удалить №%1").arg(number));
    m_c.changeButton->setVisible(true);
    m_c.deleteButton->setVisible(true);
    m_c.addButton->setVisible(false);
    m_c.nextButton->setEnabled(true);
    updateNextEnabled();
}

void StructureEditor::setOfferingState(int number) {
    m_c.addButton->setText(QStringLiteral("Добавить №%1").arg(number));
    m_c.addButton->setVisible(true);
    m_c.changeButton->setVisible(false);
    m_c.deleteButton->setVisible(false);
    emit currentChanged(0);
}

void StructureEditor::updateNextEnabled() {
    // No structure number comes after the largest one.
    if (m_session->structureNumber >= db::kMaxStructureNumber) {
        m_c.nextButton->setEnabled(false);
    }
}

std::optional<StructureRead> StructureEditor::readNumber(int number,
                                                         const QString& formAfterCancel) {
    const int plan = m_session->planNumber;
    if (plan == 0) {
        return StructureRead{};
    }
    std::optional<StructureRead> read;
    try {
        read = onDatabase(
            window(), QStringLiteral("Чтение сооружения №%1…").arg(number), m_connectionString,
            [plan, number](db::Connection& c) { return readStructureForForm(c, plan, number); });
    } catch (const Error& e) {
        reportPlanError(window(), QStringLiteral("Не удалось прочитать сооружение из базы данных."),
                        e);
        return std::nullopt;
    }
    if (!read) {
        if (auto* main = qobject_cast<QMainWindow*>(window())) {
            main->statusBar()->showMessage(QStringLiteral("Чтение сооружения №%1 отменено. %2")
                                               .arg(number)
                                               .arg(formAfterCancel));
        }
    }
    return read;
}

std::optional<bool> StructureEditor::showStructure() {
    const auto read = readNumber(m_session->structureNumber,
                                 QStringLiteral("Форма показывает то, что было прочитано раньше."));
    if (!read) {
        return std::nullopt;
    }
    return showReadStructure(*read);
}

bool StructureEditor::showReadStructure(const StructureRead& read) {
    m_shown.reset();
    if (!read.record) {
        // A new structure under this number: its corners are typed.
        showOutlineKind(0);
        return false;
    }
    m_shown = read.record;
    if (read.typeNumber) {
        takeKinds(read.record->type, read);
    }
    showRecord(*read.record);
    m_readKinds.reset();
    setShowingState(m_session->structureNumber);
    emit currentChanged(read.record->number);
    return true;
}

void StructureEditor::showRecord(const db::StructureRecord& r) {
    // The type first: a new type refills the kinds and their ranges.
    m_c.typeCombo->setCurrentIndex(m_c.typeCombo->findText(r.type, Qt::MatchExactly));
    if (m_c.typeCombo->currentIndex() < 0) {
        const QSignalBlocker block(m_c.kindCombo);
        m_c.kindCombo->clear();
        m_kinds.clear();
        m_kindsType.clear();
    }
    m_c.kindCombo->setCurrentIndex(m_c.kindCombo->findText(r.kind, Qt::MatchExactly));
    m_c.storeysEdit->setText(r.storeys);
    m_c.staffEdit->setText(r.staff);
    for (int i = 0; i < 4; ++i) {
        if (r.selected[i]) {
            m_c.degrees[i].option->setChecked(true);
        }
    }
    for (int i = 0; i < 4; ++i) {
        // The stored value stays in the field even where the kind's range has changed since
        // and the slider cannot reach it.
        m_c.degrees[i].valueEdit->setText(QString::number(r.pressure[i]));
        const QSignalBlocker block(m_c.degrees[i].slider);
        m_c.degrees[i].slider->setValue(r.pressure[i]);
    }
    for (int i = 0; i < 8; ++i) {
        const auto v = numtext::parse(r.corners[i]);
        m_c.cornerEdits[i]->setText(v ? numtext::general(*v) : r.corners[i]);
    }
    showOutlineKind(r.vertices.size());
}

void StructureEditor::showOutlineKind(std::size_t vertexCount) {
    const bool ofVertices = vertexCount != 0;
    for (QLineEdit* corner : m_c.cornerEdits) {
        corner->setReadOnly(ofVertices);
    }
    if (!m_c.outlineNote) {
        return;
    }
    m_c.outlineNote->setVisible(ofVertices);
    m_c.outlineNote->setText(
        ofVertices
            ? QStringLiteral("Контур этого сооружения из %1 %2 редактируется на карте. "
                             "В полях углов — прямоугольник вокруг него.")
                  .arg(vertexCount)
                  .arg(vertexCount % 10 == 1 && vertexCount % 100 != 11 ? QStringLiteral("вершины")
                                                                        : QStringLiteral("вершин"))
            : QString());
}

std::optional<db::StructureRecord> StructureEditor::recordForNew(int number) {
    return recordFromFields(number, false);
}

int StructureEditor::currentStructure() const {
    return m_shown ? m_shown->number : 0;
}

void StructureEditor::showNumber(int number) {
    if (number < 1 || number > db::kMaxStructureNumber) {
        return;
    }
    const auto read = readNumber(number, QStringLiteral("Форма показывает прежнее сооружение."));
    if (read) {
        showNumber(number, *read);
    }
}

void StructureEditor::showNumber(int number, const StructureRead& read) {
    if (number < 1 || number > db::kMaxStructureNumber) {
        return;
    }
    m_session->structureNumber = number;
    m_c.numberEdit->setText(QString::number(number));
    m_c.previousButton->setEnabled(true);
    if (!showReadStructure(read)) {
        setOfferingState(number);
        m_c.nextButton->setEnabled(false);
    }
}

std::optional<db::StructureRecord> StructureEditor::recordFromFields(int number, bool withCorners) {
    db::StructureRecord r;
    r.plan = m_session->planNumber;
    r.number = number;
    if (m_c.typeCombo->currentIndex() < 0) {
        ui::Messages::warning(window(), kTitle, QStringLiteral("Выберите тип сооружения."));
        m_c.typeCombo->setFocus();
        return std::nullopt;
    }
    if (m_c.kindCombo->currentIndex() < 0) {
        ui::Messages::warning(window(), kTitle, QStringLiteral("Выберите вид сооружения."));
        m_c.kindCombo->setFocus();
        return std::nullopt;
    }
    r.type = m_c.typeCombo->currentText();
    r.kind = m_c.kindCombo->currentText();

    const auto refuse = [this](QLineEdit* field, const QString& text) {
        ui::Messages::warning(window(), kTitle, text);
        field->setFocus();
        field->selectAll();
    };
    const std::pair<QLineEdit*, QString> wholeFields[] = {
        {m_c.storeysEdit, QStringLiteral("Этажность здания")},
        {m_c.staffEdit, QStringLiteral("Количество сотрудников в здании")}};
    QString whole[2];
    for (int i = 0; i < 2; ++i) {
        const auto& [field, name] = wholeFields[i];
        const auto v = wholeNumber(field->text());
        if (!v) {
            refuse(field, QStringLiteral("Поле «%1»: «%2» — введите целое число, не меньше 0.")
                              .arg(name, field->text()));
            return std::nullopt;
        }
        whole[i] = QString::number(*v);
    }
    r.storeys = whole[0];
    r.staff = whole[1];

    for (int i = 0; i < 4; ++i) {
        r.selected[i] = m_c.degrees[i].option->isChecked();
        bool ok = false;
        r.pressure[i] = m_c.degrees[i].valueEdit->text().toInt(&ok);
        if (!ok) {
            r.pressure[i] = m_c.degrees[i].slider->value();
        }
    }
    for (int i = 0; i < 8 && withCorners; ++i) {
        QLineEdit* field = m_c.cornerEdits[i];
        const auto v = numtext::parse(field->text());
        if (!v) {
            refuse(field,
                   QStringLiteral("Поле «%1» (координата угла сооружения, м): «%2» не является "
                                  "числом. Введите число, например -12,5.")
                       .arg(QString::fromUtf8(kCornerNames[i]), field->text()));
            return std::nullopt;
        }
        if (!std::isfinite(*v) || std::abs(*v) > kMaxPlanCoordinate) {
            refuse(field, QStringLiteral("Поле «%1» (координата угла сооружения, м): «%2» вне "
                                         "пределов плана. Введите число от -100 000 000 до "
                                         "100 000 000.")
                              .arg(QString::fromUtf8(kCornerNames[i]), field->text()));
            return std::nullopt;
        }
        // Stored with a point, so that a number column on a server takes it as well.
        r.corners[i] = numtext::roundTrip(*v);
    }
    // An outline of other than four vertices is not in the form: it stays as it is stored.
    if (m_shown && m_shown->plan == r.plan && m_shown->number == number) {
        r.vertices = m_shown->vertices;
    }
    return r;
}

void StructureEditor::next() {
    if (m_session->structureNumber >= db::kMaxStructureNumber) {
        m_c.nextButton->setEnabled(false);
        return;
    }
    const int number = m_session->structureNumber + 1;
    const auto read = readNumber(number, QStringLiteral("Форма показывает прежнее сооружение."));
    if (!read) {
        return;
    }
    m_session->structureNumber = number;
    m_c.numberEdit->setText(QString::number(number));
    setOfferingState(number);
    m_c.nextButton->setEnabled(false);
    m_c.previousButton->setEnabled(true);
    showReadStructure(*read);
}

void StructureEditor::previous() {
    const bool stepBack = m_session->structureNumber - 1 > 0;
    const int number = stepBack ? m_session->structureNumber - 1 : m_c.numberEdit->text().toInt();
    const auto read = readNumber(number, QStringLiteral("Форма показывает прежнее сооружение."));
    if (!read) {
        return;
    }
    m_c.numberEdit->setText(QString::number(number));
    if (stepBack) {
        m_session->structureNumber = number;
        setShowingState(number);
    } else {
        m_c.previousButton->setEnabled(false);
        setOfferingState(number);
        m_c.nextButton->setEnabled(false);
    }
    m_session->structureNumber = number;
    if (!showReadStructure(*read) && stepBack) {
        // Nothing under this number (another plan became current): offer it instead of
        // changing or deleting a structure that is not there.
        setOfferingState(number);
        m_c.nextButton->setEnabled(false);
    }
}

// ---- Writes ----

struct StructureEditor::WriteOutcome {
    bool written = false;
    QString error; // why the write failed
    // The structure under the number after the write, as the writer's connection reads it.
    StructureRead stored;
    bool readFailed = false;
};

std::shared_ptr<StructureEditor::WriteOutcome>
StructureEditor::store(WriteKind kind, int number, std::function<void(db::Connection&)> write) {
    const int plan = m_session->planNumber;
    const std::optional<db::StructureRecord> before = m_shown;
    const auto outcome = std::make_shared<WriteOutcome>();
    const QString label = kind == WriteKind::Delete
                              ? QStringLiteral("Удаление сооружения №%1…").arg(number)
                              : QStringLiteral("Сохранение сооружения №%1…").arg(number);
    // Filled on the writer's thread; read here only after it ended.
    auto work = [connection = m_connectionString, plan, number, outcome, write = std::move(write)] {
        std::optional<db::Connection> c;
        try {
            c.emplace(connection);
            write(*c);
        } catch (const Error& e) {
            outcome->error = QString::fromStdString(e.what());
            throw;
        }
        outcome->written = true;
        try {
            outcome->stored = readStructureForForm(*c, plan, number);
        } catch (const Error&) {
            outcome->readFailed = true; // stored all the same: the form reads it again
        }
        return true;
    };
    const auto ended = [this, kind, plan, number, before, outcome] {
        cancelledWriteEnded(kind, plan, number, before, *outcome);
    };
    if (!ui::runInBackground(window(), label, std::move(work), ended)) {
        // The write may still reach the database: the form must not act on what it showed.
        m_shown.reset();
        const QString what = kind == WriteKind::Add      ? QStringLiteral("добавлено")
                             : kind == WriteKind::Change ? QStringLiteral("изменено")
                                                         : QStringLiteral("удалено");
        ui::Messages::warning(
            window(), kTitle,
            QStringLiteral("Ожидание сервера базы данных прервано. Неизвестно, %1 ли сооружение "
                           "№%2: когда сервер ответит, форма и карта покажут то, что хранит "
                           "база данных.")
                .arg(what)
                .arg(number));
        return nullptr;
    }
    return outcome;
}

void StructureEditor::showWritten(const WriteOutcome& outcome) {
    if (outcome.readFailed) {
        showStructure();
        return;
    }
    showReadStructure(outcome.stored);
}

void StructureEditor::cancelledWriteEnded(WriteKind kind, int plan, int number,
                                          const std::optional<db::StructureRecord>& before,
                                          const WriteOutcome& outcome) {
    const bool shownHere =
        m_session->planNumber == plan && m_session->structureNumber == number && !m_shown;
    if (!outcome.written) {
        if (shownHere) {
            m_shown = before; // the database still holds what the form showed
        }
        const QString what = kind == WriteKind::Add      ? QStringLiteral("не добавлено")
                             : kind == WriteKind::Change ? QStringLiteral("не изменено")
                                                         : QStringLiteral("не удалено");
        ui::Messages::warning(
            window(), kTitle,
            QStringLiteral("Сооружение №%1 %2.\n%3").arg(number).arg(what, outcome.error));
        return;
    }
    if (shownHere) {
        if (kind == WriteKind::Delete) {
            setOfferingState(number);
            if (showStructure() != true) {
                m_c.nextButton->setEnabled(false);
            }
        } else {
            m_c.nextButton->setEnabled(true);
            showWritten(outcome);
        }
    }
    // The map reads the plan again; the undo history has no step for this write.
    emit structuresChanged();
}

bool StructureEditor::add() {
    const int number = m_c.numberEdit->text().toInt();
    const auto record = recordFromFields(number);
    if (!record) {
        return false;
    }
    std::shared_ptr<WriteOutcome> outcome;
    try {
        outcome = store(WriteKind::Add, number,
                        [r = *record](db::Connection& c) { db::addStructure(c, r); });
    } catch (const Error& e) {
        reportPlanError(window(), QStringLiteral("Сооружение не добавлено."), e);
        return false;
    }
    if (!outcome) {
        return false;
    }
    // The new structure is the current one, whatever number was current before.
    m_session->structureNumber = number;
    m_c.nextButton->setEnabled(true);
    showWritten(*outcome);
    emit structureAdded(m_shown.value_or(*record));
    return true;
}

bool StructureEditor::change() {
    const auto record = recordFromFields(m_session->structureNumber);
    if (!record) {
        return false;
    }
    std::optional<db::StructureRecord> before;
    std::shared_ptr<WriteOutcome> outcome;
    try {
        if (m_shown && m_shown->plan == record->plan && m_shown->number == record->number) {
            before = m_shown;
            outcome = store(WriteKind::Change, record->number,
                            [shown = *m_shown, r = *record](db::Connection& c) {
                                db::changeStructure(c, shown, r);
                            });
        } else {
            outcome = store(WriteKind::Change, record->number,
                            [r = *record](db::Connection& c) { db::changeStructure(c, r); });
        }
    } catch (const db::StructureConflictError& e) {
        reportPlanError(window(), QStringLiteral("Сооружение не изменено."), e);
        refreshAfterConflict();
        return false;
    } catch (const Error& e) {
        reportPlanError(window(), QStringLiteral("Сооружение не изменено."), e);
        return false;
    }
    if (!outcome) {
        return false;
    }
    setShowingState(m_session->structureNumber);
    showWritten(*outcome);
    if (before) {
        emit structureChanged(*before, m_shown.value_or(*record));
    } else {
        emit structuresChanged();
    }
    return true;
}

bool StructureEditor::remove() {
    const auto answer = ui::Messages::show(
        window(), {kTitle,
                   QStringLiteral("Удалить сооружение №%1? Следующие за ним сооружения получат "
                                  "номера на один меньше.")
                       .arg(m_session->structureNumber),
                   QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
    if (answer != QMessageBox::Yes) {
        return false;
    }
    std::optional<db::StructureRecord> removed;
    std::shared_ptr<WriteOutcome> outcome;
    try {
        const int number = m_session->structureNumber;
        if (m_shown && m_shown->number == number && m_shown->plan == m_session->planNumber) {
            removed = m_shown;
            outcome = store(WriteKind::Delete, number, [shown = *m_shown](db::Connection& c) {
                db::deleteStructure(c, shown);
            });
        } else {
            outcome = store(WriteKind::Delete, number,
                            [plan = m_session->planNumber, number](db::Connection& c) {
                                db::deleteStructure(c, plan, number);
                            });
        }
    } catch (const db::StructureConflictError& e) {
        reportPlanError(window(), QStringLiteral("Сооружение не удалено."), e);
        refreshAfterConflict();
        return false;
    } catch (const Error& e) {
        reportPlanError(window(), QStringLiteral("Сооружение не удалено."), e);
        return false;
    }
    if (!outcome) {
        return false;
    }
    const int number = m_c.numberEdit->text().toInt();
    setOfferingState(number);
    m_session->structureNumber = number;
    showWritten(*outcome);
    if (!m_shown) {
        // The last structure went: stepping on would leave a gap in the numbers.
        m_c.nextButton->setEnabled(false);
    }
    if (removed) {
        emit structureDeleted(*removed);
    } else {
        emit structuresChanged();
    }
    return true;
}

// Another user changed the plan meanwhile: show what the database holds under the current
// number now, or offer the number when nothing is there any more.
void StructureEditor::refreshAfterConflict() {
    const std::optional<bool> shown = showStructure();
    if (!shown || *shown) {
        return; // shown, or left as it was when the read did not end
    }
    setOfferingState(m_session->structureNumber);
    m_c.nextButton->setEnabled(false);
}

} // namespace kelmo::plan
