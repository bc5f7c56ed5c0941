// Open playlist, wherever it is chosen (the main window's menu, the
// editor's button): the file dialog, the list read and made the player's,
// and what another program's list named that is not a wave file said.
#pragma once

class QWidget;

namespace sonivel {

class Player;
class UiServices;

// False only when the chosen file could not be read: everything stays as it
// was, and the folder is not remembered. A cancelled dialog is true.
bool OpenPlaylistFile(QWidget* parent, UiServices& services, Player& player);

}  // namespace sonivel
