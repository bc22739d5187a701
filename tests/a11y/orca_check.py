#!/usr/bin/python3
"""What a blind technician hears: Orca, the screen reader, driven with key presses only.

Runs on the display and session bus it is given (run-orca-check.sh provides a virtual display
and a private bus): starts speech-dispatcher with a private configuration whose sound goes to a
null audio sink, Orca with its debug output (where it records every sentence it speaks), then
orbiqa-modsim and orbiqa. Presses keys with xdotool, as a person would, and requires each
sentence to be spoken: the chosen port, the chooser's menu, the connection, the status values
(once), a transfer's outcome, a lost port, and a compare that differs and then gets no answer.
Usage: orca_check.py BIN_DIR
"""
import codecs
import os
import pty
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import tty

SPEECH_WAIT_S = 30  # bound of every wait for a sentence; a loaded machine may be slow
START_WAIT_S = 60
SIMULATOR_LIFETIME_S = 300  # it ends by itself should this script be killed
PORT = "COM90"
MAIN_TITLE = " Orbiqa v1.05"
STATUS_SENTENCE = ("IN1: Rövidzár, Vezetékes vonal: Vonal rendben, "
                   "GSM vonal státusz: Kimenő hívás folyamatban 2, GSM térerő: 17")
# The sentence, then the voice's settings that Orca writes after it.
SPOKEN = re.compile(r"SPEECH OUTPUT: '(.*)'(?: voice=\S+)?(?:\{.*\}|None)?$")


class Failure(Exception):
    pass


class Speech:
    """The sentences Orca has spoken, read from its debug output.

    Orca writes that output through Python's file buffering, which would hold the last sentences
    back while Orca is idle; written to a terminal, it is flushed line by line. So Orca's output
    goes to a pseudo-terminal, which a thread drains all the time (a full terminal would stop
    Orca) into the lines it keeps and, when asked, a copy of the whole output."""

    def __init__(self, copy_path=None):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.slave)  # no line-ending translation
        self.lines = []
        self.lock = threading.Lock()
        self.mark = 0
        self.copy = open(copy_path, "wb") if copy_path else None
        self.thread = threading.Thread(target=self._drain, daemon=True)
        self.thread.start()

    def _drain(self):
        decoder = codecs.getincrementaldecoder("utf-8")(errors="replace")
        pending = ""
        while True:
            try:
                chunk = os.read(self.master, 65536)
            except OSError:
                break  # every writer has gone
            if not chunk:
                break
            if self.copy:
                self.copy.write(chunk)
            pending += decoder.decode(chunk)
            *whole, pending = pending.split("\n")
            for line in whole:
                match = SPOKEN.search(line.rstrip("\r"))
                if match:
                    with self.lock:
                        self.lines.append(match.group(1))
                    print(f"  orca: {match.group(1)}", flush=True)

    def close(self):
        os.close(self.slave)
        self.thread.join(timeout=5)
        os.close(self.master)
        if self.copy:
            self.copy.close()

    def since_mark(self):
        with self.lock:
            return self.lines[self.mark:]

    def set_mark(self):
        with self.lock:
            self.mark = len(self.lines)

    def wait_for(self, what, text, wait_s=SPEECH_WAIT_S):
        deadline = time.monotonic() + wait_s
        while time.monotonic() < deadline:
            if any(text in line for line in self.since_mark()):
                print(f"heard {what}", flush=True)
                return
            time.sleep(0.1)
        raise Failure(f"{what}: Orca did not say {text!r} within {wait_s} s")

    def count(self, text):
        return sum(text in line for line in self.since_mark())


def key(*names):
    for name in names:
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
        time.sleep(0.15)  # one key at a time, as typed; Orca needs no more than its events


def focus_window(title):
    """Gives the window the keyboard focus, as the desktop's window manager would when it appears
    or when the window above it closes; the virtual display has no window manager."""
    deadline = time.monotonic() + SPEECH_WAIT_S
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(title)}$"],
                               capture_output=True, text=True).stdout.split()
        if found:
            subprocess.run(["xdotool", "windowfocus", "--sync", found[-1]], check=True)
            return
        time.sleep(0.1)
    raise Failure(f"no window {title!r} to give the focus to")


def start(argv, env, **kw):
    return subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, **kw)


def stop(process):
    if process is None or process.poll() is not None:
        return
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def speech_dispatcher_config(work):
    """A configuration of its own: espeak-ng, sound through libao's null driver."""
    config = os.path.join(work, "speechd")
    os.makedirs(os.path.join(config, "modules"))
    with open(os.path.join(config, "speechd.conf"), "w") as conf:
        conf.write('AudioOutputMethod "libao"\n'
                   'AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"\n'
                   'DefaultModule espeak-ng\n'
                   'DefaultLanguage "hu"\n')
    shutil.copy("/etc/speech-dispatcher/modules/espeak-ng.conf", os.path.join(config, "modules"))
    with open(os.path.join(work, ".libao"), "w") as ao:
        ao.write("default_driver=null\n")
    return config


def start_simulator(bin_dir, env, *options):
    sim = start([os.path.join(bin_dir, "orbiqa-modsim"), "--port", PORT, "--fast", "--texts", "off",
                 "--exit-after", str(SIMULATOR_LIFETIME_S), *options], env, stdout=subprocess.PIPE, text=True)
    ready = sim.stdout.readline()
    if PORT not in ready:
        stop(sim)
        raise Failure(f"orbiqa-modsim did not start: {ready!r}")
    return sim


def choose_port(speech):
    """The chooser: a row chosen with the arrow keys, its menu on Shift+F10, OK with Enter."""
    speech.set_mark()
    key("space")  # "Soros port kiválasztása" has the focus when the program starts
    speech.wait_for("the chooser window", "Soros portok")
    row = None
    for _ in range(40):  # the machine's own ports may come first; at most 40 rows are looked at
        speech.set_mark()
        key("Down")
        deadline = time.monotonic() + SPEECH_WAIT_S
        spoken = []
        while not spoken and time.monotonic() < deadline:
            spoken = [line for line in speech.since_mark() if "(COM" in line]
            time.sleep(0.1)
        if not spoken:
            raise Failure("the chooser's rows are not spoken when the arrow keys move")
        if f"({PORT})" in spoken[-1]:
            row = spoken[-1]
            break
    if row is None:
        raise Failure(f"no row of {PORT} found with the arrow keys")
    name = re.search(r"(\S.*\(" + PORT + r"\))", row).group(1)
    name = name.split(" - ", 1)[-1] if name.startswith("- ") else name
    speech.set_mark()
    key("shift+F10")
    speech.wait_for("the chooser's menu, opened with Shift+F10", "Port hozzáadása")
    key("Escape")
    speech.set_mark()
    key("Return")
    speech.wait_for("the chosen port", "Kiválasztott soros port:")
    if PORT not in " ".join(speech.since_mark()):
        raise Failure(f"the chosen port was spoken without {PORT}")


def check(bin_dir, work, env, speech):
    choose_port(speech)

    speech.set_mark()
    key("Tab", "space")  # "Soros kapcsolat létrehozása"
    speech.wait_for("the connection", "Soros kapcsolat rendben.")

    speech.set_mark()
    key("Tab", "space")  # focus went to "Soros kapcsolat bontása"; next is the status button
    speech.wait_for("the status values when the window opens", STATUS_SENTENCE)
    time.sleep(3)  # six more polls: unchanged values must not be said again
    if speech.count("GSM térerő: 17") != 1:
        raise Failure("the unchanged status values were said more than once")
    print("status values said once", flush=True)
    key("Escape")

    speech.set_mark()
    key("Tab", "space")  # "Paraméterek beállítása"
    speech.wait_for("the transfer window", "Paraméterek beállítása dialog")
    tab_until(speech, "the read button", "Adatok beolvasása")
    speech.set_mark()
    key("Return")  # Enter presses the focused button
    speech.wait_for("the read's outcome", "Beolvasás kész")
    # The offer to record the read to a site follows, with the focus; Escape declines it and
    # gives the focus back to the read button.
    speech.wait_for("the offer to record the read", "Rögzítés telephelyhez")
    key("Escape")
    edit_numbers(speech)
    return speech


def tab_until(speech, what, text, presses=8):
    """Tab, one press at a time, until Orca says text."""
    for _ in range(presses):
        if any(text in line for line in speech.since_mark()):
            print(f"heard {what}", flush=True)
            return
        key("Tab")
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline and not any(text in line for line in speech.since_mark()):
            time.sleep(0.1)
    speech.wait_for(what, text)


def edit_numbers(speech):
    """The editor: a phone number says what is typed; no name twice, no anonymous container."""
    speech.set_mark()
    key("Tab", "Tab", "Tab", "Return")  # from the read button to "Adatok szerkesztése"
    speech.wait_for("the editor", "Orbiqa  -  Beállítások dialog")
    tab_until(speech, "a user's phone number", "(#USER")
    key("BackSpace")  # on the first cell it empties the number the read brought
    time.sleep(1)
    speech.set_mark()
    key("0")
    speech.wait_for("the number as typed", "notification 0")
    key("6")
    speech.wait_for("the number as typed", "notification 0 6")
    speech.set_mark()
    key("BackSpace")
    speech.wait_for("the number after backspace", "notification 0")
    speech.set_mark()
    tab_until(speech, "the ADDFIX number", "(#ADDFIX)")
    time.sleep(1)  # what Orca says of the grid follows its name
    addfix = " ".join(line for line in speech.since_mark() if "#ADDFIX" in line or "table" in line)
    if addfix.count("GSM módban hívott telefonszám elé hozzáadandó prefix") != 1:
        raise Failure(f"the ADDFIX number's name is not said once: {addfix!r}")
    key("Escape")  # the editor closes, the image untouched
    focus_window("Paraméterek beállítása")


def lose_and_compare(bin_dir, env, speech, sim):
    speech.set_mark()
    stop(sim)
    speech.wait_for("the lost port", "Hiba: A COM port nem elérhető!")
    sim = start_simulator(bin_dir, env, "--image", "erased", "--silent-from-block", "3")
    key("Escape")  # the transfer window closes
    focus_window(MAIN_TITLE)
    # The loss moved the main window's focus to Connect, so Enter connects (on "Kilépés" it
    # would end the program).
    speech.set_mark()
    key("Return")
    speech.wait_for("the connection again, with Enter on Connect", "Soros kapcsolat rendben.")
    speech.set_mark()
    key("Tab", "Tab", "space")  # from "Soros kapcsolat bontása" past the status button
    speech.wait_for("the transfer window again", "Paraméterek beállítása dialog")
    key("shift+Tab")  # the editor's button kept the focus; the compare is the one before it
    speech.set_mark()
    key("Return")
    speech.wait_for("the compare's outcome", "Az adatok eltérnek (első eltérés: blokk 0); Nincs válasz (blokk 3)")
    return sim


def private_environment(work):
    """The environment of a check's programs: every folder they write in lies inside work."""
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_DATA_HOME=os.path.join(work, "data"), XDG_CACHE_HOME=os.path.join(work, "cache"),
               XDG_RUNTIME_DIR=os.path.join(work, "run"), GSETTINGS_BACKEND="memory",
               SPEECHD_ADDRESS="unix_socket:" + os.path.join(work, "speechd.sock"),
               QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               LANG="C.UTF-8", LC_ALL="C.UTF-8")
    for folder in ("config", "data", "cache", "run"):
        os.makedirs(os.path.join(work, folder), mode=0o700)
    return env


def start_reader(work, env, speech, processes):
    """speech-dispatcher and Orca, started into processes; returns once Orca speaks."""
    processes.append(start(["speech-dispatcher", "--run-single", "--timeout", "0",
                            "--config-dir", speech_dispatcher_config(work),
                            "--socket-path", os.path.join(work, "speechd.sock"),
                            "--log-dir", os.path.join(work, "speechd-log")],
                           env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    processes.append(start(["orca", "--replace", "--debug-file", "/dev/stdout"], env,
                           stdout=speech.slave, stderr=speech.slave))
    speech.wait_for("Orca starting", "Screen reader on.", START_WAIT_S)


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="orbiqa-orca-")
    env = private_environment(work)
    processes = []
    sim = None
    speech = Speech(os.environ.get("ORBIQA_KEEP_ORCA_LOG"))
    try:
        start_reader(work, env, speech, processes)

        sim = start_simulator(bin_dir, env, "--status-flags", "0x11", "--signal", "17", "--line-state", "2")
        with open(os.path.join(work, "ZenitSetup.ini"), "w", newline="") as ini:
            ini.write(f"2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,{PORT}\r\n")
        speech.set_mark()
        app = start([os.path.join(bin_dir, "orbiqa")], env, cwd=work)
        processes.append(app)
        focus_window(MAIN_TITLE)
        speech.wait_for("the main window", "Soros port kiválasztása", START_WAIT_S)
        check(bin_dir, work, env, speech)
        sim = lose_and_compare(bin_dir, env, speech, sim)
        if any("layered pane" in line for line in speech.lines):
            raise Failure("Orca said an anonymous layered pane")
        print("Orca check OK")
        return 0
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        for process in [sim] + processes[::-1]:
            stop(process)
        speech.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
