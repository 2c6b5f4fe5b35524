#include "windows/map/CalibrationDialog.h"

#include "core/NumberText.h"
#include "map/MapStyle.h"
#include "ui/Messages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace kelmo::map {

namespace {

const QString kTitle = QStringLiteral("Привязка рисунка к плану");

} // namespace

CalibrationDialog::CalibrationDialog(const QImage& picture, const std::optional<Calibration>& start,
                                     QWidget* parent)
    : QDialog(parent)
    , m_picture(picture) {
    setObjectName(QStringLiteral("CalibrationDialog"));
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(
        QStringLiteral("Щёлкните на рисунке две точки, координаты которых на плане известны "
                       "(лучше подальше друг от друга), и введите их координаты в метрах."),
        this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    m_view = new QGraphicsView(this);
    m_view->setObjectName(QStringLiteral("calibrationView"));
    m_view->setScene(new QGraphicsScene(m_view));
    m_view->scene()->addPixmap(QPixmap::fromImage(m_picture));
    m_view->setMinimumSize(480, 320);
    m_view->viewport()->installEventFilter(this);
    m_view->setRenderHint(QPainter::SmoothPixmapTransform);
    layout->addWidget(m_view, 1);
    for (int i = 0; i < 2; ++i) {
        m_marks[i] =
            m_view->scene()->addEllipse(-6, -6, 12, 12, QPen(chargeColour(), 2), Qt::NoBrush);
        m_marks[i]->setFlag(QGraphicsItem::ItemIgnoresTransformations);
        m_marks[i]->setVisible(false);
        auto* number = new QGraphicsSimpleTextItem(QString::number(i + 1), m_marks[i]);
        number->setBrush(chargeColour());
        number->setPos(7, -18);
    }

    auto* form = new QFormLayout;
    const char* names[4] = {"txtPlanX1", "txtPlanY1", "txtPlanX2", "txtPlanY2"};
    for (int i = 0; i < 4; ++i) {
        m_fields[i] = new QLineEdit(this);
        m_fields[i]->setObjectName(QLatin1String(names[i]));
    }
    for (int i = 0; i < 2; ++i) {
        m_pixelText[i] = new QLabel(QStringLiteral("не указана"), this);
        auto* row = new QHBoxLayout;
        row->addWidget(m_pixelText[i]);
        row->addWidget(new QLabel(QStringLiteral("X, м:"), this));
        row->addWidget(m_fields[2 * i]);
        row->addWidget(new QLabel(QStringLiteral("Y, м:"), this));
        row->addWidget(m_fields[2 * i + 1]);
        form->addRow(QStringLiteral("Точка %1 на рисунке:").arg(i + 1), row);
    }
    m_rotation = new QCheckBox(QStringLiteral("Рисунок повёрнут относительно осей плана"), this);
    m_rotation->setObjectName(QStringLiteral("chkRotation"));
    form->addRow(m_rotation);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CalibrationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CalibrationDialog::reject);
    layout->addWidget(buttons);

    if (start) {
        setPixel(1, start->first.pixel);
        setPixel(2, start->second.pixel);
        m_fields[0]->setText(numtext::general(start->first.plan.x()));
        m_fields[1]->setText(numtext::general(start->first.plan.y()));
        m_fields[2]->setText(numtext::general(start->second.plan.x()));
        m_fields[3]->setText(numtext::general(start->second.plan.y()));
        m_rotation->setChecked(start->rotation);
    }
    resize(760, 620);
}

CalibrationDialog::~CalibrationDialog() = default;

void CalibrationDialog::setPixel(int point, QPointF pixel) {
    const int i = point == 2 ? 1 : 0;
    m_pixels[i] = pixel;
    m_pixelText[i]->setText(
        QStringLiteral("(%1; %2)").arg(mapNumber(pixel.x(), 0), mapNumber(pixel.y(), 0)));
    m_next = 1 - i;
    showMarks();
}

void CalibrationDialog::showMarks() {
    for (int i = 0; i < 2; ++i) {
        m_marks[i]->setVisible(m_pixels[i].has_value());
        if (m_pixels[i]) {
            m_marks[i]->setPos(*m_pixels[i]);
        }
    }
}

bool CalibrationDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            const QPointF at = m_view->mapToScene(mouse->position().toPoint());
            if (QRectF(m_picture.rect()).contains(at)) {
                setPixel(m_next + 1, at);
                m_fields[2 * (1 - m_next)]->setFocus();
            }
            return true;
        }
    }
    if (watched == m_view->viewport() && event->type() == QEvent::Resize) {
        m_view->fitInView(QRectF(m_picture.rect()), Qt::KeepAspectRatio);
    }
    return QDialog::eventFilter(watched, event);
}

std::optional<Calibration> CalibrationDialog::calibration() {
    for (int i = 0; i < 2; ++i) {
        if (!m_pixels[i]) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Щёлкните на рисунке точку %1.").arg(i + 1));
            return std::nullopt;
        }
    }
    double values[4];
    const char* names[4] = {"X точки 1", "Y точки 1", "X точки 2", "Y точки 2"};
    for (int i = 0; i < 4; ++i) {
        const auto v = numtext::parse(m_fields[i]->text());
        if (!v) {
            ui::Messages::warning(this, kTitle,
                                  QStringLiteral("Поле «%1»: «%2» не является числом. Введите "
                                                 "координату в метрах, например -12,5.")
                                      .arg(QLatin1String(names[i]), m_fields[i]->text()));
            m_fields[i]->setFocus();
            m_fields[i]->selectAll();
            return std::nullopt;
        }
        values[i] = *v;
    }
    Calibration c;
    c.first = {*m_pixels[0], QPointF(values[0], values[1])};
    c.second = {*m_pixels[1], QPointF(values[2], values[3])};
    c.rotation = m_rotation->isChecked();
    try {
        pictureToPlan(c);
    } catch (const CalibrationError& e) {
        ui::Messages::warning(this, kTitle, QString::fromUtf8(e.what()));
        return std::nullopt;
    }
    return c;
}

void CalibrationDialog::accept() {
    if (const auto c = calibration()) {
        m_result = *c;
        QDialog::accept();
    }
}

} // namespace kelmo::map
