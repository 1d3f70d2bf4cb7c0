#!/usr/bin/python3
"""The page against the program on one CSV of ROWS business days (Date,
Close; a seeded random walk): elab.prepare in headless Chromium, opened from
the file system, the program, and the program on one thread (ELAB_THREADS=1,
as the page runs), taking turns; fastest and median wall seconds of each and
the ratios of the medians. The page's time is that of
the call alone, the file already in the page as bytes; both elab.dat are
checked equal.

    bench/web_bench.py --page build-web/web --program build/elab [--dir /dev/shm/elab-web] [--rounds 5] [ROWS]

ROWS defaults to 1,000,000.
"""

import argparse
import base64
import datetime
import os
import random
import statistics
import subprocess
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

ARGS = ["--from=all", "--variable=11", "--coefficient=2", "--screen-output=yes", "--screen-inputs=yes", "--days=-1"]
OPTIONS = dict(variable=11, coefficient=2, screen_output=True, screen_inputs=True, days=-1)


def write_csv(path, rows, seed=1):
    rng = random.Random(seed)
    day = datetime.date(1900, 1, 1)
    close = 100.0
    lines = ["Date,Close\n"]
    while len(lines) <= rows:
        if day.weekday() < 5:
            close = max(1.0, close * (1.0 + rng.gauss(0.0, 0.01)))
            lines.append("%s,%.4f\n" % (day.isoformat(), close))
        day += datetime.timedelta(days=1)
    with open(path, "w") as f:
        f.writelines(lines)


def program_run(program, path, work, threads=None):
    env = dict(os.environ)
    if threads:
        env["ELAB_THREADS"] = str(threads)
    start = time.perf_counter()
    subprocess.run([program] + ARGS + [path], cwd=work, check=True, stdout=subprocess.DEVNULL,
                   stdin=subprocess.DEVNULL, env=env)
    return time.perf_counter() - start


PUT = """
const bytes = Uint8Array.from(atob(arguments[0]), c => c.charCodeAt(0));
window.benchFile = bytes;
return bytes.length;
"""
RUN = """
const start = performance.now();
const r = elab.prepare(window.benchFile, arguments[0], 'prices.csv');
const seconds = (performance.now() - start) / 1000;
window.benchText = r.text;
return [seconds, r.count, r.text.length];
"""
TEXT = """
const t = window.benchText;
let s = '';
for (let k = 0; k < t.length; k += 8192) s += String.fromCharCode.apply(null, t.subarray(k, k + 8192));
return btoa(s);
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--page", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--dir", default="/tmp/elab-web-bench")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("rows", nargs="?", type=int, default=1000000)
    a = parser.parse_args()
    os.makedirs(a.dir, exist_ok=True)
    path = os.path.join(a.dir, "prices-%d.csv" % a.rows)
    if not os.path.exists(path):
        write_csv(path, a.rows)
    program = os.path.abspath(a.program)

    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.get("file://" + os.path.join(os.path.abspath(a.page), "index.html"))
        WebDriverWait(driver, 60).until(lambda d: d.execute_script("return document.body.dataset.ready === 'yes'"))
        driver.execute_script(PUT, base64.b64encode(open(path, "rb").read()).decode())
        page, native, one = [], [], []
        for _ in range(a.rounds):
            seconds, count, size = driver.execute_script(RUN, OPTIONS)
            page.append(seconds)
            native.append(program_run(program, path, a.dir))
            one.append(program_run(program, path, a.dir, threads=1))
        same = base64.b64decode(driver.execute_script(TEXT)) == open(os.path.join(a.dir, "elab.dat"), "rb").read()
    finally:
        driver.quit()
    print("%d rows, %d records, %d bytes of elab.dat, the same from both: %s" % (a.rows, count, size, same))
    for name, times in (("page", page), ("program", native), ("program, one thread", one)):
        print("%-20s fastest %.3f s, median %.3f s" % (name, min(times), statistics.median(times)))
    print("page / program (medians): %.2f" % (statistics.median(page) / statistics.median(native)))
    print("page / program on one thread (medians): %.2f" % (statistics.median(page) / statistics.median(one)))
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
