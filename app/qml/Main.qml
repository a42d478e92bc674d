import QtQuick
import QtQuick.Controls

ApplicationWindow {
    width: 190
    height: 390
    visible: true
    title: qsTr("ZRN Calipers")
    onClosing: Qt.quit()
}
