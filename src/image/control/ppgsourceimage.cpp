#include "image/control/aicalphaimage.h"
