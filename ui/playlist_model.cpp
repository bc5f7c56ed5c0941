#include "playlist_model.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <algorithm>

#include "texts.h"

namespace sonivel {

int PlaylistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

namespace {

// The mark of the current entry, and a blank of its size beside the others
// so that every name starts at the same place.
const QIcon& Mark(bool current) {
    static const QIcon marks[2] = {
        [] {
            QPixmap blank(12, 12);
            blank.fill(Qt::transparent);
            return QIcon(blank);
        }(),
        [] {
            QPixmap play(12, 12);
            play.fill(Qt::transparent);
            QPainter painter(&play);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0x20, 0x70, 0x20));
            painter.drawPolygon(QPolygonF({QPointF(2, 1), QPointF(11, 6), QPointF(2, 11)}));
            return QIcon(play);
        }()};
    return marks[current ? 1 : 0];
}

}  // namespace

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries_.size()) return {};
    const QString& entry = entries_[index.row()];
    const bool current = index.row() == CurrentRow();
    const QFileInfo file(entry);
    const QString name = file.fileName().isEmpty() ? entry : file.fileName();
    const QString folder = QDir::toNativeSeparators(file.path());
    switch (role) {
        case Qt::DisplayRole: return name + QString::fromUtf8("  \u2014  ") + folder;
        case Qt::ToolTipRole: return QDir::toNativeSeparators(entry);
        case Qt::AccessibleTextRole:
            return name + ", " + folder + (current ? ", " + QString::fromUtf8(Text(kTextCurrentEntry).data()) : QString());
        case Qt::DecorationRole: return Mark(current);
        case Qt::FontRole: {
            if (!current) return {};
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        default: return {};
    }
}

void PlaylistModel::SetCurrent(const QString& name) {
    if (name == current_) return;
    const int before = currentRow_;
    current_ = name;
    FindCurrent();
    for (int row : {before, currentRow_})
        if (row >= 0) emit dataChanged(index(row), index(row));
}

void PlaylistModel::FindCurrent() {
    currentRow_ = current_.isEmpty() ? -1 : static_cast<int>(entries_.indexOf(current_));
}

void PlaylistModel::Append(const QStringList& names) {
    if (names.isEmpty()) return;
    const int first = Count();
    beginInsertRows({}, first, first + static_cast<int>(names.size()) - 1);
    entries_ += names;
    if (currentRow_ < 0) FindCurrent();
    endInsertRows();
}

void PlaylistModel::Remove(QList<int> rows) {
    // From the last, so the rows still to go keep their numbers.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows) {
        if (row < 0 || row >= Count()) continue;
        beginRemoveRows({}, row, row);
        entries_.removeAt(row);
        FindCurrent();
        endRemoveRows();
    }
}

void PlaylistModel::Clear() { Set({}); }

void PlaylistModel::Set(const QStringList& names) {
    beginResetModel();
    entries_ = names;
    FindCurrent();
    endResetModel();
}

}  // namespace sonivel
