#pragma once
// The components the main window is built from, as thin adapters over Qt:
// text boxes, labels, combo boxes, push buttons, a frame, a report-style list
// view, a message box, and the embedded web browser with its document model.
// Each adapter offers exactly the operations the window's handlers call, with
// the names those handlers use (Text, Caption, Tag, SelStart, 1-based items).
#include "app/outside/unicheck.h"
#include "app/outside/unicombo.h"
#include "app/outside/unicontrol.h"
#include "app/outside/uniframe.h"
#include "app/outside/unilabel.h"
#include "app/outside/unilistview.h"
#include "app/outside/unimsgbox.h"
#include "app/outside/unitext.h"
#include "app/outside/webbrowser.h"
