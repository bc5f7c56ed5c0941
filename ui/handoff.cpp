#include "handoff.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>

#include "registry.h"

namespace sonivel {
namespace {

QString SettingsFolder() {
    Registry store;
    const QString dir = QFileInfo(store.Settings().fileName()).absolutePath();
    QDir().mkpath(dir);
    return dir;
}

// The per-instance names waiting to be taken, oldest first.
QStringList PendingKeys(Registry& store) {
    QStringList keys = store.Settings().childKeys().filter(QRegularExpression("^Open\\..+"));
    keys.sort();
    return keys;
}

// This instance runs now. Names still waiting were handed to one that ended
// before it took them: never play them days later.
void DropNamesLeft(Registry& store) {
    store.WriteString("Open", "");
    for (const QString& key : PendingKeys(store)) store.DeleteKey(key);
    store.Sync();
}

}  // namespace

bool InstanceHandoff::HandOff(const QStringList& names, int waitMs) {
    const QString folder = SettingsFolder();
    lock_ = std::make_unique<QLockFile>(folder + "/Sonivel.startup.lock");
    lock_->setStaleLockTime(0);  // only a dead owner's lock is stale
    // Instances starting together take turns. A lock not had in 15 s (an
    // owner that hangs) is no reason to give up: the hand-off below still
    // works, only instances started at the same moment could both run.
    [[maybe_unused]] const bool turn = lock_->tryLock(15000);
    // Every running instance holds this lock: had at once, no instance runs
    // (a dead one's lock is stale), and there is nothing to wait for.
    instanceLock_ = std::make_unique<QLockFile>(folder + "/Sonivel.instance.lock");
    instanceLock_->setStaleLockTime(0);
    if (instanceLock_->tryLock(0)) {
        Registry store;
        DropNamesLeft(store);
        return false;
    }
    instanceLock_.reset();
    {
        Registry store;
        store.WriteString("Open", "");
        store.WriteInteger("Status", 0);
        store.Sync();
    }
    QThread::msleep(static_cast<unsigned long>(waitMs));
    Registry store;  // a fresh look at the store
    const std::optional<int> status = store.ReadInteger("Status");
    if (status.value_or(0) == 0) {
        DropNamesLeft(store);
        return false;
    }
    if (!names.isEmpty()) {
        // Time first, then the process: hand-offs sort in the order made,
        // and the names of one by their place in it.
        const QString stamp = QString("%1-%2")
                                  .arg(QDateTime::currentMSecsSinceEpoch(), 15, 10, QChar('0'))
                                  .arg(QCoreApplication::applicationPid());
        for (qsizetype i = 0; i < names.size(); ++i)
            if (!names[i].isEmpty()) store.WriteString(QString("Open.%1.%2").arg(stamp).arg(i, 6, 10, QChar('0')), names[i]);
        store.Sync();
    }
    lock_.reset();
    return true;
}

void InstanceHandoff::Watch() {
    watcher_ = std::make_unique<QFileSystemWatcher>();
    const QString file = Registry().Settings().fileName();
    // The settings file is replaced as a whole when written: the folder's
    // change is what shows it, the file's own covers writes in place.
    watcher_->addPath(QFileInfo(file).absolutePath());
    if (QFileInfo::exists(file)) watcher_->addPath(file);
    const auto changed = [this, file] {
        if (!watcher_->files().contains(file) && QFileInfo::exists(file)) watcher_->addPath(file);
        if (changeSignal_) changeSignal_();
    };
    QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, changed);
    QObject::connect(watcher_.get(), &QFileSystemWatcher::fileChanged, changed);
}

bool InstanceHandoff::Watching() const { return watcher_ && !watcher_->directories().isEmpty(); }

QList<QStringList> InstanceHandoff::Heartbeat(bool takeNames) {
    if (!watcher_) Watch();
    Registry store;
    QList<QStringList> handed;
    // Writing only when needed keeps a look from changing the store, which
    // the watcher would report as a change to look at again.
    if (store.ReadInteger("Status").value_or(0) != 1) store.WriteInteger("Status", 1);
    const QString open = store.ReadString("Open");
    const QStringList pending = PendingKeys(store);
    if (takeNames && !open.isEmpty()) {
        store.WriteString("Open", "");
        handed << QStringList{open};
    }
    QString group;
    for (const QString& key : takeNames ? pending : QStringList()) {
        const QString name = store.ReadString(key);
        store.DeleteKey(key);
        if (name.isEmpty()) continue;
        // "Open.<stamp>.<n>": one hand-off per stamp.
        const QString stamp = key.section('.', 1, 1);
        if (handed.isEmpty() || stamp != group) handed << QStringList();
        group = stamp;
        handed.back() << name;
    }
    store.Sync();
    // The check of the next starting instance may begin: this one answers now.
    if (lock_) lock_.reset();
    return handed;
}

}  // namespace sonivel
