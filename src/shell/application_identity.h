#pragma once

// The application's identity (organisation, name, version and the window icon
// of every window), set on the application object before anything else exists.
// The program and its QML tests share it, so both report the same identity.
void applyApplicationIdentity();
