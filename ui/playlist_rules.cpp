#include "playlist_rules.h"

#include "file_names.h"

namespace sonivel {

int FindEntry(const QStringList& entries, const QString& name, Qt::CaseSensitivity cs) {
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (QString::compare(entries[i], name, cs) == 0) return static_cast<int>(i);
    return -1;
}

int StepIndex(const QStringList& entries, const QString& from, const QString& current, bool next) {
    const int count = static_cast<int>(entries.size());
    if (count == 0) return -1;
    int at = from.isEmpty() ? -1 : FindEntry(entries, from, FileNameCase());
    if (at < 0) at = FindEntry(entries, current, FileNameCase());
    if (next) return (at < 0 || at == count - 1) ? 0 : at + 1;
    return (at <= 0) ? count - 1 : at - 1;
}

}  // namespace sonivel
