#pragma once
// Where the test site is: "site=" in section "main" of the settings file
// (settings.ini in the folder userDataFolder() names), else the address
// compiled into the program; without a trailing "/", so that page paths can
// be appended.
#include <QString>

QString siteAddress(const QString& settingsFile);

// The address compiled into the program.
QString compiledSiteAddress();

// The site for IPv6 tests, "site6=" in section "main" of the settings file,
// for a site whose IPv6 address has a name of its own; empty when not set.
QString siteAddress6(const QString& settingsFile);
