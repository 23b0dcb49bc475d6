#pragma once
// Where the test site is: "site=" in section "main" of the settings file
// (settings.ini in the folder userDataFolder() names), else the address
// compiled into the program; without a trailing "/", so that page paths can
// be appended.
#include <QString>

QString siteAddress(const QString& settingsFile);

// The address compiled into the program.
QString compiledSiteAddress();
