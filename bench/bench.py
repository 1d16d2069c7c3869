#!/usr/bin/python3
"""Whole-program benchmarks of the 64-bit build under Wine, all figures from one run:

    /usr/bin/python3 bench/bench.py <win64-build-dir> [--runs N] [--idle S] [--list N] [only...]

    startup  start to the main window shown with the platform in its status line,
             the player against e2e/vtwin.exe (a small Win32 window) started the same way
    idle     CPU of the player's process over S seconds with nothing to do
    play     CPU while playing a 30 s track with the spectrum on (seconds 2 to 22)
    memory   memory after playing an N-entry list of short tracks (entry 10 against entry N),
             against the yardstick's memory measured the same way

Uses the e2e harness (its own Xvfb, a Wine prefix <build>/wineprefix-bench unless
VANTREL_E2E_PREFIX is set, one persistent wineserver, the driver) and the real vbmp3.dll.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "e2e"))
sys.path.insert(0, HERE)

import harness  # noqa: E402
from harness import winpath, wait_for  # noqa: E402
import wineproc  # noqa: E402

PLATFORM_PREFIXES = ("Windows", "Microsoft")   # what the player's status line starts with once it has identified the platform
YARDSTICK_STATUS = "準備完了"                   # vtwin.exe's status line after its WM_CREATE


def out(key, value, note=""):
    print("%-34s %s%s" % (key, value, ("   " + note) if note else ""), flush=True)


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


class Bench:
    def __init__(self, build, args):
        self.build = os.path.abspath(build)
        self.args = args
        self.s = harness.Session(self.build)
        self.d = self.s.driver
        self.work = tempfile.mkdtemp(prefix="bench-", dir=self.s.tmp_root)
        self.player = harness.App(dll="real", sess=self.s)
        self.yard = harness.App(dll=None, exe=os.path.join(self.build, "e2e", "vtwin.exe"), sess=self.s,
                                folder_name="yardstick")
        self.handles = wineproc.HandleCounter(self.build, self.s.env, self.s.tmp_root)

    def close(self):
        self.handles.close()
        for a in (self.player, self.yard):
            a.close()
        self.s.close()

    # ---- start-up

    def one_start(self, app, ready):
        """Seconds from the process's start until its TForm1 window is visible and
        the status line satisfies ready(text). Both programs are started as
        `wine64 <exe>` from their own folder and asked the same questions."""
        t0 = time.monotonic()
        p = subprocess.Popen([harness.WINE64, app.exe], cwd=app.folder, env=self.s.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        hwnd = None
        end = t0 + 60
        while time.monotonic() < end:
            if hwnd is None:
                ans = self.d.cmd("find", check=False, **{"class": "TForm1", "timeout": 0, "visible": 1})
                if ans.get("ok"):
                    hwnd = ans["window"]["hwnd"]
            if hwnd is not None:
                ans = self.d.cmd("status", check=False, hwnd=hwnd)
                if ans.get("ok") and ready(ans.get("text", "")):
                    t1 = time.monotonic()
                    break
            time.sleep(0.005)
        else:
            p.kill()
            p.wait()
            raise AssertionError("%s: no window with its status line in 60 s" % app.exe)
        self.d.cmd("close", hwnd=hwnd)
        try:
            code = p.wait(30)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
            raise AssertionError("%s did not end after WM_CLOSE" % app.exe)
        if code != 0:
            raise AssertionError("%s ended with %d" % (app.exe, code))
        return t1 - t0

    def startup(self):
        runs = self.args.runs
        player_ready = lambda t: t.startswith(PLATFORM_PREFIXES)
        yard_ready = lambda t: t == YARDSTICK_STATUS
        # One start each first, not counted: the files come into the page cache.
        # The player with the stand-in decoder too: what the real library's
        # loading and vbmp3_init (sound output, the codec) add to the start.
        fake = harness.App(dll="fake", sess=self.s, folder_name="fake")
        self.one_start(self.player, player_ready)
        self.one_start(self.yard, yard_ready)
        self.one_start(fake, player_ready)
        p, y, f = [], [], []
        for _ in range(runs):   # interleaved, so a change of load touches all
            p.append(self.one_start(self.player, player_ready))
            y.append(self.one_start(self.yard, yard_ready))
            f.append(self.one_start(fake, player_ready))
        fake.close()
        mp, my = statistics.median(p), statistics.median(y)
        out("startup_player_standin_decoder_ms", "%.0f" % (statistics.median(f) * 1000),
            "median of %d: %s" % (runs, " ".join("%.0f" % (v * 1000) for v in f)))
        out("startup_player_ms", "%.0f" % (mp * 1000), "median of %d: %s" % (runs, " ".join("%.0f" % (v * 1000) for v in p)))
        out("startup_yardstick_ms", "%.0f" % (my * 1000), "vtwin.exe, median of %d: %s" % (runs, " ".join("%.0f" % (v * 1000) for v in y)))
        out("ratio_startup_player_vs_yardstick", "%.2f" % (mp / my), "goal <= 1.5")

    # ---- CPU

    def cpu_over(self, app, seconds):
        """CPU seconds of the program's process (and of the prefix's wineserver)
        over `seconds`, with nobody asking it anything meanwhile."""
        pid = app.proc.popen.pid
        ws = wineproc.wineserver_pids(self.s.prefix)
        c0, w0, t0 = wineproc.cpu_seconds(pid), sum(wineproc.cpu_seconds(w) for w in ws), time.monotonic()
        time.sleep(seconds)
        c1, w1, t1 = wineproc.cpu_seconds(pid), sum(wineproc.cpu_seconds(w) for w in ws), time.monotonic()
        return c1 - c0, w1 - w0, t1 - t0

    def idle(self):
        secs = self.args.idle
        for name, app in (("player", self.player), ("yardstick", self.yard)):
            app.start()
            app.barrier()
            time.sleep(2)     # the start's last paints and Wine's own settling
            cpu, ws, wall = self.cpu_over(app, secs)
            out("idle_cpu_%s_ms" % name, "%.0f" % (cpu * 1000),
                "over %.0f s = %.3f %% of a core (tick %d ms); wineserver meanwhile %.0f ms" % (
                    wall, 100 * cpu / wall, 1000 // wineproc.CLK_TCK, ws * 1000))
            app.command("Exit1")
            app.proc.wait(30)

    def play(self):
        track = wineproc.make_track(os.path.join(self.work, "long30.mp3"), 30, title="三十秒")
        figures = {}
        # With the spectrum on as the program runs it, then once more with the
        # spectrum switched off from the menu at second 2: the difference is
        # what the spectrum display costs.
        # A third run with the stand-in decoder (whose spectrum is a cheap
        # table) leaves the program's own share: the monitor and the bars.
        fake = harness.App(dll="fake", fake_ini="seconds=30\n", sess=self.s, folder_name="fake")
        for spectrum, a in ((True, self.player), (False, self.player), ("fake", fake)):
            a.start()
            rep = a.drop([track])
            assert rep["accepted"], rep
            wait_for(lambda: a.text("Edit6") == winpath(track), 20, what="the track loaded")
            a.click("Button1")
            wait_for(lambda: a.text("Label6") == "2秒", 20, 0.05, "second 2")
            if not spectrum:
                a.command("OFFF1")
                a.barrier()
            pid = a.proc.popen.pid
            th0 = wineproc.thread_cpu(pid)
            cpu, ws, wall = self.cpu_over(a, 20)
            th1 = wineproc.thread_cpu(pid)
            at = a.text("Label6")
            time.sleep(0.3)
            bars = [a.control("ProgressBar%d" % n)["pos"] for n in range(1, 9)]
            time.sleep(0.3)
            bars2 = [a.control("ProgressBar%d" % n)["pos"] for n in range(1, 9)]
            assert a.status() == "再生中", a.status()
            assert (bars != bars2) == bool(spectrum), (spectrum, bars, bars2)
            busy = sorted(((th1[k] - th0.get(k, 0), k) for k in th1), reverse=True)[:4]
            figures[spectrum] = 100 * cpu / wall
            key = {True: "play_cpu_percent_of_core", False: "play_cpu_percent_spectrum_off",
                   "fake": "play_cpu_percent_standin_decoder"}[spectrum]
            out(key, "%.2f" % (100 * cpu / wall),
                ("goal < 2; " if spectrum else "") + "%.0f ms over %.1f s (second 2 to %s%s); wineserver meanwhile %.2f %%; "
                "busiest threads: %s" % (cpu * 1000, wall, at, ", spectrum on until %s" % a.text("Label23") if spectrum else ", spectrum off",
                                         100 * ws / wall, ", ".join("%s %.0f ms" % (k, v * 1000) for v, k in busy)))
            a.command("Exit1")
            a.proc.wait(30)
        fake.close()
        out("play_cpu_percent_spectrum_share", "%.2f" % (figures[True] - figures[False]), "on minus off")

    # ---- memory

    def memory(self):
        n = self.args.list
        paths = wineproc.make_list(os.path.join(self.work, "list"), n)
        # The yardstick, measured the same way: started, idle for a moment.
        y = self.yard
        y.start()
        y.barrier()
        time.sleep(2)
        ym = wineproc.memory(y.proc.popen.pid)
        yh = self.handles.count(y.proc.winpid)
        ymk = wineproc.memory_by_kind(y.proc.popen.pid, y.folder)
        y.command("Exit1")
        y.proc.wait(30)

        a = self.player
        a.start()
        a.barrier()
        time.sleep(2)
        m0 = wineproc.memory(a.proc.popen.pid)
        h0 = self.handles.count(a.proc.winpid)
        rep = a.drop(paths)
        assert rep["accepted"], rep
        wait_for(lambda: len(a.memo()["lines"]) == n, 30, what="the list")
        samples = {}

        def on_entry(i, path):
            samples[i + 1] = (wineproc.memory(a.proc.popen.pid), wineproc.fd_count(a.proc.popen.pid),
                              self.handles.count(a.proc.winpid))
        t0 = time.monotonic()
        a.click("Button1")
        seen, boxes = wineproc.follow_list(a, paths, on_entry)
        took = time.monotonic() - t0
        assert not boxes, boxes
        assert seen == [winpath(p) for p in paths], "entries seen: %d of %d" % (len(seen), n)
        time.sleep(1)
        mend = wineproc.memory(a.proc.popen.pid)
        hend = self.handles.count(a.proc.winpid)
        fend = wineproc.fd_count(a.proc.popen.pid)
        m10, m100 = samples[10][0], samples[n][0]
        k = lambda m: "%.2f" % wineproc.mib(m["Private_Dirty"])
        out("memory_list_entries", n, "played in %.0f s" % took)
        out("memory_private_mib_started", k(m0), "player started, nothing played (VmRSS %.2f MiB)" % wineproc.mib(m0["VmRSS"]))
        out("memory_private_mib_entry10", k(m10), "VmRSS %.2f MiB" % wineproc.mib(m10["VmRSS"]))
        out("memory_private_mib_entry%d" % n, k(m100), "VmRSS %.2f MiB" % wineproc.mib(m100["VmRSS"]))
        out("memory_private_mib_after_end", k(mend), "goal < 16; Private_Dirty; with Private_Clean %.2f MiB, anonymous %.2f MiB, VmRSS %.2f MiB" % (
            wineproc.mib(mend["Private"]), wineproc.mib(mend["Anonymous"]), wineproc.mib(mend["VmRSS"])))
        out("memory_private_growth_kib_entry10_to_%d" % n, "%+d" % (m100["Private_Dirty"] - m10["Private_Dirty"]),
            "goal 0 (anonymous %+d KiB, VmRSS %+d KiB)" % (m100["Anonymous"] - m10["Anonymous"], m100["VmRSS"] - m10["VmRSS"]))
        xs = sorted(i for i in samples if i >= 10)
        slope = _slope(xs, [samples[i][0]["Private_Dirty"] for i in xs])
        out("memory_private_slope_kib_per_entry", "%.2f" % slope, "least squares over entries 10..%d" % n)
        out("memory_private_mib_yardstick", k(ym), "vtwin.exe started and idle (VmRSS %.2f MiB): what Wine gives any window program" % wineproc.mib(ym["VmRSS"]))
        out("memory_private_mib_player_above_yardstick", "%.2f" % wineproc.mib(mend["Private_Dirty"] - ym["Private_Dirty"]))
        pk, yk = wineproc.memory_by_kind(a.proc.popen.pid, a.folder), ymk
        out("memory_private_by_kind_mib", "  ".join("%s %.2f" % (k, wineproc.mib(v)) for k, v in pk.items()), "player after end")
        out("memory_private_by_kind_mib_yard", "  ".join("%s %.2f" % (k, wineproc.mib(v)) for k, v in yk.items()), "yardstick")
        hs = {i: samples[i][2][0] for i in sorted(samples) if samples[i][2]}
        out("handles_player", "started %d, entry 1 %d, entry 10 %d, entry %d %d, after end %d" % (
            h0[0], hs.get(1, -1), hs.get(10, -1), n, hs.get(n, -1), hend[0]),
            "yardstick %d; windows of the player after end %d (started %d)" % (yh[0], hend[1], h0[1]))
        out("fds_player", "entry 10 %d, entry %d %d, after end %d" % (samples[10][1], n, samples[n][1], fend))
        a.command("Exit1")
        a.proc.wait(30)


def _slope(xs, ys):
    mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
    den = sum((x - mx) ** 2 for x in xs)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / den if den else 0.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--idle", type=float, default=20)
    ap.add_argument("--list", type=int, default=100)
    ap.add_argument("only", nargs="*", help="startup, idle, play, memory (default: all)")
    args = ap.parse_intermixed_args()
    bad = [w for w in args.only if w not in ("startup", "idle", "play", "memory")]
    if bad:
        ap.error("unknown part %s" % " ".join(bad))
    build = os.path.abspath(args.build)
    for f in ("bin/vantrel_mp3.exe", "bin/vbmp3.dll", "e2e/vdrv.exe", "e2e/vtwin.exe"):
        if not os.path.exists(os.path.join(build, f)):
            print("bench: missing %s/%s (build the win64 tree first)" % (build, f), file=sys.stderr)
            return 2
    os.environ.setdefault("VANTREL_E2E_PREFIX", os.path.join(build, "wineprefix-bench"))
    out("load_before", loadavg(), "(1, 5, 15 min; %d cores)" % os.cpu_count())
    b = Bench(build, args)
    try:
        for part in ("startup", "idle", "play", "memory"):
            if not args.only or part in args.only:
                getattr(b, part)()
    finally:
        b.close()
    out("load_after", loadavg())
    return 0


if __name__ == "__main__":
    sys.exit(main())
