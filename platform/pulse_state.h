// The PulseAudio stream's state, shared by the device's calls (the render
// thread) and libpulse's callbacks (the main loop's thread): the blocks
// queued here and handed to the server as it asks, where each ends in the
// stream, the stream's clock that says which are done, and the loss of the
// server. Private to the PulseAudio device.
#pragma once

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "pulse_device.h"

namespace sonivel {

struct PulseDevice::State {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_time_event* timer = nullptr;
    pa_sample_spec spec{};
    bool halveBytes = false;  // 64-bit floats handed over as 32-bit ones
    bool corked = true;
    bool dead = false;        // the server went away under an open stream
    bool ending = false;      // no block follows those queued
    std::string title = "Sonivel";

    // Everything below is touched under the main loop's lock.
    struct Queued {
        const WaveHeader* header;
        const std::uint8_t* data;
        std::uint32_t length;
        std::uint32_t consumed;
    };
    std::deque<Queued> queue;
    // Where each queued block ends, in the stream's byte index (server bytes).
    std::unordered_map<const WaveHeader*, std::int64_t> pending;
    std::int64_t writeIndex = 0;  // the stream's write index, as this client counts it
    std::vector<std::uint8_t> repacked;
    std::function<void()> doneSignal;
    std::uint32_t lastReported = 0;

    // The main loop's lock keeps libpulse's objects and the loop's thread
    // in step; `m`, taken inside it here and in every callback, guards this
    // state in a way the thread checker sees too (libpulse's own locking is
    // hidden from it).
    std::mutex m;
    void Lock() {
        pa_threaded_mainloop_lock(loop);
        m.lock();
    }
    void Unlock() {
        m.unlock();
        pa_threaded_mainloop_unlock(loop);
    }

    // Waits, the lock held, until `done` holds or `ms` have passed.
    template <class Done>
    bool WaitFor(Done done, int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= until) return false;
            Unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            Lock();
        }
        return true;
    }
    bool Wait(pa_operation* op, int ms = 2000) {
        if (!op) return false;
        const bool ok = WaitFor([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; }, ms);
        pa_operation_unref(op);
        return ok;
    }

    // Bytes of the stream the sink has played: its clock, from the read
    // index less the sink's latency, interpolated between updates.
    std::int64_t PlayedIndex() const {
        pa_usec_t usec = 0;
        if (!stream || pa_stream_get_time(stream, &usec) < 0) return 0;
        return static_cast<std::int64_t>(pa_usec_to_bytes(usec, &spec));
    }

    // Marks the blocks played since the last look as done and says so; sets
    // the timer for the next block's end.
    void Check() {
        const std::int64_t played = PlayedIndex();
        bool any = false;
        std::int64_t next = -1;
        for (auto it = pending.begin(); it != pending.end();) {
            if (it->second <= played || dead) {
                it = pending.erase(it);
                any = true;
            } else {
                next = next < 0 ? it->second : std::min(next, it->second);
                ++it;
            }
        }
        if (any && doneSignal) doneSignal();
        if (next >= 0 && !dead && !corked) Arm(static_cast<std::int64_t>(pa_bytes_to_usec(static_cast<std::uint64_t>(next - played), &spec)));
    }
    void Arm(std::int64_t usec) {
        // At least 5 ms, at most 200 ms, so a change of latency is followed.
        const pa_usec_t wait = static_cast<pa_usec_t>(std::clamp<std::int64_t>(usec, 5000, 200000));
        const pa_usec_t at = pa_rtclock_now() + wait;
        if (timer) pa_context_rttime_restart(context, timer, at);
        else timer = pa_context_rttime_new(context, at, &State::OnTimer, this);
    }
    static void OnTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
        auto* s = static_cast<State*>(self);
        const std::lock_guard lock(s->m);
        s->Check();
    }

    // Hands the server what it asks for, from the queued blocks.
    void Feed(std::size_t wanted) {
        if (!stream || dead) return;
        bool wrote = false;
        while (wanted > 0 && !queue.empty()) {
            Queued& q = queue.front();
            const std::uint32_t from = halveBytes ? 8 : 1;
            const std::uint32_t to = halveBytes ? 4 : 1;
            const std::size_t samples = std::min<std::size_t>(wanted / to, (q.length - q.consumed) / from);
            if (samples == 0) break;
            const std::uint8_t* data = q.data + q.consumed;
            if (halveBytes) {
                repacked.resize(samples * 4);
                for (std::size_t i = 0; i < samples; ++i) {
                    double d;
                    std::memcpy(&d, data + 8 * i, 8);
                    const auto f = static_cast<float>(d);
                    std::memcpy(repacked.data() + 4 * i, &f, 4);
                }
                data = repacked.data();
            }
            if (pa_stream_write(stream, data, samples * to, nullptr, 0, PA_SEEK_RELATIVE) < 0) break;
            writeIndex += static_cast<std::int64_t>(samples * to);
            wrote = true;
            wanted -= samples * to;
            q.consumed += static_cast<std::uint32_t>(samples * from);
            if (q.length - q.consumed < from) {
                pending[q.header] = writeIndex;
                queue.pop_front();
            }
        }
        if (corked && wrote) {
            corked = false;
            if (pa_operation* op = pa_stream_cork(stream, 0, nullptr, nullptr)) pa_operation_unref(op);
            Check();
        }
        // Everything queued is with the server: it plays even what is less
        // than its prebuffer (a short last block, the end of a track).
        if (wrote && queue.empty() && !corked) {
            if (ending) PadEnd();
            if (pa_operation* op = pa_stream_trigger(stream, nullptr, nullptr)) pa_operation_unref(op);
        }
    }
    // After the sound's last byte, 50 ms of silence: a server that plays in
    // whole periods (PipeWire) would keep the last part of one back until
    // more came, and never play it.
    void PadEnd() {
        std::vector<std::uint8_t> silence(pa_usec_to_bytes(50000, &spec), spec.format == PA_SAMPLE_U8 ? 0x80 : 0);
        pa_stream_write(stream, silence.data(), silence.size(), nullptr, 0, PA_SEEK_RELATIVE);
        ending = false;
    }
    static void OnWritable(pa_stream*, std::size_t nbytes, void* self) {
        auto* s = static_cast<State*>(self);
        const std::lock_guard lock(s->m);
        s->Feed(nbytes);
    }

    // The server went away, or the stream failed: everything queued is
    // done, and nothing more is taken.
    void Fail() {
        dead = true;
        queue.clear();
        Check();
    }
    static void OnStreamState(pa_stream* stream, void* self) {
        const pa_stream_state_t st = pa_stream_get_state(stream);
        if (st != PA_STREAM_FAILED && st != PA_STREAM_TERMINATED) return;
        auto* s = static_cast<State*>(self);
        const std::lock_guard lock(s->m);
        s->Fail();
    }
    static void OnContextState(pa_context* c, void* self) {
        const pa_context_state_t st = pa_context_get_state(c);
        if (st != PA_CONTEXT_FAILED && st != PA_CONTEXT_TERMINATED) return;
        auto* s = static_cast<State*>(self);
        const std::lock_guard lock(s->m);
        s->Fail();
    }

    void FreeTimer() {
        if (!timer) return;
        pa_threaded_mainloop_get_api(loop)->time_free(timer);
        timer = nullptr;
    }
    void DropContext() {
        FreeTimer();
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
    }
    void DropStream() {
        FreeTimer();
        if (stream) {
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
            stream = nullptr;
        }
        queue.clear();
        pending.clear();
    }
};

}  // namespace sonivel
