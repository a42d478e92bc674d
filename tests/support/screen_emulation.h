#pragma once

#include <QJsonArray>

// Replaces the emulated screens of the offscreen platform (started with a
// configfile) and delivers the screen events this queues, so the real QScreen
// and QGuiApplication signals have fired on return. Each element: "name", "x",
// "y", "width", "height", "logicalDpi", "logicalBaseDpi", "dpr". False when the
// platform has no such entry point.
bool applyEmulatedScreens(const QJsonArray &screens);
