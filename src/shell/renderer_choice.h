#pragma once

// Qt Quick draws with the graphics card's API (OpenGL, Direct3D). Where no
// graphics card is there (virtual machines, remote desktops, thin clients),
// that API is served by a rasteriser on the processor, which redraws the whole
// window for every frame; Qt Quick's own software renderer redraws only what
// changed, and is then far quicker.

#include <QByteArray>
#include <QString>

// Whether the renderer that a graphics API names draws on the processor:
// Mesa's llvmpipe, softpipe and swrast, and Windows' Basic Render Driver.
[[nodiscard]] bool isSoftwareRasteriser(const QString &rendererName);

// Whether the user chose Qt Quick's renderer through QT_QUICK_BACKEND or
// QSG_RHI_BACKEND; the choice is theirs then.
[[nodiscard]] bool rendererChosenByUser(const QByteArray &quickBackend,
                                        const QByteArray &rhiBackend);

// The renderer Qt Quick would use by default, as its driver names it: OpenGL's
// GL_RENDERER, or on Windows the first Direct3D adapter. Empty where none answers.
[[nodiscard]] QString defaultRendererName();

// Before the first window: the software renderer where the graphics API would
// be drawn on the processor, unless the user chose. Returns the name of the
// renderer found, empty where none could be asked.
QString useSoftwareRendererWithoutGraphicsCard();
