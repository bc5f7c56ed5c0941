#include "engine_fakes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <strings.h>

#include "position.h"

namespace sonivel::test {

int OpenDescriptors() {
#ifdef _WIN32
    // Windows has no such count (under Wine, /proc shows Wine's own
    // descriptors, which come and go): every count is the same there.
    return 0;
#else
    int count = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++count;
        closedir(d);
    }
    return count;
#endif
}

void FakeClock::RunDue() {
    while (!timed_.empty() && timed_.begin()->first <= now) {
        auto action = std::move(timed_.begin()->second);
        timed_.erase(timed_.begin());
        action();
    }
}

void FakeClock::Sleep(std::uint32_t ms) {
    now += ms;
    RunDue();
}

// Sleeps like the real thing: scheduled actions run at their times, and the
// wait ends at the first one that wakes the channel (a command, a block the
// device finishes), or after maxMs.
void FakeClock::WaitForWake(CommandChannel& channel, std::uint32_t seen, std::uint32_t maxMs) {
    const std::uint32_t until = now + maxMs;
    while (channel.WakeCount() == seen) {
        if (timed_.empty() || timed_.begin()->first > until) {
            now = until;
            RunDue();
            return;
        }
        now = std::max(now, timed_.begin()->first);
        RunDue();
    }
}

void FakeClock::WaitForCommand(CommandChannel& channel) {
    ++idleWaits;
    if (!idle_.empty()) {
        now += 10;
        auto action = std::move(idle_.front());
        idle_.pop_front();
        action();
        return;
    }
    if (!timed_.empty()) {
        // Sleeps until the next scheduled action.
        now = std::max(now, timed_.begin()->first);
        RunDue();
        return;
    }
    channel.RequestStop();
}

std::vector<std::uint8_t> FakeDevice::AllQueuedBytes() const {
    std::vector<std::uint8_t> all;
    for (const Queued& q : queued) all.insert(all.end(), q.bytes.begin(), q.bytes.end());
    return all;
}

bool FakeDevice::GetCaps(WaveOutCaps& c) {
    calls.push_back("GetCaps");
    c = caps;
    return capsOk;
}

bool FakeDevice::Open(const WAVEFORMATEX& format) {
    calls.push_back("Open");
    if (!openOk || isOpen) return false;
    isOpen = true;
    format_ = format;
    opened.push_back(format);
    runStart_ = queued.size();
    prepares_ = 0;
    return true;
}

bool FakeDevice::Prepare(WaveHeader& header) {
    calls.push_back("Prepare");
    ++prepares_;
    return isOpen && header.data && prepares_ != failPrepareOn;
}

bool FakeDevice::Unprepare(WaveHeader&) {
    calls.push_back("Unprepare");
    return isOpen;
}

bool FakeDevice::Write(WaveHeader& header) {
    calls.push_back("Write");
    if (!isOpen) return false;
    CheckBuffersUntouched();
    const double rate = format_.nAvgBytesPerSec;
    double start = clock_.now;
    if (queued.size() > runStart_) start = std::max(start, queued.back().end);
    const double end = start + header.length * 1000.0 / rate;
    queued.push_back(Queued{clock_.now, start, end,
                            std::vector<std::uint8_t>(header.data, header.data + header.length), &header});
    // The done signal, at the first tick at which IsDone says so.
    if (!stall) {
        clock_.At(static_cast<std::uint32_t>(std::ceil(end)), [this] {
            if (signal_) signal_();
        });
    }
    return true;
}

// A buffer the device still plays must not be written into.
void FakeDevice::CheckBuffersUntouched() {
    for (std::size_t i = runStart_; i < queued.size(); ++i) {
        const Queued& q = queued[i];
        if (q.header == nullptr || q.end <= clock_.now) continue;
        if (std::memcmp(q.header->data, q.bytes.data(), q.bytes.size()) != 0) ++overwrittenWhilePlaying;
    }
}

bool FakeDevice::IsDone(const WaveHeader& header) {
    CheckBuffersUntouched();
    if (stall) return false;
    for (std::size_t i = queued.size(); i-- > runStart_;)
        if (queued[i].header == &header) return queued[i].end <= clock_.now;
    return true;
}

bool FakeDevice::GetPosition(std::uint32_t& bytes) {
    ++positionLooks;
    if (!isOpen) return false;
    double played = 0;
    for (std::size_t i = runStart_; i < queued.size(); ++i) {
        const Queued& q = queued[i];
        const double t = std::clamp(static_cast<double>(clock_.now), q.start, stall ? q.start : q.end);
        played += (t - q.start) * format_.nAvgBytesPerSec / 1000.0;
    }
    // In steps of 100 bytes, like the real device.
    auto b = static_cast<std::uint32_t>(played);
    bytes = b - b % 100;
    return true;
}

bool FakeDevice::Reset() {
    calls.push_back("Reset");
    // Whatever was still queued stops now.
    for (std::size_t i = runStart_; i < queued.size(); ++i) {
        queued[i].end = std::min(queued[i].end, static_cast<double>(clock_.now));
        queued[i].header = nullptr;
    }
    return isOpen;
}

bool FakeDevice::Close() {
    calls.push_back("Close");
    const bool was = isOpen;
    isOpen = false;
    for (std::size_t i = runStart_; i < queued.size(); ++i) queued[i].header = nullptr;
    return was;
}

void TestHost::Record(const std::string& event) {
    events.push_back(event);
    if (onEvent) onEvent(event);
}

bool TestHost::Saw(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
}

std::size_t TestHost::Count(const std::string& event) const {
    return static_cast<std::size_t>(std::count(events.begin(), events.end(), event));
}

RunSetup TestHost::SetupNow(bool withPosition) const {
    RunSetup setup;
    setup.file = currentFile;
    setup.saveTarget = saveTarget;
    setup.choice = choice;
    setup.position = withPosition ? seekPosition : 0;
    setup.barMax = 1000;
    setup.playOnSave = playOnSave;
    setup.listed = listed;
    return setup;
}

void TestHost::Post(Event event) {
    PublishPlan();
    std::visit([this](const auto& e) { Show(e); }, event);
}

void TestHost::Show(const event::Raised& e) {
    Record("Raise");
    choice = RaiseOutput(choice, e.shortfall);
}

void TestHost::Show(const event::Limited& e) {
    const DeviceLimits& limits = e.limits;
    Record(std::string("Limits") + (limits.monoOnly ? " mono" : "") +
                     (limits.no16Bits ? " 8bit" : "") + (limits.no44100Hz ? " 22050" : ""));
    if (limits.monoOnly) choice.stereo = false;
    if (limits.no16Bits) choice.bits16 = false;
    if (limits.no44100Hz) choice.rate44100 = false;
}

void TestHost::Show(const event::Position& e) {
    seekPosition = e.bar;
    if (e.bar == 0) Record("Bar0");
    if (onBar) onBar(e.bar);
    if (e.seconds) {
        ++positionReports;
        lastTimes.push_back(FormatTime(*e.seconds));
    }
}

void TestHost::Show(const event::Writing& e) { Record(e.on ? "Writing" : "WritingHidden"); }

void TestHost::Show(const event::Playing& e) {
    shownPlaying_ = e.on;
    Record(e.on ? "Stop" : "Play");
}

void TestHost::Show(const event::Failed& e) {
    errors.push_back(e.textId);
    Record("Error " + std::to_string(e.textId));
}

bool TestHost::AskRaiseQuality() {
    ++questions;
    Record("Question");
    return answerYes;
}

namespace {
int Find(const std::vector<std::string>& list, const std::string& name, bool ignoreCase) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (ignoreCase ? strcasecmp(list[i].c_str(), name.c_str()) == 0 : list[i] == name)
            return static_cast<int>(i);
    return -1;
}
}  // namespace

CommandRequest TestHost::StepCommand(bool next) {
    Record(next ? "StepNext" : "StepPrevious");
    if (!playlist.empty()) {
        const int count = static_cast<int>(playlist.size());
        const int at = Find(playlist, currentFile, true);
        const int chosen = next ? ((at < 0 || at == count - 1) ? 0 : at + 1) : ((at <= 0) ? count - 1 : at - 1);
        currentFile = playlist[static_cast<std::size_t>(chosen)];
        seekPosition = 0;
    }
    CommandRequest r = CommandRequest::Step(next, shownPlaying_);
    r.setup = SetupNow();
    return r;
}

void TestHost::PublishPlan() {
    if (!channel) return;
    FollowPlan plan;
    plan.entries = playlist;
    plan.autoRepeat = autoRepeat;
    plan.setup = SetupNow(false);
    channel->PublishPlan(std::move(plan));
}

// Made current as the window makes it: only while the track that ended is.
// "Advance" is a track's end (nothing may follow), "AdvanceTo" a join.
void TestHost::Show(const event::Advanced& e) {
    Record(e.joined ? "AdvanceTo " + e.to : "Advance");
    if (e.to.empty() || e.from != currentFile) return;
    currentFile = e.to;
    seekPosition = 0;
}

void TestHost::Show(const event::Skipped& e) {
    Record("Skip " + std::to_string(e.textId) + " " + e.file);
}

void TestHost::Show(const event::Dropped& e) {
    Record("Drop " + e.file);
    const int at = Find(playlist, e.file, true);
    if (at >= 0) playlist.erase(playlist.begin() + at);
    PublishPlan();
}

}  // namespace sonivel::test
