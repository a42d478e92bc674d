import QtQuick

// Stands in for the overlay controller: records the calls the documents make.
QtObject {
    property bool hasQtMeasurement: false
    property bool qtNeedsReference: false
    property var selectedId: 0
    property bool editMode: false
    property var referenceChoices: []
    // Return value of addMeasurement; 0 means refused.
    property var nextId: 1
    property var added: []
    property var durations: []
    property int clearCount: 0

    signal measurementsChanged()
    // selectedIdChanged and editModeChanged come with the properties.
    signal transientMessage(string message)

    function reset() {
        hasQtMeasurement = false
        qtNeedsReference = false
        nextId = 1
        added = []
        durations = []
        clearCount = 0
    }

    function addMeasurement(kind, displayId, logicalDpi, devicePixelRatio, startX, endX, y, color, referenceDurationMs) {
        added.push({ kind: kind, displayId: displayId, logicalDpi: logicalDpi,
                     devicePixelRatio: devicePixelRatio, startX: startX, endX: endX, y: y,
                     color: color, referenceDurationMs: referenceDurationMs })
        return nextId
    }
    function measurementsForDisplay(displayId) { return [] }
    function updateMeasurementGeometry(id, startX, endX, y) { return false }
    function nudgeSelected(logicalPixels) {}
    function removeSelected() {}
    function clear() { clearCount += 1 }
    function setActiveReference(id, durationMs) {}
    function setReferenceDuration(durationMs) { durations.push(durationMs) }
    function calculateBazettQtc(qtMs, rateOrRrValue, mode) { return 0 }
}
