#!/usr/bin/env python3
"""The printer application end to end, with real neighbours: ipptool's
stored tests, jobs of every input format printed on emulated network
printers and compared dot for dot, barcodes read back with zbarimg, a
private cupsd printing a PDF through the application, and bad input that
must be reported while the application keeps serving.

  e2e_test.py --build BUILD_DIR [--app PATH] [--keep] [unittest options]

Ends with a line "N passed, N failed". Nothing is skipped: a missing
program is a failure."""

import ctypes
import ctypes.util
import os
import re
import shutil
import subprocess
import sys
import unittest

import harness as h

MODELS = {"TR7208": {"dpi": 203, "dpmm": 8}, "KV830": {"dpi": 300, "dpmm": 12}}
STORED_TESTS = "/usr/share/cups/ipptool"
TERMINAL = {"canceled", "aborted", "completed"}
STOPPED = {"pending-held", "processing-stopped"}

CONFIG = {}
STATE = {}


def tool(name):
    path = shutil.which(name) or shutil.which(name, path="/usr/sbin:/usr/bin:/sbin:/bin")
    if not path:
        raise AssertionError(f"{name} is not installed")
    return path


def built(name):
    path = CONFIG[name]
    if not os.access(path, os.X_OK):
        raise AssertionError(f"{path} is missing: build it first")
    return path


def label_pattern(width, height, margin=16):
    """A black-and-white test label: a 2-dot frame, a checker of 3-dot
    squares, a 1-dot diagonal and lone dots; any scaling, dithering or
    shift inside the label changes it."""
    rows = [bytearray(b"\xff" * width) for _ in range(height)]

    def dot(x, y):
        rows[y][x] = 0

    for x in range(margin, width - margin):
        for t in (0, 1):
            dot(x, margin + t)
            dot(x, height - margin - 1 - t)
    for y in range(margin, height - margin):
        for t in (0, 1):
            dot(margin + t, y)
            dot(width - margin - 1 - t, y)
    for y in range(margin + 8, margin + 8 + 30):
        for x in range(margin + 8, margin + 8 + 60):
            if ((x - margin) // 3 + (y - margin) // 3) % 2 == 0:
                dot(x, y)
    for i in range(min(width, height) - 2 * margin - 60):
        dot(margin + 40 + i, margin + 45 + i // 2)
    for x, y in ((width // 2, height - margin - 10), (width - margin - 10, height // 2), (width // 3, height // 3)):
        dot(x, y)
    return [bytes(r) for r in rows]


def labelprint_job(model, work, stem, items, width_mm10=500, height_mm10=300):
    """A job file written by the Windows driver's code (labelprint) and the
    emulator's picture of it."""
    prn = os.path.join(work, stem + ".prn")
    preview = os.path.join(work, stem + "-preview.png")
    argv = [built("labelprint"), "--model", model, "--width", str(width_mm10), "--height", str(height_mm10)]
    argv += items + ["--preview", preview, "-o", prn]
    status, out, err = h.run(argv, work, "labelprint-" + stem, timeout=120)
    if status != 0:
        raise AssertionError(f"labelprint failed: {out}{err}")
    return prn, preview


class EmulatorProgram(unittest.TestCase):
    """emulator-net as the tests drive it: the port it announces, replies,
    job files and the fault control file, and a prompt stop."""

    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(CONFIG["work"], "emulator-program")
        os.makedirs(cls.work, exist_ok=True)
        cls.emulator = h.Emulator(built("emulator-net"), "KV830", cls.work)

    @classmethod
    def tearDownClass(cls):
        cls.emulator.stop()

    def send(self, data):
        with h.socket.create_connection((h.LOOPBACK, self.emulator.port), timeout=10) as s:
            s.sendall(data)

    def test_answers_the_resolution_query(self):
        self.assertEqual(h.query(self.emulator.port, "RESOL"), "12\r\n")

    def test_job_becomes_a_picture_and_a_fault_strikes_once(self):
        prn, preview = labelprint_job("KV830", self.work, "code128", ['--barcode', '2,2,code128,"VRD-0042"'])
        with open(prn, "rb") as f:
            data = f.read()
        first = self.emulator.job_count() + 1
        self.send(data)
        job = self.emulator.wait_for_job(first)
        self.assertTrue(job["decoded"], job)
        self.assertEqual(self.emulator.job_data(first), data)
        self.assertEqual(h.read_png(self.emulator.label_png(first)), h.read_png(preview))

        self.emulator.set_fault("drop:100x1")
        self.send(data)
        self.assertEqual(self.emulator.wait_for_job(first + 1)["end"], "dropped")
        self.send(data)
        self.assertEqual(self.emulator.wait_for_job(first + 2)["end"], "closed")

    def test_stops_on_sigterm(self):
        other = h.Emulator(built("emulator-net"), "TR7208", os.path.join(self.work, "other"))
        self.assertEqual(other.stop(), 0)
        self.assertIn("stopped after", other.process.output())


class Fixtures(unittest.TestCase):
    """The inputs this suite writes itself, read back by other programs, so
    a fault in a fixture is not taken for one of the application."""

    def test_pwg_raster_reads_back_through_libcups(self):
        libcups = ctypes.CDLL(ctypes.util.find_library("cups") or "libcups.so.2")
        libcups.cupsRasterOpen.restype = ctypes.c_void_p
        libcups.cupsRasterOpen.argtypes = [ctypes.c_int, ctypes.c_int]
        libcups.cupsRasterReadHeader2.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
        libcups.cupsRasterReadPixels.restype = ctypes.c_uint
        libcups.cupsRasterReadPixels.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_uint]
        libcups.cupsRasterClose.argtypes = [ctypes.c_void_p]
        pixels = label_pattern(200, 120)
        for black_1 in (True, False):
            with self.subTest(black_1=black_1):
                path = os.path.join(CONFIG["work"], f"fixture-{black_1}.pwg")
                h.write_pwg(path, pixels, 203, black_1)
                fd = os.open(path, os.O_RDONLY)
                raster = libcups.cupsRasterOpen(fd, 0)
                header = ctypes.create_string_buffer(1796 + 64)
                self.assertEqual(libcups.cupsRasterReadHeader2(raster, header), 1)
                # libcups hands the header over in the host's byte order.
                width, height, _, bits = h.struct.unpack_from("=IIII", header.raw, 372)
                self.assertEqual((width, height, bits), (200, 120, 1 if black_1 else 8))
                line = ctypes.create_string_buffer(200)
                got = []
                for _ in range(height):
                    n = (width * bits + 7) // 8
                    self.assertEqual(libcups.cupsRasterReadPixels(raster, line, n), n)
                    got.append(line.raw[:n])
                libcups.cupsRasterClose(raster)
                os.close(fd)
                if black_1:
                    dots = {(x, y) for y, r in enumerate(got) for x in range(width) if r[x >> 3] & (0x80 >> (x & 7))}
                else:
                    dots = {(x, y) for y, r in enumerate(got) for x in range(width) if r[x] < 128}
                self.assertEqual(dots, h.black(pixels))

    def test_jpeg_of_a_black_and_white_label_thresholds_back_exactly(self):
        pixels = label_pattern(200, 120)
        png = os.path.join(CONFIG["work"], "fixture.png")
        jpeg = os.path.join(CONFIG["work"], "fixture.jpg")
        back = os.path.join(CONFIG["work"], "fixture-back.png")
        h.write_png(png, pixels, 203)
        make_jpeg(png, jpeg, 203)
        subprocess.run([tool("convert"), jpeg, "-colorspace", "Gray", "-depth", "8", back], check=True, timeout=60)
        self.assertEqual(h.black(h.read_png(back)), h.black(pixels))


def make_jpeg(png, jpeg, dpi):
    subprocess.run([tool("convert"), png, "-colorspace", "Gray", "-quality", "100", "-sampling-factor", "1x1",
                    "-units", "PixelsPerInch", "-density", str(dpi), jpeg], check=True, timeout=60)


def setUpModule():
    CONFIG["ipptool"] = tool("ipptool")


class Application:
    """One printer application with a printer per model, each on its own
    emulator, shared by the tests that need it."""

    def __init__(self):
        app = CONFIG["app"]
        if not os.access(app, os.X_OK):
            raise AssertionError(f"the printer application {app} is missing: build it first")
        self.work = os.path.join(CONFIG["work"], "app")
        os.makedirs(self.work, exist_ok=True)
        self.emulators, self.printers = {}, {}
        self.ipptool = h.Ipptool(CONFIG["ipptool"], self.work)
        self.app = None
        try:
            for model in MODELS:
                self.emulators[model] = h.Emulator(built("emulator-net"), model, self.work)
            self.app = h.PrinterApp(app, self.work)
            for model in MODELS:
                self.printers[model] = self.app.add_printer(model, model, self.emulators[model].uri)
        except BaseException:
            self.stop()
            raise

    def stop(self):
        if self.app:
            self.app.stop()
        for e in self.emulators.values():
            e.stop()

    def attributes(self, model, names):
        path = h.ipp_test_file(os.path.join(self.work, "get-attrs.test"), "attributes", "Get-Printer-Attributes",
                               f"\tATTR keyword requested-attributes {','.join(names)}\n",
                               body="".join(f"\tDISPLAY {n}\n" for n in names))
        self.alive()
        status, out = self.ipptool.run(self.printers[model], [path])
        return h.parse_ipptool_values(out)

    def vendor_format(self, model):
        formats = self.attributes(model, ["document-format-supported"]).get("document-format-supported", "")
        vendor = [f for f in formats.split(",") if f.startswith("application/vnd.")]
        if not vendor:
            raise AssertionError(f"no vendor document format among {formats}")
        return vendor[0]

    def alive(self):
        """Raises with the application's last words once it has exited, so
        the tests after a crash say so instead of timing out one by one."""
        if not self.app.server.running():
            with open(os.path.join(self.work, "app.log"), errors="replace") as f:
                log = f.read()[-3000:]
            raise AssertionError(f"the printer application exited ({self.app.server.proc.returncode}):\n"
                                 f"{self.app.server.errors()[-2000:]}\n{log}")

    def submit(self, model, document, fmt, job_attrs="", content_length=False):
        """Print-Job; returns (status-code, job-id or None, ipptool output)."""
        self.alive()
        path = h.ipp_test_file(os.path.join(self.work, "print.test"), "print", "Print-Job",
                               f"\tATTR mimeMediaType document-format {fmt}\n", job_attrs,
                               body="\tFILE $filename\n\tDISPLAY job-id\n")
        status, out = self.ipptool.run(self.printers[model], [path], document=document,
                                       content_length=content_length)
        # ipptool shows a status of successful-ok even when no response came.
        m = None if "RECEIVED: 0 bytes in response" in out else re.search(r"status-code = ([a-z-]+)", out)
        job = re.search(r"job-id \(integer\) = (\d+)", out)
        return (m.group(1) if m else "no-response"), (int(job.group(1)) if job else None), out

    def job_state(self, model, job_id):
        path = h.ipp_test_file(os.path.join(self.work, "job.test"), "job", "Get-Job-Attributes",
                               f"\tATTR integer job-id {job_id}\n"
                               "\tATTR keyword requested-attributes job-state,job-state-reasons,job-state-message\n",
                               body="\tDISPLAY job-state\n\tDISPLAY job-state-reasons\n\tDISPLAY job-state-message\n")
        status, out = self.ipptool.run(self.printers[model], [path])
        return h.parse_ipptool_values(out)

    def wait_job(self, model, job_id, timeout=90, settle=STOPPED):
        """Waits until the job is canceled, aborted or completed (or in one
        of `settle`); returns its job-state, reasons and message."""
        def done():
            v = self.job_state(model, job_id)
            return v if v.get("job-state") in TERMINAL | settle else None

        return h.wait_until(done, timeout, step=0.5, what=f"job {job_id} on {model} to end")


def media_col(width_dots, height_dots, dpmm):
    return ("\tATTR collection media-col {\n"
            "\t\tMEMBER collection media-size {\n"
            f"\t\t\tMEMBER integer x-dimension {width_dots * 100 // dpmm}\n"
            f"\t\t\tMEMBER integer y-dimension {height_dots * 100 // dpmm}\n"
            "\t\t}\n"
            "\t\tMEMBER integer media-bottom-margin 0\n\t\tMEMBER integer media-left-margin 0\n"
            "\t\tMEMBER integer media-right-margin 0\n\t\tMEMBER integer media-top-margin 0\n"
            "\t}\n")


ONE_TO_ONE = "\tATTR keyword print-scaling none\n\tATTR enum orientation-requested 3\n"


class WithApplication(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if "app" not in STATE:
            STATE["app"] = Application()
        cls.a = STATE["app"]

    def print_and_wait(self, model, document, fmt, job_attrs):
        """Prints; asserts the job completed and the emulator decoded one new
        job; returns that job's summary and number."""
        emulator = self.a.emulators[model]
        before = emulator.job_count()
        status, job_id, out = self.a.submit(model, document, fmt, job_attrs)
        self.assertEqual(status, "successful-ok", out)
        state = self.a.wait_job(model, job_id, settle=set())
        self.assertEqual(state.get("job-state"), "completed", state)
        job = emulator.wait_for_job(before + 1)
        self.assertTrue(job["decoded"], job)
        self.assertEqual(job["end"], "closed", job)
        return job, before + 1


class StoredIpptoolTests(WithApplication):
    def test_stored_tests_pass_on_both_printers(self):
        work = self.a.work
        document = os.path.join(work, "stored-tests.png")
        h.write_png(document, label_pattern(400, 240), 203)
        # The attribute checks of the IPP Everywhere suite: its required
        # operations and attributes block, without the print runs after it.
        with open(os.path.join(STORED_TESTS, "ipp-everywhere.test")) as f:
            suite = f.read()
        start = suite.index("# Test required printer description attribute support.")
        end = suite.index("# Test printing all sample documents")
        everywhere = os.path.join(work, "ipp-everywhere-attributes.test")
        with open(everywhere, "w") as f:
            f.write(suite[start:end])
        files = [os.path.join(STORED_TESTS, "get-printer-attributes.test"), everywhere,
                 os.path.join(STORED_TESTS, "print-job.test"), os.path.join(STORED_TESTS, "print-job-media-col.test")]
        for model in MODELS:
            for test_file in files:
                with self.subTest(model=model, test=os.path.basename(test_file)):
                    status, out = self.a.ipptool.run(self.a.printers[model], [test_file], document=document)
                    self.assertEqual(status, 0, out[-6000:])


class DotForDot(WithApplication):
    """Black-and-white labels printed 1:1 arrive at the printer unchanged,
    whatever format they came in."""

    def check_format(self, fmt, write, inset_mm=0):
        """Prints the test label on a 50 x 30 mm label; an image `inset_mm`
        smaller than the label each way is placed on it 1:1 (a model whose
        dots are not exactly its nominal size has a few dots fewer on the
        label than the image would have at the nominal size)."""
        for model, m in MODELS.items():
            with self.subTest(model=model, format=fmt):
                width, height = 50 * m["dpmm"], 30 * m["dpmm"]
                inset = inset_mm * m["dpmm"]
                pixels = label_pattern(width - inset, height - inset)
                document = os.path.join(self.a.work, f"dots-{model}.{fmt.split('/')[1]}")
                write(document, pixels, m["dpi"])
                job, number = self.print_and_wait(model, document, fmt, ONE_TO_ONE + media_col(width, height, m["dpmm"]))
                self.assertEqual(len(job["labels"]), 1, job)
                printed = h.black(h.read_png(self.a.emulators[model].label_png(number)))
                self.assertEqual(h.normalised(printed), h.normalised(h.black(pixels)),
                                 f"{len(printed)} dots printed, {len(h.black(pixels))} sent")

    def test_png(self):
        self.check_format("image/png", h.write_png, inset_mm=4)

    def test_jpeg(self):
        def write(path, pixels, dpi):
            png = path + ".png"
            h.write_png(png, pixels, dpi)
            make_jpeg(png, path, dpi)
        self.check_format("image/jpeg", write, inset_mm=4)

    def test_pwg_raster(self):
        # Each bi-level or grey type the printers offer, as a client that
        # reads pwg-raster-document-type-supported sends it.
        offered = set()
        for model in MODELS:
            types = self.a.attributes(model, ["pwg-raster-document-type-supported"])
            offered |= set(types.get("pwg-raster-document-type-supported", "").split(","))
        kinds = sorted(offered & {"black_1", "sgray_8"})
        self.assertTrue(kinds, f"no black_1 or sgray_8 among {offered}")
        for kind in kinds:
            with self.subTest(type=kind):
                self.check_format("image/pwg-raster",
                                  lambda path, pixels, dpi: h.write_pwg(path, pixels, dpi, kind == "black_1"))

    def test_raw_native_file_reaches_the_printer_unchanged(self):
        for model in MODELS:
            with self.subTest(model=model):
                prn, _ = labelprint_job(model, self.a.work, f"raw-{model}",
                                        ['--text', '2,2,4,"RAW 42"', '--box', '1,1,48,28,0.5'])
                job, number = self.print_and_wait(model, prn, self.a.vendor_format(model), "")
                with open(prn, "rb") as f:
                    self.assertEqual(self.a.emulators[model].job_data(number), f.read())


class Barcodes(WithApplication):
    CASES = [("code128", "VRD-2026-0042", "CODE-128"), ("qr", "https://varodyn.example/label/0042", "QR-Code")]

    def test_code128_and_qr_scan_back_at_each_resolution(self):
        zbarimg = tool("zbarimg")
        for model, m in MODELS.items():
            for kind, data, symbol in self.CASES:
                with self.subTest(model=model, symbology=kind):
                    _, preview = labelprint_job(model, self.a.work, f"{kind}-{model}",
                                                [f'--barcode', f'3,3,{kind},"{data}"'])
                    # The label as the driver drew it, declared at the printer's resolution.
                    pixels = [bytes(r) for r in h.read_png(preview)]
                    document = os.path.join(self.a.work, f"{kind}-{model}.png")
                    h.write_png(document, pixels, m["dpi"])
                    job, number = self.print_and_wait(
                        model, document, "image/png",
                        ONE_TO_ONE + media_col(len(pixels[0]), len(pixels), m["dpmm"]))
                    scanned = h.scan_barcodes(zbarimg, self.a.emulators[model].label_png(number))
                    self.assertIn(f"{symbol}:{data}", scanned)


class BadInput(WithApplication):
    """Each bad job is reported (refused, or ended with a reason), a raw
    file that does not check out sends the printer nothing, and the next
    job prints."""

    def reported(self, model, status, job_id, out):
        """How the application reported a bad job, or None when it did not
        (no response at all is no report)."""
        if status == "no-response":
            return None
        if not status.startswith("successful-ok"):
            return f"refused: {status}"
        if status != "successful-ok":
            return f"accepted with {status}"
        self.assertIsNotNone(job_id, out)
        state = self.a.wait_job(model, job_id)
        reasons = state.get("job-state-reasons", "")
        if state.get("job-state") != "completed" or re.search(r"warnings|errors", reasons):
            return f"{state.get('job-state')}: {reasons} {state.get('job-state-message', '')}"
        return None

    def next_job_prints(self, model):
        m = MODELS[model]
        width, height = 30 * m["dpmm"], 20 * m["dpmm"]
        document = os.path.join(self.a.work, "after-bad.png")
        pixels = label_pattern(width, height, margin=8)
        h.write_png(document, pixels, m["dpi"])
        self.print_and_wait(model, document, "image/png", ONE_TO_ONE + media_col(width, height, m["dpmm"]))

    def truncated_pwg(self, model, path):
        m = MODELS[model]
        h.write_pwg(path, label_pattern(50 * m["dpmm"], 30 * m["dpmm"]), m["dpi"])
        with open(path, "rb+") as f:
            f.truncate(os.path.getsize(path) * 6 // 10)
        return path, "image/pwg-raster", ONE_TO_ONE

    def huge_png(self, model, path):
        m = MODELS[model]
        width, height = 420 * m["dpmm"], 600 * m["dpmm"]
        h.write_png(path, [b"\x00" * width] * height, m["dpi"])
        return path, "image/png", ONE_TO_ONE

    def unknown_command(self, model, path):
        prn, _ = labelprint_job(model, self.a.work, f"unknown-{model}", ['--text', '2,2,4,"X"'])
        with open(prn, "rb") as f:
            data = f.read()
        cut = data.index(b"START\r\n")
        with open(path, "wb") as f:
            f.write(data[:cut] + b"FROBNICATE X=1\r\n" + data[cut:])
        return path, self.a.vendor_format(model), ""

    def size_beyond_limits(self, model, path):
        m = MODELS[model]
        h.write_png(path, label_pattern(40 * m["dpmm"], 30 * m["dpmm"]), m["dpi"])
        return path, "image/png", media_col(400 * m["dpmm"], 900 * m["dpmm"], m["dpmm"])

    def test_bad_documents_are_reported_and_the_next_job_prints(self):
        # (case, its document, whether the printer must get nothing of it,
        # whether the document goes with its length). The truncated raster
        # is sent with its length: sent chunked, PAPPL's raster reader keeps
        # reading after the last chunk until the client hangs up, so no
        # answer can come before the client's own time-out.
        cases = [("truncated PWG raster", self.truncated_pwg, True, True),
                 ("PNG larger than any label", self.huge_png, False, False),
                 ("raw file with an unknown command", self.unknown_command, True, False),
                 ("size beyond the model's limits", self.size_beyond_limits, False, False)]
        for model in MODELS:
            emulator = self.a.emulators[model]
            for name, make, nothing_sent, content_length in cases:
                with self.subTest(model=model, case=name):
                    document, fmt, attrs = make(model, os.path.join(self.a.work, "bad-" + make.__name__))
                    before = emulator.job_count()
                    status, job_id, out = self.a.submit(model, document, fmt, attrs, content_length)
                    verdict = self.reported(model, status, job_id, out)
                    self.assertIsNotNone(verdict, f"{name}: not reported ({status})\n{out[-3000:]}")
                    if nothing_sent:
                        sent = [emulator.job(n) for n in range(before + 1, emulator.job_count() + 1)]
                        self.assertEqual(sent, [], f"{name} ({verdict}) reached the printer")
                    self.next_job_prints(model)

    def printer_reasons(self, model):
        return self.a.attributes(model, ["printer-state-reasons"]).get("printer-state-reasons", "")

    def job_waiting(self, model, job_id):
        """The job's attributes once it waits for its printer (processing,
        with the reason saying why), or None."""
        state = self.a.job_state(model, job_id)
        if state.get("job-state") in TERMINAL:
            raise AssertionError(f"job {job_id} ended instead of waiting for its printer: {state}")
        return state if "printer-stopped" in state.get("job-state-reasons", "") else None

    def test_job_on_a_failing_device_waits_and_prints_once_the_device_works(self):
        # (fault, when it is over: "heal" once the job waits, or a count of
        # struck connections the emulator works through by itself, how the
        # emulator saw the struck connection end). A dropped connection gets
        # the job sent again whole; a silent printer, or one that stopped
        # reading, is waited for until it closes the connection (the
        # emulator's idle or stall time) and then gets the job again.
        faults = [("drop:300", "heal", "dropped"), ("silentx1", None, "idle"), ("stall:300x1", None, "stalled")]
        for model, m in MODELS.items():
            for fault, heal, end in faults:
                with self.subTest(model=model, fault=fault):
                    emulator = self.a.emulators[model]
                    width, height = 50 * m["dpmm"], 30 * m["dpmm"]
                    document = os.path.join(self.a.work, "dropped.png")
                    h.write_png(document, label_pattern(width, height), m["dpi"])
                    before = emulator.job_count()
                    emulator.set_fault(fault)
                    status, job_id, out = self.a.submit(model, document, "image/png",
                                                        ONE_TO_ONE + media_col(width, height, m["dpmm"]))
                    self.assertEqual(status, "successful-ok", out)
                    if heal:
                        # Struck twice: the job was sent again and is still not
                        # taken for printed.
                        emulator.wait_for_job(before + 2, timeout=90)
                    waiting = h.wait_until(lambda: self.job_waiting(model, job_id), 90, step=0.5,
                                           what=f"job {job_id} waiting for {model}")
                    self.assertEqual(waiting.get("job-state"), "processing", waiting)
                    self.assertTrue(waiting.get("job-state-message"), waiting)
                    self.assertIn("offline", self.printer_reasons(model))
                    if heal:
                        emulator.set_fault("none")
                    state = self.a.wait_job(model, job_id, timeout=120, settle=set())
                    self.assertEqual(state.get("job-state"), "completed", state)
                    self.assertNotIn("printer-stopped", state.get("job-state-reasons", ""), state)
                    self.assertEqual(emulator.job(before + 1)["end"], end)
                    last = emulator.job(emulator.job_count())
                    self.assertTrue(last["decoded"] and last["labels"], last)
                    self.assertEqual(last["end"], "closed", last)
                    self.assertNotIn("offline", self.printer_reasons(model))
                    self.next_job_prints(model)


    def test_job_canceled_while_waiting_for_its_printer_ends_canceled(self):
        model, m = "KV830", MODELS["KV830"]
        emulator = self.a.emulators[model]
        width, height = 30 * m["dpmm"], 20 * m["dpmm"]
        document = os.path.join(self.a.work, "canceled.png")
        h.write_png(document, label_pattern(width, height, margin=8), m["dpi"])
        emulator.set_fault("drop:300")
        try:
            status, job_id, out = self.a.submit(model, document, "image/png",
                                                ONE_TO_ONE + media_col(width, height, m["dpmm"]))
            self.assertEqual(status, "successful-ok", out)
            h.wait_until(lambda: self.job_waiting(model, job_id), 90, step=0.5,
                         what=f"job {job_id} waiting for {model}")
            path = h.ipp_test_file(os.path.join(self.a.work, "cancel.test"), "cancel", "Cancel-Job",
                                   f"\tATTR integer job-id {job_id}\n")
            status, out = self.a.ipptool.run(self.a.printers[model], [path])
            self.assertRegex(out, r"status-code = successful-ok", out[-2000:])
            state = self.a.wait_job(model, job_id, timeout=60, settle=set())
            self.assertEqual(state.get("job-state"), "canceled", state)
        finally:
            emulator.set_fault("none")
        self.next_job_prints(model)

    def test_printer_that_cannot_be_reached_shows_offline_and_prints_once_it_listens(self):
        # A printer added on a port where nothing listens yet.
        model, m = "TR7208", MODELS["TR7208"]
        port = h.free_port()
        self.a.printers["Unreachable"] = self.a.app.add_printer("Unreachable", model, f"socket://127.0.0.1:{port}")
        width, height = 30 * m["dpmm"], 20 * m["dpmm"]
        document = os.path.join(self.a.work, "unreachable.png")
        h.write_png(document, label_pattern(width, height, margin=8), m["dpi"])
        status, job_id, out = self.a.submit("Unreachable", document, "image/png",
                                            ONE_TO_ONE + media_col(width, height, m["dpmm"]))
        self.assertEqual(status, "successful-ok", out)

        def offline():
            state = self.a.job_state("Unreachable", job_id)
            if state.get("job-state") in TERMINAL:
                raise AssertionError(f"job {job_id} ended while its printer could not be reached: {state}")
            return "offline" in self.printer_reasons("Unreachable") and state

        state = h.wait_until(offline, 60, step=0.5, what="the unreachable printer offline")
        self.assertNotEqual(state.get("job-state"), "completed", state)
        printer = self.a.attributes("Unreachable", ["printer-state-message"])
        self.assertTrue(printer.get("printer-state-message") or state.get("job-state-message"), (printer, state))
        emulator = h.Emulator(built("emulator-net"), model, self.a.work, port=port, name="late")
        try:
            state = self.a.wait_job("Unreachable", job_id, timeout=120, settle=set())
            self.assertEqual(state.get("job-state"), "completed", state)
            self.assertNotIn("printer-stopped", state.get("job-state-reasons", ""), state)
            job = emulator.wait_for_job(1)
            self.assertTrue(job["decoded"] and job["labels"], job)
            self.assertNotIn("offline", self.printer_reasons("Unreachable"))
        finally:
            emulator.stop()
        self.next_job_prints(model)


class LabelModes(WithApplication):
    """The peel-off and cutter settings reach the printer's DEF line as the
    printer's defaults or the job's own values, each only in its mode."""

    # (label-mode-configured, printer defaults, job values, DEF fields
    # expected, DEF fields that must be absent)
    CASES = [("peel-off", {"peel-off-offset": -7}, {}, ["PO=-7"], ["CO=", "TO="]),
             ("cutter", {"cutter-offset": 3, "cut-interval": 2}, {}, ["CO=3", "CP=2"], ["PO="]),
             ("cutter", {"cutter-offset": 3, "cut-interval": 2}, {"cutter-offset": 12, "cut-interval": 5},
              ["CO=12", "CP=5"], ["PO="]),
             ("tear-off", {"peel-off-offset": 9, "cutter-offset": 9}, {}, ["TO="], ["PO=", "CO=", "CP="])]

    def set_printer(self, model, mode, defaults):
        attrs = f"\tGROUP printer-attributes-tag\n\tATTR keyword label-mode-configured {mode}\n"
        attrs += "".join(f"\tATTR integer {name}-default {value}\n" for name, value in defaults.items())
        path = h.ipp_test_file(os.path.join(self.a.work, "set-printer.test"), "settings", "Set-Printer-Attributes",
                               attrs, body="\tSTATUS successful-ok\n")
        status, out = self.a.ipptool.run(self.a.printers[model], [path])
        self.assertEqual(status, 0, out[-3000:])

    def test_offsets_and_cut_interval_reach_the_def_line(self):
        model, m = "TR7208", MODELS["TR7208"]
        ranges = self.a.attributes(model, ["peel-off-offset-supported", "cutter-offset-supported",
                                           "cut-interval-supported"])
        self.assertEqual(ranges.get("cut-interval-supported"), "0-99", ranges)
        width, height = 30 * m["dpmm"], 20 * m["dpmm"]
        document = os.path.join(self.a.work, "label-mode.png")
        h.write_png(document, label_pattern(width, height, margin=8), m["dpi"])
        try:
            for mode, defaults, job_values, present, absent in self.CASES:
                with self.subTest(mode=mode, defaults=defaults, job=job_values):
                    self.set_printer(model, mode, defaults)
                    attrs = ONE_TO_ONE + media_col(width, height, m["dpmm"])
                    attrs += "".join(f"\tATTR integer {name} {value}\n" for name, value in job_values.items())
                    _, number = self.print_and_wait(model, document, "image/png", attrs)
                    data = self.a.emulators[model].job_data(number)
                    def_line = next((line for line in data.split(b"\r\n") if line.startswith(b"DEF ")), b"").decode()
                    fields = def_line[4:].split(",")
                    for field in present:
                        self.assertTrue([f for f in fields if f.startswith(field)], f"{field} not in {def_line}")
                    for field in absent:
                        self.assertFalse([f for f in fields if f.startswith(field)], f"{field} in {def_line}")
        finally:
            self.set_printer(model, "tear-off", {"peel-off-offset": 0, "cutter-offset": 0, "cut-interval": 0})


class ThroughCups(WithApplication):
    """A PDF label printed through a private cupsd onto the application's
    IPP Everywhere printer."""

    def make_pdf(self, work):
        _, preview = labelprint_job("TR7208", work, "pdf-barcode", ['--barcode', '2,2,code128,"VRD-PDF-7"'],
                                    width_mm10=500, height_mm10=200)
        rows = h.read_png(preview)
        width, height = len(rows[0]), len(rows)
        hexdata = "".join(bytes(r).hex() for r in rows)
        # The barcode at 72 / 203 points per dot, so it lands near 1:1.
        points_w, points_h = width * 72 / 203, height * 72 / 203
        ps = os.path.join(work, "label.ps")
        with open(ps, "w") as f:
            f.write(f"%!PS\n<< /PageSize [{50 * 72 / 25.4:.2f} {40 * 72 / 25.4:.2f}] >> setpagedevice\n"
                    "/Helvetica findfont 14 scalefont setfont 8 90 moveto (Lot 42 label) show\n"
                    f"gsave 0 10 translate {points_w:.3f} {points_h:.3f} scale\n"
                    f"{width} {height} 8 [{width} 0 0 -{height} 0 {height}]\n"
                    f"<{hexdata}> image grestore showpage\n")
        pdf = os.path.join(work, "label.pdf")
        subprocess.run([tool("gs"), "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                        f"-sOutputFile={pdf}", ps], check=True, timeout=120)
        return pdf

    def test_pdf_label_prints_and_its_barcode_scans(self):
        work = os.path.join(self.a.work, "cups")
        os.makedirs(work, exist_ok=True)
        pdf = self.make_pdf(work)
        cupsd = h.Cupsd(tool("cupsd"), work)
        try:
            uri = self.a.app.uri("TR7208", host=h.LOOPBACK)
            status, out, err = h.run([tool("lpadmin"), "-h", cupsd.host, "-p", "label", "-E", "-m", "everywhere",
                                      "-v", uri], work, "lpadmin", timeout=120)
            self.assertEqual(status, 0, out + err + cupsd.log())
            cupsd.wait_queue_ready("label", work)
            emulator = self.a.emulators["TR7208"]
            before = emulator.job_count()
            status, out, err = h.run([tool("lp"), "-h", cupsd.host, "-d", "label", pdf],
                                     work, "lp", timeout=60)
            self.assertEqual(status, 0, out + err)
            try:
                job = emulator.wait_for_job(before + 1, timeout=120)
            except TimeoutError:
                self.fail("no job reached the printer: " + cupsd.log())
            self.assertTrue(job["decoded"], job)
            scanned = h.scan_barcodes(tool("zbarimg"), emulator.label_png(before + 1))
            self.assertIn("CODE-128:VRD-PDF-7", scanned)
        finally:
            cupsd.stop()


def tearDownModule():
    if "app" in STATE:
        STATE.pop("app").stop()


if __name__ == "__main__":
    sys.exit(h.suite_main(__name__, CONFIG, [("labelprint", os.path.join("apps", "labelprint"))]))
