#include "windows/zone/ProfileModel.h"

#include "core/ProfileText.h"

namespace kelmo::zone {

ProfileModel::ProfileModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void ProfileModel::setProfile(const CalcState* state) {
    beginResetModel();
    m_state = state;
    m_rows = state != nullptr ? std::max(state->pointCount, 0) : 0;
    m_locale = QLocale();
    endResetModel();
}

int ProfileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int ProfileModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : profile::kColumnCount;
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
    return profile::cellText(m_state->profile.row(index.row() + 1), index.column(), m_state->step,
                             m_locale);
}

QVariant ProfileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    static const QStringList heads = profile::header();
    return section >= 0 && section < heads.size() ? heads[section] : QVariant();
}

} // namespace kelmo::zone
