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

// The render thread's way into the window: every event and the quality
// question are carried out on the windows' thread, in the order the thread
// gives them. Events are posted, so a busy window never holds up the sound;
// the thread waits only for the person's answer, which travels in shared
// state so a call released by shutdown never writes into a stack the render
// thread has left.
class TMainForm::Host final : public sonivel::Host {
public:
    explicit Host(TMainForm& form) : form_(form) {}

    bool startupPhase = false;  // the window waits for the thread's start-up
    bool quitRequested = false;

    void Post(Event event) override {
        std::visit([this](auto& e) { Show(std::move(e)); }, event);
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

private:
    enum PostKey { kPositionReport = 1, kBarReport = 2 };
    // A report carries the serial of the last command the thread had taken
    // when it made the report; one made before the thread saw the window's
    // latest command is stale and not shown. Ten times a second while
    // playing: one wake of the windows' thread for the bar and the time
    // together, and none when neither would change. The user's hand on the
    // bar wins over the progress display.
    void Show(event::Position e) {
        const std::uint32_t seen = form_.player_.Channel().TakenSerial();
        std::string text = e.seconds ? FormatTime(*e.seconds) : std::string();
        if (e.seconds && !shown_.Changed(e.bar, text, seen)) return;
        if (!e.seconds) shown_.Forget();
        form_.calls_.Post(e.seconds ? kPositionReport : kBarReport, [this, bar = e.bar, text = std::move(text), seen] {
            if (!form_.player_.ReportIsCurrent(seen)) return;
            if (!form_.TrackBar2->isSliderDown()) form_.SetBarPosition(bar);
            if (!text.empty()) form_.Label2->setText(QString::fromStdString(text));
        });
    }
    void Show(event::TimeShown) {
        Calls().Post(0, [this] { form_.player_.SetTimeShown(true); });
    }
    void Show(event::Writing e) {
        Calls().Post(0, [this, on = e.on] { form_.Label3->setVisible(on); });
    }
    void Show(event::Playing e) {
        Calls().Post(0, [this, on = e.on] { form_.player_.SetPlaying(on); });
    }
    // The model changes, and the menus follow.
    void Show(event::Raised e) {
        Calls().Post(0, [this, s = e.shortfall] { form_.player_.Raise(s); });
    }
    void Show(event::Limited e) {
        Calls().Post(0, [this, limits = e.limits] { form_.player_.ApplyLimits(limits); });
    }
    // An error box (caption "Error", OK) in the language current when it is
    // shown; one about a file names it after the text, with why in words
    // (read here on the render thread, while the file is as it failed).
    void Show(event::Failed e) {
        const QString name = DecodeFileName(QByteArray::fromStdString(e.file));
        const QString reason = Q(RefusalReason(e.textId, e.file, CurrentLanguage().load()));
        Calls().Post(0, [this, textId = e.textId, name, reason] {
            const QString caption = ErrorBoxCaption(ErrorSource::Program);
            QString text = NamingFile(Q(Text(textId)), name);
            if (!reason.isEmpty()) text += "\n(" + reason + ")";
            // While the window waits for the thread's start-up, the box is
            // shown before the window.
            if (startupPhase) form_.deps_.services->Message(&form_, caption, text, UiServices::Icon::Error);
            else form_.deps_.services->MessageAsync(&form_, caption, text, UiServices::Icon::Error, [] {});
        });
    }
    void Show(event::Dropped e) {
        const QString file = DecodeFileName(QByteArray::fromStdString(e.file));
        Calls().Post(0, [this, file] { form_.player_.DropUnopenable(file); });
    }
    // The playlist went on: the entry becomes current, unless the person
    // acted since the thread took its last command.
    void Show(event::Advanced e) {
        if (e.to.empty()) return;
        const std::uint32_t seen = form_.player_.Channel().TakenSerial();
        const QString from = DecodeFileName(QByteArray::fromStdString(e.from));
        const QString to = DecodeFileName(QByteArray::fromStdString(e.to));
        Calls().Post(0, [this, from, to, joined = e.joined, seen] {
            form_.player_.TrackAdvanced(from, to, joined, seen);
        });
    }
    void Show(event::Quit) {
        Calls().Post(0, [this] {
            quitRequested = true;
            QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
        });
    }
    // What the playlist went past is said once, when the run ends: one box
    // with the files and why, the first ten of them and how many more.
    void Show(event::Skipped e) {
        const QString file = QDir::toNativeSeparators(DecodeFileName(QByteArray::fromStdString(e.file)));
        const std::string reason = RefusalReason(e.textId, e.file, CurrentLanguage().load());
        const QString why = Q(reason.empty() ? std::string(Text(e.textId)) : reason).replace('\n', ' ');
        Calls().Post(0, [this, file, why] { skipped_ << QFileInfo(file).fileName() + " (" + why + ")"; });
    }
    void Show(event::RunEnded) {
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

    // Every call but a position report: what the window shows may change
    // with it, so the next report is handed over whatever it holds.
    UiCallQueue& Calls() {
        shown_.Forget();
        return form_.calls_;
    }
    TMainForm& form_;
    QStringList skipped_;  // what the playlist went past this run; the windows' thread only
    ShownPosition shown_;  // render thread only
};

}  // namespace sonivel
