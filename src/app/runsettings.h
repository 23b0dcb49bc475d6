#pragma once
// What a port test run in the window reads from the settings file.
#include <QString>

// How long a run waits for one page before it gives the row up: the value of
// key "page_timeout_s" in section "main" of the settings file, in whole
// seconds from 5 to 300; any other value, or none, means 20 seconds.
int PageTimeoutSeconds(const QString& settingsFile);
