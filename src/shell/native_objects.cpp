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
    // A display that shrank or changed scale keeps every caliper on it within reach,
    // also one plugged in again at another size: its calipers are there again.
    const auto keepInside = [this](const QString &stableId) { this->keepInside(stableId); };
    QObject::connect(&m_displayTopology, &DisplayTopologyAdapter::displayGeometryChanged,
                     &m_overlayController, keepInside);
    QObject::connect(&m_displayTopology, &DisplayTopologyAdapter::displayScaleChanged,
                     &m_overlayController, keepInside);
    QObject::connect(&m_displayTopology, &DisplayTopologyAdapter::displayAdded,
                     &m_overlayController, keepInside);
}

void NativeObjects::keepInside(const QString &stableId)
{
    const QVariantList displays = m_displayTopology.displays();
    for (const QVariant &entry : displays) {
        const QVariantMap record = entry.toMap();
        if (record.value(QStringLiteral("stableId")).toString() == stableId) {
            m_overlayController.keepInsideDisplay(
                stableId, record.value(QStringLiteral("width")).toDouble(),
                record.value(QStringLiteral("height")).toDouble());
            return;
        }
    }
}

void NativeObjects::publish(QQmlContext &context)
{
    context.setContextProperty(QStringLiteral("displayTopology"), &m_displayTopology);
    context.setContextProperty(QStringLiteral("overlayController"), &m_overlayController);
}
