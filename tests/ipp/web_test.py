#!/usr/bin/env python3
"""The printer application's "Printer settings" page in a real browser:
headless Chromium driven by Selenium against the application on a loopback
port, with an emulated network printer of each model whose answers the
test chooses. A change made on the page must reach the printer as exactly
the setting's bytes, in one job of its own; factory reset needs both
confirmations; what the printer answers shows on the page; refused
requests send nothing and say why; a printer that answers nothing,
answers garbage or drops the connection is shown as failing while the
application keeps serving. Each run saves a screenshot of the page in
English and in Chinese in the build tree.

  web_test.py --build BUILD_DIR [--app PATH] [--keep] [unittest options]

Ends with a line "N passed, N failed". Nothing is skipped: a missing
program, browser or page is a failure."""

import codecs
import http.cookiejar
import os
import re
import shutil
import sys
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

import harness as h

# Each model's printer answers what the test chose, so the page can only
# show these values if it asked the printer and read the replies.
MODELS = {
    "TR7208": {"firmware": "TR7208 V7.43", "ipl": "IPL 3.21", "distance": "1234", "dpmm": "8"},
    "KV830": {"firmware": "KV830 V8.17", "ipl": "IPL 4.56", "distance": "9876", "dpmm": "12"},
}
LANGUAGES = {"en": "en-US,en", "zh": "zh-CN,zh"}
# PAPPL's navigation and footer around the settings page, in each language.
NAVIGATION = {"en": ["Media", "Printer settings", "Printing Defaults", "Varodyn label printers"],
              "zh": ["标签纸", "打印机设置", "打印默认设置", "Varodyn 标签打印机"]}
# How long a page may take: a read of a printer that does not answer waits
# out each query's timeout.
PAGE_TIMEOUT = 180

CONFIG = {}
STATE = {}


def shared_choices():
    """The choices and the bytes each sends that the configuration tool's
    and the settings page's unit tests run (commands/tests/choice_cases.h):
    (label, choice, value, second value, bytes)."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "commands", "tests",
                        "choice_cases.h")
    with open(path, encoding="utf-8") as f:
        table = f.read().split("kChoiceCases[] = {", 1)[1].split("\n};", 1)[0]
    rows = re.findall(r'^\s*\{"(\w+)", Choice::(\w+), (\d+), (\d+), "((?:[^"\\]|\\.)*)"\},$', table, re.M)
    cases = [line for line in table.splitlines() if line.strip().startswith("{")]
    if not rows or len(rows) != len(cases):
        raise AssertionError(f"{path}: rows not read here: {cases}")
    return [(label, choice, int(value), int(second), codecs.decode(text, "unicode_escape").encode("latin-1"))
            for label, choice, value, second, text in rows]


def tool(name, *extra_dirs):
    for d in extra_dirs:
        if os.access(os.path.join(d, name), os.X_OK):
            return os.path.join(d, name)
    path = shutil.which(name)
    if not path:
        raise AssertionError(f"{name} is not installed")
    return path


def replies(model):
    """The control lines that make the emulator answer with the model's
    chosen version, distance (GETDEF field 20) and resolution."""
    m = MODELS[model]
    getdef = [m["dpmm"]] + ["0"] * 26
    getdef[19] = m["distance"]
    return [f"reply VER={model}\\r\\n{m['firmware']}\\r\\n{m['ipl']}\\r\\n",
            f"reply GETDEF={','.join(getdef)}\\r\\n",
            f"reply RESOL={m['dpmm']}\\r\\n"]


class Application:
    """The printer application with one printer per model, each on its own
    emulator with chosen replies, shared by every test."""

    def __init__(self):
        app = CONFIG["app"]
        if not os.access(app, os.X_OK):
            raise AssertionError(f"the printer application {app} is missing: build it first")
        emulator = CONFIG["emulator-net"]
        if not os.access(emulator, os.X_OK):
            raise AssertionError(f"{emulator} is missing: build it first")
        self.work = os.path.join(CONFIG["work"], "app")
        os.makedirs(self.work, exist_ok=True)
        self.emulators = {}
        self.app = None
        try:
            for model in MODELS:
                self.emulators[model] = h.Emulator(emulator, model, self.work)
                self.emulators[model].script(*replies(model))
            self.app = h.PrinterApp(app, self.work)
            for model in MODELS:
                self.app.add_printer(model, model, self.emulators[model].uri)
        except BaseException:
            self.stop()
            raise

    def url(self, path=""):
        return f"http://{h.LOOPBACK}:{self.app.port}/{path}"

    def settings_url(self, printer):
        return self.url(urllib.parse.quote(printer) + "/settings")

    def serving(self):
        """The application still answers: its home page loads."""
        with urllib.request.urlopen(self.url(), timeout=30) as r:
            return r.status == 200

    def stop(self):
        if self.app:
            self.app.stop()
        for e in self.emulators.values():
            e.stop()


class Browser:
    """Headless Chromium through Selenium, asking for one language."""

    def __init__(self, accept_language):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = tool("chromium", "/usr/bin")
        for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--window-size=1280,1000", "--lang=" + accept_language.split(",")[0],
                    "--no-proxy-server", "--disable-background-networking", "--disable-component-update",
                    "--disable-sync", "--no-first-run", "--disable-default-apps",
                    # Only the loopback address resolves (PAPPL's style sheet imports web fonts).
                    "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1"):
            options.add_argument(arg)
        options.add_experimental_option("prefs", {"intl.accept_languages": accept_language})
        service = Service(tool("chromedriver", "/usr/bin"), log_path=os.path.join(CONFIG["work"], "chromedriver.log"))
        self.driver = webdriver.Chrome(service=service, options=options)
        self.driver.set_page_load_timeout(PAGE_TIMEOUT)
        self.driver.set_script_timeout(30)

    def open(self, url):
        self.driver.get(url)

    def element(self, element_id):
        from selenium.webdriver.common.by import By
        return self.driver.find_element(By.ID, element_id)

    def click(self, element_id):
        """Clicks and waits (bounded) for the page the click loads.

        The old page is marked with a script variable; the new document has none.
        (Polling an element of the old page for staleness races the navigation:
        Chromium may answer that the node no longer belongs to the document
        instead of calling it stale.)"""
        self.press(self.element(element_id), element_id)

    def press(self, target, what):
        """Clicks an element found by other means and waits as click does."""
        self.driver.execute_script("window.__vlpOldPage = true")
        # Into the middle of the window, clear of the page's footer.
        self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", target)
        target.click()
        h.wait_until(self._new_page_loaded, PAGE_TIMEOUT, step=0.2, what=f"page after clicking {what}")

    def _new_page_loaded(self):
        from selenium.common.exceptions import WebDriverException
        try:
            return self.driver.execute_script(
                "return window.__vlpOldPage === undefined && document.readyState === 'complete'")
        except WebDriverException:
            # Asked while the navigation swaps the document.
            return False

    def text(self, element_id):
        return self.element(element_id).text

    def result(self):
        """(class, text) of the element that tells a POST's outcome."""
        e = self.element("result")
        return e.get_attribute("class") or "", e.text

    def screenshot(self, path):
        """The whole page: the window is made as tall as the page first."""
        height = self.driver.execute_script("return document.documentElement.scrollHeight")
        width = self.driver.execute_script("return document.documentElement.scrollWidth")
        # Room below the page for PAPPL's footer, which stays at the window's foot.
        self.driver.set_window_size(max(1280, min(int(width), 4000)), min(int(height) + 200, 8000))
        self.driver.save_screenshot(path)
        return path

    def quit(self):
        self.driver.quit()


class WithApplication(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # One application for every class, made by the first.
        cls.a = STATE["app"] = STATE.get("app") or Application()

    def wait_settings(self, emulator, since, count, timeout=30):
        """Waits until `count` connections after `since` brought more than
        queries; returns their bytes."""
        return h.wait_until(lambda: len(emulator.settings_sent(since)) >= count and emulator.settings_sent(since),
                            timeout, step=0.2, what="a setting at the printer")

    def assert_nothing_sent(self, model, since):
        """Nothing but queries reached the printer after `since`: a marker
        setting sent now through the page's own form arrives first and
        alone (the printer takes connections one after another)."""
        emulator = self.a.emulators[model]
        form = Form(self.a, model)
        status, _ = form.post({"action": "mark-level", "mark-level": "77"})
        self.assertEqual(status, 200, "the marker setting was refused")
        sent = self.wait_settings(emulator, since, 1)
        self.assertEqual(sent, [b"FSET SM=77\r\n"])


class WithBrowser(WithApplication):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.browser = Browser(LANGUAGES["en"])

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()

    def open_settings(self, model):
        """Opens the printer's PAPPL page and follows its settings link."""
        from selenium.webdriver.common.by import By
        b = self.browser
        b.open(self.a.url(model))
        links = [e for e in b.driver.find_elements(By.TAG_NAME, "a")
                 if (e.get_attribute("href") or "").endswith(f"/{model}/settings")]
        self.assertTrue(links, f"no settings link on {model}'s page")
        links[0].click()
        h.wait_until(lambda: b.driver.current_url.endswith(f"/{model}/settings"), 30, what="settings page")


class TheBrowserHarness(WithBrowser):
    """Chromium drives the application's own pages, whatever the settings
    page does."""

    def test_home_page_lists_both_printers(self):
        self.browser.open(self.a.url())
        text = self.browser.driver.find_element("tag name", "body").text
        for model in MODELS:
            self.assertIn(model, text)


class PrinterPageActions(WithBrowser):
    """PAPPL's own buttons on the printer's page: Identify Printer prints the
    identification label, Print Test Page a label the application draws."""

    def press_action(self, model, action):
        """Opens the printer's PAPPL page and presses the button of the form
        whose hidden `action` is the given one."""
        from selenium.webdriver.common.by import By
        self.browser.open(self.a.url(model))
        buttons = self.browser.driver.find_elements(
            By.XPATH, f"//form[input[@name='action' and @value='{action}']]//input[@type='submit']")
        self.assertEqual(len(buttons), 1, f"no single {action} button on {model}'s page")
        self.browser.press(buttons[0], action)

    def test_identify_prints_the_identification_label_as_one_job(self):
        for model in MODELS:
            with self.subTest(model=model):
                emulator = self.a.emulators[model]
                since = len(emulator.connections())
                self.press_action(model, "identify-printer")
                self.assertEqual(self.wait_settings(emulator, since, 1), [b"FSET CSET=8\r\n"])
                time.sleep(1)
                self.assertEqual(emulator.settings_sent(since), [b"FSET CSET=8\r\n"], "sent more than once")

    def test_test_page_is_a_label_whose_codes_name_the_printer(self):
        zbarimg = tool("zbarimg")
        for model in MODELS:
            with self.subTest(model=model):
                emulator = self.a.emulators[model]
                before = emulator.job_count()
                self.press_action(model, "print-test-page")
                job = emulator.wait_for_job(before + 1, timeout=120)
                self.assertTrue(job["decoded"], job)
                scanned = h.scan_barcodes(zbarimg, emulator.label_png(before + 1))
                self.assertIn(f"CODE-128:{model}", scanned)
                self.assertIn(f"QR-Code:{model}", scanned)


class SettingsPage(WithBrowser):
    def test_buzzer_change_reaches_the_printer_as_one_job_of_exactly_its_bytes(self):
        for model in MODELS:
            with self.subTest(model=model):
                emulator = self.a.emulators[model]
                self.open_settings(model)
                self.browser.element("buzzer-1").click()
                since = len(emulator.connections())
                self.browser.click("set-buzzer")
                self.assertEqual(self.wait_settings(emulator, since, 1), [b"DEF BZ=1\r\n"])
                self.assertIn("ok", self.browser.result()[0].split())
                # The page shows the value it sent.
                self.assertTrue(self.browser.element("buzzer-1").is_selected())
                time.sleep(1)
                self.assertEqual(emulator.settings_sent(since), [b"DEF BZ=1\r\n"], "sent more than once")

    # What the user does on the page for a choice of the shared table:
    # ("click", id), ("type", id, text) or ("check", id, checked), in order.
    RADIOS = {"Buzzer": "buzzer", "HeadCheck": "head-check", "LabelStop": "label-stop"}
    LEVELS = {"GapLevel": "gap-level", "MarkLevel": "mark-level"}
    BUTTONS = {"PrintSettings": ["print-settings"], "PrintIdentification": ["print-identification"],
               "PrintTestLabel": ["print-test"],
               "FactoryReset": ["factory-reset", "factory-reset-yes1", "factory-reset-yes2"]}

    def steps_of(self, choice, value, second):
        if choice in self.RADIOS:
            name = self.RADIOS[choice]
            return [("click", f"{name}-{value}"), ("click", f"set-{name}")]
        if choice in self.LEVELS:
            name = self.LEVELS[choice]
            return [("type", name, str(value)), ("click", f"set-{name}")]
        if choice == "Feed":
            return [("check", "feed-power-on", bool(value)), ("check", "feed-head-close", bool(second)),
                    ("click", "set-feed")]
        return [("click", button) for button in self.BUTTONS[choice]]

    def test_every_setting_and_button_sends_its_bytes_as_one_job(self):
        model = "KV830"
        emulator = self.a.emulators[model]
        for label, choice, value, second, expected in shared_choices():
            steps = self.steps_of(choice, value, second)
            with self.subTest(label):
                self.open_settings(model)
                since = len(emulator.connections())
                for step in steps:
                    element = self.browser.element(step[1])
                    if step[0] == "type":
                        element.clear()
                        element.send_keys(step[2])
                    elif step[0] == "check":
                        if element.is_selected() != step[2]:
                            element.click()
                    elif element.get_attribute("type") == "submit":
                        self.browser.click(step[1])
                    else:
                        element.click()
                self.assertEqual(self.wait_settings(emulator, since, 1), [expected])
                self.assertIn("ok", self.browser.result()[0].split())

    def test_factory_reset_is_sent_only_after_the_second_confirmation(self):
        for model in MODELS:
            with self.subTest(model=model):
                emulator = self.a.emulators[model]
                self.open_settings(model)
                since = len(emulator.connections())
                self.browser.click("factory-reset")
                self.browser.click("factory-reset-yes1")
                # Asked again: nothing has gone to the printer yet.
                self.browser.element("factory-reset-yes2")
                time.sleep(1)
                self.assertEqual(emulator.settings_sent(since), [])
                self.browser.click("factory-reset-yes2")
                self.assertEqual(self.wait_settings(emulator, since, 1), [b"FSET CSET=12\r\n"])

    def test_what_the_printer_answers_shows_on_the_page(self):
        for model, m in MODELS.items():
            with self.subTest(model=model):
                self.open_settings(model)
                self.browser.click("read-printer")
                b = self.browser
                self.assertEqual(b.text("firmware-version").strip(), m["firmware"])
                self.assertEqual(b.text("ipl-version").strip(), m["ipl"])
                # GETDEF gives the distance in millimetres; the page shows metres.
                shown = re.search(r"\d+(?:\.\d+)?", b.text("print-distance"))
                self.assertTrue(shown, b.text("print-distance"))
                self.assertAlmostEqual(float(shown.group(0)), int(m["distance"]) / 1000, places=6)
                self.assertEqual(b.driver.find_elements("id", "resolution-warning"), [])

    # The replies shown as received, not interpreted and not taken for
    # markup: (element, the query's line, the reply as the emulator's
    # control line escapes it, the text the page shows)
    RAW_REPLIES = [
        ("maint-reply", "MAINT", "1,2,<script>window.__vlpInjected=1</script>\\r\\n",
         r"1,2,<script>window.__vlpInjected=1</script>\r\n"),
        ("status-reply", "\\eSTATUS", "\\x06&amp;\\x15<b>OK</b>\\r\\n", r"\x06&amp;\x15<b>OK</b>\r\n"),
        ("getpg-reply", "\\eGETPG", "12 & 34\\r\\n", r"12 & 34\r\n"),
    ]

    def test_raw_replies_show_as_received_and_as_text(self):
        from selenium.webdriver.common.by import By
        model = "KV830"
        emulator = self.a.emulators[model]
        try:
            emulator.script(*[f"reply {line}={reply}" for _, line, reply, _ in self.RAW_REPLIES])
            self.open_settings(model)
            self.browser.click("read-printer")
            for element, _, _, shown in self.RAW_REPLIES:
                with self.subTest(element=element):
                    e = self.browser.element(element)
                    self.assertEqual(e.text.strip(), shown)
                    self.assertEqual(e.find_elements(By.XPATH, ".//*"), [], "a reply became markup")
            self.assertIsNone(self.browser.driver.execute_script("return window.__vlpInjected"),
                              "a reply ran as a script")
        finally:
            emulator.script("replies none", *replies(model))

    def test_a_printer_of_the_other_resolution_is_warned_about(self):
        """The 203 dpi driver's printer answers that it has 12 dots/mm."""
        model = "TR7208"
        emulator = self.a.emulators[model]
        try:
            emulator.script("reply RESOL=12\\r\\n")
            self.open_settings(model)
            self.browser.click("read-printer")
            warning = self.browser.element("resolution-warning")
            self.assertTrue(warning.is_displayed())
            self.assertRegex(warning.text, r"300|12")
            self.assertIn("other", self.state_reasons(model), "IPP clients are not told")
        finally:
            emulator.script(replies(model)[-1])
        self.browser.click("read-printer")
        self.assertEqual(self.browser.driver.find_elements("id", "resolution-warning"), [])
        self.assertNotIn("other", self.state_reasons(model))

    def state_reasons(self, model):
        work = self.a.work
        path = h.ipp_test_file(os.path.join(work, "state.test"), "state", "Get-Printer-Attributes",
                               "\tATTR keyword requested-attributes printer-state-reasons\n",
                               body="\tDISPLAY printer-state-reasons\n")
        status, out = h.Ipptool(tool("ipptool"), work).run(self.a.app.uri(model, host=h.LOOPBACK), [path])
        self.assertEqual(status, 0, out[-3000:])
        return h.parse_ipptool_values(out).get("printer-state-reasons", "").split(",")


class Screenshots(WithApplication):
    """The page in each language, saved in the build tree for a person to
    look at; the texts must be the language's own."""

    def test_each_language_is_saved(self):
        out = os.path.join(CONFIG["build"], "tests", "ipp", "web-screenshots")
        os.makedirs(out, exist_ok=True)
        for lang, accept in LANGUAGES.items():
            browser = Browser(accept)
            try:
                for model in MODELS:
                    with self.subTest(lang=lang, model=model):
                        browser.open(self.a.settings_url(model))
                        browser.click("read-printer")
                        path = browser.screenshot(os.path.join(out, f"settings-{model}-{lang}.png"))
                        print(f"screenshot: {path}", flush=True)
                        self.assertGreater(os.path.getsize(path), 0)
                        body = browser.driver.find_element("tag name", "body").text
                        han = len(re.findall(r"[\u4e00-\u9fff]", body))
                        if lang == "zh":
                            self.assertGreater(han, 20, "the page is not in Chinese")
                        else:
                            self.assertEqual(han, 0, "Chinese text on the English page")
                        for other, texts in NAVIGATION.items():
                            for text in texts:
                                (self.assertIn if other == lang else self.assertNotIn)(text, body)
                        self.assertIn(MODELS[model]["firmware"], body)
            finally:
                browser.quit()


class PapplPagesInChinese(WithApplication):
    """PAPPL's own pages in Chinese: the printer's state is named (PAPPL
    alone shows a bare number for a language it has no texts for), and the
    buttons are Chinese."""

    def test_the_printers_state_is_named_not_numbered_and_the_buttons_are_chinese(self):
        for path in ("", "KV830"):
            with self.subTest(page="/" + path):
                request = urllib.request.Request(self.a.url(path), headers={"Accept-Language": LANGUAGES["zh"]})
                with urllib.request.urlopen(request, timeout=30) as r:
                    page = r.read().decode("utf-8", "replace")
                self.assertRegex(page, "(空闲|打印中|已停止), ")
                self.assertNotRegex(page, r">\s*[345], ")
                buttons = re.findall(r'type="submit" value="([^"]*)"', page)
                self.assertTrue(buttons, "no buttons on the page")
                for label in buttons:
                    self.assertRegex(label, r"[\u4e00-\u9fff]", "a button in English")


class Form:
    """The settings page through urllib, with its cookies and form token."""

    def __init__(self, application, printer):
        self.url = application.settings_url(printer)
        self.opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()),
                                                  urllib.request.ProxyHandler({}))

    def get(self):
        with self.opener.open(self.url, timeout=PAGE_TIMEOUT) as r:
            return r.status, r.read().decode("utf-8", "replace")

    def token(self):
        status, page = self.get()
        m = re.search(r'name="session"\s+value="([^"]*)"', page) or re.search(r'value="([^"]*)"\s+name="session"', page)
        if status != 200 or not m:
            raise AssertionError(f"no form token on {self.url} ({status})")
        return m.group(1)

    def post(self, fields, token=True, url=None):
        """POSTs the fields (with the page's own token unless `token` is
        False, or the given token if it is a str); returns (status, page)."""
        fields = dict(fields)
        if token is True:
            fields["session"] = self.token()
        elif token:
            fields["session"] = token
        data = urllib.parse.urlencode(fields).encode()
        try:
            with self.opener.open(urllib.request.Request(url or self.url, data=data), timeout=PAGE_TIMEOUT) as r:
                return r.status, r.read().decode("utf-8", "replace")
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode("utf-8", "replace")


def result_element(page):
    """(class, text) of the page's result element, tags stripped."""
    m = re.search(r'<(\w+)[^>]*\bid="result"[^>]*>(.*?)</\1>', page, re.S)
    if not m:
        return None, ""
    cls = re.search(r'class="([^"]*)"', m.group(0))
    return (cls.group(1) if cls else ""), re.sub(r"<[^>]+>", "", m.group(2)).strip()


class RefusedRequests(WithApplication):
    """Requests the page must refuse, sending nothing to the printer."""

    CASES = [
        # (what, fields, token, status, words the page must say)
        ("no form token", {"action": "gap-level", "gap-level": "50"}, False, 400, []),
        ("a made-up token", {"action": "gap-level", "gap-level": "50"}, "0123456789abcdef", 400, []),
        ("gap level 0", {"action": "gap-level", "gap-level": "0"}, True, 400, ["1", "100"]),
        ("mark level 101", {"action": "mark-level", "mark-level": "101"}, True, 400, ["1", "100"]),
        ("gap level not a number", {"action": "gap-level", "gap-level": "5x"}, True, 400, ["1", "100"]),
        ("mark level empty", {"action": "mark-level", "mark-level": ""}, True, 400, ["1", "100"]),
        ("buzzer 2", {"action": "buzzer", "buzzer": "2"}, True, 400, []),
        ("factory reset confirmed once", {"action": "factory-reset", "confirm": "1"}, True, 200, []),
    ]

    def test_refused_and_nothing_sent(self):
        model = "KV830"
        form = Form(self.a, model)
        for what, fields, token, status, words in self.CASES:
            with self.subTest(what):
                since = len(self.a.emulators[model].connections())
                got, page = form.post(fields, token)
                self.assertEqual(got, status, page[-2000:])
                cls, text = result_element(page)
                if status == 400:
                    self.assertIn("error", (cls or "").split(), page[-2000:])
                    self.assertTrue(text, "the page does not say why")
                    for word in words:
                        self.assertRegex(text, rf"(?<!\d){word}(?!\d)", "the range is not named")
                self.assert_nothing_sent(model, since)

    def test_unknown_printer_is_refused(self):
        form = Form(self.a, "KV830")
        token = form.token()
        since = {m: len(e.connections()) for m, e in self.a.emulators.items()}
        unknown = self.a.settings_url("NoSuchPrinter")
        status, page = form.post({"action": "buzzer", "buzzer": "1"}, token, url=unknown)
        self.assertIn(status, (400, 404), page[-2000:])
        try:
            with form.opener.open(unknown, timeout=PAGE_TIMEOUT) as r:
                status, page = r.status, r.read().decode("utf-8", "replace")
        except urllib.error.HTTPError as e:
            status, page = e.code, e.read().decode("utf-8", "replace")
        self.assertEqual(status, 404, page[-2000:])
        self.assertIn("Not Found", page)
        for model in MODELS:
            self.assert_nothing_sent(model, since[model])

    def test_a_valid_request_is_sent(self):
        """The refusals above are refusals of these requests only: the same
        form with a good value and token goes through."""
        model = "TR7208"
        emulator = self.a.emulators[model]
        since = len(emulator.connections())
        status, page = Form(self.a, model).post({"action": "gap-level", "gap-level": "100"})
        self.assertEqual(status, 200, page[-2000:])
        self.assertEqual(self.wait_settings(emulator, since, 1), [b"FSET SG=100\r\n"])


# Lent to loopback when the machine has no other address (a sandbox with no
# network): a documentation address, so it can clash with nothing real.
LENT_ADDRESS = "192.0.2.77"


def non_loopback_address():
    """The machine's first global IPv4 address and None; on a machine that has
    none, LENT_ADDRESS added to the loopback interface and the command that
    takes it away again. A connection from it to it is not from loopback."""
    import json
    import subprocess
    ip = tool("ip")
    out = subprocess.run([ip, "-j", "-4", "addr", "show", "scope", "global"], capture_output=True,
                         text=True, timeout=30).stdout
    for interface in json.loads(out or "[]"):
        for a in interface.get("addr_info", []):
            if a.get("local"):
                return a["local"], None
    lend = subprocess.run([ip, "addr", "add", LENT_ADDRESS + "/32", "dev", "lo"], capture_output=True,
                          text=True, timeout=30)
    if lend.returncode != 0:
        raise AssertionError("the machine has no non-loopback IPv4 address to be a remote client from, "
                             f"and {LENT_ADDRESS} could not be added to loopback: {lend.stderr.strip()}")
    return LENT_ADDRESS, [ip, "addr", "del", LENT_ADDRESS + "/32", "dev", "lo"]


class RemoteClient(unittest.TestCase):
    """A change needs the administrator authentication PAPPL is configured
    with when the client is not on loopback: an application listening on
    every address gets the same form with a valid token from loopback and
    from the machine's other address; only an authorised one is sent."""

    # (server options, the POST's status from loopback, from the other
    # address): no authentication service lets loopback change and refuses
    # everyone else; with one, loopback must authenticate too, and a remote
    # client must first use TLS.
    CASES = [
        ((), 200, 403),
        (("-o", "auth-service=other"), 401, 426),
    ]

    def test_a_change_is_sent_only_when_authorised(self):
        import subprocess
        address, give_back = non_loopback_address()
        if give_back:
            self.addCleanup(subprocess.run, give_back, timeout=30)
        for number, (options, *statuses) in enumerate(self.CASES):
            with self.subTest(options=options):
                work = os.path.join(CONFIG["work"], f"remote-{number}")
                os.makedirs(work, exist_ok=True)
                emulator = h.Emulator(CONFIG["emulator-net"], "TR7208", work)
                app = None
                try:
                    app = h.PrinterApp(CONFIG["app"], work, listen_hostname=None, options=options)
                    app.add_printer("R", "TR7208", emulator.uri)
                    for host, status in zip((h.LOOPBACK, address), statuses):
                        since = len(emulator.connections())
                        got, page = Form(SettingsAt(host, app.port), "R").post({"action": "buzzer", "buzzer": "1"})
                        self.assertEqual(got, status, f"{host}: {page[-2000:]}")
                        if status == 200:
                            sent = h.wait_until(lambda: emulator.settings_sent(since), 30, step=0.2,
                                                what="a setting at the printer")
                            self.assertEqual(sent, [b"DEF BZ=1\r\n"])
                        else:
                            time.sleep(1)
                            self.assertEqual(emulator.settings_sent(since), [], f"an unauthorised change from {host}")
                finally:
                    if app:
                        app.stop()
                    emulator.stop()


class SettingsAt:
    """Where Form finds a printer's settings page: one host and port."""

    def __init__(self, host, port):
        self.host, self.port = host, port

    def settings_url(self, printer):
        return f"http://{self.host}:{self.port}/{urllib.parse.quote(printer)}/settings"


class FailingPrinter(WithBrowser):
    """A printer that answers nothing, answers garbage or drops every
    connection: the page says the read failed, and the application goes
    on serving and reads the printer again once it is well."""

    FAULTS = ["silent", "garbage", "drop:0"]

    def test_failure_is_shown_and_the_application_keeps_serving(self):
        model = "TR7208"
        emulator = self.a.emulators[model]
        for fault in self.FAULTS:
            with self.subTest(fault=fault):
                try:
                    emulator.script(fault)
                    self.open_settings(model)
                    self.browser.click("read-printer")
                    errors = [e.text for e in self.browser.driver.find_elements("css selector", ".error")
                              if e.is_displayed() and e.text.strip()]
                    self.assertTrue(errors, "the page does not say the read failed")
                    shown = self.browser.text("firmware-version")
                    self.assertNotIn(MODELS[model]["firmware"], shown)
                    self.assertTrue(shown.strip(), "the version's element does not say it got no answer")
                    self.assertTrue(self.a.serving())
                finally:
                    emulator.script("none")
                self.browser.click("read-printer")
                self.assertEqual(self.browser.text("firmware-version").strip(), MODELS[model]["firmware"])


def tearDownModule():
    if "app" in STATE:
        STATE.pop("app").stop()


if __name__ == "__main__":
    sys.exit(h.suite_main(__name__, CONFIG))
