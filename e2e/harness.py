"""Runs the Windows build under Wine on a private X display and drives it from outside.

One Session per test run: one Xvfb, one Wine prefix (under the build folder),
one persistent wineserver and one vdrv.exe driver. Each test gets an App: a
fresh folder with a copy of the program and the chosen vbmp3.dll, the program
started in it as its own Linux process (so its exit code is the Windows one).
"""
import atexit
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
WINE64 = "/usr/lib/wine/wine64"

PROGRAM = "vantrel_mp3.exe"


class DriverError(RuntimeError):
    pass


def wait_for(cond, timeout=15.0, interval=0.1, what="condition"):
    """Calls cond() until it returns something truthy; returns that value or raises AssertionError.
    `what` names the condition in the failure message; a callable is asked at that moment."""
    end = time.monotonic() + timeout
    last_exc = None
    while True:
        try:
            v = cond()
            if v:
                return v
        except DriverError as e:
            last_exc = e
        if time.monotonic() >= end:
            if callable(what):
                try:
                    what = what()
                except Exception as e:
                    what = "condition (%s)" % e
            raise AssertionError("timed out after %.0f s waiting for %s%s" % (
                timeout, what, (" (last error: %s)" % last_exc) if last_exc else ""))
        time.sleep(interval)


def winpath(path):
    """The Windows (Z:) path of a Linux path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _quote(v):
    s = str(v)
    if s and not any(c in s for c in ' \t"\\') :
        return s
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Driver:
    """One vdrv.exe process; cmd() sends a command line and returns the parsed JSON answer."""

    def __init__(self, session):
        self.session = session
        exe = os.path.join(session.build, "e2e", "vdrv.exe")
        self.proc = subprocess.Popen([WINE64, exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, env=session.env, cwd=session.tmp_root)
        self.lock = threading.Lock()
        ready = self._readline(60)
        if not ready.get("ok"):
            raise DriverError("driver did not start: %r" % ready)

    def _readline(self, timeout):
        result = {}

        def rd():
            result["line"] = self.proc.stdout.readline()

        t = threading.Thread(target=rd, daemon=True)
        t.start()
        t.join(timeout)
        if t.is_alive():
            raise DriverError("driver did not answer within %s s" % timeout)
        line = result.get("line", b"")
        if not line:
            raise DriverError("driver ended (exit %s)" % self.proc.poll())
        return json.loads(line.decode("utf-8"))

    def cmd(self, verb, check=True, _wait=60, **kw):
        line = verb + "".join(" %s=%s" % (k, _quote(v)) for k, v in kw.items() if v is not None) + "\n"
        with self.lock:
            self.proc.stdin.write(line.encode("utf-8"))
            self.proc.stdin.flush()
            ans = self._readline(_wait)
        if check and not ans.get("ok"):
            raise DriverError("%s: %s" % (line.strip(), ans.get("error", ans)))
        return ans

    def alive(self):
        return self.proc.poll() is None

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
                self.proc.wait(5)
            except Exception:
                self.proc.kill()
                self.proc.wait()


class Session:
    """The display, the Wine prefix, the wineserver and the driver shared by all tests of a run."""

    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.prefix = os.environ.get("VANTREL_E2E_PREFIX", os.path.join(self.build, "wineprefix-e2e"))
        self.tmp_root = tempfile.mkdtemp(prefix="vte2e-")
        self.xvfb = None
        self.driver = None
        self.display = None
        self._start_xvfb()
        self.env = self._wine_env()
        # Whatever an earlier, interrupted run left in this prefix goes first:
        # a program still running there would hold the single-instance guard.
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._unmanaged_windows()
        # A persistent wineserver keeps program starts short.
        self.wineserver = subprocess.Popen(["wineserver", "-p", "-f"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.driver = Driver(self)

    def _start_xvfb(self):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        num = b""
        end = time.monotonic() + 30
        while not num.endswith(b"\n") and time.monotonic() < end:
            chunk = os.read(r, 16)
            if not chunk:
                break
            num += chunk
        os.close(r)
        if not num.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + num.decode().strip()

    def _wine_env(self):
        """The environment scripts/wine-env.sh sets up (it also creates the prefix on first use)."""
        base = dict(os.environ)
        base.pop("VANTREL_XVFB", None)
        base["DISPLAY"] = self.display
        base["VANTREL_WINEPREFIX"] = self.prefix
        out = subprocess.run(["bash", "-c", '. "$1" >/dev/null 2>&1 && env -0', "wine-env", os.path.join(REPO, "scripts", "wine-env.sh")],
                             env=base, stdout=subprocess.PIPE, check=True, timeout=300).stdout
        env = {}
        for item in out.split(b"\0"):
            if b"=" in item:
                k, v = item.split(b"=", 1)
                env[k.decode()] = v.decode("utf-8", "replace")
        env["DISPLAY"] = self.display
        return env

    def _unmanaged_windows(self):
        """No window manager runs on the virtual display, so Wine is told not to
        wait for one: otherwise every window it hides waits 2 s for a WM_STATE
        change that never comes. Wine then draws the whole frame itself."""
        mark = os.path.join(self.prefix, ".vantrel-e2e-unmanaged")
        if os.path.exists(mark):
            return
        subprocess.run([WINE64, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                       env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=120)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)
        open(mark, "w").close()

    def screenshot(self, path):
        """The screen as a PNG. Under Xvfb a capture of the root shows Wine's
        second and later top-level windows (message boxes, the About box) black,
        so each viewable top-level window is captured by itself and laid over
        the root capture in stacking order."""
        from Xlib import X, display as xdisplay
        tmp = tempfile.mkdtemp(prefix="shot-", dir=self.tmp_root)
        try:
            root_png = os.path.join(tmp, "root.png")
            subprocess.run("xwd -root -silent -display %s | convert xwd:- '%s'" % (self.display, root_png), shell=True,
                           check=True, env=self.env)
            layers = []
            d = xdisplay.Display(self.display)
            try:
                for k in d.screen().root.query_tree().children:  # bottom to top
                    try:
                        attrs = k.get_attributes()
                        g = k.get_geometry()
                    except Exception:
                        continue
                    if attrs.map_state != X.IsViewable or g.width < 8 or g.height < 8:
                        continue
                    png = os.path.join(tmp, "w%d.png" % len(layers))
                    r = subprocess.run("xwd -silent -id %d -display %s | convert xwd:- '%s'" % (k.id, self.display, png),
                                       shell=True, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                    if r.returncode == 0 and os.path.exists(png):
                        layers.append((png, g.x, g.y))
            finally:
                d.close()
            cmd = ["convert", root_png]
            for png, x, y in layers:
                cmd += [png, "-geometry", "+%d+%d" % (x, y), "-composite"]
            subprocess.run(cmd + [path], check=True, env=self.env)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
        return path

    def close(self):
        if self.driver:
            self.driver.close()
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.wineserver.wait(10)
        except subprocess.TimeoutExpired:
            self.wineserver.kill()
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        shutil.rmtree(self.tmp_root, ignore_errors=True)


_session = None


def session():
    global _session
    if _session is None:
        build = os.environ.get("VANTREL_E2E_BUILD")
        if not build:
            raise RuntimeError("VANTREL_E2E_BUILD is not set (run e2e/run.sh <build dir>)")
        _session = Session(build)
    elif not _session.driver.alive():
        _session.driver = Driver(_session)
    return _session


def close_session():
    global _session
    if _session is not None:
        _session.close()
        _session = None


atexit.register(close_session)


LOG_LINE = re.compile(r"^@(\d+) pid=(\d+) (vbmp3_\w+)\((.*)\) = (\S+)(.*)$")


def _unquote(s):
    """A string quoted by the stand-in decoder's log ("..." with \\ and \")."""
    if len(s) < 2 or s[0] != '"' or s[-1] != '"':
        return s
    return re.sub(r'\\(.)', r'\1', s[1:-1])


class Proc:
    """One started Windows program: its Linux process (exit code) and its Windows pid."""

    def __init__(self, popen, winpid):
        self.popen = popen
        self.winpid = winpid

    def wait(self, timeout=20):
        """The exit code as the shell shows it (0..255)."""
        try:
            return self.popen.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("process %s did not end within %s s" % (self.winpid, timeout))

    def running(self):
        return self.popen.poll() is None


class App:
    """A fresh folder with the program and a decoder library, and the program running in it."""

    def __init__(self, dll="fake", exe=None, fake_ini=None, ini=None, folder_name="app", sess=None):
        self.s = sess or session()
        self.d = self.s.driver
        self.dir = tempfile.mkdtemp(prefix="t-", dir=self.s.tmp_root)
        self.folder = os.path.join(self.dir, folder_name)
        os.makedirs(self.folder)
        exe = exe or os.path.join(self.s.build, "bin", PROGRAM)
        self.exe = os.path.join(self.folder, os.path.basename(exe))
        shutil.copy2(exe, self.exe)
        if dll == "fake":
            shutil.copy2(os.path.join(self.s.build, "fakedll", "vbmp3.dll"), os.path.join(self.folder, "vbmp3.dll"))
        elif dll == "real":
            shutil.copy2(os.path.join(self.s.build, "bin", "vbmp3.dll"), os.path.join(self.folder, "vbmp3.dll"))
        elif dll is not None:
            shutil.copy2(dll, os.path.join(self.folder, "vbmp3.dll"))
        if fake_ini is not None:
            self.write_fake_ini(fake_ini)
        if ini is not None:
            with open(os.path.join(self.folder, "vantrel_mp3.ini"), "wb") as f:
                f.write(ini.encode("cp932") if isinstance(ini, str) else ini)
        self.procs = []
        self.main = None
        self.hwnd = None

    # ---- processes

    def _winpids(self):
        ans = self.d.cmd("procs", dir=winpath(self.folder) + "\\")
        return {p["pid"] for p in ans["procs"]}

    def launch(self, args=()):
        """Starts one more instance of the program in this folder; returns its Proc."""
        before = self._winpids()
        p = subprocess.Popen([WINE64, self.exe] + list(args), cwd=self.folder, env=self.s.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        def new_pid():
            if p.poll() is not None:
                return -1
            fresh = self._winpids() - before - {q.winpid for q in self.procs}
            return min(fresh) if fresh else None
        pid = wait_for(new_pid, 30, 0.05, "the program's Windows process")
        proc = Proc(p, pid if pid != -1 else None)
        if proc.winpid:
            self.d.cmd("watch", check=False, pid=proc.winpid)
        self.procs.append(proc)
        return proc

    def start(self, wait_window=True, args=()):
        proc = self.launch(args)
        self.proc = proc
        if wait_window:
            self.find_main()
        return self

    def find_main(self, timeout=30000):
        ans = self.d.cmd("find", **{"class": "TForm1", "pid": self.proc.winpid, "timeout": timeout})
        self.main = ans["window"]
        self.hwnd = self.main["hwnd"]
        return self.main

    def close(self):
        for p in self.procs:
            if p.popen.poll() is None:
                p.popen.kill()
                try:
                    p.popen.wait(10)
                except subprocess.TimeoutExpired:
                    pass
        try:
            for pid in self._winpids():
                self.d.cmd("kill", check=False, pid=pid)
        except Exception:
            pass
        shutil.rmtree(self.dir, ignore_errors=True)

    # ---- reading

    def cmd(self, verb, **kw):
        """A driver command aimed at this program's main window."""
        if self.hwnd is not None and "hwnd" not in kw:
            kw["hwnd"] = self.hwnd
        return self.d.cmd(verb, **kw)

    def window(self):
        return self.cmd("main")["window"]

    def controls(self):
        return {c["name"] or str(c["id"]): c for c in self.cmd("controls")["controls"]}

    def control(self, name):
        return self.cmd("control", name=name)["control"]

    def text(self, name):
        return self.cmd("text", name=name)["text"]

    def status(self):
        return self.cmd("status")["text"]

    def memo(self):
        return self.cmd("memo")

    def menus(self):
        return self.cmd("menus")["menu"]

    def boxes(self, all_processes=False):
        kw = {} if all_processes else {"pid": self.proc.winpid}
        return self.d.cmd("boxes", **kw)["boxes"]

    def wait_box(self, text=None, pid=None, timeout=20):
        pid = pid or self.proc.winpid

        def look():
            for b in self.d.cmd("boxes", pid=pid, icon=1)["boxes"]:
                if text is None or text in b["text"]:
                    return b
            return None
        return wait_for(look, timeout, 0.1, "a message box%s" % (" saying %r" % text if text else ""))

    def press(self, box, button=1):
        self.d.cmd("press", hwnd=box["hwnd"], button=button)

    # The common dialogs (GetOpenFileNameW, ChooseColorW) are #32770 windows too.
    FILE_NAME_ID = 1148   # the file name box of the Explorer-style open dialog
    RED_ID, GREEN_ID, BLUE_ID = 706, 707, 708

    def wait_dialog(self, control_id, timeout=20):
        """The first dialog of this program that has a control with `control_id`."""
        def look():
            for b in self.d.cmd("boxes", pid=self.proc.winpid)["boxes"]:
                ids = {k["id"] for k in self.d.cmd("children", hwnd=b["hwnd"])["controls"]}
                if control_id in ids:
                    return b
            return None
        return wait_for(look, timeout, 0.1, "a dialog with control %d" % control_id)

    def choose_file(self, path, timeout=20):
        """Answers the open-file dialog with `path` (a Linux path, or a Windows one if it has a colon)."""
        dlg = self.wait_dialog(self.FILE_NAME_ID, timeout)
        self.d.cmd("settext", hwnd=dlg["hwnd"], id=self.FILE_NAME_ID, text=path if ":" in path else winpath(path))
        self.d.cmd("press", hwnd=dlg["hwnd"], button=1)
        return dlg

    def choose_color(self, rgb, timeout=20):
        """Answers the colour dialog with (r, g, b)."""
        dlg = self.wait_dialog(self.RED_ID, timeout)
        for cid, v in zip((self.RED_ID, self.GREEN_ID, self.BLUE_ID), rgb):
            self.d.cmd("settext", hwnd=dlg["hwnd"], id=cid, text=str(v))
        self.d.cmd("press", hwnd=dlg["hwnd"], button=1)
        return dlg

    def cancel_dialog(self, control_id, timeout=20):
        dlg = self.wait_dialog(control_id, timeout)
        self.d.cmd("press", hwnd=dlg["hwnd"], button=2)
        return dlg

    def windows(self, cls, children=False):
        return self.d.cmd("windows", **{"class": cls, "pid": self.proc.winpid, "children": int(children)})["windows"]

    # ---- acting

    def barrier(self, timeout=15000):
        """Returns once the program's GUI thread has taken from its queue every
        message posted to it so far (commands, drops, posted clicks) and all
        pending input (keys, mouse)."""
        return self.cmd("barrier", timeout=timeout)

    def click(self, name, how="msg"):
        return self.cmd("click", name=name, how=how)

    def command(self, ident):
        if isinstance(ident, int):
            return self.cmd("command", id=ident)
        return self.cmd("command", name=ident)

    def mouse(self, x, y, name=None, how="input"):
        return self.cmd("mouse", x=x, y=y, name=name, how=how)

    def drag(self, x, y, x2, y2, name=None, steps=5):
        """A left-button drag by real input from (x, y) to (x2, y2), client points of the window or of a control."""
        return self.cmd("drag", x=x, y=y, x2=x2, y2=y2, name=name, steps=steps)

    def keys(self, name, keys, how="input"):
        return self.cmd("keys", name=name, keys=keys, how=how)

    def drop(self, paths, x=None, y=None, timeout=20):
        """Drops files at client point (x, y) of the main window (default: its centre). Returns xdnd.py's report."""
        w = self.window()
        if x is None:
            x, y = w["client_width"] // 2, w["client_height"] // 2
        rx, ry = w["client_left"] + x, w["client_top"] + y
        r = subprocess.run(["/usr/bin/python3", os.path.join(HERE, "xdnd.py"), "--name", w["caption"],
                            "--x", str(rx), "--y", str(ry), "--timeout", str(timeout)] + list(paths),
                           env=self.s.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout + 10)
        try:
            rep = json.loads(r.stdout.decode().strip().splitlines()[-1])
        except Exception:
            raise AssertionError("xdnd.py failed: %s %s" % (r.stdout, r.stderr))
        rep["exit"] = r.returncode
        return rep

    # ---- the stand-in decoder

    def write_fake_ini(self, text):
        with open(os.path.join(self.folder, "vbmp3_fake.ini"), "w", encoding="utf-8") as f:
            f.write(text)

    def fake_log(self):
        """Calls logged by the stand-in decoder: dicts with t, pid, fn, args, result, extra."""
        path = os.path.join(self.folder, "vbmp3_fake.log")
        if not os.path.exists(path):
            return []
        out = []
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = LOG_LINE.match(line.rstrip("\r\n"))
                if m:
                    e = {"t": int(m.group(1)), "pid": int(m.group(2)), "fn": m.group(3), "args": m.group(4),
                         "result": m.group(5), "extra": m.group(6).strip()}
                    if e["fn"] == "vbmp3_open":
                        e["path"] = _unquote(e["args"].rsplit(", null", 1)[0])
                    out.append(e)
        return out

    def calls(self, skip_polls=True):
        """Names and arguments of the logged calls, e.g. 'vbmp3_setVolume(50,50)'."""
        polls = ("vbmp3_getState", "vbmp3_getSpectrum")
        return ["%s(%s)" % (e["fn"], e["args"]) for e in self.fake_log() if not (skip_polls and e["fn"] in polls)]


class E2ETest(unittest.TestCase):
    """Base of the end-to-end tests: self.app() makes a program run that is cleaned up after the test."""

    def setUp(self):
        self.s = session()
        self._apps = []

    def tearDown(self):
        for a in self._apps:
            a.close()
        if not self.s.driver.alive():
            self.s.driver = Driver(self.s)

    def artifacts_dir(self):
        """<build>/e2e-artifacts (or $VANTREL_E2E_ARTIFACTS), made if missing."""
        out = os.environ.get("VANTREL_E2E_ARTIFACTS", os.path.join(self.s.build, "e2e-artifacts"))
        os.makedirs(out, exist_ok=True)
        return out

    def evidence_session(self):
        """The session whose display a failing test's screenshot shows."""
        return self.s

    def keep_evidence(self):
        """Called by the runner when the test fails (before tearDown): a screenshot
        and the stand-in decoder's logs go to <build>/e2e-artifacts."""
        try:
            out = self.artifacts_dir()
            name = self.id().split(".", 1)[-1]
            self.evidence_session().screenshot(os.path.join(out, name + ".png"))
            for n, a in enumerate(self._apps):
                log = os.path.join(a.folder, "vbmp3_fake.log")
                if os.path.exists(log):
                    shutil.copy2(log, os.path.join(out, "%s.%d.vbmp3_fake.log" % (name, n)))
        except Exception as e:
            print("could not keep evidence: %s" % e, file=sys.stderr)

    def app(self, start=True, **kw):
        a = App(sess=self.s, **kw)
        self._apps.append(a)
        if start:
            a.start()
        return a

    def program_path(self):
        p = os.path.join(self.s.build, "bin", PROGRAM)
        if not os.path.exists(p):
            if os.environ.get("VANTREL_E2E_ALLOW_MISSING") == "1":
                self.skipTest("%s is not built" % p)
            self.fail("%s is not built" % p)
        return p

    def wait(self, cond, timeout=15, what="condition", interval=0.1):
        return wait_for(cond, timeout, interval, what)
