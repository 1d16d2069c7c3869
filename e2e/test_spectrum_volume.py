"""The eight-bar spectrum display and the volume track bar, driven from outside
under Wine: a real track through the real decoder library, the menu switches,
and the track bar worked with real keys and mouse."""
import os
import time

from harness import E2ETest, REPO

SPECTRUM_ON, SPECTRUM_OFF = 403, 404
SPECTRUM_ERROR = "スペクトラムエラー"
BARS = ["ProgressBar%d" % n for n in range(1, 9)]
FREE_POINT = (500, 50)


class SpectrumTestBase(E2ETest):
    def setUp(self):
        super().setUp()
        self.program_path()

    def bars(self, a):
        c = a.controls()
        return [c[b]["pos"] for b in BARS]

    def items(self, a):
        items = {i["id"]: i["enabled"] for p in a.menus()["items"] for i in p.get("items", [])}
        return items[SPECTRUM_ON], items[SPECTRUM_OFF]

    def spectrum_calls(self, a):
        return sum(1 for e in a.fake_log() if e["fn"] == "vbmp3_getSpectrum")

    def assert_no_spectrum_calls(self, a, seconds=1.0):
        before = self.spectrum_calls(a)
        time.sleep(seconds)
        self.assertEqual(self.spectrum_calls(a), before, "the display still asks the decoder")

    def start_playing(self, a, seconds=60):
        track = os.path.join(a.dir, "track.mp3")
        with open(track, "wb") as f:
            f.write(b"\xff\xfb\x90\x00" + b"\x00" * 413)
        rep = a.drop([track], *FREE_POINT)
        self.assertTrue(rep["accepted"], rep)
        self.wait(lambda: a.text("Label13") == "1曲", 10, "the track dropped")
        a.click("Button1")
        return track


class RealSpectrumTest(SpectrumTestBase):
    def test_all_eight_bars_follow_a_real_track(self):
        if not os.path.exists(os.path.join(self.s.build, "bin", "vbmp3.dll")):
            self.fail("bin/vbmp3.dll is not built")
        a = self.app(dll="real")
        sample = os.path.join(REPO, "samples", "01-dawn.mp3")
        rep = a.drop([sample], *FREE_POINT)
        self.assertTrue(rep["accepted"], rep)
        self.wait(lambda: a.text("Edit1") == "夜明けの和音", 10, "the sample loaded")
        self.assertEqual(a.text("Label23"), "6秒", "the display runs from second 1 to second 6")
        self.assertEqual(self.bars(a), [0] * 8)
        a.click("Button1")
        seen = [set() for _ in BARS]
        shot = None
        self.wait(lambda: a.text("Label6") == "1秒", 10, "second 1")
        while a.text("Label6") in ("1秒", "2秒", "3秒", "4秒"):
            for s, v in zip(seen, self.bars(a)):
                s.add(v)
            if shot is None and a.text("Label6") == "3秒":
                shot = self.s.screenshot(os.path.join(self.artifacts_dir(), "spectrum-playing.png"))
            time.sleep(0.1)
        for bar, s in zip(BARS, seen):
            with self.subTest(bar):
                self.assertGreater(max(s), 0, "the bar lights up")
                self.assertGreater(len(s - {0}), 1, "the bar moves: %r" % sorted(s))
        self.assertEqual(self.items(a), (True, True))
        a.click("Button2")
        self.assertEqual(self.bars(a), [0] * 8, "Stop empties the bars")
        self.assertEqual(self.items(a), (False, False))
        time.sleep(0.5)
        self.assertEqual(self.bars(a), [0] * 8, "and they stay empty")
        self.assertIsNotNone(shot)


class SpectrumSwitchTest(SpectrumTestBase):
    def test_menu_items_switch_the_display_while_playing(self):
        a = self.app(dll="fake", fake_ini="seconds=60\n")
        self.start_playing(a)
        self.wait(lambda: all(self.bars(a)), 5, "the display on from second 1")
        self.assertEqual(self.items(a), (True, True))
        for n in range(2):
            with self.subTest(round=n):
                a.command(SPECTRUM_OFF)
                a.barrier()
                self.assertEqual(self.bars(a), [0] * 8)
                self.assert_no_spectrum_calls(a)
                self.assertEqual(self.bars(a), [0] * 8)
                self.assertEqual(self.items(a), (True, True), "the items stay enabled")
                before = self.spectrum_calls(a)
                a.command(SPECTRUM_ON)
                self.wait(lambda: all(self.bars(a)), 5, "the bars back on")
                self.wait(lambda: self.spectrum_calls(a) >= before + 3, 5, "ticks every 100 ms")
                self.assertEqual(self.items(a), (True, True))
        a.click("Button2")
        self.assertEqual(self.bars(a), [0] * 8)
        self.assertEqual(self.items(a), (False, False))
        self.assert_no_spectrum_calls(a)

    def test_display_goes_off_at_the_stop_second_and_a_switch_on_lasts_one_tick(self):
        a = self.app(dll="fake", fake_ini="seconds=8\n")
        self.start_playing(a)  # dropped: stop second 8 - 5 = 3
        self.wait(lambda: a.text("Label23") == "3秒", 5, "stop second 3")
        self.wait(lambda: all(self.bars(a)), 5, "the display on from second 1")
        self.wait(lambda: a.text("Label6") == "3秒", 5, "second 3")
        self.assertEqual(self.bars(a), [0] * 8, "off from the stop second on")
        self.assert_no_spectrum_calls(a, 0.5)
        a.command(SPECTRUM_ON)
        self.wait(lambda: all(self.bars(a)), 2, "switched on from the menu")
        self.wait(lambda: self.bars(a) == [0] * 8, 2.5, "switched off again at the monitor's next tick")
        self.assert_no_spectrum_calls(a, 0.5)

    def test_failing_spectrum_gives_one_box_and_switches_the_display_off(self):
        a = self.app(dll="fake", fake_ini="seconds=60\nspectrum_result=0\n")
        self.start_playing(a)
        box = a.wait_box(SPECTRUM_ERROR, timeout=10)
        calls = self.spectrum_calls(a)
        self.assertEqual(calls, 1)
        time.sleep(1.0)
        self.assertEqual(len(a.boxes()), 1, "one box at a time")
        self.assertEqual(self.spectrum_calls(a), calls, "no tick calls the decoder while the box is open")
        a.press(box)
        self.wait(lambda: a.boxes() == [], 5, "the box closed")
        self.assertTrue(all(self.bars(a)), "the failing tick still sets the bars: %r" % self.bars(a))
        self.assert_no_spectrum_calls(a, 1.2)
        self.assertEqual(a.boxes(), [])
        self.assertEqual(a.status(), "再生中", "playback goes on")


class VolumeTest(SpectrumTestBase):
    def volumes(self, a, since=0):
        calls = [e for e in a.fake_log() if e["fn"] == "vbmp3_setVolume"][since:]
        pairs = [tuple(int(x) for x in e["args"].split(",")) for e in calls]
        for l, r in pairs:
            self.assertEqual(l, r, "both channels get the same volume")
        return [l for l, _ in pairs]

    @staticmethod
    def steps(values):
        """The values with repeats in a row taken out (the end of a drag or key repeats the position)."""
        out = []
        for v in values:
            if not out or out[-1] != v:
                out.append(v)
        return out

    def pos(self, a):
        return a.control("TrackBar1")["pos"]

    def test_keys_move_by_ten_and_page_keys_by_two(self):
        a = self.app(dll="fake", ini="[Sect1]\r\nTR=95\r\n")
        self.wait(lambda: any(e["fn"] == "vbmp3_init" for e in a.fake_log()), 10, "start-up")
        self.assertEqual(self.volumes(a), [95, 95], "the stored volume, twice at start")
        self.assertEqual(self.pos(a), 95)
        for key, want in (("RIGHT", 100), ("LEFT", 90), ("PGUP", 88), ("PGDN", 90), ("LEFT", 80), ("RIGHT", 90)):
            with self.subTest(key=key):
                n = len(self.volumes(a))
                a.keys("TrackBar1", key)
                a.barrier()
                self.wait(lambda: self.pos(a) == want, 5, lambda: "position %d (is %d)" % (want, self.pos(a)))
                self.wait(lambda: self.volumes(a, n), 5, "the new volume handed on")
                self.assertEqual(self.steps(self.volumes(a, n)), [want])

    def test_mouse_clicks_in_the_channel_and_drags_of_the_thumb(self):
        a = self.app(dll="fake")
        self.wait(lambda: any(e["fn"] == "vbmp3_init" for e in a.fake_log()), 10, "start-up")
        tb = a.control("TrackBar1")
        ch = tb["channel"]
        self.assertGreater(ch["width"], 0)
        y = ch["top"] + ch["height"] // 2
        right_end = ch["left"] + ch["width"] + 20
        left_end = ch["left"] - 20
        for what, act, want in (
                ("click right of the thumb", lambda t: a.mouse(t["left"] + t["width"] + 20, y, name="TrackBar1"), 52),
                ("click left of the thumb", lambda t: a.mouse(t["left"] - 20, y, name="TrackBar1"), 50),
                ("drag to the right end", lambda t: a.drag(t["left"] + t["width"] // 2, y, right_end, y,
                                                           name="TrackBar1", steps=6), 100),
                ("drag to the left end", lambda t: a.drag(t["left"] + t["width"] // 2, y, left_end, y,
                                                          name="TrackBar1", steps=6), 0)):
            with self.subTest(what):
                n = len(self.volumes(a))
                start = self.pos(a)
                act(a.control("TrackBar1")["thumb"])
                a.barrier()
                self.wait(lambda: self.pos(a) == want, 5, lambda: "position %d (is %d)" % (want, self.pos(a)))
                self.wait(lambda: self.volumes(a, n) and self.volumes(a, n)[-1] == want, 5, "the volume handed on")
                got = self.steps(self.volumes(a, n))
                if what.startswith("click"):
                    self.assertEqual(got, [want])
                else:
                    self.assertGreater(len(got), 2, "each step of the drag handed on: %r" % got)
                    self.assertEqual(got, sorted(got, reverse=want < start), "the drag moves one way: %r" % got)
