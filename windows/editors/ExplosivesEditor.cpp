#include "windows/editors/ExplosivesEditor.h"

#include "core/NumberText.h"
#include "data/ExplosiveRecords.h"
#include "ui/Messages.h"
#include "windows/editors/EditorSupport.h"

#include "ui_ExplosivesEditor.h"

#include <QHeaderView>
#include <QShortcut>

namespace kelmo::editors {

namespace {

const QString kNameField = QStringLiteral("Конденсированное ВВ");
const QString kEnergyField = QStringLiteral("Энергия взрыва");

} // namespace

ExplosivesEditor::ExplosivesEditor(const WindowContext& context, QWidget* parent)
    : QWidget(parent)
    , m_connectionString(context.connectionString)
    , m_ui(std::make_unique<Ui::ExplosivesEditor>()) {
    m_ui->setupUi(this);
    m_inputFrame = m_ui->Frame1;
    m_ui->grdTable->setColumnWidth(0, columnPixels(3150));
    m_ui->grdTable->setColumnWidth(1, columnPixels(2300));
    m_ui->grdTable->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter) |
                                                            Qt::Alignment(Qt::TextWordWrap));
    m_ui->grdTable->horizontalHeader()->setMinimumHeight(40);
    m_inputFrame->hide();

    connect(m_ui->grdTable, &QTableWidget::cellClicked, this,
            [this](int row, int) { selectRow(row); });
    connect(m_ui->grdTable, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!m_filling && row >= 0 && m_ui->grdTable->isEnabled()) {
            selectRow(row);
        }
    });
    connect(m_ui->cmdDob, &QPushButton::clicked, this, &ExplosivesEditor::addRecord);
    connect(m_ui->cmdIzm, &QPushButton::clicked, this, &ExplosivesEditor::changeRecord);
    connect(m_ui->cmdDel, &QPushButton::clicked, this, &ExplosivesEditor::deleteRecord);
    connect(m_ui->cmdOk, &QPushButton::clicked, this, &ExplosivesEditor::storeRecord);
    connect(m_ui->cmdCansel, &QPushButton::clicked, this, &ExplosivesEditor::cancelInput);
    // Esc leaves the frame as "Отмена" does, storing nothing.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_inputFrame);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &ExplosivesEditor::cancelInput);
    // Enter in a field of the frame stores, as "OK" does.
    connect(m_ui->txtVVPower, &QLineEdit::returnPressed, this, &ExplosivesEditor::storeRecord);
    connect(m_ui->comKVVName->lineEdit(), &QLineEdit::returnPressed, this,
            &ExplosivesEditor::storeRecord);
    connect(m_ui->cmdNazad, &QPushButton::clicked, this, [this] {
        // The main menu is shown first, so the program never has no window.
        emit backRequested();
        close();
    });
    connect(m_ui->cmdVihod, &QPushButton::clicked, this, &ExplosivesEditor::exitRequested);

    fillGrid();
    enableRowButtons(false);
}

ExplosivesEditor::~ExplosivesEditor() = default;

void ExplosivesEditor::fillGrid() {
    QTableWidget* grid = m_ui->grdTable;
    m_filling = true;
    grid->clearSelection();
    grid->setRowCount(0);
    try {
        db::Connection connection(m_connectionString);
        for (const db::ExplosiveRecord& e : db::readExplosives(connection)) {
            if (m_changing && e.name == *m_changing) {
                continue;
            }
            const int row = grid->rowCount();
            grid->insertRow(row);
            auto* name = new QTableWidgetItem(e.name);
            name->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            name->setToolTip(e.name);
            grid->setItem(row, 0, name);
            auto* energy = new QTableWidgetItem(numtext::general(e.energy));
            energy->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(row, 1, energy);
        }
    } catch (const Error& e) {
        showDatabaseError(this, QStringLiteral("Не удалось прочитать список ВВ из базы данных."),
                          e);
    }
    grid->setCurrentCell(-1, -1);
    m_filling = false;
}

void ExplosivesEditor::selectRow(int row) {
    if (row >= 0 && row < m_ui->grdTable->rowCount() && m_ui->grdTable->isEnabled()) {
        enableRowButtons(true);
    }
}

void ExplosivesEditor::enableRowButtons(bool enabled) {
    m_ui->cmdIzm->setEnabled(enabled);
    m_ui->cmdDel->setEnabled(enabled);
}

std::optional<QString> ExplosivesEditor::selectedName() const {
    const QTableWidgetItem* item = m_ui->grdTable->item(m_ui->grdTable->currentRow(), 0);
    if (item == nullptr) {
        return std::nullopt;
    }
    return item->text();
}

void ExplosivesEditor::showInputFrame() {
    m_inputFrame->show();
    m_ui->cmdVihod->setEnabled(false);
    m_ui->cmdNazad->setEnabled(false);
    m_ui->grdTable->setEnabled(false);
    focusField(m_ui->comKVVName);
}

void ExplosivesEditor::addRecord() {
    m_changing.reset();
    showInputFrame();
}

void ExplosivesEditor::changeRecord() {
    const auto name = selectedName();
    if (!name) {
        enableRowButtons(false);
        return;
    }
    std::optional<db::ExplosiveRecord> found;
    try {
        db::Connection connection(m_connectionString);
        found = db::findExplosive(connection, *name);
    } catch (const Error& e) {
        showDatabaseError(this, QStringLiteral("Не удалось прочитать ВВ «%1».").arg(*name), e);
        return;
    }
    if (!found) {
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("ВВ «%1» больше нет в базе данных: его удалили или "
                                             "переименовали в другой программе. Список обновлён.")
                                  .arg(*name));
        fillGrid();
        enableRowButtons(false);
        return;
    }
    m_ui->comKVVName->setEditText(found->name);
    m_ui->txtVVPower->setText(numtext::general(found->energy));
    // The explosive leaves the grid, not the table, until the user stores it or cancels.
    m_changing = found->name;
    fillGrid();
    showInputFrame();
    m_ui->cmdDel->setEnabled(false);
    m_ui->cmdDob->setEnabled(false);
    m_ui->cmdIzm->setEnabled(false);
}

void ExplosivesEditor::storeRecord() {
    const QString name = m_ui->comKVVName->currentText().trimmed();
    if (name.isEmpty()) {
        ui::Messages::warning(
            this, kMessageTitle,
            QStringLiteral("Поле «%1»: введите наименование ВВ.").arg(kNameField));
        focusField(m_ui->comKVVName);
        return;
    }
    if (const QString problem =
            db::nameLengthProblem(QStringLiteral("Поле «%1»").arg(kNameField), name);
        !problem.isEmpty()) {
        ui::Messages::warning(this, kMessageTitle, problem);
        focusField(m_ui->comKVVName);
        return;
    }
    const QString energyText = m_ui->txtVVPower->text();
    const auto energy = numtext::parse(energyText);
    if (!energy) {
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Поле «%1»: «%2» не является числом. Введите энергию "
                                             "взрыва в кДж/кг, например 4520 или 4520,5.")
                                  .arg(kEnergyField, energyText.trimmed()));
        focusField(m_ui->txtVVPower);
        return;
    }
    if (!(*energy > 0)) {
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Поле «%1»: энергия взрыва должна быть больше нуля "
                                             "(кДж/кг).")
                                  .arg(kEnergyField));
        focusField(m_ui->txtVVPower);
        return;
    }

    const db::ExplosiveRecord record{name, *energy};
    db::EditResult result = db::EditResult::Done;
    try {
        db::Connection connection(m_connectionString);
        result = m_changing ? db::replaceExplosive(connection, *m_changing, record)
                            : db::addExplosive(connection, record);
    } catch (const Error& e) {
        showDatabaseError(this, QStringLiteral("Не удалось сохранить ВВ «%1».").arg(name), e);
        return;
    }
    switch (result) {
    case db::EditResult::Done:
        returnToBrowsing();
        showRow(name);
        break;
    case db::EditResult::NameTaken:
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("Поле «%1»: ВВ «%2» уже есть в базе данных. Введите "
                                             "другое наименование.")
                                  .arg(kNameField, name));
        focusField(m_ui->comKVVName);
        break;
    case db::EditResult::Missing:
    case db::EditResult::NumberTaken:
        ui::Messages::warning(
            this, kMessageTitle,
            QStringLiteral("ВВ «%1» больше нет в базе данных: его удалили или переименовали в "
                           "другой программе. Изменения не сохранены; введённые данные остались "
                           "в окне ввода, их можно сохранить через «Добавить запись».")
                .arg(m_changing.value_or(name)));
        returnToBrowsing();
        break;
    }
}

void ExplosivesEditor::cancelInput() {
    // Nothing was taken out of the table, so nothing has to be put back.
    returnToBrowsing();
}

void ExplosivesEditor::returnToBrowsing() {
    m_changing.reset();
    m_inputFrame->hide();
    fillGrid();
    m_ui->cmdDob->setEnabled(true);
    m_ui->cmdVihod->setEnabled(true);
    m_ui->cmdNazad->setEnabled(true);
    m_ui->grdTable->setEnabled(true);
    enableRowButtons(false);
}

void ExplosivesEditor::showRow(const QString& name) {
    const QList<QTableWidgetItem*> found = m_ui->grdTable->findItems(name, Qt::MatchExactly);
    for (QTableWidgetItem* item : found) {
        if (item->column() == 0) {
            m_ui->grdTable->scrollToItem(item);
            break;
        }
    }
}

void ExplosivesEditor::deleteRecord() {
    const auto name = selectedName();
    if (!name) {
        enableRowButtons(false);
        return;
    }
    const auto answer = ui::Messages::show(
        this, {kMessageTitle, QStringLiteral("Удалить ВВ «%1» из справочника?").arg(*name),
               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
    if (answer != QMessageBox::Yes) {
        return;
    }
    db::EditResult result = db::EditResult::Done;
    try {
        db::Connection connection(m_connectionString);
        result = db::deleteExplosive(connection, *name);
    } catch (const Error& e) {
        showDatabaseError(this, QStringLiteral("Не удалось удалить ВВ «%1».").arg(*name), e);
        return;
    }
    if (result != db::EditResult::Done) {
        ui::Messages::warning(this, kMessageTitle,
                              QStringLiteral("ВВ «%1» уже нет в базе данных: его удалили или "
                                             "переименовали в другой программе. Список обновлён.")
                                  .arg(*name));
    }
    fillGrid();
    enableRowButtons(false);
}

} // namespace kelmo::editors
