#!/usr/bin/env python3
"""fake_plasma.py: KDE Plasma's two services that a player's inhibition passes through, for a
session bus of the tests' own where no Plasma runs: KWin's org.freedesktop.ScreenSaver (Inhibit,
UnInhibit), which hands each inhibition on to Plasma's power management, and its policy agent
org.kde.Solid.PowerManagement.PolicyAgent (HasInhibition of a kind, InhibitionsChanged at each
change), as their interfaces are published. A player's inhibition keeps the screen on (kind
ChangeScreenSettings, 4). Says "ready" once it owns both names. With the argument "alone", it
owns org.freedesktop.ScreenSaver only, and so stands for another desktop's screen saver (Xfce's,
MATE's), which takes players' inhibitions and tells no other program of them."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

AGENT = "org.kde.Solid.PowerManagement.PolicyAgent"
CHANGE_SCREEN_SETTINGS = 4


class PolicyAgent(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/kde/Solid/PowerManagement/PolicyAgent")
        self.inhibitions = {}   # cookie: (kinds, application, reason)

    @dbus.service.method(AGENT, in_signature="u", out_signature="b")
    def HasInhibition(self, kinds):
        return any(k & kinds for k, _, _ in self.inhibitions.values())

    @dbus.service.signal(AGENT, signature="a(ss)as")
    def InhibitionsChanged(self, added, removed):
        pass


class ScreenSaver(dbus.service.Object):
    def __init__(self, bus, agent):
        super().__init__(bus, "/org/freedesktop/ScreenSaver")
        self.agent = agent
        self.next = 1

    @dbus.service.method("org.freedesktop.ScreenSaver", in_signature="ss", out_signature="u")
    def Inhibit(self, application, reason):
        cookie = self.next
        self.next += 1
        self.agent.inhibitions[cookie] = (CHANGE_SCREEN_SETTINGS, application, reason)
        self.agent.InhibitionsChanged([(application, reason)], [])
        return cookie

    @dbus.service.method("org.freedesktop.ScreenSaver", in_signature="u")
    def UnInhibit(self, cookie):
        _, application, _ = self.agent.inhibitions.pop(cookie)
        self.agent.InhibitionsChanged([], [application])


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    names = [dbus.service.BusName("org.freedesktop.ScreenSaver", bus)]
    if sys.argv[1:] != ["alone"]:
        names.append(dbus.service.BusName(AGENT, bus))
    agent = PolicyAgent(bus)
    ScreenSaver(bus, agent)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del names


if __name__ == "__main__":
    main()
