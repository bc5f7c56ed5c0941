#include "uicall.h"

#include <fcntl.h>
#include <unistd.h>

#include <QMetaObject>
#include <chrono>

namespace sonivel {

struct CallState {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    void Finish() {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        cv.notify_all();
    }
};

UiCallQueue::UiCallQueue(QObject* parent) : QObject(parent) {
    int fds[2];
    if (pipe(fds) == 0) {
        fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
        fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
        auto* notifier = new QSocketNotifier(wakeRead_, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char drain[64];
            while (read(wakeRead_, drain, sizeof drain) > 0) {
            }
            Pump();
        });
    }
}

UiCallQueue::~UiCallQueue() {
    Shutdown();
    if (wakeRead_ >= 0) close(wakeRead_);
    if (wakeWrite_ >= 0) close(wakeWrite_);
}

bool UiCallQueue::Call(Work work) {
    auto state = std::make_shared<CallState>();
    {
        std::lock_guard lock(mutex_);
        if (shutdown_) return false;
        queue_.push_back(Pending{std::move(work), state});
        std::erase_if(waiting_, [](const std::weak_ptr<CallState>& w) { return w.expired(); });
        waiting_.push_back(state);
    }
    WakeEventLoop();
    std::unique_lock lock(state->mutex);
    state->cv.wait(lock, [&] { return state->done; });
    return true;
}

void UiCallQueue::Post(int key, std::function<void()> work) {
    Work call = [work = std::move(work)](const Done&) { work(); };
    {
        std::lock_guard lock(mutex_);
        if (shutdown_) return;
        if (key != 0) {
            for (Pending& p : queue_) {
                if (p.key == key) {
                    p.work = std::move(call);
                    return;  // already queued, so the loop is already woken
                }
            }
        }
        queue_.push_back(Pending{std::move(call), nullptr, key});
    }
    WakeEventLoop();
}

void UiCallQueue::WakeEventLoop() {
    arrived_.notify_all();
    if (wakeWrite_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(wakeWrite_, &byte, 1);  // a full pipe already wakes
    } else {
        QMetaObject::invokeMethod(this, [this] { Pump(); }, Qt::QueuedConnection);
    }
}

void UiCallQueue::Pump() {
    for (;;) {
        Pending next;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        auto state = next.state;
        next.work([state] {
            if (state) state->Finish();
        });
    }
}

void UiCallQueue::WaitForWork(int ms) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !queue_.empty() || shutdown_; });
}


void UiCallQueue::Shutdown() {
    std::vector<std::weak_ptr<CallState>> waiting;
    {
        std::lock_guard lock(mutex_);
        shutdown_ = true;
        queue_.clear();
        waiting.swap(waiting_);
    }
    for (auto& w : waiting)
        if (auto s = w.lock()) s->Finish();
    arrived_.notify_all();
}

}  // namespace sonivel
