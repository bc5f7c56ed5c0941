// The playlist's sequencing rules as functions of its entries, so both
// windows use one definition and the tests call them without widgets.
#pragma once

#include <QString>
#include <QStringList>

namespace sonivel {

// The first entry named `name` (compared with `cs`), or -1.
int FindEntry(const QStringList& entries, const QString& name, Qt::CaseSensitivity cs);

// Where Next or Previous goes: counted from `from`, or from `current` when
// `from` is not listed, one entry on or back, wrapping around the ends; a
// file not in the list steps to the first (Next) or the last (Previous).
// -1 for an empty list. Names are compared as the file system does.
int StepIndex(const QStringList& entries, const QString& from, const QString& current, bool next);

// What plays when the track `current` ends: the entry after it, or the
// first again after the last with auto repeat; -1 when playback stops
// there (the last entry without repeat, or a file not listed). The ended
// track is found by its exact name.
int AdvanceIndex(const QStringList& entries, const QString& current, bool autoRepeat);

}  // namespace sonivel
