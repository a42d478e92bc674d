#pragma once
// What the overlay window needs from the windowing system, behind one small
// interface. The window logic speaks in Windows terms (extended style bits, a
// hit-test query); each realisation maps them onto its own system:
//   Win32     - the extended styles and WM_NCHITTEST themselves;
//   X11       - the mask plus the XShape input shape that the styles stand for; without
//               a compositing manager the drawn shape instead of the mask;
//   fallback  - the mask only.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <functional>
#include <memory>

class QWindow;

class OverlayPlatform
{
public:
    virtual ~OverlayPlatform();

    // Whether the platform window has been created yet.
    virtual bool nativeWindowExists(const QWindow &window) const;

    // The platform window was made (also anew, after it was lost), or is about to
    // be destroyed by the toolkit.
    virtual void nativeWindowCreated(QWindow &window);
    virtual void nativeWindowDestroyed(QWindow &window);
    // Before the window is shown: keeps it out of taskbars, pagers and window
    // switchers, where its type as a tool window does not already (X11: the
    // EWMH states _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER; on
    // Windows WS_EX_TOOLWINDOW comes with the type). By default nothing.
    virtual void prepareToShow(QWindow &window);

    // The system may take the window off the screen behind the toolkit's back: a
    // window manager or another program unmaps it, or destroys its native window.
    // A realisation that can tell reports it through the handler.
    enum class Loss { Unmapped, Destroyed };
    void setLossHandler(std::function<void(Loss)> handler) { m_lossHandler = std::move(handler); }
    // Whether the system shows the native window now (mapped, not iconified).
    // By default whatever the toolkit believes.
    virtual bool nativeWindowShown(const QWindow &window) const;

    // Restricts the window to a region, for what is shown and where it takes input.
    // An empty region removes the mask.
    virtual void setMask(QWindow &window, const QRegion &region) = 0;

    // What is actually drawn, in native pixels. A system that shows transparent
    // pixels opaque (X11 without a compositing manager) shows only that instead
    // of the mask, and nothing at all where it is empty. By default ignored.
    virtual void setDrawnShape(QWindow &window, const QRegion &native);
    // The same shape as the union of two parts: `still`, handed again unchanged
    // while something is dragged, and `moving`. A system that can change a shape
    // in place sends only what the moving part changed. By default the union.
    virtual void setDrawnLayers(QWindow &window, const QRegion &still, const QRegion &moving);
    // Whether setDrawnShape does anything here; where not, the window spares
    // itself the conversion at every drag move. By default not.
    virtual bool usesDrawnShape() const;
    // Whether the window shows only its drawn shape now. By default not.
    virtual bool showsDrawnShapeOnly() const;

    // The extended style bits (see overlay_input_rules.h), read and written back changed.
    // `interactive` is the region that takes the mouse while kExTransparent is clear;
    // systems whose input follows a shape rather than a hit test need it.
    virtual std::uint64_t readInputStyles(QWindow &window) = 0;
    virtual void writeInputStyles(QWindow &window, std::uint64_t styles, const QRegion &interactive)
        = 0;
    // Makes the system take up the written styles without moving, resizing,
    // restacking or activating the window.
    virtual void applyInputStyles(QWindow &window) = 0;

    // Hit testing, for systems that ask the window about each pointer position.
    // By default no message is such a query (the system decides from a shape).
    virtual bool isHitTestQuery(const void *message) const;
    // The screen position of a hit-test query, native pixels.
    virtual QPoint hitTestPosition(const void *message) const;
    // A screen position in the window's client coordinates, native pixels.
    virtual QPoint screenToClient(QWindow &window, QPoint screen) const;
    // Native pixels per logical unit of the window.
    virtual qreal devicePixelRatio(const QWindow &window) const;

    // The window has handled a pointer event and may show another cursor now; a
    // system that takes the pointer through a stand-in window shows it there too.
    virtual void pointerEventHandled(QWindow &window);
    // Whether the input styles must follow the pointer: true where a hit-test answer
    // passes input on only to windows of the same thread, never to another
    // program's, so that the window has to be transparent to the system's hit
    // testing wherever the pointer is not over an interactive part. By default
    // the system decides from a shape and nothing follows the pointer.
    virtual bool followsPointer() const;
    // The pointer's screen position, native pixels.
    virtual QPoint cursorPosition() const;

protected:
    OverlayPlatform() = default;
    OverlayPlatform(const OverlayPlatform &) = default;
    OverlayPlatform &operator=(const OverlayPlatform &) = default;

    void reportLoss(Loss loss) const
    {
        if (m_lossHandler)
            m_lossHandler(loss);
    }

private:
    std::function<void(Loss)> m_lossHandler;
};

// The realisation for the running platform plugin: "windows" on Windows, "xcb" on
// Linux X11, the mask-only fallback anywhere else.
std::unique_ptr<OverlayPlatform> createOverlayPlatform();
// The mask-only realisation.
std::unique_ptr<OverlayPlatform> createFallbackOverlayPlatform();
// For an ordinary window that takes the pointer wherever it shows (a window with
// rounded corners): only its mask and drawn shape, on X11 the drawn shape where a
// compositing manager is missing; no input shape of its own. The mask-only
// realisation elsewhere, which leaves the drawn shape alone.
std::unique_ptr<OverlayPlatform> createDrawnShapePlatform();
