#pragma once

#include "engine/CalcState.h"

#include <QAbstractTableModel>
#include <QLocale>

namespace kelmo::zone {

// The profile grid of the results window: one row per stored distance. Cells are formatted
// when the view asks for them, so a 50,000-row run costs nothing up front.
class ProfileModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ProfileModel(QObject* parent = nullptr);

    // Shows rows 1 … pointCount of the state; the state must outlive the model.
    void setProfile(const CalcState* state);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const CalcState* m_state = nullptr;
    int m_rows = 0;
    QLocale m_locale;
};

} // namespace kelmo::zone
