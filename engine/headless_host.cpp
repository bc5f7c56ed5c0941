#include "headless_host.h"

#include "texts.h"

#include <chrono>

namespace sonivel {

HeadlessHost::HeadlessHost(ConversionRun run, std::ostream& messages,
                           std::function<void(int, int)> progress)
    : run_(std::move(run)), messages_(messages), progress_(std::move(progress)) {}

void HeadlessHost::WaitForRunEnd() {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [this] { return runEnded_; });
}

bool HeadlessHost::WaitForRunEndFor(int ms) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return runEnded_; });
}

std::vector<int> HeadlessHost::Messages() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

bool HeadlessHost::Failed() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

OutputChoice HeadlessHost::ReadOutputChoice() {
    std::lock_guard lock(mutex_);
    return run_.choice;
}

void HeadlessHost::RaiseOutputChoice(const QualityShortfall& shortfall) {
    std::lock_guard lock(mutex_);
    run_.choice = RaiseOutput(run_.choice, shortfall);
}

void HeadlessHost::SetSeekBarPosition(int position) {
    if (progress_) progress_(position, kSeekBarMax);
}

void HeadlessHost::RunEnded() {
    {
        std::lock_guard lock(mutex_);
        runEnded_ = true;
    }
    ended_.notify_all();
}

void HeadlessHost::Print(int textId) {
    const int language = CurrentLanguage().load();
    std::string text(Text(textId, language));
    for (char& c : text)
        if (c == '\n') c = ' ';
    messages_ << ErrorCaption(language) << ": " << text << std::endl;
    std::lock_guard lock(mutex_);
    shown_.push_back(textId);
}

void HeadlessHost::ShowError(int textId) {
    Print(textId);
    std::lock_guard lock(mutex_);
    failed_ = true;
}

bool HeadlessHost::AskRaiseQuality() {
    if (run_.raiseIfBelow) return true;
    Print(kTextQualityTooLow);
    std::lock_guard lock(mutex_);
    failed_ = true;
    return false;
}

void HeadlessHost::QuitProgram() {
    {
        std::lock_guard lock(mutex_);
        failed_ = true;
        runEnded_ = true;
    }
    ended_.notify_all();
}

}  // namespace sonivel
