#pragma once

// Where the panel's windows of their own open, in global logical pixels: the
// duration list at its selector, the information window beside the panel.
// Both stay inside the available area of their display; where the full size
// does not fit, they get shorter (and their content scrolls).

#include <QObject>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

class PopupPlacement : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit PopupPlacement(QObject *parent = nullptr);

    // A list for a selector: centred under it, gap pixels below; above it
    // where it fits only there; otherwise shorter, on the side with more room.
    // Kept inside area horizontally.
    Q_INVOKABLE QRect dropDown(const QRectF &selector, const QSizeF &size, double gap,
                               const QRectF &area) const;

    // A window beside the panel, margin pixels from it and from the area's
    // edges: to its right, else to its left, else below it, else above it,
    // shortened to no less than minimumHeight where needed; else over the
    // panel's body, but never over its header. An empty area places it to
    // the right, unclamped.
    Q_INVOKABLE QRect besidePanel(const QRectF &panel, double headerHeight, const QSizeF &size,
                                  double minimumHeight, double margin, const QRectF &area) const;
};
