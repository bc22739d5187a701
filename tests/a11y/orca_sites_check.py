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
                        private_environment, start, start_reader, stop, tab_until)

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
    env = private_environment(work)
    env.pop("ORBIQA_DB", None)  # the local register in the working folder, never a shared one
    processes = []
    speech = Speech(os.environ.get("ORBIQA_KEEP_ORCA_LOG"))
    try:
        start_reader(work, env, speech, processes)
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
