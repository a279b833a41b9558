#!/usr/bin/env python3
"""A desktop's global-shortcuts backend for tests: implements
org.freedesktop.impl.portal.GlobalShortcuts for the real xdg-desktop-portal frontend, and takes
orders from the test on org.brenvik.test.ShortcutsBackend (how to answer a binding, key presses).

Usage: shortcuts_backend.py BUS_NAME
"""

import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DESKTOP_PATH = "/org/freedesktop/portal/desktop"
IMPL = "org.freedesktop.impl.portal.GlobalShortcuts"
SESSION = "org.freedesktop.impl.portal.Session"
CONTROL = "org.brenvik.test.ShortcutsBackend"
CONTROL_PATH = "/org/brenvik/test/ShortcutsBackend"


class Session(dbus.service.Object):
    def __init__(self, backend, bus, path):
        super().__init__(bus, path)
        self.backend = backend
        self.path = path
        self.shortcuts = []

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        self.backend.sessions.pop(self.path, None)
        self.remove_from_connection()

    @dbus.service.signal(SESSION, signature="a{sv}")
    def Closed(self, details):
        pass


class Backend(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, DESKTOP_PATH)
        self.bus = bus
        self.sessions = {}
        # "accept", "decline", or the trigger description to bind instead of the one asked for.
        self.answer = "accept"
        self.requested = []

    @dbus.service.method(IMPL, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        self.sessions[str(session_handle)] = Session(self, self.bus, session_handle)
        return dbus.UInt32(0), dbus.Dictionary({}, signature="sv")

    @dbus.service.method(IMPL, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}")
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options):
        session = self.sessions.get(str(session_handle))
        triggers = [str(properties.get("preferred_trigger", "")) for _, properties in shortcuts]
        self.requested.extend(triggers)
        if session is None or self.answer == "decline":
            return dbus.UInt32(1), dbus.Dictionary({}, signature="sv")
        bound = []
        for (shortcut_id, properties), trigger in zip(shortcuts, triggers):
            described = trigger if self.answer == "accept" else self.answer
            bound.append(
                dbus.Struct(
                    (
                        shortcut_id,
                        dbus.Dictionary(
                            {
                                "description": properties.get("description", ""),
                                "trigger_description": described,
                            },
                            signature="sv",
                        ),
                    ),
                    signature="sa{sv}",
                )
            )
        session.shortcuts = [str(shortcut_id) for shortcut_id, _ in shortcuts]
        results = {"shortcuts": dbus.Array(bound, signature="(sa{sv})")}
        return dbus.UInt32(0), dbus.Dictionary(results, signature="sv")

    @dbus.service.method(IMPL, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session_handle):
        return dbus.UInt32(0), dbus.Dictionary({}, signature="sv")

    @dbus.service.signal(IMPL, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(IMPL, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(
        dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v"
    )
    def Get(self, interface, name):
        if interface == IMPL and name == "version":
            return dbus.UInt32(1)
        raise dbus.exceptions.DBusException(
            "org.freedesktop.DBus.Error.UnknownProperty", name
        )

    @dbus.service.method(
        dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}"
    )
    def GetAll(self, interface):
        if interface == IMPL:
            return {"version": dbus.UInt32(1)}
        return dbus.Dictionary({}, signature="sv")


class Control(dbus.service.Object):
    def __init__(self, bus, backend):
        super().__init__(bus, CONTROL_PATH)
        self.backend = backend

    @dbus.service.method(CONTROL, in_signature="s", out_signature="")
    def SetAnswer(self, answer):
        self.backend.answer = str(answer)

    # A fresh start for the next test: answer "accept", nothing requested yet.
    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def Reset(self):
        self.backend.answer = "accept"
        self.backend.requested = []

    @dbus.service.method(CONTROL, in_signature="", out_signature="as")
    def RequestedTriggers(self):
        return dbus.Array(self.backend.requested, signature="s")

    @dbus.service.method(CONTROL, in_signature="", out_signature="u")
    def OpenSessions(self):
        return dbus.UInt32(len(self.backend.sessions))

    # Presses every bound shortcut and holds it: `repeats` more activations follow, as a desktop
    # may send while the key auto-repeats, then the release when `release` is true.
    @dbus.service.method(CONTROL, in_signature="ub", out_signature="u")
    def Press(self, repeats, release):
        sent = 0
        for path, session in list(self.backend.sessions.items()):
            for shortcut_id in session.shortcuts:
                for _ in range(repeats + 1):
                    self.backend.Activated(path, shortcut_id, dbus.UInt64(0), {})
                if release:
                    self.backend.Deactivated(path, shortcut_id, dbus.UInt64(0), {})
                sent += 1
        return dbus.UInt32(sent)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    backend = Backend(bus)
    Control(bus, backend)
    # Taken last, so whoever waits for the name finds the objects in place.
    name = dbus.service.BusName(sys.argv[1], bus, do_not_queue=True)
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    main()
