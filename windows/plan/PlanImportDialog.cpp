#include "windows/plan/PlanImportDialog.h"

#include "data/Database.h"
#include "data/SitePlan.h"
#include "data/StructureKinds.h"
#include "ui/BackgroundWork.h"
#include "ui/Messages.h"
#include "windows/map/PlanMapView.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace kelmo::plan {

namespace {

const QString kTitle = QStringLiteral("Импорт генплана");
const QString kNoField = QStringLiteral("(нет)");

// The field a general plan usually names for the role, by the start of its name.
int guessField(const QStringList& fields, const QStringList& stems) {
    for (int i = 0; i < fields.size(); ++i) {
        const QString f = fields[i].toCaseFolded();
        for (const QString& stem : stems) {
            if (f.startsWith(stem)) {
                return i;
            }
        }
    }
    return -1;
}

// Waits with the busy cursor while a file is read: a plan of thousands of buildings takes a
// moment.
class BusyCursor final {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

PlanImportDialog::PlanImportDialog(QString connectionString, int plan, QWidget* parent)
    : QDialog(parent)
    , m_connectionString(std::move(connectionString))
    , m_plan(plan) {
    setObjectName(QStringLiteral("frmImportPlan"));
    setWindowTitle(kTitle);

    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("txtFile"));
    m_file->setReadOnly(true);
    auto* browse = new QPushButton(QStringLiteral("Обзор…"), this);
    browse->setObjectName(QStringLiteral("cmdBrowse"));
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);

    const auto combo = [this](const char* name) {
        auto* box = new QComboBox(this);
        box->setObjectName(QLatin1String(name));
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(18);
        return box;
    };
    m_layer = combo("cboLayer");
    m_numberField = combo("cboNumberField");
    m_kindField = combo("cboKindField");
    m_kind = combo("cboKind");
    m_staffField = combo("cboStaffField");
    m_storeysField = combo("cboFloorsField");
    m_kindFromField = new QRadioButton(QStringLiteral("из поля"), this);
    m_kindFromField->setObjectName(QStringLiteral("optKindField"));
    m_kindForAll = new QRadioButton(QStringLiteral("один для всех"), this);
    m_kindForAll->setObjectName(QStringLiteral("optKindAll"));
    m_kindForAll->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Файл:"), fileRow);
    form->addRow(QStringLiteral("Слой:"), m_layer);
    form->addRow(QStringLiteral("Номер:"), m_numberField);
    auto* kindFieldRow = new QHBoxLayout;
    kindFieldRow->addWidget(m_kindFromField);
    kindFieldRow->addWidget(m_kindField, 1);
    auto* kindAllRow = new QHBoxLayout;
    kindAllRow->addWidget(m_kindForAll);
    kindAllRow->addWidget(m_kind, 1);
    form->addRow(QStringLiteral("Вид сооружения:"), kindFieldRow);
    form->addRow(QString(), kindAllRow);
    form->addRow(QStringLiteral("Сотрудники:"), m_staffField);
    form->addRow(QStringLiteral("Этажность:"), m_storeysField);

    m_summary = new QPlainTextEdit(this);
    m_summary->setObjectName(QStringLiteral("txtSummary"));
    m_summary->setReadOnly(true);
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addLayout(form);
    leftLayout->addWidget(new QLabel(QStringLiteral("Итог чтения:"), this));
    leftLayout->addWidget(m_summary, 1);

    m_map = new map::PlanMapView(this);
    m_map->setObjectName(QStringLiteral("mapPreview"));
    m_map->setLegendShown(false);
    m_map->setMinimumSize(360, 300);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(m_map);
    splitter->setStretchFactor(1, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_importButton =
        buttons->addButton(QStringLiteral("Импортировать"), QDialogButtonBox::AcceptRole);
    m_importButton->setObjectName(QStringLiteral("cmdImport"));
    m_importButton->setEnabled(false);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(buttons);
    resize(980, 600);

    // The kinds of the database, as the structure editor names them.
    try {
        db::Connection c(m_connectionString);
        for (const db::KindRecord& kind : db::readStructureKinds(c)) {
            m_kind->addItem(kind.name);
        }
    } catch (const std::exception& e) {
        m_summary->setPlainText(
            QStringLiteral("Виды сооружений не прочитаны: %1").arg(QString::fromUtf8(e.what())));
    }

    connect(browse, &QPushButton::clicked, this, &PlanImportDialog::chooseFile);
    connect(buttons, &QDialogButtonBox::accepted, this, &PlanImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PlanImportDialog::reject);
    connect(m_layer, &QComboBox::currentIndexChanged, this, &PlanImportDialog::showLayerFields);
    for (QComboBox* box : {m_numberField, m_kindField, m_kind, m_staffField, m_storeysField}) {
        connect(box, &QComboBox::currentIndexChanged, this, &PlanImportDialog::preview);
    }
    connect(m_kindForAll, &QRadioButton::toggled, this, &PlanImportDialog::preview);
    // Choosing a kind field or a kind means using it.
    connect(m_kindField, &QComboBox::activated, this, [this](int index) {
        if (index > 0) {
            m_kindFromField->setChecked(true);
        }
    });
    connect(m_kind, &QComboBox::activated, this, [this] { m_kindForAll->setChecked(true); });
}

PlanImportDialog::~PlanImportDialog() = default;

void PlanImportDialog::chooseFile() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Генплан"), QString(),
        QStringLiteral("Генпланы (*.dxf *.shp *.gpkg *.geojson *.json);;Чертежи DXF (*.dxf);;"
                       "Shapefile (*.shp);;GeoPackage (*.gpkg);;GeoJSON (*.geojson *.json);;"
                       "Все файлы (*)"));
    if (!path.isEmpty()) {
        openFile(path);
    }
}

bool PlanImportDialog::openFile(const QString& path) {
    planimport::SourceContents contents;
    try {
        // Damaged drawings are refused before the reading library sees them, but a well-formed
        // one can still keep it busy for ever (blocks inserted into one another millions of
        // times): the dialog stays answering and can be cancelled.
        auto read = ui::runInBackground(this, QStringLiteral("Чтение файла генплана…"),
                                        [path] { return planimport::inspectSource(path); });
        if (!read) {
            return false;
        }
        contents = std::move(*read);
    } catch (const std::exception& e) {
        ui::Messages::warning(this, kTitle, QString::fromUtf8(e.what()));
        return false;
    }
    m_path = path;
    m_contents = std::move(contents);
    m_file->setText(QDir::toNativeSeparators(path));
    {
        const QSignalBlocker block(m_layer);
        m_layer->clear();
        if (m_contents->drawing) {
            m_layer->addItem(QStringLiteral("(все слои чертежа)"), QString());
        }
        for (const planimport::SourceLayer& layer : m_contents->layers) {
            m_layer->addItem(QStringLiteral("%1 (%2)").arg(layer.name).arg(layer.features),
                             layer.name);
        }
        // A drawing's buildings are usually on a layer of their own; otherwise the first.
        int start = 0;
        for (int i = 0; i < m_layer->count(); ++i) {
            const QString name = m_layer->itemData(i).toString().toCaseFolded();
            if (name.contains(QStringLiteral("здан")) || name.contains(QStringLiteral("build"))) {
                start = i;
                break;
            }
        }
        m_layer->setCurrentIndex(start);
    }
    showLayerFields();
    return true;
}

void PlanImportDialog::showLayerFields() {
    QStringList fields;
    if (m_contents) {
        const QString layer = m_layer->currentData().toString();
        for (const planimport::SourceLayer& l : m_contents->layers) {
            if (l.name == layer || (layer.isEmpty() && m_contents->drawing)) {
                fields = l.fields;
                break;
            }
        }
    }
    const struct {
        QComboBox* box;
        QStringList stems;
    } roles[] = {
        {m_numberField, {QStringLiteral("номер"), QStringLiteral("num"), QStringLiteral("no")}},
        {m_kindField, {QStringLiteral("вид"), QStringLiteral("kind")}},
        {m_staffField,
         {QStringLiteral("сотрудн"), QStringLiteral("персонал"), QStringLiteral("staff")}},
        {m_storeysField,
         {QStringLiteral("этаж"), QStringLiteral("floor"), QStringLiteral("storey")}},
    };
    for (const auto& role : roles) {
        const QSignalBlocker block(role.box);
        role.box->clear();
        role.box->addItem(kNoField, QString());
        for (const QString& f : fields) {
            role.box->addItem(f, f);
        }
        role.box->setCurrentIndex(guessField(fields, role.stems) + 1);
    }
    {
        const QSignalBlocker block(m_kindFromField);
        const bool kindField = m_kindField->currentIndex() > 0;
        m_kindFromField->setChecked(kindField);
        m_kindForAll->setChecked(!kindField);
    }
    preview();
}

planimport::FieldMapping PlanImportDialog::mapping() const {
    planimport::FieldMapping m;
    m.layer = m_layer->currentData().toString();
    m.numberField = m_numberField->currentData().toString();
    m.kindField = m_kindFromField->isChecked() ? m_kindField->currentData().toString() : QString();
    m.staffField = m_staffField->currentData().toString();
    m.storeysField = m_storeysField->currentData().toString();
    return m;
}

int PlanImportDialog::structureCount() const {
    return m_structures && m_structures->refused.isEmpty()
               ? static_cast<int>(m_structures->structures.size())
               : 0;
}

void PlanImportDialog::preview() {
    m_reading.reset();
    m_structures.reset();
    m_importButton->setEnabled(false);
    if (!m_contents) {
        return;
    }
    QStringList lines;
    map::PlanMapModel model;
    try {
        auto read = ui::runInBackground(this, QStringLiteral("Чтение сооружений генплана…"),
                                        [path = m_path, fields = mapping()] {
                                            return planimport::readPlanSource(path, fields);
                                        });
        if (!read) {
            m_summary->setPlainText(QStringLiteral("Чтение файла отменено."));
            m_map->setModel({}, true);
            return;
        }
        m_reading = std::move(*read);
        BusyCursor busy;
        db::Connection c(m_connectionString);
        m_structures = planimport::structuresOf(
            c, *m_reading, m_kindForAll->isChecked() ? m_kind->currentText() : QString());
    } catch (const std::exception& e) {
        m_summary->setPlainText(QString::fromUtf8(e.what()));
        m_map->setModel({}, true);
        return;
    }
    lines << QStringLiteral("Сооружений: %1.").arg(m_structures->structures.size());
    lines << QStringLiteral("Система координат: %1.").arg(m_reading->crsDescription);
    if (const QString skipped = planimport::skippedSummary(m_reading->skipped);
        !skipped.isEmpty()) {
        lines << skipped;
    }
    if (m_reading->holes > 0) {
        lines << QStringLiteral("Внутренние контуры многоугольников (дворы) не учитываются: %1.")
                     .arg(m_reading->holes);
    }
    if (m_structures->renumbered) {
        lines << QStringLiteral("Номера файла идут не подряд от 1: сооружения будут "
                                "пронумерованы 1…%1 в порядке этих номеров.")
                     .arg(m_structures->structures.size());
    }
    if (!m_structures->refused.isEmpty()) {
        lines << QString()
              << QStringLiteral("Не подходят объекты (%1), импорт невозможен — исправьте их или "
                                "выберите другие поля:")
                     .arg(m_structures->refused.size())
              << planimport::refusalText(m_structures->refused);
    } else if (m_structures->structures.isEmpty()) {
        lines << QStringLiteral("В слое нет ни одного замкнутого контура.");
    }
    m_summary->setPlainText(lines.join(u'\n'));

    for (const planimport::ImportedStructure& s : m_structures->structures) {
        map::MapStructure m;
        m.number = s.record.number;
        m.type = s.record.type;
        m.kind = s.record.kind;
        m.storeys = s.record.storeys;
        m.staff = s.record.staff.toInt();
        for (const PlanPoint& p : s.outline) {
            m.outline << QPointF(p.x, p.y);
        }
        model.structures.push_back(std::move(m));
    }
    m_map->setModel(std::move(model), true);
    m_importButton->setEnabled(structureCount() > 0);
}

void PlanImportDialog::accept() {
    if (structureCount() == 0) {
        return;
    }
    try {
        db::Connection c(m_connectionString);
        const auto name = db::planName(c, m_plan);
        if (!name) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Плана местности больше нет в базе данных."));
            return;
        }
        const int existing = db::lastStructureNumber(c, m_plan);
        if (existing > 0) {
            const auto answer = ui::Messages::show(
                this, {kTitle,
                       QStringLiteral("На плане «%1» уже есть сооружения (%2). Заменить их %3 "
                                      "сооружениями генплана?")
                           .arg(*name)
                           .arg(existing)
                           .arg(structureCount()),
                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
            if (answer != QMessageBox::Yes) {
                return;
            }
        }
        planimport::storePlanStructures(c, *name, m_structures->structures, m_reading->epsg,
                                        existing > 0);
    } catch (const std::exception& e) {
        ui::Messages::warning(this, kTitle,
                              QStringLiteral("Генплан не импортирован, ничего не сохранено.\n%1")
                                  .arg(QString::fromUtf8(e.what())));
        return;
    }
    QDialog::accept();
}

} // namespace kelmo::plan
