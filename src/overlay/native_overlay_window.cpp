#include "native_overlay_window.h"
