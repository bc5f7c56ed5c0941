// The boxes and dialogs the windows show, behind one small interface so the
// tests can answer them. Captions and texts arrive already looked up in the
// current language.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QWidget>
#include <functional>
#include <string_view>

namespace sonivel {

// A text of the program's tables (UTF-8) as the windows show it.
inline QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

class UiServices {
public:
    virtual ~UiServices() = default;

    // Error: the stop sign; Warning: the exclamation mark.
    enum class Icon { None, Error, Warning };
    // A box with an OK button, shown modally; returns when closed.
    virtual void Message(QWidget* parent, const QString& caption, const QString& text, Icon icon) = 0;
    // A box that does not block the windows: `closed` runs when the user
    // closed it. Used for the render thread's messages.
    virtual void MessageAsync(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                              std::function<void()> closed) = 0;
    // Yes and No, no icon; true for Yes.
    virtual bool Question(QWidget* parent, const QString& caption, const QString& text) = 0;
    virtual void QuestionAsync(QWidget* parent, const QString& caption, const QString& text,
                               std::function<void(bool yes)> answered) = 0;
    // File dialogs; an empty result means cancelled. An empty title leaves
    // the dialog's own ("Open", "Save As"); the default suffix is added to
    // a name typed without one.
    virtual QString OpenFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                             const QString& defaultSuffix) = 0;
    virtual QString SaveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                             const QString& defaultSuffix) = 0;
};

// The one caption rule of error boxes: an error the program reports itself
// is captioned "Error" ("Erreur") in the current language; an error of the
// file or settings layer is shown as the framework shows its exceptions,
// captioned with the program's title, "Sonivel".
enum class ErrorSource { Program, Framework };
QString ErrorBoxCaption(ErrorSource source);

// A file dialog set up as the program's dialogs are: existing files only
// when opening, a question before overwriting when saving, and a size that
// shows a whole row of the detail view at the desktop's font.
// A message about a file: the text as it stands, then the file on a line of
// its own: the whole path where it is short, else its name and, on the next
// line, its folder. Unchanged when `file` is empty.
QString NamingFile(const QString& text, const QString& file);

// The folder a file dialog opens on: the first of `candidates` that is a
// folder (a name ending in a file stands for the folder it is in), else the
// home folder. Never nothing: a dialog given no folder shows the list of
// drives.
QString StartFolder(const QStringList& candidates);

struct FileDialogSpec {
    bool save = false;
    QString title, folder, filter, defaultSuffix;
};
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogSpec& spec);

// The real boxes and dialogs.
class QtUiServices final : public UiServices {
public:
    void Message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    void MessageAsync(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                      std::function<void()> closed) override;
    bool Question(QWidget* parent, const QString& caption, const QString& text) override;
    void QuestionAsync(QWidget* parent, const QString& caption, const QString& text,
                       std::function<void(bool yes)> answered) override;
    QString OpenFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                     const QString& defaultSuffix) override;
    QString SaveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                     const QString& defaultSuffix) override;
};

}  // namespace sonivel
