#pragma once
// Where the test site is: "site=" in section "main" of settings.ini in the
// program's folder, else the address compiled into the program; without a
// trailing "/", so that page paths can be appended.
#include <QString>

QString siteAddress(const QString& programFolder);

// The address compiled into the program.
QString compiledSiteAddress();
