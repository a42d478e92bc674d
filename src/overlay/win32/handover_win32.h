#pragma once
// The Win32 side of handing a second start over to the first: a message that the
// second sends to the first program's top-level windows, which the first answers
// with 1 once it has shown its control panel. Sent, not posted, so that the
// answer comes back; with a time limit, so that a hung program can't hang the
// start. Before it asks, the second start (the one the user just started, which
// may take the foreground) lets the first one take it. Built without Qt.

#include <cstdint>

namespace zrn::overlay::win32 {

// The message's number, the same in every program of the session.
unsigned showRequestMessage();
// Whether a MSG is that message.
bool isShowRequest(const void *message);
// The answer a window gives once it has shown the panel.
inline constexpr std::intptr_t kShownAnswer = 1;

// Lets process `processId` take the foreground and asks each of its top-level
// windows in turn, each within `timeoutMs`; true once one answered kShownAnswer.
bool askProcessToShow(std::uint32_t processId, unsigned timeoutMs);

} // namespace zrn::overlay::win32
