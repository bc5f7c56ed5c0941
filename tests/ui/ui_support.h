// Helpers for the window tests: answered boxes and dialogs, a device that
// counts its openings, and a main window wired as the program wires it.
#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "about.h"
#include "device.h"
#include "keyboard.h"
#include "mainform.h"
#include "playlist.h"
#include "registry.h"
#include "sdl_device.h"
#include "services.h"
#include "support/wave_builder.h"
#include "system_clock.h"
#include "texts.h"

namespace sonivel::test {

// Writes a wave file of noise into `folder` and returns its path.
inline QString WriteWave(const QString& folder, const QString& name, double seconds = 3,
                         const Format& f = {1, 1, 22050, 8}, std::uint32_t seed = 1) {
    const auto frames = static_cast<std::size_t>(seconds * f.rate);
    const Bytes bytes = MakeWave(f, NoiseSamples(f, frames, seed));
    QFile file(folder + "/" + name);
    file.open(QIODevice::WriteOnly);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return file.fileName();
}

// A button's caption as the user reads it, without its accelerator mark.
inline QString Shown(const QAbstractButton* button) { return StripMnemonics(button->text()); }

// A fresh start: English, and nothing in the settings store.
inline void ResetSettings() {
    CurrentLanguage().store(kEnglish);
    Registry store;
    store.Settings().clear();
    store.Sync();
}

class TestServices final : public UiServices {
public:
    QStringList messages;  // "caption|text" of every box shown
    QList<bool> answers;   // answers to questions, in order; Yes when none left
    QStringList files;     // what the file dialogs return, in order; cancel when none left
    QStringList dialogFolders;  // the folder each file dialog was opened in
    QStringList dialogTitles;

    QList<Icon> icons;     // the icon of every box, as messages
    void Message(QWidget*, const QString& caption, const QString& text, Icon icon) override {
        messages << caption + "|" + text;
        icons << icon;
    }
    void MessageAsync(QWidget*, const QString& caption, const QString& text, Icon icon,
                      std::function<void()> closed) override {
        messages << caption + "|" + text;
        icons << icon;
        closed();
    }
    bool Question(QWidget*, const QString& caption, const QString& text) override {
        messages << caption + "|" + text;
        icons << Icon::None;
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void QuestionAsync(QWidget* parent, const QString& caption, const QString& text,
                       std::function<void(bool)> answered) override {
        answered(Question(parent, caption, text));
    }
    QString OpenFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                     const QString& suffix) override {
        dialogTitles << title;
        dialogFolders << folder;
        if (realDialogs) return realDialogs->OpenFile(parent, title, folder, filter, suffix);
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString SaveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                     const QString& suffix) override {
        dialogTitles << title;
        dialogFolders << folder;
        if (realDialogs) return realDialogs->SaveFile(parent, title, folder, filter, suffix);
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    // When set, the file dialogs are the real ones.
    UiServices* realDialogs = nullptr;
};

// The SDL device (dummy driver in the tests), counting what it opens.
class CountingDevice final : public SoundDevice {
public:
    std::atomic<int> opens{0};
    std::atomic<std::uint32_t> lastRate{0};
    bool GetCaps(WaveOutCaps& caps) override { return real.GetCaps(caps); }
    bool Open(const WAVEFORMATEX& f) override {
        ++opens;
        lastRate = f.nSamplesPerSec;
        return real.Open(f);
    }
    bool Prepare(WaveHeader& h) override { return real.Prepare(h); }
    bool Unprepare(WaveHeader& h) override { return real.Unprepare(h); }
    bool Write(WaveHeader& h) override { return real.Write(h); }
    bool IsDone(const WaveHeader& h) override { return real.IsDone(h); }
    void SetDoneSignal(std::function<void()> s) override { real.SetDoneSignal(std::move(s)); }
    bool GetPosition(std::uint32_t& b) override { return real.GetPosition(b); }
    bool Reset() override { return real.Reset(); }
    bool Close() override { return real.Close(); }
    SdlDevice real;
};

// A main window with its editor and about box, as the program makes them.
struct Program {
    TestServices services;
    CountingDevice device;
    SystemClock clock;
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TAboutBox> about;
    std::unique_ptr<TPlaylistForm> playlist;
    bool created = false;

    // `otherDevice`, when given, plays instead of the counting SDL device.
    explicit Program(QStringList arguments = {}, QString programFolder = {}, QList<bool> answers = {},
                     SoundDevice* otherDevice = nullptr) {
        services.answers = answers;
        MainFormDeps deps;
        deps.services = &services;
        deps.device = otherDevice ? otherDevice : &device;
        deps.clock = &clock;
        deps.programFolder = programFolder;
        deps.handoffWaitMs = 20;
        main = std::make_unique<TMainForm>(deps, arguments);
        created = main->FormCreate();
        if (!created) return;
        about = std::make_unique<TAboutBox>(main.get());
        playlist = std::make_unique<TPlaylistForm>(main->Player(), services, main.get());
        main->SetWindows(about.get(), playlist.get());
        main->show();
    }
    ~Program() {
        playlist.reset();
        about.reset();
        main.reset();
    }
};

}  // namespace sonivel::test
