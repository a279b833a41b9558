#pragma once

// Global keys on an X display: a passive grab of the key on the root window, and the key press
// picked out of Qt's native event stream.

#include <memory>

namespace brenvik {

class HotKeyGrabber;

// Null when the program does not run on an X display.
std::unique_ptr<HotKeyGrabber> makeX11HotKeyGrabber();

} // namespace brenvik
