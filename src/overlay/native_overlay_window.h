#pragma once
// The per-display overlay window: transparent, shown only inside its visual
// region, taking the mouse only inside its interactive region. Everywhere else
// the pointer reaches whatever lies underneath. Where the desktop cannot show
// transparency (X11 without a compositing manager) it shows only its drawn
// region, the pixels actually painted.

#include <QQuickWindow>
#include <QRegion>
#include <QTimer>
#include <QVariantList>
#include <memory>

class OverlayPlatform;

class NativeOverlayWindow : public QQuickWindow
{
    Q_OBJECT
    Q_PROPERTY(bool clickThrough READ clickThrough WRITE setClickThrough NOTIFY clickThroughChanged)
    Q_PROPERTY(QVariantList interactiveRegions READ interactiveRegions WRITE setInteractiveRegions)
    Q_PROPERTY(QVariantList visualRegions READ visualRegions WRITE setVisualRegions)
    Q_PROPERTY(QVariantList drawnRegions READ drawnRegions WRITE setDrawnRegions)

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

    // Region records whose values may be fractional: everything painted, tightly.
    // Only this is shown where transparent pixels would show opaque; an empty list
    // then shows nothing at all. Elsewhere it changes nothing.
    QVariantList drawnRegions() const { return m_drawnList; }
    void setDrawnRegions(const QVariantList &list);

    // Applies the mask and the input behaviour of the current mode to the native
    // window; without a native window it waits for the window's creation.
    void applyNativeInputPolicy();

    // The union of the valid rectangles of a list of region records.
    static QRegion regionFromList(const QVariantList &list);
    // For each valid rectangle of a list, the native pixels it covers, even partly,
    // at `ratio` native pixels per logical one; records may have fractional values.
    // The rectangles may overlap: merging hundreds of them at every move of a drag
    // would cost more than the windowing system takes to do it.
    static QList<QRect> nativeRectsFromList(const QVariantList &list, qreal ratio);

signals:
    void clickThroughChanged();

protected:
    bool event(QEvent *e) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    void applyDrawnShape();
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

    bool m_clickThrough = false;
    QVariantList m_interactiveList;
    QRegion m_interactiveRegion;
    QVariantList m_visualList;
    QRegion m_visualRegion;
    QVariantList m_drawnList;
    std::unique_ptr<OverlayPlatform> m_platform;
    // Only where the styles follow the pointer: polls it while interactive parts exist.
    QTimer m_pointerPoll;
    bool m_pointerOver = false;
    bool m_followQueued = false;
};
