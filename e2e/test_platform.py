"""The platform's name in the status line, the click that blanks the line, and
the shutdown of Windows when playback ends, under Wine."""
import os
import re
import shutil
import subprocess
import tempfile
import time

import harness
from harness import E2ETest, WINE64

WINE_KEY = "HKCU\\Software\\Wine"

# Wine's Windows version setting → the status line at start.
VERSIONS = [
    ("win31", "Windows3.1"),
    ("win95", "Microsoft Windows95"),
    ("win98", "Windows 98 Second Edition"),   # Wine reports the second edition's build
    ("winme", "Windows Millennium Edition"),
    ("nt40", "WindowsNT 4.0"),
    ("win2k", "Microsoft Windows 2000"),
    ("winxp", "Microsoft Windows XP"),
    ("win2003", "Microsoft Windows XP"),      # NT 5.2
    ("win7", "WindowsNT 6.1"),
    ("win10", "WindowsNT 10.0"),              # the manifest keeps Windows from reporting 6.2
]
PLATFORM_NAMES = {name for _, name in VERSIONS}

SHUTDOWN_BOX = "CheckBox1"
EXIT2 = 402
FREE_POINT = (590, 60)   # client point away from every control and outside the spectrum's frame


def reg(env, *args):
    return subprocess.run([WINE64, "reg"] + list(args), env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          timeout=120)


def windows_version(env):
    """The prefix's Windows version setting, or None when it has none."""
    r = reg(env, "query", WINE_KEY, "/v", "Version")
    m = re.search(r"Version\s+REG_SZ\s+(\S+)", r.stdout.decode("cp932", "replace"))
    return m.group(1) if r.returncode == 0 and m else None


def set_windows_version(env, value):
    if value is None:
        r = reg(env, "delete", WINE_KEY, "/v", "Version", "/f")
    else:
        r = reg(env, "add", WINE_KEY, "/v", "Version", "/d", value, "/f")
    if r.returncode != 0 and value is not None:
        raise AssertionError("reg add Version=%s failed" % value)


def track(a, name):
    path = os.path.join(a.dir, name)
    with open(path, "wb") as f:
        f.write(b"\xff\xfb\x90\x00" + b"\x00" * 413)
    return path


def exit2_enabled(a):
    for popup in a.menus()["items"]:
        for item in popup.get("items", []):
            if item["id"] == EXIT2:
                return item["enabled"]
    raise AssertionError("no menu item %d" % EXIT2)


class PlatformNameTest(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()

    def test_status_line_names_each_windows_version(self):
        saved = windows_version(self.s.env)
        try:
            for version, name in VERSIONS:
                with self.subTest(version):
                    set_windows_version(self.s.env, version)
                    a = self.app(dll="fake")
                    self.wait(lambda: a.status(), 10, "a status text")
                    self.assertEqual(a.status(), name)
                    a.command("Exit1")
                    self.assertEqual(a.proc.wait(), 0)
        finally:
            set_windows_version(self.s.env, saved)
        self.assertEqual(windows_version(self.s.env), saved, "the prefix's setting restored")


class StatusLineTest(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()

    def test_click_on_the_free_area_blanks_the_status_line(self):
        a = self.app(dll="fake")
        start = self.wait(lambda: a.status(), 10, "the platform's name")
        c = a.controls()
        label = c["Label1"]["rect"]
        # Clicks that must leave the line alone: a label, the spectrum's frame.
        for what, (x, y) in [("Label1", (label["left"] + label["width"] // 2, label["top"] + label["height"] // 2)),
                             ("spectrum frame", (580, 300))]:
            with self.subTest(what):
                a.mouse(x, y)
                a.barrier()
                self.assertEqual(a.status(), start)
        a.mouse(*FREE_POINT)
        self.wait(lambda: a.status() == " ", 10, lambda: "a blank status line (has %r)" % a.status())


class ThrowAwaySession(harness.Session):
    """A session of its own on a copy of the test prefix, with its own Xvfb,
    wineserver and driver: a Windows shutdown there ends nothing else."""

    def __init__(self, build, source_prefix):
        self.copy = tempfile.mkdtemp(prefix="wineprefix-shutdown-", dir=build)
        os.rmdir(self.copy)
        subprocess.run(["cp", "-a", "--reflink=auto", source_prefix, self.copy], check=True, timeout=300)
        saved = os.environ.get("VANTREL_E2E_PREFIX")
        os.environ["VANTREL_E2E_PREFIX"] = self.copy
        try:
            super().__init__(build)
        except BaseException:
            shutil.rmtree(self.copy, ignore_errors=True)
            raise
        finally:
            if saved is None:
                del os.environ["VANTREL_E2E_PREFIX"]
            else:
                os.environ["VANTREL_E2E_PREFIX"] = saved

    def close(self):
        try:
            super().close()
        finally:
            shutil.rmtree(self.copy, ignore_errors=True)


class ShutdownTest(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()
        self.own = None

    def tearDown(self):
        super().tearDown()
        if self.own:
            self.own.close()

    def evidence_session(self):
        return self.own or self.s

    def test_check_box_arms_the_end_of_playback_with_shutdown(self):
        a = self.app(dll="fake")
        self.assertFalse(exit2_enabled(a))
        for checked in (1, 0, 1):
            a.click(SHUTDOWN_BOX, how="mouse")
            self.wait(lambda: a.control(SHUTDOWN_BOX)["check"] == checked, 10, "the box %s" % ("checked" if checked else "clear"))
            a.barrier()
            self.assertEqual(exit2_enabled(a), bool(checked))

    def test_list_played_to_its_end_shuts_the_wine_session_down(self):
        self.own = ThrowAwaySession(self.s.build, self.s.prefix)
        # The copy may carry whatever version setting was saved last; each case sets its own.
        for version, family, count in [("win7", "NT", 2), ("win98", "95", 1)]:
            with self.subTest(family):
                set_windows_version(self.own.env, version)
                a = harness.App(dll="fake", fake_ini="seconds=2\n", sess=self.own)
                self._apps.append(a)
                a.start()
                self.assertEqual(a.status(), dict(VERSIONS)[version])
                tracks = [track(a, "track%d.mp3" % n) for n in range(count)]
                self.assertTrue(a.drop(tracks, 500, 50)["accepted"])
                self.wait(lambda: len(a.memo()["lines"]) == count, 15, "the list")
                a.click(SHUTDOWN_BOX, how="mouse")
                self.wait(lambda: a.control(SHUTDOWN_BOX)["check"] == 1, 10, "the box checked")
                a.click("Button1")
                # Wine's ExitWindowsEx runs wineboot --end-session --shutdown, which
                # asks every window to end its session.
                seen = set()
                end = time.monotonic() + 30
                while a.proc.running() and time.monotonic() < end:
                    seen.update(p["exe"].lower() for p in self.own.driver.cmd("procs")["procs"])
                    time.sleep(0.02)
                self.assertEqual(a.proc.wait(5), 0)
                self.assertIn("wineboot.exe", seen, "the shutdown went through Wine's wineboot")
                calls = a.calls()
                plays = [n for n, c in enumerate(calls) if c == "vbmp3_play()"]
                self.assertEqual(len(plays), count, calls)
                self.assertEqual(calls[-1], "vbmp3_free()", "the close sequence ran last")
                self.assertEqual(calls.count("vbmp3_free()"), 1)
                with open(os.path.join(a.folder, "vantrel_mp3.ini"), "rb") as f:
                    text = f.read().decode("cp932")
                self.assertEqual([line.split("=")[0] for line in text.splitlines()], ["[Sect1]", "y", "x", "TR", "FC", "BC"])
                self.assertTrue(self.own.driver.alive(), "the driver (a console program) outlives the shutdown")
