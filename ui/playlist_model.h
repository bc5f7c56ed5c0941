// The program's one playlist: the names in their order, as a model the
// editor's list shows, and which of them is the player's current file.
// Each row shows the file's name first and its folder after it (the whole
// name in its tooltip); the current entry is marked and bold, and a screen
// reader hears that it is the current one. The player (ui/player) owns it
// and applies the sequencing rules (ui/playlist_rules) to its entries.
#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace sonivel {

class PlaylistModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const QStringList& Entries() const { return entries_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    // Appends `names` in order (duplicates and all: the callers decide).
    void Append(const QStringList& names);
    // Removes the entries at `rows` (any order, each once).
    void Remove(QList<int> rows);
    void Clear();
    // Replaces the whole list (a playlist file opened).
    void Set(const QStringList& names);
    // The main window's current file (empty: none); its first entry is marked.
    void SetCurrent(const QString& name);
    // The row marked as current, -1 for none.
    int CurrentRow() const { return currentRow_; }

private:
    // Finds the current entry again after the list changed.
    void FindCurrent();

    QStringList entries_;
    QString current_;
    int currentRow_ = -1;
};

}  // namespace sonivel
