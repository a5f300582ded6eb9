"""A real browser for whole-program tests: headless Chromium, driven over
its DevTools protocol on a pipe (file descriptors 3 and 4 of the browser), so
that no port is opened and no package beyond Python is needed.

It opens a page at a given window width, waits for its load event, runs
expressions in it, prints it to PDF, and records every request the page
made. Each Browser has a fresh profile of its own.
"""

import base64
import json
import os
import shutil
import subprocess
import tempfile

CHROMIUM = os.environ.get("PELORIN_CHROMIUM") or shutil.which("chromium")
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--remote-debugging-pipe"]
TIMEOUT = 60


class Browser:
    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="pelorin-chromium-")
        to_browser, self.out = os.pipe()
        self.inp, from_browser = os.pipe()

        def protocol_fds():  # the browser reads fd 3 and writes fd 4
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)
        self.process = subprocess.Popen(
            [CHROMIUM] + FLAGS + ["--user-data-dir=" + self.profile, "about:blank"],
            pass_fds=(3, 4), preexec_fn=protocol_fds, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self.buffer, self.next_id, self.events = b"", 0, []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Network", "Runtime"):
            self.call(domain + ".enable", session=self.session)

    def receive(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.inp, 1 << 16)
            if not chunk:
                raise AssertionError("the browser went away")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.out, json.dumps(message).encode() + b"\0")
        while True:
            reply = self.receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise AssertionError("%s: %s" % (method, reply["error"]))
                return reply["result"]
            self.events.append(reply)

    def open(self, path, width, height=900):
        """Loads the page at `path` in a window `width` pixels wide."""
        self.events = []
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1,
                   "mobile": width < 600}, self.session)
        self.call("Page.navigate", {"url": "file://" + os.path.abspath(path)}, self.session)
        while not any(e.get("method") == "Page.loadEventFired" for e in self.events):
            self.events.append(self.receive())

    def requests(self):
        """The URL of every request since the page was opened."""
        return [e["params"]["request"]["url"] for e in self.events
                if e.get("method") == "Network.requestWillBeSent"]

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True},
                           self.session)
        if "exceptionDetails" in result:
            raise AssertionError(result["exceptionDetails"])
        return result["result"]["value"]

    def pdf_pages(self):
        """The pages of the page printed on A4 with its own print styles."""
        data = self.call("Page.printToPDF", {"paperWidth": 8.27, "paperHeight": 11.69,
                                             "preferCSSPageSize": True}, self.session)["data"]
        pdf = base64.b64decode(data)
        return len([k for k in pdf.split(b"/Type")[1:] if k.lstrip().startswith(b"/Page")
                    and not k.lstrip().startswith(b"/Pages")])

    def close(self):
        try:
            self.call("Browser.close")
        except AssertionError:
            pass
        os.close(self.out)
        os.close(self.inp)
        try:
            self.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
