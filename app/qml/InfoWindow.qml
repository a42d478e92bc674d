pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Window
import ZRNCalipers as Zrn

// The about page: name and version, instructions, the Bazett formula, a note on
// privacy, and links to the lab's web pages. Hidden until openNear is called;
// closing it only hides it.
ApplicationWindow {
    id: infoWindow

    property bool darkMode: true

    // The lab's web addresses, all in one place.
    readonly property alias links: labLinks
    QtObject {
        id: labLinks
        readonly property string host: "halvern-lab.example"
        readonly property url website: "https://halvern-lab.example/"
        readonly property url contact: "https://halvern-lab.example/contact"
        readonly property url feedback: "https://halvern-lab.example/zrn-calipers/feedback"
    }

    // Sizes, in one place.
    QtObject {
        id: metrics
        readonly property int windowWidth: 430
        readonly property int windowHeight: 590
        // Where a display has less room, the window gets shorter, down to
        // this, and its body scrolls.
        readonly property int shortestHeight: 200
        readonly property int margin: 12
        readonly property int frameRadius: 9
        readonly property int titleBarHeight: 36
        readonly property int closeButtonWidth: 38
        readonly property int bodyMargin: 16
        readonly property int bodySpacing: 9
        readonly property int actionTitleWidth: 78
        readonly property int linkButtonHeight: 32
    }

    // The theme of every window, owned by the control panel; this window shows
    // the column its own dark mode chooses.
    required property ThemePalette themePalette
    readonly property ThemeColors theme: darkMode ? themePalette.dark : themePalette.light

    // The window's own colours beside the theme; each is [light, dark].
    QtObject {
        id: look
        function pick(pair) { return infoWindow.darkMode ? pair[1] : pair[0] }
        readonly property color separator: pick(["#c9dbd6", "#24463e"])
        readonly property color noteFill: pick(["#e5f1ed", "#0c211c"])
        readonly property color noteOutline: pick(["#b8d1ca", "#1c493f"])
    }

    // The size openNear found room for on the display; the user can't resize.
    property int fittedWidth: metrics.windowWidth
    property int fittedHeight: metrics.windowHeight

    width: fittedWidth
    height: fittedHeight
    minimumWidth: fittedWidth
    maximumWidth: fittedWidth
    minimumHeight: fittedHeight
    maximumHeight: fittedHeight

    // X11 keeps a window's size in device pixels when it moves onto a display
    // of another scale; re-applying the logical size restores it.
    onScreenChanged: {
        width = Qt.binding(() => infoWindow.fittedWidth)
        height = Qt.binding(() => infoWindow.fittedHeight)
    }
    visible: false
    title: qsTr("About ZRN Calipers")
    color: "transparent"
    flags: Qt.Window | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.WindowSystemMenuHint

    // Opens the window beside the panel (a rect in global logical pixels):
    // to its right where there is room, else to its left, else below (or
    // above) it, never over its header, inside the display record's
    // available area and 12 pixels from its edges, shorter where the display
    // is. Without a display record, to the right, unclamped.
    function openNear(panelRect, headerHeight, display) {
        let area = Qt.rect(0, 0, 0, 0)
        if (display)
            area = display.screen && display.screen.availableGeometry
                    ? display.screen.availableGeometry
                    : Qt.rect(display.x, display.y, display.width, display.height)
        const placed = Zrn.PopupPlacement.besidePanel(panelRect, headerHeight,
                                                  Qt.size(metrics.windowWidth, metrics.windowHeight),
                                                  metrics.shortestHeight, metrics.margin, area)
        fittedWidth = placed.width
        fittedHeight = placed.height
        x = placed.x
        y = placed.y
        bodyView.contentY = 0
        show()
        raise()
        requestActivate()
    }

    // Scrolls the body so that an item in it (the link that took the focus)
    // can be seen.
    function showInBody(item) {
        const top = item.mapToItem(bodyView.contentItem, 0, 0).y
        const bottom = top + item.height
        if (top < bodyView.contentY)
            bodyView.contentY = top
        else if (bottom > bodyView.contentY + bodyView.height)
            bodyView.contentY = bottom - bodyView.height
    }

    onClosing: (close) => {
        close.accepted = false
        hide()
    }

    // Escape closes it, as it closes a dialog.
    Shortcut {
        sequence: "Escape"
        onActivated: infoWindow.close()
    }

    component ActionRow: Row {
        id: actionRow
        property string title
        property string description
        width: parent ? parent.width : implicitWidth
        spacing: 9
        Text {
            width: metrics.actionTitleWidth
            text: actionRow.title
            color: infoWindow.theme.accent
            font.pixelSize: 10
            font.weight: Font.DemiBold
            wrapMode: Text.Wrap
        }
        Text {
            width: actionRow.width - metrics.actionTitleWidth - actionRow.spacing
            text: actionRow.description
            color: infoWindow.theme.primaryText
            font.pixelSize: 10
            wrapMode: Text.Wrap
        }
    }

    component InfoButton: Button {
        id: infoButton
        implicitHeight: metrics.linkButtonHeight
        height: metrics.linkButtonHeight
        padding: 10
        topInset: 0
        bottomInset: 0
        leftInset: 0
        rightInset: 0
        Accessible.name: text
        onActiveFocusChanged: if (activeFocus) infoWindow.showInBody(infoButton)
        contentItem: Text {
            text: infoButton.text
            font.pixelSize: 11
            font.weight: Font.DemiBold
            color: infoWindow.theme.primaryText
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
        background: Rectangle {
            radius: 7
            color: infoButton.hovered ? infoWindow.theme.hoverColor : infoWindow.theme.controlColor
            border.width: 1
            border.color: infoButton.activeFocus ? infoWindow.theme.accent : infoWindow.theme.borderColor
        }
    }

    Rectangle {
        id: frame
        anchors.fill: parent
        radius: metrics.frameRadius
        color: infoWindow.theme.panelColor
        clip: true

        Rectangle {
            id: titleBar
            width: parent.width
            height: metrics.titleBarHeight
            color: infoWindow.theme.titleColor
            radius: metrics.frameRadius

            Rectangle {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                height: metrics.frameRadius
                color: parent.color
            }

            Row {
                anchors.fill: parent
                spacing: 0

                Item {
                    width: parent.width - closeButton.width
                    height: parent.height

                    // A drag here moves the window, its title bar kept on the displays.
                    Zrn.WindowMoveArea {
                        objectName: "titleMove"
                        anchors.fill: parent
                        overhang: metrics.titleBarHeight
                    }

                    Row {
                        anchors.left: parent.left
                        anchors.leftMargin: 10
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 7
                        Image {
                            width: 14
                            height: 14
                            anchors.verticalCenter: parent.verticalCenter
                            source: "../assets/calipers-icon.png"
                            fillMode: Image.PreserveAspectFit
                            mipmap: true
                            smooth: true
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: qsTr("About ZRN Calipers")
                            color: infoWindow.theme.primaryText
                            font.pixelSize: 11
                            font.weight: Font.DemiBold
                        }
                    }
                }

                Button {
                    id: closeButton
                    objectName: "closeButton"
                    width: metrics.closeButtonWidth
                    height: metrics.titleBarHeight
                    padding: 0
                    topInset: 0
                    bottomInset: 0
                    leftInset: 0
                    rightInset: 0
                    text: "\u00d7"
                    Accessible.name: qsTr("Close About window")
                    onClicked: infoWindow.hide()
                    contentItem: Text {
                        text: closeButton.text
                        color: infoWindow.theme.primaryText
                        font.pixelSize: 16
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    background: Rectangle {
                        color: closeButton.hovered ? infoWindow.theme.hoverColor : "transparent"
                        // The keyboard focus, a ring kept clear of the window's
                        // rounded corner.
                        Rectangle {
                            objectName: "closeFocusRing"
                            anchors.fill: parent
                            anchors.margins: 4
                            radius: 5
                            visible: closeButton.activeFocus
                            color: "transparent"
                            border.width: 1
                            border.color: infoWindow.theme.accent
                        }
                    }
                }
            }
        }

        // The body: its width is fixed, so every wrapped text knows its
        // height at once. The links sit at the bottom; the free height
        // between the note and the links stays empty. Where the window is
        // shorter than its body (a small display), the body scrolls.
        Flickable {
            id: bodyView
            objectName: "bodyView"
            readonly property real naturalHeight: topPart.height + metrics.bodySpacing
                                                  + bottomPart.height + 2 * metrics.bodyMargin
            anchors.top: titleBar.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            clip: true
            contentWidth: width
            contentHeight: Math.max(height, naturalHeight)
            interactive: naturalHeight > height
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {
                policy: bodyView.interactive ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
            }

            Column {
                id: topPart
                x: metrics.bodyMargin
                y: metrics.bodyMargin
                width: parent.width - 2 * metrics.bodyMargin
                spacing: metrics.bodySpacing

                Row {
                    spacing: 11
                    Image {
                        width: 38
                        height: 38
                        source: "../assets/calipers-icon.png"
                        fillMode: Image.PreserveAspectFit
                        mipmap: true
                        smooth: true
                    }
                    Column {
                        spacing: 0
                        anchors.verticalCenter: parent.verticalCenter
                        Text {
                            text: qsTr("ZRN Calipers")
                            color: infoWindow.theme.primaryText
                            font.pixelSize: 20
                            font.bold: true
                        }
                        Text {
                            objectName: "versionText"
                            text: qsTr("Version %1 \u00b7 Halvern Lab").arg(Qt.application.version)
                            color: infoWindow.theme.accent
                            font.pixelSize: 11
                        }
                    }
                }

                Rectangle {
                    width: parent.width
                    height: 1
                    color: look.separator
                }

                Text {
                    width: parent.width
                    text: qsTr("CALIPERS AND ACTIONS")
                    color: infoWindow.theme.secondaryText
                    font.pixelSize: 10
                    font.weight: Font.DemiBold
                    font.letterSpacing: 0.8
                }

                ActionRow {
                    width: parent.width
                    title: qsTr("Standard")
                    description: qsTr("One interval in pixels, or ms and BPM once calibrated; over several intervals (+/\u2212), their mean.")
                }
                ActionRow {
                    width: parent.width
                    title: qsTr("Rhythm")
                    description: qsTr("March out waves with ten additional evenly spaced markers.")
                }
                ActionRow {
                    width: parent.width
                    title: qsTr("Reference")
                    description: qsTr("Calibrates pixels (px) to time (ms). A new reference replaces the active one.")
                }
                ActionRow {
                    width: parent.width
                    title: qsTr("QT/QTc")
                    description: qsTr("One QT interval; QTc by the chosen formula from the Rate or RR in the palette, or from a Standard caliper (RR from caliper). A new one replaces it.")
                }
                ActionRow {
                    width: parent.width
                    title: qsTr("Adjust")
                    description: qsTr("Drag the line or center to move, an end to resize. F6 selects the next caliper; Left/Right resize it, Up/Down and Ctrl+Left/Right move it, Shift steps 10, +/\u2212 intervals, Delete removes.")
                }
                ActionRow {
                    width: parent.width
                    title: qsTr("Remove")
                    description: qsTr("Right-click a caliper to remove it; Clear All removes all.")
                }

                Rectangle {
                    objectName: "formulaBox"
                    width: parent.width
                    height: formulaText.implicitHeight + 20
                    radius: 7
                    color: infoWindow.theme.controlColor
                    border.width: 1
                    border.color: infoWindow.theme.borderColor
                    Text {
                        id: formulaText
                        x: 10
                        y: 10
                        width: parent.width - 20
                        text: qsTr("QTc FORMULAS (RR in s = 60 / rate, HR in bpm)\nBazett QT / \u221aRR \u00b7 Fridericia QT / \u221bRR\nFramingham QT + 154 \u00d7 (1 \u2212 RR) \u00b7 Hodges QT + 1.75 \u00d7 (HR \u2212 60)\nBazett (the default) over-corrects at high rates, under-corrects at low.")
                        color: infoWindow.theme.primaryText
                        font.pixelSize: 10
                        wrapMode: Text.Wrap
                    }
                }

                Rectangle {
                    objectName: "noteBox"
                    width: parent.width
                    height: noteText.implicitHeight + 18
                    radius: 7
                    color: look.noteFill
                    border.width: 1
                    border.color: look.noteOutline
                    Text {
                        id: noteText
                        x: 9
                        y: 9
                        width: parent.width - 18
                        text: qsTr("Measurements stay local: no telemetry, analytics, or clinical-content storage. Website and feedback links open in your browser only when selected. Do not submit patient information or PHI. This is a measurement aid, not a medical device or diagnostic system.")
                        color: infoWindow.theme.secondaryText
                        font.pixelSize: 10
                        wrapMode: Text.Wrap
                    }
                }

            }

            Column {
                id: bottomPart
                x: metrics.bodyMargin
                width: parent.width - 2 * metrics.bodyMargin
                anchors.bottom: parent.bottom
                anchors.bottomMargin: metrics.bodyMargin
                spacing: metrics.bodySpacing

                Text {
                    objectName: "labLine"
                    width: parent.width
                    text: qsTr("Halvern Lab \u00b7 Corvale University")
                    color: infoWindow.theme.secondaryText
                    font.pixelSize: 10
                }

                Row {
                    id: linkRow
                    width: parent.width
                    spacing: 7
                    InfoButton {
                        objectName: "websiteButton"
                        width: (linkRow.width - linkRow.spacing) / 2
                        text: qsTr("Visit website")
                        Accessible.description: qsTr("Open %1").arg(infoWindow.links.host)
                        onClicked: Qt.openUrlExternally(infoWindow.links.website)
                    }
                    InfoButton {
                        objectName: "contactButton"
                        width: (linkRow.width - linkRow.spacing) / 2
                        text: qsTr("Contact lab")
                        Accessible.description: qsTr("Open Halvern Lab contact page")
                        onClicked: Qt.openUrlExternally(infoWindow.links.contact)
                    }
                }

                InfoButton {
                    objectName: "feedbackButton"
                    width: parent.width
                    text: qsTr("Send feedback")
                    Accessible.name: qsTr("Send feedback")
                    Accessible.description: qsTr("Open the ZRN Calipers feedback form in your browser")
                    onClicked: Qt.openUrlExternally(infoWindow.links.feedback)
                }
            }
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: metrics.frameRadius
        color: "transparent"
        border.width: 1
        border.color: infoWindow.theme.borderColor
    }

    // Where the corners' transparent pixels would show black, the window is cut
    // to its frame.
    Zrn.RoundedWindowShape {
        anchors.fill: parent
        radius: metrics.frameRadius
    }
}
