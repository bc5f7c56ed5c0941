// The hand-off between instances through the settings values "Status" and
// "Open": a running instance writes Status = 1 every 100 ms; a starting one
// writes 0, waits, and reads it back. Two additions make it safe when a
// file manager starts several instances at once: a lock file serialises the
// check, and the instance that keeps running holds that lock until its
// heartbeat runs; and each name handed over gets its own value
// ("Open.<stamp>") so names handed over together are all delivered.
//
// The running instance also holds an instance lock for its whole life, so a
// starting instance that gets it knows at once that none runs and skips the
// wait. And the heartbeat looks at the store only when the settings file
// changed (the file system tells, through a watcher) or now and then to be
// safe: a quiet store costs nothing ten times a second.
#pragma once

#include <QFileSystemWatcher>
#include <QLockFile>
#include <QString>
#include <QStringList>
#include <memory>

namespace sonivel {

class InstanceHandoff {
public:
    // Starting instance. True when another instance answered: `file`, if not
    // empty, has been handed to it, and this instance should end. False: this
    // is the running instance now, and names left for an instance that ended
    // are gone; call Heartbeat from its 100 ms timer.
    bool HandOff(const QString& file, int waitMs);
    // Running instance, every 100 ms: keeps Status at 1 and, with
    // `takeNames`, returns the names handed over since the last call, oldest
    // first (without, they stay until a call that takes them).
    QStringList Heartbeat(bool takeNames);

private:
    // Starts watching the settings file and its folder.
    void Watch();
    // Names were waiting in the store at the last look but not taken.
    bool namesLeft_ = false;
    // A look at the store is due: something changed, or nothing was seen yet.
    bool changed_ = true;
    int quietBeats_ = 0;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLockFile> instanceLock_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

}  // namespace sonivel
