import QtQuick

// One column of the theme: the colour roles that the panel, the palette and
// the information window share.
QtObject {
    required property color panelColor     // window backgrounds
    required property color titleColor     // title bars
    required property color controlColor   // buttons, lists, cards
    required property color hoverColor     // hovered buttons and lists
    required property color selectedColor  // chosen entries
    required property color primaryText    // ordinary text
    required property color secondaryText  // headings, hints
    required property color themeBorder    // control outlines
    required property color accent         // focus outlines, highlighted text

    // The information window's name for the control outline.
    readonly property color borderColor: themeBorder
}
