#!/usr/bin/python3
"""What a screen reader gets over AT-SPI, as Orca would: the controls by their names, a
status message after "Оновити список модів", the list's current mod on coming to it, and
the window active with a control focused after the folder dialog is closed by Enter.

    screenreader.py WORKDIR [--announcement]

The message comes as an announcement with --announcement (Qt 6.8 on), else as a
notification shown. Keys go through xdotool: with a keystroke listener Qt 6.4's bridge
leaks the keys it still holds at exit. Every wait polls for up to 60 s.
"""
import os
import subprocess
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


def found(find):
    """find(), or None where an object it walks vanishes meanwhile (a completion list)."""
    try:
        return find()
    except GLib.Error:
        return None


def wait(find, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        GLib.MainContext.default().iteration(False)
        result = found(find)
        if result:
            return result
        time.sleep(0.05)
    return None


def poll(find, what):
    return wait(find, 60) or fail(f"no {what} within 60 s")


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
kinds = ["object:announcement"] if want_announcement else ["object:state-changed:showing"]


def listen(event):
    if event.type.startswith("object:announcement"):
        heard.append((event.type, event.any_data))
        # Orca drops a second announcement within 0.1 s from a status bar; the window's are kept.
        if event.source.name != "Ironvale Mod Installer":
            heard.append(("from a " + event.source.getRoleName(), event.any_data))
    elif event.detail1 and event.source.getRole() == pyatspi.ROLE_NOTIFICATION:
        heard.append((event.type, event.source.name))


pyatspi.Registry.registerEventListener(listen, *kinds)
with open(os.path.join(workdir, "Mods", "Туманний перевал.ivlmod"), "w") as mod:
    mod.write("a mod")
refresh = poll(lambda: named(pyatspi.ROLE_PUSH_BUTTON, "Оновити список модів"), "refresh button")
refresh.queryAction().doAction(0)
poll(lambda: any(text == expected for _, text in heard), f"event saying '{expected}' ({kinds[0]})")
print(f"heard after the refresh: {heard}")
if any(kind.startswith("from a ") for kind, _ in heard):
    fail(f"an announcement came from another object than the window: {heard}")


def keys(*args):
    """xdotool, with the bus served meanwhile."""
    typing = subprocess.Popen(["xdotool", *args])
    while typing.poll() is None:
        GLib.MainContext.default().iteration(False)
        time.sleep(0.01)


focus = []
pyatspi.Registry.registerEventListener(
    lambda event: event.detail1 and focus.append(event.source), "object:state-changed:focused")

# Coming to the list, the last thing said is its current mod.
refresh.queryComponent().grabFocus()
keys("key", "--delay", "200", "shift+Tab", "shift+Tab")  # back over "Відкрити папку з модами"
poll(lambda: focus and focus[-1].getRole() == pyatspi.ROLE_LIST_ITEM, "focus on a mod in the list")
print(f"on coming to the list: {[(f.getRoleName(), f.name) for f in focus]}")
if focus[-1].name != "Туманний перевал.ivlmod":
    fail(f"the list said '{focus[-1].name}'")

# The game-folder dialog, closed by Enter in its folder field while completions show:
# three times, since the focus was lost only now and then.
game = os.path.join(workdir, "game", "Ironvale_EU")
os.makedirs(os.path.join(game, "res_mods"))
frame = next(w for w in app if w is not None and w.name == "Ironvale Mod Installer")


def folder_field():
    return next((n for n in tree(dialog) if n.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
                 and n.getState().contains(pyatspi.STATE_FOCUSED)), None)


def back_in_the_window():
    return (frame.getState().contains(pyatspi.STATE_ACTIVE)
            and any(n.getState().contains(pyatspi.STATE_FOCUSED) for n in tree(frame)))


for attempt in range(1, 4):
    named(pyatspi.ROLE_PUSH_BUTTON, "Обрати шлях вручну").queryAction().doAction(0)
    dialog = poll(lambda: next((w for w in app if w is not None and w.name == "Оберіть папку Ironvale_EU"
                                and w.getState().contains(pyatspi.STATE_ACTIVE)), None), "folder dialog")
    keys("type", "--delay", "30", game[:-2])
    keys("key", "--delay", "300", "E", "U")
    # Enter only once every letter has arrived: the keys pass through the bus one by one.
    poll(lambda: folder_field() and folder_field().queryText().getText(0, -1) == game,
         f"'{game}' in the folder field")
    keys("key", "Return")
    poll(back_in_the_window, f"active window with a focused control after the folder dialog ({attempt} of 3)")
path = field.queryText().getText(0, -1)
focused = [n.name for n in tree(frame) if n.getState().contains(pyatspi.STATE_FOCUSED)]
print(f"after the folder dialog, 3 times: window active, focus on {focused}, path '{path}'")
if path != game:
    fail(f"the path field holds '{path}', not {game}")
