#!/usr/bin/python3
"""What a Linux screen reader finds, through AT-SPI, in the running program.

Runs orbiqa against orbiqa-modsim (fixed state, no texts) on the display and session bus it is
given (run-atspi-check.sh provides a virtual display and a private bus), and looks up by their
shown text: the connection message, each status value, each port's presence and the port chosen
in the chooser, and a transfer's outcome. Usage: atspi_check.py BIN_DIR
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

WAIT_S = 20
SIMULATOR_LIFETIME_S = 120  # ends by itself should this script be killed
PORT = "COM90"
STATUS_VALUES = {"Rövidzár": "IN1", "Vonal rendben": "Vezetékes vonal",
                 "Kimenő hívás folyamatban 2": "GSM vonal státusz", "17": "GSM térerő (0-31):"}


class Failure(Exception):
    pass


def settle():
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, probe):
    deadline = time.monotonic() + WAIT_S
    while time.monotonic() < deadline:
        settle()
        try:
            found = probe()
        except GLib.Error:
            found = None  # the tree changed under the walk; look again
        if found:
            return found
        time.sleep(0.1)
    raise Failure(f"{what}: not found within {WAIT_S} s")


def walk(node, depth=0):
    if node is None or depth > 24:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from walk(node.get_child_at_index(i), depth + 1)


def program():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "orbiqa":
            app.clear_cache()  # names change; never answer from a stale cache
            return app
    return None


def find(pred):
    app = program()
    if app is None:
        return None
    for node in walk(app):
        if pred(node):
            return node
    return None


def named(name, role=None):
    return lambda n: n.get_name() == name and (role is None or n.get_role() == role)


def press(caption):
    button = wait_for(f'button "{caption}"', lambda: find(named(caption, Atspi.Role.PUSH_BUTTON)))
    # Every accessible object carries the action interface's methods; a button has "Press".
    if button.get_n_actions() < 1:
        raise Failure(f'"{caption}" offers no action')
    button.do_action(0)


def labelled_by(node):
    for relation in node.get_relation_set():
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            return [relation.get_target(i).get_name() for i in range(relation.get_n_targets())]
    return []


ANNOUNCED = []


def heard(event):
    ANNOUNCED.append(event.source.get_name() if event.source else None)


def check(bin_dir, work):
    listener = Atspi.EventListener.new(heard)
    listener.register("object:property-change:accessible-name")
    press("Soros kapcsolat létrehozása")
    status = wait_for("connection message", lambda: find(named(" Soros kapcsolat rendben.")))
    print(f"status bar: {status.get_name()!r} ({status.get_role_name()})")
    wait_for("announcement of the connection message",
             lambda: " Soros kapcsolat rendben." in ANNOUNCED)
    print("status bar change announced")

    press("Modul állapotának figyelése")
    for value, caption in STATUS_VALUES.items():
        node = wait_for(f'status value "{value}"', lambda v=value: find(named(v, Atspi.Role.LABEL)))
        if caption not in labelled_by(node):
            raise Failure(f'"{value}" is not labelled by "{caption}": {labelled_by(node)}')
        wait_for(f'announcement of "{value}"', lambda v=value: v in ANNOUNCED)
        print(f"status value: {value!r} labelled by {caption!r}, announced")

    press("Soros port kiválasztása")
    row = wait_for(f"chooser row of {PORT}",
                   lambda: find(lambda n: n.get_role() == Atspi.Role.TABLE_CELL
                                and n.get_name().endswith(f"({PORT})")))
    presence = row.get_description().split(";")[0]
    if presence != "elérhető":
        raise Failure(f"{row.get_name()!r} says {presence!r}, not present")
    print(f"chooser row: {row.get_name()!r}: {presence}")
    chosen = row.get_name()
    # A screen reader selects a cell through its action (Qt's "Toggle"), as a click would.
    if row.get_n_actions() < 1:
        raise Failure(f"{row.get_name()!r} offers no action to select it")
    row.do_action(0)
    wait_for("the selected port in the chooser's panel", lambda: find(named(chosen, Atspi.Role.LABEL)))
    press("OK")
    panel = wait_for("chosen port in the main window",
                     lambda: find(lambda n: n.get_name() == chosen and n.get_role() == Atspi.Role.LABEL
                                  and n.get_description() == "Kiválasztott soros port"))
    print(f"chosen port: {panel.get_name()!r}")

    press("Paraméterek beállítása")
    press("<-- Adatok beolvasása a modulból")
    bar = wait_for("transfer outcome",
                   lambda: find(lambda n: n.get_role() == Atspi.Role.PROGRESS_BAR
                                and n.get_description() == "Beolvasás kész"))
    print(f"transfer bar: {bar.get_name()!r}: {bar.get_description()!r}")


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="orbiqa-atspi-")
    env = dict(os.environ, XDG_CONFIG_HOME=work, HOME=work, QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    sim = subprocess.Popen([os.path.join(bin_dir, "orbiqa-modsim"), "--port", PORT, "--fast",
                            "--texts", "off", "--status-flags", "0x11", "--signal", "17",
                            "--line-state", "2", "--exit-after", str(SIMULATOR_LIFETIME_S)],
                           env=env, stdout=subprocess.PIPE, text=True)
    app = None
    try:
        ready = sim.stdout.readline()
        if PORT not in ready:
            raise Failure(f"orbiqa-modsim did not start: {ready!r}")
        with open(os.path.join(work, "ZenitSetup.ini"), "w", newline="") as ini:
            ini.write(f"2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,{PORT}\r\n")
        app = subprocess.Popen([os.path.join(bin_dir, "orbiqa")], cwd=work, env=env)
        wait_for("the program on the accessibility bus", program)
        check(bin_dir, work)
        print("AT-SPI check OK")
        return 0
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        for process in (app, sim):
            if process is not None and process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
