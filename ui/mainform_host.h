// TMainForm::Host: the render thread's way into the window. Private to the
// main window's files.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <memory>

#include "file_names.h"
#include "host.h"
#include "mainform.h"
#include "playlist.h"
#include "position.h"
#include "refusal.h"
#include "services.h"
#include "texts.h"

namespace sonivel {

// The render thread's way into the window: every call runs on the windows'
// thread, in the order the thread makes them. The thread waits for the calls
// whose answer it needs; what only shows something is posted, so a busy
// window never holds up the sound. Results travel in shared state so a call
// released by shutdown never writes into a stack the render thread has left.
class TMainForm::Host final : public sonivel::Host {
public:
    explicit Host(TMainForm& form) : form_(form) {}

    bool startupPhase = false;  // the window waits for the thread's start-up
    bool quitRequested = false;

    std::string CurrentFileName() override {
        return Get<std::string>([this] { return FileNameBytes(form_.model_.CurrentFile()); });
    }
    std::string SaveTargetName() override {
        return Get<std::string>([this] { return FileNameBytes(form_.model_.SaveTarget()); });
    }
    OutputChoice ReadOutputChoice() override {
        return Get<OutputChoice>([this] { return form_.model_.Output(); });
    }
    bool PlayOnSaveChecked() override {
        return Get<bool>([this] { return form_.model_.PlayOnSave(); });
    }
    // The model changes, and the menus follow it.
    void RaiseOutputChoice(const QualityShortfall& s) override {
        Calls().CallSync([this, s] {
            form_.model_.Raise(s);
            form_.ShowOutput();
        });
    }
    void ApplyDeviceLimits(const DeviceLimits& limits) override {
        Calls().CallSync([this, limits] {
            form_.model_.ApplyLimits(limits);
            form_.ShowOutput();
        });
    }
    // One round trip for what a run is set up with, where its command did
    // not bring it: the model as it is now.
    RunSetup ReadRunSetup(bool withPosition) override {
        return Get<RunSetup>([this, withPosition] {
            RunSetup setup = form_.model_.SetupNow();
            if (!withPosition) setup.position = 0;
            return setup;
        });
    }
    int SeekBarPosition() override {
        return Get<int>([this] { return form_.model_.BarPosition(); });
    }
    int SeekBarMax() override { return form_.model_.BarMax(); }
    // A report carries the serial of the last command the thread had taken
    // when it made the report; one made before the thread saw the window's
    // latest command is stale and not shown.
    void SetSeekBarPosition(int position) override {
        const std::uint32_t seen = form_.tag_.TakenSerial();
        Calls().Post(kBarReport, [this, position, seen] {
            // The user's hand on the bar wins over the progress display.
            if (form_.ReportIsCurrent(seen) && !form_.TrackBar2->isSliderDown()) form_.SetBarPosition(position);
        });
    }
    void ShowTime(double seconds) override {
        const std::uint32_t seen = form_.tag_.TakenSerial();
        Calls().Post(kTimeReport, [this, seconds, seen] {
            if (form_.ReportIsCurrent(seen)) form_.Label2->setText(QString::fromStdString(FormatTime(seconds)));
        });
    }
    // Ten times a second while playing: one wake of the windows' thread for
    // the bar and the time together, and none when neither would change.
    void ShowPosition(int position, double seconds) override {
        const std::uint32_t seen = form_.tag_.TakenSerial();
        std::string text = FormatTime(seconds);
        if (!shown_.Changed(position, text, seen)) return;
        form_.calls_.Post(kPositionReport, [this, position, text = std::move(text), seen] {
            if (!form_.ReportIsCurrent(seen)) return;
            if (!form_.TrackBar2->isSliderDown()) form_.SetBarPosition(position);
            form_.Label2->setText(QString::fromStdString(text));
        });
    }
    void ShowTimeLabels() override {
        Calls().Post(0, [this] { TimeLabelsShown(); });
    }
    void SetWritingLabelVisible(bool visible) override {
        Calls().Post(0, [this, visible] { form_.Label3->setVisible(visible); });
    }
    void SetPlaying(bool playing) override {
        Calls().Post(0, [this, playing] { form_.SetPlayingLook(playing); });
    }
    void ShowError(int textId) override { ShowFileError(textId, {}); }
    void ShowFileError(int textId, const std::string& file) override {
        const QString name = DecodeFileName(QByteArray::fromStdString(file));
        // Why, in words, read here on the render thread.
        const QString reason = Q(RefusalReason(textId, file, CurrentLanguage().load()));
        Calls().Call([this, textId, name, reason](UiCallQueue::Done done) {
            const QString caption = ErrorBoxCaption(ErrorSource::Program);
            QString text = NamingFile(Q(Text(textId)), name);
            if (!reason.isEmpty()) text += "\n(" + reason + ")";
            if (startupPhase) {
                form_.deps_.services->Message(&form_, caption, text, UiServices::Icon::Error);
                done();
            } else {
                form_.deps_.services->MessageAsync(&form_, caption, text, UiServices::Icon::Error, done);
            }
        });
    }
    bool AskRaiseQuality() override {
        auto yes = std::make_shared<bool>(false);
        Calls().Call([this, yes](UiCallQueue::Done done) {
            const QString caption = ErrorBoxCaption(ErrorSource::Program);
            form_.deps_.services->QuestionAsync(&form_, caption, Q(Text(kTextQualityTooLow)),
                                                [yes, done](bool answer) {
                                                    *yes = answer;
                                                    done();
                                                });
        });
        return *yes;
    }
    void StepTrack(bool next, const std::string& from) override {
        const QString origin = DecodeFileName(QByteArray::fromStdString(from));
        Calls().CallSync([this, next, origin] {
            if (form_.playlist_) form_.playlist_->StepTrack(next, origin);
        });
    }
    bool AdvanceAfterTrack() override {
        return Get<bool>([this] { return form_.playlist_ && form_.playlist_->AdvanceAfterTrack(); });
    }
    std::string PeekNextTrack(const std::string& after) override {
        const QString file = DecodeFileName(QByteArray::fromStdString(after));
        return Get<std::string>([this, file] {
            return form_.playlist_ ? FileNameBytes(form_.playlist_->NextAfterTrack(file)) : std::string();
        });
    }
    bool AdvanceToTrack(const std::string& expected) override {
        const QString file = DecodeFileName(QByteArray::fromStdString(expected));
        return Get<bool>([this, file] {
            // Decided here, in turn with the window's handlers: a command sent
            // before the change is for the track the window still shows.
            const std::int32_t pending = form_.Tag().Load();
            if (pending == kCmdPlayStop || pending == kCmdRestart || pending == kCmdNextTrack ||
                pending == kCmdPreviousTrack)
                return false;
            if (!form_.playlist_ || !form_.playlist_->AdvanceAfterTrackTo(file)) return false;
            // The track plays on: its time shows in the same step as its
            // name, not a moment later (the thread's ShowTimeLabels that
            // follows finds it shown).
            TimeLabelsShown();
            return true;
        });
    }
    // What the playlist went past is said once, when the run ends: one box
    // with the files and why, the first ten of them and how many more.
    void SkipTrack(const std::string& name, int textId) override {
        const QString file = QDir::toNativeSeparators(DecodeFileName(QByteArray::fromStdString(name)));
        const std::string reason = RefusalReason(textId, name, CurrentLanguage().load());
        const QString why = Q(reason.empty() ? std::string(Text(textId)) : reason).replace('\n', ' ');
        Calls().Post(0, [this, file, why] { skipped_ << QFileInfo(file).fileName() + " (" + why + ")"; });
    }
    void RunEnded() override {
        Calls().Post(0, [this] {
            if (skipped_.isEmpty()) return;
            constexpr int kShown = 10;
            const int language = CurrentLanguage().load();
            QString text = Q(Text(kTextSkippedFiles, language)) + "\n\n" + skipped_.mid(0, kShown).join('\n');
            if (skipped_.size() > kShown)
                text += "\n" + Q(FormatText(kTextAndMore, {std::to_string(skipped_.size() - kShown)}, language));
            skipped_.clear();
            form_.deps_.services->MessageAsync(&form_, ErrorBoxCaption(ErrorSource::Program), text,
                                               UiServices::Icon::Warning, [] {});
        });
    }
    void DropUnopenableFile(const std::string& name) override {
        const QString file = DecodeFileName(QByteArray::fromStdString(name));
        Calls().CallSync([this, file] {
            if (form_.playlist_) form_.playlist_->DropUnopenableFile(file);
        });
    }
    void QuitProgram() override {
        Calls().CallSync([this] {
            quitRequested = true;
            QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
        });
    }

private:
    enum PostKey { kBarReport = 1, kTimeReport = 2, kPositionReport = 3 };
    // Every call but a position report: what the window shows may change
    // with it, so the next report is handed over whatever it holds.
    UiCallQueue& Calls() {
        shown_.Forget();
        return form_.calls_;
    }
    template <class T, class F>
    T Get(F read) {
        auto result = std::make_shared<T>();
        Calls().CallSync([result, read] { *result = read(); });
        return *result;
    }
    // Makes the time value visible, then the "Time:" label.
    void TimeLabelsShown() { form_.ShowTimeLabels(true); }
    TMainForm& form_;
    QStringList skipped_;  // what the playlist went past this run; the windows' thread only
    ShownPosition shown_;  // render thread only
};

}  // namespace sonivel
