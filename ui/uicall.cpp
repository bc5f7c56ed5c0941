#include "uicall.h"

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
    if (wake_.IsOpen()) {
        auto* notifier = new QSocketNotifier(wake_.ReadEnd(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            wake_.Drain();
            Pump();
        });
    }
}

UiCallQueue::~UiCallQueue() { Shutdown(); }

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
    if (wake_.IsOpen()) {
        wake_.Poke();
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
