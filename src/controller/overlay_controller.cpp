#include "overlay_controller.h"
