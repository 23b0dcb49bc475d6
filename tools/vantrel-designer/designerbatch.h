#pragma once
// The designer without its window: opens the form (a missing file starts an
// empty one), makes the named control from its bag, loads the picture through
// the source image page, applies the settings, writes the control back into
// its bag and saves the form. A form file that exists but cannot be read is
// never overwritten.
#include <QString>

struct DesignerOptions;

bool runDesignerBatch(const DesignerOptions& options, QString* error);
