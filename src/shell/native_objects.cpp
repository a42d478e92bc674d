#include "native_objects.h"

#include "native_overlay_window.h"

#include <QQmlContext>
#include <QtQml/qqml.h>

NativeObjects::TypeRegistration::TypeRegistration()
{
    qmlRegisterType<NativeOverlayWindow>("ZRNCalipers.Native", 1, 0, "NativeOverlayWindow");
}

NativeObjects::NativeObjects()
{
    // A reference drawn on a display that changed scale or vanished must stop calibrating.
    QObject::connect(&m_displayTopology, &DisplayTopologyAdapter::displayScaleChanged,
                     &m_overlayController, &OverlayController::handleDisplayInvalidated);
    QObject::connect(&m_displayTopology, &DisplayTopologyAdapter::displayRemoved,
                     &m_overlayController, &OverlayController::handleDisplayInvalidated);
}

void NativeObjects::publish(QQmlContext &context)
{
    context.setContextProperty(QStringLiteral("displayTopology"), &m_displayTopology);
    context.setContextProperty(QStringLiteral("overlayController"), &m_overlayController);
}
