"""Runs the Wine test cases of one bitness from the named modules.

    python3 -m e2e.run --bits 64 e2e.test_startup [e2e.test_install_road ...]

Exits 0 when every selected test passed, 1 on a failure or when the modules hold no test of that
bitness, and SKIPPED (CTest's SKIP_RETURN_CODE) when every selected test was skipped, each with
its reason in the listing."""

from __future__ import annotations

import argparse
import sys
import unittest
from typing import Iterator

from e2e.harness.case import WineTestCase

SKIPPED = 77


def tests_in(suite: unittest.TestSuite) -> Iterator[unittest.TestCase]:
    for test in suite:
        if isinstance(test, unittest.TestSuite):
            yield from tests_in(test)
        else:
            yield test


def main() -> int:
    parser = argparse.ArgumentParser(prog="python3 -m e2e.run", description=__doc__.split("\n\n")[0])
    parser.add_argument("--bits", type=int, choices=(32, 64), required=True)
    parser.add_argument("-k", dest="patterns", action="append", help="only tests whose name holds this text")
    parser.add_argument("modules", nargs="+")
    options = parser.parse_args()

    loader = unittest.TestLoader()
    if options.patterns:
        loader.testNamePatterns = [f"*{pattern}*" for pattern in options.patterns]
    selected = unittest.TestSuite(
        test for test in tests_in(loader.loadTestsFromNames(options.modules))
        if isinstance(test, WineTestCase) and test.bits == options.bits)
    if selected.countTestCases() == 0:
        print(f"no {options.bits}-bit test in {', '.join(options.modules)}", file=sys.stderr)
        return 1
    result = unittest.TextTestRunner(verbosity=2).run(selected)
    if not result.wasSuccessful():
        return 1
    return SKIPPED if len(result.skipped) == result.testsRun else 0


if __name__ == "__main__":
    sys.exit(main())
