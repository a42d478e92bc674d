import QtQuick

// Stands in for the overlay controller: records the calls the documents make.
QtObject {
    property bool hasQtMeasurement: false
    property bool qtNeedsReference: false
    property var selectedId: 0
    // The QT/QTc caliper's id; its change empties the panel's QTc input.
    property var qtMeasurementId: 0
    property bool editMode: false
    property var referenceChoices: []
    property var measurements: []
    // Return value of addMeasurement; 0 means refused.
    property var nextId: 1
    property var added: []
    property var durations: []
    property int clearCount: 0
    property var nudges: []
    property var geometries: []
    property int removeCount: 0
    // [id, count] of each setIntervalCount call.
    property var intervalCounts: []
    // The RR taken from a caliper, as the controller's link describes it.
    readonly property QtObject rrSource: QtObject {
        property var caliperId: 0
        property string text: ""
        property string color: ""
        property bool picking: false
        signal changed()
    }

    // measurementsChanged comes with the property "measurements".
    // selectedIdChanged and editModeChanged come with the properties.
    signal transientMessage(string message)

    function reset() {
        hasQtMeasurement = false
        qtNeedsReference = false
        nextId = 1
        added = []
        durations = []
        clearCount = 0
        measurements = []
        selectedId = 0
        qtMeasurementId = 0
        nudges = []
        geometries = []
        removeCount = 0
        intervalCounts = []
        rrSource.caliperId = 0
        rrSource.text = ""
        rrSource.color = ""
        rrSource.picking = false
        rrSource.changed()
    }

    function addMeasurement(kind, displayId, logicalDpi, devicePixelRatio, startX, endX, y, color, referenceDurationMs) {
        added.push({ kind: kind, displayId: displayId, logicalDpi: logicalDpi,
                     devicePixelRatio: devicePixelRatio, startX: startX, endX: endX, y: y,
                     color: color, referenceDurationMs: referenceDurationMs })
        return nextId
    }
    function measurementsForDisplay(displayId) { return [] }
    function updateMeasurementGeometry(id, startX, endX, y) {
        geometries.push({ id: id, startX: startX, endX: endX, y: y })
        return false
    }
    function nudgeSelected(logicalPixels) { nudges.push(logicalPixels) }
    function removeSelected() { removeCount += 1 }
    function clear() { clearCount += 1 }
    function setActiveReference(id, durationMs) {}
    function setReferenceDuration(durationMs) { durations.push(durationMs) }
    function calculateBazettQtc(qtMs, rateOrRrValue, mode) { return 0 }
    function calculateQtc(qtMs, rateOrRrValue, mode, formula) { return 0 }
    function setRrPicking(picking) { rrSource.picking = picking; rrSource.changed() }
    function linkRrSource(id) { return false }
    function endRrLink() {
        rrSource.caliperId = 0
        rrSource.text = ""
        rrSource.picking = false
        rrSource.changed()
    }
    function setIntervalCount(id, count) {
        intervalCounts.push([id, count])
        return false
    }
}
