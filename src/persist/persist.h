#pragma once
// What the program keeps between runs: the port list ("ports.dat", one
// "port,protocol" line per row in the system's 8-bit code page) and the
// settings file ("settings.ini", section "main"). Both live in the program's
// folder and are always replaced whole through a temporary file, so a failed
// save never costs the user what was stored before.
#include "persist/modini.h"
#include "persist/modlist.h"

// File and key names the main window uses with these procedures.
inline constexpr char kPortListFileName[] = "ports.dat";
inline constexpr char kSettingsFileName[] = "settings.ini";
inline constexpr char kMainSection[] = "main";
inline constexpr char kLanguageKey[] = "language";
// Overrides the compiled-in address of the maker's test site when present.
inline constexpr char kSiteKey[] = "site";
