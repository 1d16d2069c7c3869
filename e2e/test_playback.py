"""Playback driven from outside under Wine: tracks dropped from the shell or
chosen in the open dialog, the transport buttons, the once-a-second monitor
walking the list, and real MP3 files played by the real decoder library."""
import os
import shutil
import subprocess
import time

from harness import E2ETest, winpath

PLAYING, PAUSED, STOPPED, FINISHED = "再生中", "一時停止中", "停止中", "終了しました"
OPEN_FAILED = "ファイルのオープンに失敗しました"
PLAY_FAILED = "MP3の再生に失敗しました、ファイルが見つからないかMP3ファイルではありません"
FIELDS = ["Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6"]
SPECTRUM_ON, SPECTRUM_OFF = 403, 404
FREE_POINT = (500, 50)  # a point of the window that no control covers


def fake_track(folder, name):
    """A small file the stand-in decoder opens (any existing regular file)."""
    path = os.path.join(folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(b"\xff\xfb\x90\x00" + b"\x00" * 413)
    return path


class PlayerTest(E2ETest):
    """Helpers shared by the playback tests."""

    def setUp(self):
        super().setUp()
        self.program_path()

    def tracks(self, a, *names):
        return [fake_track(a.dir, n) for n in names]

    def drop(self, a, paths, accepted=True):
        rep = a.drop(paths, *FREE_POINT)
        self.assertEqual(bool(rep["accepted"]), accepted, "drop %s: %r" % ("accepted" if accepted else "refused", rep))
        if accepted:
            want = [winpath(p) for p in paths]
            self.wait(lambda: a.memo()["lines"] == want, 15, lambda: "the dropped paths in Memo1 (has %r)" % a.memo()["lines"])
            a.barrier()
        return rep

    def state(self, a):
        """Texts and enabled flags of the main window's controls, and the status line."""
        c = a.controls()
        out = {k: (v["text"], v["enabled"]) for k, v in c.items()}
        out["status"] = c["StatusBar1"]["text"]
        return out

    def enabled(self, a, *names):
        c = a.controls()
        return tuple(c[n]["enabled"] for n in names)

    def spectrum_items(self, a):
        items = {i["id"]: i["enabled"] for p in a.menus()["items"] for i in p.get("items", [])}
        return items[SPECTRUM_ON], items[SPECTRUM_OFF]

    def polls(self, a):
        return sum(1 for e in a.fake_log() if e["fn"] == "vbmp3_getState")

    def assert_monitor_stopped(self, a, seconds=2.5):
        before = self.polls(a)
        time.sleep(seconds)
        self.assertEqual(self.polls(a), before, "the monitor still asks the decoder")

    def opened(self, a):
        return [(e["path"], e["result"]) for e in a.fake_log() if e["fn"] == "vbmp3_open"]

    def wait_playing(self, a, path, timeout=15):
        self.wait(lambda: a.text("Edit6") == winpath(path) and a.status() == PLAYING, timeout,
                  lambda: "%s playing (Edit6 %r, status %r)" % (path, a.text("Edit6"), a.status()))

    def assert_stopped_effects(self, a):
        """What Stop and the end of playback leave in the window."""
        c = a.controls()
        self.assertEqual([c[n]["text"] for n in FIELDS], [""] * 6, "fields emptied")
        self.assertEqual(c["Label10"]["text"], "0秒")
        self.assertEqual(c["StatusBar1"]["text"], FINISHED)
        self.assertEqual({n: c[n]["enabled"] for n in ("Button1", "Button4", "Button6", "Button7")},
                         {"Button1": True, "Button4": True, "Button6": False, "Button7": False})


class PlayThroughTest(PlayerTest):
    def test_three_dropped_files_play_through_entry_by_entry(self):
        a = self.app(dll="fake", fake_ini="seconds=3\n")
        files = self.tracks(a, "one.mp3", "two.mp3", "three.mp3")
        spare = self.tracks(a, "spare.mp3")[0]
        self.drop(a, files)
        c = a.controls()
        self.assertEqual((c["Label13"]["text"], c["Edit6"]["text"], c["Label10"]["text"], c["Label23"]["text"]),
                         ("3曲", winpath(files[0]), "3秒", "-2秒"), "the drop loads entry 0 with a lead of 5")
        self.assertEqual((c["Button6"]["enabled"], c["Button7"]["enabled"]), (True, True))
        a.click("Button1")
        lines = [winpath(f) for f in files]
        for n, f in enumerate(files):
            with self.subTest(entry=n):
                self.wait_playing(a, f)
                memo = a.memo()
                start = sum(len(l) + 2 for l in lines[:n])
                self.assertEqual((memo["sel_start"], memo["sel_end"]), (start, start + len(lines[n])),
                                 "the playing entry is selected in Memo1")
                self.assertEqual(self.enabled(a, "Button1", "Button4", "Button3"), (False, False, True))
                if n:
                    self.assertEqual(a.text("Label23"), "-7秒", "the monitor loads with a lead of 10")
                self.drop(a, [spare], accepted=False)
                seen = set()
                self.wait(lambda: seen.add(a.text("Label6")) or {"1秒", "2秒"} <= seen, 10,
                          lambda: "Label6 counting 1秒, 2秒 (saw %r)" % sorted(seen))
        self.wait(lambda: a.status() == FINISHED, 10, "the end of the list")
        self.assert_stopped_effects(a)
        self.assertEqual(self.spectrum_items(a), (False, False))
        self.assertEqual(a.text("Label23"), "-7秒", "Label23 keeps the last stop second")
        self.assertEqual(a.memo()["lines"], lines, "the list stays")
        self.assertEqual(self.opened(a), [(p, "1") for p in lines])
        self.assertEqual(sum(1 for e in a.fake_log() if e["fn"] == "vbmp3_play"), 3)
        self.assert_monitor_stopped(a)
        self.drop(a, [spare])


class TransportTest(PlayerTest):
    def test_pause_restart_and_stop(self):
        a = self.app(dll="fake", fake_ini="seconds=60\n")
        files = self.tracks(a, "a.mp3", "b.mp3", "c.mp3")
        self.drop(a, files)
        self.assertEqual(self.enabled(a, "Button3", "Button5"), (False, False), "Pause waits for the monitor")
        a.click("Button1")
        self.wait_playing(a, files[0])
        self.wait(lambda: self.enabled(a, "Button3") == (True,), 5, "Pause enabled")
        self.assertEqual(self.spectrum_items(a), (True, True))
        self.wait(lambda: a.text("Label6") == "2秒", 5, "second 2")

        a.click("Button3")
        self.assertEqual(self.enabled(a, "Button3", "Button5", "Button6", "Button7"), (True, True, False, False))
        self.wait(lambda: a.status() == PAUSED, 5, "status 一時停止中")
        held = a.text("Label6")
        time.sleep(2.2)
        self.assertEqual((a.status(), a.text("Label6")), (PAUSED, held), "the position stands still while paused")

        a.click("Button5")
        self.assertEqual(self.enabled(a, "Button3", "Button5", "Button6", "Button7"), (True, False, True, True))
        self.wait(lambda: a.status() == PLAYING, 5, "status 再生中 after Restart")
        self.wait(lambda: a.text("Label6") not in (held, "0秒"), 5, "the position moving on")

        shown = a.text("Label6")
        a.click("Button2")
        self.assert_stopped_effects(a)
        self.assertEqual(self.spectrum_items(a), (False, False))
        self.assertEqual(self.enabled(a, "Button3", "Button5"), (True, False), "Pause stays enabled")
        self.assertIn(a.text("Label6"), (shown, "%d秒" % (int(shown[:-1]) + 1)), "Stop leaves Label6")
        self.assertEqual(a.memo()["lines"], [winpath(f) for f in files])
        self.assertNotIn("vbmp3_close()", a.calls()[-3:], "Stop keeps the track open")
        self.assert_monitor_stopped(a)
        self.drop(a, files[1:])

    def test_previous_and_next_up_to_both_ends(self):
        a = self.app(dll="fake", fake_ini="seconds=40\n")
        files = self.tracks(a, "p0.mp3", "p1.mp3", "p2.mp3")
        self.drop(a, files)
        a.click("Button1")
        self.wait_playing(a, files[0])

        a.click("Button7")
        self.wait_playing(a, files[1])
        self.assertEqual(a.text("Label23"), "35秒", "Next loads with a lead of 5")
        a.click("Button6")
        self.wait_playing(a, files[0])
        self.assertEqual(a.text("Label23"), "35秒", "Previous loads with a lead of 5")

        # Previous on the first entry: stopped and closed, Previous disabled,
        # and the monitor plays entry 0 again from its start with a lead of 10.
        n_open = len(self.opened(a))
        a.click("Button6")
        self.assertEqual(self.enabled(a, "Button6", "Button7"), (False, True))
        self.assertEqual(a.text("Edit6"), winpath(files[0]), "the fields still show entry 0")
        self.wait(lambda: len(self.opened(a)) > n_open, 5, "the monitor opening entry 0 again")
        self.assertEqual(self.opened(a)[n_open:], [(winpath(files[0]), "1")])
        self.wait(lambda: a.text("Label23") == "30秒" and a.status() == PLAYING, 5, "entry 0 replayed with a lead of 10")
        self.assertFalse(self.enabled(a, "Button6")[0], "Previous stays disabled")

        a.click("Button7")
        self.wait_playing(a, files[1])
        a.click("Button7")
        self.wait_playing(a, files[2])
        self.assertEqual(self.enabled(a, "Button6", "Button7"), (False, True), "Next leaves Previous as it was")
        # Next on the last entry: Next disabled, nothing loaded, and the monitor ends playback.
        n_open = len(self.opened(a))
        a.click("Button7")
        self.assertEqual(self.enabled(a, "Button6", "Button7"), (False, False))
        self.assertEqual(a.text("Edit6"), winpath(files[2]))
        self.wait(lambda: a.status() == FINISHED, 5, "the end of playback")
        self.assert_stopped_effects(a)
        self.assertEqual(self.opened(a)[n_open:], [], "nothing opened past the end")
        self.assert_monitor_stopped(a)

    def test_playing_entry_is_selected_and_scrolled_into_view(self):
        a = self.app(dll="fake", fake_ini="seconds=40\n")
        files = self.tracks(a, *["entry%02d.mp3" % n for n in range(12)])
        self.drop(a, files)
        lines = [winpath(f) for f in files]
        for n in range(len(files)):
            with self.subTest(entry=n):
                if n:
                    a.click("Button7")
                self.wait(lambda: a.text("Edit6") == lines[n], 5, "entry %d loaded" % n)
                memo = a.memo()
                start = sum(len(l) + 2 for l in lines[:n])
                self.assertEqual((memo["sel_start"], memo["sel_end"]), (start, start + len(lines[n])))
                first = memo["first_visible_line"]
                # Memo1 shows five lines above its horizontal scroll bar.
                self.assertTrue(first <= n < first + 5, "line %d in view (first visible %d)" % (n, first))
        self.assertEqual(a.memo()["lines"], lines, "the text is never changed")

    def test_second_drop_replaces_the_list_and_starts_at_its_first_entry(self):
        a = self.app(dll="fake", fake_ini="seconds=40\n")
        old = self.tracks(a, "old0.mp3", "old1.mp3", "old2.mp3")
        new = self.tracks(a, "new0.mp3", "new1.mp3")
        self.drop(a, old)
        a.click("Button7")  # to entry 1 and playing
        self.wait_playing(a, old[1])
        a.click("Button2")
        self.drop(a, new)
        c = a.controls()
        self.assertEqual(a.memo()["lines"], [winpath(p) for p in new], "nothing of the first list remains")
        self.assertEqual((c["Label13"]["text"], c["Edit6"]["text"], c["Edit1"]["text"]), ("2曲", winpath(new[0]), "new0"))
        self.assertEqual((c["Button6"]["enabled"], c["Button7"]["enabled"]), (True, True))
        single = self.tracks(a, "single.mp3")
        self.drop(a, single)
        c = a.controls()
        self.assertEqual((c["Label13"]["text"], c["Edit6"]["text"]), ("1曲", winpath(single[0])))
        self.assertEqual((c["Button6"]["enabled"], c["Button7"]["enabled"]), (True, False), "one file: Next disabled")


class UnplayableEntryTest(PlayerTest):
    def test_folder_and_other_file_in_the_list(self):
        a = self.app(dll="fake", fake_ini="seconds=2\n[track notes.txt]\nopen=0\n")
        good = self.tracks(a, "good.mp3")[0]
        folder = os.path.join(a.dir, "a folder")
        os.makedirs(folder)
        other = self.tracks(a, "notes.txt")[0]
        for name, entries in (("folder", [good, folder]), ("other file", [good, other])):
            with self.subTest(name):
                self.drop(a, entries)
                a.click("Button1")
                # The advance opens the bad entry: its failure box, with the
                # fields showing an empty record.
                box = a.wait_box(OPEN_FAILED, timeout=10)
                c = a.controls()
                self.assertEqual([c[n]["text"] for n in FIELDS], ["", "", "0", "0", "0", winpath(entries[1])])
                self.assertEqual((c["Label10"]["text"], c["Label23"]["text"]), ("0秒", "-10秒"))
                self.assertEqual(self.opened(a)[-1], (winpath(entries[1]), "0"), "handed to the decoder as listed")
                self.assert_monitor_stopped(a, 1.5)  # nested ticks do nothing while the box is open
                self.assertEqual(len(a.boxes()), 1)
                a.press(box)
                box = a.wait_box(PLAY_FAILED, timeout=10)
                self.assert_monitor_stopped(a, 1.2)
                self.assertEqual(len(a.boxes()), 1)
                a.press(box)
                self.wait(lambda: a.boxes() == [] and a.status() == FINISHED, 10, "Stop's effects")
                self.assert_stopped_effects(a)
                self.assert_monitor_stopped(a, 1.5)
                self.assertEqual(a.memo()["lines"], [winpath(p) for p in entries])

    def test_bad_entry_dropped_first_shows_the_box_at_once(self):
        a = self.app(dll="fake")
        folder = os.path.join(a.dir, "just a folder")
        os.makedirs(folder)
        a.drop([folder], *FREE_POINT)
        box = a.wait_box(OPEN_FAILED, timeout=10)
        a.press(box)
        self.wait(lambda: a.memo()["lines"] == [winpath(folder)], 10, "the folder listed")
        self.assertEqual(a.text("Label13"), "1曲")
        a.click("Button1", how="post")
        a.press(a.wait_box(PLAY_FAILED, timeout=10))
        self.wait(lambda: a.boxes() == [] and a.status() == FINISHED, 10, "Stop's effects")
        self.assert_stopped_effects(a)
        self.drop(a, self.tracks(a, "after.mp3"))  # drops still accepted


class PathTest(PlayerTest):
    def test_long_and_japanese_paths_reach_the_decoder_whole(self):
        a = self.app(dll="fake", fake_ini="seconds=40\n")
        long_path = fake_track(a.dir, os.path.join("d" * 120, "e" * 120, "long track name.mp3"))
        japanese = fake_track(a.dir, os.path.join("日本語の曲", "夜明けの和音.mp3"))
        self.assertGreater(len(winpath(long_path)), 254)
        self.drop(a, [long_path, japanese])
        self.assertEqual(a.text("Edit6"), winpath(long_path))
        self.assertEqual(self.opened(a)[-1], (winpath(long_path), "1"), "the long path whole")
        self.assertEqual(a.text("Edit1"), "long track name")
        a.click("Button7")
        self.wait_playing(a, japanese)
        self.assertEqual(self.opened(a)[-1], (winpath(japanese), "1"), "the Japanese path as the decoder sees it")
        self.assertEqual(a.text("Edit1"), "夜明けの和音")
        self.assertEqual(a.boxes(), [])


class FileOpenTest(PlayerTest):
    def test_open_dialog_cancel_and_choice(self):
        a = self.app(dll="fake", fake_ini="seconds=25\n")
        listed = self.tracks(a, "listed0.mp3", "listed1.mp3")
        chosen = self.tracks(a, "chosen.mp3")[0]
        self.drop(a, listed)
        before = self.state(a)
        n_calls = len(a.calls())

        a.click("Button4", how="post")
        a.cancel_dialog(a.FILE_NAME_ID)
        self.wait(lambda: a.boxes() == [], 10, "the dialog gone")
        a.barrier()
        self.assertEqual(self.state(a), before, "cancel changes nothing")
        self.assertEqual(a.calls()[n_calls:], [])

        a.click("Button4", how="post")
        a.choose_file(chosen)
        self.wait(lambda: a.text("Edit6") == winpath(chosen), 10, "the chosen file loaded")
        c = a.controls()
        self.assertEqual((c["Edit1"]["text"], c["Label10"]["text"], c["Label23"]["text"]), ("chosen", "25秒", "15秒"))
        self.assertEqual([x.split("(")[0] for x in a.calls()[n_calls:]], ["vbmp3_open"], "opened, and no play")
        self.assertEqual(self.opened(a)[-1], (winpath(chosen), "1"))
        self.assertEqual((c["Label13"]["text"], c["Button1"]["enabled"], c["Button6"]["enabled"], c["Button7"]["enabled"]),
                         ("2曲", True, True, True))
        self.assertEqual(a.memo()["lines"], [winpath(p) for p in listed], "the list stays")
        self.assertEqual(c["StatusBar1"]["text"], before["status"])


def make_mp3(path, seconds, title, artist, tones, env):
    """A stereo 44.1 kHz 128 kbit/s MP3 with UTF-16 ID3v2 tags, made with sox and lame.
    lame reads --tt/--ta in the locale's character set: `env` must have a UTF-8 locale."""
    wav = path + ".wav"
    synth = []
    for t in tones:
        synth += ["sine", str(t)]
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(seconds)] + synth + ["gain", "-6"],
                   check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["lame", "--quiet", "-b", "128", "--id3v2-only", "--id3v2-utf16", "--tt", title, "--ta", artist, wav, path],
                   check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.remove(wav)
    return path


class RealTracksTest(PlayerTest):
    TRACKS = [  # file, seconds, title, artist, tones
        ("first.mp3", 3, "First Light", "Test Band", (220, 660)),
        ("second.mp3", 3, "二番目の歌", "テスト歌手", (330, 990)),
        ("third.mp3", 3, "Third Bell", "Test Band", (440, 1320)),
    ]

    def setUp(self):
        super().setUp()
        real = os.path.join(self.s.build, "bin", "vbmp3.dll")
        if not os.path.exists(real):
            self.fail("%s is not built" % real)
        for tool in ("sox", "lame"):
            if not shutil.which(tool):
                self.fail("%s is needed to make the test tracks (apt-get install sox lame)" % tool)

    def test_tagged_tracks_show_their_details_and_play_through(self):
        a = self.app(dll="real")
        self.assertEqual(a.d.cmd("screen")["acp"], 932)
        files = [make_mp3(os.path.join(a.dir, f), s, t, ar, tones, self.s.env) for f, s, t, ar, tones in self.TRACKS]
        self.drop(a, files)
        self.assertEqual(a.boxes(), [])
        a.click("Button1")
        for n, (f, (_, seconds, title, artist, _)) in enumerate(zip(files, self.TRACKS)):
            with self.subTest(track=title):
                self.wait_playing(a, f, 15)
                c = a.controls()
                self.assertEqual([c[k]["text"] for k in FIELDS], [title, artist, "2", "128", "44100", winpath(f)])
                self.assertEqual(c["Label10"]["text"], "%d秒" % seconds)
                self.assertEqual(c["Label23"]["text"], "%d秒" % (seconds - (5 if n == 0 else 10)))
        self.wait(lambda: a.status() == FINISHED, 15, "the end of the list")
        self.assert_stopped_effects(a)
        self.assertEqual(a.boxes(), [])
