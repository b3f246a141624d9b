"""The reference vectors through the program under test and through the Linux program.

usage: vectors.py FIXTURES WORK ULP_BOUND   (BATCH, RUN and REF in the environment)

Rounded output, messages and exit statuses must be the same bytes; full-precision results may
differ by at most ULP_BOUND units in the last place (the C libraries' sin, atan, hypot differ).
Prints one PASS or FAIL line a case and the largest difference measured; exits 1 on a failure.
"""

import csv
import io
import math
import os
import sys
from collections import defaultdict

from jobs import Program

MODES = {  # mode: fixture, the two typed values
    "forward": ("forward.csv", "L_text", "B_text"),
    "inverse": ("inverse.csv", "X_text", "Y_text"),
    "zone": ("zone.csv", "X1_text", "Y1_text"),
}
# The ellipsoids, methods and zones the Linux tests use, on the points of central meridian 117.
OPTION_SETS = [
    ["--method", "exact"],
    ["--method", "exact", "--ellipsoid", "cgcs2000"],
    ["--method", "exact", "--ellipsoid", "xian80"],
    ["--method", "exact", "--ellipsoid", "wgs84"],
    ["--method", "exact", "--ellipsoid", "6378140,298.257"],
    ["--method", "exact", "--ellipsoid", "cgcs2000", "--k0", "0.9996", "--false-easting", "0"],
    ["--compare"],
    ["--k0", "0.9996", "--false-easting", "250000.5"],
]
ZONE_SETS = [
    ["--zone", "3", "--zone-prefix"],
    ["--zone", "6"],
    ["--zone", "3", "--method", "exact", "--ellipsoid", "cgcs2000"],
    ["--zone", "6", "--zone-prefix", "--method", "exact", "--ellipsoid", "cgcs2000"],
]
ADDED = ["--convergence", "--scale"]


def read_fixture(folder, name):
    with open(os.path.join(folder, name), newline="") as f:
        return list(csv.DictReader(f))


class Suite:
    def __init__(self, fixtures, work, bound):
        self.fixtures, self.work, self.bound = fixtures, work, bound
        self.test_dir, self.ref_dir = os.path.join(work, "test"), os.path.join(work, "linux")
        for folder in ("in", "test", "linux"):
            os.makedirs(os.path.join(work, folder), exist_ok=True)
        self.test = Program(os.environ["BATCH"], os.environ.get("RUN", ""),
                            {"LANG": "C.UTF-8", "LC_ALL": ""})
        self.ref = Program(os.environ["REF"], "", {"LC_ALL": "C"})
        self.cases = []  # (name, jobs, kind): kind "rounded", "full" or "report"
        self.worst = (0.0, "")
        self.failed = 0

    def write(self, name, rows):
        """An input file, named as both programs find it from their own working folders."""
        with open(os.path.join(self.work, "in", name), "w", newline="") as f:
            f.writelines("%s\t%s\t%s\n" % row for row in rows)
        return "../in/" + name

    def fixture_groups(self, mode):
        fixture, a, b = MODES[mode]
        groups = defaultdict(list)
        for r in read_fixture(self.fixtures, fixture):
            groups[(r["Lo_text"], r.get("Ls_text", ""))].append((r["id"], r[a], r[b]))
        return groups

    def add(self, name, jobs):
        self.cases.append((name + ", rounded", [j + ADDED for j in jobs], "rounded"))
        self.cases.append((name + ", full precision", [j + ADDED + ["--full"] for j in jobs],
                           "full"))

    def plan(self):
        for mode in MODES:
            jobs = []
            for n, ((lo, ls), rows) in enumerate(sorted(self.fixture_groups(mode).items())):
                meridians = ["--lo", lo] + (["--ls", ls] if ls else [])
                jobs.append([mode] + meridians + [self.write("%s%d.txt" % (mode, n), rows)])
            self.add(mode + " vectors", jobs)
            at117 = [r for (lo, ls), rows in self.fixture_groups(mode).items()
                     if lo == "117" and ls in ("", "120") for r in rows]
            base = [mode, "--lo", "117"] + (["--ls", "120"] if mode == "zone" else [])
            points = self.write(mode + "117.txt", at117)
            self.add(mode + " ellipsoids and methods",
                     [base + s + [points] for s in OPTION_SETS])
            # The printed report formats with the window's display rules.
            self.cases.append((mode + " vectors, printed report", [base + [
                "--report", mode + "117-report.txt", "-o", mode + "117-out.csv", points]],
                "report"))
        self.plan_zones()

    def plan_zones(self):
        everywhere = [r for rows in self.fixture_groups("forward").values() for r in rows]
        forward = self.write("forward-all.txt", everywhere)
        self.add("forward zones", [["forward"] + s + [forward] for s in ZONE_SETS])
        # Eastings with the zone number in front, from the reference program's forward.
        prefixed = []
        for width in ("3", "6"):
            o = self.ref.run_all(self.ref_dir, [["forward", "--zone", width, "--zone-prefix",
                                              "--method", "exact", "--ellipsoid", "cgcs2000",
                                              forward]])[0]
            rows = list(csv.reader(io.StringIO(o.out.decode())))[1:]
            prefixed.append(self.write("prefixed%s.txt" % width,
                                       [(r[0], r[3], r[4]) for r in rows]))
        jobs = []
        for mode in ("inverse", "zone"):
            for width, points in zip(("3", "6"), prefixed):
                for s in (["--method", "exact", "--ellipsoid", "cgcs2000"], []):
                    jobs.append([mode, "--zone", width] + s + [points])
        jobs.append(["zone", "--zone", "3", "--ls", "120", "--method", "exact", prefixed[0]])
        self.add("inverse and zone with zone numbers", jobs)

    def run(self):
        everything = [j for _, jobs, _ in self.cases for j in jobs]
        tested = iter(self.test.run_all(self.test_dir, everything))
        for name, jobs, kind in self.cases:
            wanted = self.ref.run_all(self.ref_dir, jobs)
            got = [next(tested) for _ in jobs]
            self.judge(name, jobs, kind, wanted, got)

    def written_files_differ(self, job):
        names = [job[i + 1] for i, a in enumerate(job) if a in ("--report", "-o")]
        read = lambda folder, n: open(os.path.join(folder, n), "rb").read()
        return ["%s: %s differs from Linux's" % (" ".join(job), n) for n in names
                if not os.path.exists(os.path.join(self.test_dir, n)) or
                read(self.test_dir, n) != read(self.ref_dir, n)]

    def judge(self, name, jobs, kind, wanted, got):
        problems = []
        for job, w, g in zip(jobs, wanted, got):
            where = " ".join(job)
            # Messages are text: Windows may end their lines with CR LF, never CR CR LF.
            err = g.err.replace(b"\r\n", b"\n")
            if (w.status, w.err) != (g.status, err) or b"\r\r" in g.err:
                problems.append("%s: status %d, messages %s; Linux: %d, %s" %
                                ((where, g.status) + first_difference(g.err, w.err)[:1] +
                                 (w.status,) + first_difference(g.err, w.err)[1:]))
            if kind == "full":
                problems += self.compare_full(where, w.out, g.out)
            elif w.out != g.out:
                problems.append("%s: output differs:\n      %s\n      Linux: %s" %
                                ((where,) + first_difference(g.out, w.out)))
            if kind == "report":
                problems += self.written_files_differ(job)
        lines = sum(len(w.out.splitlines()) for w in wanted)
        if kind == "report":
            with open(os.path.join(self.ref_dir, jobs[0][jobs[0].index("--report") + 1])) as f:
                lines = len(f.readlines())
        self.verdict(name, problems, lines)

    def compare_full(self, where, wanted, got):
        problems = []
        if [l[-2:] for l in got.splitlines(True)] != [l[-2:] for l in wanted.splitlines(True)]:
            problems.append("%s: line ends differ from Linux's: %r" % (where, got[:80]))
        # The values are measured all the same.
        w_rows = list(csv.reader(io.StringIO(wanted.decode())))
        g_rows = list(csv.reader(io.StringIO(got.replace(b"\r\r\n", b"\r\n").decode(
            errors="replace"))))
        if len(w_rows) != len(g_rows):
            return problems + ["%s: %d rows; Linux: %d" % (where, len(g_rows), len(w_rows))]
        header = w_rows[0] if w_rows else []
        words = where.split()
        easting = abs(float(words[words.index("--false-easting") + 1])) \
            if "--false-easting" in words else 500000.0
        for w_row, g_row in zip(w_rows[1:], g_rows[1:]):
            if len(w_row) != len(g_row):
                problems.append("%s: row %s; Linux: %s" % (where, g_row, w_row))
                continue
            for column, (w, g) in enumerate(zip(w_row, g_row)):
                if w == g:
                    continue
                d = ulps(w, g, header[column] in DIFFERENCES,
                         easting if header[column] in EASTINGS else 0)
                if d is None or d > self.bound:
                    problems.append("%s: %s column %d is %s; Linux: %s (%s ulp)" %
                                    (where, w_row[0], column + 1, g, w, d))
                if d is not None and d > self.worst[0]:
                    self.worst = (d, "%s %s column %d: %s; Linux: %s" %
                                  (where, w_row[0], column + 1, g, w))
        return problems

    def verdict(self, name, problems, lines):
        if problems:
            self.failed += 1
            print("FAIL: %s (%d differences)" % (name, len(problems)))
            for p in problems[:5]:
                print("    " + p)
        else:
            print("PASS: %s (%d lines)" % (name, lines))


def first_difference(got, wanted):
    """The first line, with its line end, where the two outputs part."""
    got, wanted = got.splitlines(True), wanted.splitlines(True)
    for g, w in zip(got + [b""] * len(wanted), wanted + [b""] * len(got)):
        if g != w:
            return repr(g), repr(w)
    return "", ""


# --compare's columns: millimetres between two projections of the same point, whose own last
# places are those of coordinates up to 10,000 km.
DIFFERENCES = {"dX", "dY", "dB", "dL"}
COORDINATE_ULP_MM = math.ulp(1e7) * 1000


# Eastings carry the false easting: y + 500000 near -500000 keeps the last places of y alone.
EASTINGS = {"Y", "Y2"}


def ulps(a, b, difference=False, floor=0.0):
    """How many units in the last place of the larger one (or of `floor`, the false easting an
    easting carries) the two decimals lie apart; for a difference of coordinates, in the last
    place of the coordinates."""
    try:
        x, y = float(a), float(b)
    except ValueError:
        return None
    if math.isnan(x) or math.isnan(y) or math.isinf(x) or math.isinf(y):
        return None
    unit = COORDINATE_ULP_MM if difference else math.ulp(max(abs(x), abs(y), floor))
    return abs(x - y) / unit


def main():
    fixtures, work, bound = sys.argv[1], sys.argv[2], float(sys.argv[3])
    os.makedirs(work, exist_ok=True)
    suite = Suite(fixtures, work, bound)
    suite.plan()
    suite.run()
    print("full precision: at most %g ulp from Linux (bound %g)%s" %
          (suite.worst[0], bound, ": " + suite.worst[1] if suite.worst[1] else ""))
    return 1 if suite.failed else 0


if __name__ == "__main__":
    sys.exit(main())
