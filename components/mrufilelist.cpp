#include "mrufilelist.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMetaMethod>
#include <QSettings>

#include "file_names.h"
#include "registry.h"

namespace sonivel {

TMRUFileList::TMRUFileList(QObject* parent) : QObject(parent) {}

TMRUFileList::~TMRUFileList() {
    if (AutoSave) Save();
    RemoveMenuItems();
}

void TMRUFileList::SetMaximum(int maximum) {
    const bool lower = maximum < maximum_;
    maximum_ = std::clamp(maximum, 0, 255);
    if (lower) {
        Trim();
        PopulateMenu();
    }
}

void TMRUFileList::SetUseSubmenu(bool on) {
    useSubmenu_ = on;
    PopulateMenu();
}

void TMRUFileList::SetInsertSeparator(bool on) {
    insertSeparator_ = on;
    PopulateMenu();
}

void TMRUFileList::SetSubmenuName(const QString& name) {
    submenuName_ = name;
    if (useSubmenu_) PopulateMenu();
}

void TMRUFileList::SetMaxCaptionWidth(int pixels) {
    maxCaptionWidth_ = pixels;
    PopulateMenu();
}

void TMRUFileList::SetFileMenu(QAction* placeholder) {
    RemoveMenuItems();
    fileMenu_ = placeholder;
    PopulateMenu();
}

void TMRUFileList::SetPopupMenu(QMenu* menu) {
    RemoveMenuItems();
    popupMenu_ = menu;
    PopulateMenu();
}

void TMRUFileList::SetAutoSaveName(const QString& name) {
    QString n = name;
    if (UseRegistry && !n.isEmpty()) {
        if (!n.startsWith('\\')) n.prepend('\\');
        if (!n.endsWith('\\')) n.append('\\');
    }
    if (n == autoSaveName_) return;
    autoSaveName_ = n;
    if (AutoSave) {
        ClearAllItems();
        Load();
    }
}

void TMRUFileList::SetAutoSaveKey(const QString& key) {
    if (key == autoSaveKey_) return;
    autoSaveKey_ = key;
    if (AutoSave) {
        ClearAllItems();
        Load();
    }
}

void TMRUFileList::Trim() {
    while (items_.size() > maximum_) {
        if (AddToTop) items_.removeLast();
        else items_.removeFirst();
    }
}

void TMRUFileList::AddItem(const QString& fileName) {
    int found = -1;
    for (int i = 0; i < items_.size(); ++i)
        if (SameFileName(items_[i], fileName)) {
            found = i;
            break;
        }
    if (found >= 0) {
        // The stored letter case stays.
        items_.move(found, AddToTop ? 0 : items_.size() - 1);
    } else {
        if (AddToTop) items_.prepend(fileName);
        else items_.append(fileName);
        Trim();
    }
    PopulateMenu();
}

void TMRUFileList::RemoveMenuItems() {
    for (const QPointer<QAction>& a : created_)
        if (a) delete a.data();
    created_.clear();
}

QString ElidePath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width) return path;
    const QChar ellipsis(0x2026);
    const QChar sep = path.contains('\\') && !path.contains('/') ? QChar('\\') : QChar('/');
    const QStringList parts = path.split(sep);
    // The head stays: the root with the first folder ("/home"), or a drive ("C:").
    const qsizetype headParts = parts.front().isEmpty() ? 2 : 1;
    // Drop folders after the head from the left until the rest fits.
    for (qsizetype first = headParts + 1; first < parts.size(); ++first) {
        const QString candidate = parts.mid(0, headParts).join(sep) + sep + ellipsis + sep + parts.mid(first).join(sep);
        if (metrics.horizontalAdvance(candidate) <= width) return candidate;
    }
    const QString bare = QString(ellipsis) + sep + parts.back();
    if (parts.size() > 1 && metrics.horizontalAdvance(bare) <= width) return bare;
    return metrics.elidedText(parts.back(), Qt::ElideMiddle, width);
}

QString TMRUFileList::Caption(int index, const QFont& font) const {
    QString name = items_[index];
    if (maxCaptionWidth_ > 0) name = ElidePath(name, QFontMetrics(font), maxCaptionWidth_);
    name.replace("&", "&&");  // a file name's & is not an accelerator
    return "&" + QString::number(index + 1) + " " + name;
}

QAction* TMRUFileList::MakeItem(int k, QObject* owner) {
    auto* a = new QAction(Caption(k, QApplication::font("QMenu")), owner);
    a->setObjectName(QString("MRUItem%1").arg(k + 1));
    a->setData(k + 1);
    connect(a, &QAction::triggered, this, [this, k] { ItemClicked(k + 1); });
    created_.append(a);
    return a;
}

namespace {
void InsertBefore(QMenu* into, QAction* a, QAction* at) {
    if (at) into->insertAction(at, a);
    else into->addAction(a);
}
}  // namespace

QAction* TMRUFileList::MakeSeparator(QMenu* container) {
    auto* sep = new QAction(container);
    sep->setSeparator(true);
    created_.append(sep);
    return sep;
}

void TMRUFileList::PopulateMenu() {
    if (!fileMenu_ && !popupMenu_) return;
    RemoveMenuItems();
    if (items_.isEmpty()) return;
    if (fileMenu_) PopulateFileMenu();
    if (popupMenu_) {
        const QList<QAction*> existing = popupMenu_->actions();
        QAction* first = existing.isEmpty() ? nullptr : existing.front();
        for (int k = 0; k < items_.size(); ++k) InsertBefore(popupMenu_, MakeItem(k, popupMenu_), first);
    }
}

// The items go before the placeholder action in its menu (or into the
// placeholder's own submenu), with their separators, submenu and commands.
void TMRUFileList::PopulateFileMenu() {
    QMenu* container = fileMenu_->menu();
    QAction* before = nullptr;
    if (!container) {
        for (QObject* o : fileMenu_->associatedObjects())
            if (auto* m = qobject_cast<QMenu*>(o)) container = m;
        before = fileMenu_;
    }
    if (!container) return;
    if (insertSeparator_) InsertBefore(container, MakeSeparator(container), before);
    QMenu* target = container;
    QAction* at = before;
    if (useSubmenu_) {
        auto* sub = new QMenu(submenuName_, container);
        created_.append(sub->menuAction());
        InsertBefore(container, sub->menuAction(), before);
        target = sub;
        at = nullptr;
    }
    for (int k = 0; k < items_.size(); ++k) InsertBefore(target, MakeItem(k, target), at);
    if (ShowClearItem || ShowRemoveObsolete) InsertBefore(container, MakeSeparator(container), before);
    if (ShowClearItem) {
        auto* clear = new QAction(ClearItemName.isEmpty() ? "&Clear MRU List" : ClearItemName, container);
        connect(clear, &QAction::triggered, this, [this] { ClearAllItems(); });
        created_.append(clear);
        InsertBefore(container, clear, before);
    }
    if (ShowRemoveObsolete) {
        auto* obsolete = new QAction(RemoveObsoleteName.isEmpty() ? "&Remove Obsolete" : RemoveObsoleteName, container);
        connect(obsolete, &QAction::triggered, this, [this] { RemoveObsoleteItems(); });
        created_.append(obsolete);
        InsertBefore(container, obsolete, before);
    }
}

void TMRUFileList::ClearAllItems() {
    RemoveMenuItems();
    items_.clear();
}

void TMRUFileList::RemoveObsoleteItems() {
    bool removed = false;
    const bool asked = isSignalConnected(QMetaMethod::fromSignal(&TMRUFileList::RemoveObsolete));
    for (int i = items_.size() - 1; i >= 0; --i) {
        bool remove = false;
        if (asked) emit RemoveObsolete(items_[i], &remove);
        else remove = !QFileInfo::exists(items_[i]);
        if (remove) {
            items_.removeAt(i);
            removed = true;
        }
    }
    if (removed) PopulateMenu();
}

void TMRUFileList::ItemClicked(int number) {
    if (number < 1 || number > items_.size()) return;
    const QString name = items_[number - 1];
    if (RemoveOnClick) {
        items_.removeAt(number - 1);
        PopulateMenu();
    }
    emit MRUItemClick(name);
}

void TMRUFileList::Load() {
    if (autoSaveName_.isEmpty() || autoSaveKey_.isEmpty()) return;
    QStringList lines;
    if (UseRegistry) {
        lines = Registry(autoSaveName_).ReadSection(autoSaveKey_);
    } else {
        QSettings ini(autoSaveName_, QSettings::IniFormat);
        ini.beginGroup(autoSaveKey_);
        for (const QString& key : ini.childKeys()) lines << key + "=" + ini.value(key).toString();
    }
    for (const QString& line : lines) {
        const int eq = line.indexOf('=');
        items_.append(eq < 0 ? QString() : line.mid(eq + 1));
    }
    PopulateMenu();
}

void TMRUFileList::Save() {
    if (autoSaveName_.isEmpty() || autoSaveKey_.isEmpty()) return;
    if (UseRegistry) {
        Registry store(autoSaveName_);
        store.DeleteKey(autoSaveKey_);
        for (int i = 0; i < items_.size(); ++i)
            store.WriteSectionValue(autoSaveKey_, "F" + QString::number(i), items_[i]);
        store.Sync();
    } else {
        QSettings ini(autoSaveName_, QSettings::IniFormat);
        ini.remove(autoSaveKey_);
        for (int i = 0; i < items_.size(); ++i) ini.setValue(autoSaveKey_ + "/F" + QString::number(i), items_[i]);
    }
}

}  // namespace sonivel
