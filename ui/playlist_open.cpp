#include "playlist_open.h"

#include <QFile>
#include <QFileInfo>

#include "file_names.h"
#include "player.h"
#include "playlist_file.h"
#include "registry.h"
#include "services.h"
#include "texts.h"

namespace sonivel {
namespace {

// Open offers every kind a playlist is read as, together first.
constexpr const char* kOpenPlaylistFilter =
    "All playlists (*.snl *.m3u *.m3u8 *.pls);;Sonivel Playlist (*.snl);;M3U Playlist (*.m3u *.m3u8);;"
    "PLS Playlist (*.pls)";

// A regular file that starts as a wave file does ("RIFF", a size, "WAVE").
bool LooksLikeWaveFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

// At most this many names in one box; the rest are counted.
constexpr int kNamesShown = 20;

QString NamedList(const QStringList& names) {
    QStringList shown = names.mid(0, kNamesShown);
    if (names.size() > kNamesShown)
        shown << Q(FormatText(kTextAndMore, {std::to_string(names.size() - kNamesShown)}, CurrentLanguage().load()));
    return shown.join('\n');
}

}  // namespace

bool OpenPlaylistFile(QWidget* parent, UiServices& services, Player& player) {
    Registry store;
    const QString path =
        services.OpenFile(parent, "Open Playlist", StartFolder({store.ReadString("LastPlayListFolder")}),
                          kOpenPlaylistFilter, "snl");
    if (path.isEmpty()) return true;
    QStringList entries;
    QString error;
    PlaylistKind kind = PlaylistKind::Snl;
    if (!ReadPlaylistFile(path, entries, &error, &kind)) {
        services.Message(parent, ErrorBoxCaption(ErrorSource::Framework), error, UiServices::Icon::Error);
        return false;
    }
    // Another program's list may name anything, anywhere: what is not a
    // wave file there is left out, and said so. Sonivel's own lists are
    // taken as they stand; an entry is dropped when it cannot be opened.
    QStringList kept, left;
    if (kind == PlaylistKind::Snl) kept = entries;
    else
        for (const QString& entry : entries) (LooksLikeWaveFile(entry) ? kept : left) << entry;
    player.SetEntries(kept);
    if (!left.isEmpty()) {
        const QString why = Q(Text(kTextListNamesLeftOut));
        services.Message(parent, ErrorBoxCaption(ErrorSource::Program), why + "\n" + NamedList(left),
                          UiServices::Icon::Warning);
    }
    store.WriteString("LastPlayListFolder", FolderOf(path));
    store.Sync();
    return true;
}

}  // namespace sonivel
