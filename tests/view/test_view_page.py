"""The `view` page in headless Chromium: it loads, zooms, re-sorts, finds,
shows hover text (a region named <script> as text), links and exports, and
never logs a JavaScript error."""
import os
import re
import shutil
import subprocess
import tempfile
import time
import urllib.parse

import pytest

webdriver = pytest.importorskip("selenium.webdriver")
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402

BINSCOPE = os.environ.get("BINSCOPE_EXE", "build/binscope")
MAKE_MATRIX = os.environ.get("MAKE_VIEW_MATRIX", "build/make_view_matrix")
CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
SCRIPT_NAME = "<script>alert(1)</script>"
LINK = "https://genome.example/?position={chrom}:{start}-{end}"

pytestmark = pytest.mark.skipif(not (os.path.exists(CHROMIUM) and os.path.exists(CHROMEDRIVER)),
                                reason="headless Chromium and its driver are not installed")


@pytest.fixture(scope="module")
def server():
    folder = tempfile.mkdtemp(prefix="binscope-view-page-")
    matrix = os.path.join(folder, "m.gz")
    subprocess.run([MAKE_MATRIX, matrix, "200"], check=True)
    process = subprocess.Popen([BINSCOPE, "view", "-m", matrix, "-p", "2", "--browserLink", LINK],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    address = process.stdout.readline().strip()
    assert re.fullmatch(r"http://127\.0\.0\.1:\d+/\?token=[A-Za-z0-9_-]{43}", address), address
    yield address
    process.terminate()
    assert process.wait(timeout=5) == 0
    shutil.rmtree(folder, ignore_errors=True)


@pytest.fixture(scope="module")
def browser():
    profile = tempfile.mkdtemp(prefix="binscope-view-chromium-")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run", "--window-size=1400,1000",
                 f"--user-data-dir={profile}"]:
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    yield driver
    driver.quit()
    shutil.rmtree(profile, ignore_errors=True)


def no_errors(driver):
    """Fails on any error the page logged: a script error, a refused load."""
    errors = [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
    assert errors == []


def wait_ready(driver, previous=None):
    WebDriverWait(driver, 30).until(
        lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-ready") not in (None, previous))
    WebDriverWait(driver, 30).until(lambda d: d.execute_script(
        "return [...document.querySelectorAll('.heat img')].every(i => i.complete && i.naturalWidth > 0)"))
    return driver.find_element(By.TAG_NAME, "body").get_attribute("data-ready")


def query(driver):
    return dict(urllib.parse.parse_qsl(urllib.parse.urlparse(driver.current_url).query))


def screenshot(driver, name):
    folder = os.environ.get("VIEW_SCREENSHOT_DIR")
    if folder:
        driver.save_screenshot(os.path.join(folder, name))


def hover_row(driver, row, sample=0):
    """Moves the mouse over drawn row `row` of the rows in view."""
    heat = driver.find_elements(By.CSS_SELECTOR, ".heat img")[sample]
    r0, r1 = int(query(driver).get("r0", 0)), int(query(driver).get("r1", 200))
    height = heat.size["height"]
    y = int((row - r0 + 0.5) / (r1 - r0) * height - height / 2)
    ActionChains(driver).move_to_element_with_offset(heat, 0, y).perform()


def test_page_explores_and_exports(server, browser):
    browser.get(server)
    ready = wait_ready(browser)
    assert "token" not in browser.current_url  # traded for the cookie
    assert len(browser.find_elements(By.CSS_SELECTOR, ".panel")) == 2
    assert [e.text for e in browser.find_elements(By.CSS_SELECTOR, ".sample-title")] == ["rows", "bins"]
    assert "rows 1-200 of 200" in browser.find_element(By.ID, "row-info").text
    assert browser.find_element(By.ID, "command").text.startswith("binscope heatmap -m ")
    screenshot(browser, "view_all_rows.png")
    no_errors(browser)

    # The view lives in the address: rows 0-9, then the region named <script> under the cursor.
    browser.get(server.split("?")[0] + "?r0=0&r1=10")
    ready = wait_ready(browser)
    assert "rows 1-10 of 200" in browser.find_element(By.ID, "row-info").text
    hover_row(browser, 3)
    WebDriverWait(browser, 10).until(lambda d: SCRIPT_NAME in d.find_element(By.ID, "hover-text").text)
    text = browser.find_element(By.ID, "hover-text").text
    assert f"{SCRIPT_NAME}  chr1:3001-3500 (-)" in text
    assert "group: first" in text and "value: 3" in text and "row 4" in text
    assert browser.execute_script("return document.querySelectorAll('#hover-text *, #tooltip *').length") == 0
    ActionChains(browser).click().perform()
    WebDriverWait(browser, 10).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#pinned a"))
    link = browser.find_element(By.CSS_SELECTOR, "#pinned a")
    assert link.get_attribute("href") == "https://genome.example/?position=chr1:3001-3500"
    assert link.text.startswith(SCRIPT_NAME)
    screenshot(browser, "view_hover.png")
    no_errors(browser)

    # Zoom out with the wheel, then in with the button.
    heat = browser.find_element(By.CSS_SELECTOR, ".heat")
    browser.execute_script(
        "const r = arguments[0].getBoundingClientRect();"
        "arguments[0].dispatchEvent(new WheelEvent('wheel', {deltaY: 100, clientX: r.left + 5,"
        " clientY: r.top + 5, bubbles: true, cancelable: true}));", heat)
    WebDriverWait(browser, 10).until(lambda d: query(d).get("r1") not in (None, "10") or "r0" not in query(d))
    ready = wait_ready(browser, ready)
    wider = int(query(browser).get("r1", 200)) - int(query(browser).get("r0", 0))
    assert wider > 10
    browser.find_element(By.ID, "zoom-in").click()
    ready = wait_ready(browser, ready)
    assert int(query(browser)["r1"]) - int(query(browser)["r0"]) < wider

    # A new sort, computed by the server; the command line follows.
    Select(browser.find_element(By.NAME, "sort")).select_by_visible_text("descend")
    Select(browser.find_element(By.NAME, "cmap")).select_by_visible_text("magma")
    browser.find_element(By.ID, "apply").click()
    ready = wait_ready(browser, ready)
    assert query(browser).get("sort") == "descend"
    assert browser.find_element(By.ID, "command").text.endswith("--sortRegions descend --colorMap magma")
    assert browser.find_element(By.ID, "hover-text").text.startswith("Move over a heat map")  # not the old rows'
    screenshot(browser, "view_sorted.png")

    # Find a region: the view moves to it.
    browser.find_element(By.ID, "find").send_keys("region_150")
    browser.find_element(By.ID, "find-button").click()
    ready = wait_ready(browser, ready)
    r0, r1 = int(query(browser)["r0"]), int(query(browser)["r1"])
    assert r0 <= 149 < r1  # the second group (rows 100-199) descending: row 150 is drawn row 149
    no_errors(browser)

    # Exports: the figure and the regions, fetched as the links would.
    for link_id, start in [("bed-rows-link", "#chrom\tstart"), ("bed-group-link", "#chrom\tstart")]:
        href = browser.find_element(By.ID, link_id).get_attribute("href")
        body = browser.execute_async_script(
            "fetch(arguments[0]).then(r => r.text()).then(arguments[1])", href)
        assert body.startswith(start)
    for link in browser.find_elements(By.CSS_SELECTOR, "#exports a[href*='/api/export']"):
        status = browser.execute_async_script(
            "fetch(arguments[0]).then(r => r.arrayBuffer().then(b => arguments[1]([r.status, b.byteLength])))",
            link.get_attribute("href"))
        assert status[0] == 200 and status[1] > 1000
    no_errors(browser)


def test_two_tabs_keep_their_own_views(server, browser):
    base = server.split("?")[0]
    browser.get(server)
    wait_ready(browser)
    browser.get(base + "?sort=descend")
    wait_ready(browser)
    first = browser.current_window_handle
    browser.switch_to.new_window("tab")
    browser.get(base + "?sort=ascend&k=2")
    wait_ready(browser)
    assert "--sortRegions ascend --kmeans 2" in browser.find_element(By.ID, "command").text
    browser.close()
    browser.switch_to.window(first)
    browser.refresh()
    wait_ready(browser)
    assert browser.find_element(By.ID, "command").text.endswith("--sortRegions descend")
    no_errors(browser)


def test_bad_view_in_the_address_shows_the_servers_reason(server, browser):
    browser.get(server)
    wait_ready(browser)
    browser.get(server.split("?")[0] + "?k=999")
    WebDriverWait(browser, 10).until(lambda d: "Bad parameter k" in d.find_element(By.ID, "status").text)
    assert "expected a whole number from 0 to 100" in browser.find_element(By.ID, "status").text
    browser.get_log("browser")  # the refused request is logged as a failed load: expected here


def test_colour_bars_and_legend_end_with_the_panels(server, browser):
    """In a low window the bars shrink so that the legend is not cut off."""
    browser.set_window_size(1400, 640)
    try:
        browser.get(server)
        wait_ready(browser)
        bottom = browser.execute_script(
            "const end = (id) => document.getElementById(id).getBoundingClientRect().bottom;"
            "return [end('scales'), end('panels')];")
        assert bottom[0] <= bottom[1] + 1, bottom
        assert len(browser.find_elements(By.CSS_SELECTOR, ".scale canvas")) == 2
        no_errors(browser)
    finally:
        browser.set_window_size(1400, 1000)
