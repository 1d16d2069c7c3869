"""Runs the end-to-end tests: one line per test, then 'N passed, N failed, N skipped'."""
import os
import signal
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402


class LineResult(unittest.TestResult):
    def __init__(self):
        super().__init__()
        self.passed = 0
        self.t0 = 0

    def startTest(self, test):
        super().startTest(test)
        self.t0 = time.monotonic()
        self._printed = False
        self._sub_failed = False

    def _line(self, word, test, detail=""):
        self._printed = True
        print("%-5s %s (%.1f s)%s" % (word, test.id().split(".", 1)[1] if "." in test.id() else test.id(),
                                      time.monotonic() - self.t0, detail), flush=True)

    def addSuccess(self, test):
        super().addSuccess(test)
        self.passed += 1
        self._line("ok", test)

    @staticmethod
    def _evidence(test):
        keep = getattr(getattr(test, "test_case", test), "keep_evidence", None)
        if keep:
            keep()

    def addFailure(self, test, err):
        self._evidence(test)
        super().addFailure(test, err)
        self._line("FAIL", test)
        print(self._exc_info_to_string(err, test), flush=True)

    def addError(self, test, err):
        self._evidence(test)
        super().addError(test, err)
        self._line("ERROR", test)
        print(self._exc_info_to_string(err, test), flush=True)

    def addSubTest(self, test, subtest, err):
        super().addSubTest(test, subtest, err)
        if err is not None:
            if not self._sub_failed:
                self._evidence(subtest)
            self._sub_failed = True
            print("  subtest failed: %s" % subtest.id(), flush=True)
            print(self._exc_info_to_string(err, subtest), flush=True)

    def addSkip(self, test, reason):
        super().addSkip(test, reason)
        self._line("skip", test, " " + reason)

    def stopTest(self, test):
        super().stopTest(test)
        # A test whose subtests failed gets its own line, and counts once.
        if self._sub_failed and not self._printed:
            self._line("FAIL", test)


def main(argv):
    signal.signal(signal.SIGTERM, lambda *a: sys.exit(143))
    pattern = os.environ.get("VANTREL_E2E_PATTERN", "test_*.py")
    loader = unittest.TestLoader()
    suite = loader.discover(HERE, pattern=pattern, top_level_dir=HERE)
    only = argv[1:]
    if only:
        def keep(s):
            out = unittest.TestSuite()
            for t in s:
                if isinstance(t, unittest.TestSuite):
                    out.addTests(keep(t))
                elif any(o in t.id() for o in only):
                    out.addTest(t)
            return out
        suite = keep(suite)
    result = LineResult()
    t0 = time.monotonic()
    try:
        suite.run(result)
    finally:
        harness.close_session()
    failed = len({getattr(t, "test_case", t).id() for t, _ in result.failures + result.errors})
    print("e2e: %.0f s" % (time.monotonic() - t0))
    print("%d passed, %d failed, %d skipped" % (result.passed, failed, len(result.skipped)))
    return 1 if failed or result.testsRun == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
