#pragma once
// The per-display overlay window: transparent, shown only inside its visual
// region, taking the mouse only inside its interactive region. Everywhere else
// the pointer reaches whatever lies underneath. Where the desktop cannot show
// transparency (X11 without a compositing manager) it shows only its drawn
// shape, the pixels actually painted, changed in step with the frames.
//
// Only its display's going removes an overlay: it refuses every close request
// (WM_DELETE_WINDOW on X11, WM_CLOSE on Windows), and when the system takes it
// off the screen anyway (minimised, unmapped, its native window destroyed) it
// shows itself again, made anew where it was destroyed.

#include "overlay_platform.h"

#include <QQuickWindow>
#include <QRegion>
#include <QTimer>
#include <QVariantList>
#include <memory>

class NativeOverlayWindow : public QQuickWindow
{
    Q_OBJECT
    Q_PROPERTY(bool clickThrough READ clickThrough WRITE setClickThrough NOTIFY clickThroughChanged)
    Q_PROPERTY(QVariantList interactiveRegions READ interactiveRegions WRITE setInteractiveRegions)
    Q_PROPERTY(QVariantList visualRegions READ visualRegions WRITE setVisualRegions)

public:
    explicit NativeOverlayWindow(QWindow *parent = nullptr);
    // For code that supplies the windowing-system operations itself (tests).
    explicit NativeOverlayWindow(std::unique_ptr<OverlayPlatform> platform,
                                 QWindow *parent = nullptr);
    ~NativeOverlayWindow() override;

    bool clickThrough() const { return m_clickThrough; }
    void setClickThrough(bool value);

    QVariantList interactiveRegions() const { return m_interactiveList; }
    void setInteractiveRegions(const QVariantList &list);

    QVariantList visualRegions() const { return m_visualList; }
    void setVisualRegions(const QVariantList &list);

    // Both regions at once, in logical pixels: where the window paints and where
    // it takes the mouse. The lists read back are their rectangles.
    void setRegions(const QRegion &visual, const QRegion &interactive);

    // What the frame to come draws, in native pixels: where transparent pixels
    // would show opaque, the window shows only these, and nothing at all without
    // any. The shape follows once that frame is on screen, never before, so that
    // no part of the shape shows pixels that were not drawn yet. Elsewhere it
    // changes nothing.
    void setDrawnShape(const QRegion &native) { setDrawnShape(native, QRegion()); }
    // The same as the union of a still part, handed again unchanged while a
    // caliper is dragged, and the moving part: a move then costs what it moved.
    void setDrawnShape(const QRegion &still, const QRegion &moving);
    // Whether the drawn shape is worked out here at all, and whether it is what
    // the window shows now. While it is, a drawing that goes away has to stay in
    // the frames until the shape without it has been applied.
    bool usesDrawnShape() const;
    bool showsDrawnShapeOnly() const;
    // Each drawn shape handed to a frame gets the next generation: the one of the
    // frame being synchronised, and the last one applied to the window.
    quint64 frameShapeGeneration() const { return m_frameGeneration; }
    quint64 appliedShapeGeneration() const { return m_appliedGeneration; }

    // Applies the mask and the input behaviour of the current mode to the native
    // window; without a native window it waits for the window's creation.
    void applyNativeInputPolicy();

    // The union of the valid rectangles of a list of region records.
    static QRegion regionFromList(const QVariantList &list);
    // The rectangles of a region as a list of region records.
    static QVariantList listFromRegion(const QRegion &region);

signals:
    void clickThroughChanged();
    // A drawn shape reached the window; appliedShapeGeneration tells which.
    void drawnShapeApplied();
    // The window is on the screen again after the system had taken it off; it
    // lies on top of the program's other windows now.
    void restored();

protected:
    bool event(QEvent *e) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    // At the synchronisation of a frame: takes the pending drawn shape into it.
    void takeShapeIntoFrame();
    // After a frame is on screen: applies the shape it drew.
    void frameSwapped();
    void applyFrameShape(const QRegion &still, const QRegion &moving, quint64 generation);
    // Reads, writes and applies the input styles of the current mode.
    void writeNativeInputStyles();
    // Whether the window takes a pointer at a screen position (native pixels).
    bool takesMouseAt(QPoint screen);
    // Whether the pointer is where the window takes it, or held by a press the
    // window took (a drag may leave the interactive parts until release).
    bool pointerTakenHere();
    // On systems whose input styles follow the pointer: switches them when the
    // pointer has come onto or left the interactive parts.
    void followPointer();
    // The system took the window off the screen: it is shown again.
    void handleLoss(OverlayPlatform::Loss loss);
    void restore();

    bool m_clickThrough = false;
    QVariantList m_interactiveList;
    QRegion m_interactiveRegion;
    QVariantList m_visualList;
    QRegion m_visualRegion;
    // Touched by the GUI thread, and by the render thread only while the GUI
    // thread waits for the synchronisation of a frame.
    QRegion m_pendingStill;
    QRegion m_pendingMoving;
    bool m_pendingChanged = false;
    quint64 m_frameGeneration = 0;
    // The render thread's: the shape of the frame being rendered.
    QRegion m_frameStill;
    QRegion m_frameMoving;
    bool m_frameHasShape = false;
    quint64 m_appliedGeneration = 0;
    std::unique_ptr<OverlayPlatform> m_platform;
    // Only where the styles follow the pointer: polls it while interactive parts exist.
    QTimer m_pointerPoll;
    bool m_pointerOver = false;
    bool m_followQueued = false;
    // An unmapping is looked at again a moment later: a window manager that
    // takes the window into its frame unmaps and maps it at once.
    QTimer m_lossCheck;
    bool m_destroyedBehindOurBack = false;
};
