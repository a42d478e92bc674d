// One transparent overlay per display: shows the calipers of that display, lets
// the user select, move, resize and remove them, and tells the native window
// which rectangles are painted (the mask) and which take the mouse. Everywhere
// else the pointer reaches the application underneath.
import QtQuick
import ZRNCalipers.Native 1.0

NativeOverlayWindow {
    id: overlay

    // Given by the control panel.
    required property var displayInfo
    required property var controller
    required property string qtcMode
    required property string qtcValue

    // The calipers of this display, as last fetched from the controller.
    property var rows: []

    // Drag state: the pressed caliper, its part and the geometry shown meanwhile.
    property var dragRow: null
    property string dragPart: ""
    property real pressX: 0
    property real pressY: 0
    property real initialStartX: 0
    property real initialEndX: 0
    property real initialY: 0
    property real previewStartX: 0
    property real previewEndX: 0
    property real previewY: 0

    // Hover state, frozen while a drag runs.
    property var hoveredRow: null
    property string hoveredPart: ""

    readonly property int rhythmMarkerCount: 10

    // A caliper was pressed: the control panel takes the keyboard for it.
    signal caliperPressed()

    // While a list of the control panel is open the whole overlay takes the
    // mouse, so that a press anywhere on the display, also over another
    // program, closes the list and does nothing else.
    property bool capturesPointer: false
    signal capturedPress()
    onCapturesPointerChanged: rebuildRegions()

    // Every size, tolerance and colour of the overlay, in one place.
    readonly property QtObject look: QtObject {
        // Vertical extent of the caliper lines.
        readonly property real referenceMinExtent: 48
        readonly property real referenceExtentFraction: 0.10
        readonly property real extentFraction: 0.80
        readonly property real markerFraction: 0.25

        // Mouse strips and hit tolerances.
        readonly property real lineStripHalf: 5
        readonly property real paintStripHalf: 10
        readonly property real centerHandleHalf: 9
        readonly property real endpointTolerance: 7
        readonly property real centerTolerance: 10
        readonly property real lineTolerance: 7
        readonly property real minimumGap: 10.01
        readonly property real markerStripHalf: 3

        // Lines and handles.
        readonly property real lineWidth: 1
        readonly property var referenceDash: [5, 4]
        readonly property real handleSide: 8
        readonly property real selectedHandleSide: 9
        readonly property real maxHandleRadius: 3
        readonly property real hoverRingSide: 14
        readonly property string hoverRingColor: "#5eead4"
        readonly property real hoverRingWidth: 2

        // Label box.
        // Where "Segoe UI" is missing, the first installed family of the list
        // is named explicitly, so that the canvas and the metrics agree on it.
        readonly property var labelFamilies: ["Segoe UI", "DejaVu Sans", "Liberation Sans", "Noto Sans",
                                              "Arial", "Helvetica"]
        readonly property string labelFamily: {
            const installed = Qt.fontFamilies()
            for (let i = 0; i < labelFamilies.length; ++i) {
                if (installed.indexOf(labelFamilies[i]) >= 0)
                    return labelFamilies[i]
            }
            return labelFamilies[0]
        }
        readonly property int labelWeight: 600
        readonly property int labelPixelSize: 12
        readonly property string labelFont: labelWeight + " " + labelPixelSize + "px '" + labelFamily + "', sans-serif"
        readonly property real labelLineHeight: 15
        readonly property real labelExtraWidth: 12
        readonly property real labelExtraHeight: 8
        readonly property real labelGapX: 10
        readonly property real labelGapY: 8
        readonly property real labelTextInsetX: 6
        readonly property real labelTextInsetY: 4
        readonly property string labelFill: "rgba(8, 19, 17, 0.90)"
        readonly property string labelTextColor: "#ecfdf5"
    }

    x: displayInfo.x
    y: displayInfo.y
    width: displayInfo.width
    height: displayInfo.height
    flags: Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.Tool | Qt.WindowDoesNotAcceptFocus
    color: "transparent"
    clickThrough: false

    // The label font; the label box is sized from these numbers both in the
    // mask and on the canvas, so a label can never stick out of its region.
    FontMetrics {
        id: labelMetrics
        font.family: overlay.look.labelFamily
        font.weight: overlay.look.labelWeight
        font.pixelSize: overlay.look.labelPixelSize
    }

    // Nearest integer, halves towards positive infinity.
    function roundHalfUp(v) {
        return Math.floor(v + 0.5)
    }

    function extentForKind(kind) {
        if (kind === "Reference")
            return Math.max(look.referenceMinExtent, look.referenceExtentFraction * height)
        return look.extentFraction * height
    }

    function verticalHeight(row) {
        return extentForKind(row.kind)
    }

    // Top and bottom of the visible vertical lines of a caliper whose line is at y.
    function spanOf(kind, y) {
        const half = extentForKind(kind) / 2
        return { top: Math.max(0, y - half), bottom: Math.min(height, y + half) }
    }

    function regionOf(x, y, w, h) {
        return { x: roundHalfUp(x), y: roundHalfUp(y), width: w, height: h }
    }

    // The label box of a caliper with the given geometry and text, exactly as
    // it is drawn: x, y, width, height and the lines of text.
    function labelBox(text, startX, endX, y) {
        const lines = String(text).split("\n")
        let widest = 0
        for (let i = 0; i < lines.length; ++i)
            widest = Math.max(widest, labelMetrics.advanceWidth(lines[i]))
        const boxWidth = Math.ceil(widest) + look.labelExtraWidth
        const boxHeight = lines.length * look.labelLineHeight + look.labelExtraHeight
        let bx = endX + look.labelGapX
        if (bx + boxWidth > width)
            bx = startX - boxWidth - look.labelGapX
        bx = Math.max(0, Math.min(width - boxWidth, bx))
        let by = y + look.labelGapY
        if (by + boxHeight > height)
            by = y - boxHeight - look.labelGapY
        by = Math.max(0, by)
        return { x: bx, y: by, width: boxWidth, height: boxHeight, lines: lines }
    }

    // The mask rectangle reserved for a caliper's label: the whole box that the
    // canvas draws for the stored geometry, widened to whole pixels.
    function labelRegion(row) {
        const box = labelBox(liveLabel(row, row.startX, row.endX), row.startX, row.endX, row.y)
        const left = Math.floor(box.x)
        const top = Math.floor(box.y)
        return {
            x: left,
            y: top,
            width: Math.ceil(box.x + box.width) - left,
            height: Math.ceil(box.y + box.height) - top
        }
    }

    function isFiniteNumber(v) {
        return typeof v === "number" && isFinite(v)
    }

    // Rows without a finite geometry are left out: nothing to draw or hit.
    function isUsableRow(row) {
        return row !== null && typeof row === "object"
                && isFiniteNumber(row.startX) && isFiniteNumber(row.endX) && isFiniteNumber(row.y)
    }

    function refreshRows() {
        const fetched = controller ? controller.measurementsForDisplay(displayInfo.stableId) : []
        const usable = []
        if (fetched && fetched.length !== undefined) {
            for (let i = 0; i < fetched.length; ++i) {
                if (isUsableRow(fetched[i]))
                    usable.push(fetched[i])
            }
        }
        rows = usable
        rebuildRegions()
        surface.requestPaint()
    }

    // Region lists from the current rows: visual first, interactive second.
    function rebuildRegions() {
        const visual = []
        const interactive = []
        for (let i = 0; i < rows.length; ++i) {
            const row = rows[i]
            const span = spanOf(row.kind, row.y)
            const left = Math.min(row.startX, row.endX)
            const right = Math.max(row.startX, row.endX)
            const spanHeight = Math.max(1, roundHalfUp(span.bottom - span.top))
            const leftLine = regionOf(row.startX - look.lineStripHalf, span.top, 2 * look.lineStripHalf, spanHeight)
            const rightLine = regionOf(row.endX - look.lineStripHalf, span.top, 2 * look.lineStripHalf, spanHeight)
            const primaryLine = regionOf(left, row.y - look.lineStripHalf,
                                         Math.max(1, roundHalfUp(right - left)), 2 * look.lineStripHalf)
            const centerHandle = regionOf((left + right) / 2 - look.centerHandleHalf, row.y - look.centerHandleHalf,
                                          2 * look.centerHandleHalf, 2 * look.centerHandleHalf)
            const leftPaintLine = regionOf(row.startX - look.paintStripHalf, span.top, 2 * look.paintStripHalf, spanHeight)
            const rightPaintLine = regionOf(row.endX - look.paintStripHalf, span.top, 2 * look.paintStripHalf, spanHeight)

            interactive.push(leftLine, rightLine, primaryLine, centerHandle)
            visual.push(leftPaintLine, rightPaintLine, primaryLine, centerHandle)

            if (row.kind === "Rhythm") {
                const interval = row.endX - row.startX
                const extensionEnd = row.endX + interval * rhythmMarkerCount
                visual.push(regionOf(Math.min(row.startX, extensionEnd), row.y - look.lineStripHalf,
                                     Math.max(1, roundHalfUp(Math.abs(extensionEnd - row.startX))),
                                     2 * look.lineStripHalf))
                const tick = look.markerFraction * verticalHeight(row)
                const tickTop = Math.max(0, row.y - tick / 2)
                const tickBottom = Math.min(height, row.y + tick / 2)
                for (let k = 1; k <= rhythmMarkerCount; ++k) {
                    const tickX = row.endX + interval * k
                    visual.push(regionOf(tickX - look.markerStripHalf, tickTop, 2 * look.markerStripHalf,
                                         Math.max(1, roundHalfUp(tickBottom - tickTop))))
                }
            }
            visual.push(labelRegion(row))
        }
        // While a drag runs the preview may be painted anywhere on the display.
        visualRegions = dragRow !== null ? [wholeWindow()] : visual
        interactiveRegions = capturesPointer ? [wholeWindow()] : interactive
    }

    function wholeWindow() {
        return { x: 0, y: 0, width: width, height: height }
    }

    // Part of a caliper under a point, from its stored geometry.
    function hitPart(row, x, y) {
        const span = spanOf(row.kind, row.y)
        const inSpan = span.top <= y && y <= span.bottom
        if (inSpan && Math.abs(x - row.startX) <= look.endpointTolerance)
            return "left"
        if (inSpan && Math.abs(x - row.endX) <= look.endpointTolerance)
            return "right"
        if (Math.abs(x - (row.startX + row.endX) / 2) <= look.centerTolerance
                && Math.abs(y - row.y) <= look.centerTolerance)
            return "move"
        if (Math.min(row.startX, row.endX) <= x && x <= Math.max(row.startX, row.endX)
                && Math.abs(y - row.y) <= look.lineTolerance)
            return "move"
        return ""
    }

    // The topmost caliper under a point with its part, or null.
    function rowAt(x, y) {
        for (let i = rows.length - 1; i >= 0; --i) {
            const part = hitPart(rows[i], x, y)
            if (part !== "")
                return { row: rows[i], part: part }
        }
        return null
    }

    function updateHover(x, y) {
        const hit = rowAt(x, y)
        const hitId = hit ? hit.row.id : 0
        const hitPartName = hit ? hit.part : ""
        const currentId = hoveredRow !== null ? hoveredRow.id : 0
        if (hitId === currentId && hitPartName === hoveredPart)
            return
        hoveredRow = hit ? hit.row : null
        hoveredPart = hitPartName
        surface.requestPaint()
    }

    function beginDrag(hit, x, y) {
        dragPart = hit.part
        pressX = x
        pressY = y
        initialStartX = hit.row.startX
        initialEndX = hit.row.endX
        initialY = hit.row.y
        previewStartX = initialStartX
        previewEndX = initialEndX
        previewY = initialY
        dragRow = hit.row
        visualRegions = [wholeWindow()]
    }

    // New preview geometry for the pointer at (x, y). An endpoint stays on its
    // own side of the other one, at least the minimum gap away; a caliper drawn
    // from right to left is clamped the same way, mirrored.
    function dragTo(x, y) {
        const dx = x - pressX
        const dy = y - pressY
        const gap = look.minimumGap
        const reversed = initialStartX > initialEndX
        let startX = initialStartX
        let endX = initialEndX
        let lineY = initialY
        if (dragPart === "left") {
            startX = reversed ? Math.min(width, Math.max(initialEndX + gap, initialStartX + dx))
                              : Math.max(0, Math.min(initialEndX - gap, initialStartX + dx))
        } else if (dragPart === "right") {
            endX = reversed ? Math.max(0, Math.min(initialStartX - gap, initialEndX + dx))
                            : Math.min(width, Math.max(initialStartX + gap, initialEndX + dx))
        } else if (dragPart === "move") {
            const w = initialEndX - initialStartX
            const left = Math.min(initialStartX, initialEndX)
            const newLeft = Math.max(0, Math.min(width - Math.abs(w), left + dx))
            startX = newLeft + (initialStartX - left)
            endX = startX + w
            lineY = Math.max(0, Math.min(height, initialY + dy))
        }
        previewStartX = startX
        previewEndX = endX
        previewY = lineY
        surface.requestPaint()
    }

    function finishDrag() {
        if (dragRow !== null)
            controller.updateMeasurementGeometry(dragRow.id, previewStartX, previewEndX, previewY)
        dragRow = null
        dragPart = ""
        refreshRows()
    }

    function cancelDrag() {
        dragRow = null
        dragPart = ""
        refreshRows()
    }

    // The text of a caliper's label for the geometry being shown.
    function liveLabel(row, startX, endX) {
        const widthPx = Math.abs(endX - startX)
        const px = roundHalfUp(widthPx)
        const usableReference = row.referenceMatches === true
                && row.referenceWidth > 0 && row.referenceDuration > 0

        if (row.kind === "Reference" && row.activeReference === true)
            return qsTr("Ref: %1 ms\n(%2 px)").arg(row.referenceDuration).arg(px)

        if (row.kind === "QT/QTc") {
            const input = parseInt(qtcValue, 10)
            const hasInput = isFinite(input) && input > 0
            if (!usableReference)
                return hasInput ? qsTr("QT/QTc\n– add Ref") : qsTr("QT/QTc\n– add Ref\n– add RR")
            const qtMs = widthPx * row.referenceDuration / row.referenceWidth
            if (!hasInput)
                return qsTr("QT: %1 ms\nQTc: – add RR").arg(roundHalfUp(qtMs))
            const qtcMs = controller.calculateBazettQtc(qtMs, input, qtcMode)
            return qsTr("QT: %1 ms\nQTc: %2 ms").arg(roundHalfUp(qtMs)).arg(roundHalfUp(qtcMs))
        }

        if (usableReference) {
            const durationMs = widthPx * row.referenceDuration / row.referenceWidth
            const bpm = durationMs > 0 ? 60000 / durationMs : 0
            return qsTr("%1 ms\n%2 bpm").arg(roundHalfUp(durationMs)).arg(roundHalfUp(bpm))
        }
        return qsTr("%1 px").arg(px)
    }

    // The QT label follows the palette's input while the user types; its box,
    // and so its region, may change size with it.
    function qtcInputChanged() {
        if (dragRow === null)
            rebuildRegions()
        surface.requestPaint()
    }

    onQtcModeChanged: qtcInputChanged()
    onQtcValueChanged: qtcInputChanged()

    Connections {
        target: overlay.controller
        ignoreUnknownSignals: true
        function onMeasurementsChanged() { overlay.refreshRows() }
        function onSelectedIdChanged() { surface.requestPaint() }
    }

    Component.onCompleted: refreshRows()

    Canvas {
        id: surface
        objectName: "caliperSurface"
        anchors.fill: parent
        renderTarget: Canvas.FramebufferObject

        onPaint: paintCalipers()

        function paintCalipers() {
            const ctx = getContext("2d")
            ctx.clearRect(0, 0, width, height)
            const dragging = overlay.dragRow !== null
            const selectedId = overlay.controller ? overlay.controller.selectedId : 0
            const rows = overlay.rows
            for (let i = 0; i < rows.length; ++i) {
                const row = rows[i]
                const previewed = dragging && row.id === overlay.dragRow.id
                const startX = previewed ? overlay.previewStartX : row.startX
                const endX = previewed ? overlay.previewEndX : row.endX
                const lineY = previewed ? overlay.previewY : row.y
                const hoverPart = (overlay.hoveredRow !== null && overlay.hoveredRow.id === row.id)
                        ? overlay.hoveredPart : ""
                drawCaliper(ctx, startX, endX, lineY, row.color, row.kind, row.id === selectedId, hoverPart)
                drawLabel(ctx, startX, endX, lineY, overlay.liveLabel(row, startX, endX))
            }
        }

        function drawCaliper(ctx, startX, endX, y, color, kind, selected, hoverPart) {
            const look = overlay.look
            const extent = overlay.extentForKind(kind)
            const span = overlay.spanOf(kind, y)
            const interval = endX - startX
            const rhythm = kind === "Rhythm"
            const extensionEnd = rhythm ? endX + interval * overlay.rhythmMarkerCount : endX

            ctx.save()
            ctx.strokeStyle = color
            ctx.lineWidth = look.lineWidth
            ctx.setLineDash(kind === "Reference" ? look.referenceDash : [])

            ctx.beginPath()
            ctx.moveTo(startX, y)
            ctx.lineTo(extensionEnd, y)
            ctx.moveTo(startX, span.top)
            ctx.lineTo(startX, span.bottom)
            ctx.moveTo(endX, span.top)
            ctx.lineTo(endX, span.bottom)
            if (rhythm) {
                const tick = look.markerFraction * extent
                const tickTop = Math.max(0, y - tick / 2)
                const tickBottom = Math.min(overlay.height, y + tick / 2)
                for (let k = 1; k <= overlay.rhythmMarkerCount; ++k) {
                    const markerX = endX + interval * k
                    ctx.moveTo(markerX, tickTop)
                    ctx.lineTo(markerX, tickBottom)
                }
            }
            ctx.stroke()
            ctx.setLineDash([])

            const side = selected ? look.selectedHandleSide : look.handleSide
            const middle = (startX + endX) / 2
            drawRoundedHandle(ctx, startX, y, side, color, "", 0)
            drawRoundedHandle(ctx, endX, y, side, color, "", 0)
            drawRoundedHandle(ctx, middle, y, side, color, "", 0)

            if (hoverPart !== "") {
                const ringX = hoverPart === "left" ? startX : (hoverPart === "right" ? endX : middle)
                drawRoundedHandle(ctx, ringX, y, look.hoverRingSide, "", look.hoverRingColor, look.hoverRingWidth)
            }
            ctx.restore()
        }

        function drawRoundedHandle(ctx, centerX, centerY, size, fillColor, strokeColor, strokeWidth) {
            const left = centerX - size / 2
            const top = centerY - size / 2
            const right = left + size
            const bottom = top + size
            const r = Math.min(overlay.look.maxHandleRadius, size / 3)
            ctx.beginPath()
            ctx.moveTo(left + r, top)
            ctx.lineTo(right - r, top)
            ctx.quadraticCurveTo(right, top, right, top + r)
            ctx.lineTo(right, bottom - r)
            ctx.quadraticCurveTo(right, bottom, right - r, bottom)
            ctx.lineTo(left + r, bottom)
            ctx.quadraticCurveTo(left, bottom, left, bottom - r)
            ctx.lineTo(left, top + r)
            ctx.quadraticCurveTo(left, top, left + r, top)
            ctx.closePath()
            if (fillColor !== "") {
                ctx.fillStyle = fillColor
                ctx.fill()
            }
            if (strokeColor !== "") {
                ctx.strokeStyle = strokeColor
                ctx.lineWidth = strokeWidth
                ctx.stroke()
            }
        }

        function drawLabel(ctx, startX, endX, y, text) {
            const look = overlay.look
            const box = overlay.labelBox(text, startX, endX, y)
            ctx.save()
            ctx.font = look.labelFont
            ctx.fillStyle = look.labelFill
            ctx.fillRect(box.x, box.y, box.width, box.height)
            ctx.fillStyle = look.labelTextColor
            ctx.textBaseline = "top"
            for (let i = 0; i < box.lines.length; ++i)
                ctx.fillText(box.lines[i], box.x + look.labelTextInsetX,
                             box.y + look.labelTextInsetY + look.labelLineHeight * i)
            ctx.restore()
        }
    }

    MouseArea {
        id: pointerArea
        objectName: "pointerArea"
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        hoverEnabled: true
        Accessible.name: qsTr("Interactive caliper handles for display %1").arg(overlay.displayInfo.name)
        Accessible.description: qsTr("Drag a caliper's center or line to move it and an endpoint to resize it; right-click removes it. A pressed caliper is selected: in the control panel, Left and Right resize it by one pixel, Up, Down and Ctrl+Left or Right move it, Shift makes the step 10 pixels, Delete removes it and Escape deselects it.")

        cursorShape: {
            if (pressed && overlay.dragPart === "move")
                return Qt.ClosedHandCursor
            if (overlay.hoveredPart === "left" || overlay.hoveredPart === "right")
                return Qt.SizeHorCursor
            if (overlay.hoveredPart === "move")
                return Qt.OpenHandCursor
            return Qt.ArrowCursor
        }

        onPressed: (mouse) => {
            if (overlay.capturesPointer) {
                overlay.capturedPress()
                return
            }
            const hit = overlay.rowAt(mouse.x, mouse.y)
            if (hit === null) {
                mouse.accepted = false
                return
            }
            overlay.controller.selectedId = hit.row.id
            overlay.caliperPressed()
            if (mouse.button === Qt.RightButton) {
                overlay.controller.removeSelected()
                return
            }
            overlay.beginDrag(hit, mouse.x, mouse.y)
        }

        onPositionChanged: (mouse) => {
            if (mouse.buttons === Qt.NoButton || overlay.dragRow === null)
                overlay.updateHover(mouse.x, mouse.y)
            else
                overlay.dragTo(mouse.x, mouse.y)
        }

        // The first hover event inside the window arrives as an entry.
        onEntered: {
            if (!pressed)
                overlay.updateHover(mouseX, mouseY)
        }

        onReleased: overlay.finishDrag()
        onCanceled: overlay.cancelDrag()

        onExited: {
            if (pressed)
                return
            overlay.hoveredRow = null
            overlay.hoveredPart = ""
            surface.requestPaint()
        }
    }
}
