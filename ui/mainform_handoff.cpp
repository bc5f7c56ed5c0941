// The main window's side of the hand-off between instances: the 100 ms
// timer that answers a starting instance and plays the names it handed over.
#include "mainform.h"

namespace sonivel {

void TMainForm::Timer1Timer() {
    // Until start-up is complete (its boxes answered, the playlist and the
    // recent files there) the timer only answers; names wait in the store.
    for (const QString& name : handoff_.Heartbeat(ready_)) OpenAndPlay(name);
}

}  // namespace sonivel
