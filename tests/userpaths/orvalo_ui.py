"""Drives the real panel (build/bin/orvalo) as a person does: through the accessibility bus under
Xvfb, with real mouse clicks (xdotool) and keys, against a loopback Kamailio and scripted peers.

Run inside the loopback-only namespace and a private D-Bus session (tests/userpaths/run.sh).
Every wait is bounded; every process started here is stopped by its pid.
"""

import glob
import math
import os
import re
import shutil
import signal
import socket
import sqlite3
import struct
import subprocess
import sys
import tempfile
import threading
import time
import wave

try:
    import pyatspi  # Debian's python3-pyatspi: run with /usr/bin/python3
except ImportError:
    print("python3-pyatspi is missing (make deps)")
    sys.exit(1)

BIN = os.environ.get("ORVALO_BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "../.."))
WAIT = 15.0
BUTTON = "push button"  # default bound of a wait, seconds


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, what, timeout=WAIT, step=0.05):
    """Polls predicate until it returns a true value (returned) or timeout seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = predicate()
        except Exception as error:  # the tree changes under us: a node may vanish mid-walk
            value = None
            last = error
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out (%.0f s) waiting for %s" % (timeout, what))
        time.sleep(step)


def free_port():
    """A port free for UDP and TCP on 127.0.0.1 (released before returning)."""
    for _ in range(50):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as u:
            u.bind(("127.0.0.1", 0))
            port = u.getsockname()[1]
            with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as t:
                try:
                    t.bind(("127.0.0.1", port))
                except OSError:
                    continue
            return port
    raise Failure("no free port")


def step(text):
    print("--", text, flush=True)


# ---------------------------------------------------------------------------------------------
# Audio files


def write_tone(path, hz, seconds, rate=8000, amplitude=0.5):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        frames = bytearray()
        for i in range(int(seconds * rate)):
            frames += struct.pack("<h", int(amplitude * 32767 * math.sin(2 * math.pi * hz * i / rate)))
        w.writeframes(bytes(frames))


def read_channels(path):
    """(rate, [channel samples...]) of a 16-bit PCM WAV; a data size past the end means the rest."""
    with open(path, "rb") as f:
        data = f.read()
    check(data[:4] == b"RIFF" and data[8:12] == b"WAVE", path + " is not a WAV file")
    pos, channels, rate, pcm = 12, 1, 8000, b""
    while pos + 8 <= len(data):
        kind, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if kind == b"fmt ":
            channels, rate = struct.unpack("<HI", body[2:8])
        elif kind == b"data":
            pcm = body if 0 < size <= len(data) - pos - 8 else data[pos + 8:]
            break
        pos += 8 + size + (size & 1)
    samples = struct.unpack("<%dh" % (len(pcm) // 2), pcm[: len(pcm) // 2 * 2])
    return rate, [list(samples[c::channels]) for c in range(channels)]


def tone_energy(samples, rate, hz):
    """Energy at hz (Goertzel over 20 ms blocks) relative to the whole signal's energy, 0..1."""
    n = max(1, rate // 50)
    coeff = 2 * math.cos(2 * math.pi * hz / rate)
    tone = total = 0.0
    for start in range(0, len(samples) - n + 1, n):
        s1 = s2 = 0.0
        block = samples[start:start + n]
        for x in block:
            s1, s2 = x + coeff * s1 - s2, s1
        tone += (s1 * s1 + s2 * s2 - coeff * s1 * s2) * 2 / n
        total += sum(x * x for x in block)
    return tone / total if total else 0.0


def clearest_second(path, hz):
    """The highest tone_energy of any whole second of a finished WAV (what a peer heard: set-up
    and the end of the call may hold silence or a tone)."""
    rate, channels = read_channels(path)
    samples = channels[0]
    return max([tone_energy(samples[i:i + rate], rate, hz) for i in range(0, len(samples) - rate + 1, rate)]
               or [0.0])


# ---------------------------------------------------------------------------------------------
# Processes


class Process:
    """A child process whose output goes to a file; stopped by pid (SIGTERM, then SIGKILL)."""

    def __init__(self, args, log, env=None, cwd=None, pass_fds=()):
        self.log_path = log
        self._log = open(log, "ab")
        self.proc = subprocess.Popen(args, stdout=self._log, stderr=subprocess.STDOUT, env=env, cwd=cwd,
                                     pass_fds=pass_fds, start_new_session=True)

    def running(self):
        return self.proc.poll() is None

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stop(self, timeout=5.0):
        if self.running():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        self._log.close()


class Kamailio:
    """The test bed's registrar (tools/testbed/kamailio.cfg) on 127.0.0.1:port."""

    def __init__(self, workdir, port=None):
        self.port = port or free_port()
        self.dir = tempfile.mkdtemp(prefix="kamailio-", dir=workdir)
        self.process = None

    def start(self):
        """As the README says: tools/testbed/run-kamailio.sh PORT (its runtime folder lands in ours)."""
        self.process = Process([os.path.join(SOURCE, "tools/testbed/run-kamailio.sh"), str(self.port)],
                               os.path.join(self.dir, "log"), cwd=self.dir,
                               env=dict(os.environ, TMPDIR=self.dir))
        wait_for(lambda: self.kamcmd("core.version"), "Kamailio on port %d" % self.port)

    def stop(self):
        if self.process:
            self.process.stop()
            self.process = None

    def kamcmd(self, *command):
        sockets = glob.glob(os.path.join(self.dir, "orvalo-kamailio.*", "kamailio_ctl"))
        if len(sockets) != 1:
            return None
        try:
            out = subprocess.run(["kamcmd", "-s", "unix:" + sockets[0]]
                                 + list(command), capture_output=True, timeout=5, text=True)
        except subprocess.TimeoutExpired:
            return None
        return out.stdout if out.returncode == 0 else None

    def registered(self):
        """Users that hold a registration (the AORs of the location table)."""
        return set(re.findall(r"AoR:\s*(\S+)", self.kamcmd("ul.dump") or ""))

    def hostport(self):
        return "127.0.0.1:%d" % self.port

    def uri(self, user):
        return "sip:%s@127.0.0.1:%d" % (user, self.port)


class Peer:
    """build/bin/sippeer registered at the registrar; its EVENT lines are read in order."""

    def __init__(self, workdir, registrar, user, *extra):
        self.user = user
        log = os.path.join(workdir, "sippeer-%s.log" % user)
        self._lines, self._taken, self._lock = [], 0, threading.Lock()
        self.proc = subprocess.Popen([os.path.join(BIN, "sippeer"), "--registrar", registrar.hostport(),
                                      "--user", user, "--port", "0", "--data-dir",
                                      tempfile.mkdtemp(prefix="peer-", dir=workdir)] + list(extra),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=open(log, "wb"), text=True, bufsize=1,
                                     start_new_session=True)
        threading.Thread(target=self._read, daemon=True).start()
        self.wait("^EVENT registration state=Ok")

    def _read(self):
        for line in self.proc.stdout:
            with self._lock:
                self._lines.append(line.rstrip("\n"))

    def events(self):
        with self._lock:
            return list(self._lines)

    def wait(self, pattern, timeout=WAIT):
        """The first EVENT line after the last one returned that matches pattern."""
        regex = re.compile(pattern)

        def find():
            with self._lock:
                for i in range(self._taken, len(self._lines)):
                    if regex.search(self._lines[i]):
                        self._taken = i + 1
                        return self._lines[i]
            return None

        try:
            return wait_for(find, "%s: %s" % (self.user, pattern), timeout)
        except Failure as failure:
            raise Failure("%s\n%s" % (failure, "\n".join(self.events()[-15:])))

    def command(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.command("quit")
                self.proc.wait(3)
            except (BrokenPipeError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait(5)


class CloudSim:
    """build/bin/cloudsim (tools/cloudsim/README.md) on a free port of 127.0.0.1, the shipped fixture
    unless the arguments give --fixture. Its REQUEST lines are kept with the HEADER and COOKIE lines
    before them; wait_for_request() returns each request at most once."""

    def __init__(self, workdir, *args):
        args = list(args)
        if "--fixture" not in args:
            args += ["--fixture", os.path.join(SOURCE, "tools/cloudsim/fixture.json")]
        if "--port" not in args:
            args += ["--port", "0"]
        self._requests, self._answers, self._taken, self._lock = [], [], set(), threading.Lock()
        self._listening = None
        self.proc = subprocess.Popen([os.path.join(BIN, "cloudsim")] + args, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=open(os.path.join(workdir, "cloudsim.log"), "wb"),
                                     text=True, encoding="utf-8", errors="replace", bufsize=1,
                                     start_new_session=True)
        threading.Thread(target=self._read, daemon=True).start()
        self.port = int(wait_for(lambda: self._listening, "cloudsim to listen", 30).rsplit(":", 1)[1])

    def _read(self):
        headers, cookies = [], []
        for line in self.proc.stdout:
            line = line.rstrip("\n")
            with self._lock:
                if line.startswith("HEADER "):
                    name, _, value = line[7:].partition(": ")
                    headers.append((name, value))
                elif line.startswith("COOKIE "):
                    cookies.append(line[7:])
                elif line.startswith("REQUEST "):
                    words = line.split(" ")
                    self._requests.append({"method": words[1], "path": words[2],
                                           "status": -1 if words[3] == "-" else int(words[3]),
                                           "headers": headers, "cookies": cookies})
                    headers, cookies = [], []
                elif line == "OK" or line.startswith("ERROR"):
                    self._answers.append(line)
                elif line.startswith("LISTENING "):
                    self._listening = line[10:]

    @property
    def base_url(self):
        return "https://127.0.0.1:%d/briskogui/" % self.port

    def hostport(self):
        return "127.0.0.1:%d" % self.port

    def requests(self):
        with self._lock:
            return list(self._requests)

    def wait_for_request(self, pattern, timeout=WAIT):
        """The first request not returned before whose path matches pattern (a dict with method,
        path, status, headers [(name, value)] and cookies ["name=value"])."""
        regex = re.compile(pattern)

        def find():
            with self._lock:
                for i, request in enumerate(self._requests):
                    if i not in self._taken and regex.search(request["path"]):
                        self._taken.add(i)
                        return request
            return None

        return wait_for(find, "cloudsim request %s" % pattern, timeout)

    def command(self, line):
        """A control line ("fail kvusers/v1/hello never", "clear"); True when answered OK."""
        with self._lock:
            before = len(self._answers)
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        wait_for(lambda: len(self._answers) > before, "cloudsim to answer " + line, 5)
        return self._answers[before] == "OK"

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write("quit\n")
                self.proc.stdin.flush()
                self.proc.wait(3)
            except (BrokenPipeError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait(5)


# ---------------------------------------------------------------------------------------------
# The display and the panel


class Display:
    """Xvfb on a display number it picks itself. Under load an Xvfb sometimes announces its number
    and then dies compiling its keymap: it is started again (a few times) until one answers."""

    def __init__(self, workdir):
        log = os.path.join(workdir, "xvfb.log")
        for attempt in range(4):
            read, write = os.pipe()
            self.process = Process(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                                    "-nolisten", "tcp"], log, pass_fds=(write,))
            os.close(write)
            number = b""
            deadline = time.monotonic() + WAIT
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = os.read(read, 16)
                if not chunk:
                    break
                number += chunk
            os.close(read)
            if number.strip().isdigit():
                self.name = ":" + number.decode().strip()
                answered = subprocess.run(["xdpyinfo", "-display", self.name], stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL, timeout=10).returncode == 0
                if answered and self.process.running():
                    return
            self.process.stop()
            time.sleep(0.2 * (attempt + 1))
        check(False, "Xvfb did not start:\n" + self.process.log())

    def stop(self):
        self.process.stop()


# A cloud address where nothing listens: the hello check of the login window fails at once.
NO_CLOUD = "https://127.0.0.1:9/briskogui/"
LOGIN_TITLE = "Enter your login credentials"


class Panel:
    """A copy of build/bin/orvalo in its own folder (its database, settings and log land beside
    it), with the file sound card and unattended question boxes. Its settings file names the cloud
    address (nothing listening by default)."""

    def __init__(self, workdir, display, microphone, env=None, cloud=NO_CLOUD):
        self.dir = os.path.join(workdir, "app")
        os.makedirs(self.dir, exist_ok=True)
        if not os.path.exists(os.path.join(self.dir, "orvalo")):
            shutil.copy(os.path.join(BIN, "orvalo"), self.dir)
        settings = os.path.join(self.dir, "settings")
        if not os.path.exists(settings):
            with open(settings, "w") as f:
                f.write("BriskoCloudApiUrl=%s\n" % cloud)
        self.heard = os.path.join(workdir, "panel-heard.wav")
        self.env = dict(os.environ, DISPLAY=display.name, QT_QPA_PLATFORM="xcb",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                        ORVALO_BIND_ADDRESS="127.0.0.1", ORVALO_UNATTENDED="yes",
                        ORVALO_FILECARD_IN=microphone, ORVALO_FILECARD_OUT=self.heard,
                        XDG_DATA_HOME=os.path.join(workdir, "home"), HOME=os.path.join(workdir, "home"))
        self.env.update(env or {})  # a path may override any of them
        self.process = None
        self.app = None

    def start(self, login=False):
        """Starts the panel. Nobody is logged in to the cloud at first, so the login window opens
        over the main window: unless the path logs in (login=True), it is closed with its Cancel
        button once its hello check has failed, as a person without a cloud account does."""
        # The accessibility bus and its registry start on demand. Started here, before the panel,
        # they are up when the panel's toolkit joins them: its registration with the registry is
        # a blocking call with a 25 s time-out, which otherwise waits for the registry's own start
        # (triggered at the same moment by the first look for the panel) and, on a loaded machine,
        # can miss it, leaving the panel off the accessibility desktop.
        wait_for(lambda: pyatspi.Registry.getDesktop(0).childCount >= 0, "the accessibility registry")
        self.process = Process([os.path.join(self.dir, "orvalo")], os.path.join(self.dir, "stdout.log"),
                               env=self.env, cwd=self.dir)
        # Under a loaded machine (ctest runs several suites at once) the first connection to the
        # display and the accessibility bus has been seen to take over 30 s.
        self.app = wait_for(self._find_app, "the panel on the accessibility bus", 60)
        self.window = wait_for(lambda: find(self.app, role="frame", name="Orvalo Lite"), "the main window")
        if not login:
            self.close_login()

    def close_login(self):
        login = self.dialog(LOGIN_TITLE)
        wait_for(lambda: "Hello check: " in self.log(), "the login window's hello check")
        self.click("Cancel", login)
        wait_for(lambda: not login.getState().contains(pyatspi.STATE_SHOWING), "the login window to close")

    def _find_app(self):
        check(self.process.running(), "the panel exited:\n" + self.process.log()[-3000:])
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == "orvalo" and app.get_process_id() == self.process.proc.pid:
                return app
        return None

    def exited(self, timeout=WAIT):
        wait_for(lambda: not self.process.running(), "the panel to exit", timeout)
        return self.process.proc.returncode

    def stop(self):
        if self.process:
            self.process.stop()

    def log(self):
        path = os.path.join(self.dir, "log")
        return open(path, encoding="utf-8", errors="replace").read() if os.path.exists(path) else ""

    def db(self, query, *args):
        con = sqlite3.connect(os.path.join(self.dir, "orvalo.db"), timeout=5)
        try:
            rows = con.execute(query, args).fetchall()
            con.commit()
            return rows
        finally:
            con.close()

    # -- the window

    def menu(self, *path):
        """Opens the menu bar's entries in order: menu("Accounts", "Manage Extensions")."""
        node = self.window
        for name in path:
            item = wait_for(lambda: find(node, role="menu item", name=name)
                            or find(node, role="menu", name=name), "menu entry " + name)
            item.queryAction().doAction(0)
            node = item

    def button(self, name, root=None, showing_only=True):
        """A push button by its text. Hold, Mute, Record and DND are push buttons too: a checkable
        button offers assistive technology a Toggle that skips the button's handler."""
        return wait_for(lambda: find(root or self.window, role=BUTTON, name=name,
                                     showing=showing_only), "push button " + name)

    def shows(self, name):
        """True when a push button with this text is on screen."""
        return find(self.window, role=BUTTON, name=name, showing=True) is not None

    def click(self, name, root=None):
        """Clicks the button as a person does: the mouse at its centre (it must be enabled)."""
        node = self.button(name, root)
        wait_for(lambda: node.getState().contains(pyatspi.STATE_ENABLED), "button %s enabled" % name)
        if root is None or root == self.window:
            # A person sees the main window's button, so it is in front of any other window of the
            # panel (an incoming-call or missed-calls window); nobody raises it without a window manager.
            self.raise_main_window()
        click(node)

    def raise_main_window(self):
        """Brings the main window to the front (there is no window manager to do it on a click)."""
        for window in self.main_window_ids():
            subprocess.run(["xdotool", "windowraise", window], check=True, timeout=10)
        wait_for(lambda: self.window.getState().contains(pyatspi.STATE_SHOWING), "the main window")

    def main_window_ids(self):
        ids = subprocess.run(["xdotool", "search", "--all", "--pid", str(self.process.proc.pid), "--name",
                              "^Orvalo Lite$"], capture_output=True, text=True, timeout=10).stdout.split()
        check(ids, "no X window of the panel named Orvalo Lite")
        return ids

    def key(self, keysym):
        """A key pressed in the main window: a person clicks into it first when another window of the
        panel (an incoming-call window) had the focus; without a window manager nobody hands it back."""
        for window in self.main_window_ids():
            subprocess.run(["xdotool", "windowfocus", window], env=self.env, check=False, timeout=10)
        subprocess.run(["xdotool", "key", "--clearmodifiers", keysym], env=self.env, check=True, timeout=10)

    def type_text(self, field, text):
        """Clicks into a text field (its window gets the keys) and types the text key by key."""
        click(field)
        subprocess.run(["xdotool", "type", "--delay", "20", text], env=self.env, check=True, timeout=30)
        wait_for(lambda: text_of(field) == text, "the field to hold %r" % text)

    def press(self, keysym):
        """A key pressed in the window that has the focus (the one clicked last)."""
        subprocess.run(["xdotool", "key", "--clearmodifiers", keysym], env=self.env, check=True, timeout=10)

    def field(self, name, root=None):
        return wait_for(lambda: find(root or self.window, role="text", name=name), "field " + name)

    def type_into(self, name, text, root=None):
        node = self.field(name, root)
        node.queryEditableText().setTextContents(text)
        wait_for(lambda: text_of(node) == text, "field %s to hold %r" % (name, text))

    def dialog(self, title):
        def look():
            for i in range(self.app.childCount):
                w = self.app.getChildAtIndex(i)
                if w is not None and w.name == title and w.getState().contains(pyatspi.STATE_SHOWING):
                    return w
            return None

        return wait_for(look, "window " + title)

    def add_extension(self, name, user, domain, server="127.0.0.1"):
        """Accounts -> Manage Extensions -> "Add new extension", the README's values, Save; the
        fields are found by their labels' names, as a screen reader reads them."""
        self.menu("Accounts", "Manage Extensions")
        extensions = self.dialog("SIP Accounts")
        self.click("Add new extension", extensions)
        editor = self.dialog("Account details")
        for label, value in (("Account Name", name), ("Domain", domain), ("SIP User", user),
                             ("Extension", user), ("SIP Server", server)):
            self.type_into(label, value, editor)
        active = wait_for(lambda: find(editor, role="check box", name="Active"), "check box Active")
        if not active.getState().contains(pyatspi.STATE_CHECKED):
            click(active)
            wait_for(lambda: active.getState().contains(pyatspi.STATE_CHECKED), "Active checked")
        self.click("Save", editor)
        wait_for(lambda: not editor.getState().contains(pyatspi.STATE_SHOWING), "the editor to close")
        self.raise_main_window()  # back to the panel, the extension list stays open behind it

    def extension_rows(self):
        """The rows under "My Extensions" (list items named by their extension's label)."""
        rows = find(find(self.window, role="panel", name="My Extensions"), role="list")
        return [rows.getChildAtIndex(i) for i in range(rows.childCount)]

    def extension_colour(self, index):
        """"green", "grey" or the dominant colour of an extension row, as the screen shows it."""
        rows = self.extension_rows()
        return colour_of(rows[index]) if index < len(rows) else None

    def call_labels(self):
        """The text of the call labels under "Call status"."""
        box = find(self.window, role="panel", name="Call status")
        return [n.name for n in walk(box) if n.getRoleName() == "label" and n.name]

    def type_number(self, number):
        """Types into the number field of "Call control" (focus by click, then keys)."""
        box = find(self.window, role="panel", name="Call control")
        field = wait_for(lambda: find(box, role="text", showing=True), "the number field")
        click(field)
        subprocess.run(["xdotool", "type", "--delay", "20", number], env=self.env, check=True, timeout=10)
        wait_for(lambda: text_of(field) == number, "the number field to hold " + number)


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def find(root, role=None, name=None, showing=False):
    """The first node under root (itself included) with that role (or one of those roles), that
    accessible name and, when asked, on screen."""
    roles = (role,) if isinstance(role, str) else role
    for n in walk(root):
        if roles and n.getRoleName() not in roles:
            continue
        if name is not None and n.name != name:
            continue
        if showing and not n.getState().contains(pyatspi.STATE_SHOWING):
            continue
        return n
    return None


def text_of(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


def colour_of(node):
    """The most frequent colour in the node's rectangle of the screen, named roughly."""
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    out = subprocess.run(["import", "-window", "root", "-crop",
                          "%dx%d+%d+%d" % (box.width, box.height, box.x, box.y), "+repage",
                          "-format", "%c", "histogram:info:-"], capture_output=True, text=True, timeout=20).stdout
    counts = []
    for line in out.splitlines():
        m = re.match(r"\s*(\d+):\s*\(\s*(\d+),\s*(\d+),\s*(\d+)", line)
        if m:
            counts.append(tuple(int(v) for v in m.groups()))
    if not counts:
        return None
    _, r, g, b = max(counts)
    if r > 255 or g > 255 or b > 255:  # 16-bit depth
        r, g, b = r >> 8, g >> 8, b >> 8
    if g > r + 50 and g > b + 30:
        return "green"
    if abs(r - g) < 20 and abs(g - b) < 20:
        return "grey"
    return "#%02x%02x%02x" % (r, g, b)


def screen_pixels(x, y, width, height):
    """[(x, y, r, g, b)] of a rectangle of the screen, x and y relative to its corner."""
    out = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage",
                          "-depth", "8", "txt:-"], capture_output=True, text=True, timeout=20).stdout
    pixels = []
    for line in out.splitlines():
        m = re.match(r"(\d+),(\d+):\s*\(\s*(\d+),\s*(\d+),\s*(\d+)", line)
        if m:
            pixels.append(tuple(int(v) for v in m.groups()))
    return pixels


def centre_of(points, x, y, least=6):
    """The centre of the points' bounding box moved by (x, y), or None for fewer than least."""
    if len(points) < least:
        return None
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return (x + (min(xs) + max(xs)) // 2, y + (min(ys) + max(ys)) // 2)


def unread_mark(row):
    """Where a person sees a mark in the right half of a row (the unread-message envelope; nothing
    else is drawn there while the extension has no call): the centre of what differs from the row's
    background in the middle of its height, in desktop coordinates, or None."""
    box = row.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    half = box.width // 2
    pixels = screen_pixels(box.x + half, box.y, half, box.height)
    counts = {}
    for p in pixels:
        counts[p[2:]] = counts.get(p[2:], 0) + 1
    if not counts:
        return None
    background = max(counts, key=counts.get)
    # The middle band of the row: its rounded corners show the list's background.
    marked = [(x, y) for x, y, *rgb in pixels
              if box.height // 4 <= y < box.height * 3 // 4 and sum(abs(a - b) for a, b in zip(rgb, background)) > 120]
    return centre_of(marked, box.x + half, box.y)


def colour_spot(node, rgb, tolerance=24):
    """The centre of what the node's rectangle of the screen shows in this colour (a coloured button
    in a row that assistive technology does not reach), in desktop coordinates, or None."""
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pixels = screen_pixels(box.x, box.y, box.width, box.height)
    return centre_of([(x, y) for x, y, *c in pixels if all(abs(a - b) <= tolerance for a, b in zip(c, rgb))],
                     box.x, box.y, least=20)


def click_at(x, y):
    """A mouse click at a point of the screen."""
    where = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True, text=True,
                           timeout=10).stdout
    if "X=%d\n" % x in where and "Y=%d\n" % y in where:
        # Already there: a synchronous move would wait for a motion that never comes.
        subprocess.run(["xdotool", "click", "1"], check=True, timeout=10)
    else:
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True, timeout=10)


def click(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    click_at(box.x + box.width // 2, box.y + box.height // 2)


class Bed:
    """Display, registrar, panel and peers of one user path; everything is stopped at the end and
    the logs of what failed are printed."""

    def __init__(self):
        self.workdir = tempfile.mkdtemp(prefix="orvalo-userpath-")
        self.display = Display(self.workdir)
        os.environ["DISPLAY"] = self.display.name
        self.registrar = Kamailio(self.workdir)
        self.peers = []
        self.clouds = []
        self.panel = None

    def microphone(self, hz):
        path = os.path.join(self.workdir, "mic-%d.wav" % hz)
        write_tone(path, hz, 120)
        return path

    def start_panel(self, hz=700, env=None, cloud=NO_CLOUD, login=False):
        self.panel = Panel(self.workdir, self.display, self.microphone(hz), env, cloud)
        self.panel.start(login)
        return self.panel

    def desk(self, hz=700, env=None):
        """The registrar, and a panel with one extension, "Desk" 1001, registered at it."""
        self.registrar.start()
        panel = self.start_panel(hz=hz, env=env)
        panel.add_extension("Desk", "1001", self.registrar.hostport())
        wait_for(lambda: "1001" in self.registrar.registered(), "1001 registered at the registrar")
        return panel

    def peer(self, user, *extra):
        p = Peer(self.workdir, self.registrar, user, *extra)
        self.peers.append(p)
        return p

    def cloud(self, *args):
        """The cloud simulator with the shipped fixture pointed at this bed's registrar (once it runs)."""
        if self.registrar.process and "--sip-server" not in args:
            args = ("--sip-server", self.registrar.hostport()) + args
        c = CloudSim(self.workdir, *args)
        self.clouds.append(c)
        return c

    def run(self, body):
        ok = False
        try:
            body(self)
            ok = True
        except Failure as failure:
            print("FAIL:", failure, flush=True)
        finally:
            if self.panel:
                if not ok and self.panel.app is not None:
                    try:
                        print("---- the window as the accessibility bus shows it")
                        for n in walk(self.panel.app):
                            if n.getState().contains(pyatspi.STATE_SHOWING):
                                print(n.getRoleName(), repr(n.name))
                    except Exception as error:
                        print("(tree not readable: %s)" % error)
            for p in self.peers:
                p.stop()
            for c in self.clouds:
                c.stop()
            if self.panel:
                self.panel.stop()
                if not ok:
                    print("---- panel log (tail)\n" + self.panel.log()[-4000:])
            self.registrar.stop()
            self.display.stop()
            if ok:
                shutil.rmtree(self.workdir, ignore_errors=True)
            else:
                print("files kept in", self.workdir)
        print("PASS" if ok else "FAILED", flush=True)
        sys.exit(0 if ok else 1)

