#include "display_topology.h"
