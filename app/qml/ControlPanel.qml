pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Window
import ZRNCalipers as Zrn

// The caliper palette: buttons that create or clear calipers, the reference
// duration, the rate or RR input for the QT correction, the caliper colour and
// a status line. It keeps no measurement state: it writes the shared panel
// state and calls the controller.
Pane {
    id: root

    required property var controller
    required property var appState
    required property var addCaliper
    // The theme of every window, owned by the control panel.
    required property ThemePalette themePalette

    // The theme column that the panel state's dark mode chooses.
    readonly property ThemeColors theme: appState && appState.darkMode ? themePalette.dark
                                                                        : themePalette.light

    // Whether the QTc field or the duration list has the keyboard: keys that
    // adjust calipers stay theirs meanwhile.
    readonly property bool textEntryActive: qtcField.activeFocus
    readonly property bool durationListOpen: durationBox.popup.visible

    // What the QTc input says, read as the QT/QTc labels read it: a usable
    // value, or what is wrong with the text.
    readonly property var correction: Zrn.CorrectionInput.read(appState ? appState.qtcValue : "",
                                                           appState ? appState.qtcMode : "rate")
    readonly property bool correctionInvalid: correction.problem !== ""

    // Height the status line adds to the panel while it shows a message.
    readonly property real statusHeight: statusLine.visible
                                         ? statusLine.height + metrics.sectionSpacing : 0
    // Height the interval count adds while a Standard caliper is selected.
    readonly property real intervalsHeight: intervalRow.visible
                                            ? intervalRow.height + metrics.sectionSpacing : 0

    // The RR taken from a caliper (the controller's), and what the QTc input
    // does with it: while linked, the input shows the caliper's interval.
    readonly property var rrSource: controller && controller.rrSource ? controller.rrSource : null
    readonly property bool rrLinked: rrSource !== null && rrSource.caliperId > 0
    readonly property bool rrPicking: rrSource !== null && rrSource.picking === true
    property bool followingRrSource: false

    // The selected caliper's row while it is a Standard one, else null: the
    // interval count belongs to it.
    readonly property var selectedStandard: {
        const c = controller
        if (!c || !c.selectedId)
            return null
        const rows = c.measurements || []
        for (let i = 0; i < rows.length; ++i) {
            if (rows[i].id === c.selectedId)
                return rows[i].kind === "Standard" ? rows[i] : null
        }
        return null
    }
    readonly property int selectedIntervalCount: selectedStandard && selectedStandard.intervalCount
                                                 ? selectedStandard.intervalCount : 1

    // The swatch or help badge whose tooltip is pending or shown, and its text.
    property Item tooltipAnchor: null
    property string tooltipText: ""

    // The last message about the QTc input, so that it goes once the input is usable.
    property string lastCorrectionProblem: ""

    // How long a controller message stays in the status line.
    property int statusLifetimeMs: 4500

    readonly property var referenceDurations: [25, 50, 100, 200, 250, 400, 500, 1000]
    // The QTc formulas, by the texts the controller reads.
    readonly property var qtcFormulas: [
        { formula: "Bazett", name: QT_TR_NOOP("Bazett") },
        { formula: "Fridericia", name: QT_TR_NOOP("Fridericia") },
        { formula: "Framingham", name: QT_TR_NOOP("Framingham") },
        { formula: "Hodges", name: QT_TR_NOOP("Hodges") }
    ]
    // The interval counts a Standard caliper may have (the controller refuses others).
    readonly property int minIntervalCount: 1
    readonly property int maxIntervalCount: 20
    readonly property var swatches: [
        { name: QT_TR_NOOP("Teal"), color: "#2dd4bf" },
        { name: QT_TR_NOOP("Green"), color: "#4ade80" },
        { name: QT_TR_NOOP("Blue"), color: "#38bdf8" },
        { name: QT_TR_NOOP("Amber"), color: "#fbbf24" },
        { name: QT_TR_NOOP("Rose"), color: "#fb7185" },
        { name: QT_TR_NOOP("Purple"), color: "#c084fc" },
        { name: QT_TR_NOOP("White"), color: "#ffffff" },
        { name: QT_TR_NOOP("Black"), color: "#000000" }
    ]

    // Sizes, in one place.
    QtObject {
        id: metrics
        readonly property int padding: 8
        readonly property int sectionSpacing: 7
        readonly property int buttonSpacing: 5
        readonly property int buttonHeight: 32
        readonly property int buttonRadius: 7
        readonly property int badgeSize: 15
        readonly property int tooltipDelayMs: 425
        readonly property int tooltipWidth: 238
        readonly property int tooltipPadding: 10
        readonly property int tooltipGap: 8
        readonly property int listWidth: 220
        readonly property int listHeight: 248
        readonly property int listPadding: 4
        readonly property int listGap: 4
        readonly property int listEntryHeight: 30
        readonly property int qtcInputHeight: 30
        readonly property int formulaHeight: 20
        readonly property int rrButtonHeight: 22
        readonly property int markerSize: 8
        readonly property int intervalRowHeight: 22
        readonly property int intervalButtonWidth: 26
        readonly property int swatchSize: 20
        readonly property int swatchSpacing: 2
    }

    // The palette's own colours beside the theme; each is [light, dark].
    QtObject {
        id: look
        readonly property bool dark: root.appState ? root.appState.darkMode : false
        function pick(pair) { return dark ? pair[1] : pair[0] }
        readonly property color warningFill: pick(["#fde8ea", "#351d22"])
        readonly property color warningHoverFill: pick(["#f9d6da", "#46262d"])
        readonly property color warningOutline: pick(["#d45b68", "#a54d5c"])
        readonly property color warningText: pick(["#9f2638", "#fda4af"])
        readonly property color tooltipFill: pick(["#ffffff", "#102620"])
        readonly property color tooltipOutline: pick(["#91b6ac", "#2f6257"])
        readonly property color tooltipText: pick(["#17342e", "#e1f5ef"])
        readonly property color qtcInputFill: pick(["#ffffff", "#102620"])
        readonly property color unitText: pick(["#626967", "#a8b1ae"])
        readonly property color statusText: pick(["#9a6700", "#fbbf24"])
        // Selected text in the QTc field, on the accent.
        readonly property color selectionText: pick(["#ffffff", "#081311"])
        // Every swatch stands out from the panel by its outline (3:1 at least),
        // whatever its own colour: white on light, black on dark.
        readonly property color swatchOutline: pick(["#718780", "#6f8f87"])
    }

    padding: metrics.padding
    background: Rectangle { color: root.theme.panelColor }

    // Creates a caliper of a tool through the panel's function.
    function createCaliper(tool) {
        const add = addCaliper
        if (typeof add === "function")
            add(tool)
    }

    // The delayed tooltip of the colour swatches and the help badges. A show
    // request takes over the anchor and restarts the delay; a hide request
    // counts only for the item that owns the tooltip.
    function requestToolTip(anchorItem, text, show) {
        if (show) {
            tooltipAnchor = anchorItem
            tooltipText = text
            tooltipDelay.restart()
            return
        }
        if (anchorItem !== tooltipAnchor)
            return
        tooltipDelay.stop()
        toolTipWindow.hide()
        tooltipAnchor = null
    }

    // Beside the anchor, flipped to its left where it would cross the right
    // edge of the screen's available area, then kept inside that area.
    function showToolTip() {
        const anchor = tooltipAnchor
        if (!anchor)
            return
        const owner = anchor.Window.window
        // qmllint disable type
        // (this Qt's type information lacks QWindow's screen)
        if (owner)
            toolTipWindow.screen = owner.screen
        // qmllint enable type
        const tipWidth = metrics.tooltipWidth
        const tipHeight = toolTipWindow.logicalHeight
        const vertical = Math.round((anchor.height - tipHeight) / 2)
        let p = anchor.mapToGlobal(anchor.width + metrics.tooltipGap, vertical)
        let px = p.x
        let py = p.y
        if (owner) {
            const area = availableArea(owner)
            if (px + tipWidth > area.x + area.width) {
                p = anchor.mapToGlobal(-tipWidth - metrics.tooltipGap, vertical)
                px = p.x
                py = p.y
            }
            px = Math.max(area.x, Math.min(px, area.x + area.width - tipWidth))
            py = Math.max(area.y, Math.min(py, area.y + area.height - tipHeight))
        }
        toolTipWindow.x = px
        toolTipWindow.y = py
        toolTipWindow.show()
        toolTipWindow.raise()
    }

    // The available area of the screen that shows a window, in global logical
    // pixels: taken from the display list when the screen is in it, else the
    // whole screen.
    function availableArea(win) {
        const info = win.screen
        const list = displayRecords()
        for (let i = 0; i < list.length; ++i) {
            const d = list[i]
            if (d.name === info.name && d.screen && d.screen.availableGeometry)
                return d.screen.availableGeometry
        }
        return Qt.rect(info.virtualX, info.virtualY, info.width, info.height)
    }

    // The available area of the display that shows a global point: from the
    // display list, else the panel window's screen.
    function availableAreaAt(point) {
        const list = displayRecords()
        for (let i = 0; i < list.length; ++i) {
            const d = list[i]
            if (d.x <= point.x && point.x < d.x + d.width && d.y <= point.y && point.y < d.y + d.height)
                return d.screen && d.screen.availableGeometry ? d.screen.availableGeometry
                                                              : Qt.rect(d.x, d.y, d.width, d.height)
        }
        return availableArea(root.Window.window)
    }

    // The program's display records; none where it has not published them.
    function displayRecords() {
        // qmllint disable unqualified
        // (a context property of the program)
        if (typeof displayTopology !== "undefined" && displayTopology && displayTopology.displays)
            return displayTopology.displays
        // qmllint enable unqualified
        return []
    }

    // Under the selector, or above it, or shorter, always inside the display.
    function openDurationList() {
        const corner = durationBox.mapToGlobal(0, 0)
        const selector = Qt.rect(corner.x, corner.y, durationBox.width, durationBox.height)
        const area = availableAreaAt(Qt.point(corner.x + durationBox.width / 2,
                                              corner.y + durationBox.height / 2))
        const placed = Zrn.PopupPlacement.dropDown(selector, Qt.size(metrics.listWidth, metrics.listHeight),
                                               metrics.listGap, area)
        durationListWindow.logicalWidth = placed.width
        durationListWindow.logicalHeight = placed.height
        durationListWindow.x = placed.x
        durationListWindow.y = placed.y
        durationListWindow.show()
        durationListWindow.raise()
    }

    function closeDurationList() {
        durationBox.popup.close()
    }

    function pickDuration(index) {
        if (index < 0 || index >= referenceDurations.length)
            return
        const duration = referenceDurations[index]
        appState.referenceDurationMs = duration
        controller.setReferenceDuration(duration)
    }

    function showStatus(message) {
        statusLine.text = message
        statusTimer.restart()
    }

    // While linked, the input shows the caliper's interval in ms; when the link
    // ends (by the user, or because its caliper can no longer give it), the
    // input empties, and the controller says why where the user did not end it.
    function followRrSource() {
        if (rrLinked) {
            // Linked: the request to press a caliper has been answered.
            if (!followingRrSource)
                statusLine.text = ""
            followingRrSource = true
            appState.qtcMode = "rr"
            appState.qtcValue = rrSource.text
            reportCorrection()
        } else if (followingRrSource) {
            followingRrSource = false
            appState.qtcValue = ""
            reportCorrection()
        }
    }

    // The "RR from caliper" button: waits for a press on a caliper, and a
    // second click (or a click while linked) leaves the RR to the user again.
    function toggleRrSource() {
        if (!controller || !rrSource)
            return
        if (rrLinked || rrPicking)
            controller.endRrLink()
        else
            controller.setRrPicking(true)
    }

    function stepIntervalCount(step) {
        const row = selectedStandard
        if (row && controller)
            controller.setIntervalCount(row.id, selectedIntervalCount + step)
    }

    // A rate or RR that can't be used is named at once, with the range of its
    // unit; once usable, that message goes.
    function reportCorrection() {
        if (correctionInvalid)
            showStatus(correction.problem)
        else if (statusLine.text === lastCorrectionProblem)
            statusLine.text = ""
        lastCorrectionProblem = correction.problem
    }

    Timer {
        id: tooltipDelay
        interval: metrics.tooltipDelayMs
        onTriggered: root.showToolTip()
    }

    Timer {
        id: statusTimer
        objectName: "statusTimer"
        interval: root.statusLifetimeMs
        onTriggered: statusLine.text = ""
    }

    Connections {
        target: root.controller
        ignoreUnknownSignals: true
        function onTransientMessage(message) { root.showStatus(message) }
    }

    Connections {
        target: root.rrSource
        ignoreUnknownSignals: true
        function onChanged() { root.followRrSource() }
    }

    // Another program (or any other window that takes the keyboard) became
    // active: an open list closes, as lists do.
    Connections {
        target: root.Window.window
        ignoreUnknownSignals: true
        function onActiveChanged() {
            if (!root.Window.active)
                durationBox.popup.close()
        }
    }

    component SectionLabel: Text {
        width: parent ? parent.width : implicitWidth
        color: root.theme.secondaryText
        font.pixelSize: 10
        font.weight: Font.DemiBold
        font.letterSpacing: 0.8
        elide: Text.ElideRight
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }

    // A window of its own for what must extend beyond the panel (tooltips, the
    // duration list): frameless, on top, never focused, transparent around its
    // rounded content. X11 keeps a window's device-pixel size when it moves onto
    // a display of another scale; re-applying the logical size restores it.
    component PopupWindow: Window {
        id: popupWindow
        property real logicalWidth: 0
        property real logicalHeight: 0
        flags: Qt.ToolTip | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
               | Qt.WindowDoesNotAcceptFocus
        color: "transparent"
        width: logicalWidth
        height: logicalHeight
        onScreenChanged: {
            width = Qt.binding(() => popupWindow.logicalWidth)
            height = Qt.binding(() => popupWindow.logicalHeight)
        }
    }

    // A rounded tooltip body: the text on the tooltip fill, inset by 10.
    // Sized by itself rather than by its window, whose content size is only
    // known once shown: the window takes its height from the wrapped text.
    component TooltipBody: Rectangle {
        property alias text: tipText.text
        readonly property real textHeight: tipText.implicitHeight
        width: metrics.tooltipWidth
        height: textHeight + 2 * metrics.tooltipPadding
        radius: 8
        color: look.tooltipFill
        border.width: 1
        border.color: look.tooltipOutline
        Text {
            id: tipText
            x: metrics.tooltipPadding
            y: metrics.tooltipPadding
            width: parent.width - 2 * metrics.tooltipPadding
            wrapMode: Text.Wrap
            font.pixelSize: 11
            color: look.tooltipText
        }
    }

    component PaletteButton: Button {
        id: paletteButton
        property string helpText: ""
        property bool warning: false
        readonly property bool pointerHovered: buttonHover.hovered
        readonly property bool badgeHovered: badgeArea.containsMouse
        readonly property Item badge: helpBadge
        // The tooltip window that shows the help text (shared by the palette).
        readonly property Window helpTip: toolTipWindow

        height: metrics.buttonHeight
        implicitHeight: metrics.buttonHeight
        focusPolicy: Qt.TabFocus
        Accessible.name: text
        Accessible.description: helpText

        HoverHandler {
            id: buttonHover
            acceptedDevices: PointerDevice.Mouse | PointerDevice.TouchPad
            cursorShape: Qt.PointingHandCursor
        }

        contentItem: Text {
            leftPadding: paletteButton.helpText !== "" ? 20 : 4
            rightPadding: paletteButton.helpText !== "" ? 20 : 4
            text: paletteButton.text
            font.pixelSize: 11
            font.weight: Font.DemiBold
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            color: paletteButton.warning ? look.warningText : root.theme.primaryText
        }

        // At the right end of the content area, 2 pixels in; outside the content
        // item so that the style's deferred content stays free of ids.
        Rectangle {
            id: helpBadge
            visible: paletteButton.helpText !== ""
            width: metrics.badgeSize
            height: metrics.badgeSize
            radius: metrics.badgeSize / 2
            x: paletteButton.leftPadding + paletteButton.availableWidth - width - 2
            y: paletteButton.topPadding + Math.round((paletteButton.availableHeight - height) / 2)
            color: badgeArea.containsMouse ? root.theme.selectedColor : "transparent"
            border.width: 1
            border.color: badgeArea.containsMouse ? root.theme.accent : root.theme.secondaryText

            Text {
                anchors.centerIn: parent
                text: "i"
                font.pixelSize: 9
                font.bold: true
                color: badgeArea.containsMouse ? root.theme.accent : root.theme.secondaryText
            }

            // Hover only: a click on the badge is a click on the button.
            MouseArea {
                id: badgeArea
                anchors.fill: parent
                hoverEnabled: true
                acceptedButtons: Qt.NoButton
                cursorShape: Qt.PointingHandCursor
                onContainsMouseChanged: root.requestToolTip(helpBadge, paletteButton.helpText,
                                                            containsMouse)
            }
        }

        background: Rectangle {
            radius: metrics.buttonRadius
            color: paletteButton.warning
                   ? (paletteButton.pointerHovered ? look.warningHoverFill : look.warningFill)
                   : (paletteButton.pointerHovered ? root.theme.hoverColor : root.theme.controlColor)
            border.width: 1
            border.color: paletteButton.warning ? look.warningOutline
                                                : (paletteButton.activeFocus ? root.theme.accent
                                                                             : root.theme.themeBorder)
        }
    }

    component UnitButton: Button {
        id: unitButton
        property bool chosen: false
        property int textSize: 9
        readonly property bool pointerHovered: unitHover.hovered
        height: parent ? parent.height : implicitHeight
        padding: 0
        topInset: 0
        bottomInset: 0
        leftInset: 0
        rightInset: 0
        focusPolicy: Qt.TabFocus
        Accessible.role: Accessible.RadioButton
        Accessible.checkable: true
        Accessible.checked: chosen

        HoverHandler {
            id: unitHover
            acceptedDevices: PointerDevice.Mouse | PointerDevice.TouchPad
        }

        contentItem: Text {
            text: unitButton.text
            font.pixelSize: unitButton.textSize
            font.bold: unitButton.chosen
            opacity: unitButton.enabled ? 1 : 0.4
            color: unitButton.chosen ? root.theme.accent : look.unitText
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 4
            color: unitButton.chosen ? root.theme.selectedColor
                                     : (unitButton.pointerHovered ? root.theme.hoverColor : "transparent")
            border.width: unitButton.activeFocus ? 1 : 0
            border.color: root.theme.accent
        }
    }

    Column {
        width: root.availableWidth
        spacing: metrics.sectionSpacing

        SectionLabel { text: qsTr("CALIPER MODE") }

        Column {
            width: parent.width
            spacing: metrics.buttonSpacing

            PaletteButton {
                objectName: "addCaliperButton"
                width: parent.width
                text: qsTr("Add Caliper")
                helpText: qsTr("Add a standard interval caliper with movable and resizable handles.")
                onClicked: root.createCaliper("standard")
            }
            PaletteButton {
                objectName: "addRhythmButton"
                width: parent.width
                text: qsTr("Add Rhythm")
                helpText: qsTr("March out waves with ten additional evenly spaced markers.")
                onClicked: root.createCaliper("rhythm")
            }
            PaletteButton {
                objectName: "referenceButton"
                width: parent.width
                text: qsTr("Reference")
                helpText: qsTr("Add and replace the single active time reference.")
                warning: root.controller ? root.controller.qtNeedsReference === true : false
                onClicked: root.createCaliper("reference")
            }
            PaletteButton {
                objectName: "qtcButton"
                width: parent.width
                text: qsTr("QT/QTc")
                helpText: qsTr("Add or replace the QT interval used for QT and rate-corrected QTc.")
                onClicked: root.createCaliper("qtc")
            }
            PaletteButton {
                objectName: "clearButton"
                width: parent.width
                text: qsTr("Clear All")
                helpText: qsTr("Remove all calipers and clear the QT correction input.")
                onClicked: {
                    root.controller.clear()
                    root.appState.qtcValue = ""
                }
            }
        }

        SectionLabel { text: qsTr("REFERENCE DURATION") }

        ComboBox {
            id: durationBox
            objectName: "durationBox"
            readonly property bool pointerHovered: durationHover.hovered
            readonly property Window listWindow: durationListWindow
            readonly property ListView list: durationList
            width: parent.width
            height: metrics.buttonHeight
            padding: 0
            leftPadding: 0
            rightPadding: 0
            topInset: 0
            bottomInset: 0
            leftInset: 0
            rightInset: 0
            focusPolicy: Qt.TabFocus | Qt.ClickFocus
            model: root.referenceDurations.map(d => qsTr("%1 ms").arg(d))
            currentIndex: root.referenceDurations.indexOf(root.appState.referenceDurationMs)
            Accessible.name: qsTr("Reference duration in milliseconds")
            // Also when the current entry is picked again.
            onActivated: (index) => root.pickDuration(index)

            // Closed, the selector changes nothing on keys: a digit or an arrow
            // one Tab stop off would recalibrate every value on screen. Space,
            // Enter and Alt+Down open the list, where the arrows move and Enter
            // chooses. Other keys (Tab, Escape, Delete) go on as usual.
            property bool openedByEnter: false
            Keys.onPressed: (event) => {
                if (popup.visible)
                    return
                const enter = event.key === Qt.Key_Return || event.key === Qt.Key_Enter
                if (enter || (event.key === Qt.Key_Down && (event.modifiers & Qt.AltModifier))) {
                    openedByEnter = enter
                    popup.open()
                    event.accepted = true
                    return
                }
                if (event.key === Qt.Key_Space)
                    return
                const moves = [Qt.Key_Up, Qt.Key_Down, Qt.Key_Left, Qt.Key_Right, Qt.Key_Home,
                               Qt.Key_End, Qt.Key_PageUp, Qt.Key_PageDown]
                const typed = event.text.length > 0 && event.text.charCodeAt(0) >= 0x20
                              && event.text.charCodeAt(0) !== 0x7f
                if (moves.indexOf(event.key) >= 0 || typed)
                    event.accepted = true
            }
            // The release of the Enter that opened the list would choose at once.
            Keys.onReleased: (event) => {
                if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && openedByEnter) {
                    openedByEnter = false
                    event.accepted = true
                }
            }

            HoverHandler {
                id: durationHover
                acceptedDevices: PointerDevice.Mouse | PointerDevice.TouchPad
            }

            delegate: ItemDelegate {
                id: entry
                required property int index
                required property string modelData
                width: metrics.listWidth - 2 * metrics.listPadding
                height: metrics.listEntryHeight
                padding: 0
                topInset: 0
                bottomInset: 0
                leftInset: 0
                rightInset: 0
                highlighted: durationBox.highlightedIndex === index
                Accessible.name: modelData
                contentItem: Text {
                    leftPadding: 8
                    text: entry.modelData
                    font.pixelSize: 11
                    color: root.theme.primaryText
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                }
                background: Rectangle {
                    radius: 5
                    color: entry.highlighted ? root.theme.selectedColor : "transparent"
                }
            }

            contentItem: Text {
                leftPadding: 10
                rightPadding: 28
                text: durationBox.displayText
                font.pixelSize: 11
                color: root.theme.primaryText
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
            }

            indicator: Text {
                x: durationBox.width - width - 10
                anchors.verticalCenter: parent.verticalCenter
                text: "\u2304"
                font.pixelSize: 15
                color: durationBox.pointerHovered ? root.theme.accent : root.theme.secondaryText
            }

            background: Rectangle {
                radius: metrics.buttonRadius
                color: durationBox.pointerHovered ? root.theme.hoverColor : root.theme.controlColor
                border.width: 1
                border.color: durationBox.activeFocus ? root.theme.accent : root.theme.themeBorder
            }

            // The list lives in a window of its own (below) so that it can be
            // wider than the panel; this empty popup only carries the open state
            // and closes like a list: on Escape, and on a press anywhere outside
            // the list, which it takes so that the control under the pointer
            // does not act. A press in another program deactivates the panel,
            // which closes the list as well; where no window manager moves the
            // focus, the overlays take that press while the list is open.
            popup: Popup {
                width: 0
                height: 0
                padding: 0
                modal: true
                dim: false
                enter: null
                exit: null
                background: null
                contentItem: null
                closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
                onAboutToShow: root.openDurationList()
                onAboutToHide: durationListWindow.hide()
            }

            PopupWindow {
                id: durationListWindow
                objectName: "durationListWindow"
                logicalWidth: metrics.listWidth
                logicalHeight: metrics.listHeight

                Rectangle {
                    anchors.fill: parent
                    radius: 8
                    color: root.theme.controlColor
                    border.width: 1
                    border.color: root.theme.themeBorder

                    // Shorter than its entries where the display has no room
                    // for all: then it scrolls, and follows the highlighted entry.
                    ListView {
                        id: durationList
                        anchors.fill: parent
                        anchors.margins: metrics.listPadding
                        clip: true
                        interactive: contentHeight > height
                        boundsBehavior: Flickable.StopAtBounds
                        model: durationListWindow.visible ? durationBox.delegateModel : null
                        currentIndex: durationBox.highlightedIndex
                        // Opened or moved, the highlighted entry shows. A new
                        // model (at every opening) resets the index: bound again.
                        function showCurrent() {
                            if (count === 0 || height <= 0)
                                return
                            if (currentIndex !== durationBox.highlightedIndex)
                                currentIndex = Qt.binding(() => durationBox.highlightedIndex)
                            if (currentIndex >= 0)
                                positionViewAtIndex(currentIndex, ListView.Contain)
                        }
                        onCountChanged: showCurrent()
                        onHeightChanged: showCurrent()
                        onCurrentIndexChanged: showCurrent()
                        ScrollIndicator.vertical: ScrollIndicator {
                            active: durationList.interactive
                        }
                    }
                }
            }
        }

        Rectangle {
            id: qtcCard
            objectName: "qtcCard"
            // No usable rate or RR: the label reads "– add RR", and the card says so.
            readonly property bool missingInput: root.correction.value === undefined
            readonly property Item input: qtcField
            visible: root.controller ? root.controller.hasQtMeasurement === true : false
            // A hidden field must not keep the keyboard: typing would change a
            // value the user cannot see, and the next QT/QTc caliper would use it.
            onVisibleChanged: {
                if (!visible)
                    qtcField.focus = false
            }
            width: parent.width
            height: cardColumn.implicitHeight + 16
            radius: 7
            color: missingInput ? look.warningFill : root.theme.controlColor
            border.width: 1
            border.color: missingInput ? look.warningOutline : root.theme.themeBorder

            Column {
                id: cardColumn
                x: 8
                y: 8
                width: parent.width - 16
                spacing: 5

                SectionLabel {
                    text: qsTr("QTc CORRECTION")
                    font.letterSpacing: 0.7
                    color: qtcCard.missingInput ? look.warningText : root.theme.secondaryText
                }

                // The formula, Bazett at every start.
                Rectangle {
                    objectName: "formulaBox"
                    width: parent.width
                    height: 2 * metrics.formulaHeight + 3
                    radius: 6
                    color: look.qtcInputFill
                    border.width: 1
                    border.color: root.theme.themeBorder

                    Grid {
                        id: formulaGrid
                        anchors.fill: parent
                        anchors.margins: 1
                        columns: 2
                        spacing: 1

                        Repeater {
                            model: root.qtcFormulas
                            delegate: UnitButton {
                                required property var modelData
                                objectName: "formula" + modelData.formula
                                width: (formulaGrid.width - formulaGrid.spacing) / 2
                                height: metrics.formulaHeight
                                text: qsTr(modelData.name)
                                chosen: root.appState.qtcFormula === modelData.formula
                                Accessible.name: qsTr("QTc by %1").arg(qsTr(modelData.name))
                                onClicked: root.appState.qtcFormula = modelData.formula
                            }
                        }
                    }
                }

                // A text that can't be used is outlined in warning colour even
                // while it is typed, more strongly than an empty field.
                Rectangle {
                    objectName: "qtcInputBox"
                    width: parent.width
                    height: metrics.qtcInputHeight
                    radius: 6
                    clip: true
                    color: look.qtcInputFill
                    border.width: root.correctionInvalid ? 2 : 1
                    // While the RR comes from a caliper, a dot of its colour says which.
                    Rectangle {
                        objectName: "rrMarker"
                        visible: root.rrLinked
                        z: 1
                        x: 6
                        anchors.verticalCenter: parent.verticalCenter
                        width: metrics.markerSize
                        height: metrics.markerSize
                        radius: metrics.markerSize / 2
                        color: root.rrLinked ? root.rrSource.color : "transparent"
                        border.width: 1
                        border.color: root.theme.primaryText
                    }
                    border.color: root.correctionInvalid ? look.warningOutline
                                                         : (qtcField.activeFocus ? root.theme.accent
                                                                                 : (qtcCard.missingInput ? look.warningOutline
                                                                                                         : root.theme.themeBorder))

                    Row {
                        anchors.fill: parent
                        anchors.margins: 1
                        spacing: 0

                        TextField {
                            id: qtcField
                            objectName: "qtcField"
                            width: parent.width - rateButton.width - rrButton.width - 2
                            height: parent.height
                            leftPadding: root.rrLinked ? 4 + metrics.markerSize + 4 : 4
                            rightPadding: 4
                            topPadding: 0
                            bottomPadding: 0
                            background: null
                            // A caliper's interval is not edited: typing, erasing or
                            // pasting ends the link, and the key goes into the
                            // emptied field.
                            readOnly: root.rrLinked
                            Keys.onPressed: (event) => {
                                if (!root.rrLinked)
                                    return
                                const code = event.text.length > 0 ? event.text.charCodeAt(0) : 0
                                const typed = code >= 0x20 && code !== 0x7f
                                const erases = event.key === Qt.Key_Backspace || event.key === Qt.Key_Delete
                                if (!typed && !erases && !event.matches(StandardKey.Paste))
                                    return
                                root.controller.endRrLink()
                                event.accepted = erases
                            }
                            font.pixelSize: 13
                            font.weight: Font.DemiBold
                            color: root.theme.primaryText
                            horizontalAlignment: TextInput.AlignHCenter
                            verticalAlignment: TextInput.AlignVCenter
                            placeholderText: qsTr("Enter value")
                            // The style's placeholder is elided in this narrow field and
                            // vanishes with focus; the one below stays whole until typing.
                            placeholderTextColor: "transparent"
                            enabled: qtcCard.visible
                            inputMethodHints: Qt.ImhDigitsOnly
                            selectionColor: root.theme.accent
                            selectedTextColor: look.selectionText
                            // Takes every keystroke and paste as it is: nothing is
                            // dropped or changed. What can't be used is marked and
                            // named (the reading), and the labels don't use it.
                            // Follows the panel state: Clear All empties it.
                            text: root.appState.qtcValue
                            onTextEdited: {
                                if (root.rrLinked)
                                    root.controller.endRrLink()
                                root.appState.qtcValue = text
                                root.reportCorrection()
                            }
                            Accessible.name: root.appState.qtcMode === "rate"
                                             ? qsTr("Rate in beats per minute")
                                             : qsTr("RR interval in milliseconds")
                            Accessible.description: root.rrLinked
                                                    ? [qsTr("Taken from a caliper; typing ends the link."),
                                                       root.correction.problem].join(" ").trim()
                                                    : root.correction.problem

                            Text {
                                objectName: "qtcPlaceholder"
                                anchors.fill: parent
                                visible: qtcField.length === 0 && qtcField.preeditText === ""
                                text: qtcField.placeholderText
                                font.pixelSize: 11
                                font.weight: Font.DemiBold
                                color: qtcCard.missingInput ? look.warningText : root.theme.secondaryText
                                horizontalAlignment: Text.AlignHCenter
                                verticalAlignment: Text.AlignVCenter
                                Accessible.ignored: true
                            }
                        }

                        Rectangle { width: 1; height: parent.height; color: root.theme.themeBorder }

                        UnitButton {
                            id: rateButton
                            objectName: "rateButton"
                            width: 39
                            text: qsTr("bpm")
                            chosen: root.appState.qtcMode === "rate"
                            Accessible.name: qsTr("Use rate in beats per minute")
                            onClicked: {
                                // A caliper gives milliseconds: a rate is the user's again.
                                if (root.rrLinked)
                                    root.controller.endRrLink()
                                root.appState.qtcMode = "rate"
                                root.reportCorrection()
                            }
                        }

                        Rectangle { width: 1; height: parent.height; color: root.theme.themeBorder }

                        UnitButton {
                            id: rrButton
                            objectName: "rrButton"
                            width: 32
                            text: qsTr("ms")
                            chosen: root.appState.qtcMode === "rr"
                            Accessible.name: qsTr("Use RR interval in milliseconds")
                            onClicked: {
                                root.appState.qtcMode = "rr"
                                root.reportCorrection()
                            }
                        }
                    }
                }

                // The RR measured on the trace: press this, then a Standard caliper.
                Button {
                    id: rrSourceButton
                    objectName: "rrSourceButton"
                    readonly property bool chosen: root.rrLinked || root.rrPicking
                    readonly property bool pointerHovered: rrHover.hovered
                    width: parent.width
                    height: metrics.rrButtonHeight
                    padding: 0
                    topInset: 0
                    bottomInset: 0
                    leftInset: 0
                    rightInset: 0
                    focusPolicy: Qt.TabFocus
                    text: root.rrPicking ? qsTr("Press a Standard caliper") : qsTr("RR from caliper")
                    Accessible.role: Accessible.CheckBox
                    Accessible.name: qsTr("RR from caliper")
                    Accessible.checkable: true
                    Accessible.checked: chosen
                    Accessible.description: root.rrLinked
                                            ? qsTr("The RR is the interval of a caliper; press to enter it again.")
                                            : qsTr("Press, then press a Standard caliper to take the RR from it.")
                    onClicked: root.toggleRrSource()

                    HoverHandler {
                        id: rrHover
                        acceptedDevices: PointerDevice.Mouse | PointerDevice.TouchPad
                        cursorShape: Qt.PointingHandCursor
                    }

                    contentItem: Text {
                        leftPadding: 4
                        rightPadding: 4
                        text: rrSourceButton.text
                        font.pixelSize: 10
                        font.weight: Font.DemiBold
                        color: rrSourceButton.chosen ? root.theme.accent : root.theme.primaryText
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                        elide: Text.ElideRight
                    }
                    background: Rectangle {
                        radius: 6
                        color: rrSourceButton.chosen ? root.theme.selectedColor
                                               : (rrSourceButton.pointerHovered ? root.theme.hoverColor
                                                                          : look.qtcInputFill)
                        border.width: 1
                        border.color: rrSourceButton.activeFocus || rrSourceButton.chosen ? root.theme.accent
                                                                              : root.theme.themeBorder
                    }
                }
            }
        }

        SectionLabel { text: qsTr("COLOR") }

        Row {
            id: swatchRow
            objectName: "swatchRow"
            spacing: metrics.swatchSpacing

            Repeater {
                model: root.swatches
                delegate: AbstractButton {
                    id: swatch
                    required property var modelData
                    readonly property bool chosen: root.appState.color === modelData.color
                    width: metrics.swatchSize
                    height: metrics.swatchSize
                    padding: 0
                    focusPolicy: Qt.TabFocus
                    Accessible.role: Accessible.Button
                    Accessible.name: qsTr("%1 caliper color").arg(qsTr(modelData.name))
                    onClicked: root.appState.color = modelData.color

                    HoverHandler {
                        acceptedDevices: PointerDevice.Mouse | PointerDevice.TouchPad
                        onHoveredChanged: root.requestToolTip(swatch, swatch.Accessible.name, hovered)
                    }

                    background: Rectangle {
                        radius: width / 2
                        color: swatch.modelData.color
                        border.width: swatch.chosen ? 2 : 1
                        border.color: swatch.chosen ? root.theme.accent : look.swatchOutline
                    }

                    // The keyboard focus, in a ring just outside the swatch's own
                    // outline (which already shows the chosen colour in accent).
                    Rectangle {
                        objectName: "focusRing"
                        anchors.fill: parent
                        anchors.margins: -2
                        radius: width / 2
                        visible: swatch.activeFocus
                        color: "transparent"
                        border.width: 1
                        border.color: root.theme.accent
                    }
                }
            }
        }

        // The interval count of the selected Standard caliper: its label shows
        // the mean of that many intervals. The keys + and − do the same.
        Item {
            id: intervalRow
            objectName: "intervalRow"
            visible: root.selectedStandard !== null
            width: parent.width
            height: metrics.intervalRowHeight

            SectionLabel {
                anchors.left: parent.left
                anchors.right: fewerButton.left
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("INTERVALS")
            }

            UnitButton {
                id: fewerButton
                objectName: "fewerIntervalsButton"
                anchors.right: countText.left
                width: metrics.intervalButtonWidth
                height: parent.height
                text: "\u2212"
                textSize: 13
                enabled: root.selectedIntervalCount > root.minIntervalCount
                Accessible.role: Accessible.Button
                Accessible.checkable: false
                Accessible.name: qsTr("Fewer intervals")
                onClicked: root.stepIntervalCount(-1)
            }

            Text {
                id: countText
                objectName: "intervalCount"
                anchors.right: moreButton.left
                width: metrics.intervalButtonWidth
                height: parent.height
                text: String(root.selectedIntervalCount)
                font.pixelSize: 12
                font.weight: Font.DemiBold
                color: root.theme.primaryText
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                Accessible.role: Accessible.StaticText
                Accessible.name: qsTr("Intervals: %1").arg(text)
            }

            UnitButton {
                id: moreButton
                objectName: "moreIntervalsButton"
                anchors.right: parent.right
                width: metrics.intervalButtonWidth
                height: parent.height
                text: "+"
                textSize: 13
                enabled: root.selectedIntervalCount < root.maxIntervalCount
                Accessible.role: Accessible.Button
                Accessible.checkable: false
                Accessible.name: qsTr("More intervals")
                onClicked: root.stepIntervalCount(1)
            }
        }

        Text {
            id: statusLine
            objectName: "statusLine"
            width: parent.width
            visible: text !== ""
            wrapMode: Text.Wrap
            font.pixelSize: 10
            color: look.statusText
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    // The one tooltip of the palette, for swatches and help badges alike.
    PopupWindow {
        id: toolTipWindow
        objectName: "toolTipWindow"
        transientParent: root.Window.window
        logicalWidth: metrics.tooltipWidth
        logicalHeight: toolTipBody.textHeight + 2 * metrics.tooltipPadding

        TooltipBody {
            id: toolTipBody
            text: root.tooltipText
        }
    }
}
