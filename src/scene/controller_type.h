#pragma once

// The controller as the documents know it: a type without a name of its own,
// given to them by the program, so that the scene's property of that type
// can be checked.

#include "overlay_controller.h"

#include <QtQml/qqmlregistration.h>

struct OverlayControllerType
{
    Q_GADGET
    QML_FOREIGN(OverlayController)
    QML_ANONYMOUS
};
