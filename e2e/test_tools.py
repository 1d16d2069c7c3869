"""Self-tests of the end-to-end tools, against vtwin.exe (a small window of known
layout) and against the stand-in decoder called through vbmp3cli.exe.
A fault in the driver, the probe, the drop source or the stand-in shows here
apart from any fault of the player."""
import os
import subprocess
import threading
import time
import unittest

import harness
from harness import E2ETest, winpath, wait_for


class ToolWindowTest(E2ETest):
    def vtwin(self, **kw):
        return self.app(exe=os.path.join(self.s.build, "e2e", "vtwin.exe"), **kw)

    def test_dump_reads_every_kind_of_control(self):
        a = self.vtwin()
        w = a.window()
        self.assertEqual((w["class"], w["caption"], w["client_width"], w["client_height"]), ("TForm1", "Vantrel", 602, 470))
        c = a.controls()
        cases = [
            # name, class, (left, top, width, height), text, enabled
            ("Button1", "Button", (8, 24, 57, 25), "再生", True),
            ("Button3", "Button", (149, 24, 57, 25), "一時停止", False),
            ("CheckBox1", "Button", (8, 56, 241, 17), "再生終了時にWindowsをシャットダウンする", True),
            ("TrackBar1", "msctls_trackbar32", (64, 296, 150, 25), "", True),
            ("ProgressBar1", "msctls_progress32", (320, 88, 249, 16), "", True),
            ("Memo1", "Edit", (112, 336, 473, 97), "", True),
            ("StatusBar1", "msctls_statusbar32", (0, 450, 602, 20), "準備完了", True),
        ]
        for name, cls, rect, text, enabled in cases:
            with self.subTest(name):
                k = c[name]
                r = k["rect"]
                self.assertEqual(k["class"], cls)
                self.assertEqual((r["left"], r["top"], r["width"], r["height"]), rect)
                self.assertEqual(k["text"], text)
                self.assertEqual(k["enabled"], enabled)
        self.assertEqual((c["TrackBar1"]["pos"], c["TrackBar1"]["min"], c["TrackBar1"]["max"]), (50, 0, 100))
        self.assertEqual((c["ProgressBar1"]["pos"], c["ProgressBar1"]["max"]), (50, 100))
        self.assertEqual(c["CheckBox1"]["check"], 0)
        self.assertEqual(c["Label13"]["align"], "right")
        self.assertTrue(c["Memo1"]["multiline"] and c["Memo1"]["readonly"])

    def test_probe_reads_the_menu_from_inside_the_program(self):
        a = self.vtwin()
        m = a.menus()
        self.assertTrue(m["has_menu"])
        self.assertEqual(m["pid"], a.proc.winpid)
        self.assertEqual([p["text"] for p in m["items"]], ["メインメニュー(&M)", "ツール(&T)", "ヘルプ(&H)"])
        tools = m["items"][1]["items"]
        self.assertEqual([(i["text"], i["id"], i["enabled"]) for i in tools],
                         [("スペクトラムON(&O)", 403, False), ("文字色(&M)", 405, True), ("背景色(&B)", 406, True)])

    def test_input_reaches_the_controls(self):
        a = self.vtwin()
        cases = [
            ("BM_CLICK", lambda: a.click("Button1"), "clicked 1"),
            ("mouse at the button", lambda: a.click("Button1", how="mouse"), "clicked 2"),
            ("mouse on the form", lambda: a.mouse(300, 200), "form click 300,200"),
            ("keys by input", lambda: a.keys("TrackBar1", "RIGHT,RIGHT,PGUP"), "volume 32"),
            ("keys by message", lambda: a.keys("TrackBar1", "LEFT", how="msg"), "volume 31"),
        ]
        for what, act, status in cases:
            with self.subTest(what):
                act()
                self.wait(lambda: a.status() == status, 10, "status %r (is %r)" % (status, a.status()))
        self.assertEqual(a.control("ProgressBar1")["pos"], 31)

    def test_barrier_waits_for_posted_messages(self):
        a = self.vtwin()
        for _ in range(3):
            a.click("Button1", how="post")
        a.barrier()
        # A status read is a sent message, which the target handles before posted
        # ones: only the barrier makes the three clicks visible already.
        self.assertEqual(a.status(), "clicked 3")

    def test_barrier_waits_for_input(self):
        a = self.vtwin()
        cases = [
            ("keys", lambda: a.keys("TrackBar1", "RIGHT,RIGHT,RIGHT"), 53),
            ("channel click", lambda: a.mouse(140, 12, name="TrackBar1"), 73),
        ]
        for what, act, pos in cases:
            with self.subTest(what):
                act()
                a.barrier()
                self.assertEqual(a.control("TrackBar1")["pos"], pos)

    def test_message_box_is_listed_and_answered(self):
        a = self.vtwin()
        a.command("M2")
        b = a.wait_box("スペクトラムエラー")
        self.assertEqual((b["caption"], b["owner"], b["icon"]), ("Vantrel", a.hwnd, "exclamation"))
        self.assertEqual([x["id"] for x in b["buttons"]], [1])
        a.press(b)
        self.wait(lambda: not a.boxes(), 10, "the box to close")

    def test_second_instance_box_and_exit_code(self):
        a = self.vtwin()
        second = a.launch()
        b = a.wait_box(pid=second.winpid)
        self.assertEqual((b["text"], b["icon"]), ("すでに同じプログラムが起動しています", "stop"))
        a.press(b)
        self.assertEqual(second.wait(), 255)
        self.assertTrue(a.proc.running())

    def test_owned_windows_are_listed(self):
        a = self.vtwin()
        for n in range(1, 4):
            a.command("About1")
            self.wait(lambda: len(a.windows("TAboutBox")) == n, 10, "%d about boxes" % n)
        ws = a.windows("TAboutBox", children=True)
        self.assertEqual({x["owner"] for x in ws}, {a.hwnd})
        self.assertEqual(len({x["hwnd"] for x in ws}), 3)
        ok = [k for k in ws[0]["children"] if k["id"] == 1]
        a.d.cmd("click", hwnd=ok[0]["hwnd"])
        self.wait(lambda: sum(not x["visible"] for x in a.windows("TAboutBox")) == 1, 10, "one box hidden")

    def test_drop_delivers_paths_as_windows_sees_them(self):
        a = self.vtwin()
        files = [os.path.join(a.dir, "a b.mp3"), os.path.join(a.dir, "曲名テスト.mp3"),
                 os.path.join(a.dir, "d" * 120, "e" * 140 + ".mp3")]
        for f in files:
            os.makedirs(os.path.dirname(f), exist_ok=True)
            open(f, "wb").close()
        self.assertGreater(len(winpath(files[2])), 254)
        rep = a.drop(files)
        self.assertTrue(rep["accepted"] and rep["finished"], rep)
        self.wait(lambda: a.memo()["lines"] == [winpath(f) for f in files], 10, "three paths in the memo")
        self.assertEqual(a.text("Label13"), "3曲")

    def test_common_dialogs_are_answered(self):
        a = self.vtwin()
        track = os.path.join(a.dir, "x y 曲.mp3")
        open(track, "wb").close()
        cases = [
            ("open a file", lambda: a.click("Button4", how="post"), lambda: a.choose_file(track), "open: " + winpath(track)),
            ("cancel opening", lambda: a.click("Button4", how="post"), lambda: a.cancel_dialog(a.FILE_NAME_ID), "open: cancelled"),
            ("pick a colour", lambda: a.command("B1"), lambda: a.choose_color((0x12, 0x34, 0xAB)), "color: 1234ab"),
            ("cancel the colour", lambda: a.command("B1"), lambda: a.cancel_dialog(a.RED_ID), "color: cancelled"),
        ]
        for what, open_it, answer, status in cases:
            with self.subTest(what):
                open_it()
                answer()
                self.wait(lambda: a.status() == status, 15, lambda: "status %r (is %r)" % (status, a.status()))
                self.wait(lambda: not a.boxes(), 10, "the dialog to close")

    def test_refused_drop_is_reported(self):
        a = self.vtwin()
        f = os.path.join(a.dir, "refused.mp3")
        open(f, "wb").close()
        a.click("CheckBox1")
        self.wait(lambda: a.control("CheckBox1")["check"] == 1, 10, "the box checked")
        rep = a.drop([f])
        self.assertEqual((rep["accepted"], rep["finished"], rep["exit"]), (False, False, 2), rep)
        self.assertEqual(a.memo()["text"], "")

    def test_close_and_exit_code(self):
        a = self.vtwin()
        a.command("Exit1")
        self.assertEqual(a.proc.wait(), 0)
        self.assertFalse(a.cmd("main", check=False)["ok"])


class FakeDecoderTest(unittest.TestCase):
    """The stand-in decoder's model, through its exported functions."""

    @classmethod
    def setUpClass(cls):
        cls.s = harness.session()

    def setUp(self):
        self.dir = os.path.join(self.s.tmp_root, "fake-%d" % time.monotonic_ns())
        os.makedirs(self.dir)
        import shutil
        shutil.copy2(os.path.join(self.s.build, "fakedll", "vbmp3.dll"), self.dir)
        self.cli = subprocess.Popen([harness.WINE64, os.path.join(self.s.build, "e2e", "vbmp3cli.exe"),
                                     winpath(os.path.join(self.dir, "vbmp3.dll"))],
                                    stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                    env=self.s.env, cwd=self.dir)
        self.assertEqual(self.cli.stdout.readline().strip(), b"ready")
        self.track = os.path.join(self.dir, "曲 one.mp3")
        open(self.track, "wb").close()

    def tearDown(self):
        try:
            self.cli.stdin.write(b"quit\n")
            self.cli.stdin.flush()
            self.cli.wait(10)
        except Exception:
            self.cli.kill()
        import shutil
        shutil.rmtree(self.dir, ignore_errors=True)

    def call(self, line):
        self.cli.stdin.write((line + "\n").encode("cp932"))
        self.cli.stdin.flush()
        return self.cli.stdout.readline().decode("cp932").strip()

    def ini(self, text):
        with open(os.path.join(self.dir, "vbmp3_fake.ini"), "w", encoding="utf-8") as f:
            f.write(text)

    def log(self):
        with open(os.path.join(self.dir, "vbmp3_fake.log"), encoding="utf-8") as f:
            return [harness.LOG_LINE.match(l.rstrip("\r\n")).groups()[2:5] for l in f]

    def state(self):
        r, s = self.call("state").split()
        return int(r), int(s)

    def test_results_follow_the_script_read_at_every_call(self):
        self.assertEqual(self.call("init"), "1")
        self.ini("init=0\nsetVolume=7\n")
        self.assertEqual(self.call("init"), "0")
        self.assertEqual(self.call("volume 30 70"), "7")
        self.ini("")
        self.assertEqual(self.call("init"), "1")
        self.assertEqual(self.log()[:3], [("vbmp3_init", "", "1"), ("vbmp3_init", "", "0"), ("vbmp3_setVolume", "30,70", "7")])

    def test_open_reports_the_track_model(self):
        self.ini("seconds=3\n[track 曲 one.mp3]\ntitle=題名\nartist=歌手\nseconds=9\nbitrate=192\n")
        cases = [
            (winpath(self.track), "1 title=題名 artist=歌手 channels=2 bitrate=192 rate=44100 seconds=9"),
            (winpath(os.path.join(self.dir, "missing.mp3")), "0"),
            (winpath(self.dir), "0"),  # a folder is no track
        ]
        for path, expected in cases:
            with self.subTest(path):
                self.assertEqual(self.call("open " + path), expected)
        fn, args, res = self.log()[0]
        self.assertEqual((fn, res), ("vbmp3_open", "1"))
        self.assertIn("曲 one.mp3", args)

    def test_state_machine_runs_on_real_time(self):
        self.ini("seconds=2\n")
        self.assertEqual(self.state(), (0, 0))
        self.assertTrue(self.call("open " + winpath(self.track)).startswith("1 "))
        self.assertEqual(self.call("play"), "1")
        self.assertEqual(self.state()[0], 1)
        wait_for(lambda: self.state() == (1, 1), 5, 0.05, "position 1 while playing")
        self.assertEqual(self.call("pause"), "1")
        frozen = self.state()
        self.assertEqual(frozen, (2, 1))
        time.sleep(1.2)
        self.assertEqual(self.state(), frozen, "a paused position stands still")
        self.assertEqual(self.call("restart"), "1")
        self.assertEqual(self.state()[0], 1)
        wait_for(lambda: self.state() == (0, 2), 5, 0.05, "the end, keeping the last position")
        self.assertEqual(self.call("play"), "1")
        self.assertEqual(self.state(), (1, 0))
        self.assertEqual(self.call("stop"), "1")
        self.assertEqual(self.state(), (0, 0))
        self.assertEqual(self.call("close"), "1")
        self.assertEqual(self.call("play"), "0", "nothing open")
        self.ini("getState=5\n")
        self.assertEqual(self.state(), (5, 0))

    def test_spectrum_moves_while_playing_within_255_bands(self):
        self.assertTrue(self.call("open " + winpath(self.track)).startswith("1 "))
        idle = self.call("spectrum")
        self.assertEqual(idle, "1 L0=0 L50=0 L100=0 L150=0 R0=0 R50=0 R100=0 R150=0 guard=1")
        self.call("play")
        first = self.call("spectrum")
        values = [int(kv.split("=")[1]) for kv in first.split()[1:9]]
        self.assertTrue(all(v > 0 for v in values), first)
        self.assertTrue(first.endswith("guard=1"), "writes past 255 bands: " + first)
        wait_for(lambda: self.call("spectrum") != first, 3, 0.05, "the spectrum to change")
