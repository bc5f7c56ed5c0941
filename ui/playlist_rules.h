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

// What plays when a track ends is FollowingIndex (engine/command.h): the
// render thread applies it to the plan the player publishes.

}  // namespace sonivel
