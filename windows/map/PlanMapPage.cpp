#include "windows/map/PlanMapPage.h"

#include "gis/GisExport.h"

#include "core/FileError.h"
#include "core/NumberText.h"
#include "core/Version.h"
#include "data/Database.h"
#include "data/PlanPicture.h"
#include "gis/GisExport.h"
#include "map/MapStyle.h"
#include "map/PictureRecord.h"
#include "map/PlanMapRender.h"
#include "planimport/GeoPicture.h"
#include "planimport/PlanSource.h"
#include "ui/BackgroundWork.h"
#include "ui/FileHandover.h"
#include "ui/Messages.h"
#include "ui/Settings.h"
#include "windows/map/CalibrationDialog.h"
#include "windows/map/PlanMapView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelmo::map {

namespace {

const QString kTitle = QStringLiteral("Карта плана местности");

// One call to the store of the plan's picture, on a worker: the store is the database, which
// may be a server that does not answer. Throws when the user gives up waiting.
template <class Call>
auto onPictureStore(QWidget* parent, const QString& label,
                    const std::shared_ptr<db::PlanPictureStore>& store, Call call) {
    auto result = ui::runInBackground(parent, label, [store, call] { return call(*store); });
    if (!result) {
        throw Error("ожидание сервера базы данных прервано; чтобы увидеть, что хранит база "
                    "данных, откройте окно заново, когда сервер ответит.");
    }
    return *std::move(result);
}

QString pressuresText(const QList<double>& values) {
    QStringList parts;
    for (const double v : values) {
        parts << numtext::general(v);
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace

PlanMapPage::PlanMapPage(QWidget* parent)
    : QWidget(parent)
    , m_pressureValues(defaultPressuresKPa()) {
    setObjectName(QStringLiteral("planMapPage"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;

    bar->addWidget(new QLabel(QStringLiteral("Зоны:"), this));
    m_criterion = new QComboBox(this);
    m_criterion->setObjectName(QStringLiteral("cboCriterion"));
    m_criterion->addItems({QStringLiteral("а) тяжёлые разрушения зданий, люди в зданиях"),
                           QStringLiteral("б) полное разрушение промышленных зданий"),
                           QStringLiteral("люди вне зданий")});
    bar->addWidget(m_criterion);

    m_scenarioCaption = new QLabel(QStringLiteral("Сценарий:"), this);
    bar->addWidget(m_scenarioCaption);
    m_scenario = new QComboBox(this);
    m_scenario->setObjectName(QStringLiteral("cboScenario"));
    m_scenario->setToolTip(QStringLiteral("Чьи окружности показывает карта: заряд расчета, один "
                                          "сценарий плана или все сценарии сразу (сооружения — "
                                          "по худшему случаю)"));
    // A long scenario name is cut in the closed list rather than squeezing the pressures.
    m_scenario->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_scenario->setMinimumContentsLength(12);
    bar->addWidget(m_scenario);
    m_scenarioCaption->setVisible(false);
    m_scenario->setVisible(false);

    bar->addWidget(new QLabel(QStringLiteral("Давления, кПа:"), this));
    m_pressures = new QLineEdit(pressuresText(m_pressureValues), this);
    m_pressures->setObjectName(QStringLiteral("txtPressures"));
    m_pressures->setToolTip(QStringLiteral("Окружности избыточного давления: значения в кПа "
                                           "через точку с запятой; Enter — показать"));
    // Several pressures stay readable, whatever else the bar holds.
    m_pressures->setMinimumWidth(m_pressures->fontMetrics().horizontalAdvance("100; 53; 28; 12"));
    m_pressures->setCursorPosition(0); // a narrow field shows the first values
    bar->addWidget(m_pressures, 1);

    auto* fit = new QToolButton(this);
    fit->setObjectName(QStringLiteral("cmdFit"));
    fit->setText(QStringLiteral("Весь план"));
    bar->addWidget(fit);

    m_pictureButton = new QToolButton(this);
    m_pictureButton->setObjectName(QStringLiteral("cmdPicture"));
    m_pictureButton->setText(QStringLiteral("Рисунок"));
    m_pictureButton->setPopupMode(QToolButton::InstantPopup);
    auto* pictureMenu = new QMenu(m_pictureButton);
    pictureMenu->addAction(QStringLiteral("Загрузить и привязать…"), this,
                           &PlanMapPage::chooseBackgroundPicture);
    pictureMenu->addAction(QStringLiteral("Изменить привязку…"), this, [this] {
        if (!m_background) {
            return;
        }
        CalibrationDialog dialog(m_background->picture, m_calibration, this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        try {
            const auto picture =
                m_pictures
                    ? onPictureStore(this, QStringLiteral("Чтение рисунка плана…"), m_pictures,
                                     [plan = m_plan](db::PlanPictureStore& pictures) {
                                         return pictures.read(plan);
                                     })
                    : std::nullopt;
            if (picture) {
                setBackgroundPicture(picture->bytes, dialog.result());
            }
        } catch (const std::exception& e) {
            ui::Messages::warning(this, kTitle, QString::fromUtf8(e.what()));
        }
    });
    pictureMenu->addAction(QStringLiteral("Удалить рисунок"), this,
                           &PlanMapPage::removeBackgroundPicture);
    m_pictureButton->setMenu(pictureMenu);
    bar->addWidget(m_pictureButton);
    m_pictureShown = new QCheckBox(QStringLiteral("показать"), this);
    m_pictureShown->setObjectName(QStringLiteral("chkPicture"));
    m_pictureShown->setChecked(true);
    bar->addWidget(m_pictureShown);
    m_opacity = new QSlider(Qt::Horizontal, this);
    m_opacity->setObjectName(QStringLiteral("sldOpacity"));
    m_opacity->setRange(10, 100);
    m_opacity->setValue(100);
    m_opacity->setMaximumWidth(100);
    m_opacity->setToolTip(QStringLiteral("Непрозрачность рисунка"));
    bar->addWidget(m_opacity);

    auto* exportButton = new QToolButton(this);
    exportButton->setObjectName(QStringLiteral("cmdExport"));
    exportButton->setText(QStringLiteral("Сохранить"));
    exportButton->setPopupMode(QToolButton::InstantPopup);
    auto* exportMenu = new QMenu(exportButton);
    exportMenu->addAction(QStringLiteral("Рисунок PNG…"), this,
                          [this] { exportWithDialog(Format::Png); });
    exportMenu->addAction(QStringLiteral("Рисунок SVG…"), this,
                          [this] { exportWithDialog(Format::Svg); });
    exportMenu->addAction(QStringLiteral("Лист PDF…"), this,
                          [this] { exportWithDialog(Format::Pdf); });
    exportMenu->addSeparator();
    exportMenu->addAction(QStringLiteral("GeoPackage для ГИС…"), this,
                          [this] { exportWithDialog(Format::GeoPackage); });
    exportMenu->addAction(QStringLiteral("DXF для САПР…"), this,
                          [this] { exportWithDialog(Format::Dxf); });
    exportMenu->addAction(QStringLiteral("GeoJSON (долгота и широта)…"), this,
                          [this] { exportWithDialog(Format::GeoJson); });
    exportButton->setMenu(exportMenu);
    bar->addWidget(exportButton);

    auto* print = new QToolButton(this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    print->setText(QStringLiteral("Печать…"));
    bar->addWidget(print);
    layout->addLayout(bar);

    m_view = new PlanMapView(this);
    layout->addWidget(m_view, 1);

    connect(m_criterion, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_view->setCriterion(static_cast<Criterion>(index + 1)); });
    connect(m_scenario, &QComboBox::currentIndexChanged, this, [this] { rebuild(); });
    connect(m_pressures, &QLineEdit::editingFinished, this,
            [this] { applyPressures(m_pressures->text()); });
    connect(fit, &QToolButton::clicked, m_view, &PlanMapView::fitToPlan);
    connect(m_pictureShown, &QCheckBox::toggled, this,
            [this](bool on) { setBackgroundLook(on, m_opacity->value() / 100.0); });
    connect(m_opacity, &QSlider::valueChanged, this,
            [this](int value) { setBackgroundLook(m_pictureShown->isChecked(), value / 100.0); });
    connect(print, &QToolButton::clicked, this, &PlanMapPage::printWithPreview);
    showPictureState();
}

PlanMapPage::~PlanMapPage() = default;

const PlanMapModel& PlanMapPage::model() const {
    return m_view->model();
}

void PlanMapPage::setSituation(const QString& planName, const SituationResult& result,
                               const ChargeInput& charge) {
    m_planName = planName;
    m_result = result;
    m_charge = charge;
    rebuild();
}

void PlanMapPage::setScenarios(situation::AllScenarios scenarios, bool worstCaseShown) {
    m_scenarios = std::move(scenarios);
    const QSignalBlocker quiet(m_scenario);
    m_scenario->clear();
    if (!m_scenarios.outcomes.empty()) {
        if (!worstCaseShown) {
            m_scenario->addItem(QStringLiteral("Заряд расчета"), -1);
        }
        for (std::size_t k = 0; k < m_scenarios.outcomes.size(); ++k) {
            m_scenario->addItem(m_scenarios.outcomes[k].scenario.name, static_cast<int>(k));
        }
        m_scenario->addItem(QStringLiteral("Все сценарии"), kAllScenarios);
        m_scenario->setCurrentIndex(worstCaseShown ? m_scenario->count() - 1 : 0);
    }
    m_scenarioCaption->setVisible(!m_scenarios.outcomes.empty());
    m_scenario->setVisible(!m_scenarios.outcomes.empty());
    rebuild();
}

bool PlanMapPage::chooseScenario(int choice) {
    const int index = m_scenario->findData(choice);
    if (index < 0) {
        return false;
    }
    m_scenario->setCurrentIndex(index);
    return true;
}

void PlanMapPage::setPictureStore(std::shared_ptr<db::PlanPictureStore> store, int plan) {
    m_pictures = std::move(store);
    m_plan = m_pictures ? plan : 0;
    m_background.reset();
    m_calibration.reset();
    if (m_plan > 0) {
        try {
            const auto picture = onPictureStore(
                this, QStringLiteral("Чтение рисунка плана…"), m_pictures,
                [plan](db::PlanPictureStore& pictures) { return pictures.read(plan); });
            if (picture) {
                m_calibration = calibrationOf(*picture);
                m_background = backgroundOf(*picture);
            }
        } catch (const std::exception& e) {
            ui::Messages::warning(
                this, kTitle,
                QStringLiteral("Рисунок плана не показан: %1").arg(QString::fromUtf8(e.what())));
        }
    }
    rebuild();
    showPictureState();
}

void PlanMapPage::rebuild() {
    PlanMapModel model;
    const int choice = m_scenario->count() > 0 ? m_scenario->currentData().toInt() : -1;
    if (choice == kAllScenarios || choice >= 0) {
        std::vector<ScenarioOnMap> shown;
        for (std::size_t k = 0; k < m_scenarios.outcomes.size(); ++k) {
            if (choice == kAllScenarios || static_cast<int>(k) == choice) {
                const situation::ScenarioOutcome& o = m_scenarios.outcomes[k];
                shown.push_back({o.scenario.name, o.scenario.charge, &o.result});
            }
        }
        model = mapOfScenarios(shown, m_pressureValues);
    } else if (m_result) {
        model = mapOfSituation(*m_result, m_charge, m_pressureValues);
    }
    model.planName = m_planName;
    model.background = m_background;
    m_view->setModel(std::move(model));
}

bool PlanMapPage::applyPressures(const QString& text) {
    QList<double> values;
    for (const QString& part : text.split(u';', Qt::SkipEmptyParts)) {
        if (part.trimmed().isEmpty()) {
            continue;
        }
        const auto v = numtext::parse(part);
        if (!v || !(*v > 0)) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Давление «%1» — введите число больше 0 (кПа); "
                                                 "значения разделяются точкой с запятой.")
                                      .arg(part.trimmed()));
            m_pressures->setFocus();
            return false;
        }
        if (!values.contains(*v)) {
            values << *v;
        }
    }
    if (values == m_pressureValues) {
        return true;
    }
    m_pressureValues = values;
    rebuild();
    return true;
}

bool PlanMapPage::setBackgroundPicture(const QByteArray& file, const Calibration& calibration) {
    MapBackground background;
    QByteArray bytes;
    try {
        // What follows the picture's end in its file is not kept.
        bytes = pictureBytes(file);
        background = makeBackground(bytes, calibration, m_opacity->value() / 100.0,
                                    m_pictureShown->isChecked());
    } catch (const CalibrationError& e) {
        ui::Messages::warning(this, kTitle, QString::fromUtf8(e.what()));
        return false;
    }
    if (m_plan > 0) {
        db::PlanPicture record;
        record.bytes = bytes;
        record.pixelX1 = calibration.first.pixel.x();
        record.pixelY1 = calibration.first.pixel.y();
        record.planX1 = calibration.first.plan.x();
        record.planY1 = calibration.first.plan.y();
        record.pixelX2 = calibration.second.pixel.x();
        record.pixelY2 = calibration.second.pixel.y();
        record.planX2 = calibration.second.plan.x();
        record.planY2 = calibration.second.plan.y();
        record.rotation = calibration.rotation;
        record.opacity = background.opacity;
        record.shown = background.visible;
        try {
            onPictureStore(this, QStringLiteral("Сохранение рисунка плана…"), m_pictures,
                           [plan = m_plan, record](db::PlanPictureStore& pictures) {
                               pictures.store(plan, record);
                               return true;
                           });
        } catch (const std::exception& e) {
            ui::Messages::warning(
                this, kTitle,
                QStringLiteral("Рисунок не сохранён: %1").arg(QString::fromUtf8(e.what())));
            return false;
        }
    }
    m_background = std::move(background);
    m_calibration = calibration;
    rebuild();
    showPictureState();
    return true;
}

void PlanMapPage::chooseBackgroundPicture() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Рисунок плана местности"), QString(),
        QStringLiteral("Рисунки (*.png *.jpg *.jpeg *.tif *.tiff);;Все файлы (*)"));
    if (!path.isEmpty()) {
        loadBackgroundPicture(path);
    }
}

bool PlanMapPage::loadBackgroundPicture(const QString& path) {
    // A GeoTIFF or a picture with its world file places itself; a scan is placed by two points.
    try {
        // GDAL reads it on a thread of its own: a damaged file may keep it busy for ever.
        const auto read = ui::runInBackground(this, QStringLiteral("Чтение рисунка…"),
                                              [path] { return planimport::readGeoPicture(path); });
        if (!read) {
            return false;
        }
        if (const auto& placed = *read) {
            if (!placed->epsg || !m_planCrs || *placed->epsg == *m_planCrs) {
                return setBackgroundPicture(placed->bytes, placed->calibration);
            }
            ui::Messages::warning(
                this, kTitle,
                QStringLiteral("Рисунок «%1» привязан в системе координат EPSG:%2, а план ведётся "
                               "в EPSG:%3: его собственная привязка не подходит. Привяжите его "
                               "двумя точками.")
                    .arg(QDir::toNativeSeparators(path))
                    .arg(*placed->epsg)
                    .arg(*m_planCrs));
        }
    } catch (const planimport::PlanSourceError& e) {
        ui::Messages::warning(this, kTitle, QString::fromUtf8(e.what()));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ui::Messages::warning(this, kTitle,
                              QStringLiteral("Файл «%1» не открывается: %2")
                                  .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    // Only the picture is read, not whatever may follow its end in the file.
    QByteArray bytes;
    if (const uchar* mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr) {
        const char* start = reinterpret_cast<const char*>(mapped);
        const auto length = pictureLength(start, file.size());
        bytes = QByteArray(start, length ? *length : file.size());
        file.unmap(const_cast<uchar*>(mapped));
    } else {
        bytes = file.readAll();
    }
    QImage picture;
    try {
        picture = decodePicture(bytes);
    } catch (const CalibrationError& e) {
        ui::Messages::warning(this, kTitle, QString::fromUtf8(e.what()));
        return false;
    }
    CalibrationDialog dialog(picture, std::nullopt, this);
    if (dialog.exec() == QDialog::Accepted) {
        return setBackgroundPicture(bytes, dialog.result());
    }
    return false;
}

void PlanMapPage::setBackgroundLook(bool shown, double opacity) {
    if (!m_background) {
        return;
    }
    m_background->visible = shown;
    m_background->opacity = opacity;
    m_view->setBackgroundLook(shown, opacity);
    if (m_plan > 0) {
        try {
            onPictureStore(this, QStringLiteral("Сохранение вида рисунка плана…"), m_pictures,
                           [plan = m_plan, opacity, shown](db::PlanPictureStore& pictures) {
                               pictures.setLook(plan, opacity, shown);
                               return true;
                           });
        } catch (const std::exception&) {
            // The look is a convenience: the map shows it even when the database is away.
        }
    }
}

void PlanMapPage::removeBackgroundPicture() {
    if (!m_background) {
        return;
    }
    if (m_plan > 0) {
        try {
            onPictureStore(this, QStringLiteral("Удаление рисунка плана…"), m_pictures,
                           [plan = m_plan](db::PlanPictureStore& pictures) {
                               pictures.remove(plan);
                               return true;
                           });
        } catch (const std::exception& e) {
            ui::Messages::warning(
                this, kTitle,
                QStringLiteral("Рисунок не удалён: %1").arg(QString::fromUtf8(e.what())));
            return;
        }
    }
    m_background.reset();
    m_calibration.reset();
    rebuild();
    showPictureState();
}

void PlanMapPage::showPictureState() {
    const bool has = m_background.has_value();
    m_pictureShown->setEnabled(has);
    m_opacity->setEnabled(has);
    m_pictureButton->setEnabled(m_plan > 0 || has);
    if (has) {
        const QSignalBlocker a(m_pictureShown);
        const QSignalBlocker b(m_opacity);
        m_pictureShown->setChecked(m_background->visible);
        m_opacity->setValue(static_cast<int>(std::lround(m_background->opacity * 100)));
    }
}

MapOptions PlanMapPage::exportOptions() const {
    MapOptions o;
    const PlanMapView::ExportView v = m_view->exportView();
    o.criterion = v.criterion;
    o.planWindow = v.planWindow;
    return o;
}

void PlanMapPage::exportTo(const QString& path, Format format, QSize pixels, Paper paper,
                           double denominator) const {
    const PlanMapModel& m = model();
    switch (format) {
    case Format::Png:
        exportMapPng(path, m, exportOptions(), pixels);
        break;
    case Format::Svg:
        exportMapSvg(path, m, exportOptions(), pixels);
        break;
    case Format::Pdf:
        exportMapPdf(path, m, exportOptions(), paper, titleBlock(), denominator);
        break;
    case Format::GeoJson:
        gis::exportGeoJson(path, m, m_planCrs);
        break;
    case Format::GeoPackage:
        gis::exportGeoPackage(path, m, m_planCrs);
        break;
    case Format::Dxf:
        gis::exportDxf(path, m);
        break;
    }
}

QImage PlanMapPage::reportPicture() const {
    return reportMapPicture(model(), m_view->criterion(), kReportMapMillimetres);
}

TitleBlock PlanMapPage::titleBlock() const {
    TitleBlock t;
    t.plan = m_planName;
    const std::vector<ScenarioCircles>& scenarios = model().scenarios;
    if (scenarios.size() > 1) {
        QStringList names;
        for (const ScenarioCircles& scenario : scenarios) {
            names << scenario.name;
        }
        t.charge = QStringLiteral("худший случай по сценариям: %1").arg(names.join(u", "));
    } else if (scenarios.size() == 1) {
        t.charge = QStringLiteral("«%1», %2 кг в тротиловом эквиваленте")
                       .arg(scenarios.front().name, mapNumber(scenarios.front().massTNT, 1));
    } else if (model().massTNT > 0) {
        t.charge =
            QStringLiteral("%1 кг в тротиловом эквиваленте").arg(mapNumber(model().massTNT, 1));
    }
    t.criterion = criterionText(m_view->criterion());
    t.date = QLocale().toString(QDate::currentDate(), QStringLiteral("dd.MM.yyyy"));
    if (m_settings != nullptr) {
        if (const auto author = m_settings->reportAuthor()) {
            t.organisation = author->organisation;
            t.author = author->author;
        }
    }
    t.program = QStringLiteral("Келмо %1").arg(QString::fromLatin1(kVersion));
    return t;
}

bool PlanMapPage::chooseSheet(Paper& paper, double& denominator) {
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Лист карты"));
    auto* form = new QFormLayout(&dialog);
    auto* papers = new QComboBox(&dialog);
    papers->setObjectName(QStringLiteral("cboPaper"));
    papers->addItems(
        {QStringLiteral("A4"), QStringLiteral("A3"), QStringLiteral("A2"), QStringLiteral("A1")});
    papers->setCurrentIndex(static_cast<int>(m_paper));
    auto* scales = new QComboBox(&dialog);
    scales->setObjectName(QStringLiteral("cboScale"));
    for (const double n : printScales()) {
        scales->addItem(n > 0 ? QStringLiteral("1:%1").arg(scaleDenominatorText(n))
                              : QStringLiteral("вписать в лист"),
                        n);
    }
    scales->setCurrentIndex(std::max(0, scales->findData(m_denominator)));
    form->addRow(QStringLiteral("Лист (альбомный):"), papers);
    form->addRow(QStringLiteral("Масштаб:"), scales);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    m_paper = static_cast<Paper>(papers->currentIndex());
    m_denominator = scales->currentData().toDouble();
    paper = m_paper;
    denominator = m_denominator;
    return true;
}

void PlanMapPage::exportWithDialog(Format format) {
    QSize pixels(1920, 1080);
    Paper paper = Paper::A4;
    double denominator = 0;
    QString name = m_planName.isEmpty() ? QStringLiteral("План") : m_planName;
    QString filter;
    switch (format) {
    case Format::Png: {
        const QStringList sizes{QStringLiteral("1920 × 1080"), QStringLiteral("2560 × 1440"),
                                QStringLiteral("3840 × 2160"),
                                QStringLiteral("3508 × 2480 (A4 при 300 dpi)"),
                                QStringLiteral("4961 × 3508 (A3 при 300 dpi)")};
        bool ok = false;
        const QString chosen = QInputDialog::getItem(
            this, kTitle, QStringLiteral("Размер рисунка, точек:"), sizes, 0, false, &ok);
        if (!ok) {
            return;
        }
        const QStringList wh = chosen.section(u' ', 0, 2).split(QStringLiteral(" × "));
        pixels = QSize(wh.value(0).toInt(), wh.value(1).toInt());
        name += QStringLiteral(".png");
        filter = QStringLiteral("Рисунок PNG (*.png)");
        break;
    }
    case Format::Svg:
        name += QStringLiteral(".svg");
        filter = QStringLiteral("Рисунок SVG (*.svg)");
        break;
    case Format::Pdf: {
        if (!chooseSheet(paper, denominator)) {
            return;
        }
        name += QStringLiteral(".pdf");
        filter = QStringLiteral("Документ PDF (*.pdf)");
        break;
    }
    case Format::GeoJson:
        if (!m_planCrs) {
            // Without a place on the globe the plan's metres would be read as degrees.
            const auto answer =
                ui::Messages::show(this, {kTitle,
                                          gis::geoJsonNeedsCrsMessage(m_planName) +
                                              QStringLiteral("\n\nСохранить план в GeoPackage?"),
                                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                                          QMessageBox::Yes});
            if (answer == QMessageBox::Yes) {
                exportWithDialog(Format::GeoPackage);
            }
            return;
        }
        name += QStringLiteral(".geojson");
        filter = QStringLiteral("GeoJSON (*.geojson *.json)");
        break;
    case Format::GeoPackage:
        name += QStringLiteral(".gpkg");
        filter = QStringLiteral("GeoPackage (*.gpkg)");
        break;
    case Format::Dxf:
        name += QStringLiteral(".dxf");
        filter = QStringLiteral("Чертёж DXF (*.dxf)");
        break;
    }
    ui::saveAndOpen(
        this, name, filter,
        [&](const QString& path) { exportTo(path, format, pixels, paper, denominator); },
        m_settings, QStringLiteral("planMap"));
}

void PlanMapPage::printOn(QPrinter& printer, double denominator) const {
    const QSizeF printable = printer.pageLayout().paintRect(QPageLayout::Millimeter).size();
    const MapOptions options = exportOptions();
    const SheetSet sheets = mapSheets(model(), options, printable, denominator);
    QPainter p(&printer);
    if (!p.isActive()) {
        return;
    }
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    for (int i = 0; i < static_cast<int>(sheets.planWindows.size()); ++i) {
        if (i > 0) {
            printer.newPage();
        }
        renderMapSheet(p, model(), QRectF(QPointF(0, 0), page.size()), printer.resolution() / 25.4,
                       options, titleBlock(), sheets, i);
    }
}

void PlanMapPage::printWithPreview() {
    Paper paper = m_paper;
    double denominator = m_denominator;
    if (!chooseSheet(paper, denominator)) {
        return;
    }
    const QPageSize::PageSizeId ids[] = {QPageSize::A4, QPageSize::A3, QPageSize::A2,
                                         QPageSize::A1};
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(ids[static_cast<int>(paper)]),
                                      QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                      QPageLayout::Millimeter));
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Предварительный просмотр"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this, denominator](QPrinter* target) { printOn(*target, denominator); });
    preview.exec();
}

} // namespace kelmo::map
