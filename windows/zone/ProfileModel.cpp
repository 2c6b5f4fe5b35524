#include "windows/zone/ProfileModel.h"

#include "core/NumberText.h"

namespace kelmo::zone {

ProfileModel::ProfileModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void ProfileModel::setProfile(const CalcState* state) {
    beginResetModel();
    m_state = state;
    m_rows = state != nullptr ? std::max(state->gPointCount, 0) : 0;
    m_locale = QLocale();
    endResetModel();
}

int ProfileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int ProfileModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QVariant ProfileModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || m_state == nullptr || index.row() >= m_rows) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const ProfileRow& row = m_state->gProfile.row(index.row() + 1);
    switch (index.column()) {
    case 0:
        return numtext::general(row.r, m_locale);
    case 1:
        return numtext::fixed(row.deltaPkgf, 3, m_locale);
    case 2:
        return numtext::fixed(row.deltaPkPa, 3, m_locale);
    case 3:
        return numtext::fixed(row.impulse, 3, m_locale);
    case 4:
        return numtext::fixed(row.probitHeavy, 2, m_locale);
    default:
        return {};
    }
}

QVariant ProfileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    static const char* const heads[] = {"Расстояние", "Давление, кгс/кв.см", "Давление, кПа",
                                        "Импульс, Па с", "Пробит"};
    return section >= 0 && section < 5 ? QString::fromUtf8(heads[section]) : QVariant();
}

} // namespace kelmo::zone
