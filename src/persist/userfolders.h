#pragma once
// Where the program keeps ports.dat and settings.ini. A copy that runs from a
// folder it may write (a build tree, a portable copy) keeps them beside
// itself. An installed copy cannot: its folder belongs to the system, so the
// two files live in the user's configuration folder instead.
#include <QString>

// The folder for ports.dat and settings.ini: `programFolder` when this user
// may write there and it is not under /usr; else $XDG_CONFIG_HOME/vantrel
// (an absolute $XDG_CONFIG_HOME only), else $HOME/.config/vantrel. The
// per-user folder may not exist yet; makeFolderOf() creates it on a save.
QString userDataFolder(const QString& programFolder);

// Creates the folder that will hold `filePath`, with its missing parents, so
// that the first save into the per-user folder finds it. Returns whether the
// folder exists afterwards.
bool makeFolderOf(const QString& filePath);
