// The main window's side of the hand-off between instances: the timer that
// answers a starting instance and plays the names it handed over. It runs
// when the settings store changed, as the hand-off's watcher tells, and
// otherwise only now and then; every 100 ms only where nothing can be
// watched.
#include "mainform.h"


namespace sonivel {
namespace {

// With every change told, the store is still looked at this often, in case
// the watcher misses one (a settings folder on a network share).
constexpr int kSafetyLookMs = 5000;
// A change is looked at this soon: one write of the store is a few changes
// of its folder in a row, and one look takes them all.
constexpr int kChangeLookMs = 10;

}  // namespace

void TMainForm::Timer1Timer() {
    // Until start-up is complete (its boxes answered, the playlist and the
    // recent files there) the timer only answers; names wait in the store.
    for (const QStringList& names : handoff_.Heartbeat(ready_)) TakeHandOff(names);
    const int next = handoff_.Watching() ? kSafetyLookMs : 100;
    if (Timer1->interval() != next) Timer1->setInterval(next);
}

void TMainForm::TakeHandOff(const QStringList& names) {
    // Instances a file manager starts at once, one per file, hand their
    // files over one after another, a few tenths of a second apart.
    constexpr qint64 kTogetherMs = 2000;
    const bool together = lastIntake_.isValid() && lastIntake_.elapsed() < kTogetherMs;
    lastIntake_.start();
    OpenNames(names, true, together && player_.Playlist().Count() > 0);
}

void TMainForm::LookAtStoreSoon() {
    if (Timer1->isActive() && Timer1->remainingTime() > kChangeLookMs) Timer1->start(kChangeLookMs);
}

}  // namespace sonivel
