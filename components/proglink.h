// TProgLink: puts a launcher for a program into the user's menu of programs.
// On Linux the "Programs" folder is the user's applications folder
// ($XDG_DATA_HOME/applications) and the link is a desktop entry named after
// LinkName ("Sonivel.lnk" becomes Sonivel.desktop); on Windows it is a shell
// link in the Start menu.
#pragma once

#include <QObject>
#include <QString>

namespace sonivel {

class TProgLink : public QObject {
    Q_OBJECT
public:
    explicit TProgLink(QObject* parent = nullptr) : QObject(parent) {}

    QString SourceName;  // the program the link starts
    QString LinkName;    // relative to the Programs folder; one subfolder level at most

    // Writes the link. Reports nothing: a link that cannot be written has no
    // visible effect. Returns whether it was written, for the tests.
    bool CreateLink();

    // The user's folder of program links.
    static QString ProgramsFolder();
};

}  // namespace sonivel
