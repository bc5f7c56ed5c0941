#include "pulse_device.h"

#include <pulse/pulseaudio.h>

#include "pulse_state.h"

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
