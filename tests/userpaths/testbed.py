"""The bed of a user path: loopback Kamailio, scripted peers, the cloud simulator and Xvfb, each
stopped by its pid; bounded waits and checks; tone files written for the panel's microphone and
read back from its recordings.
"""

import glob
import math
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import wave

BIN = os.environ.get("ORVALO_BIN_DIR", os.path.join(os.path.dirname(__file__), "../../build/bin"))
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "../.."))
WAIT = 15.0  # default bound of a wait, seconds


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
        self.workdir = workdir
        self.start()

    def answers(self):
        try:
            return subprocess.run(["xdpyinfo", "-display", self.name], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, timeout=10).returncode == 0
        except subprocess.TimeoutExpired:
            return False

    def state(self):
        """The server process's state and where it waits (for a report of a display that hangs)."""
        pid = self.process.proc.pid
        try:
            with open("/proc/%d/stat" % pid) as stat, open("/proc/%d/wchan" % pid) as wchan:
                return "Xvfb %d state %s, waiting in %s" % (pid, stat.read().rsplit(")", 1)[1].split()[0],
                                                             wchan.read() or "-")
        except OSError:
            return "Xvfb %d is gone" % pid

    def start(self):
        log = os.path.join(self.workdir, "xvfb.log")
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
                if self.answers() and self.process.running():
                    os.environ["DISPLAY"] = self.name
                    return
            self.process.stop()
            time.sleep(0.2 * (attempt + 1))
        check(False, "Xvfb did not start:\n" + self.process.log())

    def stop(self):
        self.process.stop()

