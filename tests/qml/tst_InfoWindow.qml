import QtQuick
import QtQuick.Window
import QtTest
import "qrc:/qt/qml/ZRNCalipers/qml"

TestCase {
    id: testCase
    name: "InfoWindow"

    ThemePalette { id: testTheme }

    Component {
        id: infoComponent
        InfoWindow { themePalette: testTheme }
    }

    property var info: null

    function init() {
        info = createTemporaryObject(infoComponent, null)
        verify(info)
    }

    function child(name) {
        const item = findChild(info.contentItem, name)
        verify(item, name)
        return item
    }

    function display(x, y, w, h) {
        return { stableId: "d", x: x, y: y, width: w, height: h, logicalDpi: 96, devicePixelRatio: 1 }
    }

    function test_openNear_data() {
        return [
            { tag: "beside the anchor", anchorX: 500, anchorY: 300, d: display(0, 0, 1920, 1080), x: 512, y: 266 },
            { tag: "flips left near the right edge", anchorX: 1800, anchorY: 300, d: display(0, 0, 1920, 1080), x: 1358, y: 266 },
            { tag: "exactly fits on the right", anchorX: 1466, anchorY: 300, d: display(0, 0, 1920, 1080), x: 1478, y: 266 },
            { tag: "one pixel too far flips", anchorX: 1467, anchorY: 300, d: display(0, 0, 1920, 1080), x: 1025, y: 266 },
            { tag: "kept inside the top", anchorX: 500, anchorY: 20, d: display(0, 0, 1920, 1080), x: 512, y: 12 },
            { tag: "kept inside the bottom", anchorX: 500, anchorY: 1000, d: display(0, 0, 1920, 1080), x: 512, y: 478 },
            { tag: "display lower than the window: top margin wins", anchorX: 100, anchorY: 100, d: display(0, 0, 800, 600), x: 112, y: 12 },
            { tag: "display narrower than the window: left margin wins", anchorX: 100, anchorY: 100, d: display(0, 0, 400, 700), x: 12, y: 66 },
            { tag: "second display", anchorX: 3100, anchorY: 500, d: display(1920, 0, 1280, 1024), x: 2658, y: 422 },
            { tag: "display left of the primary", anchorX: -1000, anchorY: -500, d: display(-1920, -1080, 1920, 1080), x: -988, y: -602 },
            { tag: "no display: no clamping", anchorX: 5000, anchorY: -20, d: null, x: 5012, y: -54 },
            { tag: "no display: halves round up", anchorX: 100.5, anchorY: 40.5, d: null, x: 113, y: 7 },
            { tag: "no display: negative halves round up", anchorX: -20.5, anchorY: -10.5, d: null, x: -8, y: -44 },
        ]
    }

    function test_openNear(data) {
        verify(!info.visible)
        info.openNear(data.anchorX, data.anchorY, data.d)
        verify(info.visible)
        compare(info.x, data.x)
        compare(info.y, data.y)
        compare(info.width, 430)
        compare(info.height, 590)
    }

    function test_closeHidesAndReopenPlacesAnew() {
        info.openNear(500, 300, display(0, 0, 1920, 1080))
        info.close()
        verify(!info.visible)
        mouseClick(child("closeButton")) // a hidden window ignores it
        info.openNear(1800, 300, display(0, 0, 1920, 1080))
        verify(info.visible)
        compare(info.x, 1358)
        waitForRendering(info.contentItem)
        mouseClick(child("closeButton"))
        verify(!info.visible)
    }

    function test_windowSettings() {
        compare(info.title, "About ZRN Calipers")
        verify(!info.visible)
        compare(info.darkMode, true)
        compare(info.minimumWidth, 430)
        compare(info.maximumWidth, 430)
        compare(info.minimumHeight, 590)
        compare(info.maximumHeight, 590)
        verify(info.flags & Qt.FramelessWindowHint)
        verify(info.flags & Qt.WindowStaysOnTopHint)
    }

    // The identity comes from the same code as in the program.
    function test_applicationIdentity() {
        compare(Qt.application.name, "ZRN Calipers")
        compare(Qt.application.organization, "Halvern Lab")
        compare(Qt.application.version, "3.2.0")
    }

    function test_versionText() {
        compare(child("versionText").text, "Version " + Qt.application.version + " \u00b7 Halvern Lab")
        compare(Qt.application.version, "3.2.0")
    }

    function test_accessibleNames_data() {
        return [
            { tag: "close", name: "closeButton", accessible: "Close About window", description: "" },
            { tag: "website", name: "websiteButton", accessible: "Visit website", description: "Open halvern-lab.example" },
            { tag: "contact", name: "contactButton", accessible: "Contact lab", description: "Open Halvern Lab contact page" },
            { tag: "feedback", name: "feedbackButton", accessible: "Send feedback",
              description: "Open the ZRN Calipers feedback form in your browser" },
        ]
    }

    function test_accessibleNames(data) {
        const button = child(data.name)
        compare(button.Accessible.name, data.accessible)
        compare(button.Accessible.description, data.description)
    }

    function test_linksShareOneHost() {
        for (const link of [info.links.website, info.links.contact, info.links.feedback])
            verify(link.toString().startsWith("https://" + info.links.host + "/"), link)
    }

    function test_layout() {
        info.openNear(100, 100, display(0, 0, 1920, 1080))
        waitForRendering(info.contentItem)
        const website = child("websiteButton")
        const contact = child("contactButton")
        const feedback = child("feedbackButton")
        compare(website.height, 32)
        verify(Math.abs(website.width - contact.width) <= 1)
        compare(feedback.width, 430 - 2 * 16)
        compare(website.width + 7 + contact.width, feedback.width)
        // The bottom link ends at the body's bottom margin.
        compare(feedback.mapToItem(info.contentItem, 0, feedback.height).y, 590 - 16)
        const formula = child("formulaBox")
        const note = child("noteBox")
        verify(formula.height > 20)
        verify(note.y > formula.y + formula.height)
        verify(note.y + note.height < website.mapToItem(note.parent, 0, 0).y)
    }

    function test_theme() {
        info.darkMode = false
        compare(info.theme.panelColor, "#f3f8f6")
        compare(info.theme.borderColor, "#adc8c0")
        compare(child("noteBox").color, "#e5f1ed")
        info.darkMode = true
        compare(info.theme.panelColor, "#081311")
        compare(child("noteBox").color, "#0c211c")
        compare(child("formulaBox").border.color, "#285247")
    }
    function test_bodyFitsAboveTheFooter_data() {
        return [ { tag: "light", dark: false }, { tag: "dark", dark: true } ]
    }

    function test_bodyFitsAboveTheFooter(data) {
        info.darkMode = data.dark
        info.openNear(100, 100, null)
        waitForRendering(info.contentItem)
        const note = child("noteBox")
        const lab = child("labLine")
        const noteBottom = note.mapToItem(info.contentItem, 0, note.height).y
        const labTop = lab.mapToItem(info.contentItem, 0, 0).y
        verify(noteBottom <= labTop, "note box ends at " + noteBottom + ", the footer starts at " + labTop)
        info.hide()
    }
}
