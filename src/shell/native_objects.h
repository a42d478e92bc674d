#pragma once

// The native objects the QML documents talk to, created and wired the way the
// program needs them: the overlay window type is registered, the display
// topology enumerates the displays, and a display that vanished or changed its
// scale stops calibrating through the controller, and a display that changed
// size or scale keeps its calipers inside it. The program and its QML
// tests build the same wiring from this one class.

#include "display_topology.h"
#include "overlay_controller.h"

class QQmlContext;

class NativeObjects
{
public:
    // Registers NativeOverlayWindow in ZRNCalipers.Native 1.0, then creates the
    // display topology and the controller (in that order) and connects them.
    NativeObjects();
    NativeObjects(const NativeObjects &) = delete;
    NativeObjects &operator=(const NativeObjects &) = delete;

    // Publishes both objects as the context properties "displayTopology" and
    // "overlayController"; they stay owned here.
    void publish(QQmlContext &context);

    DisplayTopologyAdapter &displayTopology() { return m_displayTopology; }
    OverlayController &overlayController() { return m_overlayController; }

private:
    // Brings the calipers of a display back inside its current record.
    void keepInside(const QString &stableId);

    // Registers the overlay window type on construction.
    struct TypeRegistration
    {
        TypeRegistration();
    };

    // Declared in order of creation, the type first; the controller goes first
    // on destruction.
    TypeRegistration m_typeRegistration;
    DisplayTopologyAdapter m_displayTopology;
    OverlayController m_overlayController;
};
