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

    function panelAt(x, y, height) {
        return Qt.rect(x, y, 190, height === undefined ? 390 : height)
    }

    function test_openNear_data() {
        return [
            { tag: "right of the panel", panel: panelAt(545, 345), d: display(0, 0, 1920, 1080), x: 747, y: 345, h: 590 },
            { tag: "right edge: left of the panel", panel: panelAt(1730, 345), d: display(0, 0, 1920, 1080), x: 1288, y: 345, h: 590 },
            { tag: "bottom edge: kept inside", panel: panelAt(545, 690, 460), d: display(0, 0, 1920, 1080), x: 747, y: 478, h: 590 },
            { tag: "second display", panel: panelAt(3000, 300), d: display(1920, 0, 1280, 1024), x: 2558, y: 300, h: 590 },
            { tag: "640 x 512: shorter, below the header", panel: panelAt(2038, 61), d: display(1920, 0, 640, 512), x: 2038, y: 119, h: 381 },
            { tag: "no display: no clamping", panel: panelAt(5000, -20), d: null, x: 5202, y: -20, h: 590 },
        ]
    }

    function test_openNear(data) {
        verify(!info.visible)
        info.openNear(data.panel, 58, data.d)
        verify(info.visible)
        compare(info.x, data.x)
        compare(info.y, data.y)
        compare(info.width, 430)
        compare(info.height, data.h)
        compare(info.minimumHeight, data.h)
        compare(info.maximumHeight, data.h)
    }

    readonly property var twoScreens: [
        { name: "Left", x: 0, y: 0, width: 1920, height: 1080 },
        { name: "Right", x: 1920, y: 0, width: 1280, height: 1024 },
    ]
    // The second display as 1280 x 1024 at scale 2 is in logical pixels
    // (this Qt's offscreen platform emulates no scale).
    readonly property var smallScreen: [
        { name: "Left", x: 0, y: 0, width: 1920, height: 1080 },
        { name: "Right", x: 1920, y: 0, width: 640, height: 512 },
    ]

    function recordNamed(name) {
        for (const d of displayTopology.displays) {
            if (d.name === name)
                return d
        }
        fail("no display " + name)
    }

    // Beside the panel at every edge of the program's own displays: inside
    // the available area with its margin, never over the panel's header, and
    // every link within reach, by scrolling where the window is shorter.
    function test_staysOnTheDisplay_data() {
        return [
            { tag: "1920 x 1080, middle", screen: "Left", x: 800, y: 300 },
            { tag: "1920 x 1080, right edge", screen: "Left", x: 1920 - 190, y: 300 },
            { tag: "1920 x 1080, left edge", screen: "Left", x: 0, y: 300 },
            { tag: "1920 x 1080, bottom edge", screen: "Left", x: 800, y: 1080 - 460 },
            { tag: "1920 x 1080, top edge", screen: "Left", x: 800, y: 0 },
            { tag: "1920 x 1080, bottom right corner", screen: "Left", x: 1920 - 190, y: 1080 - 390 },
            { tag: "640 x 512, as placed at start", screen: "Right", small: true, x: 1920 + 118, y: 61 },
            { tag: "640 x 512, right edge", screen: "Right", small: true, x: 1920 + 640 - 190, y: 61 },
            { tag: "640 x 512, left edge", screen: "Right", small: true, x: 1920, y: 26, height: 460 },
        ]
    }

    function test_staysOnTheDisplay(data) {
        if (data.small)
            verify(testSupport.setScreens(smallScreen))
        try {
            const d = recordNamed(data.screen)
            const area = d.screen.availableGeometry
            const panel = panelAt(data.x, data.y, data.height)
            info.openNear(panel, 58, d)
            waitForRendering(info.contentItem)
            verify(info.x >= area.x + 12 && info.y >= area.y + 12
                   && info.x + info.width <= area.x + area.width - 12
                   && info.y + info.height <= area.y + area.height - 12,
                   "window " + Qt.rect(info.x, info.y, info.width, info.height) + " in " + area)
            const header = Qt.rect(panel.x, panel.y, panel.width, 58)
            const overlaps = info.x < header.x + header.width && header.x < info.x + info.width
                    && info.y < header.y + header.height && header.y < info.y + info.height
            verify(!overlaps, "window over the panel's header")
            const body = child("bodyView")
            compare(body.interactive, info.height < 590)
            // Scrolled to the end, the last link lies whole inside the window.
            body.contentY = body.contentHeight - body.height
            const feedback = child("feedbackButton")
            tryVerify(() => {
                const bottom = feedback.mapToItem(info.contentItem, 0, feedback.height).y
                const top = feedback.mapToItem(info.contentItem, 0, 0).y
                return top >= 36 && bottom <= info.height
            })
        } finally {
            info.hide()
            if (data.small)
                verify(testSupport.setScreens(twoScreens))
        }
    }

    // In a short window the links come into view as the keyboard reaches them.
    function test_keyboardScrollsTheBody() {
        info.openNear(panelAt(2038, 61), 58, display(1920, 0, 640, 512))
        tryVerify(() => info.active)
        const body = child("bodyView")
        verify(body.interactive)
        compare(body.contentY, 0)
        const feedback = child("feedbackButton")
        feedback.forceActiveFocus(Qt.TabFocusReason)
        tryVerify(() => feedback.mapToItem(info.contentItem, 0, feedback.height).y <= info.height)
        verify(body.contentY > 0)
        info.hide()
    }

    function test_closeButtonShowsKeyboardFocus_data() {
        return [ { tag: "light", dark: false, accent: "#0e7068" }, { tag: "dark", dark: true, accent: "#5eead4" } ]
    }

    function test_closeButtonShowsKeyboardFocus(data) {
        info.darkMode = data.dark
        info.openNear(panelAt(545, 345), 58, display(0, 0, 1920, 1080))
        tryVerify(() => info.active)
        const close = child("closeButton")
        const ring = child("closeFocusRing")
        verify(!ring.visible)
        close.forceActiveFocus(Qt.TabFocusReason)
        verify(ring.visible)
        compare(ring.border.width, 1)
        compare(ring.border.color, Qt.color(data.accent))
        keyClick(Qt.Key_Tab)
        verify(!close.activeFocus)
        verify(!ring.visible)
        info.hide()
    }

    function test_closeHidesAndReopenPlacesAnew() {
        info.openNear(panelAt(545, 345), 58, display(0, 0, 1920, 1080))
        info.close()
        verify(!info.visible)
        mouseClick(child("closeButton")) // a hidden window ignores it
        info.openNear(panelAt(1730, 345), 58, display(0, 0, 1920, 1080))
        verify(info.visible)
        compare(info.x, 1288)
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
        info.openNear(panelAt(100, 100), 58, display(0, 0, 1920, 1080))
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
        info.openNear(panelAt(100, 100), 58, null)
        waitForRendering(info.contentItem)
        const note = child("noteBox")
        const lab = child("labLine")
        const noteBottom = note.mapToItem(info.contentItem, 0, note.height).y
        const labTop = lab.mapToItem(info.contentItem, 0, 0).y
        verify(noteBottom <= labTop, "note box ends at " + noteBottom + ", the footer starts at " + labTop)
        info.hide()
    }
}
