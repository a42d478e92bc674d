#include "renderer_choice.h"

#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QStringList>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <dxgi.h>
#elif QT_CONFIG(opengl)
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#endif

// The renderer Qt Quick would use by default, as its driver names it.
QString defaultRendererName()
{
#ifdef Q_OS_WIN
    // Direct3D 11 on the first adapter, as Qt Quick takes it.
    IDXGIFactory1 *factory = nullptr;
    if (FAILED(CreateDXGIFactory1(__uuidof(IDXGIFactory1), reinterpret_cast<void **>(&factory))))
        return {};
    QString name;
    IDXGIAdapter1 *adapter = nullptr;
    if (SUCCEEDED(factory->EnumAdapters1(0, &adapter))) {
        DXGI_ADAPTER_DESC1 desc{};
        if (SUCCEEDED(adapter->GetDesc1(&desc))) {
            name = QString::fromWCharArray(desc.Description);
            // Windows' own rasteriser may go by another name in other languages.
            if (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE)
                name += QStringLiteral(" (software)");
        }
        adapter->Release();
    }
    factory->Release();
    return name;
#elif QT_CONFIG(opengl)
    QOpenGLContext context;
    if (!context.create())
        return {};
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!context.makeCurrent(&surface))
        return {};
    const auto *renderer
        = reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    const QString name = renderer ? QString::fromLatin1(renderer) : QString();
    context.doneCurrent();
    return name;
#else
    return {};
#endif
}

bool isSoftwareRasteriser(const QString &rendererName)
{
    static const QStringList kRasterisers{
        QStringLiteral("llvmpipe"), QStringLiteral("softpipe"), QStringLiteral("swrast"),
        QStringLiteral("Microsoft Basic Render Driver"), QStringLiteral("(software)")};
    for (const QString &rasteriser : kRasterisers) {
        if (rendererName.contains(rasteriser, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool rendererChosenByUser(const QByteArray &quickBackend, const QByteArray &rhiBackend)
{
    return !quickBackend.trimmed().isEmpty() || !rhiBackend.trimmed().isEmpty();
}

QString useSoftwareRendererWithoutGraphicsCard()
{
    if (rendererChosenByUser(qgetenv("QT_QUICK_BACKEND"), qgetenv("QSG_RHI_BACKEND")))
        return {};
    const QString name = defaultRendererName();
    if (isSoftwareRasteriser(name))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return name;
}
