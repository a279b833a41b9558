#pragma once

// Global keys in a Wayland session, where no program may grab keys itself: the desktop's
// global-shortcuts portal (org.freedesktop.portal.GlobalShortcuts) binds them on the program's
// behalf, may ask the user first, and reports each press.

#include <memory>

namespace brenvik {

class HotKeyGrabber;

// Null when there is no session bus to reach a portal through.
std::unique_ptr<HotKeyGrabber> makePortalHotKeyGrabber();

} // namespace brenvik
