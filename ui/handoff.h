// The hand-off between instances through the settings values "Status" and
// "Open": a running instance writes Status = 1 every 100 ms; a starting one
// writes 0, waits, and reads it back. Two additions make it safe when a
// file manager starts several instances at once: a lock file serialises the
// check, and the instance that keeps running holds that lock until its
// heartbeat runs; and each name handed over gets its own value
// ("Open.<stamp>.<n>", n the name's place in its instance's list) so names
// handed over together are all delivered, and in order.
//
// The running instance also holds an instance lock for its whole life, so a
// starting instance that gets it knows at once that none runs and skips the
// wait. And the store needs looking at only when the settings file changed
// (the file system tells, through a watcher) or now and then to be safe:
// the owner runs the heartbeat when told of a change and every few seconds
// (every 100 ms only where nothing can be watched), so a quiet store costs
// nothing.
#pragma once

#include <QFileSystemWatcher>
#include <QLockFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace sonivel {

class InstanceHandoff {
public:
    // Starting instance. True when another instance answered: `names`, if
    // any, have been handed to it as one hand-off, and this instance should
    // end. False: this is the running instance now, and names left for an
    // instance that ended are gone; call Heartbeat from its timer.
    bool HandOff(const QStringList& names, int waitMs);
    // Running instance: keeps Status at 1 and, with `takeNames`, returns the
    // hand-offs made since the last call, oldest first, each the names of one
    // starting instance in its order (without, they stay until a call that
    // takes them). The first call starts watching.
    QList<QStringList> Heartbeat(bool takeNames);
    // Called on the windows' thread when the settings file or its folder
    // changed: a heartbeat is due.
    void SetChangeSignal(std::function<void()> signal) { changeSignal_ = std::move(signal); }
    // True once the watcher watches the folder: a change will be told, and
    // a heartbeat is needed only now and then. False before the first
    // heartbeat and where nothing can be watched.
    bool Watching() const;

private:
    // Starts watching the settings file and its folder.
    void Watch();
    std::function<void()> changeSignal_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLockFile> instanceLock_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

}  // namespace sonivel
