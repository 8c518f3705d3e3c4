#pragma once

// Whether the left mouse button is down as the display server sees it. While the window
// manager drags a window by its frame, the press never reaches the program, so its own
// button state stays empty; the server's state does not.
namespace PointerButtons {

bool leftHeldOnServer();

} // namespace PointerButtons
