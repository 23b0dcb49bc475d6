#pragma once
// The small layers that stand in for the services of the platform the program
// was first written for: message processing, sleeping, twips, and the
// interface through which the language machinery reaches a window's controls.
#include "platform/doevents.h"
#include "platform/translatable.h"
#include "platform/twips.h"
