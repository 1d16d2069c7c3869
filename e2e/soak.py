#!/usr/bin/python3
"""Soak test of the 64-bit build under Wine with the real vbmp3.dll:

    /usr/bin/python3 e2e/soak.py <win64-build-dir> [--entries 100]

1. A list of short tracks (a few files copied under --entries names) is dropped
   and played through: the file-name field (Edit6) shows every entry's path in
   turn, the status line says playback has ended after the last, and the
   process's handle count and private memory stay flat from entry 10 on.
2. For each kind of bad entry in the middle of a list (a folder, a picture
   renamed .mp3, a truncated MP3, a missing file): a truncated MP3 plays what
   it has and the list goes on; the others end playback at that entry with the
   open failure box, then the play failure box, then Stop; the boxes are
   answered, nothing crashes, and a new drop plays afterwards.

Runs on its own Xvfb with the Wine prefix <build>/wineprefix-soak (unless
VANTREL_E2E_PREFIX is set). Prints what it saw; exit code 0 when all held.
e2e/test_soak_short.py runs the same with 10 entries in the e2e run.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(REPO, "bench"))

import harness  # noqa: E402
from harness import winpath, wait_for  # noqa: E402
import wineproc  # noqa: E402

OPEN_FAILED = "ファイルのオープンに失敗しました"
PLAY_FAILED = "MP3の再生に失敗しました、ファイルが見つからないかMP3ファイルではありません"
ENDED = wineproc.END_TEXT
PLAYING = "再生中"

# Flatness of a long list: what may come and go between the reference entry
# and the last without being a leak. A leak of one handle per track, or of a
# track's decoding buffers, goes far past these over 90 tracks.
HANDLE_SLACK = 3
MEMORY_SLACK_KIB = 1536


class Soak:
    def __init__(self, app, handles, work, log=print):
        self.a = app
        self.handles = handles
        self.work = work
        self.log = log
        self.pid = app.proc.popen.pid

    # ---- helpers

    def drop_list(self, paths):
        rep = self.a.drop(paths)
        assert rep["accepted"] and rep["finished"], "the window did not take the drop: %r" % rep
        want = [winpath(p) for p in paths]
        wait_for(lambda: self.a.memo()["lines"] == want, 30, what=lambda: "the %d paths in the list (has %d)" % (
            len(want), len(self.a.memo()["lines"])))
        return want

    def play(self):
        self.a.click("Button1", how="mouse")

    def alive(self):
        assert self.a.proc.running(), "the program ended (exit %s)" % self.a.proc.popen.poll()
        assert self.a.cmd("sync")["ok"]

    # ---- 1: a long list

    def long_list(self, count):
        paths = wineproc.make_list(os.path.join(self.work, "list"), count)
        want = self.drop_list(paths)
        samples = []

        def on_entry(i, path):
            m = wineproc.memory(self.pid)
            samples.append((i + 1, path, self.handles.count(self.a.proc.winpid)[0], m["Private_Dirty"],
                            m["VmRSS"], wineproc.fd_count(self.pid)))
        t0 = time.monotonic()
        self.play()
        seen, boxes = wineproc.follow_list(self.a, paths, on_entry)
        took = time.monotonic() - t0
        assert not boxes, "unexpected message box: %r" % [b["text"] for b in boxes]
        assert seen == want, "entries seen in the file-name field: %d of %d, first difference at %s" % (
            len(seen), len(want), next((i + 1 for i, (s, w) in enumerate(zip(seen, want)) if s != w), min(len(seen), len(want)) + 1))
        self.alive()
        ref = samples[min(9, len(samples) // 3)]
        last = samples[-1]
        self.log("list of %d played in %.0f s; at entry %d / %d / after the end:" % (count, took, ref[0], last[0]))
        end_h = self.handles.count(self.a.proc.winpid)[0]
        end_m = wineproc.memory(self.pid)
        self.log("  handles %d / %d / %d; private dirty %d / %d / %d KiB; VmRSS %d / %d / %d KiB; fds %d / %d / %d" % (
            ref[2], last[2], end_h, ref[3], last[3], end_m["Private_Dirty"], ref[4], last[4], end_m["VmRSS"],
            ref[5], last[5], wineproc.fd_count(self.pid)))
        self.log("  handles by entry: %s" % " ".join(str(s[2]) for s in samples))
        peak_h = max(s[2] for s in samples[ref[0] - 1:])
        assert peak_h - ref[2] <= HANDLE_SLACK, "handle count grows: %d at entry %d, up to %d later" % (ref[2], ref[0], peak_h)
        # Memory wobbles by a megabyte with the moment a reading falls in a
        # track, so the mean of the first readings from the reference entry on
        # is set against the mean of the last ones.
        k = max(1, min(10, (len(samples) - ref[0] + 1) // 3))
        early = sum(x[3] for x in samples[ref[0] - 1:ref[0] - 1 + k]) / k
        late = sum(x[3] for x in samples[-k:]) / k
        self.log("  private dirty, mean of %d readings from entry %d: %.0f KiB; of the last %d: %.0f KiB" % (
            k, ref[0], early, k, late))
        assert late - early <= MEMORY_SLACK_KIB, "private memory grows: %.0f KiB from entry %d on, %.0f KiB at the end" % (
            early, ref[0], late)
        return samples

    # ---- 2: bad entries

    def bad_entry(self, kind):
        """Plays [good, bad, good]; returns once the program is at rest again."""
        d = os.path.join(self.work, "bad-" + kind)
        os.makedirs(d, exist_ok=True)
        first = wineproc.make_track(os.path.join(d, "before.mp3"), 1.0, title="前")
        after = os.path.join(d, "after.mp3")
        shutil.copyfile(first, after)
        if kind == "folder":
            bad = os.path.join(d, "フォルダ")
            os.makedirs(bad)
        elif kind == "picture":
            png = os.path.join(d, "pic.png")
            subprocess.run(["convert", "-size", "64x64", "gradient:red-blue", png], check=True)
            bad = os.path.join(d, "picture.mp3")
            os.rename(png, bad)
        elif kind == "truncated":
            whole = wineproc.make_track(os.path.join(d, "whole.mp3"), 2.0, title="途中まで")
            data = open(whole, "rb").read()
            bad = os.path.join(d, "truncated.mp3")
            with open(bad, "wb") as f:
                f.write(data[:len(data) * 45 // 100])
            os.unlink(whole)
        elif kind == "missing":
            bad = os.path.join(d, "missing.mp3")
            shutil.copyfile(first, bad)
        else:
            raise ValueError(kind)
        want = self.drop_list([first, bad, after])
        if kind == "missing":
            os.unlink(bad)
        self.play()
        seen, boxes = wineproc.follow_list(self.a, want, per_entry=10)
        if kind == "truncated":
            assert not boxes, "a box for the truncated track: %r" % [b["text"] for b in boxes]
            assert seen == want, "the list did not go on past the truncated track: %r" % seen
            self.log("%-9s played what it has, the list went on and ended" % kind)
        else:
            assert seen == want[:2], "entries shown before the box: %r" % seen
            assert [b["text"] for b in boxes] == [OPEN_FAILED], "first box: %r" % [b["text"] for b in boxes]
            self.a.press(boxes[0])
            box = wait_for(lambda: next((b for b in self.a.boxes() if b["hwnd"] != boxes[0]["hwnd"] and b["text"]), None),
                           20, what=lambda: "the second box (boxes %r)" % self.a.boxes())
            assert box["text"] == PLAY_FAILED, "second box: %r" % box["text"]
            self.a.press(box)
            wait_for(lambda: not self.a.boxes() and self.a.status() == ENDED, 20,
                     what=lambda: "the end of playback (status %r, boxes %r)" % (self.a.status(), self.a.boxes()))
            # Another monitor period and a half: the list must stay ended at the bad entry.
            until = time.monotonic() + 1.5
            while time.monotonic() < until:
                assert self.a.text("Edit6") == "" and self.a.status() == ENDED and not self.a.boxes(), \
                    "playback went on after the bad entry: %r, %r" % (self.a.text("Edit6"), self.a.status())
                time.sleep(0.2)
            assert self.a.control("Button1")["enabled"], "Play is not enabled again"
            self.log("%-9s open failure box, play failure box, stopped: status %s" % (kind, self.a.status()))
        self.alive()

    def new_drop_plays(self):
        track = wineproc.make_track(os.path.join(self.work, "again.mp3"), 1.5, title="もう一度")
        want = self.drop_list([track])
        self.play()
        wait_for(lambda: self.a.status() == PLAYING, 15, what="playing again")
        seen, boxes = wineproc.follow_list(self.a, want)
        assert not boxes and seen == want, (seen, boxes)
        self.alive()
        self.log("a new drop plays to its end")

    def exit(self):
        self.a.command("Exit1")
        code = self.a.proc.wait(30)
        assert code == 0, "exit code %d" % code


BAD_KINDS = ("folder", "picture", "truncated", "missing")


def run(app, handles, work, entries, log=print):
    s = Soak(app, handles, work, log)
    s.long_list(entries)
    for kind in BAD_KINDS:
        s.bad_entry(kind)
    s.new_drop_plays()
    s.exit()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--entries", type=int, default=100)
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    for f in ("bin/vantrel_mp3.exe", "bin/vbmp3.dll", "e2e/vdrv.exe"):
        if not os.path.exists(os.path.join(build, f)):
            print("soak: missing %s/%s" % (build, f), file=sys.stderr)
            return 2
    os.environ.setdefault("VANTREL_E2E_PREFIX", os.path.join(build, "wineprefix-soak"))
    t0 = time.monotonic()
    sess = harness.Session(build)
    app = handles = None
    try:
        handles = wineproc.HandleCounter(build, sess.env, sess.tmp_root)
        app = harness.App(dll="real", sess=sess)
        app.start()
        run(app, handles, app.dir, args.entries,
            log=lambda t: print("[%5.0f s] %s" % (time.monotonic() - t0, t), flush=True))
    except AssertionError as e:
        print("soak FAILED: %s" % e, flush=True)
        try:
            shot = os.path.join(build, "soak-failure.png")
            sess.screenshot(shot)
            print("screenshot: %s" % shot)
        except Exception:
            pass
        return 1
    finally:
        if handles:
            handles.close()
        if app:
            app.close()
        sess.close()
    print("soak passed in %.0f s" % (time.monotonic() - t0))
    return 0


if __name__ == "__main__":
    sys.exit(main())
