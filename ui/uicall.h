// Runs work of the render thread on the windows' thread and waits for it.
//
// The render thread queues a call and blocks until the call says it is done;
// the windows' thread runs queued calls from its event loop (or, during the
// start-up wait, from that wait). A call may finish later than it returns
// (a message box finishes when the user closes it), so each call receives
// its own `done`. After Shutdown every waiting and later call is released at
// once, so a render thread still asking for the windows can end.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "os.h"

namespace sonivel {

class UiCallQueue : public QObject {
public:
    using Done = std::function<void()>;
    using Work = std::function<void(Done)>;

    // Made on the windows' thread, whose event loop then runs the calls.
    explicit UiCallQueue(QObject* parent = nullptr);
    ~UiCallQueue() override;

    // Render thread: runs `work` on the windows' thread, returns once it
    // called done (or the queue shut down). Returns false when not run.
    bool Call(Work work);
    // Convenience for work that is done when it returns.
    bool CallSync(const std::function<void()>& work) {
        return Call([work](Done done) {
            work();
            done();
        });
    }
    // Render thread: runs `work` on the windows' thread later, without
    // waiting. Calls keep their order; a posted call with a `key` other than
    // 0 replaces one with the same key that has not run yet, so only the
    // latest of a stream of values is shown.
    void Post(int key, std::function<void()> work);
    // Windows' thread: runs every queued call.
    void Pump();
    // Windows' thread: waits up to `ms` for a queued call or a wake-up.
    void WaitForWork(int ms);
    void Shutdown();

private:
    struct Pending {
        Work work;
        std::shared_ptr<struct CallState> state;  // null for a posted call
        int key = 0;
    };
    void WakeEventLoop();
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Pending> queue_;
    std::vector<std::weak_ptr<struct CallState>> waiting_;
    bool shutdown_ = false;
    // The render thread wakes the event loop through a pipe rather than by
    // posting a Qt event: the calls themselves cross under mutex_ only.
    WakeChannel wake_;
};

}  // namespace sonivel
