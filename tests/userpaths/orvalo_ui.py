"""Drives the real panel (build/bin/orvalo) as a person does: through the accessibility bus under
Xvfb, with real mouse clicks (xdotool) and keys, against a loopback Kamailio and scripted peers.

Run inside the loopback-only namespace and a private D-Bus session (tests/userpaths/run.sh).
Every wait is bounded; every process started here is stopped by its pid.
"""

import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile

try:
    import pyatspi  # Debian's python3-pyatspi: run with /usr/bin/python3
except ImportError:
    print("python3-pyatspi is missing (make deps)")
    sys.exit(1)

from testbed import *  # noqa: F401,F403 (the user paths take the bed's names from here too)

BUTTON = "push button"

# A cloud address where nothing listens: the hello check of the login window fails at once.
NO_CLOUD = "https://127.0.0.1:9/briskogui/"
LOGIN_TITLE = "Enter your login credentials"


class Panel:
    """A copy of build/bin/orvalo in its own folder (its database, settings and log land beside
    it), with the file sound card and unattended question boxes. Its settings file names the cloud
    address (nothing listening by default)."""

    def __init__(self, workdir, display, microphone, env=None, cloud=NO_CLOUD):
        self.dir = os.path.join(workdir, "app")
        self.display = display
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
        self.env["ORVALO_START_TRACE"] = os.path.join(self.dir, "start-trace")
        # Under a loaded machine (ctest runs several suites at once) the toolkit's first, blocking
        # calls on the accessibility bus have been seen to hang the panel's start for over a minute,
        # before it had read its settings. That start is reported (where it stood, and the panel's
        # threads) and the panel is started once more.
        for attempt in (1, 2):
            self.process = Process([os.path.join(self.dir, "orvalo")], os.path.join(self.dir, "stdout.log"),
                                   env=self.env, cwd=self.dir)
            try:
                self.app = wait_for(self._find_app, "the panel on the accessibility bus", 60)
                break
            except Failure:
                if attempt == 2:
                    raise
                self._report_stuck_start()
                self.process.stop()
                if not self.display.answers():
                    print("the display no longer answers (%s); a new one is started" % self.display.state(),
                          flush=True)
                    self.display.stop()
                    self.display.start()
                    self.env["DISPLAY"] = self.display.name
        self.window = wait_for(lambda: find(self.app, role="frame", name="Orvalo Lite"), "the main window")
        if not login:
            self.close_login()

    def _report_stuck_start(self):
        print("the panel did not reach the accessibility bus within 60 s; its start trace:", flush=True)
        try:
            with open(self.env["ORVALO_START_TRACE"]) as trace:
                print(trace.read()[-2000:], flush=True)
        except OSError:
            print("  (none written)", flush=True)
        if shutil.which("gdb"):
            out = subprocess.run(["gdb", "-batch", "-p", str(self.process.proc.pid), "-ex", "thread apply all bt 25"],
                                 capture_output=True, text=True, timeout=60)
            print(out.stdout[-6000:], flush=True)
        print("starting the panel once more", flush=True)

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


def answered_call(bed, panel, caller):
    """The caller (a peer) calls 1001; the operator answers it with Answer and ends it with Hang up."""
    caller.command("call " + bed.registrar.uri("1001"))
    caller.wait(r"state=OutgoingRinging")
    wait_for(lambda: panel.call_labels(), "the call's label under Call status")
    panel.click("Answer")
    caller.wait(r"state=StreamsRunning")
    panel.click("Hang up")
    caller.wait(r"state=End ")
    wait_for(lambda: not panel.call_labels(), "the answered call's label to go")


def called_back(panel, caller):
    """The panel has just called the caller (a peer) back from 1001: it answers, the operator hangs
    up."""
    called = caller.wait(r"state=IncomingReceived")
    check("from=sip:1001@" in called, "the caller was called by " + called)
    caller.command("answer")
    caller.wait(r"state=StreamsRunning")
    wait_for(lambda: panel.shows("Hang up"), "Hang up while the call back is up")
    panel.click("Hang up")
    caller.wait(r"state=End ")
    wait_for(lambda: not panel.call_labels(), "the call back's label to go")


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

