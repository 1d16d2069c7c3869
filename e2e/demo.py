#!/usr/bin/python3
"""The demo behind scripts/run.sh on a machine without a display.

    e2e/demo.py --build <win64-build-dir> --player-dir <dir> --screenshot <png>

Runs in the Wine environment of scripts/wine-env.sh (DISPLAY, WINEPREFIX set;
run.sh sources it with a private Xvfb). Starts the player from --player-dir
(the exe and vbmp3.dll are there, with the user's settings file), drops the
three sample tracks onto its window (a real X drag-and-drop), clicks Play,
follows playback through the list printing the status line and each entry's
title and path, saves a screenshot while the first track plays with the
spectrum on, waits for the end of the list, closes the player with Exit and
prints where the screenshot is.

Exit code 0 when all of that happened; 1 when something did not (the reason
is printed, and a screenshot of the moment is saved anyway); 2 when the
environment or the files are missing.
"""
import argparse
import os
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402
from harness import winpath  # noqa: E402

SAMPLES = [("01-dawn.mp3", "夜明けの和音"), ("02-noise.mp3", "青い雑音"), ("03-bells.mp3", "三つの鐘")]
END_TEXT = "終了しました"
PLAYING_TEXT = "再生中"
# The screenshot is taken at about this second of the first track.
SHOT_SECOND = 3


class DemoFailed(Exception):
    pass


class EnvSession(harness.Session):
    """The harness's driver and screenshot in the Wine environment this
    process was started in (display and prefix of scripts/wine-env.sh)
    instead of a display and prefix of its own."""

    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.prefix = os.environ["WINEPREFIX"]
        self.tmp_root = harness.tempfile.mkdtemp(prefix="vtdemo-")
        self.xvfb = None
        self.wineserver = None
        self.display = os.environ["DISPLAY"]
        self.env = dict(os.environ)
        self.driver = None
        self.driver = harness.Driver(self)

    def close(self):
        if self.driver:
            self.driver.close()
            self.driver = None
        harness.shutil.rmtree(self.tmp_root, ignore_errors=True)


class PlayerInFolder(harness.App):
    """The program as the user has it: started from its own folder, nothing copied."""

    def __init__(self, sess, folder):
        self.s = sess
        self.d = sess.driver
        self.dir = None
        self.folder = os.path.abspath(folder)
        self.exe = os.path.join(self.folder, harness.PROGRAM)
        self.procs = []
        self.main = None
        self.hwnd = None

    def close(self):
        for p in self.procs:
            if p.popen.poll() is None:
                if p.winpid:
                    self.d.cmd("kill", check=False, pid=p.winpid)
                try:
                    p.popen.wait(5)
                except subprocess.TimeoutExpired:
                    p.popen.kill()
                    p.popen.wait(5)


class Demo:
    def __init__(self, args):
        self.args = args
        self.t0 = time.monotonic()
        self.shot_taken = False
        self.last = {}

    def say(self, text):
        print("[%5.1f s] %s" % (time.monotonic() - self.t0, text), flush=True)

    def wait(self, cond, timeout, what):
        try:
            return harness.wait_for(cond, timeout, 0.1, what)
        except AssertionError as e:
            raise DemoFailed(str(e))

    def status_changed(self, label=None):
        """Prints the status line when it differs from what was printed last."""
        st = self.app.status()
        if label or st != self.last.get("status"):
            self.say("%sstatus line: %s" % (label + ", " if label else "", st or "(empty)"))
            self.last["status"] = st
        return st

    def entry_changed(self):
        """Prints title and path when the file-name field shows another entry."""
        path, title = self.app.text("Edit6"), self.app.text("Edit1")
        if (path, title) != (self.last.get("path"), self.last.get("title")):
            if path:
                lines = self.app.memo()["lines"]
                n = lines.index(path) + 1 if path in lines else "?"
                self.say("entry %s of %d: title %s, artist %s, %s s, path %s" % (
                    n, len(lines), title or "(none)", self.app.text("Edit2") or "(none)",
                    self.app.text("Label10").replace("秒", ""), path))
            else:
                self.say("title and path fields are empty")
            self.last["path"], self.last["title"] = path, title
        return path, title

    def bars(self):
        return [self.app.control("ProgressBar%d" % n)["pos"] for n in range(1, 9)]

    def run(self):
        a = self.args
        exe = os.path.join(a.player_dir, harness.PROGRAM)
        for need in (exe, os.path.join(a.player_dir, "vbmp3.dll"), os.path.join(a.build, "e2e", "vdrv.exe")):
            if not os.path.exists(need):
                print("demo: missing %s" % need, file=sys.stderr)
                return 2
        samples = [os.path.join(harness.REPO, "samples", f) for f, _ in SAMPLES]
        for s in samples:
            if not os.path.exists(s):
                print("demo: missing %s" % s, file=sys.stderr)
                return 2
        if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
            print("demo: DISPLAY and WINEPREFIX must be set (run scripts/run.sh, or source scripts/wine-env.sh)",
                  file=sys.stderr)
            return 2

        self.session = EnvSession(a.build)
        self.app = PlayerInFolder(self.session, a.player_dir)
        try:
            return self.play_through(samples)
        except DemoFailed as e:
            self.say("demo failed: %s" % e)
            self.fallback_shot()
            return 1
        finally:
            self.app.close()
            self.session.close()

    def shot(self, crop):
        """The screen through the harness (each window captured by itself), cut
        to the player's window when `crop`."""
        out = self.args.screenshot
        self.session.screenshot(out)
        if crop:
            r = self.app.window()["rect"]
            subprocess.run(["convert", out, "-crop", "%dx%d+%d+%d" % (r["width"], r["height"], r["left"], r["top"]),
                            "+repage", out], check=True)

    def fallback_shot(self):
        if self.shot_taken:
            return
        try:
            self.shot(crop=False)
            self.say("screenshot of the moment it failed: %s" % self.args.screenshot)
        except Exception as e:
            self.say("no screenshot either: %s" % e)

    def play_through(self, samples):
        app = self.app
        self.say("starting %s in %s" % (harness.PROGRAM, self.args.player_dir))
        app.start(wait_window=False)
        end = time.monotonic() + 60
        while True:
            self.answer_boxes()
            try:
                app.find_main(timeout=500)
                break
            except harness.DriverError as e:
                if not app.proc.running() or time.monotonic() > end:
                    raise DemoFailed("no main window: %s" % e)
        self.status_changed("window shown")

        rep = app.drop(samples)
        if not rep.get("accepted"):
            raise DemoFailed("the window did not take the drop: %r" % rep)
        want = [winpath(s) for s in samples]
        self.wait(lambda: app.memo()["lines"] == want, 20, "the three tracks in the list")
        self.say("dropped %d tracks, list shows %s" % (len(samples), app.text("Label13")))
        self.answer_boxes()
        self.status_changed()
        self.entry_changed()

        app.click("Button1", how="mouse")
        self.say("clicked %s" % app.control("Button1")["text"])

        total = 11 + 14 + 6
        deadline = time.monotonic() + total * 3 + 30
        seen = []
        prev_bars = None
        while True:
            if not app.proc.running():
                raise DemoFailed("the player ended by itself (exit %s)" % app.proc.popen.poll())
            self.answer_boxes()
            st = self.status_changed()
            path, title = self.entry_changed()
            if path and path not in seen:
                seen.append(path)
            if not self.shot_taken and path == want[0] and st == PLAYING_TEXT:
                elapsed = app.text("Label6")
                if elapsed in ("%d秒" % SHOT_SECOND, "%d秒" % (SHOT_SECOND + 1)):
                    # Moving bars: two readings a poll apart differ.
                    bars = self.bars()
                    if any(bars) and prev_bars is not None and bars != prev_bars:
                        self.shot(crop=True)
                        self.shot_taken = True
                        self.say("screenshot at %s of %s, spectrum bars L %s R %s" % (
                            elapsed, title, bars[:4], bars[4:]))
                    prev_bars = bars
            if st == END_TEXT and seen == want and not path:
                break
            if st == END_TEXT and seen and not path and seen != want:
                raise DemoFailed("playback ended after %d of %d entries" % (len(seen), len(want)))
            if time.monotonic() > deadline:
                raise DemoFailed("the list did not end in time (status %r)" % st)
            time.sleep(0.1)
        self.say("the list has ended")
        if not self.shot_taken:
            raise DemoFailed("no moment with the first track at second %d and the spectrum moving" % SHOT_SECOND)

        app.command("Exit1")
        self.say("chose 終了 (Exit) in the menu")
        try:
            code = app.proc.wait(30)
        except AssertionError as e:
            raise DemoFailed(str(e))
        self.say("the player has ended, exit code %d" % code)
        if code != 0:
            raise DemoFailed("exit code %d" % code)
        print("screenshot: %s" % os.path.abspath(self.args.screenshot), flush=True)
        return 0

    def answer_boxes(self):
        """A message box of the player is printed and answered, and fails the demo."""
        boxes = self.app.boxes()
        for b in boxes:
            self.say("message box: %s" % b.get("text"))
        if boxes:
            self.fallback_shot()
            for b in boxes:
                self.app.press(b)
            raise DemoFailed("the player showed a message box")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--build", required=True, help="the win64 build folder (for the driver, <build>/e2e/vdrv.exe)")
    ap.add_argument("--player-dir", required=True, help="folder holding vantrel_mp3.exe and vbmp3.dll")
    ap.add_argument("--screenshot", required=True, help="PNG to write")
    args = ap.parse_args()
    os.makedirs(os.path.dirname(os.path.abspath(args.screenshot)), exist_ok=True)

    def stop(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, stop)
    try:
        return Demo(args).run()
    except KeyboardInterrupt:
        print("demo: interrupted", file=sys.stderr)
        return 130


if __name__ == "__main__":
    sys.exit(main())
