#pragma once
// A readable name for the status code of a failed navigation: an HTTP status
// (404 gives "NOT_FOUND(404)"), the system's access-denied code, or one of the
// URL moniker error codes the browser reports for network failures. A code
// without a name gives "Unknown Error: " and the code.
#include <QString>

// Lets pending events run while it works, like every handler of the window.
QString WebBrowserErrorText(int statusCode);
