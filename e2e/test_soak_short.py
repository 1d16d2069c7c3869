"""A short soak with the real decoder library: a 10-entry list played through
with flat handle and memory counts, each kind of bad entry in the middle of a
list, and a new drop that plays afterwards (e2e/soak.py runs it with 100)."""
import os
import sys

from harness import E2ETest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench"))

import soak  # noqa: E402
import wineproc  # noqa: E402


class SoakShortTest(E2ETest):
    def test_short_list_then_bad_entries_then_a_new_drop(self):
        self.program_path()
        if not os.path.exists(os.path.join(self.s.build, "bin", "vbmp3.dll")):
            self.fail("bin/vbmp3.dll is not built")
        handles = wineproc.HandleCounter(self.s.build, self.s.env, self.s.tmp_root)
        self.addCleanup(handles.close)
        a = self.app(dll="real")
        s = soak.Soak(a, handles, a.dir, log=lambda t: None)
        # One step after the other in the same program: a step that fails
        # leaves it in a state the next would not start from.
        for step, run in [("10-entry list", lambda: s.long_list(10))] + \
                [("bad entry: " + k, lambda k=k: s.bad_entry(k)) for k in soak.BAD_KINDS] + \
                [("a new drop", s.new_drop_plays), ("exit", s.exit)]:
            try:
                run()
            except AssertionError as e:
                self.fail("%s: %s" % (step, e))
