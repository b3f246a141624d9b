"""Runs many quorvel-batch jobs with few program starts of the runner.

A job is its arguments, run in one working folder on files named relatively, so that the texts
the program writes (file names in messages) are the same on both systems. The reference program
runs each job directly; the program under test too when it has no runner, otherwise all jobs go
into a few cmd.exe batch files (QUORVEL_WINE_JOBS, 4 by default) that the runner (wine)
starts side by side: starting wine costs far more than starting a program inside it.
"""

import os
import shlex
import subprocess
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass


@dataclass
class Outcome:
    out: bytes
    err: bytes
    status: int


class Program:
    def __init__(self, path, runner="", env=None):
        self.path = path
        self.runner = shlex.split(runner)
        self.env = dict(os.environ, **(env or {}))

    def run_all(self, folder, jobs):
        """Each job's outcome, in order; jobs are lists of ASCII arguments."""
        if not self.runner:
            with ThreadPoolExecutor(2) as pool:
                return list(pool.map(lambda args: self._direct(folder, args), jobs))
        return self._batched(folder, jobs)

    def _direct(self, folder, args):
        p = subprocess.run([self.path] + args, cwd=folder, env=self.env,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        return Outcome(p.stdout, p.stderr, p.returncode)

    def _batched(self, folder, jobs):
        outcomes = self._batch(folder, jobs, list(range(len(jobs))),
                               int(os.environ.get("QUORVEL_WINE_JOBS", "4")))
        # Wine's cmd.exe now and then fails to start a program when several start at once
        # ("Can't recognize ...", status 9009): those jobs again, one at a time.
        again = [i for i, o in enumerate(outcomes) if o.status == 9009]
        for i, o in zip(again, self._batch(folder, [jobs[i] for i in again], again, 1)):
            outcomes[i] = o
        return outcomes

    def _batch(self, folder, jobs, numbers, parallel):
        exe = "Z:" + os.path.abspath(self.path).replace("/", "\\")
        batches = [["@echo off"] for _ in range(parallel)]
        for i, args in zip(numbers, jobs):
            for a in args:
                if any(c in a for c in '%^&|<>"') or not a.isascii():
                    raise ValueError("argument cmd.exe would not pass as it is: " + a)
            # `>file echo` before the number: "echo 1>file" would redirect handle 1.
            batches[i % parallel] += [
                '"%s" %s <nul >job%d.out 2>job%d.err' % (exe, " ".join(args), i, i),
                ">job%d.rc echo %%ERRORLEVEL%%" % i]
        started = []
        for n, lines in enumerate(batches):
            with open(os.path.join(folder, "jobs%d.bat" % n), "w", newline="\r\n") as f:
                f.write("\n".join(lines) + "\n")
            started.append(subprocess.Popen(self.runner + ["cmd", "/c", "jobs%d.bat" % n],
                                            cwd=folder, env=self.env, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL))
        for p in started:
            p.wait(timeout=1800)
        outcomes = []  # cmd's own status is the last job's: a job that did not run has no .rc
        for i in numbers:
            base = os.path.join(folder, "job%d" % i)
            with open(base + ".out", "rb") as o, open(base + ".err", "rb") as e, \
                    open(base + ".rc") as r:
                outcomes.append(Outcome(o.read(), e.read(), int(r.read().strip())))
        return outcomes
