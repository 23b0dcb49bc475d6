#pragma once
// Where the language files are: beside a program that runs from its own
// folder (a build tree, a portable copy), else in the data folder of an
// installed copy.
#include <QString>

// The data folder the packages install the language files into.
inline constexpr char kInstalledDataFolder[] = "/usr/share/vantrel";

// The folder whose "Languages" subfolder holds the language files:
// `programFolder` when it has one, else the data folder of an install around
// it (<programFolder>/../share/vantrel, e.g. /usr/local), else
// kInstalledDataFolder.
QString languageBaseFolder(const QString& programFolder);
