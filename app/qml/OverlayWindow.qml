// One transparent overlay per display: shows the calipers of that display, lets
// the user select, move, resize and remove them, and tells the native window
// which rectangles are painted (the mask), which are actually drawn (all that a
// desktop without transparency shows) and which take the mouse. Everywhere else
// the pointer reaches the application underneath.
import QtQuick
import ZRNCalipers as Zrn
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

    // The calipers as last shown (see shownCalipers), read by the paint pass.
    property var shown: []

    // Device pixels per logical pixel of this overlay's display.
    readonly property real pixelRatio: Screen.devicePixelRatio > 0 ? Screen.devicePixelRatio : 1

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
    QtObject {
        id: look
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
        font.family: look.labelFamily
        font.weight: look.labelWeight
        font.pixelSize: look.labelPixelSize
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

    // A vertical line at `at` from `from` to `to` (or a horizontal one), as filled
    // rectangles on the device-pixel grid: the line width rounded to whole device
    // pixels (at least one) and every edge on a pixel boundary, so that a line shows
    // at full colour instead of blurred over half-covered pixels. A dashed line
    // starts its pattern at `from`, in whole device pixels too.
    function gridLine(vertical, at, from, to, dashed) {
        const s = pixelRatio
        const thickness = Math.max(1, Math.round(look.lineWidth * s))
        const across = roundHalfUp(at * s - thickness / 2)
        const first = roundHalfUp(from * s)
        const last = roundHalfUp(to * s)
        const direction = last >= first ? 1 : -1
        const length = Math.abs(last - first)
        const on = dashed ? Math.max(1, roundHalfUp(look.referenceDash[0] * s)) : length
        const off = dashed ? Math.max(1, roundHalfUp(look.referenceDash[1] * s)) : 0
        const rects = []
        for (let done = 0; done < length; done += on + off) {
            const piece = Math.min(on, length - done)
            const a = first + direction * done
            const low = Math.min(a, a + direction * piece)
            rects.push(vertical ? { x: across / s, y: low / s, width: thickness / s, height: piece / s }
                                : { x: low / s, y: across / s, width: piece / s, height: thickness / s })
        }
        return rects
    }

    // The shape of a caliper with the given geometry, for the regions, the drawn
    // shape and the paint pass alike: the span of its vertical lines, its horizontal
    // extent, the end of its horizontal line (a rhythm caliper's runs on over its
    // repeats), its rhythm markers, and what is drawn: the lines, the handles and
    // the hover ring.
    function caliperShape(kind, startX, endX, y, selected, hoverPart) {
        const extent = extentForKind(kind)
        const span = spanOf(kind, y)
        const interval = endX - startX
        const rhythm = kind === "Rhythm"
        const dashed = kind === "Reference"
        const middle = (startX + endX) / 2
        const tick = look.markerFraction * extent
        const markers = { top: Math.max(0, y - tick / 2), bottom: Math.min(height, y + tick / 2), xs: [] }
        if (rhythm) {
            for (let k = 1; k <= rhythmMarkerCount; ++k)
                markers.xs.push(endX + interval * k)
        }
        const extensionEnd = rhythm ? endX + interval * rhythmMarkerCount : endX

        let lines = gridLine(false, y, startX, extensionEnd, dashed)
        lines = lines.concat(gridLine(true, startX, span.top, span.bottom, dashed),
                             gridLine(true, endX, span.top, span.bottom, dashed))
        for (let i = 0; i < markers.xs.length; ++i)
            lines = lines.concat(gridLine(true, markers.xs[i], markers.top, markers.bottom, false))

        const side = selected ? look.selectedHandleSide : look.handleSide
        const handles = [startX, endX, middle].map(x => ({ x: x, y: y, side: side }))
        const ringX = hoverPart === "left" ? startX : (hoverPart === "right" ? endX : middle)
        const ring = hoverPart !== "" ? { x: ringX, y: y, side: look.hoverRingSide } : null

        return {
            span: span, left: Math.min(startX, endX), right: Math.max(startX, endX), middle: middle,
            interval: interval, extensionEnd: extensionEnd, markers: markers,
            lines: lines, handles: handles, ring: ring
        }
    }

    // What is drawn of one shown caliper, as rectangles: its lines, its handles, the
    // outline of its hover ring and its label box. Without a compositing manager the
    // window shows only these. Handles and ring leave out the outermost pixel of
    // each rounded corner, which the corner hardly touches and which would show
    // dark; the ring's corners curve inwards by a pixel, which is kept.
    function drawnRectsOf(caliper) {
        const shape = caliper.shape
        const rects = shape.lines.slice()
        const corner = 1
        for (let i = 0; i < shape.handles.length; ++i) {
            const h = shape.handles[i]
            const left = h.x - h.side / 2
            const top = h.y - h.side / 2
            rects.push({ x: left, y: top + corner, width: h.side, height: h.side - 2 * corner },
                       { x: left + corner, y: top, width: h.side - 2 * corner, height: h.side })
        }
        if (shape.ring !== null) {
            const band = look.hoverRingWidth
            const outer = shape.ring.side + band
            const left = shape.ring.x - outer / 2
            const top = shape.ring.y - outer / 2
            rects.push({ x: left + corner, y: top, width: outer - 2 * corner, height: band },
                       { x: left + corner, y: top + outer - band, width: outer - 2 * corner, height: band },
                       { x: left, y: top + corner, width: band, height: outer - 2 * corner },
                       { x: left + outer - band, y: top + corner, width: band, height: outer - 2 * corner },
                       { x: left + band, y: top + band, width: corner, height: corner },
                       { x: left + outer - band - corner, y: top + band, width: corner, height: corner },
                       { x: left + band, y: top + outer - band - corner, width: corner, height: corner },
                       { x: left + outer - band - corner, y: top + outer - band - corner, width: corner,
                         height: corner })
        }
        const box = caliper.box
        rects.push({ x: box.x, y: box.y, width: box.width, height: box.height })
        return rects
    }

    // Every caliper as it is shown now: the preview geometry for the one being
    // dragged, its selection and hover state, its shape, label box and drawn
    // rectangles. While a drag runs only the dragged caliper changes (hover and
    // selection wait for the release), so the others are taken from `previous`.
    function shownCalipers(previous) {
        const dragging = dragRow !== null
        const reuse = dragging && previous.length === rows.length
        const selectedId = controller ? controller.selectedId : 0
        const out = []
        for (let i = 0; i < rows.length; ++i) {
            const row = rows[i]
            const previewed = dragging && row.id === dragRow.id
            if (reuse && !previewed && previous[i].row === row) {
                out.push(previous[i])
                continue
            }
            const startX = previewed ? previewStartX : row.startX
            const endX = previewed ? previewEndX : row.endX
            const lineY = previewed ? previewY : row.y
            const hoverPart = (hoveredRow !== null && hoveredRow.id === row.id) ? hoveredPart : ""
            const entry = {
                row: row,
                shape: caliperShape(row.kind, startX, endX, lineY, row.id === selectedId, hoverPart),
                box: labelBox(liveLabel(row, startX, endX), startX, endX, lineY)
            }
            entry.drawn = drawnRectsOf(entry)
            out.push(entry)
        }
        return out
    }

    // Shows the current state: the drawn shape goes to the window, then the surface
    // repaints the same calipers. `fresh` computes every caliper anew.
    function repaint(fresh) {
        const calipers = shownCalipers(fresh === true ? [] : shown)
        const drawn = []
        for (let i = 0; i < calipers.length; ++i)
            drawn.push(...calipers[i].drawn)
        shown = calipers
        drawnRegions = drawn
        surface.requestPaint()
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
    }

    // Region lists from the current rows: visual first, interactive second; then
    // the drawn shape and a repaint.
    function rebuildRegions() {
        const visual = []
        const interactive = []
        for (let i = 0; i < rows.length; ++i) {
            const row = rows[i]
            const shape = caliperShape(row.kind, row.startX, row.endX, row.y, false, "")
            const span = shape.span
            const left = shape.left
            const right = shape.right
            const spanHeight = Math.max(1, roundHalfUp(span.bottom - span.top))
            const leftLine = regionOf(row.startX - look.lineStripHalf, span.top, 2 * look.lineStripHalf, spanHeight)
            const rightLine = regionOf(row.endX - look.lineStripHalf, span.top, 2 * look.lineStripHalf, spanHeight)
            const primaryLine = regionOf(left, row.y - look.lineStripHalf,
                                         Math.max(1, roundHalfUp(right - left)), 2 * look.lineStripHalf)
            const centerHandle = regionOf(shape.middle - look.centerHandleHalf, row.y - look.centerHandleHalf,
                                          2 * look.centerHandleHalf, 2 * look.centerHandleHalf)
            const leftPaintLine = regionOf(row.startX - look.paintStripHalf, span.top, 2 * look.paintStripHalf, spanHeight)
            const rightPaintLine = regionOf(row.endX - look.paintStripHalf, span.top, 2 * look.paintStripHalf, spanHeight)

            interactive.push(leftLine, rightLine, primaryLine, centerHandle)
            visual.push(leftPaintLine, rightPaintLine, primaryLine, centerHandle)

            if (shape.markers.xs.length > 0) {
                const extensionEnd = shape.extensionEnd
                visual.push(regionOf(Math.min(row.startX, extensionEnd), row.y - look.lineStripHalf,
                                     Math.max(1, roundHalfUp(Math.abs(extensionEnd - row.startX))),
                                     2 * look.lineStripHalf))
                const markers = shape.markers
                for (let k = 0; k < markers.xs.length; ++k) {
                    visual.push(regionOf(markers.xs[k] - look.markerStripHalf, markers.top, 2 * look.markerStripHalf,
                                         Math.max(1, roundHalfUp(markers.bottom - markers.top))))
                }
            }
            visual.push(labelRegion(row))
        }
        // While a drag runs the preview may be painted anywhere on the display.
        visualRegions = dragRow !== null ? [wholeWindow()] : visual
        interactiveRegions = capturesPointer ? [wholeWindow()] : interactive
        repaint()
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
        repaint()
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
        repaint()
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
            const input = Zrn.CorrectionInput.read(qtcValue, qtcMode).value
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
        else
            repaint(true)
    }

    onQtcModeChanged: qtcInputChanged()
    onQtcValueChanged: qtcInputChanged()

    Connections {
        target: overlay.controller
        ignoreUnknownSignals: true
        function onMeasurementsChanged() { overlay.refreshRows() }
        function onSelectedIdChanged() { overlay.repaint(true) }
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
            const calipers = overlay.shown
            for (let i = 0; i < calipers.length; ++i) {
                drawCaliper(ctx, calipers[i].shape, calipers[i].row.color)
                drawLabel(ctx, calipers[i].box)
            }
        }

        // The lines are filled as one path of grid-aligned rectangles, then the
        // handles and the hover ring are drawn over them.
        function drawCaliper(ctx, shape, color) {
            ctx.save()
            ctx.fillStyle = color
            ctx.beginPath()
            for (let i = 0; i < shape.lines.length; ++i) {
                const r = shape.lines[i]
                ctx.rect(r.x, r.y, r.width, r.height)
            }
            ctx.fill()
            for (let i = 0; i < shape.handles.length; ++i) {
                const h = shape.handles[i]
                drawRoundedHandle(ctx, h.x, h.y, h.side, color, "", 0)
            }
            if (shape.ring !== null)
                drawRoundedHandle(ctx, shape.ring.x, shape.ring.y, shape.ring.side, "", look.hoverRingColor,
                                  look.hoverRingWidth)
            ctx.restore()
        }

        function drawRoundedHandle(ctx, centerX, centerY, size, fillColor, strokeColor, strokeWidth) {
            const left = centerX - size / 2
            const top = centerY - size / 2
            const right = left + size
            const bottom = top + size
            const r = Math.min(look.maxHandleRadius, size / 3)
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

        function drawLabel(ctx, box) {
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
            overlay.repaint()
        }
    }
}
