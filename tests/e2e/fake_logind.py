#!/usr/bin/env python3
"""fake_logind.py WHAT: systemd-logind's manager as programs see it on the system bus, for a
machine of the tests' own where no logind runs: org.freedesktop.login1 at
/org/freedesktop/login1, whose property BlockInhibited is WHAT (the kinds of inhibitors that
stand, joined by ":", as `systemd-inhibit --what=idle` makes "idle"). Says "ready" once it owns
its name; each line of its input is the new BlockInhibited, and it says "set"."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

MANAGER = "org.freedesktop.login1.Manager"


class Manager(dbus.service.Object):
    def __init__(self, bus, what):
        super().__init__(bus, "/org/freedesktop/login1")
        self.what = what

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == MANAGER and name == "BlockInhibited":
            return dbus.String(self.what)
        raise dbus.exceptions.DBusException("no such property",
                                            name="org.freedesktop.DBus.Error.UnknownProperty")


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    name = dbus.service.BusName("org.freedesktop.login1", bus)
    manager = Manager(bus, sys.argv[1])
    print("ready", flush=True)

    def line(source, _):
        text = source.readline()
        if not text:
            GLib.MainLoop().quit()
            sys.exit(0)
        manager.what = text.strip()
        print("set", flush=True)
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, line)
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    main()
