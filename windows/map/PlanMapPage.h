#pragma once

#include "data/PlanPicture.h"
#include "engine/Situation.h"
#include "map/Calibration.h"
#include "map/MapExport.h"
#include "map/PlanMapModel.h"
#include "session/ScenarioSituation.h"

#include <QWidget>

#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QCheckBox;
class QLineEdit;
class QPainter;
class QPrinter;
class QSlider;
class QToolButton;

namespace kelmo::ui {
class Settings;
}

namespace kelmo::map {

class PlanMapView;

// The map page of the situation window: the map view with the criterion switch, the chosen
// overpressures, the background picture (load and place, show, opacity), export to PNG, SVG,
// PDF, GeoJSON, GeoPackage and DXF, and print with a preview.
class PlanMapPage final : public QWidget {
    Q_OBJECT

public:
    explicit PlanMapPage(QWidget* parent = nullptr);
    ~PlanMapPage() override;

    // The situation to show; its zones and pressure circles come from the zone calculation of
    // the same charge. Throws what that calculation throws.
    void setSituation(const QString& planName, const SituationResult& result,
                      const ChargeInput& charge);

    // The plan's scenarios, each evaluated over the plan: the map shows the situation's own
    // charge, one scenario, or «Все сценарии» — every scenario's circles around its storage
    // point under its name and the structures coloured by the worst case. `worstCaseShown`:
    // the situation is itself their worst case, so the map starts with all of them and offers
    // no charge of its own. A plan without scenarios hides the choice.
    void setScenarios(situation::AllScenarios scenarios, bool worstCaseShown);
    // The choice: -1 the situation's own charge, 0 … n − 1 one scenario, kAllScenarios all.
    static constexpr int kAllScenarios = -2;
    bool chooseScenario(int choice);

    // Where the plan's picture is read from and stored; it is read at once. No store or
    // plan 0: the map has no picture.
    void setPictureStore(std::shared_ptr<db::PlanPictureStore> store, int plan);

    // The plan's coordinate system (EPSG code), or local metres: the GIS exports are written
    // in it, GeoJSON needs one, and a picture that names another one is not placed by its
    // own placement.
    void setPlanCrs(std::optional<int> epsg) { m_planCrs = epsg; }

    // With settings, the export dialog starts in the folder last used for the map.
    void setSettings(ui::Settings* settings) { m_settings = settings; }

    PlanMapView* view() const { return m_view; }
    const PlanMapModel& model() const;

    // The overpressures typed as "100; 53; 28"; false after a message when one is not a
    // number above 0.
    bool applyPressures(const QString& text);

    // Stores the picture file placed by the calibration and shows it; false after a message
    // (a picture that cannot be read, points that cannot place it), and nothing is stored.
    bool setBackgroundPicture(const QByteArray& bytes, const Calibration& calibration);
    // Asks for a file, then as below.
    void chooseBackgroundPicture();
    // A GeoTIFF or a picture beside its world file is placed by its own placement; any other
    // picture asks for the two points. Then as setBackgroundPicture().
    bool loadBackgroundPicture(const QString& path);
    // Shows or hides the picture and changes its opacity, and stores that.
    void setBackgroundLook(bool shown, double opacity);
    void removeBackgroundPicture();

    // The export of what the view shows; throws FileError (and gis::GisExportError for the
    // GIS and CAD formats). GeoJSON is longitude and latitude (RFC 7946), GeoPackage is in the
    // plan's coordinate system, DXF in the plan's metres.
    enum class Format { Png, Svg, Pdf, GeoJson, GeoPackage, Dxf };
    // PDF sheets are on `paper` at 1:`denominator` (0: the round scale that fits one sheet).
    void exportTo(const QString& path, Format format, QSize pixels = QSize(1920, 1080),
                  Paper paper = Paper::A4, double denominator = 0) const;

    // The options of an export: the criterion and the part of the plan in the view.
    MapOptions exportOptions() const;

    // The map for the Word report at 300 dpi, the page's full width: the zones of the chosen
    // criterion at a stated scale, an overview when structures lie outside them.
    QImage reportPicture() const;

    // The title block of printed sheets: plan, charge, criterion, date, the organisation and
    // author from the settings, the program's version.
    TitleBlock titleBlock() const;

    // Prints the sheets at the chosen scale (0: fitted) on the printer's paper.
    void printOn(QPrinter& printer, double denominator = 0) const;

private:
    void rebuild();
    void exportWithDialog(Format format);
    void printWithPreview();
    // Asks for the paper and the scale of the sheets; false when cancelled.
    bool chooseSheet(Paper& paper, double& denominator);
    void showPictureState();

    PlanMapView* m_view = nullptr;
    QComboBox* m_criterion = nullptr;
    QLabel* m_scenarioCaption = nullptr;
    QComboBox* m_scenario = nullptr;
    QLineEdit* m_pressures = nullptr;
    QCheckBox* m_pictureShown = nullptr;
    QSlider* m_opacity = nullptr;
    QToolButton* m_pictureButton = nullptr;

    QString m_planName;
    std::optional<SituationResult> m_result;
    ChargeInput m_charge;
    situation::AllScenarios m_scenarios;
    QList<double> m_pressureValues;
    std::shared_ptr<db::PlanPictureStore> m_pictures;
    int m_plan = 0;
    std::optional<int> m_planCrs;
    ui::Settings* m_settings = nullptr;
    Paper m_paper = Paper::A4;
    double m_denominator = 0;
    std::optional<MapBackground> m_background;
    std::optional<Calibration> m_calibration;
};

} // namespace kelmo::map
