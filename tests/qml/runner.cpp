// Qt Quick Test runner: the native objects of the program, published under the
// same names as in the program, plus the test helpers.

#include "application_identity.h"
#include "display_topology.h"
#include "native_overlay_window.h"
#include "overlay_controller.h"
#include "test_support.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>
#include <memory>

class Setup : public QObject
{
    Q_OBJECT
public slots:
    void applicationAvailable()
    {
        applyApplicationIdentity();
        qmlRegisterType<NativeOverlayWindow>("ZRNCalipers.Native", 1, 0, "NativeOverlayWindow");
        m_topology = std::make_unique<DisplayTopologyAdapter>();
        m_controller = std::make_unique<OverlayController>();
        QObject::connect(m_topology.get(), &DisplayTopologyAdapter::displayScaleChanged,
                         m_controller.get(), &OverlayController::handleDisplayInvalidated);
        QObject::connect(m_topology.get(), &DisplayTopologyAdapter::displayRemoved,
                         m_controller.get(), &OverlayController::handleDisplayInvalidated);
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("displayTopology"),
                                                  m_topology.get());
        engine->rootContext()->setContextProperty(QStringLiteral("overlayController"),
                                                  m_controller.get());
        engine->rootContext()->setContextProperty(QStringLiteral("testSupport"), &m_support);
    }

    void cleanupTestCase()
    {
        m_controller.reset();
        m_topology.reset();
    }

private:
    std::unique_ptr<DisplayTopologyAdapter> m_topology;
    std::unique_ptr<OverlayController> m_controller;
    TestSupport m_support;
};

QUICK_TEST_MAIN_WITH_SETUP(zrn, Setup)

#include "runner.moc"
