// Entry point: application identity, one program per display, the native
// objects the QML documents talk to, and the control panel. Everything lives on this stack and is
// torn down in reverse order of creation (engine first, so its windows close before the objects
// they bind to disappear).

#include "application_identity.h"
#include "native_objects.h"
#include "platform_choice.h"
#include "renderer_choice.h"
#include "single_instance.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QUrl>

int main(int argc, char *argv[])
{
    if (!selectPlatformForOverlays(argc, argv))
        return 1;
    QGuiApplication app(argc, argv);
    applyApplicationIdentity();
    // A program already running on this display shows its panel instead.
    SingleInstance instance(SingleInstance::sessionKey());
    if (const std::optional<int> handedOver = instance.startOrHandOver())
        return *handedOver;
    useSoftwareRendererWithoutGraphicsCard();

    NativeObjects nativeObjects;

    QQmlApplicationEngine engine;
    nativeObjects.publish(*engine.rootContext());

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
    instance.presentOnHandOver(engine);

    return QGuiApplication::exec();
}
