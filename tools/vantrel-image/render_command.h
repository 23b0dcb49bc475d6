#pragma once
// vantrel-image render: draws a picture with the image engine's Render into a
// new transparent image and saves that as PNG.
#include <QStringList>

// args: everything after the program name, "render" included. Returns the
// process exit status (0 drawn and saved, 1 not loaded, not drawn or not
// saved, 2 bad usage).
int runRenderCommand(const QStringList& args);
