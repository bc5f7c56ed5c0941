#include "keyboard.h"

#include <QAction>
#include <QMenuBar>

namespace sonivel {

QChar MnemonicOf(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;  // a literal ampersand
            continue;
        }
        // A mark is an ampersand before a letter or digit; others are shown.
        if (caption[i + 1].isLetterOrNumber()) return caption[i + 1].toLower();
    }
    return {};
}

QString StripMnemonics(const QString& caption) {
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

QStringList AddMnemonics(const QStringList& captions, const QString& reserved) {
    QString taken = reserved.toLower();
    for (const QString& caption : captions)
        if (const QChar key = MnemonicOf(caption); !key.isNull()) taken += key;

    const auto usable = [&taken](QChar c) {
        return c.unicode() < 128 && c.isLetterOrNumber() && !taken.contains(c.toLower());
    };
    QStringList marked;
    marked.reserve(captions.size());
    for (const QString& caption : captions) {
        if (!MnemonicOf(caption).isNull()) {
            marked << caption;
            continue;
        }
        qsizetype pick = -1;
        for (qsizetype i = 0; i < caption.size() && pick < 0; ++i) {
            const bool wordStart = i == 0 || !caption[i - 1].isLetterOrNumber();
            if (wordStart && usable(caption[i])) pick = i;
        }
        for (qsizetype i = 0; i < caption.size() && pick < 0; ++i)
            if (usable(caption[i])) pick = i;
        // Literal ampersands are doubled so they stay visible.
        QString text = caption;
        text.replace("&", "&&");
        if (pick >= 0) {
            taken += caption[pick].toLower();
            text.insert(pick + caption.left(pick).count('&'), '&');
        }
        marked << text;
    }
    return marked;
}

QString MenuBarMnemonics(const QMenuBar* bar) {
    QString keys;
    for (const QAction* action : bar->actions())
        if (const QChar key = MnemonicOf(action->text()); !key.isNull()) keys += key;
    return keys;
}

}  // namespace sonivel
