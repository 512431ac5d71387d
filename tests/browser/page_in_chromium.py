#!/usr/bin/python3
"""The station's page in Debian's Chromium, headless, as an owner sees it on a phone or a PC.

    page_in_chromium.py PROGRAM [--screenshots FOLDER [--archive FOLDER]]

PROGRAM (korad, or kora with --headless) reads a pseudo-terminal that this script writes sensor
lines to. Checked: the page shows the reading sent and its dew point, shows the next one without a
reload, draws a loss of the port in its chart, shows a block among the records, switches to a
year's span, and gives German decimal commas to a German browser, on a phone's width too. With
--screenshots, pictures at phone and desktop width go into FOLDER; with --archive, the station
starts with the archive files of that folder, for a history to show. Exits 77 where Chromium, its
driver or Selenium is missing.
"""
import fcntl
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("page_in_chromium: python3-selenium is not installed")
    sys.exit(77)

PATIENCE = 60


DRIVERS = []


def fail(message):
    print("page_in_chromium: " + message)
    for driver in DRIVERS:
        print("page_in_chromium: live %r; console: %r" % (
            driver.execute_script("return document.body.dataset.live;"),
            driver.get_log("browser")))
    sys.exit(1)


def wait_for(what, check, timeout=PATIENCE):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = check()
        if found:
            return found
        time.sleep(0.05)
    fail("waited in vain for " + what)


def browser(language, width, height):
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--lang=" + language,
                     "--window-size=%d,%d" % (width, height)):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"intl.accept_languages": language})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    if width < 500:
        # A phone's screen: narrower than a headless window may be.
        options.add_experimental_option("mobileEmulation", {"deviceMetrics": {
            "width": width, "height": height, "pixelRatio": 2}})
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def waiting(descriptor):
    """Bytes at the device end that the program has not read yet."""
    return struct.unpack("i", fcntl.ioctl(descriptor, termios.FIONREAD, b"\0\0\0\0"))[0]


def text_of(driver, element_id):
    return driver.find_element(By.ID, element_id).text


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    program = sys.argv[1:2] + (["--headless"] if os.path.basename(sys.argv[1]) == "kora" else [])
    shots = sys.argv[sys.argv.index("--screenshots") + 1] if "--screenshots" in sys.argv else None
    seed = sys.argv[sys.argv.index("--archive") + 1] if "--archive" in sys.argv else None
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("page_in_chromium: chromium and chromium-driver are not installed")
        return 77

    work = tempfile.mkdtemp(prefix="kora-page-")
    master, slave = os.openpty()
    device = os.ttyname(slave)
    os.makedirs(os.path.join(work, "config/KORA"))
    if seed:
        shutil.copytree(seed, os.path.join(work, "archive"))
    with open(os.path.join(work, "config/KORA/KORA.conf"), "w") as settings:
        settings.write("[Ports]\nCom1=%s\n" % device)
    environment = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
                       XDG_DATA_HOME=os.path.join(work, "data"), LC_ALL="C.UTF-8")
    log = open(os.path.join(work, "log"), "w+")
    station = subprocess.Popen(program + ["--report-dir", work, "--archive-dir",
                                          os.path.join(work, "archive"),
                                          "--listen", "127.0.0.1:0"],
                               env=environment, stderr=log, stdout=log)
    drivers = DRIVERS
    try:
        def told():
            log.seek(0)
            return re.search(r"Web page on http://127\.0\.0\.1:(\d+)/", log.read())
        url = "http://127.0.0.1:%s/" % wait_for("the page's address in the log", told).group(1)

        def send(line, count=1):
            for _ in range(count):
                os.write(master, line)
                # One line a write, as a sensor sends them, each read before the next: lines
                # that reach the program together make one reading.
                arrival = time.monotonic() + 0.003
                while waiting(slave) == 0 and time.monotonic() < arrival:
                    time.sleep(0.0001)
                wait_for("the program to read the line", lambda: waiting(slave) == 0)

        driver = browser("en-US", 1100, 1400)
        drivers.append(driver)
        driver.get(url)
        # A line becomes a reading once the next one begins, as the sensor's lines follow each
        # other; the first may be cut by the port's opening.
        send(b"1=21.5deg2=40\r\n", 3)
        wait_for("the reading 21.5 on the page",
                 lambda: text_of(driver, "temperature") == "21.5")
        driver.execute_script("window.notReloaded = true;")
        send(b"1=23.0deg2=41\r\n", 2)
        wait_for("the next reading, 23.0, without a reload",
                 lambda: text_of(driver, "temperature") == "23.0")
        if not driver.execute_script("return window.notReloaded === true;"):
            fail("the page was reloaded to show the next reading")
        wait_for("the dew point of 23.0 °C and 41 %", lambda: text_of(driver, "dew-point") == "9.0")

        # A block for the chart, then the port is lost: the chart is drawn again with the loss.
        send(b"1=23.0deg2=41\r\n", 300)
        # The program's report first, however long a busy machine takes for it; then the page,
        # which follows it at once.
        report = os.path.join(work, "wxnow.txt")
        wait_for("the program's report", lambda: os.path.exists(report))
        wait_for("a block on the page", lambda: text_of(driver, "block-count") == "300")
        os.close(master)
        master = None
        wait_for("the loss on the status line", lambda: "lost" in text_of(driver, "status"))
        shaded = """
            const done = arguments[arguments.length - 1];
            fetch(document.getElementById("chart").src).then(r => r.text()).then(done);"""
        wait_for("the loss shaded in the chart",
                 lambda: "#dc2828" in driver.execute_async_script(shaded), 20)
        if not seed:
            wait_for("today's lowest drawn again",
                     lambda: text_of(driver, "extremes").count("21.5 °C at") == 1)
        # The block is a record of its own: the records are drawn again with it.
        wait_for("the block among the records",
                 lambda: "23.0 °C on" in text_of(driver, "records"))
        driver.find_element(By.LINK_TEXT, "Last 365 days").click()
        wait_for("the year's chart", lambda: "span=1y" in
                 driver.find_element(By.ID, "chart").get_attribute("src"))
        if shots:
            driver.save_screenshot(os.path.join(shots, "page-desktop.png"))

        german = browser("de-DE", 390, 1100)
        drivers.append(german)
        german.get(url + "?span=1y")
        wait_for("German decimal commas", lambda: text_of(german, "temperature") == "23,0")
        if "23,0 °C" not in text_of(german, "records"):
            fail("the records in German read %r" % text_of(german, "records"))
        average = text_of(german, "temperature-average")
        if average != "23,0":
            fail("the block's average in German is %r" % average)
        overflow = german.execute_script(
            "return document.documentElement.scrollWidth - document.documentElement.clientWidth;")
        if overflow > 0:
            fail("the page is %d pixels wider than a phone's screen" % overflow)
        if shots:
            german.save_screenshot(os.path.join(shots, "page-phone.png"))
        print("page_in_chromium: the page showed 21.5 and then 23.0 without a reload, drew "
              "the loss, and gave a German browser 23,0")
        return 0
    finally:
        for driver in drivers:
            driver.quit()
        station.terminate()
        station.wait(PATIENCE)
        if master is not None:
            os.close(master)
        os.close(slave)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
