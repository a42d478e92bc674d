import QtQuick

// The theme of every window: each colour role with its light and its dark
// value. The control panel owns the one instance and hands it down; each
// window shows the column its dark-mode flag chooses.
QtObject {
    readonly property ThemeColors light: ThemeColors {
        panelColor: "#f3f8f6"
        titleColor: "#e8f0ed"
        controlColor: "#ffffff"
        hoverColor: "#dcece7"
        selectedColor: "#cce9e2"
        primaryText: "#17342e"
        // Both a shade darker than they were, so that every text on every
        // control fill of this column reads at 4.5:1 or more.
        secondaryText: "#4b6660"
        themeBorder: "#adc8c0"
        accent: "#0e7068"
    }

    readonly property ThemeColors dark: ThemeColors {
        panelColor: "#081311"
        titleColor: "#101d1a"
        controlColor: "#102620"
        hoverColor: "#183f38"
        selectedColor: "#164e46"
        primaryText: "#e7f5f1"
        secondaryText: "#8fb5ac"
        themeBorder: "#285247"
        accent: "#5eead4"
    }

    function colors(darkMode) {
        return darkMode ? dark : light
    }
}
