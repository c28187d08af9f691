#!/usr/bin/env python3
"""scripts/gtest-summary over made-up build folders, one for each way a run
can go wrong, and a good run.

  gtest_summary_test.py [PATH-OF-GTEST-SUMMARY]
"""
import pathlib
import subprocess
import sys
import tempfile
import unittest
from xml.sax.saxutils import escape, quoteattr

SUMMARY = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "gtest-summary"

PASSED = "passed"
FAILED = "failed"
SKIPPED = "skipped"
DISABLED = "disabled"


def gtest_report(cases):
    """A GoogleTest XML report; cases are (Suite.Name, result)."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', f'<testsuites tests="{len(cases)}" name="AllTests">']
    for full_name, result in cases:
        suite, name = full_name.split(".")
        attributes = f'name="{name}" classname="{suite}" time="0.001"'
        if result == DISABLED:
            lines.append(f'  <testcase {attributes} status="notrun" result="suppressed"/>')
        elif result == SKIPPED:
            lines.append(f'  <testcase {attributes} status="run" result="skipped"><skipped message=""/></testcase>')
        elif result == FAILED:
            lines.append(f'  <testcase {attributes} status="run" result="completed">'
                         '<failure message="Expected equality" type=""/></testcase>')
        else:
            lines.append(f'  <testcase {attributes} status="run" result="completed"/>')
    lines.append("</testsuites>")
    return "\n".join(lines) + "\n"


class BuildFolder:
    """A build folder as scripts/test leaves it after ctest ran."""

    def __init__(self, root, name="linux"):
        self.path = pathlib.Path(root) / name
        (self.path / "gtest-results").mkdir(parents=True)
        self.expected = []
        self.junit = []
        self.failed_list = []

    def gtest(self, name, cases=(("Suite.Works", PASSED),), verdict="run", reason="Failed", output="",
              report=True):
        """A GoogleTest executable: its report, and ctest's verdict on its process."""
        self.expected.append(name)
        if report is True:
            report = gtest_report(list(cases))
        if report is not None:
            (self.path / "gtest-results" / f"{name}.xml").write_text(report)
        self.ctest_test(name, verdict, reason, output)

    def ctest_test(self, name, verdict="run", reason="Failed", output="", skip_message=""):
        inner = ""
        if verdict == "fail":
            inner = '<failure message=""/>'
            self.failed_list.append(f"\t{len(self.junit) + 1:3} - {name} ({reason})")
        elif verdict == "notrun":
            inner = f"<skipped message={quoteattr(skip_message)}/>"
            if not skip_message.startswith("SKIP_"):
                self.failed_list.append(f"\t{len(self.junit) + 1:3} - {name} (Not Run)")
        self.junit.append(f'<testcase name="{name}" classname="{name}" time="0.1" status="{verdict}">'
                          f"{inner}<system-out>{escape(output)}</system-out></testcase>")

    def write(self, junit=True):
        (self.path / "gtest-results" / "expected.txt").write_text("\n".join(self.expected) + "\n")
        if junit:
            (self.path / "ctest-junit.xml").write_text(
                '<?xml version="1.0" encoding="UTF-8"?>\n'
                f'<testsuite name="(empty)" tests="{len(self.junit)}">\n' + "\n".join(self.junit) + "\n</testsuite>\n")
        log = ["Test project " + str(self.path), "", f"{len(self.junit)} tests"]
        if self.failed_list:
            log += ["", "The following tests FAILED:"] + self.failed_list + ["Errors while running CTest"]
        (self.path / "ctest-output.log").write_text("\n".join(log) + "\n")
        return self

    def exit_code(self):
        return 8 if self.failed_list else 0


class Run:
    def __init__(self, arguments):
        done = subprocess.run([sys.executable, str(SUMMARY)] + arguments, capture_output=True, text=True,
                              timeout=60)
        self.code = done.returncode
        self.lines = done.stdout.splitlines()
        self.stderr = done.stderr
        self.closing = self.lines[-1] if self.lines else ""
        self.failures = [line for line in self.lines if line.startswith("FAILED ")]


def summarize(*builds, extra=()):
    arguments = list(extra)
    for build in builds:
        arguments += ["--build", str(build.path), str(build.exit_code())]
    return Run(arguments)


class SummaryTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = self.temp.name

    def tearDown(self):
        self.temp.cleanup()

    def assertFails(self, run, failed, *named):
        """The closing line counts `failed`, each failure line and the closing
        line name what failed, and the exit code agrees."""
        self.assertEqual(run.stderr, "")
        self.assertRegex(run.closing, rf"^\d+ passed, {failed} failed, \d+ skipped \(failed: ")
        self.assertEqual(run.code, 1, run.lines)
        self.assertEqual(len(run.failures), failed, run.lines)
        for words in named:
            self.assertTrue(any(all(w in line for w in words) for line in run.failures), (words, run.lines))
            self.assertIn(words[0], run.closing)

    def good_build(self, name="linux"):
        build = BuildFolder(self.root, name)
        build.gtest("test_pex", [("Pex.Converts", PASSED), ("Pex.Rejects", PASSED), ("Pex.Later", SKIPPED),
                                 ("Pex.DISABLED_Old", DISABLED)])
        build.gtest("test_kronel.default", [("Cache.Refreshes", PASSED)])
        build.ctest_test("release_package")
        build.ctest_test("needs_tool", "notrun", skip_message="SKIP_RETURN_CODE=77")
        return build.write()

    def test_a_good_run_reads_zero_failed(self):
        run = summarize(self.good_build("linux"), self.good_build("windows"),
                        extra=["--case", "model", "passed"])
        self.assertEqual(run.closing, "9 passed, 0 failed, 6 skipped")
        self.assertIn("linux: 4 passed, 0 failed, 3 skipped", run.lines)
        self.assertIn("other checks: 1 passed, 0 failed, 0 skipped", run.lines)
        self.assertEqual(run.failures, [])
        self.assertEqual(run.code, 0)

    def test_a_green_report_of_a_process_ctest_failed_fails_once(self):
        for reason, output, why in [
            ("SEGFAULT", "", "SEGFAULT"),
            ("Subprocess aborted", "ERROR: LeakSanitizer: detected memory leaks", "LeakSanitizer"),
            ("Timeout", "", "Timeout"),
            ("Failed", "[  PASSED  ] 1 test.\nwine: Unhandled page fault on read access", "wine: Unhandled"),
        ]:
            with self.subTest(reason=reason):
                build = BuildFolder(tempfile.mkdtemp(dir=self.root))
                build.gtest("test_unload", [("Unload.Frees", PASSED), ("Unload.Ends", PASSED)], verdict="fail",
                            reason=reason, output=output)
                build.gtest("test_pex")
                run = summarize(build.write())
                self.assertFails(run, 1, ("linux test_unload", "all green", why))
                self.assertTrue(run.closing.startswith("3 passed, 1 failed, 0 skipped"))

    def test_failed_cases_count_once_each_beside_the_verdict_on_their_process(self):
        build = BuildFolder(self.root)
        build.gtest("test_cli", [("Cli.Lists", FAILED), ("Cli.Dumps", FAILED), ("Cli.Helps", PASSED)], verdict="fail")
        run = summarize(build.write())
        self.assertFails(run, 2, ("linux test_cli Cli.Lists",), ("linux test_cli Cli.Dumps",))

    def test_a_preset_that_did_not_get_to_its_tests_is_failed_by_name(self):
        for why in ["configure failed", "build failed", "no Wine prefix"]:
            with self.subTest(why=why):
                run = summarize(self.good_build(why.replace(" ", "-")),
                                extra=["--broken", "windows-release", why])
                self.assertFails(run, 1, ("windows-release", why))

    def test_a_suite_that_ran_no_test_is_failed(self):
        for cases in [[], [("Pex.Later", SKIPPED), ("Pex.DISABLED_Old", DISABLED)]]:
            with self.subTest(cases=cases):
                build = BuildFolder(tempfile.mkdtemp(dir=self.root))
                build.gtest("test_pex", cases)
                build.gtest("test_kelerr")
                self.assertFails(summarize(build.write()), 1, ("linux test_pex", "ran no test"))

    def test_a_preset_where_ctest_ran_no_test_is_failed(self):
        build = BuildFolder(self.root).write()
        run = Run(["--build", str(build.path), "8"])
        self.assertFails(run, 1, ("linux", "ctest ran no test"))

    def test_skipped_tests_are_shown(self):
        build = BuildFolder(self.root)
        build.gtest("test_pex", [("Pex.Converts", PASSED)] * 703 + [("Pex.Later", SKIPPED)])
        run = summarize(build.write())
        self.assertEqual(run.closing, "703 passed, 0 failed, 1 skipped")
        self.assertEqual(run.code, 0)

    def test_a_report_that_cannot_be_read_is_failed(self):
        full = gtest_report([("Pex.Converts", PASSED), ("Pex.Rejects", PASSED)])
        for which, cut in [("ctest", "junit"), ("gtest", full[: len(full) // 2]), ("gtest", "")]:
            with self.subTest(which=which, length=len(cut)):
                build = BuildFolder(tempfile.mkdtemp(dir=self.root))
                build.gtest("test_pex", report=cut if which == "gtest" else True)
                build.write()
                if which == "ctest":
                    junit = build.path / "ctest-junit.xml"
                    junit.write_text(junit.read_text()[:70])
                run = summarize(build)
                self.assertFails(run, 1, ("linux", "cannot be read"))

    def test_a_missing_report_is_failed_with_the_reason_ctest_gives(self):
        build = BuildFolder(self.root)
        build.gtest("test_hostbind", verdict="fail", reason="Exception: SegFault", report=None)
        build.gtest("test_cli", verdict="notrun", report=None)
        self.assertFails(summarize(build.write()), 2, ("linux test_hostbind", "left no report", "SegFault"),
                         ("linux test_cli", "left no report", "not run"))

    def test_a_missing_ctest_report_is_failed(self):
        build = BuildFolder(self.root)
        build.gtest("test_pex")
        self.assertFails(summarize(build.write(junit=False)), 1, ("linux", "ctest wrote no report"))

    def test_a_suite_that_ctest_did_not_run_is_failed(self):
        build = BuildFolder(self.root)
        build.gtest("test_pex")
        build.expected.append("test_faults.default")
        self.assertFails(summarize(build.write()), 1, ("linux test_faults.default", "did not run"))

    def test_other_ctest_tests_and_checks_count_one_case_each(self):
        build = BuildFolder(self.root)
        build.gtest("test_pex")
        build.ctest_test("release_signature", "fail", reason="Failed")
        build.ctest_test("release_symbols", "notrun", skip_message="Unable to find executable")
        build.ctest_test("release_size")
        run = summarize(build.write(), extra=["--case", "fuzz", "failed", "--case", "bench-smoke", "passed"])
        self.assertFails(run, 3, ("linux release_signature", "Failed"), ("linux release_symbols", "not run"),
                         ("fuzz",))
        self.assertTrue(run.closing.startswith("3 passed, 3 failed, 0 skipped"))

    def test_a_ctest_failure_no_test_shows_is_failed(self):
        build = self.good_build()
        run = Run(["--build", str(build.path), "8"])
        self.assertFails(run, 1, ("linux", "ctest exited with 8"))

    def test_a_build_it_cannot_count_is_failed_not_a_traceback(self):
        build = self.good_build()
        expected = build.path / "gtest-results" / "expected.txt"
        expected.unlink()
        expected.mkdir()
        self.assertFails(summarize(build), 1, ("linux", "could not count it"))

    def test_the_closing_line_names_the_first_failures(self):
        build = BuildFolder(self.root)
        build.gtest("test_cli", [(f"Cli.Case{n}", FAILED) for n in range(12)], verdict="fail")
        run = summarize(build.write())
        self.assertFails(run, 12)
        self.assertTrue(run.closing.endswith("linux test_cli Cli.Case7, and 4 more)"), run.closing)


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        SUMMARY = pathlib.Path(sys.argv.pop(1))
    unittest.main(verbosity=2)
