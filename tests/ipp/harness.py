"""Pieces the end-to-end tests are made of: bounded waits, processes that
write to files and are stopped at the end, the emulated network printers,
the printer application, a private cupsd, ipptool runs, and the small
image formats the tests write and read (PNG, PWG raster)."""

import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import time
import zlib

LOOPBACK = "127.0.0.1"


def wait_until(predicate, timeout, step=0.1, what="condition"):
    """Calls predicate until it returns something true, at most `timeout`
    seconds (and 1000 tries); returns that value or raises TimeoutError."""
    deadline = time.monotonic() + timeout
    for _ in range(1000):
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            break
        time.sleep(step)
    raise TimeoutError(f"{what}: not reached within {timeout} s")


def free_port():
    """A TCP port on the loopback interface no one listens on just now."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind((LOOPBACK, 0))
        return s.getsockname()[1]


def port_open(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.settimeout(0.5)
        return s.connect_ex((LOOPBACK, port)) == 0


class Process:
    """A program started in its own process group, output to files (a pipe
    held by a server it leaves behind would hang the test)."""

    def __init__(self, argv, log_dir, name, env=None):
        os.makedirs(log_dir, exist_ok=True)
        self.name = name
        self.out_path = os.path.join(log_dir, name + ".out")
        self.err_path = os.path.join(log_dir, name + ".err")
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.proc = subprocess.Popen(argv, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                         env=env, start_new_session=True)

    def output(self):
        with open(self.out_path, errors="replace") as f:
            return f.read()

    def errors(self):
        with open(self.err_path, errors="replace") as f:
            return f.read()

    def running(self):
        return self.proc.poll() is None

    def stop(self, timeout=10):
        """SIGTERM to the group this process leads, then SIGKILL after
        `timeout` seconds; returns the exit status."""
        for sig, wait in ((signal.SIGTERM, timeout), (signal.SIGKILL, 5)):
            try:
                os.killpg(self.proc.pid, sig)
            except ProcessLookupError:
                pass
            try:
                return self.proc.wait(wait)
            except subprocess.TimeoutExpired:
                continue
        return self.proc.poll()


def run(argv, log_dir, name, env=None, timeout=60):
    """Runs a client program to its end (bounded), output to files; returns
    (exit status, stdout, stderr). Whatever it leaves running in its group
    is stopped."""
    p = Process(argv, log_dir, name, env)
    try:
        status = p.proc.wait(timeout)
    except subprocess.TimeoutExpired:
        status = None
    p.stop(timeout=3)
    return status, p.output(), p.errors()


class Emulator:
    """emulator-net: one emulated printer on a loopback port of its own."""

    def __init__(self, binary, model, work_dir, fault="none", lifetime=1800, port=0, name=None):
        self.model = model
        self.out_dir = os.path.join(work_dir, "emulator-" + (name or model))
        os.makedirs(self.out_dir, exist_ok=True)
        self.control = os.path.join(self.out_dir, "fault")
        self.process = Process([binary, "--model", model, "--port", str(port), "--out", self.out_dir,
                                "--fail", fault, "--control", self.control, "--lifetime", str(lifetime),
                                "--idle", "20", "--stall", "20", "--receive-buffer", "8192"],
                               work_dir, "emulator-" + (name or model))

        def announced():
            m = re.search(r"listening on 127\.0\.0\.1:(\d+)", self.process.output())
            if not m and not self.process.running():
                raise RuntimeError(f"emulator-net {model} exited: {self.process.errors()}")
            return m and int(m.group(1))

        self.port = wait_until(announced, 10, what=f"emulator {model} listening")
        self.uri = f"socket://{LOOPBACK}:{self.port}"

    def set_fault(self, fault):
        """Arms a fault for the coming connections (read at the next one)."""
        with open(self.control + ".tmp", "w") as f:
            f.write(fault + "\n")
        os.rename(self.control + ".tmp", self.control)
        wait_until(lambda: not os.path.exists(self.control), 5, what="emulator read its control file")

    def job_count(self):
        n = 0
        while os.path.exists(self.summary_path(n + 1)):
            n += 1
        return n

    def summary_path(self, number):
        return os.path.join(self.out_dir, f"job-{number}.json")

    def job(self, number):
        with open(self.summary_path(number)) as f:
            return json.load(f)

    def wait_for_job(self, number, timeout=60):
        wait_until(lambda: os.path.exists(self.summary_path(number)), timeout,
                   what=f"job {number} at emulator {self.model}")
        return self.job(number)

    def label_png(self, number, label=1):
        return os.path.join(self.out_dir, f"job-{number}-{label}.png")

    def job_data(self, number):
        with open(os.path.join(self.out_dir, f"job-{number}.prn"), "rb") as f:
            return f.read()

    def script(self, *lines):
        """Arms control lines for the coming connections: fault plans,
        "reply COMMAND=REPLY" (escapes as emulator-net --reply takes them) or
        "replies none"."""
        self.set_fault("\n".join(lines))

    def connections(self):
        """Every connection that has ended, as logged: number, end, the bytes
        received (a str whose code points are the bytes), commands, job."""
        try:
            with open(os.path.join(self.out_dir, "connections.jsonl"), encoding="ascii") as f:
                text = f.read()
        except FileNotFoundError:
            return []
        return [json.loads(line) for line in text.splitlines(keepends=True) if line.endswith("\n")]

    def settings_sent(self, since=0):
        """The bytes of each connection after the first `since` that carried
        more than queries (a setting, a job, anything else)."""
        return [c["received"].encode("latin-1") for c in self.connections()[since:]
                if any(line not in QUERY_LINES for line in c["received"].encode("latin-1").split(b"\r\n") if line)]

    def stop(self):
        return self.process.stop()


# What the printer is asked without anything changing.
QUERY_LINES = {b"VER", b"GETDEF", b"RESOL", b"MAINT", b"GETTM", b"CHECK", b"\x1bSTATUS", b"\x1bGETPG"}


def query(port, command, reply_lines=1, timeout=5):
    """Sends one command line on its own connection and reads the reply."""
    with socket.create_connection((LOOPBACK, port), timeout=timeout) as s:
        s.sendall(command.encode("latin-1") + b"\r\n")
        got = b""
        deadline = time.monotonic() + timeout
        while got.count(b"\r\n") < reply_lines and time.monotonic() < deadline:
            chunk = s.recv(4096)
            if not chunk:
                break
            got += chunk
        return got.decode("latin-1")


# ---- images ------------------------------------------------------------

def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def write_png(path, pixels, dpi=None):
    """Writes rows of 8-bit grey values (0 black) as a grey PNG, declaring
    `dpi` in its pHYs chunk when given."""
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)
    png = b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
    if dpi:
        ppm = round(dpi / 0.0254)
        png += _chunk(b"pHYs", struct.pack(">IIB", ppm, ppm, 1))
    png += _chunk(b"IDAT", zlib.compress(raw, 9)) + _chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def read_png(path):
    """Reads a non-interlaced grey or RGB PNG of 8 bits (or grey of 1 bit)
    into rows of grey values 0..255."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, ihdr = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = ihdr
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
    if interlace or (depth != 8 and not (depth == 1 and colour == 0)):
        raise ValueError(f"{path}: PNG layout not read here")
    bpp = max(1, channels * depth // 8)
    stride = (width * channels * depth + 7) // 8
    raw = zlib.decompress(idat)
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        if depth == 1:
            rows.append([255 if line[x >> 3] & (0x80 >> (x & 7)) else 0 for x in range(width)])
        else:
            rows.append([line[x * channels] for x in range(width)])
    return rows


def black(rows, threshold=128):
    """The set of (x, y) that are black."""
    return {(x, y) for y, row in enumerate(rows) for x, v in enumerate(row) if v < threshold}


def normalised(dots):
    """Dots moved so their bounding box starts at (0, 0)."""
    if not dots:
        return frozenset()
    x0 = min(x for x, _ in dots)
    y0 = min(y for _, y in dots)
    return frozenset((x - x0, y - y0) for x, y in dots)


def packbits_line(line):
    """One PWG raster line: a line-repeat byte of 0, then literal runs."""
    out = bytearray([0])
    for i in range(0, len(line), 128):
        chunk = line[i:i + 128]
        if len(chunk) == 1:
            out += bytes([0]) + chunk
        else:
            out += bytes([257 - len(chunk)]) + chunk
    return bytes(out)


def write_pwg(path, pixels, dpi, black_1=True):
    """Writes rows of grey values (0 black) as a one-page PWG raster:
    black_1 (1 = black dot) or sgray_8."""
    height, width = len(pixels), len(pixels[0])
    bits = 1 if black_1 else 8
    bytes_per_line = (width * bits + 7) // 8
    h = bytearray(1796)

    def put(offset, value):
        struct.pack_into(">I", h, offset, value)

    h[0:9] = b"PwgRaster"
    put(276, dpi)
    put(280, dpi)
    put(340, 1)                                       # NumCopies
    put(352, round(width * 72 / dpi))                 # PageSize in points
    put(356, round(height * 72 / dpi))
    put(372, width)
    put(376, height)
    put(384, bits)
    put(388, bits)
    put(392, bytes_per_line)
    put(400, 3 if black_1 else 18)                    # black / sgray
    put(420, 1)                                       # NumColors
    put(452, 1)                                       # TotalPageCount
    put(456, 1)                                       # CrossFeedTransform
    put(460, 1)                                       # FeedTransform
    body = bytearray()
    for row in pixels:
        if black_1:
            line = bytearray(bytes_per_line)
            for x, v in enumerate(row):
                if v < 128:
                    line[x >> 3] |= 0x80 >> (x & 7)
        else:
            line = bytearray(row)
        body += packbits_line(bytes(line))
    with open(path, "wb") as f:
        f.write(b"RaS2" + bytes(h) + bytes(body))


def scan_barcodes(zbarimg, png):
    """What zbarimg reads in a picture: a list of 'TYPE:DATA' lines."""
    r = subprocess.run([zbarimg, "--quiet", png], capture_output=True, text=True, timeout=60)
    return [line for line in r.stdout.splitlines() if line]


# ---- IPP ---------------------------------------------------------------

IPP_HEADER = """{
\tNAME "%(name)s"
\tOPERATION %(operation)s
\tGROUP operation-attributes-tag
\tATTR charset attributes-charset utf-8
\tATTR naturalLanguage attributes-natural-language en
\tATTR uri printer-uri $uri
\tATTR name requesting-user-name e2e
"""


def ipp_test_file(path, name, operation, operation_attrs="", job_attrs="", body=""):
    text = IPP_HEADER % {"name": name, "operation": operation} + operation_attrs
    if job_attrs:
        text += "\tGROUP job-attributes-tag\n" + job_attrs
    text += body + "}\n"
    with open(path, "w") as f:
        f.write(text)
    return path


def parse_ipptool_values(text):
    """'name (type) = value' lines of ipptool's verbose output as a dict of
    the last value seen for each name."""
    values = {}
    for m in re.finditer(r"^\s+([a-z0-9-]+) \(([^)]+)\) = (.*)$", text, re.M):
        values[m.group(1)] = m.group(3).strip()
    return values


class Ipptool:
    def __init__(self, binary, work_dir):
        self.binary = binary
        self.work_dir = work_dir
        self.runs = 0

    def run(self, uri, test_files, defines=None, document=None, timeout=120, content_length=False):
        """Runs ipptool -tv over the test files (the document sent chunked,
        or with its length first); returns (status, output)."""
        self.runs += 1
        argv = [self.binary, "-4", "-T", "30", "-tv"] + (["-L"] if content_length else [])
        for k, v in (defines or {}).items():
            argv += ["-d", f"{k}={v}"]
        if document:
            argv += ["-f", document]
        argv += [uri] + list(test_files)
        status, out, err = run(argv, self.work_dir, f"ipptool-{self.runs}", timeout=timeout)
        return status, out + err


class PrinterApp:
    """The printer application on a loopback port with a private state
    directory and spool (or on every address, `listen_hostname` None; more
    server options in `options`)."""

    def __init__(self, binary, work_dir, listen_hostname="localhost", options=()):
        self.binary = binary
        self.work_dir = work_dir
        self.state = os.path.join(work_dir, "app-state")
        os.makedirs(self.state, exist_ok=True)
        self.env = dict(os.environ, SNAP_COMMON=self.state)
        self.port = free_port()
        self.clients = 0
        listen = ["-o", f"listen-hostname={listen_hostname}"] if listen_hostname else []
        self.server = Process([binary, "server"] + listen + list(options) +
                              ["-o", f"server-port={self.port}", "-o", "log-level=debug",
                               "-o", f"log-file={os.path.join(work_dir, 'app.log')}"],
                              work_dir, "app-server", env=self.env)

        def up():
            if not self.server.running():
                raise RuntimeError(f"the printer application exited: {self.server.errors()}")
            return port_open(self.port)

        wait_until(up, 30, what="the printer application listening")

    def client(self, *args, timeout=60):
        self.clients += 1
        return run([self.binary] + list(args), self.work_dir, f"app-client-{self.clients}",
                   env=self.env, timeout=timeout)

    def drivers(self):
        status, out, err = self.client("drivers")
        if status != 0:
            raise RuntimeError(f"drivers sub-command failed: {out}{err}")
        return [line.split()[0] for line in out.splitlines() if line.strip()]

    def driver_for(self, model):
        names = [d for d in self.drivers() if model.lower() in d.lower()]
        if len(names) != 1:
            raise RuntimeError(f"no single driver for {model} in {self.drivers()}")
        return names[0]

    def add_printer(self, name, model, device_uri):
        status, out, err = self.client("add", "-d", name, "-m", self.driver_for(model), "-v", device_uri)
        if status != 0:
            raise RuntimeError(f"add {name} failed ({status}): {out}{err}")
        return self.uri(name)

    def uri(self, name, host="localhost"):
        return f"ipp://{host}:{self.port}/ipp/print/{name}"

    def stop(self):
        return self.server.stop()


class Cupsd:
    """A cupsd of the test's own: private ServerRoot, RequestRoot and
    state, listening on a loopback port only."""

    def __init__(self, binary, work_dir):
        self.root = os.path.join(work_dir, "cups")
        self.work_dir = work_dir
        self.port = free_port()
        dirs = {k: os.path.join(self.root, k) for k in ("etc", "spool", "tmp", "cache", "state", "log")}
        for d in dirs.values():
            os.makedirs(d, exist_ok=True)
            os.chmod(d, 0o777 if d.endswith("tmp") else 0o755)
        for sub in ("ppd", "ssl"):
            os.makedirs(os.path.join(dirs["etc"], sub), exist_ok=True)
        self.conf = os.path.join(dirs["etc"], "cupsd.conf")
        self.files = os.path.join(dirs["etc"], "cups-files.conf")
        with open(self.conf, "w") as f:
            f.write(f"""Listen {LOOPBACK}:{self.port}
ServerName {LOOPBACK}
LogLevel debug
Browsing No
WebInterface No
DefaultAuthType None
DefaultPolicy open
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Location /admin>
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy open>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
""")
        with open(self.files, "w") as f:
            f.write(f"""ServerRoot {dirs['etc']}
RequestRoot {dirs['spool']}
TempDir {dirs['tmp']}
CacheDir {dirs['cache']}
StateDir {dirs['state']}
ErrorLog {dirs['log']}/error_log
AccessLog {dirs['log']}/access_log
PageLog {dirs['log']}/page_log
Printcap {dirs['state']}/printcap
ServerBin /usr/lib/cups
DataDir /usr/share/cups
FileDevice No
Sandboxing Relaxed
""")
        self.error_log = os.path.join(dirs["log"], "error_log")
        self.server = Process([binary, "-f", "-c", self.conf, "-s", self.files], work_dir, "cupsd")

        def up():
            if not self.server.running():
                raise RuntimeError(f"cupsd exited: {self.server.errors()} {self.log()}")
            return port_open(self.port)

        wait_until(up, 30, what="cupsd listening")
        self.host = f"{LOOPBACK}:{self.port}"

    def log(self):
        try:
            with open(self.error_log, errors="replace") as f:
                return f.read()[-4000:]
        except OSError:
            return ""

    def wait_queue_ready(self, queue, work_dir, timeout=120):
        """Waits until `lpstat -p` shows the queue idle (lpadmin -m everywhere
        makes the queue's PPD after it returns)."""
        def ready():
            status, out, _ = run(["lpstat", "-h", self.host, "-p", queue], work_dir, "lpstat", timeout=30)
            return status == 0 and "idle" in out
        wait_until(ready, timeout, step=0.5, what=f"queue {queue} ready")

    def stop(self):
        return self.server.stop()


def make_work_dir():
    # Open to all: cupsd runs its filters as the lp user, who reads the
    # queue's PPD and writes temporary files below this folder.
    path = tempfile.mkdtemp(prefix="ipp-e2e-")
    os.chmod(path, 0o755)
    return path


def remove_work_dir(path, keep):
    if not keep:
        shutil.rmtree(path, ignore_errors=True)



def suite_main(module, config, programs=()):
    """The command line of a suite: --build BUILD_DIR [--app PATH] [--keep]
    [unittest options]. Fills `config` with the build folder, the printer
    application, emulator-net, each of `programs` (name, path in the build
    folder) and a fresh work folder; runs the module's unittest cases and
    prints "N passed, N failed": a skipped test counts as failed (nothing
    here may be left out quietly), a test with several failing cases counts
    once, a class whose set-up failed as one failure. The work folder is
    kept when asked or when a test failed. Returns the exit status."""
    import argparse
    import sys
    import unittest
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--build", required=True)
    parser.add_argument("--app")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    args, rest = parser.parse_known_args()
    build = os.path.abspath(args.build)
    config["build"] = build
    config["app"] = args.app or os.environ.get("PRINTER_APP") or os.path.join(build, "printerapp",
                                                                               "varodyn-printer-app")
    config["emulator-net"] = os.path.join(build, "emulator", "net", "emulator-net")
    for name, path in programs:
        config[name] = os.path.join(build, path)
    config["work"] = make_work_dir()
    print(f"work folder: {config['work']}", flush=True)
    program = unittest.main(module=module, argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    result = program.result
    failing = {getattr(t, "test_case", t) for t, _ in result.failures + result.errors}
    failing |= set(result.unexpectedSuccesses)
    failed = len({t.id() for t in failing})
    skipped = len(result.skipped)
    passed = result.testsRun - len({t.id() for t in failing if isinstance(t, unittest.TestCase)}) - skipped
    remove_work_dir(config["work"], args.keep or failed > 0)
    print(f"{passed} passed, {failed + skipped} failed", flush=True)
    return 0 if failed + skipped == 0 and result.testsRun > 0 else 1
