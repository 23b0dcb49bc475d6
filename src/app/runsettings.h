#pragma once
// What a port test run reads from the port list and the settings file before
// it touches a socket or the browser.
#include <QString>
#include <optional>

// The port a row names: a whole number from 1 to 65535, as typed (leading
// zeros allowed, blanks around it ignored); nothing for any other text.
std::optional<int> PortNumberOf(const QString& portText);

// How long a run waits for one page before it gives the row up: the value of
// key "page_timeout_s" in section "main" of the settings file, in whole
// seconds from 5 to 300; any other value, or none, means 20 seconds.
int PageTimeoutSeconds(const QString& settingsFile);
