// TMRUFileList: a short list of recently used files shown as numbered items
// in a menu, saved to and restored from the settings store.
#pragma once

#include <QAction>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QFontMetrics;

namespace sonivel {

// A file name shortened to `width` pixels as a path: folders give way from
// the middle ("/home/…/Side B.wav"), the first folder and the file name
// stay whole; only a file name too wide on its own is cut itself.
QString ElidePath(const QString& path, const QFontMetrics& metrics, int width);

class TMRUFileList : public QObject {
    Q_OBJECT
public:
    explicit TMRUFileList(QObject* parent = nullptr);
    ~TMRUFileList() override;

    QString Version() const { return "TMRUFileList v2.39"; }

    bool AddToTop = true;
    bool RemoveOnClick = true;
    bool ShowClearItem = true;
    bool ShowRemoveObsolete = true;
    bool AutoSave = true;
    bool UseRegistry = true;
    QString ClearItemName = "&Clear MRU List";
    QString RemoveObsoleteName = "&Remove Obsolete";

    int Maximum() const { return maximum_; }
    void SetMaximum(int maximum);
    bool UseSubmenu() const { return useSubmenu_; }
    void SetUseSubmenu(bool on);
    bool InsertSeparator() const { return insertSeparator_; }
    void SetInsertSeparator(bool on);
    QString SubmenuName() const { return submenuName_; }
    void SetSubmenuName(const QString& name);
    int MaxCaptionWidth() const { return maxCaptionWidth_; }
    void SetMaxCaptionWidth(int pixels);
    // The placeholder action the items are inserted before (a separator in
    // the File menu), or a submenu action whose menu they are appended to.
    QAction* FileMenu() const { return fileMenu_; }
    void SetFileMenu(QAction* placeholder);
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* menu);
    // Where the list is stored: a key path such as "\Software\Maker\Program\"
    // (or an ini file name when UseRegistry is false) and the subkey. Setting
    // either loads the list from there.
    QString AutoSaveName() const { return autoSaveName_; }
    void SetAutoSaveName(const QString& name);
    QString AutoSaveKey() const { return autoSaveKey_; }
    void SetAutoSaveKey(const QString& key);

    const QStringList& Items() const { return items_; }
    void AddItem(const QString& fileName);
    virtual void PopulateMenu();
    virtual void ClearAllItems();
    virtual void RemoveObsoleteItems();
    // Writes the list to its store now (also done on destruction).
    void Save();

signals:
    void MRUItemClick(const QString& fileName);
    // Asked for each name by RemoveObsoleteItems when connected; set *remove.
    void RemoveObsolete(const QString& item, bool* remove);

private:
    void Load();
    void RemoveMenuItems();
    void Trim();
    void ItemClicked(int number);
    QString Caption(int index, const QFont& font) const;
    QAction* MakeItem(int index, QObject* owner);
    QAction* MakeSeparator(QMenu* container);
    void PopulateFileMenu();

    QStringList items_;
    int maximum_ = 5;
    bool useSubmenu_ = false;
    bool insertSeparator_ = true;
    QString submenuName_ = "Reopen";
    int maxCaptionWidth_ = 200;
    QPointer<QAction> fileMenu_;
    QPointer<QMenu> popupMenu_;
    QString autoSaveName_ = "\\Software\\My Application\\";
    QString autoSaveKey_ = "MRU Items";
    QList<QPointer<QAction>> created_;  // every action this list put into a menu
};

}  // namespace sonivel
