#pragma once
// The per-display overlay window: transparent, shown only inside its visual
// region, taking the mouse only inside its interactive region. Everywhere else
// the pointer reaches whatever lies underneath.

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

    // Applies the mask and the input behaviour of the current mode to the native
    // window; without a native window it waits for the window's creation.
    void applyNativeInputPolicy();

    // The union of the valid rectangles of a list of region records.
    static QRegion regionFromList(const QVariantList &list);

signals:
    void clickThroughChanged();

protected:
    bool event(QEvent *e) override;
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
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
    std::unique_ptr<OverlayPlatform> m_platform;
    // Only where the styles follow the pointer: polls it while interactive parts exist.
    QTimer m_pointerPoll;
    bool m_pointerOver = false;
    bool m_followQueued = false;
};
