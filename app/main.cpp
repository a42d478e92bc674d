// Entry point: application identity, the native objects the QML documents talk
// to, and the control panel. Everything lives on this stack and is torn down in
// reverse order of creation (engine first, so its windows close before the
// objects they bind to disappear).

#include "application_identity.h"
#include "display_topology.h"
#include "native_overlay_window.h"
#include "overlay_controller.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QUrl>
#include <QtQml/qqml.h>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    applyApplicationIdentity();

    qmlRegisterType<NativeOverlayWindow>("ZRNCalipers.Native", 1, 0, "NativeOverlayWindow");

    DisplayTopologyAdapter displayTopology;
    OverlayController overlayController;

    // A reference drawn on a display that changed scale or vanished must stop calibrating.
    QObject::connect(&displayTopology, &DisplayTopologyAdapter::displayScaleChanged,
                     &overlayController, &OverlayController::handleDisplayInvalidated);
    QObject::connect(&displayTopology, &DisplayTopologyAdapter::displayRemoved, &overlayController,
                     &OverlayController::handleDisplayInvalidated);

    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("displayTopology"), &displayTopology);
    engine.rootContext()->setContextProperty(QStringLiteral("overlayController"),
                                             &overlayController);

    // Queued: the failure is reported during load(), before the event loop runs.
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app,
        [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);

#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    engine.loadFromModule("ZRNCalipers", "Main");
#else
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/ZRNCalipers/qml/Main.qml")));
#endif

    return QGuiApplication::exec();
}
