import QtQuick
import QtTest

// Caliper lines at the display's scale: every line, solid or dashed, covers
// whole device pixels at full colour, along its width and at its ends, instead
// of blurring over half-covered pixels. Run once per scale (1, 1.5, 2) on X11.
TestCase {
    id: testCase
    name: "CrispLines"
    when: windowShown

    readonly property color teal: "#2dd4bf"

    function row(props) {
        return Object.assign({ kind: "standard", startX: 100, endX: 300, y: 200 }, props)
    }

    // The program's own controller holds the one caliper the overlay shows.
    function showOverlay(r) {
        const screen = Qt.application.screens[0]
        overlayController.clear()
        verify(overlayController.addMeasurement(r.kind, "S", 96, screen.devicePixelRatio, r.startX, r.endX, r.y,
                                                "#2dd4bf", 1000) !== 0)
        overlayController.selectedId = 0
        const component = Qt.createComponent("qrc:/qt/qml/ZRNCalipers/qml/OverlayWindow.qml")
        compare(component.status, Component.Ready, component.errorString())
        const display = { x: 0, y: 0, width: screen.width, height: screen.height, stableId: "S",
                          name: "Scaled", logicalDpi: 96, devicePixelRatio: screen.devicePixelRatio }
        const overlay = createTemporaryObject(component, testCase, { displayInfo: display,
                                                                     controller: overlayController,
                                                                     qtcMode: "rate", qtcValue: "" })
        verify(overlay !== null)
        overlay.visible = true
        verify(waitForRendering(overlay.contentItem))
        return overlay
    }

    function cleanup() {
        overlayController.clear()
    }

    // "full" at the caliper's colour, "empty", or "partial" for anything between.
    function classify(image, x, y) {
        const c = image.pixel(x, y)
        const shown = { r: c.r * c.a, g: c.g * c.a, b: c.b * c.a }
        const near = (a, b) => Math.abs(a - b) <= 0.02
        if (near(shown.r, teal.r) && near(shown.g, teal.g) && near(shown.b, teal.b))
            return "full"
        if (shown.r < 0.012 && shown.g < 0.012 && shown.b < 0.012)
            return "empty"
        return "partial"
    }

    // Checks one line across, at device coordinate `along` of its length: the
    // pixels near its logical position `at` are whole, between 1 and ceil(scale)
    // of them, and centred within a device pixel of it. Returns how many it saw.
    function checkAcross(image, vertical, at, along, scale, what) {
        const centre = at * scale
        const from = Math.floor(centre) - 4
        let first = -1
        let count = 0
        const seen = []
        for (let p = from; p <= from + 8; ++p) {
            const kind = vertical ? classify(image, p, along) : classify(image, along, p)
            seen.push(kind[0])
            verify(kind !== "partial", what + ": a partly covered pixel at " + p + " across, " + along
                   + " along: " + seen.join(""))
            if (kind === "full") {
                if (first < 0)
                    first = p
                verify(p === first + count, what + ": a gap in the line at " + along + ": " + seen.join(""))
                ++count
            }
        }
        if (count > 0) {
            verify(count >= Math.floor(scale) && count <= Math.ceil(scale),
                   what + ": " + count + " pixels wide at scale " + scale)
            verify(Math.abs(first + count / 2 - centre) <= 1,
                   what + ": drawn at " + first + ".." + (first + count - 1) + " for " + centre)
        }
        return count
    }

    // A whole line from `from` to `to` (logical), leaving out the stretches where
    // handles sit (12 logical pixels around them) and where markers cross it (2).
    // Returns the device pixels along it that are drawn.
    function checkLine(image, vertical, at, from, to, handles, markers, scale, what) {
        const low = Math.floor(Math.min(from, to) * scale) - 3
        const high = Math.ceil(Math.max(from, to) * scale) + 3
        let drawn = 0
        for (let along = Math.max(0, low); along <= Math.min(high, (vertical ? image.height : image.width) - 1);
             ++along) {
            if (handles.some(h => Math.abs(along - h * scale) <= 12 * scale)
                    || markers.some(m => Math.abs(along - m * scale) <= 2 * scale))
                continue
            if (checkAcross(image, vertical, at, along, scale, what) > 0)
                ++drawn
        }
        return drawn
    }

    // Where the lines of a caliper lie, in logical pixels.
    function expectedShape(r, height) {
        const extent = r.kind === "reference" ? Math.max(48, 0.10 * height) : 0.80 * height
        const interval = r.endX - r.startX
        const tick = 0.25 * extent
        const markers = { top: Math.max(0, r.y - tick / 2), bottom: Math.min(height, r.y + tick / 2), xs: [] }
        if (r.kind === "rhythm") {
            for (let k = 1; k <= 10; ++k)
                markers.xs.push(r.endX + interval * k)
        }
        return {
            span: { top: Math.max(0, r.y - extent / 2), bottom: Math.min(height, r.y + extent / 2) },
            extensionEnd: r.endX + interval * 10,
            markers: markers
        }
    }

    function test_lines_data() {
        return [
            { tag: "whole pixels", r: { startX: 100, endX: 300, y: 200 } },
            { tag: "half pixels", r: { startX: 100.5, endX: 250.5, y: 200.5 } },
            { tag: "quarter pixels", r: { startX: 100.25, endX: 250.75, y: 199.75 } },
            { tag: "thirds", r: { startX: 100 + 1 / 3, endX: 250 + 2 / 3, y: 200 + 1 / 3 } },
            { tag: "dashed", r: { kind: "reference", startX: 100.25, endX: 300.5, y: 200.75 } },
            { tag: "dashed leftwards", r: { kind: "reference", startX: 300.5, endX: 100.25, y: 200.25 } },
            { tag: "rhythm markers", r: { kind: "rhythm", startX: 50.5, endX: 80.25, y: 200.5 } },
        ]
    }

    function test_lines(data) {
        const r = row(data.r)
        const overlay = showOverlay(r)
        const scale = Qt.application.screens[0].devicePixelRatio
        // The grab holds device pixels; Qt 6.4 crops it to the item's logical size,
        // which still holds the upper part of every line below. A line at least
        // floor(scale) pixels wide shows that the grab is not scaled down.
        const image = grabImage(overlay.contentItem)

        const shape = expectedShape(r, overlay.height)
        const handles = [r.startX, r.endX, (r.startX + r.endX) / 2]
        const dashed = r.kind === "reference"
        const spanLength = (Math.min(shape.span.bottom * scale, image.height) - shape.span.top * scale)
        for (const x of [r.startX, r.endX]) {
            const drawn = checkLine(image, true, x, shape.span.top, shape.span.bottom, [r.y], [], scale,
                                    "line at " + x)
            verify(drawn > (dashed ? 0.4 : 0.9) * (spanLength - 24 * scale), "line at " + x + " drawn: " + drawn)
            if (dashed)
                verify(drawn < 0.7 * spanLength, "line at " + x + " is dashed: " + drawn)
        }
        const lineEnd = r.kind === "rhythm" ? shape.extensionEnd : r.endX
        const width = Math.abs(lineEnd - r.startX) * scale
        const across = checkLine(image, false, r.y, r.startX, lineEnd, handles, shape.markers.xs, scale,
                                 "horizontal line")
        verify(across > (dashed ? 0.3 : 0.5) * width, "horizontal line drawn: " + across)
        // Markers above the line: below it the label box lies over the first ones.
        for (const x of shape.markers.xs)
            verify(checkLine(image, true, x, shape.markers.top, r.y - 12, [r.y], [], scale,
                             "marker at " + x) > 0, "marker at " + x)
        compare(shape.markers.xs.length, r.kind === "rhythm" ? 10 : 0)
    }
}
