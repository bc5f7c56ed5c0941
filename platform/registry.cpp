#include "registry.h"

#include <QRegularExpression>

namespace sonivel {

Registry::Registry() : settings_(QSettings::NativeFormat, QSettings::UserScope, "Korvath", "Sonivel") {}

namespace {
// "\Software\Maker\Program\" names the maker and program of the store.
QStringList KeyParts(const QString& keyPath) {
    QStringList parts = keyPath.split(QRegularExpression("[\\\\/]"), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.front().compare("Software", Qt::CaseInsensitive) == 0) parts.removeFirst();
    while (parts.size() < 2) parts.append("Sonivel");
    return parts;
}
}  // namespace

Registry::Registry(const QString& keyPath)
    : settings_(QSettings::NativeFormat, QSettings::UserScope, KeyParts(keyPath)[0], KeyParts(keyPath)[1]) {}

bool Registry::ValueExists(const QString& name) { return settings_.contains(name); }

std::optional<int> Registry::ReadInteger(const QString& name, QString* error) {
    if (!settings_.contains(name)) {
        if (error) *error = GetDataFailed(name);
        return std::nullopt;
    }
    bool ok = false;
    const QVariant v = settings_.value(name);
    const int value = v.toString().trimmed().toInt(&ok);
    if (!ok || v.metaType().id() == QMetaType::QStringList) {
        if (error) *error = InvalidDataType(name);
        return std::nullopt;
    }
    return value;
}

QString Registry::ReadString(const QString& name) {
    const QVariant v = settings_.value(name);
    if (v.metaType().id() == QMetaType::QStringList) return v.toStringList().join(", ");
    return v.toString();
}

void Registry::WriteInteger(const QString& name, int value) { settings_.setValue(name, value); }

void Registry::WriteString(const QString& name, const QString& value) { settings_.setValue(name, value); }

void Registry::DeleteKey(const QString& subkey) { settings_.remove(subkey); }

QStringList Registry::ReadSection(const QString& subkey) {
    QStringList lines;
    settings_.beginGroup(subkey);
    for (const QString& key : settings_.childKeys()) lines << key + "=" + settings_.value(key).toString();
    settings_.endGroup();
    return lines;
}

void Registry::WriteSectionValue(const QString& subkey, const QString& name, const QString& value) {
    settings_.setValue(subkey + "/" + name, value);
}

bool Registry::Sync() {
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

QString FolderOf(const QString& path) {
    const int at = std::max(path.lastIndexOf('/'), path.lastIndexOf('\\'));
    return at < 0 ? QString() : path.left(at + 1);
}

}  // namespace sonivel
