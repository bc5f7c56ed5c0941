// The settings key, as the handlers use it: each handler makes a Registry
// for the occasion, reads or writes, and lets go. On Linux the key is
// ~/.config/Korvath/Sonivel.conf (QSettings' native store for the user);
// on Windows it is HKEY_CURRENT_USER\Software\Korvath\Sonivel.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <optional>

namespace sonivel {

class Registry {
public:
    // The program's own key.
    Registry();
    // The key named by a path such as "\Software\Korvath\Sonivel\".
    explicit Registry(const QString& keyPath);

    bool ValueExists(const QString& name);
    // An integer value. Missing, or not an integer: nothing, and `error`
    // gets the registry layer's message naming the value.
    std::optional<int> ReadInteger(const QString& name, QString* error = nullptr);
    // A missing string reads as an empty text.
    QString ReadString(const QString& name);
    void WriteInteger(const QString& name, int value);
    void WriteString(const QString& name, const QString& value);
    // Deletes a subkey and all its values.
    void DeleteKey(const QString& subkey);
    // The values of a subkey as "name=data" lines, in the store's order.
    QStringList ReadSection(const QString& subkey);
    void WriteSectionValue(const QString& subkey, const QString& name, const QString& value);
    // Writes pending changes to the store (and picks up other processes').
    bool Sync();

    QSettings& Settings() { return settings_; }

    // The registry layer's messages, as the framework words them (English
    // only, like every message of the framework's own).
    static QString GetDataFailed(const QString& name) { return QString("Failed to get data for '%1'").arg(name); }
    static QString InvalidDataType(const QString& name) { return QString("Invalid data type for '%1'").arg(name); }
    static QString SetDataFailed(const QString& name) { return QString("Failed to set data for '%1'").arg(name); }

private:
    QSettings settings_;
};

// The folder part of a path: up to and including its last separator.
QString FolderOf(const QString& path);

}  // namespace sonivel
