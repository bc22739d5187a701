#!/usr/bin/python3
"""The sites window as a blind technician meets it: Orca, driven with key presses only.

Runs as orca_check.py does (run-orca-sites-check.sh gives it a virtual display and a private
bus). Opens "Telephelyek" from the main window with the keyboard, and requires Orca to speak
the window, an empty search's outcome, a new site's prompt and its saving, and a search that
finds it, each reached by the window's mnemonics.
Usage: orca_sites_check.py BIN_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from orca_check import (MAIN_TITLE, START_WAIT_S, Failure, Speech, focus_window, key,  # noqa: E402
                        speech_dispatcher_config, start, stop, tab_until)

SITE = "Raba Hotel"  # typed by xdotool: plain letters type alike on every keyboard map


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "120", text], check=True)


def check(speech):
    speech.set_mark()
    # From "Soros port kiválasztása" past Connect; the commands of a connection are disabled.
    tab_until(speech, "the sites button", "Telephelyek")
    speech.set_mark()
    key("space")
    focus_window("Telephelyek")
    speech.wait_for("the search field", "Keresés")
    speech.wait_for("the empty register's search", "Nincs találat")

    speech.set_mark()
    key("alt+j")  # "Új telephely"
    speech.wait_for("the new site's prompt", "Új telephely: adja meg a nevét")
    type_text(SITE)
    speech.set_mark()
    key("alt+e")  # "Adatok mentése"
    speech.wait_for("the saved site", f"A telephely adatai mentve: {SITE}")

    speech.set_mark()
    key("alt+k")  # "Keresés"
    key("ctrl+a")
    type_text("zzz")
    speech.wait_for("a search that finds nothing", "Nincs találat")
    speech.set_mark()
    key("ctrl+a")
    type_text("raba")
    speech.wait_for("a search as typed", "1 telephely")


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="orbiqa-orca-sites-")
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_DATA_HOME=os.path.join(work, "data"), XDG_CACHE_HOME=os.path.join(work, "cache"),
               XDG_RUNTIME_DIR=os.path.join(work, "run"), GSETTINGS_BACKEND="memory",
               SPEECHD_ADDRESS="unix_socket:" + os.path.join(work, "speechd.sock"),
               QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               LANG="C.UTF-8", LC_ALL="C.UTF-8")
    env.pop("ORBIQA_DB", None)  # the local register in the working folder, never a shared one
    for folder in ("config", "data", "cache", "run"):
        os.makedirs(os.path.join(work, folder), mode=0o700)
    processes = []
    speech = Speech(os.environ.get("ORBIQA_KEEP_ORCA_LOG"))
    try:
        speechd = start(["speech-dispatcher", "--run-single", "--timeout", "0",
                         "--config-dir", speech_dispatcher_config(work),
                         "--socket-path", os.path.join(work, "speechd.sock"),
                         "--log-dir", os.path.join(work, "speechd-log")],
                        env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes.append(speechd)
        orca = start(["orca", "--replace", "--debug-file", "/dev/stdout"], env,
                     stdout=speech.slave, stderr=speech.slave)
        processes.append(orca)
        speech.wait_for("Orca starting", "Screen reader on.", START_WAIT_S)
        speech.set_mark()
        app = start([os.path.join(bin_dir, "orbiqa")], env, cwd=work)
        processes.append(app)
        focus_window(MAIN_TITLE)
        speech.wait_for("the main window", "Soros port kiválasztása", START_WAIT_S)
        time.sleep(1)
        check(speech)
        print("Orca sites check OK")
        return 0
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        for process in processes[::-1]:
            stop(process)
        speech.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
