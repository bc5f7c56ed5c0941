#include "folder_files.h"

#include "playlist_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace sonivel {
namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int CompareNatural(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Leading zeros do not count; a longer number is the larger one.
            while (i < a.size() && a[i] == u'0') ++i;
            while (j < b.size() && b[j] == u'0') ++j;
            qsizetype ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei])) ++ei;
            while (ej < b.size() && IsDigit(b[ej])) ++ej;
            if (ei - i != ej - j) return ei - i < ej - j ? -1 : 1;
            for (; i < ei; ++i, ++j)
                if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
            continue;
        }
        const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
        if (x != y) return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

void Collect(const QString& folder, QSet<QString>& seen, QStringList& out) {
    const QFileInfo here(folder);
    const QString real = here.canonicalFilePath();
    if (real.isEmpty() || seen.contains(real)) return;
    seen.insert(real);
    QDir dir(folder);
    QStringList files, folders;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted)) {
        if (entry.isDir()) folders << entry.fileName();
        else if (HasWaveSuffix(entry.fileName())) files << entry.fileName();
    }
    std::sort(files.begin(), files.end(), NaturalLess);
    std::sort(folders.begin(), folders.end(), NaturalLess);
    const QString base = folder.endsWith('/') ? folder : folder + '/';
    for (const QString& f : files) out << QDir::toNativeSeparators(base + f);
    for (const QString& d : folders) Collect(base + d, seen, out);
}

}  // namespace

bool NaturalLess(const QString& a, const QString& b) {
    const int c = CompareNatural(a, b);
    return c != 0 ? c < 0 : a < b;
}

bool HasWaveSuffix(const QString& name) { return name.endsWith(".wav", Qt::CaseInsensitive); }

bool HasPlaylistSuffix(const QString& name) {
    for (const char* suffix : {".m3u", ".m3u8", ".pls", ".snl"})
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) return true;
    return false;
}

QStringList WaveFilesBelow(const QString& folder) {
    QSet<QString> seen;
    QStringList out;
    Collect(QDir::fromNativeSeparators(folder), seen, out);
    return out;
}

QStringList ExpandFolders(const QStringList& names) {
    QStringList out;
    out.reserve(names.size());
    for (const QString& name : names) {
        // A wave file's name is taken as one without asking the file system:
        // a drop of thousands of files stays as quick as the list itself.
        if (HasWaveSuffix(name)) {
            out << name;
        } else if (HasPlaylistSuffix(name) && QFileInfo(name).isFile()) {
            QStringList entries;
            if (ReadPlaylistFile(name, entries, nullptr)) out << entries;
            else out << name;
        } else if (QFileInfo(name).isDir()) {
            out << WaveFilesBelow(name);
        } else {
            out << name;
        }
    }
    return out;
}

}  // namespace sonivel
