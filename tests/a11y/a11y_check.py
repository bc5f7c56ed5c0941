#!/usr/bin/python3
"""Works Sonivel's windows the way a screen reader does, over AT-SPI.

Finds the running program on the accessibility bus, checks that every
control a person can reach has a name, presses buttons and menu items
through their actions, and follows the names through a language switch.
Exits non-zero with a message on the first thing that is wrong.
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

# Roles a person works with; each needs a name a screen reader can say.
CONTROLS = {
    "push button", "slider", "list", "combo box", "menu item", "menu", "page tab", "link",
}


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from walk(node.get_child_at_index(i), depth + 1)


def program(timeout=30.0):
    end = time.monotonic() + timeout
    names = []
    while time.monotonic() < end:
        desktop = Atspi.get_desktop(0)
        apps = [desktop.get_child_at_index(i) for i in range(desktop.get_child_count())]
        names = [app.get_name() for app in apps if app is not None]
        for app in apps:
            if app is not None and app.get_name().lower() == "sonivel":
                return app
        time.sleep(0.2)
    fail(f"the program never appeared on the accessibility bus (there: {names})")


def fresh(app):
    app.clear_cache()
    return list(walk(app))


def find(app, role, name, timeout=15.0):
    """The first node of `role` called `name`, waiting for it to appear."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        for node in fresh(app):
            if node.get_role_name() == role and node.get_name() == name:
                return node
        time.sleep(0.2)
    seen = sorted({f"{n.get_role_name()}:{n.get_name()}" for n in fresh(app)
                   if n.get_role_name() == role or name.lower() in (n.get_name() or "").lower()})
    fail(f"no {role} named {name!r}; there are {seen}")


def press(node):
    if Atspi.Action.get_n_actions(node) == 0:
        fail(f"{node.get_role_name()} {node.get_name()!r} has no action")
    Atspi.Action.do_action(node, 0)


def enabled(node):
    return node.get_state_set().contains(Atspi.StateType.ENABLED)


def check_names(app, window_name):
    """Every control of the window called `window_name` has a name without '&'."""
    window = find(app, "frame" if window_name.startswith("Sonivel") else "dialog", window_name)
    count = 0
    for node in walk(window):
        role = node.get_role_name()
        if role not in CONTROLS:
            continue
        name = node.get_name() or ""
        if role == "menu item" and not name and node.get_state_set().contains(Atspi.StateType.INVISIBLE):
            continue
        if not name.strip():
            parent = node.get_parent()
            fail(f"a {role} in {window_name!r} has no name (in {parent.get_role_name()} {parent.get_name()!r})")
        if "&" in name.replace("&&", ""):
            fail(f"the name {name!r} shows its accelerator mark")
        count += 1
    if count < 5:
        fail(f"only {count} named controls in {window_name!r}")
    return count


def main():
    wave = sys.argv[1]
    Atspi.init()
    app = program()
    title = "Sonivel - " + wave
    shown = check_names(app, title)
    for name in ("Play", "Rewind", "Previous Track", "Next Track", "Playlist..."):
        find(app, "push button", name)
    find(app, "slider", "Position")

    # Play and stop from the screen reader's side.
    press(find(app, "push button", "Play"))
    stop = find(app, "push button", "Stop")
    press(stop)
    find(app, "push button", "Play")

    # The language switch renames the controls.
    french = find(app, "menu item", "Fran\u00e7ais")
    if not find(app, "menu item", "English").get_state_set().contains(Atspi.StateType.CHECKED):
        fail("English is not shown as the checked language")
    press(french)
    find(app, "push button", "Jouer")
    find(app, "push button", "Rembobiner")
    if not find(app, "menu item", "Fran\u00e7ais").get_state_set().contains(Atspi.StateType.CHECKED):
        fail("French is not shown as the checked language")
    check_names(app, title)

    # The playlist editor, in French, with its lists named.
    press(find(app, "push button", "Liste de jeu..."))
    edited = check_names(app, "Liste de jeu")
    for role, name in (("list", "Liste de jeu"), ("list", "Fichiers wave"), ("list", "Dossiers"),
                       ("list", "Volume"), ("push button", "<< Ajouter tous"), ("push button", "Fermer")):
        find(app, role, name)
    # A combo box is named after the drive it shows; what it is for is its description.
    drives = [n for n in fresh(app) if n.get_role_name() == "combo box"]
    if [n.get_description() for n in drives] != ["Volume"]:
        fail(f"the drive box is described as {[n.get_description() for n in drives]}")
    press(find(app, "push button", "Fermer"))

    print(f"ok: {shown} named controls in the main window, {edited} in the playlist editor")


if __name__ == "__main__":
    main()
