#!/usr/bin/python3
"""What a screen reader gets from the running program over the AT-SPI bus, as Orca
would: the path field and the mod list by their names, and a status message as an
event after "Оновити список модів" is pressed through the bus.

    screenreader.py WORKDIR [--announcement]

WORKDIR is the program's working folder: a mod is put in its Mods first, so the
refresh has something new to say. With --announcement (Qt 6.8 and later) the
message must come as an announcement; before that Qt only renames the status bar,
which screen readers ignore unless it has the focus. Needs pyatspi (Debian:
python3-pyatspi); every wait polls for up to 60 s.
"""
import os
import sys
import time

import pyatspi
from gi.repository import GLib

workdir = sys.argv[1]
want_announcement = "--announcement" in sys.argv[2:]
expected = "Список модів оновлено. Доступно: 1 модів."


def fail(what):
    print(f"FAIL: {what}")
    sys.exit(1)


def poll(find, what):
    end = time.monotonic() + 60
    while time.monotonic() < end:
        GLib.MainContext.default().iteration(False)
        found = find()
        if found:
            return found
        time.sleep(0.05)
    fail(f"no {what} within 60 s")


def tree(node):
    yield node
    for child in node:
        if child is not None:
            yield from tree(child)


def program():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "ironvale-mod-installer":
            return app
    return None


def named(role, name):
    return next((n for n in tree(app) if n.getRole() == role and n.name == name), None)


app = poll(program, "program on the accessibility bus")
print(f"on the bus: {app.name}")
field = poll(lambda: named(pyatspi.ROLE_TEXT, "Шлях до папки Ironvale_EU")
             or named(pyatspi.ROLE_ENTRY, "Шлях до папки Ironvale_EU"), "path field by its name")
mods = poll(lambda: named(pyatspi.ROLE_LIST, "Список модів"), "mod list by its name")
print(f"path field: {field.getRoleName()} '{field.name}'; mod list: {mods.getRoleName()} '{mods.name}'")

heard = []
kinds = ["object:announcement"] if want_announcement else ["object:property-change:accessible-name"]


def listen(event):
    text = event.any_data if event.type.startswith("object:announcement") else event.source.name
    heard.append((event.type, text))


pyatspi.Registry.registerEventListener(listen, *kinds)
with open(os.path.join(workdir, "Mods", "Туманний перевал.ivlmod"), "w") as mod:
    mod.write("a mod")
refresh = poll(lambda: named(pyatspi.ROLE_PUSH_BUTTON, "Оновити список модів"), "refresh button")
refresh.queryAction().doAction(0)
poll(lambda: any(text == expected for _, text in heard), f"event saying '{expected}' ({kinds[0]})")
print(f"heard after the refresh: {heard}")
