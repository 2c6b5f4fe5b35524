#pragma once

#include "map/Calibration.h"

#include <QDialog>
#include <QImage>

class QCheckBox;
class QGraphicsEllipseItem;
class QGraphicsView;
class QLabel;
class QLineEdit;

namespace kelmo::map {

// Places a picture on the plan: the user clicks two points of the picture and types their plan
// coordinates; "с поворотом" lets the picture turn. OK only with two good points.
class CalibrationDialog final : public QDialog {
    Q_OBJECT

public:
    CalibrationDialog(const QImage& picture, const std::optional<Calibration>& start,
                      QWidget* parent = nullptr);
    ~CalibrationDialog() override;

    // The picture's pixel of point 1 or 2, as a click sets it.
    void setPixel(int point, QPointF pixel);
    // The calibration the fields describe; nullopt after a message naming what is wrong.
    std::optional<Calibration> calibration();

    // The calibration accepted with OK.
    const Calibration& result() const { return m_result; }

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMarks();

    QImage m_picture;
    QGraphicsView* m_view = nullptr;
    QGraphicsEllipseItem* m_marks[2]{};
    QLineEdit* m_fields[4]{}; // X1, Y1, X2, Y2
    QLabel* m_pixelText[2]{};
    QCheckBox* m_rotation = nullptr;
    std::optional<QPointF> m_pixels[2];
    int m_next = 0;
    Calibration m_result;
};

} // namespace kelmo::map
