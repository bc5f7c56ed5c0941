// Keyboard access for captions that carry no accelerator mark of their own.
// The interface texts give marks ("&File") to the menus but none to the
// buttons, so the buttons' marks are chosen here from the texts of the
// current language: one mechanism for both windows and both languages.
#pragma once

#include <QString>
#include <QStringList>

class QMenuBar;

namespace sonivel {

// Gives each caption one Alt+key mark that no earlier caption and no
// character of `reserved` has: the first letter of a word where it can, else
// any other ASCII letter or digit of the caption, else none. A caption that
// already carries a mark keeps it and reserves its key. Keys compare without
// letter case.
QStringList AddMnemonics(const QStringList& captions, const QString& reserved = {});

// The key a caption's mark gives (lower case), or a null character.
QChar MnemonicOf(const QString& caption);

// The caption as shown: marks removed, "&&" shown as "&".
QString StripMnemonics(const QString& caption);

// The keys the menu bar's own menus take.
QString MenuBarMnemonics(const QMenuBar* bar);

}  // namespace sonivel
