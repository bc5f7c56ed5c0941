#include "playlist_model.h"

#include <algorithm>

namespace sonivel {

int PlaylistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries_.size()) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return entries_[index.row()];
    return {};
}

void PlaylistModel::Append(const QStringList& names) {
    if (names.isEmpty()) return;
    const int first = Count();
    beginInsertRows({}, first, first + static_cast<int>(names.size()) - 1);
    entries_ += names;
    endInsertRows();
}

void PlaylistModel::Remove(QList<int> rows) {
    // From the last, so the rows still to go keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) {
        if (row < 0 || row >= Count()) continue;
        beginRemoveRows({}, row, row);
        entries_.removeAt(row);
        endRemoveRows();
    }
}

void PlaylistModel::Clear() { Set({}); }

void PlaylistModel::Set(const QStringList& names) {
    beginResetModel();
    entries_ = names;
    endResetModel();
}

}  // namespace sonivel
