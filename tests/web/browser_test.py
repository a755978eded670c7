#!/usr/bin/env python3
"""The page in a real browser: headless Chromium driven by Selenium walks the
add-on's story on a freshly booted device and saves a PNG of every step.

    browser_test.py --simdevice BIN --stage DIR --out DIR

It fails (never skips) when Chromium, its driver or Selenium is missing: the
bootstrap installs them, so a skip would only hide a broken install.
"""
import argparse
import os
import shutil
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from device_session import TempDevice, WebServer  # noqa: E402

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
WAIT_SECONDS = 20


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
            print("page state:", self.driver.execute_script("return JSON.stringify(app.state)")[:600])
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

        # The battery slider to 1 %: the add-on's power saving acts.
        self.driver.execute_script(
            "const s = document.getElementById('c-level'); s.value = 1;"
            "s.dispatchEvent(new Event('input')); s.dispatchEvent(new Event('change'));")
        self.wait("the power-saving banner", lambda: "PowerSavingMode" in self.text("#banner.shown .banner-title")
                  + self.text("#banner.shown .banner-message"))
        self.wait("the Wi-Fi glyph to go", lambda: not self.visible("#sb-wifi"))
        self.shot("battery-1-percent-banner")

        # The Activator gesture: the info popup.
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
