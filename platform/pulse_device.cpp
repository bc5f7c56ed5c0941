#include "pulse_device.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace sonivel {
namespace {

// What the server holds ahead of the sink: a few wakes a second for it and
// for this client, and short enough that nothing waits on it (a Stop flushes).
constexpr pa_usec_t kTargetLatencyUs = 250000;

pa_sample_format_t PulseFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        return f.wBitsPerSample == 32 || f.wBitsPerSample == 64 ? PA_SAMPLE_FLOAT32LE : PA_SAMPLE_INVALID;
    if (f.wFormatTag != WAVE_FORMAT_PCM) return PA_SAMPLE_INVALID;
    switch (f.wBitsPerSample) {
        case 8: return PA_SAMPLE_U8;
        case 16: return PA_SAMPLE_S16LE;
        case 24: return PA_SAMPLE_S24LE;
        case 32: return PA_SAMPLE_S32LE;
        default: return PA_SAMPLE_INVALID;
    }
}

pa_proplist* Properties(const char* mediaName) {
    pa_proplist* p = pa_proplist_new();
    pa_proplist_sets(p, PA_PROP_APPLICATION_NAME, "Sonivel");
    pa_proplist_sets(p, PA_PROP_APPLICATION_ICON_NAME, "sonivel");
    pa_proplist_sets(p, PA_PROP_APPLICATION_ID, "sonivel");
    pa_proplist_sets(p, PA_PROP_MEDIA_ROLE, "music");
    if (mediaName) pa_proplist_sets(p, PA_PROP_MEDIA_NAME, mediaName);
    return p;
}

}  // namespace

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

PulseDevice::PulseDevice() : s_(std::make_unique<State>()) {}

PulseDevice::~PulseDevice() {
    if (!s_->loop) return;
    s_->Lock();
    s_->DropStream();
    s_->DropContext();
    s_->Unlock();
    pa_threaded_mainloop_stop(s_->loop);
    pa_threaded_mainloop_free(s_->loop);
}

bool PulseDevice::Connect(int ms) {
    if (!s_->loop) {
        s_->loop = pa_threaded_mainloop_new();
        if (!s_->loop) return false;
        pa_threaded_mainloop_set_name(s_->loop, "sonivel-pulse");
        if (pa_threaded_mainloop_start(s_->loop) < 0) {
            pa_threaded_mainloop_free(s_->loop);
            s_->loop = nullptr;
            return false;
        }
    }
    s_->Lock();
    if (s_->context && pa_context_get_state(s_->context) != PA_CONTEXT_READY) s_->DropContext();
    if (!s_->context) {
        pa_proplist* props = Properties(nullptr);
        s_->context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(s_->loop), "Sonivel", props);
        pa_proplist_free(props);
        if (s_->context) {
            s_->dead = false;
            if (pa_context_connect(s_->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) s_->DropContext();
        }
        if (s_->context) {
            pa_context* c = s_->context;
            const bool settled = s_->WaitFor([c] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(c)) ||
                                                          pa_context_get_state(c) == PA_CONTEXT_READY; },
                                             ms);
            if (!settled || pa_context_get_state(c) != PA_CONTEXT_READY) s_->DropContext();
            else pa_context_set_state_callback(c, &State::OnContextState, s_.get());
        }
    }
    const bool ready = s_->context != nullptr;
    s_->Unlock();
    return ready;
}

bool PulseDevice::GetCaps(WaveOutCaps& caps) {
    // The server converts whatever it is given to what the sink takes.
    caps.wChannels = 2;
    caps.dwFormats = WAVE_FORMAT_ALL;
    return true;
}

bool PulseDevice::Open(const WAVEFORMATEX& format) {
    const pa_sample_format_t sample = PulseFormat(format);
    if (sample == PA_SAMPLE_INVALID || (format.nChannels != 1 && format.nChannels != 2) || format.nSamplesPerSec == 0)
        return false;
    if (s_->stream || !Connect(1000)) return false;
    State& s = *s_;
    s.Lock();
    s.spec = pa_sample_spec{sample, format.nSamplesPerSec, static_cast<std::uint8_t>(format.nChannels)};
    s.halveBytes = format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && format.wBitsPerSample == 64;
    s.dead = false;
    s.corked = true;
    s.ending = false;
    s.writeIndex = 0;
    s.lastReported = 0;
    pa_proplist* props = Properties(s.title.c_str());
    s.stream = pa_stream_new_with_proplist(s.context, s.title.c_str(), &s.spec, nullptr, props);
    pa_proplist_free(props);
    bool ok = s.stream != nullptr;
    if (ok) {
        pa_stream_set_write_callback(s.stream, &State::OnWritable, &s);
        pa_stream_set_state_callback(s.stream, &State::OnStreamState, &s);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetLatencyUs, &s.spec));
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING |
                                                          PA_STREAM_AUTO_TIMING_UPDATE);
        ok = pa_stream_connect_playback(s.stream, nullptr, &attr, flags, nullptr, nullptr) == 0;
        pa_stream* st = s.stream;
        ok = ok && s.WaitFor([st] { return pa_stream_get_state(st) != PA_STREAM_CREATING; }, 2000) &&
             pa_stream_get_state(st) == PA_STREAM_READY;
    }
    if (!ok) s.DropStream();
    s.Unlock();
    return ok;
}

bool PulseDevice::Prepare(WaveHeader& header) { return s_->stream != nullptr && header.data != nullptr; }

bool PulseDevice::Unprepare(WaveHeader& header) {
    if (!s_->loop) return true;
    s_->Lock();
    s_->pending.erase(&header);
    s_->Unlock();
    return true;
}

bool PulseDevice::Write(WaveHeader& header) {
    if (!s_->stream) return false;
    State& s = *s_;
    s.Lock();
    const bool ok = !s.dead;
    if (ok) {
        s.queue.push_back(State::Queued{&header, header.data, header.length, 0});
        s.pending[&header] = INT64_MAX;  // not all of it handed over yet
        s.Feed(pa_stream_writable_size(s.stream));
    }
    s.Unlock();
    return ok;
}

bool PulseDevice::IsDone(const WaveHeader& header) {
    if (!s_->loop) return true;
    s_->Lock();
    const bool done = s_->pending.find(&header) == s_->pending.end();
    s_->Unlock();
    return done;
}

void PulseDevice::SetDoneSignal(std::function<void()> signal) {
    if (s_->loop) s_->Lock();
    s_->doneSignal = std::move(signal);
    if (s_->loop) s_->Unlock();
}

bool PulseDevice::GetPosition(std::uint32_t& bytes) {
    if (!s_->stream) return false;
    s_->Lock();
    std::int64_t played = s_->PlayedIndex() * (s_->halveBytes ? 2 : 1);
    s_->Unlock();
    // Counted in steps of 100 bytes, which every frame size divides.
    played -= played % 100;
    s_->lastReported = std::max(s_->lastReported, static_cast<std::uint32_t>(std::min<std::int64_t>(played, UINT32_MAX)));
    bytes = s_->lastReported;
    return true;
}

bool PulseDevice::Reset() {
    if (!s_->stream) return false;
    State& s = *s_;
    s.Lock();
    // Every block played (the end of a track): what the server still holds
    // is the track's last moment, heard to its end.
    // Otherwise (a stop, a seek) corked and flushed: the sink falls silent
    // now, not after what the server holds, and the write index stands at
    // the read index again.
    if (!s.dead && !s.corked && s.pending.empty() && s.queue.empty()) {
        s.Wait(pa_stream_drain(s.stream, nullptr, nullptr), 1000);
    } else if (!s.dead) {
        s.Wait(pa_stream_cork(s.stream, 1, nullptr, nullptr));
        s.Wait(pa_stream_flush(s.stream, nullptr, nullptr));
        s.Wait(pa_stream_update_timing_info(s.stream, nullptr, nullptr));
        const pa_timing_info* t = pa_stream_get_timing_info(s.stream);
        if (t && !t->write_index_corrupt) s.writeIndex = t->write_index;
    }
    s.corked = true;
    s.ending = false;
    s.queue.clear();
    const bool any = !s.pending.empty();
    s.pending.clear();
    const std::function<void()> signal = s.doneSignal;
    s.Unlock();
    if (any && signal) signal();
    return true;
}

bool PulseDevice::Close() {
    if (!s_->stream) return false;
    s_->Lock();
    s_->DropStream();
    s_->Unlock();
    return true;
}

void PulseDevice::EndOfSound() {
    if (!s_->stream) return;
    s_->Lock();
    s_->ending = true;
    // Already all with the server: the silence follows at once.
    if (s_->queue.empty() && !s_->dead && !s_->corked) s_->PadEnd();
    s_->Unlock();
}

void PulseDevice::NameStream(const std::string& title) {
    if (!s_->loop) {
        s_->title = title;
        return;
    }
    s_->Lock();
    s_->title = title;
    if (s_->stream && !s_->dead) {
        pa_proplist* p = pa_proplist_new();
        pa_proplist_sets(p, PA_PROP_MEDIA_NAME, title.c_str());
        if (pa_operation* op = pa_stream_proplist_update(s_->stream, PA_UPDATE_REPLACE, p, nullptr, nullptr))
            pa_operation_unref(op);
        pa_proplist_free(p);
    }
    s_->Unlock();
}

}  // namespace sonivel
