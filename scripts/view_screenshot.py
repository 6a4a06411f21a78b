#!/usr/bin/python3
"""Takes the README's picture of the `view` page, docs/view.png: W1's matrix
sorted descending in 3 k-means clusters, magma colours, rows 1-20000, the
cursor over the second sample's heat map, in headless Chromium with a page
of 1500 x 807 pixels.

Usage: /usr/bin/python3 scripts/view_screenshot.py MATRIX [OUT] [--exe build/binscope]
(the browser and its driver come with scripts/deps.sh's test packages).
"""
import argparse
import re
import subprocess
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

WIDTH, HEIGHT = 1500, 807
VIEW = "sort=descend&k=3&cmap=magma&r0=0&r1=20000"


def images_loaded(driver):
    return driver.execute_script(
        "return [...document.querySelectorAll('.heat img')].every(i => i.complete && i.naturalWidth > 0)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("matrix")
    parser.add_argument("out", nargs="?", default="docs/view.png")
    parser.add_argument("--exe", default="build/binscope")
    args = parser.parse_args()
    server = subprocess.Popen([args.exe, "view", "-m", args.matrix, "-p", "2"], stdout=subprocess.PIPE, text=True)
    try:
        address = server.stdout.readline().strip()
        if not re.fullmatch(r"http://127\.0\.0\.1:\d+/\?token=[A-Za-z0-9_-]+", address):
            raise SystemExit(f"binscope view printed {address!r}")
        with tempfile.TemporaryDirectory(prefix="binscope-view-shot-") as profile:
            options = webdriver.ChromeOptions()
            options.binary_location = "/usr/bin/chromium"
            for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--no-first-run",
                         f"--user-data-dir={profile}"]:
                options.add_argument(flag)
            driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
            try:
                driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                       {"width": WIDTH, "height": HEIGHT, "deviceScaleFactor": 1, "mobile": False})
                driver.get(address)  # trades the token for the cookie
                driver.get(address.split("?")[0] + "?" + VIEW)
                WebDriverWait(driver, 120).until(
                    lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-ready") is not None)
                WebDriverWait(driver, 60).until(images_loaded)
                heat = driver.find_elements(By.CSS_SELECTOR, ".heat img")[1]
                ActionChains(driver).move_to_element_with_offset(heat, 10, -50).perform()
                WebDriverWait(driver, 30).until(lambda d: d.find_element(By.ID, "tooltip").is_displayed())
                driver.save_screenshot(args.out)
            finally:
                driver.quit()
    finally:
        server.terminate()
        server.wait(timeout=10)
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
