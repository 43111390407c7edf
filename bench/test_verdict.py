"""Verdicts from rounds and a limit: python3 bench/test_verdict.py"""
import pathlib
import sys
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from verdict import spread, verdict  # noqa: E402


class VerdictTest(unittest.TestCase):
    def test_verdicts(self):
        cases = [
            ([1.10, 1.12, 1.15, 1.14, 1.11], "<=", 1.15, "pass"),
            ([1.16, 1.20, 1.17, 1.30, 1.16], "<=", 1.15, "FAIL"),
            ([1.10, 1.12, 1.16, 1.14, 1.11], "<=", 1.15, "unstable"),
            ([0.95, 1.00, 1.30], ">=", 1.0, "unstable"),
            ([1.00, 1.02, 1.30], ">=", 1.0, "pass"),
            ([0.70, 0.99], ">=", 1.0, "FAIL"),
            ([0.5], "<=", 1.1, "pass"),
            ([], "<=", 1.1, "FAIL"),
        ]
        for values, op, bound, expected in cases:
            with self.subTest(values=values, limit=f"{op} {bound}"):
                self.assertEqual(verdict(values, op, bound), expected)

    def test_spread(self):
        self.assertEqual(spread([1.3, 1.1, 1.2, 1.05, 1.25]), ("1.20", "1.05-1.30"))
        self.assertEqual(spread([92.04, 101.5], "{:.1f}", " ms"), ("96.8 ms", "92.0-101.5 ms"))
        self.assertEqual(spread([]), ("", ""))


if __name__ == "__main__":
    unittest.main()
