#!/usr/bin/python3
"""The page in headless Chromium, opened from the file system: elab.prepare
byte for byte the program's elab.dat on the examples and every vendor file,
an Error for files the program refuses, the page's own controls once (choose
a file, run, download), its requests (its own files only), its Italian and
its width of 400 px; a screenshot for doc/web.md.

    test_page.py PAGE_DIR ELAB SOURCE_DIR [SCREENSHOT]
"""
import base64
import glob
import json
import os
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PAGE_DIR, ELAB, SOURCE = (os.path.abspath(a) for a in sys.argv[1:4])
SCREENSHOT = os.path.abspath(sys.argv[4]) if len(sys.argv) > 4 else None
PAGE = "file://" + os.path.join(PAGE_DIR, "index.html")

# The answers of every comparison, as the program's options and as the API's.
ANSWERS = dict(variable=11, coefficient=2, screen_output=True, screen_inputs=True, days=-1)
ARGS = ["--from=all", "--variable=11", "--coefficient=2", "--screen-output=yes", "--screen-inputs=yes", "--days=-1"]
# The files of several series need the one to take, as e2e_csv_test's
# VendorLikeIso gives it.
SYMBOL_BBB = {"long_by_symbol.csv", "long_by_date.csv", "pandas_tickers.csv"}

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def browser(language="en", width=1000, height=1400, downloads=None):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--window-size=%d,%d" % (width, height), "--lang=" + language,
                "--allow-file-access-from-files"):
        options.add_argument(arg)
    options.add_experimental_option("prefs", {"intl.accept_languages": language})
    options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    if downloads:
        driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    driver.get(PAGE)
    WebDriverWait(driver, 60).until(lambda d: d.execute_script("return document.body.dataset.ready === 'yes'"))
    return driver


def native(path, extra=(), dates=False):
    """elab.dat (or the output extra names), the dates, the status and the
    error text of the program."""
    with tempfile.TemporaryDirectory() as work:
        args = [ELAB] + ARGS + list(extra) + (["--dates=d.txt"] if dates else []) + [path]
        r = subprocess.run(args, cwd=work, capture_output=True, stdin=subprocess.DEVNULL)
        out = os.path.join(work, "elab.dat")
        text = open(out, "rb").read() if r.returncode == 0 and os.path.exists(out) else None
        days = open(os.path.join(work, "d.txt"), "rb").read() if dates and text is not None else None
        return text, days, r.returncode, r.stderr.decode("latin-1")


PREPARE = """
const [data, options, name] = arguments;
const bytes = Uint8Array.from(atob(data), c => c.charCodeAt(0));
try {
  const r = elab.prepare(bytes, options, name);
  let s = '';
  for (let k = 0; k < r.text.length; k += 8192) s += String.fromCharCode.apply(null, r.text.subarray(k, k + 8192));
  return {text: btoa(s), dates: r.dates, count: r.count};
} catch (e) {
  return {error: e.message, isError: e instanceof Error};
}
"""


def page_prepare(driver, data, options, name):
    return driver.execute_script(PREPARE, base64.b64encode(data).decode(), options, name)


def test_api(driver):
    paths = [os.path.join(SOURCE, "examples", n) for n in ("prices.txt", "prices.csv")]
    paths += sorted(p for p in glob.glob(os.path.join(SOURCE, "tests", "data", "vendor", "*"))
                    if not p.endswith(".py"))
    for path in paths:
        name = os.path.basename(path)
        options = dict(ANSWERS)
        extra = []
        if name in SYMBOL_BBB:
            options["symbol"] = "BBB"
            extra = ["--symbol=BBB"]
        text, days, status, err = native(path, extra, dates=True)
        got = page_prepare(driver, open(path, "rb").read(), options, name)
        if status != 0:
            check(got.get("isError"), "%s: the program refuses it, the page does not" % name)
            continue
        check("error" not in got, "%s: %s" % (name, got.get("error")))
        check(base64.b64decode(got.get("text", "")) == text, "%s: elab.dat differs from the program's" % name)
        check("".join(d + "\r\n" for d in got.get("dates", [])).encode() == days, "%s: the dates differ" % name)
    print("elab.prepare on %d files" % len(paths))


def test_refused(driver):
    prices = open(os.path.join(SOURCE, "examples", "prices.txt"), "rb").read()
    with tempfile.TemporaryDirectory() as work:
        # name, bytes, options, what the message holds (None: the program's
        # report, all of it); the fix named as this API names it, never "--".
        cases = [
            # A stop of the own format's reader.
            ("short.txt", b"3 7\n1995 1 2 0 0 10\n", ANSWERS, None),
            ("no_close.csv", b"Date,Open\n2024-01-02,1\n2024-01-03,2\n", ANSWERS,
             'name it with close: "NAME" or by its number, close: 2'),
            ("order.csv", b"Date,Close\n2.1.2024,1\n", ANSWERS, 'give date_order: "dmy" or date_order: "mdy"'),
            ("prices.txt", prices, dict(ANSWERS, test_from="2099-01-01"), "test_from: the date leaves no test row"),
        ]
        for name, data, options, expected in cases:
            path = os.path.join(work, name)
            open(path, "wb").write(data)
            extra = ["--test-from=" + options["test_from"], "-o", "{set}"] if "test_from" in options else []
            _, _, status, err = native(path, extra)
            got = page_prepare(driver, data, options, name)
            check(status != 0 and got.get("isError"), "%s: an Error expected" % name)
            message = got.get("error", "")
            if expected is None:
                expected = err.replace("\r\n", "\n").strip("\n").replace(path, name)
                check(message == expected, "%s: %r is not the program's %r" % (name, message, expected))
            else:
                check(expected in message and "--" not in message, "%s: no fix in the API's spelling: %r"
                      % (name, message))
        # Python's spelling of an option is not this API's.
        got = page_prepare(driver, prices, dict(ANSWERS, from_="all"), "prices.txt")
        check(got.get("isError") and "from_" in got.get("error", ""), "from_ is not refused: %s" % got)
    print("refused files")


SPLIT = """
const [data, options] = arguments;
const r = elab.prepare(Uint8Array.from(atob(data), c => c.charCodeAt(0)), options, 'prices.txt');
const text = t => btoa(Array.from(t, c => String.fromCharCode(c)).join(''));
return {train: text(r.train.text), test: text(r.test.text), first: r.test.dates[0]};
"""


def test_split(driver):
    """test_from gives the program's two sets."""
    path = os.path.join(SOURCE, "examples", "prices.txt")
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([ELAB] + ARGS + ["--test-from=1996-01-01", "-o", "{set}.dat", path], cwd=work, check=True,
                       capture_output=True, stdin=subprocess.DEVNULL)
        sets = {name: open(os.path.join(work, name + ".dat"), "rb").read() for name in ("train", "test")}
    got = driver.execute_script(SPLIT, base64.b64encode(open(path, "rb").read()).decode(),
                                dict(ANSWERS, test_from="1996-01-01"))
    for name in ("train", "test"):
        check(base64.b64decode(got[name]) == sets[name], "the %s set differs from the program's" % name)
    print("test_from")


DROP = """
const [data, name] = arguments;
const bytes = Uint8Array.from(atob(data), c => c.charCodeAt(0));
const moved = new DataTransfer();
moved.items.add(new File([bytes], name));
document.getElementById('drop').dispatchEvent(new DragEvent('drop', {dataTransfer: moved, bubbles: true, cancelable: true}));
"""


def test_drop(driver):
    """A file dropped on the page is read as one chosen is."""
    data = open(os.path.join(SOURCE, "examples", "prices.txt"), "rb").read()
    driver.execute_script(DROP, base64.b64encode(data).decode(), "prices.txt")
    WebDriverWait(driver, 60).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#reports svg.plot"))
    found = driver.find_element(By.CSS_SELECTOR, "#reports dl.found").text
    check("own" in found and "400" in found, "the dropped file's report: %r" % found)
    check(driver.execute_script("return elab.language()") == "en", "the core's texts are not in English")
    print("a file dropped")


def test_controls(driver, downloads, shot):
    """Chooses a vendor file with findings, runs it and downloads elab.dat."""
    path = os.path.join(SOURCE, "tests", "data", "vendor", "weekend_rows.csv")
    text, days, _, _ = native(path, dates=True)
    dataset = native(path, ["--format=csv", "-o", "elab.dat"])[0]
    driver.find_element(By.ID, "file").send_keys(path)
    WebDriverWait(driver, 60).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#reports svg.plot"))
    findings = driver.find_element(By.CSS_SELECTOR, "#reports .findings").text
    check("Saturday" in findings or "Sunday" in findings, "the weekend rows are not among the findings")
    check(driver.find_elements(By.CSS_SELECTOR, "svg.plot circle.weekend"), "no weekend row marked on the plot")
    form = driver.find_element(By.ID, "answers")
    variable = form.find_element(By.NAME, "variable")
    driver.execute_script("arguments[0].value = '11'", variable)
    coefficient = form.find_element(By.NAME, "coefficient")
    coefficient.clear()
    coefficient.send_keys("2")
    driver.execute_script("arguments[0].value = '-1'", form.find_element(By.NAME, "days"))
    driver.find_element(By.ID, "run").click()
    WebDriverWait(driver, 60).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#download-list a"))
    links = driver.find_elements(By.CSS_SELECTOR, "#download-list a")
    names = [a.text for a in links]
    check(names == ["elab.dat", "elab.dates.txt", "elab.csv"], "downloads offered: %s" % names)
    for link, expected in zip(links, (text, days, dataset)):
        link.click()
        target = os.path.join(downloads, link.text)
        WebDriverWait(driver, 60).until(lambda d: os.path.exists(target) and open(target, "rb").read() == expected)
    # Two files: one dataset, each line led by its series, as the program's
    # batch writes it.
    second = os.path.join(SOURCE, "examples", "prices.csv")
    both = native(second, ["--format=csv", "-o", "elab.dat", path])[0]
    chooser = driver.find_element(By.ID, "file")
    chooser.clear()  # a chooser of several files adds to what it holds
    chooser.send_keys(path + "\n" + second)
    WebDriverWait(driver, 60).until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#reports svg.plot")) == 2)
    driver.find_element(By.ID, "run").click()
    WebDriverWait(driver, 60).until(lambda d: any(a.text == "dataset.csv" for a in
                                                   d.find_elements(By.CSS_SELECTOR, "#download-list a")))
    driver.find_element(By.LINK_TEXT, "dataset.csv").click()
    target = os.path.join(downloads, "dataset.csv")
    WebDriverWait(driver, 60).until(lambda d: os.path.exists(target) and open(target, "rb").read() == both)
    if shot:
        chooser.clear()
        chooser.send_keys(path)
        WebDriverWait(driver, 60).until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#reports svg.plot")) == 1)
        driver.find_element(By.ID, "run").click()
        WebDriverWait(driver, 60).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#download-list a"))
        # The file's report: what was recognised, the findings, the plot, the records.
        driver.set_window_size(1000, driver.execute_script("return document.body.scrollHeight") + 40)
        driver.find_element(By.CSS_SELECTOR, "#reports .report").screenshot(shot)
    print("the page's controls")


def test_requests(driver):
    """Every request of the page was for one of its own files (or data it made)."""
    urls = set()
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] == "Network.requestWillBeSent":
            urls.add(message["params"]["request"]["url"])
    urls |= set(driver.execute_script("return performance.getEntriesByType('resource').map(e => e.name)"))
    own = "file://" + PAGE_DIR + "/"
    strange = sorted(u for u in urls if not (u.startswith(own) or u.startswith("data:") or u.startswith("blob:")))
    check(not strange, "requests beyond the page's own files: %s" % strange)
    check(any(u.endswith("/elab_core.js") for u in urls), "the module's request was not seen")
    print("%d requests, all the page's own" % len(urls))


def test_italian_and_narrow():
    driver = browser(language="it")
    try:
        # A window is never narrower than 500 px here: the viewport is made so.
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": 400, "height": 900, "deviceScaleFactor": 1, "mobile": False})
        driver.find_element(By.ID, "file").send_keys(os.path.join(SOURCE, "examples", "prices.csv"))
        WebDriverWait(driver, 60).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#reports svg.plot"))
        title = driver.find_element(By.TAG_NAME, "h1").text
        check("addestramento" in title, "the Italian page's title: %r" % title)
        check(driver.execute_script("return elab.language()") == "it", "the core's texts are not in Italian")
        width = driver.execute_script("return document.documentElement.scrollWidth")
        check(width <= 400, "at 400 px the page is %d px wide" % width)
    finally:
        driver.quit()
    print("Italian, 400 px")


def test_size():
    size = sum(os.path.getsize(os.path.join(PAGE_DIR, n)) for n in os.listdir(PAGE_DIR)
               if n.endswith((".html", ".js", ".css")))
    check(size <= 1500000, "the page and its module take %d bytes" % size)
    print("the page and its module: %d bytes" % size)


def main():
    test_size()
    with tempfile.TemporaryDirectory() as downloads:
        driver = browser(downloads=downloads)
        try:
            test_api(driver)
            test_refused(driver)
            test_split(driver)
            test_drop(driver)
            test_controls(driver, downloads, SCREENSHOT)
            test_requests(driver)
        finally:
            driver.quit()
    test_italian_and_narrow()
    if failures:
        print("%d failure(s)" % len(failures))
        return 1
    print("ok: the page")
    return 0


if __name__ == "__main__":
    sys.exit(main())
