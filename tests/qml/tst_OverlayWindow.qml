import QtQuick
import QtTest

// The per-display overlay: regions, hit testing, dragging, labels and pixels.
// A recording controller stands in for the real one, so that every call the
// overlay makes (and every call it must not make) is visible.
TestCase {
    id: testCase
    name: "OverlayWindow"
    when: windowShown

    readonly property var leftDisplay: ({ x: 0, y: 0, width: 1920, height: 1080, stableId: "L",
                                          name: "Left", logicalDpi: 96, devicePixelRatio: 1 })
    readonly property var rightDisplay: ({ x: 1920, y: 0, width: 1280, height: 1024, stableId: "R",
                                           name: "Right", logicalDpi: 96, devicePixelRatio: 1 })
    readonly property var shortDisplay: ({ x: 0, y: 0, width: 800, height: 300, stableId: "S",
                                           name: "Short", logicalDpi: 96, devicePixelRatio: 1 })

    readonly property color labelFill: Qt.rgba(8 / 255, 19 / 255, 17 / 255, 0.90)

    // The label font, measured independently of the overlay.
    FontMetrics {
        id: labelMetrics
        font.family: ["Segoe UI", "DejaVu Sans", "Liberation Sans", "Noto Sans", "Arial", "Helvetica"]
                     .find(f => Qt.fontFamilies().indexOf(f) >= 0) || "Segoe UI"
        font.weight: 600
        font.pixelSize: 12
    }

    QtObject {
        id: recorder
        property real selectedId: 0
        property var store: []
        property var calls: []
        signal measurementsChanged()

        function measurementsForDisplay(displayId) {
            const out = []
            for (const row of store) {
                if (row.displayId === displayId)
                    out.push(Object.assign({}, row))
            }
            return out
        }
        function removeSelected() {
            calls.push(["removeSelected", selectedId])
            const index = store.findIndex(r => r.id === selectedId)
            if (index < 0)
                return
            store.splice(index, 1)
            selectedId = 0
            measurementsChanged()
        }
        function updateMeasurementGeometry(id, startX, endX, y) {
            calls.push(["update", id, startX, endX, y])
            const row = store.find(r => r.id === id)
            if (!row || !(Math.abs(endX - startX) > 10))
                return false
            row.startX = startX
            row.endX = endX
            row.y = y
            measurementsChanged()
            return true
        }
        function calculateBazettQtc(qtMs, value, mode) {
            const rr = mode === "rate" ? (value > 0 ? 60000 / value : 0) : value
            if (!(qtMs > 0 && rr > 0))
                return 0
            return qtMs / Math.sqrt(rr / 1000)
        }
    }

    function init() {
        recorder.selectedId = 0
        recorder.store = []
        recorder.calls = []
    }

    function row(props) {
        return Object.assign({ id: 1, kind: "Standard", displayId: "R", startX: 200, endX: 400, y: 500,
                               color: "#ff0000", overlayLabel: "200 px", activeReference: false,
                               referenceMatches: false, referenceWidth: 0, referenceDuration: 0 }, props)
    }

    function createOverlay(display, rows, extra) {
        recorder.store = rows || []
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/OverlayWindow.qml")
        compare(component.status, Component.Ready, component.errorString())
        const props = Object.assign({ displayInfo: display, controller: recorder, qtcMode: "rate", qtcValue: "" },
                                    extra || {})
        const overlay = createTemporaryObject(component, testCase, props)
        verify(overlay !== null)
        return overlay
    }

    function showOverlay(display, rows, extra) {
        const overlay = createOverlay(display, rows, extra)
        overlay.visible = true
        verify(waitForRendering(overlay.contentItem))
        return overlay
    }

    function pointerArea(overlay) {
        return findChild(overlay.contentItem, "pointerArea")
    }

    function textWidth(text) {
        let widest = 0
        for (const line of text.split("\n"))
            widest = Math.max(widest, labelMetrics.advanceWidth(line))
        return Math.ceil(widest) + 12
    }

    // Pixels are compared as they show over black, whether or not the grab
    // keeps the window's transparency.
    function overBlack(c) {
        return { r: c.r * c.a, g: c.g * c.a, b: c.b * c.a }
    }

    function sameColour(actual, expected, tolerance) {
        const t = tolerance === undefined ? 0.02 : tolerance
        const a = overBlack(actual)
        const e = overBlack(expected)
        return Math.abs(a.r - e.r) <= t && Math.abs(a.g - e.g) <= t && Math.abs(a.b - e.b) <= t
    }

    // How much of a pixel a shape of the given colour covers, 0..1.
    function coverage(c, of) {
        const a = overBlack(c)
        const e = overBlack(of)
        const strongest = Math.max(e.r, e.g, e.b)
        return strongest === e.r ? a.r / e.r : strongest === e.g ? a.g / e.g : a.b / e.b
    }

    function colourAt(image, x, y) {
        const c = image.pixel(x, y)
        return Qt.rgba(c.r, c.g, c.b, c.a)
    }

    function describe(c) {
        const s = overBlack(c)
        return "(" + Math.round(s.r * 255) + ", " + Math.round(s.g * 255) + ", " + Math.round(s.b * 255) + ")"
    }

    function verifyColour(image, x, y, expected, what) {
        const c = colourAt(image, x, y)
        verify(sameColour(c, expected), what + " at " + x + "," + y + " shows " + describe(c))
    }

    function verifyEmpty(image, x, y, what) {
        const c = colourAt(image, x, y)
        verify(sameColour(c, Qt.rgba(0, 0, 0, 0), 0.012),
               what + " at " + x + "," + y + " should be empty, shows " + describe(c))
    }

    // ---- window --------------------------------------------------------------------

    function test_windowSettings() {
        const overlay = showOverlay(rightDisplay, [])
        compare(overlay.x, 1920)
        compare(overlay.y, 0)
        compare(overlay.width, 1280)
        compare(overlay.height, 1024)
        compare(overlay.clickThrough, false)
        compare(overlay.color.a, 0)
        const wanted = Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.Tool | Qt.WindowDoesNotAcceptFocus
        compare(overlay.flags & wanted, wanted)
        compare(overlay.rhythmMarkerCount, 10)
        const area = pointerArea(overlay)
        compare(area.Accessible.name, "Interactive caliper handles for display Right")
        compare(area.width, 1280)
        compare(area.height, 1024)
        compare(area.acceptedButtons, Qt.LeftButton | Qt.RightButton)
    }

    // ---- geometry --------------------------------------------------------------------

    function test_verticalHeight_data() {
        return [
            { tag: "standard", display: leftDisplay, kind: "Standard", extent: 864 },
            { tag: "rhythm", display: rightDisplay, kind: "Rhythm", extent: 819.2 },
            { tag: "qtc", display: rightDisplay, kind: "QT/QTc", extent: 819.2 },
            { tag: "reference tall display", display: leftDisplay, kind: "Reference", extent: 108 },
            { tag: "reference other display", display: rightDisplay, kind: "Reference", extent: 102.4 },
            { tag: "reference short display", display: shortDisplay, kind: "Reference", extent: 48 },
        ]
    }

    function test_verticalHeight(data) {
        const overlay = createOverlay(data.display, [])
        fuzzyCompare(overlay.verticalHeight(row({ kind: data.kind })), data.extent, 1e-9)
    }

    function test_hitPart_data() {
        return [
            { tag: "close endpoints prefer the start", r: { startX: 300, endX: 312 }, x: 306, y: 600, part: "left" },
            { tag: "close endpoints, end side", r: { startX: 300, endX: 312 }, x: 312, y: 600, part: "right" },
            { tag: "start beats centre", r: { startX: 300, endX: 316 }, x: 305, y: 500, part: "left" },
            { tag: "end beats centre", r: { startX: 300, endX: 316 }, x: 310, y: 505, part: "right" },
            { tag: "centre between close endpoints", r: { startX: 300, endX: 316 }, x: 308, y: 500, part: "move" },
            { tag: "start line at tolerance", r: {}, x: 193, y: 600, part: "left" },
            { tag: "8 px left of start", r: {}, x: 192, y: 600, part: "" },
            { tag: "end line at tolerance", r: {}, x: 407, y: 300, part: "right" },
            { tag: "line at tolerance", r: {}, x: 250, y: 507, part: "move" },
            { tag: "below line", r: {}, x: 250, y: 508, part: "" },
            { tag: "centre handle corner", r: {}, x: 310, y: 510, part: "move" },
            { tag: "outside centre handle", r: {}, x: 300, y: 511, part: "" },
            { tag: "bottom of span", r: {}, x: 200, y: 909, part: "left" },
            { tag: "below span", r: {}, x: 200, y: 910, part: "" },
            { tag: "top of span", r: {}, x: 400, y: 91, part: "right" },
            { tag: "reference inside short span", r: { kind: "Reference" }, x: 200, y: 551, part: "left" },
            { tag: "reference below short span", r: { kind: "Reference" }, x: 200, y: 552, part: "" },
            { tag: "reference above short span", r: { kind: "Reference" }, x: 400, y: 448, part: "" },
            { tag: "reference top of short span", r: { kind: "Reference" }, x: 400, y: 449, part: "right" },
            { tag: "rhythm extension", r: { kind: "Rhythm", endX: 250 }, x: 300, y: 500, part: "" },
            { tag: "rhythm marker", r: { kind: "Rhythm", endX: 250 }, x: 350, y: 520, part: "" },
            { tag: "rhythm measured line", r: { kind: "Rhythm", endX: 250 }, x: 220, y: 500, part: "move" },
            { tag: "label box", r: {}, x: 420, y: 515, part: "" },
            { tag: "reversed start", r: { startX: 400, endX: 200 }, x: 403, y: 600, part: "left" },
            { tag: "reversed end", r: { startX: 400, endX: 200 }, x: 197, y: 600, part: "right" },
            { tag: "reversed line", r: { startX: 400, endX: 200 }, x: 250, y: 495, part: "move" },
        ]
    }

    function test_hitPart(data) {
        const overlay = createOverlay(rightDisplay, [])
        compare(overlay.hitPart(row(data.r), data.x, data.y), data.part)
    }

    function test_rowAt_data() {
        return [
            { tag: "later caliper on top", x: 203, y: 600, id: 2, part: "left" },
            { tag: "later caliper's line", x: 300, y: 500, id: 2, part: "move" },
            { tag: "only the earlier one", x: 400, y: 700, id: 1, part: "right" },
            { tag: "nothing", x: 1000, y: 50, id: 0, part: "" },
            { tag: "on a label", x: 430, y: 515, id: 0, part: "" },
        ]
    }

    function test_rowAt(data) {
        const overlay = createOverlay(rightDisplay, [
            row({ id: 1, startX: 200, endX: 400 }),
            row({ id: 2, startX: 210, endX: 410, y: 500 }),
            row({ id: 3, displayId: "L", startX: 0, endX: 1900 }),
        ])
        const hit = overlay.rowAt(data.x, data.y)
        if (data.id === 0) {
            compare(hit, null)
            return
        }
        verify(hit !== null)
        compare(hit.row.id, data.id)
        compare(hit.part, data.part)
    }

    // ---- region lists -----------------------------------------------------------------

    function test_regions_data() {
        const standardLabel = textWidth("200 px")
        const referenceLabel = textWidth("Ref: 1000 ms\n(200 px)")
        const rhythmLabel = textWidth("50 px")
        const reversedLabel = textWidth("50 px")
        return [
            {
                tag: "standard",
                r: { startX: 200.5, endX: 400, y: 500.5 },
                interactive: [[196, 91, 10, 819], [395, 91, 10, 819], [201, 496, 200, 10], [291, 492, 18, 18]],
                visual: [[191, 91, 20, 819], [390, 91, 20, 819], [201, 496, 200, 10], [291, 492, 18, 18],
                         [410, 508, standardLabel, 24]]
            },
            {
                tag: "reference",
                r: { kind: "Reference", startX: 500, endX: 700, y: 300, activeReference: true,
                     referenceMatches: true, referenceWidth: 200, referenceDuration: 1000,
                     overlayLabel: "Ref: 1000 ms\n(200 px)" },
                interactive: [[495, 249, 10, 102], [695, 249, 10, 102], [500, 295, 200, 10], [591, 291, 18, 18]],
                visual: [[490, 249, 20, 102], [690, 249, 20, 102], [500, 295, 200, 10], [591, 291, 18, 18],
                         [710, 308, referenceLabel, 38]]
            },
            {
                tag: "rhythm",
                r: { kind: "Rhythm", startX: 100, endX: 150, y: 200, overlayLabel: "50 px" },
                interactive: [[95, 0, 10, 610], [145, 0, 10, 610], [100, 195, 50, 10], [116, 191, 18, 18]],
                visual: [[90, 0, 20, 610], [140, 0, 20, 610], [100, 195, 50, 10], [116, 191, 18, 18],
                         [100, 195, 550, 10],
                         [197, 98, 6, 205], [247, 98, 6, 205], [297, 98, 6, 205], [347, 98, 6, 205],
                         [397, 98, 6, 205], [447, 98, 6, 205], [497, 98, 6, 205], [547, 98, 6, 205],
                         [597, 98, 6, 205], [647, 98, 6, 205],
                         [160, 208, rhythmLabel, 23]]
            },
            {
                tag: "rhythm drawn leftwards",
                r: { kind: "Rhythm", startX: 600, endX: 550, y: 200, overlayLabel: "50 px" },
                interactive: [[595, 0, 10, 610], [545, 0, 10, 610], [550, 195, 50, 10], [566, 191, 18, 18]],
                visual: [[590, 0, 20, 610], [540, 0, 20, 610], [550, 195, 50, 10], [566, 191, 18, 18],
                         [50, 195, 550, 10],
                         [497, 98, 6, 205], [447, 98, 6, 205], [397, 98, 6, 205], [347, 98, 6, 205],
                         [297, 98, 6, 205], [247, 98, 6, 205], [197, 98, 6, 205], [147, 98, 6, 205],
                         [97, 98, 6, 205], [47, 98, 6, 205],
                         [560, 208, reversedLabel, 23]]
            },
        ]
    }

    function asRegions(list) {
        return list.map(r => ({ x: r[0], y: r[1], width: r[2], height: r[3] }))
    }

    function plain(list) {
        return JSON.parse(JSON.stringify(list))
    }

    function test_regions(data) {
        const overlay = createOverlay(rightDisplay, [row(data.r)])
        compare(plain(overlay.interactiveRegions), asRegions(data.interactive))
        compare(plain(overlay.visualRegions), asRegions(data.visual))
    }

    function test_regionsWithoutCalipers() {
        const overlay = createOverlay(rightDisplay, [row({ displayId: "L" })])
        compare(plain(overlay.visualRegions), [])
        compare(plain(overlay.interactiveRegions), [])
        compare(overlay.rows.length, 0)
    }

    function test_regionsFollowController() {
        const overlay = createOverlay(rightDisplay, [])
        recorder.store = [row({})]
        recorder.measurementsChanged()
        compare(overlay.rows.length, 1)
        compare(overlay.interactiveRegions.length, 4)
        recorder.store = []
        recorder.measurementsChanged()
        compare(plain(overlay.visualRegions), [])
        compare(plain(overlay.interactiveRegions), [])
    }

    function test_malformedRowsSkipped() {
        const overlay = createOverlay(rightDisplay, [
            row({ id: 1, startX: NaN }),
            row({ id: 2, endX: Infinity }),
            row({ id: 3, y: undefined }),
            row({ id: 4, startX: "200" }),
            row({ id: 5 }),
        ])
        compare(overlay.rows.length, 1)
        compare(overlay.rows[0].id, 5)
        compare(overlay.interactiveRegions.length, 4)
    }

    function test_labelRegionPlacement_data() {
        return [
            // The region follows the label that is drawn: a short label fits on
            // the right even within 160 px of the edge.
            { tag: "short label near right edge", r: { startX: 1000, endX: 1180, y: 500 }, text: "180 px",
              x: 1190, y: 508 },
            { tag: "right edge", r: { startX: 1150, endX: 1270, y: 500 }, text: "120 px",
              x: 1150 - 10 - textWidth("120 px"), y: 508 },
            { tag: "bottom edge", r: { startX: 200, endX: 400, y: 1010 }, text: "200 px",
              x: 410, y: 1010 - 23 - 8 },
            { tag: "bottom right corner", r: { startX: 1150, endX: 1270, y: 1010 }, text: "120 px",
              x: 1150 - 10 - textWidth("120 px"), y: 979 },
            { tag: "never left of 0", r: { startX: 20, endX: 1275, y: 500 }, text: "1255 px",
              x: 0, y: 508 },
            { tag: "three lines above the line", r: { startX: 200, endX: 400, y: 1024 - 10, kind: "QT/QTc" },
              text: "QT/QTc\n– add Ref\n– add RR", x: 410, y: 1014 - 53 - 8 },
        ]
    }

    function test_labelRegionPlacement(data) {
        const overlay = createOverlay(rightDisplay, [row(data.r)])
        const region = overlay.labelRegion(overlay.rows[0])
        const lines = data.text.split("\n").length
        compare(plain(region), { x: data.x, y: data.y, width: textWidth(data.text), height: lines * 15 + 8 })
        const visual = overlay.visualRegions
        compare(plain(visual[visual.length - 1]), plain(region))
    }

    function test_labelRegionNeverAboveTop() {
        const overlay = createOverlay({ x: 0, y: 0, width: 800, height: 40, stableId: "R", name: "Tiny" },
                                      [row({ kind: "QT/QTc", y: 20 })])
        compare(overlay.labelRegion(overlay.rows[0]).y, 0)
    }

    // ---- drawn shape ----------------------------------------------------------------

    // Whether the pixel at x, y lies in the drawn shape, as the window maps it to
    // whole pixels (outwards; this display has scale 1).
    function inDrawn(overlay, x, y) {
        return overlay.drawnRegions.some(r => x >= Math.floor(r.x + 1e-6) && x < Math.ceil(r.x + r.width - 1e-6)
                                              && y >= Math.floor(r.y + 1e-6) && y < Math.ceil(r.y + r.height - 1e-6))
    }

    function test_drawnShapeFollowsCalipers() {
        const overlay = createOverlay(rightDisplay, [])
        compare(plain(overlay.drawnRegions), [], "nothing drawn without calipers")
        recorder.store = [row({})]
        recorder.measurementsChanged()
        verify(overlay.drawnRegions.length > 0)
        recorder.store = [row({ displayId: "L" })]
        recorder.measurementsChanged()
        compare(plain(overlay.drawnRegions), [])
    }

    // The drawn shape holds every pixel the surface paints (but for the faint
    // outermost pixel of a rounded corner), and not the strips around lines and
    // handles that the mask and the mouse take.
    function test_drawnShapeHoldsWhatIsPainted_data() {
        return [
            { tag: "standard", r: { startX: 200, endX: 300.5, y: 150.5 } },
            { tag: "reference, dashed", r: { kind: "Reference", startX: 200.25, endX: 320, y: 150,
                                             activeReference: true, referenceMatches: true, referenceWidth: 120,
                                             referenceDuration: 1000 } },
            { tag: "rhythm", r: { kind: "Rhythm", startX: 200, endX: 230.5, y: 150 } },
            { tag: "qt, three lines", r: { kind: "QT/QTc", startX: 200, endX: 300, y: 120 } },
            { tag: "selected", r: { startX: 200, endX: 300, y: 150 }, selected: true },
            { tag: "hovered", r: { startX: 200, endX: 300, y: 150 }, hover: [300, 250] },
            { tag: "hovered centre, selected", r: { startX: 200.5, endX: 300.5, y: 150.5 }, hover: [250, 152],
              selected: true },
        ]
    }

    function test_drawnShapeHoldsWhatIsPainted(data) {
        const overlay = showOverlay(shortDisplay, [row(Object.assign({ id: 1, displayId: "S", color: "#2dd4bf" },
                                                                     data.r))])
        if (data.selected)
            recorder.selectedId = 1
        if (data.hover) {
            mouseMove(overlay.contentItem, data.hover[0], data.hover[1])
            verify(overlay.hoveredPart !== "")
        }
        const image = grabImage(overlay.contentItem)
        let painted = 0
        for (let y = 0; y < 300; ++y) {
            for (let x = 180; x < 560; ++x) {
                if (sameColour(colourAt(image, x, y), Qt.rgba(0, 0, 0, 0), 0.012))
                    continue
                ++painted
                const c = colourAt(image, x, y)
                if (!inDrawn(overlay, x, y) && coverage(c, Qt.rgba(0x2d / 255, 0xd4 / 255, 0xbf / 255, 1)) > 0.25)
                    fail("painted pixel " + x + "," + y + " outside the drawn shape: " + describe(c))
            }
        }
        verify(painted > 300, "painted: " + painted)
        const left = Math.floor(data.r.startX)
        const end = Math.floor(data.r.endX)
        const y = Math.floor(data.r.y)
        for (const p of [[left + 3, 60], [left - 4, 60], [end + 4, 40], [left + 20, y + 6], [end + 5, y + 12]])
            verify(!inDrawn(overlay, p[0], p[1]), "beside the caliper at " + p + " lies in the drawn shape")
    }

    function test_drawnShapeFollowsDragPreview() {
        const overlay = showOverlay(rightDisplay, [row({ id: 7, startX: 200, endX: 400, y: 300 })])
        const item = overlay.contentItem
        verify(inDrawn(overlay, 400, 600) && !inDrawn(overlay, 600, 600))
        mousePress(item, 400, 350, Qt.LeftButton)
        mouseMove(item, 500, 350, -1, Qt.LeftButton)
        mouseMove(item, 600, 350, -1, Qt.LeftButton)
        // The mask opens to the whole window; the drawn shape is the preview.
        compare(plain(overlay.visualRegions), [{ x: 0, y: 0, width: 1280, height: 1024 }])
        verify(inDrawn(overlay, 600, 600), "the preview line is drawn")
        verify(!inDrawn(overlay, 400, 600), "the stored line is not")
        verify(inDrawn(overlay, 200, 600), "the other line stays")
        verify(!inDrawn(overlay, 800, 900), "nothing else is drawn")
        mouseRelease(item, 600, 350, Qt.LeftButton)
        verify(inDrawn(overlay, 600, 600) && !inDrawn(overlay, 400, 600))
    }

    function test_drawnShapeFollowsHoverAndSelection() {
        const overlay = showOverlay(rightDisplay, [row({ id: 7, startX: 200, endX: 400, y: 300 })])
        // Handle of side 8 around 400, 300: 396..403; the ring's outline: 392..393.
        verify(inDrawn(overlay, 396, 300) && !inDrawn(overlay, 395, 298))
        verify(!inDrawn(overlay, 392, 298))
        mouseMove(overlay.contentItem, 401, 600)
        compare(overlay.hoveredPart, "right")
        verify(inDrawn(overlay, 392, 298) && inDrawn(overlay, 407, 302), "the ring's outline")
        verify(!inDrawn(overlay, 395, 302), "inside the ring")
        mouseMove(overlay.contentItem, 900, 900)
        verify(!inDrawn(overlay, 392, 298), "the ring has gone")
        recorder.selectedId = 7
        verify(inDrawn(overlay, 395, 298), "the selected handle is larger")
    }

    // ---- labels --------------------------------------------------------------------

    function test_liveLabel_data() {
        const ref = { referenceMatches: true, referenceWidth: 200, referenceDuration: 1000 }
        return [
            { tag: "pixels", r: {}, s: 100, e: 200, text: "100 px" },
            { tag: "pixels reversed", r: {}, s: 200, e: 100, text: "100 px" },
            { tag: "pixels half upwards", r: {}, s: 100, e: 200.5, text: "101 px" },
            { tag: "pixels below half", r: {}, s: 100, e: 200.49, text: "100 px" },
            { tag: "calibrated", r: ref, s: 100, e: 200, text: "500 ms\n120 bpm" },
            { tag: "calibrated rhythm", r: Object.assign({ kind: "Rhythm" }, ref), s: 0, e: 66, text: "330 ms\n182 bpm" },
            { tag: "calibrated half upwards", r: ref, s: 0, e: 100.1, text: "501 ms\n120 bpm" },
            { tag: "zero width", r: ref, s: 50, e: 50, text: "0 ms\n0 bpm" },
            { tag: "other display", r: Object.assign({}, ref, { referenceMatches: false }), s: 100, e: 200, text: "100 px" },
            { tag: "no reference width", r: Object.assign({}, ref, { referenceWidth: 0 }), s: 100, e: 200, text: "100 px" },
            { tag: "no reference duration", r: Object.assign({}, ref, { referenceDuration: 0 }), s: 100, e: 200, text: "100 px" },
            { tag: "active reference", r: Object.assign({ kind: "Reference", activeReference: true }, ref, { referenceWidth: 250 }),
              s: 0, e: 250, text: "Ref: 1000 ms\n(250 px)" },
            { tag: "active reference while dragged", r: Object.assign({ kind: "Reference", activeReference: true }, ref),
              s: 0, e: 180.5, text: "Ref: 1000 ms\n(181 px)" },
            { tag: "inactive reference, calibrated", r: Object.assign({ kind: "Reference" }, ref), s: 0, e: 100, text: "500 ms\n120 bpm" },
            { tag: "inactive reference alone", r: { kind: "Reference" }, s: 0, e: 120.5, text: "121 px" },
            { tag: "qt nothing", r: { kind: "QT/QTc" }, s: 0, e: 80, text: "QT/QTc\n– add Ref\n– add RR" },
            { tag: "qt input only", r: { kind: "QT/QTc" }, value: "60", s: 0, e: 80, text: "QT/QTc\n– add Ref" },
            { tag: "qt reference elsewhere", r: Object.assign({ kind: "QT/QTc" }, ref, { referenceMatches: false }),
              value: "60", s: 0, e: 80, text: "QT/QTc\n– add Ref" },
            { tag: "qt empty input", r: Object.assign({ kind: "QT/QTc" }, ref), value: "", s: 0, e: 80,
              text: "QT: 400 ms\nQTc: – add RR" },
            { tag: "qt zero input", r: Object.assign({ kind: "QT/QTc" }, ref), value: "0", s: 0, e: 80,
              text: "QT: 400 ms\nQTc: – add RR" },
            { tag: "qt text input", r: Object.assign({ kind: "QT/QTc" }, ref), value: "abc", s: 0, e: 80,
              text: "QT: 400 ms\nQTc: – add RR" },
            { tag: "qt rate 60", r: Object.assign({ kind: "QT/QTc" }, ref), value: "60", s: 0, e: 80,
              text: "QT: 400 ms\nQTc: 400 ms" },
            { tag: "qt rate 75", r: Object.assign({ kind: "QT/QTc" }, ref), value: "75", s: 0, e: 80,
              text: "QT: 400 ms\nQTc: 447 ms" },
            { tag: "qt rr 640", r: Object.assign({ kind: "QT/QTc" }, ref), mode: "rr", value: "640", s: 0, e: 80,
              text: "QT: 400 ms\nQTc: 500 ms" },
            { tag: "qt rr 810 unrounded qt", r: Object.assign({ kind: "QT/QTc" }, ref), mode: "rr", value: "810",
              s: 0, e: 72.1, text: "QT: 361 ms\nQTc: 401 ms" },
        ]
    }

    function test_liveLabel(data) {
        const overlay = createOverlay(rightDisplay, [],
                                      { qtcMode: data.mode || "rate", qtcValue: data.value || "" })
        compare(overlay.liveLabel(row(data.r), data.s, data.e), data.text)
    }

    function test_enDashes() {
        const overlay = createOverlay(rightDisplay, [])
        const text = overlay.liveLabel(row({ kind: "QT/QTc" }), 0, 80)
        compare(text.split("\u2013").length, 3)
        verify(text.indexOf("-") < 0)
    }

    function test_qtLabelFollowsInput() {
        const ref = { kind: "QT/QTc", referenceMatches: true, referenceWidth: 200, referenceDuration: 1000 }
        const overlay = createOverlay(rightDisplay, [row(Object.assign({ startX: 0, endX: 80 }, ref))])
        const qt = overlay.rows[0]
        compare(overlay.liveLabel(qt, 0, 80), "QT: 400 ms\nQTc: – add RR")
        // The palette's reading: 6 bpm is out of range, and so is an RR of 60 ms.
        overlay.qtcValue = "6"
        compare(overlay.liveLabel(qt, 0, 80), "QT: 400 ms\nQTc: – add RR")
        overlay.qtcValue = "60"
        compare(overlay.liveLabel(qt, 0, 80), "QT: 400 ms\nQTc: 400 ms")
        overlay.qtcMode = "rr"
        compare(overlay.liveLabel(qt, 0, 80), "QT: 400 ms\nQTc: – add RR")
        overlay.qtcValue = "640"
        compare(overlay.liveLabel(qt, 0, 80), "QT: 400 ms\nQTc: 500 ms")
        // The label region follows the text as it is typed.
        const visual = overlay.visualRegions
        compare(visual[visual.length - 1].width, textWidth("QT: 400 ms\nQTc: 500 ms"))
        overlay.qtcValue = ""
        const after = overlay.visualRegions
        compare(after[after.length - 1].width, textWidth("QT: 400 ms\nQTc: – add RR"))
    }

    // ---- pointer -------------------------------------------------------------------

    function test_dragClamps_data() {
        // Caliper 200..400 at y 300 on a 1280 x 1024 display.
        return [
            { tag: "start past end", press: [200, 350], to: [700, 900], s: 400 - 10.01, e: 400, y: 300 },
            { tag: "start past left edge", press: [200, 350], to: [-300, 0], s: 0, e: 400, y: 300 },
            { tag: "start follows", press: [200, 350], to: [150, 380], s: 150, e: 400, y: 300 },
            { tag: "end past start", press: [400, 350], to: [50, 350], s: 200, e: 200 + 10.01, y: 300 },
            { tag: "end past right edge", press: [400, 350], to: [1600, 10], s: 200, e: 1280, y: 300 },
            { tag: "end follows", press: [400, 350], to: [457, 340], s: 200, e: 457, y: 300 },
            { tag: "move to right edge", press: [300, 300], to: [1500, 310], s: 1080, e: 1280, y: 310 },
            { tag: "move to left edge", press: [250, 305], to: [-400, 305], s: 0, e: 200, y: 300 },
            { tag: "move above top", press: [300, 300], to: [310, -800], s: 210, e: 410, y: 0 },
            { tag: "move below bottom", press: [300, 300], to: [290, 1900], s: 190, e: 390, y: 1024 },
        ]
    }

    function test_dragClamps(data) {
        const overlay = showOverlay(rightDisplay, [row({ id: 7, startX: 200, endX: 400, y: 300 })])
        const item = overlay.contentItem
        mousePress(item, data.press[0], data.press[1], Qt.LeftButton)
        mouseMove(item, (data.press[0] + data.to[0]) / 2, (data.press[1] + data.to[1]) / 2, -1, Qt.LeftButton)
        mouseMove(item, data.to[0], data.to[1], -1, Qt.LeftButton)
        compare(overlay.previewStartX, data.s)
        compare(overlay.previewEndX, data.e)
        compare(overlay.previewY, data.y)
        compare(recorder.calls.length, 0, "nothing is sent while dragging")
        mouseRelease(item, data.to[0], data.to[1], Qt.LeftButton)
        compare(plain(recorder.calls), [["update", 7, data.s, data.e, data.y]])
        compare(recorder.selectedId, 7)
    }

    function test_reversedCaliperDrag_data() {
        // Caliper drawn from 400 back to 200 at y 300 on a 1280 x 1024 display.
        return [
            { tag: "start nudged right", press: [400, 350], to: [405, 350], s: 405, e: 200 },
            { tag: "start nudged left", press: [400, 350], to: [396, 350], s: 396, e: 200 },
            { tag: "start stops short of end", press: [400, 350], to: [-500, 350], s: 200 + 10.01, e: 200 },
            { tag: "start stops at right edge", press: [400, 350], to: [1900, 350], s: 1280, e: 200 },
            { tag: "end nudged left", press: [200, 350], to: [195, 350], s: 400, e: 195 },
            { tag: "end stops short of start", press: [200, 350], to: [900, 350], s: 400, e: 400 - 10.01 },
            { tag: "end stops at left edge", press: [200, 350], to: [-600, 350], s: 400, e: 0 },
            { tag: "moved to left edge", press: [300, 300], to: [-500, 300], s: 200, e: 0 },
            { tag: "moved to right edge", press: [300, 300], to: [1800, 300], s: 1280, e: 1080 },
            { tag: "moved a little", press: [300, 300], to: [310, 300], s: 410, e: 210 },
        ]
    }

    function test_reversedCaliperDrag(data) {
        const overlay = showOverlay(rightDisplay, [row({ id: 4, startX: 400, endX: 200, y: 300 })])
        const item = overlay.contentItem
        mousePress(item, data.press[0], data.press[1], Qt.LeftButton)
        mouseMove(item, data.to[0], data.to[1], -1, Qt.LeftButton)
        compare(overlay.previewStartX, data.s)
        compare(overlay.previewEndX, data.e)
        compare(overlay.previewY, 300)
        mouseRelease(item, data.to[0], data.to[1], Qt.LeftButton)
        compare(plain(recorder.calls), [["update", 4, data.s, data.e, 300]])
    }

    // Fixed-seed random drags: every preview keeps the dragged end on its own
    // side of the other, at least 10.01 px away where the display allows it,
    // and inside the display.
    function test_randomDragsKeepInvariants() {
        let seed = 12345
        function random() {
            seed = (seed * 1103515245 + 12345) % 2147483648
            return seed / 2147483648
        }
        const overlay = showOverlay(rightDisplay, [])
        const item = overlay.contentItem
        for (let step = 0; step < 40; ++step) {
            const a = 40 + Math.floor(random() * 1200)
            let b = 40 + Math.floor(random() * 1200)
            if (Math.abs(a - b) < 20)
                b = a < 640 ? a + 30 : a - 30
            recorder.store = [row({ id: 1, startX: a, endX: b, y: 500 })]
            recorder.calls = []
            recorder.measurementsChanged()
            const part = ["left", "right", "move"][Math.floor(random() * 3)]
            const px = part === "left" ? a : part === "right" ? b : (a + b) / 2
            const py = part === "move" ? 500 : 600
            mousePress(item, px, py, Qt.LeftButton)
            compare(overlay.dragPart, part)
            for (let m = 0; m < 3; ++m) {
                mouseMove(item, Math.floor(random() * 1800) - 260, Math.floor(random() * 1400) - 180, -1, Qt.LeftButton)
                const s = overlay.previewStartX
                const e = overlay.previewEndX
                verify(s >= 0 && s <= 1280 && e >= 0 && e <= 1280, "inside the display: " + s + ", " + e)
                verify((s < e) === (a < b), "no flip: " + a + "," + b + " -> " + s + "," + e)
                if (part === "move")
                    fuzzyCompare(e - s, b - a, 1e-9)
                else
                    verify(Math.abs(e - s) >= 10.01 - 1e-9, "gap kept: " + s + ", " + e)
            }
            mouseRelease(item, 0, 0, Qt.LeftButton)
            compare(recorder.calls.length, 1)
        }
    }

    function test_maskDuringDrag() {
        const overlay = showOverlay(rightDisplay, [row({ id: 7, startX: 200, endX: 400, y: 300 })])
        const item = overlay.contentItem
        const visual = plain(overlay.visualRegions)
        const interactive = plain(overlay.interactiveRegions)
        mousePress(item, 300, 300, Qt.LeftButton)
        compare(plain(overlay.visualRegions), [{ x: 0, y: 0, width: 1280, height: 1024 }])
        compare(plain(overlay.interactiveRegions), interactive)
        mouseMove(item, 350, 320, -1, Qt.LeftButton)
        compare(plain(overlay.visualRegions), [{ x: 0, y: 0, width: 1280, height: 1024 }])
        compare(overlay.rows[0].startX, 200, "the stored row is untouched during the drag")
        // Another change arriving mid-drag keeps the whole window painted.
        recorder.measurementsChanged()
        compare(plain(overlay.visualRegions), [{ x: 0, y: 0, width: 1280, height: 1024 }])
        mouseRelease(item, 350, 320, Qt.LeftButton)
        compare(overlay.dragRow, null)
        compare(overlay.dragPart, "")
        verify(JSON.stringify(plain(overlay.visualRegions)) !== JSON.stringify(visual))
        compare(overlay.rows[0].startX, 250)
        compare(overlay.visualRegions.length, 5)
    }

    function test_clickWithoutMovement() {
        const overlay = showOverlay(rightDisplay, [row({ id: 3, startX: 200.25, endX: 400.75, y: 300.5 }),
                                                   row({ id: 4, startX: 600, endX: 800, y: 300 })])
        recorder.selectedId = 4
        mouseClick(overlay.contentItem, 201, 350, Qt.LeftButton)
        compare(plain(recorder.calls), [["update", 3, 200.25, 400.75, 300.5]])
        compare(recorder.selectedId, 3)
    }

    function test_pressOutsideCalipers() {
        const overlay = showOverlay(rightDisplay, [row({ id: 3 })])
        recorder.selectedId = 3
        mousePress(overlay.contentItem, 900, 900, Qt.LeftButton)
        compare(overlay.dragRow, null)
        compare(pointerArea(overlay).pressed, false)
        mouseRelease(overlay.contentItem, 900, 900, Qt.LeftButton)
        compare(recorder.calls.length, 0)
        compare(recorder.selectedId, 3)
        mouseClick(overlay.contentItem, 900, 900, Qt.RightButton)
        compare(recorder.calls.length, 0)
        compare(recorder.store.length, 1)
    }

    function test_rightClickRemovesCaliperUnderPointer() {
        const overlay = showOverlay(rightDisplay, [row({ id: 1, startX: 200, endX: 400 }),
                                                   row({ id: 2, startX: 210, endX: 410 }),
                                                   row({ id: 3, startX: 700, endX: 900 })])
        recorder.selectedId = 3
        mousePress(overlay.contentItem, 396, 600, Qt.RightButton)
        compare(plain(recorder.calls), [["removeSelected", 1]])
        compare(overlay.dragRow, null)
        mouseRelease(overlay.contentItem, 396, 600, Qt.RightButton)
        compare(recorder.calls.length, 1, "no geometry is sent after a right click")
        compare(recorder.store.map(r => r.id), [2, 3])
        compare(overlay.rows.map(r => r.id), [2, 3])
        compare(overlay.interactiveRegions.length, 8)
    }

    function test_cancelledDragSendsNothing() {
        const overlay = showOverlay(rightDisplay, [row({ id: 5, startX: 200, endX: 400, y: 300 })])
        const item = overlay.contentItem
        const visual = plain(overlay.visualRegions)
        const area = pointerArea(overlay)
        mousePress(item, 400, 350, Qt.LeftButton)
        mouseMove(item, 600, 350, -1, Qt.LeftButton)
        compare(overlay.previewEndX, 600)
        area.visible = false    // takes the grab away
        compare(overlay.dragRow, null)
        compare(overlay.dragPart, "")
        compare(plain(overlay.visualRegions), visual)
        area.visible = true
        mouseRelease(item, 600, 350, Qt.LeftButton)
        compare(recorder.calls.length, 0)
        compare(recorder.store[0].endX, 400)
    }

    function test_hoverAndCursor_data() {
        return [
            { tag: "start line", x: 200, y: 700, part: "left", cursor: Qt.SizeHorCursor },
            { tag: "end line", x: 404, y: 450, part: "right", cursor: Qt.SizeHorCursor },
            { tag: "centre handle", x: 300, y: 306, part: "move", cursor: Qt.OpenHandCursor },
            { tag: "line", x: 230, y: 300, part: "move", cursor: Qt.OpenHandCursor },
            { tag: "nothing", x: 900, y: 900, part: "", cursor: Qt.ArrowCursor },
        ]
    }

    function test_hoverAndCursor(data) {
        const overlay = showOverlay(rightDisplay, [row({ id: 9, startX: 200, endX: 400, y: 300 })])
        const area = pointerArea(overlay)
        mouseMove(overlay.contentItem, data.x, data.y)
        compare(overlay.hoveredPart, data.part)
        compare(overlay.hoveredRow === null ? 0 : overlay.hoveredRow.id, data.part === "" ? 0 : 9)
        compare(area.cursorShape, data.cursor)
    }

    function test_cursorDuringDrags() {
        const overlay = showOverlay(rightDisplay, [row({ id: 9, startX: 200, endX: 400, y: 300 })])
        const item = overlay.contentItem
        const area = pointerArea(overlay)

        // An endpoint drag keeps the resize arrows, even over the centre.
        mouseMove(item, 400, 350)
        mousePress(item, 400, 350, Qt.LeftButton)
        mouseMove(item, 300, 300, -1, Qt.LeftButton)
        compare(overlay.hoveredPart, "right")
        compare(area.cursorShape, Qt.SizeHorCursor)
        // Leaving the window while dragging keeps the drag and the shape.
        mouseMove(item, -40, 300, -1, Qt.LeftButton)
        compare(overlay.dragPart, "right")
        compare(overlay.hoveredPart, "right")
        compare(area.cursorShape, Qt.SizeHorCursor)
        mouseRelease(item, -40, 300, Qt.LeftButton)
        compare(plain(recorder.calls), [["update", 9, 200, 200 + 10.01, 300]])
        compare(area.cursorShape, Qt.SizeHorCursor)

        recorder.store = [row({ id: 9, startX: 200, endX: 400, y: 300 })]
        recorder.measurementsChanged()
        // A move drag shows the closed hand; released, the open hand again.
        mouseMove(item, 300, 300)
        compare(area.cursorShape, Qt.OpenHandCursor)
        mousePress(item, 300, 300, Qt.LeftButton)
        compare(area.cursorShape, Qt.ClosedHandCursor)
        mouseMove(item, 330, 300, -1, Qt.LeftButton)
        compare(area.cursorShape, Qt.ClosedHandCursor)
        mouseRelease(item, 330, 300, Qt.LeftButton)
        compare(area.cursorShape, Qt.OpenHandCursor)

        // Leaving without a button clears the hover.
        mouseMove(item, 330, 300)
        mouseMove(item, -40, 300)
        compare(overlay.hoveredRow, null)
        compare(overlay.hoveredPart, "")
        compare(area.cursorShape, Qt.ArrowCursor)
    }

    // ---- pixels --------------------------------------------------------------------

    function test_linesAndDash() {
        const overlay = showOverlay(leftDisplay, [
            row({ id: 1, displayId: "L", startX: 100.5, endX: 300.5, y: 500.5, color: "#ff0000" }),
            row({ id: 2, displayId: "L", kind: "Reference", startX: 700.5, endX: 900.5, y: 500.5, color: "#0000ff" }),
        ])
        const image = grabImage(overlay.contentItem)
        const red = Qt.rgba(1, 0, 0, 1)
        const blue = Qt.rgba(0, 0, 1, 1)
        // Standard: solid over its whole 864 px extent (68.5 .. 932.5).
        for (let y = 70; y <= 930; y += 7)
            verifyColour(image, 100, y, red, "start line")
        verifyColour(image, 200, 500, red, "horizontal line")
        verifyEmpty(image, 100, 66, "above the start line")
        verifyEmpty(image, 100, 934, "below the start line")
        verifyEmpty(image, 101, 300, "beside the start line")
        // Reference: dashed, 108 px high (446.5 .. 554.5).
        let drawn = 0
        let gaps = 0
        let run = 0
        let longest = 0
        for (let y = 448; y <= 490; ++y) {
            const c = colourAt(image, 700, y)
            if (coverage(c, blue) > 0.5) {
                verify(sameColour(c, blue, 0.05), "dash colour " + describe(c))
                ++drawn
                longest = Math.max(longest, ++run)
            } else {
                ++gaps
                run = 0
            }
        }
        verify(drawn > 15 && gaps > 12, "dashed: " + drawn + " drawn, " + gaps + " gaps")
        verify(longest <= 6, "dashes are short: " + longest)
        verifyEmpty(image, 700, 440, "above the short span")
        verifyEmpty(image, 700, 560, "below the short span")
    }

    function test_handleSizes() {
        const overlay = showOverlay(leftDisplay, [
            row({ id: 1, displayId: "L", startX: 400, endX: 600, y: 500.5, color: "#00ff00" }),
            row({ id: 2, displayId: "L", startX: 400, endX: 600, y: 800.5, color: "#00ff00" }),
        ])
        const green = Qt.rgba(0, 1, 0, 1)
        function covered(image, x, y) {
            return coverage(colourAt(image, x, y), green)
        }
        let image = grabImage(overlay.contentItem)
        // Side 8 around whole-pixel x centres: exactly 8 columns, the outer
        // edges (away from the caliper line) checked on the line's row.
        fuzzyCompare(covered(image, 396, 500), 1, 0.05)
        fuzzyCompare(covered(image, 395, 500), 0, 0.05)
        fuzzyCompare(covered(image, 603, 500), 1, 0.05)
        fuzzyCompare(covered(image, 604, 500), 0, 0.05)
        // Centre handle, vertically around y 500.5: 496.5 .. 504.5.
        fuzzyCompare(covered(image, 500, 497), 1, 0.05)
        fuzzyCompare(covered(image, 500, 496), 0.5, 0.15)
        fuzzyCompare(covered(image, 500, 495), 0, 0.05)
        fuzzyCompare(covered(image, 500, 504), 0.5, 0.15)
        fuzzyCompare(covered(image, 500, 505), 0, 0.05)
        // The same caliper lower down, not selected yet.
        fuzzyCompare(covered(image, 395, 800), 0, 0.05)

        recorder.selectedId = 2
        image = grabImage(overlay.contentItem)
        // Side 9: half a pixel more on every side.
        fuzzyCompare(covered(image, 396, 800), 1, 0.05)
        fuzzyCompare(covered(image, 395, 800), 0.5, 0.15)
        fuzzyCompare(covered(image, 394, 800), 0, 0.05)
        fuzzyCompare(covered(image, 604, 800), 0.5, 0.15)
        fuzzyCompare(covered(image, 605, 800), 0, 0.05)
        fuzzyCompare(covered(image, 500, 796), 1, 0.05)
        fuzzyCompare(covered(image, 500, 795), 0, 0.05)
        fuzzyCompare(covered(image, 500, 804), 1, 0.05)
        fuzzyCompare(covered(image, 500, 805), 0, 0.05)
        // The other caliper keeps side 8.
        fuzzyCompare(covered(image, 395, 500), 0, 0.05)
        fuzzyCompare(covered(image, 500, 496), 0.5, 0.15)
    }

    function test_hoverRing() {
        const overlay = showOverlay(leftDisplay, [
            row({ id: 1, displayId: "L", startX: 400, endX: 600, y: 500, color: "#ff0000" }),
        ])
        const ring = Qt.rgba(0x5e / 255, 0xea / 255, 0xd4 / 255, 1)
        let image = grabImage(overlay.contentItem)
        verifyEmpty(image, 392, 502, "no ring before hovering")

        mouseMove(overlay.contentItem, 601, 650)
        compare(overlay.hoveredPart, "right")
        image = grabImage(overlay.contentItem)
        // Side 14, width 2: the outline covers 592..594 and 606..608.
        verifyColour(image, 592, 502, ring, "ring left side")
        verifyColour(image, 593, 502, ring, "ring left side")
        verifyColour(image, 607, 502, ring, "ring right side")
        verifyEmpty(image, 591, 502, "outside the ring")
        verifyEmpty(image, 609, 502, "outside the ring")
        verifyEmpty(image, 595, 502, "no fill inside the ring")
        verifyEmpty(image, 392, 502, "only the hovered part")

        mouseMove(overlay.contentItem, 500, 505)
        compare(overlay.hoveredPart, "move")
        image = grabImage(overlay.contentItem)
        verifyColour(image, 492, 502, ring, "ring around the centre")
        verifyEmpty(image, 592, 502, "ring moved away")

        mouseMove(overlay.contentItem, -30, 505)
        image = grabImage(overlay.contentItem)
        verifyEmpty(image, 492, 502, "ring cleared on leaving")
    }

    function test_rhythmMarkers() {
        const overlay = showOverlay(leftDisplay, [
            row({ id: 1, displayId: "L", kind: "Rhythm", startX: 400.5, endX: 450.5, y: 500.5, color: "#ff0000" }),
        ])
        const image = grabImage(overlay.contentItem)
        const red = Qt.rgba(1, 0, 0, 1)
        // Markers every 50 px up to the tenth at 950.5, 216 px high (392.5 .. 608.5).
        for (let k = 1; k <= 10; ++k) {
            const x = 450 + 50 * k
            verifyColour(image, x, 394, red, "marker " + k + " top")
            verifyColour(image, x, 606, red, "marker " + k + " bottom")
            verifyEmpty(image, x, 390, "above marker " + k)
            verifyEmpty(image, x, 611, "below marker " + k)
            verifyEmpty(image, x - 25, 450, "between markers")
            verifyColour(image, x - 25, 500, red, "extension line")
        }
        verifyEmpty(image, 1000, 450, "no eleventh marker")
        verifyEmpty(image, 1000, 500, "extension ends at the tenth repeat")
    }

    function labelEdges(image, fromX, toX, y) {
        // First and last column of label fill along a row.
        let first = -1
        let last = -1
        for (let x = fromX; x <= toX; ++x) {
            if (sameColour(colourAt(image, x, y), labelFill, 0.03)) {
                if (first < 0)
                    first = x
                last = x
            }
        }
        return [first, last]
    }

    function test_labelBox() {
        const overlay = showOverlay(rightDisplay, [
            row({ id: 1, startX: 100, endX: 300, y: 200 }),
            row({ id: 2, startX: 1150, endX: 1270, y: 500 }),
            row({ id: 3, startX: 500, endX: 700, y: 1010 }),
        ])
        const image = grabImage(overlay.contentItem)
        // Beside the end: x 310, 8 below the line.
        verifyColour(image, 311, 209, labelFill, "label fill")
        verifyEmpty(image, 309, 209, "left of the label")
        verifyEmpty(image, 311, 207, "above the label")
        const width = textWidth("200 px")
        verifyColour(image, 310 + width - 1, 209, labelFill, "label right column")
        verifyEmpty(image, 310 + width, 209, "right of the label")
        verifyColour(image, 311, 208 + 22, labelFill, "label bottom row")
        verifyEmpty(image, 311, 208 + 23, "below the label")
        // Right edge: left of the start, ending 10 px before it.
        compare(labelEdges(image, 900, 1279, 509), [1140 - textWidth("120 px"), 1139])
        verifyEmpty(image, 1275, 509, "nothing at the right edge")
        // Bottom edge: above the line, ending 8 px above it.
        verifyColour(image, 711, 1010 - 9, labelFill, "label above the line")
        verifyEmpty(image, 711, 1010 - 7, "between label and line")
        verifyColour(image, 711, 1010 - 31, labelFill, "label top row")
        verifyEmpty(image, 711, 1010 - 32, "above the label")
        verifyEmpty(image, 711, 1015, "nothing below the line")
    }

    // The mask reserved for a label holds every pixel of the drawn box.
    function test_labelInsideItsRegion_data() {
        return [
            { tag: "near right edge", r: { startX: 1000, endX: 1180, y: 500 } },
            { tag: "qt three lines", r: { kind: "QT/QTc", startX: 1000, endX: 1080, y: 300 } },
            { tag: "qt calibrated", r: { kind: "QT/QTc", startX: 1000, endX: 1080, y: 300, referenceMatches: true,
                                         referenceWidth: 200, referenceDuration: 1000 }, value: "75" },
            { tag: "calibrated wide", r: { startX: 10.5, endX: 1213.25, y: 700.5, referenceMatches: true,
                                           referenceWidth: 2, referenceDuration: 1000 } },
        ]
    }

    function test_labelInsideItsRegion(data) {
        const overlay = showOverlay(rightDisplay, [row(Object.assign({ id: 1, overlayLabel: "1 px" }, data.r))],
                                    { qtcValue: data.value || "" })
        const region = overlay.visualRegions[overlay.visualRegions.length - 1]
        const image = grabImage(overlay.contentItem)
        let fill = 0
        const fromY = Math.max(0, region.y - 30)
        for (let y = fromY; y < Math.min(1024, region.y + region.height + 30); ++y) {
            for (let x = Math.max(0, region.x - 40); x < Math.min(1280, region.x + region.width + 40); ++x) {
                if (!sameColour(colourAt(image, x, y), labelFill, 0.03))
                    continue
                ++fill
                verify(x >= region.x && x < region.x + region.width && y >= region.y && y < region.y + region.height,
                       "label pixel " + x + "," + y + " outside " + JSON.stringify(region))
            }
        }
        verify(fill > 200, "label drawn: " + fill)
    }

    function test_dragPreviewAndLiveLabel() {
        const overlay = showOverlay(leftDisplay, [
            row({ id: 1, displayId: "L", startX: 400.5, endX: 600.5, y: 500.5, color: "#ff0000",
                  referenceMatches: true, referenceWidth: 200, referenceDuration: 1000 }),
        ])
        const item = overlay.contentItem
        mousePress(item, 600, 700, Qt.LeftButton)
        mouseMove(item, 700, 700, -1, Qt.LeftButton)
        const image = grabImage(item)
        const red = Qt.rgba(1, 0, 0, 1)
        verifyColour(image, 700, 300, red, "end line at the preview")
        verifyEmpty(image, 600, 300, "end line left its stored place")
        // The label beside the preview end (x 710.5, not rounded: its first
        // and last columns are half covered), sized for "1500 ms\n40 bpm".
        compare(labelEdges(image, 650, 1000, 511), [711, 710 + textWidth("1500 ms\n40 bpm") - 1])
        mouseRelease(item, 700, 700, Qt.LeftButton)
    }

    function test_selectionRepaints() {
        const overlay = showOverlay(leftDisplay, [
            row({ id: 1, displayId: "L", startX: 400, endX: 600, y: 500, color: "#00ff00" }),
        ])
        verifyEmpty(grabImage(overlay.contentItem), 395, 500, "unselected")
        recorder.selectedId = 1
        verify(coverage(colourAt(grabImage(overlay.contentItem), 395, 500), Qt.rgba(0, 1, 0, 1)) > 0.3,
               "selected handle after selectedIdChanged")
    }

    function test_qtLabelRepaintsWhileTyping() {
        const overlay = showOverlay(leftDisplay, [
            row({ id: 1, displayId: "L", kind: "QT/QTc", startX: 400, endX: 600, y: 500 }),
        ])
        // Three lines (53 px high) without input, two (38 px) with a rate.
        verifyColour(grabImage(overlay.contentItem), 611, 508 + 50, labelFill, "third line")
        overlay.qtcValue = "72"
        verifyEmpty(grabImage(overlay.contentItem), 611, 508 + 50, "two lines once a rate is typed")
        verifyColour(grabImage(overlay.contentItem), 611, 508 + 36, labelFill, "second line")
        overlay.qtcValue = ""
        verifyColour(grabImage(overlay.contentItem), 611, 508 + 50, labelFill, "third line again")
    }
    // ---- with the program's controller ---------------------------------------------

    function createWithController(display) {
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/OverlayWindow.qml")
        compare(component.status, Component.Ready, component.errorString())
        const overlay = createTemporaryObject(component, testCase, { displayInfo: display,
                                                  controller: overlayController, qtcMode: "rate", qtcValue: "" })
        verify(overlay !== null)
        overlay.visible = true
        verify(waitForRendering(overlay.contentItem))
        return overlay
    }

    function test_controllerDragAndRemove() {
        overlayController.clear()
        const id = overlayController.addMeasurement("standard", "R", 96, 1, 200, 400, 300, "#ff0000", 1000)
        verify(id > 0)
        overlayController.addMeasurement("standard", "L", 96, 1, 200, 400, 300, "#ff0000", 1000)
        const right = createWithController(rightDisplay)
        const left = createWithController(leftDisplay)
        compare(right.rows.length, 1)
        compare(right.rows[0].id, id)
        compare(right.interactiveRegions.length, 4)
        const item = right.contentItem

        mousePress(item, 400, 350, Qt.LeftButton)
        mouseMove(item, 450, 360, -1, Qt.LeftButton)
        mouseMove(item, 500, 360, -1, Qt.LeftButton)
        compare(right.liveLabel(right.rows[0], right.previewStartX, right.previewEndX), "300 px")
        compare(overlayController.measurementsForDisplay("R")[0].endX, 400, "nothing stored during the drag")
        mouseRelease(item, 500, 360, Qt.LeftButton)
        compare(overlayController.measurementsForDisplay("R")[0].endX, 500)
        compare(right.rows[0].endX, 500)
        compare(overlayController.selectedId, id)
        compare(left.rows.length, 1, "the other display keeps its caliper")

        mouseClick(item, 250, 300, Qt.RightButton)
        compare(overlayController.measurementsForDisplay("R").length, 0)
        compare(right.rows.length, 0)
        compare(plain(right.visualRegions), [])
        compare(plain(right.interactiveRegions), [])
        compare(overlayController.measurementsForDisplay("L").length, 1)
        overlayController.clear()
        compare(left.rows.length, 0)
    }

    function test_controllerLabels() {
        overlayController.clear()
        overlayController.addMeasurement("reference", "R", 96, 1, 100, 300, 200, "#ff0000", 1000)
        overlayController.addMeasurement("standard", "R", 96, 1, 100, 200, 400, "#ff0000", 1000)
        overlayController.addMeasurement("qtc", "R", 96, 1, 100, 180, 600, "#ff0000", 1000)
        overlayController.addMeasurement("standard", "L", 96, 1, 100, 200, 400, "#ff0000", 1000)
        const right = createWithController(rightDisplay)
        const left = createWithController(leftDisplay)
        const labels = right.rows.map(r => right.liveLabel(r, r.startX, r.endX))
        compare(labels, ["Ref: 1000 ms\n(200 px)", "500 ms\n120 bpm", "QT: 400 ms\nQTc: – add RR"])
        right.qtcValue = "60"
        compare(right.liveLabel(right.rows[2], 100, 180), "QT: 400 ms\nQTc: 400 ms")
        right.qtcMode = "rr"
        right.qtcValue = "640"
        compare(right.liveLabel(right.rows[2], 100, 180), "QT: 400 ms\nQTc: 500 ms")
        compare(left.liveLabel(left.rows[0], 100, 200), "100 px", "a reference calibrates only its own display")
        overlayController.clear()
    }
}
