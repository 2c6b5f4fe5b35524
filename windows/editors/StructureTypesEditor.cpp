#include "windows/editors/StructureTypesEditor.h"

#include "core/NumberText.h"
#include "ui/Messages.h"
#include "windows/editors/EditorSupport.h"

#include "ui_StructureTypesEditor.h"

#include <QHeaderView>
#include <QShortcut>
#include <QSignalBlocker>

#include <algorithm>
#include <limits>

namespace kelmo::editors {

namespace {

const QString kTypeField = QStringLiteral("Тип сооружения");
const QString kNumberField = QStringLiteral("Условный номер типа сооружения");
const QString kKindField = QStringLiteral("Вид сооружения");

// The degrees in the genitive, as the range table's column labels read.
const std::array<QString, 4> kDegrees = {QStringLiteral("слабой"), QStringLiteral("средней"),
                                         QStringLiteral("сильной"), QStringLiteral("полной")};

// The site plans keep the chosen overpressure as a 16-bit whole number.
constexpr double kRangeLimit = std::numeric_limits<qint16>::max();

QString rangeFieldName(std::size_t index) {
    return QStringLiteral("%1 значение (%2 степени разрушения)")
        .arg(index % 2 == 0 ? QStringLiteral("Минимальное") : QStringLiteral("Максимальное"),
             kDegrees[index / 2]);
}

// "у 1 сооружения", "у 5 сооружений": the count after the preposition "у".
QString structuresText(int n) {
    const bool one = n % 10 == 1 && n % 100 != 11;
    return QStringLiteral("%1 %2").arg(n).arg(one ? QStringLiteral("сооружения")
                                                  : QStringLiteral("сооружений"));
}

QString typeCaption(const QString& name) {
    return name.isEmpty() ? QStringLiteral("без типа") : QStringLiteral("тип «%1»").arg(name);
}

} // namespace

StructureTypesEditor::StructureTypesEditor(const WindowContext& context, QWidget* parent)
    : QWidget(parent)
    , m_connectionString(context.connectionString)
    , m_ui(std::make_unique<Ui::StructureTypesEditor>()) {
    m_ui->setupUi(this);
    m_inputFrame = m_ui->Frame1;
    m_typeList = m_ui->Combo1;
    m_typeNumberEdit = m_ui->Text1;
    m_kindList = m_ui->Combo2;
    m_rangeFields = {m_ui->txtSlamin, m_ui->txtSlamax, m_ui->txtSremin, m_ui->txtSremax,
                     m_ui->txtSulmin, m_ui->txtSulmax, m_ui->txtPolmin, m_ui->txtPolmax};
    for (int column = 0; column < m_ui->grdTable->columnCount(); ++column) {
        m_ui->grdTable->setColumnWidth(column, columnPixels(1500));
    }
    m_ui->grdTable->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter) |
                                                            Qt::Alignment(Qt::TextWordWrap));
    // The headers are longer than the columns are wide: a smaller font and two lines.
    QFont headerFont = m_ui->grdTable->horizontalHeader()->font();
    headerFont.setPointSizeF(headerFont.pointSizeF() * 0.85);
    m_ui->grdTable->horizontalHeader()->setFont(headerFont);
    m_ui->grdTable->horizontalHeader()->setMinimumHeight(48);
    m_inputFrame->hide();

    connect(m_ui->cmdDob, &QPushButton::clicked, this, &StructureTypesEditor::addRecord);
    connect(m_ui->cmdIzm, &QPushButton::clicked, this, &StructureTypesEditor::changeRecord);
    connect(m_ui->cmdDel, &QPushButton::clicked, this, &StructureTypesEditor::deleteRecord);
    connect(m_ui->cmdOk, &QPushButton::clicked, this, &StructureTypesEditor::storeRecord);
    connect(m_ui->cmdCansel, &QPushButton::clicked, this, &StructureTypesEditor::returnToBrowsing);
    // Esc leaves the frame as "Отмена" does, storing nothing.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_inputFrame);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &StructureTypesEditor::returnToBrowsing);
    connect(m_ui->cmdNazad, &QPushButton::clicked, this, [this] {
        // The main menu is shown first, so the program never has no window.
        emit backRequested();
        close();
    });
    connect(m_ui->cmdVihod, &QPushButton::clicked, this, &StructureTypesEditor::exitRequested);
    connect(m_typeList, &QComboBox::editTextChanged, this, &StructureTypesEditor::typeTextChanged);
    // Enter in a field of the frame stores, as "ОК" does.
    for (QLineEdit* field : m_rangeFields) {
        connect(field, &QLineEdit::returnPressed, this, &StructureTypesEditor::storeRecord);
    }
    connect(m_typeNumberEdit, &QLineEdit::returnPressed, this, &StructureTypesEditor::storeRecord);
    connect(m_kindList->lineEdit(), &QLineEdit::returnPressed, this,
            &StructureTypesEditor::storeRecord);

    fillGrid();
}

StructureTypesEditor::~StructureTypesEditor() = default;

void StructureTypesEditor::fillGrid() {
    QTableWidget* grid = m_ui->grdTable;
    grid->clearSelection();
    grid->setRowCount(0);
    m_kinds.clear();
    try {
        db::Connection connection(m_connectionString);
        m_kinds = db::readStructureKinds(connection);
    } catch (const Error& e) {
        showDatabaseError(
            this, QStringLiteral("Не удалось прочитать виды сооружений из базы данных."), e);
    }
    grid->setRowCount(static_cast<int>(m_kinds.size()));
    for (int row = 0; row < grid->rowCount(); ++row) {
        const db::KindRecord& kind = m_kinds[static_cast<std::size_t>(row)];
        const auto text = [&](int column, const QString& value, Qt::Alignment alignment) {
            auto* item = new QTableWidgetItem(value);
            item->setTextAlignment(alignment | Qt::AlignVCenter);
            item->setToolTip(value);
            grid->setItem(row, column, item);
        };
        text(0, kind.typeName, Qt::AlignLeft);
        text(1, kind.name, Qt::AlignLeft);
        for (std::size_t i = 0; i < kind.ranges.size(); ++i) {
            text(static_cast<int>(i) + 2, numtext::general(kind.ranges[i]), Qt::AlignRight);
        }
    }
    grid->setCurrentCell(-1, -1);
}

std::optional<db::KindRecord> StructureTypesEditor::selectedKind() const {
    const int row = m_ui->grdTable->currentRow();
    if (row < 0 || row >= static_cast<int>(m_kinds.size())) {
        return std::nullopt;
    }
    return m_kinds[static_cast<std::size_t>(row)];
}

void StructureTypesEditor::loadTypes() {
    m_types.clear();
    try {
        db::Connection connection(m_connectionString);
        m_types = db::readStructureTypes(connection);
        std::ranges::sort(m_types, {}, &db::TypeRecord::number); // the list by type number
    } catch (const Error& e) {
        showDatabaseError(this, QStringLiteral("Не удалось прочитать типы сооружений."), e);
    }
    const QString text = m_typeList->currentText();
    const QSignalBlocker block(m_typeList);
    m_typeList->clear();
    for (const db::TypeRecord& t : m_types) {
        m_typeList->addItem(t.name, t.number);
    }
    m_typeList->setEditText(text);
}

void StructureTypesEditor::openInput() {
    loadTypes();
    typeTextChanged(m_typeList->currentText());
    m_inputFrame->show();
    m_ui->grdTable->setEnabled(false);
    m_ui->cmdDob->setEnabled(false);
    m_ui->cmdIzm->setEnabled(false);
    m_ui->cmdDel->setEnabled(false);
    // The row being changed stays in sight above the frame.
    layout()->activate();
    if (QTableWidgetItem* current = m_ui->grdTable->currentItem()) {
        m_ui->grdTable->scrollToItem(current);
    }
    focusField(m_typeList);
}

void StructureTypesEditor::returnToBrowsing() {
    m_changing.reset();
    m_inputFrame->hide();
    m_ui->grdTable->setEnabled(true);
    m_ui->cmdDob->setEnabled(true);
    m_ui->cmdIzm->setEnabled(true);
    m_ui->cmdDel->setEnabled(true);
    fillGrid();
}

void StructureTypesEditor::addRecord() {
    m_changing.reset();
    openInput();
}

void StructureTypesEditor::changeRecord() {
    const auto selected = selectedKind();
    if (!selected) {
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Выберите в таблице вид сооружения, который нужно "
                                             "изменить."));
        return;
    }
    // The values as they are now, in case another program changed them.
    std::optional<db::KindRecord> current;
    try {
        db::Connection connection(m_connectionString);
        for (const db::KindRecord& k : db::readStructureKinds(connection)) {
            if (k.type == selected->type && k.name == selected->name) {
                current = k;
                break;
            }
        }
    } catch (const Error& e) {
        showDatabaseError(
            this, QStringLiteral("Не удалось прочитать вид сооружения «%1».").arg(selected->name),
            e);
        return;
    }
    if (!current) {
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Вида сооружения «%1» больше нет в базе данных: его "
                                             "удалили или изменили в другой программе. Список "
                                             "обновлён.")
                                  .arg(selected->name));
        fillGrid();
        return;
    }
    m_changing = current;
    m_typeList->setEditText(current->typeName);
    m_typeNumberEdit->setText(QString::number(current->type));
    m_kindList->setEditText(current->name);
    for (std::size_t i = 0; i < m_rangeFields.size(); ++i) {
        m_rangeFields[i]->setText(numtext::general(current->ranges[i]));
    }
    openInput();
    m_kindList->setEditText(current->name);
}

void StructureTypesEditor::typeTextChanged(const QString& text) {
    const auto existing = db::findTypeByName(m_types, text);
    if (existing) {
        m_typeNumberEdit->setText(QString::number(existing->number));
        m_typeNumberEdit->setReadOnly(true);
    } else {
        m_typeNumberEdit->setReadOnly(false);
        // A new type needs a free number: offer the next one when the field shows a used one.
        bool isNumber = false;
        const int shown = m_typeNumberEdit->text().trimmed().toInt(&isNumber);
        const bool used =
            std::any_of(m_types.begin(), m_types.end(),
                        [shown](const db::TypeRecord& t) { return t.number == shown; });
        if ((!isNumber || used) && !m_types.empty()) {
            int next = 1;
            for (const db::TypeRecord& t : m_types) {
                next = std::max(next, t.number + 1);
            }
            if (next <= std::numeric_limits<qint16>::max()) {
                m_typeNumberEdit->setText(QString::number(next));
            }
        }
    }
    fillKindList(existing ? existing->name : QString());
}

void StructureTypesEditor::fillKindList(const QString& typeName) {
    const QString text = m_kindList->currentText();
    const QSignalBlocker block(m_kindList);
    m_kindList->clear();
    if (!typeName.isEmpty()) {
        for (const db::KindRecord& k : m_kinds) {
            if (k.typeName == typeName) {
                m_kindList->addItem(k.name);
            }
        }
    }
    m_kindList->setEditText(text);
}

std::optional<db::KindInput> StructureTypesEditor::readInput() {
    db::KindInput input;
    const auto refuse = [this](QWidget* field, const QString& text) {
        ui::Messages::warning(this, kMessageTitle, text);
        focusField(field);
        return std::nullopt;
    };

    input.typeName = m_typeList->currentText().trimmed();
    if (input.typeName.isEmpty()) {
        return refuse(m_typeList,
                      QStringLiteral("Поле «%1»: выберите тип из списка или введите название "
                                     "нового типа.")
                          .arg(kTypeField));
    }
    if (const QString problem =
            db::nameLengthProblem(QStringLiteral("Поле «%1»").arg(kTypeField), input.typeName);
        !problem.isEmpty()) {
        return refuse(m_typeList, problem);
    }
    const auto existingType = db::findTypeByName(m_types, input.typeName);
    if (existingType) {
        input.typeName = existingType->name;
        input.typeNumber = existingType->number;
    } else {
        bool ok = false;
        const QString numberText = m_typeNumberEdit->text().trimmed();
        const int number = numberText.toInt(&ok);
        if (!ok || number < std::numeric_limits<qint16>::min() ||
            number > std::numeric_limits<qint16>::max()) {
            return refuse(m_typeNumberEdit,
                          QStringLiteral("Поле «%1»: «%2» не подходит. Номер типа — "
                                         "целое число от -32768 до 32767.")
                              .arg(kNumberField, numberText));
        }
        for (const db::TypeRecord& t : m_types) {
            if (t.number == number) {
                return refuse(m_typeNumberEdit,
                              QStringLiteral("Поле «%1»: номер %2 уже у типа «%3». Введите "
                                             "свободный номер для нового типа.")
                                  .arg(kNumberField)
                                  .arg(number)
                                  .arg(t.name));
            }
        }
        input.typeNumber = number;
    }

    input.kindName = m_kindList->currentText().trimmed();
    if (input.kindName.isEmpty()) {
        return refuse(
            m_kindList,
            QStringLiteral("Поле «%1»: введите название вида сооружения.").arg(kKindField));
    }
    if (const QString problem =
            db::nameLengthProblem(QStringLiteral("Поле «%1»").arg(kKindField), input.kindName);
        !problem.isEmpty()) {
        return refuse(m_kindList, problem);
    }
    for (const db::KindRecord& k : m_kinds) {
        const bool self = m_changing && k.type == m_changing->type && k.name == m_changing->name;
        if (!self && existingType && k.type == existingType->number &&
            db::sameCatalogueName(k.name, input.kindName)) {
            return refuse(m_kindList, QStringLiteral("Поле «%1»: вид «%2» уже есть у типа "
                                                     "«%3». Введите другое название.")
                                          .arg(kKindField, k.name, input.typeName));
        }
    }

    for (std::size_t i = 0; i < m_rangeFields.size(); ++i) {
        const QString text = m_rangeFields[i]->text();
        const auto value = numtext::parse(text);
        if (!value) {
            return refuse(m_rangeFields[i],
                          QStringLiteral("Поле «%1»: «%2» не является числом. Введите давление "
                                         "в кПа, например 12,5.")
                              .arg(rangeFieldName(i), text.trimmed()));
        }
        if (*value < 0 || *value > kRangeLimit) {
            return refuse(m_rangeFields[i],
                          QStringLiteral("Поле «%1»: давление должно быть от 0 до 32767 кПа.")
                              .arg(rangeFieldName(i)));
        }
        input.ranges[i] = *value;
    }
    for (std::size_t d = 0; d < 4; ++d) {
        if (input.ranges[2 * d] > input.ranges[2 * d + 1]) {
            return refuse(m_rangeFields[2 * d + 1],
                          QStringLiteral("Поле «%1»: %2 меньше минимального значения %3.")
                              .arg(rangeFieldName(2 * d + 1),
                                   numtext::general(input.ranges[2 * d + 1]),
                                   numtext::general(input.ranges[2 * d])));
        }
    }
    return input;
}

bool StructureTypesEditor::confirmRanges(const db::DestructionRanges& r) {
    QStringList problems;
    for (std::size_t d = 0; d + 1 < 4; ++d) {
        const double min = r[2 * d], max = r[2 * d + 1];
        const double nextMin = r[2 * d + 2], nextMax = r[2 * d + 3];
        if (nextMin < min || nextMax < max) {
            problems << QStringLiteral("давления %1 степени разрушения ниже, чем %2;")
                            .arg(kDegrees[d + 1], kDegrees[d]);
        } else if (nextMin < max) {
            problems << QStringLiteral("диапазоны %1 и %2 степеней разрушения перекрываются "
                                       "(%3 < %4);")
                            .arg(kDegrees[d], kDegrees[d + 1], numtext::general(nextMin),
                                 numtext::general(max));
        }
    }
    if (problems.isEmpty()) {
        return true;
    }
    const auto answer = ui::Messages::show(
        this, {kMessageTitle,
               QStringLiteral("Давления степеней разрушения обычно растут от слабой к полной, "
                              "а здесь:\n%1\nСохранить запись с этими значениями?")
                   .arg(problems.join(u'\n')),
               QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
    return answer == QMessageBox::Yes;
}

void StructureTypesEditor::storeRecord() {
    const auto input = readInput();
    if (!input || !confirmRanges(input->ranges)) {
        return;
    }
    db::EditResult result = db::EditResult::Done;
    try {
        db::Connection connection(m_connectionString);
        if (m_changing) {
            const bool renamed =
                m_changing->typeName != input->typeName || m_changing->name != input->kindName;
            const int used =
                renamed && !m_changing->typeName.isEmpty()
                    ? db::structuresOfKind(connection, m_changing->typeName, m_changing->name)
                    : 0;
            if (used > 0) {
                const auto answer = ui::Messages::show(
                    this,
                    {kMessageTitle,
                     QStringLiteral("Вид «%1» (%2) указан у %3 планов местности. В их "
                                    "записях тип и вид изменятся вместе с ним. Сохранить?")
                         .arg(m_changing->name, typeCaption(m_changing->typeName),
                              structuresText(used)),
                     QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
                if (answer != QMessageBox::Yes) {
                    return;
                }
            }
            result =
                db::changeStructureKind(connection, {m_changing->type, m_changing->name}, *input);
        } else {
            result = db::addStructureKind(connection, *input);
        }
    } catch (const Error& e) {
        showDatabaseError(
            this, QStringLiteral("Не удалось сохранить вид сооружения «%1».").arg(input->kindName),
            e);
        return;
    }
    switch (result) {
    case db::EditResult::Done: {
        returnToBrowsing();
        // The stored row in sight, not selected.
        for (std::size_t row = 0; row < m_kinds.size(); ++row) {
            if (m_kinds[row].type == input->typeNumber && m_kinds[row].name == input->kindName) {
                m_ui->grdTable->scrollToItem(m_ui->grdTable->item(static_cast<int>(row), 1));
                break;
            }
        }
        break;
    }
    case db::EditResult::NameTaken:
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Поле «%1»: вид «%2» уже есть у типа «%3». Введите "
                                             "другое название.")
                                  .arg(kKindField, input->kindName, input->typeName));
        focusField(m_kindList);
        break;
    case db::EditResult::NumberTaken:
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Поле «%1»: номер %2 уже занят другим типом. "
                                             "Введите свободный номер.")
                                  .arg(kNumberField)
                                  .arg(input->typeNumber));
        loadTypes();
        focusField(m_typeNumberEdit);
        break;
    case db::EditResult::Missing:
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Вида сооружения «%1» больше нет в базе данных: его "
                                             "удалили или изменили в другой программе. Изменения "
                                             "не сохранены; введённые данные остались в окне "
                                             "ввода, их можно сохранить через «Добавить запись».")
                                  .arg(m_changing ? m_changing->name : input->kindName));
        returnToBrowsing();
        break;
    }
}

void StructureTypesEditor::deleteRecord() {
    const auto kind = selectedKind();
    if (!kind) {
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Выберите в таблице вид сооружения, который нужно "
                                             "удалить."));
        return;
    }
    db::EditResult result = db::EditResult::Done;
    try {
        db::Connection connection(m_connectionString);
        QString question = QStringLiteral("Удалить вид сооружения «%1» (%2)?")
                               .arg(kind->name, typeCaption(kind->typeName));
        if (!kind->typeName.isEmpty()) {
            if (const int used = db::structuresOfKind(connection, kind->typeName, kind->name)) {
                question += QStringLiteral("\nЭтот вид указан у %1 планов местности: их записи "
                                           "останутся, но вида больше не будет в списке.")
                                .arg(structuresText(used));
            }
        }
        const auto sameType =
            std::count_if(m_kinds.begin(), m_kinds.end(),
                          [&](const db::KindRecord& k) { return k.type == kind->type; });
        if (sameType == 1 && !kind->typeName.isEmpty()) {
            question += QStringLiteral("\nЭто последний вид типа «%1»: тип тоже будет удалён.")
                            .arg(kind->typeName);
        }
        const auto answer =
            ui::Messages::show(this, {kMessageTitle, question, QMessageBox::Question,
                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
        if (answer != QMessageBox::Yes) {
            return;
        }
        result = db::deleteStructureKind(connection, {kind->type, kind->name});
    } catch (const Error& e) {
        showDatabaseError(
            this, QStringLiteral("Не удалось удалить вид сооружения «%1».").arg(kind->name), e);
        return;
    }
    if (result != db::EditResult::Done) {
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Вида сооружения «%1» уже нет в базе данных: его "
                                             "удалили или изменили в другой программе. Список "
                                             "обновлён.")
                                  .arg(kind->name));
    }
    fillGrid();
}

} // namespace kelmo::editors
