#!/usr/bin/env python3
"""film_player.py PATH: a film player as browsers and video players are to a screen saver: it
asks org.freedesktop.ScreenSaver on the session bus, at object PATH, not to start while it
plays (Inhibit), says "inhibiting COOKIE", then on each line of its input: "stop" ends the
inhibition (UnInhibit) and says "stopped"; "activity" reports activity (SimulateUserActivity)
and says "reported". Killed, it ends without UnInhibit, as a player that crashes."""
import sys

import dbus

bus = dbus.SessionBus()
screensaver = dbus.Interface(bus.get_object("org.freedesktop.ScreenSaver", sys.argv[1]),
                             "org.freedesktop.ScreenSaver")
cookie = screensaver.Inhibit("film player", "Playing a film")
print("inhibiting", int(cookie), flush=True)
for line in sys.stdin:
    if line.strip() == "stop":
        screensaver.UnInhibit(cookie)
        print("stopped", flush=True)
    elif line.strip() == "activity":
        screensaver.SimulateUserActivity()
        print("reported", flush=True)
