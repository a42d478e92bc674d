// Qt Quick Test runner: the native objects of the program, wired and published
// exactly as the program does it, plus the test helpers.

#include "application_identity.h"
#include "native_objects.h"
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
        m_nativeObjects = std::make_unique<NativeObjects>();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        m_nativeObjects->publish(*engine->rootContext());
        engine->rootContext()->setContextProperty(QStringLiteral("testSupport"), &m_support);
    }

    void cleanupTestCase() { m_nativeObjects.reset(); }

private:
    std::unique_ptr<NativeObjects> m_nativeObjects;
    TestSupport m_support;
};

QUICK_TEST_MAIN_WITH_SETUP(zrn, Setup)

#include "runner.moc"
