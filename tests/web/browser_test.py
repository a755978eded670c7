#!/usr/bin/env python3
"""The page in a real browser: headless Chromium driven by Selenium walks the
add-on's story on a freshly booted device, then the stories of a person using
the page (keyboard, a narrow window, a running battery, a shut-down device, a
restarted server), and saves a PNG of every step.

    browser_test.py --simdevice BIN --stage DIR --out DIR

It fails (never skips) when Chromium, its driver or Selenium is missing: the
bootstrap installs them, so a skip would only hide a broken install.
"""
import argparse
import os
import re
import shutil
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from device_session import TempDevice, WebServer  # noqa: E402

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
WAIT_SECONDS = 20
RUNNING_BATTERY = "sim:level=80,rate=-30/min,speed=600"
# Mutations under each row of the pane, by row label, from the moment it is
# installed; untouched() lists the rows that were touched though their text did not change.
COUNT_MUTATIONS = """
const texts = {};
document.querySelectorAll('#pane .cell[data-label]').forEach((c) => { texts[c.dataset.label] = c.textContent; });
window.untouched = () => Object.keys(window.rowMutations).filter((k) => k === '(pane)' ||
  (k in texts && document.querySelector('#pane .cell[data-label="' + CSS.escape(k) + '"]').textContent === texts[k]));
window.rowMutations = {};
new MutationObserver((list) => list.forEach((m) => {
  const node = m.target.nodeType === 1 ? m.target : m.target.parentElement;
  const cell = node.closest('.cell');
  const key = cell ? cell.dataset.label || '(drawn)' : '(pane)';
  window.rowMutations[key] = (window.rowMutations[key] || 0) + 1;
})).observe(document.getElementById('pane'), {subtree: true, childList: true, characterData: true, attributes: true});
"""


class Scenario:
    def __init__(self, simdevice, stage, out):
        self.stage = stage
        self.out = out
        self.device = TempDevice(simdevice, prefix="px-browser-")
        self.server = None
        self.driver = None
        self.step_number = 0

    # -- the device and the server ------------------------------------------
    def sd(self, *args, check=True):
        r = self.device.run(*args, check=False)
        if check and r.returncode != 0:
            raise AssertionError(f"simdevice {' '.join(args)} exited {r.returncode}: {r.stdout}{r.stderr}")
        return r.stdout

    # -- the browser -----------------------------------------------------------
    def start_browser(self):
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--no-first-run", "--window-size=1280,900"):
            options.add_argument(flag)
        self.profile = tempfile.mkdtemp(prefix="px-chromium-")
        options.add_argument("--user-data-dir=" + self.profile)
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)

    def wait(self, what, condition):
        # The page redraws as state events arrive: an element found a moment ago may be gone.
        try:
            return WebDriverWait(self.driver, WAIT_SECONDS, ignored_exceptions=(StaleElementReferenceException,)).until(
                lambda d: condition())
        except TimeoutException as e:
            self.shot("FAILED-" + what.replace(" ", "-"))
            for entry in self.driver.get_log("browser"):
                print("browser:", entry.get("message"))
            print("page:", self.text("#connection"), self.text("#generation"), self.text("#command-result")[:300])
            print("server state:", self.driver.execute_async_script(
                "const done = arguments[0]; fetch('/api/state').then(r => r.text()).then(t => done(t.slice(0, 400)));"))
            print("device status:", self.sd("status", check=False))
            print("device log:", self.sd("log", "-n", "30", check=False))
            raise AssertionError(f"timed out waiting for {what}") from e

    def shot(self, name):
        self.step_number += 1
        path = os.path.join(self.out, f"{self.step_number:02d}-{name}.png")
        self.driver.save_screenshot(path)
        print("saved", path)

    def el(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def visible(self, css):
        found = self.driver.find_elements(By.CSS_SELECTOR, css)
        return found[0] if found and found[0].is_displayed() else None

    def text(self, css):
        e = self.visible(css)
        return e.text if e else ""

    def click_alert_button(self, title):
        def button():
            for b in self.driver.find_elements(By.CSS_SELECTOR, "#alert-buttons .alert-button"):
                if b.is_displayed() and " ".join(b.get_attribute("textContent").split()) == title:
                    return b
            return None
        self.wait(f"the alert button {title!r}", button).click()

    def row(self, label):
        for r in self.driver.find_elements(By.CSS_SELECTOR, "#pane .cell"):
            if r.get_attribute("data-label") == label and r.is_displayed():
                return r
        return None

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def server_state(self):
        """The state document the server sends the page now (the page keeps none where a script can read it)."""
        return self.driver.execute_async_script(
            "const done = arguments[0]; fetch('/api/state').then(r => r.json()).then(done, () => done(null));")

    def generation(self):
        return int(self.el("#generation").get_attribute("textContent").split()[-1])

    def title(self):
        return self.el("#nav-title").get_attribute("textContent")

    def pane_scroll(self):
        return self.js("return document.getElementById('pane').scrollTop")

    def press(self, element, seconds=0.15):
        """A click as people click: held for a moment, not an instant."""
        ActionChains(self.driver).click_and_hold(element).pause(seconds).release().perform()

    def focused(self):
        return self.js("const a = document.activeElement; return a.id || a.dataset.label || a.getAttribute('aria-label') || '';")

    def assert_text_fits(self):
        """Every label whole; read-only values whole (below the label when long)."""
        cut = self.js("return [...document.querySelectorAll('#pane .cell-label, #pane .kind-value .cell-value')]"
                      ".filter((e) => e.scrollWidth > e.clientWidth).map((e) => e.textContent)")
        assert not cut, f"text cut off: {cut}"

    def dismiss_alerts(self):
        """The running battery's own alerts (fully charged), out of the way."""
        for _ in range(5):
            if not self.visible("#alert-layer"):
                return
            self.driver.find_elements(By.CSS_SELECTOR, "#alert-buttons .alert-button")[-1].click()
            time.sleep(1)

    def settings_value(self, key):
        rows = self.driver.find_elements(By.CSS_SELECTOR, f'#t-settings tr[data-key="{key}"] td')
        return rows[0].text if rows else None

    # -- the story ---------------------------------------------------------------
    def run(self):
        self.device.start(self.stage, clock="14:05")
        self.server = WebServer(self.device)
        self.start_browser()
        self.driver.get(self.server.address)

        self.wait("the capacity clock in the status bar", lambda: self.text("#sb-time").endswith(" mAh"))
        self.wait("the lock screen", lambda: self.visible("#lock-screen"))
        self.shot("status-bar-capacity-clock")

        # The battery slider to 1 %: the add-on's power saving acts. The first answer moves no control.
        before = self.el("#c-boot").location
        self.driver.execute_script(
            "const s = document.getElementById('c-level'); s.value = 1;"
            "s.dispatchEvent(new Event('input')); s.dispatchEvent(new Event('change'));")
        self.wait("the power-saving banner", lambda: "PowerSavingMode" in self.text("#banner.shown .banner-title")
                  + self.text("#banner.shown .banner-message"))
        self.wait("the Wi-Fi glyph to go", lambda: not self.visible("#sb-wifi"))
        self.shot("battery-1-percent-banner")
        assert self.el("#c-boot").location == before, f"the command result box pushed the controls: {before} → {self.el('#c-boot').location}"

        # The Activator gesture, to the listener the server names: the info popup.
        listener = self.server_state()["names"]["activator_listener"]
        assert self.el("#c-listener").get_attribute("value") == listener, self.el("#c-listener").get_attribute("value")
        self.el("#c-gesture").click()
        self.wait("the info popup", lambda: {"Close", "Enable PowerSavingMode"} <=
                  {b.get_attribute("textContent") for b in self.driver.find_elements(By.CSS_SELECTOR, "#alert-buttons .alert-button")})
        self.shot("info-popup")
        self.click_alert_button("Close")
        self.wait("the popup to close", lambda: not self.visible("#alert-layer"))

        # Unlock by sliding: the welcome alert, then the add-on's pane.
        self.el("#slide-track").click()
        self.wait("the welcome alert", lambda: any(
            " ".join(b.get_attribute("textContent").split()) == "Open Settings" for b in self.driver.find_elements(By.CSS_SELECTOR, "#alert-buttons .alert-button")))
        self.shot("welcome-alert")
        # Two buttons, each the full 44 points showing its whole title: side by side when both fit, else stacked.
        buttons = self.driver.find_elements(By.CSS_SELECTOR, "#alert-buttons .alert-button")
        boxes = [b.rect for b in buttons]
        whole = self.driver.execute_script("return arguments[0].every((b) => b.scrollWidth <= b.clientWidth)", buttons)
        stacked = "stacked" in self.el("#alert-buttons").get_attribute("class")
        assert len(boxes) == 2 and whole and all(b["height"] == 44 for b in boxes), boxes
        assert (boxes[0]["y"] < boxes[1]["y"]) if stacked else (boxes[0]["y"] == boxes[1]["y"]), boxes
        self.click_alert_button("Open Settings")
        self.wait("the add-on's root pane with its header",
                  lambda: "PylonexPro 2" in self.text("#pane .header-cell") and self.row("Advanced Options"))
        self.shot("settings-root-pane")

        # Advanced Options: Fahrenheit on.
        self.row("Advanced Options").click()
        self.wait("the Advanced Options pane", lambda: self.row("Fahrenheit"))
        self.row("Fahrenheit").find_element(By.CSS_SELECTOR, ".switch").click()
        self.wait("Fahrenheit in the settings file", lambda: self.settings_value("Fahrenheit") == "true")
        self.wait("SpringBoard's reload line in the log",
                  lambda: "PylonexPro2 Settings" in self.el("#log").get_attribute("textContent"))
        self.wait("the switch drawn on", lambda: "on" in self.row("Fahrenheit").find_element(
            By.CSS_SELECTOR, ".switch").get_attribute("class").split())
        self.shot("fahrenheit-on")

        # Back (once the banner over the navigation bar has left), then Battery Data shows the temperature in °F.
        self.wait("the banner to leave", lambda: not self.driver.find_elements(By.CSS_SELECTOR, "#banner.shown"))
        self.el("#nav-back").click()
        self.wait("the root pane again", lambda: self.row("Battery Data"))
        self.row("Battery Data").click()
        self.wait("the temperature in °F", lambda: self.row("Temperature") and "°F" in
                  self.row("Temperature").get_attribute("textContent"))
        self.shot("battery-data-fahrenheit")

        self.story_keyboard()
        self.story_lock_clock()
        self.story_narrow_window()
        self.story_usage()
        self.story_off()
        self.story_running_battery()
        self.story_controls_show_the_device()
        self.story_syslog_entries()
        self.story_refused()
        favicon = [e for e in self.driver.get_log("browser") if "favicon" in e.get("message", "")]
        assert not favicon, favicon

    def story_keyboard(self):
        """Every control of the phone is reached with Tab, works with Enter and
        Space, has a role and a name, and keeps the focus after updates."""
        self.el("#nav-back").send_keys(Keys.ENTER)
        self.wait("the root pane by keyboard", lambda: self.row("History"))
        names = {(e.aria_role, e.accessible_name) for e in (self.el("#nav-back"), self.row("History"), self.el("#home-button"),
                                                          self.row("Follow @zelmoraq"))}
        assert {("button", "History"), ("button", "Home"), ("button", "Follow @zelmoraq")} <= names, names
        for _ in range(12):
            ActionChains(self.driver).send_keys(Keys.TAB).perform()
            if self.focused() == "Advanced Options":
                break
        assert self.focused() == "Advanced Options", "Tab never reached the Advanced Options row: " + self.focused()
        self.shot("keyboard-focus-on-a-row")
        ActionChains(self.driver).send_keys(Keys.ENTER).perform()
        self.wait("Advanced Options opened by Enter", lambda: self.row("Fahrenheit"))
        switch = self.row("Fahrenheit").find_element(By.CSS_SELECTOR, ".switch")
        assert (switch.aria_role, switch.accessible_name) == ("switch", "Fahrenheit")
        self.js("arguments[0].focus()", switch)
        ActionChains(self.driver).send_keys(" ").perform()
        self.wait("Fahrenheit off by Space", lambda: self.settings_value("Fahrenheit") == "false")
        self.wait("the switch drawn off", lambda: switch.get_attribute("aria-checked") == "false")
        assert self.focused() == "Fahrenheit", "the focus left the switch: " + self.focused()
        self.el("#nav-back").send_keys(Keys.ENTER)
        self.wait("the root pane", lambda: self.row("History"))

    def story_lock_clock(self):
        """The lock screen's clock is the device's, set by `clock`."""
        self.sd("clock", "09:30")
        self.sd("lock")
        self.wait("the lock screen", lambda: self.visible("#lock-screen"))
        # The lock clock runs on from the last state; it is at most a minute or two past it.
        behind = ("const [h, m] = document.getElementById('lock-clock').textContent.split(':').map(Number);"
                  "const t = new Date(arguments[0] * 1000);"
                  "return ((h * 60 + m) - (t.getHours() * 60 + t.getMinutes()) + 1440) % 1440;")
        self.wait("the lock clock at the device's time", lambda: self.visible("#lock-clock") and self.js(
            behind, self.server_state()["device_time"]) <= 2)
        self.shot("lock-clock-device-time")
        self.el("#slide-track").send_keys(Keys.ENTER)
        self.wait("unlocked by Enter on slide to unlock", lambda: not self.visible("#lock-screen"))

    def story_narrow_window(self):
        """At 400 px the columns stack and nothing runs off the right edge."""
        self.driver.set_window_size(400, 900)
        self.wait("the stacked columns", lambda: self.el("#controls").rect["y"] > self.el("#phone-frame").rect["y"] + 300)
        width = self.js("return document.scrollingElement.scrollWidth")
        assert width <= 400, f"the page is {width} px wide in a 400 px window"
        self.shot("narrow-window")
        self.driver.set_window_size(1280, 900)

    def story_usage(self):
        """The usage menu runs `usage NAME`: the current shown follows the load."""
        usage = "call" if self.el("#c-usage").get_attribute("value") == "video" else "video"
        before = self.text("#c-current")
        assert before.endswith(" mA drawn"), before
        Select(self.el("#c-usage")).select_by_value(usage)
        self.wait("the usage command's answer", lambda: "usage: " + usage in self.text("#command-result"))
        self.wait("a different current", lambda: self.text("#c-current") not in (before, "unknown")
                  and self.el("#c-usage").get_attribute("value") == usage)
        self.shot("usage-" + usage)

    def story_off(self):
        """Shut down, the phone is black with only Boot; the controls that need
        a running device are disabled."""
        self.el("#c-shutdown").click()
        self.wait("the off screen", lambda: self.visible("#off-screen"))
        assert not self.visible("#status-bar") and not self.visible("#off-text") and self.visible("#off-boot")
        assert all(self.el(c).get_attribute("disabled") for c in ("#c-level", "#c-unlock", "#c-usage"))
        assert not self.el("#c-boot").get_attribute("disabled")
        self.shot("device-off")
        self.sd("boot", "--battery", RUNNING_BATTERY)

    def story_running_battery(self):
        """While the battery runs at 600 times its pace, rows hold still: a
        150 ms press opens a pane, a scroll stays, unchanged rows are not
        touched; a pushed pane opens at the top and Back restores the scroll."""
        self.wait("the lock screen after boot", lambda: self.visible("#lock-screen"))
        self.sd("unlock")
        self.sd("settings", "open", "prefs:root=PylonexPro2")
        self.wait("the add-on's pane", lambda: self.row("History"))
        self.press(self.row("History"))
        self.wait("History opened by a 150 ms press", lambda: self.title() == "History" and self.row("Health Now"))
        assert self.pane_scroll() == 0, "History did not open at the top"
        self.assert_text_fits()
        self.js(COUNT_MUTATIONS)
        start = self.generation()
        self.js("document.getElementById('pane').scrollTop = 1e6")
        bottom = self.pane_scroll()
        time.sleep(3)
        updates = self.generation() - start
        touched = self.js("return window.untouched()")
        assert updates >= 3, f"only {updates} state updates in 3 s: the battery is not running"
        assert not touched, f"unchanged rows touched over {updates} updates: {touched}"
        assert bottom > 0 and self.pane_scroll() == bottom, "the scroll position did not survive the updates"
        self.shot("history-bottom-while-running")
        self.dismiss_alerts()
        self.js("arguments[0].scrollIntoView({block: 'center'})", self.row("Charge Sessions"))
        left_at = self.pane_scroll()
        self.press(self.row("Charge Sessions"))
        self.wait("Charge Sessions opened by a 150 ms press", lambda: self.title() == "Charge Sessions")
        assert self.pane_scroll() == 0, "Charge Sessions did not open at the top"
        self.assert_text_fits()
        self.shot("charge-sessions")
        self.dismiss_alerts()
        self.el("#nav-back").click()
        self.wait("History again", lambda: self.title() == "History")
        self.wait("History's scroll restored", lambda: abs(self.pane_scroll() - left_at) <= 2)

    def story_controls_show_the_device(self):
        """After a command, the slider shows the device's level, not where it
        was moved (it keeps the focus, and the charging battery moves on)."""
        self.js("const s = document.getElementById('c-level'); s.focus(); s.value = 3;"
                "s.dispatchEvent(new Event('input')); s.dispatchEvent(new Event('change'));")
        self.wait("the command's answer", lambda: "battery 3%" in self.text("#command-result"))
        self.wait("the slider at the device's level", lambda: self.js(
            "const s = document.getElementById('c-level'); return document.activeElement === s && s.value !== '3' &&"
            "s.value + '%' === document.getElementById('sb-percent').textContent"))

    def story_syslog_entries(self):
        """The filter shows whole entries: a matching message with all its lines."""
        self.el("#log-filter").send_keys("UpdateTime")
        def whole():
            # The last match's entry is shown from its dated first line to its closing brace.
            lines = self.el("#log").get_attribute("textContent").splitlines()
            at = max((i for i, line in enumerate(lines) if "UpdateTime" in line), default=None)
            return at is not None and any(re.match(r"[A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d ", line) for line in lines[:at]) \
                and "}" in [line.strip() for line in lines[at:]]
        self.wait("whole syslog entries", whole)
        self.el("#log-filter").clear()

    def story_refused(self):
        """A server started again without this page's token: the page says so,
        the phone and the controls are inert; the new address brings it back."""
        port = self.server.port
        self.driver.delete_all_cookies()
        self.server.stop()
        self.server = WebServer(self.device, port=port)
        self.wait("the refused page", lambda: self.visible("#refused") and self.js(
            "return document.getElementById('phone-column').inert && document.getElementById('controls').inert"))
        self.shot("refused")
        self.driver.get(self.server.address)
        self.wait("the page live again", lambda: self.text("#connection") == "live" and not self.visible("#refused"))

    def close(self):
        if self.driver:
            self.driver.quit()
        if self.server:
            self.server.stop()
        self.device.close()
        if getattr(self, "profile", None):
            shutil.rmtree(self.profile, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--simdevice", required=True)
    parser.add_argument("--stage", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    for tool in (CHROMIUM, CHROMEDRIVER):
        if not os.access(tool, os.X_OK):
            print(f"FAIL: {tool} is missing (scripts/bootstrap.sh installs chromium and chromium-driver)")
            return 1
    os.makedirs(args.out, exist_ok=True)
    scenario = Scenario(args.simdevice, args.stage, args.out)
    try:
        scenario.run()
    finally:
        scenario.close()
    print("browser scenario passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
