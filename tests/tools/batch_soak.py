#!/usr/bin/env python3
"""Proof that a production batch loses nothing.

Runs `pager-cradle batch --auto` over simulated cradles that each hold a stream of pagers and
keep every pager's memory in a file. In the crash soak the batch is killed with SIGKILL at random
moments and run again until it ends by itself; in the fault run every cradle fails 1 % of its
exchanges at random and the batch runs until it ends or its time is up (then Ctrl-C). Afterwards:

  1. no capcode was programmed into two pagers (journal and pager memories),
  2. every journaled success matches its pager's memory file byte for byte,
  3. every assignment is programmed, failed, left or reported interrupted, and none is
     programmed twice or still 'started'.

Prints the figures; exits 1 when a fact does not hold.
"""
import argparse
import csv
import hashlib
import io
import json
import os
import random
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

IMAGE_SIZE = 8192
TEMPLATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging",
                        "samples", "demo-pager-v2.json")
# What a read gives back: the parts a write never sends read as zero.
UNREAD = [(320, 1024), (5120, IMAGE_SIZE)]


def tool(name):
    path = os.environ.get(name)
    if not path:
        sys.exit(f"{name} is not set")
    return path


def as_read(memory):
    data = bytearray(memory)
    for start, end in UNREAD:
        data[start:end] = bytes(end - start)
    return bytes(data)


class Soak:
    def __init__(self, args, folder):
        self.args = args
        self.folder = folder
        self.runtime = os.path.join(folder, "run")
        os.mkdir(self.runtime, 0o700)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, PAGER_NO_LIBUSB="1")
        self.journal = os.path.join(folder, "journal.db")
        self.simulators = []
        self.runs = 0
        self.kills = 0

    def start_cradles(self):
        for site in range(self.args.cradles):
            memory = os.path.join(self.folder, f"memory-{site + 1}")
            os.mkdir(memory)
            command = [tool("PAGER_CRADLE_SIM"), "--name", f"soak-{site + 1}",
                       "--pagers", str(self.args.pagers * 4), "--memory-dir", memory,
                       "--empty-ms", "300", "--delay-ms", str(self.args.delay_ms)]
            if self.args.faults_per_million:
                command += ["--random-faults", str(self.args.faults_per_million),
                            "--seed", str(self.args.seed + site), "--replug-ms", "300"]
            process = subprocess.Popen(command, env=self.env, stdout=subprocess.PIPE, text=True)
            if not process.stdout.readline().startswith("ready:"):
                sys.exit("a simulator did not start")
            self.simulators.append(process)

    def stop_cradles(self):
        for process in self.simulators:
            process.terminate()
            process.wait()

    def prepare_batch(self):
        with open(os.path.join(self.folder, "list.csv"), "w") as out:
            out.write("serial,capcode1,capcode2\n")
            for n in range(self.args.pagers):
                out.write(f"SOAK{n + 1:05d},{1000000 + 8 * n},{1500000 + 8 * n}\n")

    def batch_command(self):
        return [tool("PAGER_CRADLE"), "batch", TEMPLATE,
                "--journal", self.journal, "--assignments", os.path.join(self.folder, "list.csv"),
                "--auto", "--json", "--attempts", str(self.args.attempts)]

    def run_batch(self, kill_after=None, stop_after=None):
        """One run of the batch; killed after kill_after s, Ctrl-C after stop_after s."""
        self.runs += 1
        process = subprocess.Popen(self.batch_command(), env=self.env, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
        limit = kill_after if kill_after is not None else stop_after
        try:
            process.wait(timeout=limit)
        except subprocess.TimeoutExpired:
            if kill_after is not None:
                process.kill()
                self.kills += 1
            else:
                process.send_signal(signal.SIGINT)
            process.wait()
        process.stdout.read()
        return process.returncode

    def crash_soak(self):
        random.seed(self.args.seed)
        while self.kills < self.args.kills:
            status = self.run_batch(kill_after=random.uniform(0.05, self.args.max_kill_s))
            if status in (0, 1) and self.finished():
                break
        deadline = time.monotonic() + self.args.budget_s
        while not self.finished() and time.monotonic() < deadline:
            self.run_batch(stop_after=self.args.budget_s)

    def finished(self):
        """Every assignment programmed or held back: a rerun would change nothing."""
        facts = self.assignment_states()
        return all(state in ("programmed", "interrupted") for state in facts.values())

    def rows(self):
        if not os.path.exists(self.journal):
            return []
        with sqlite3.connect(f"file:{self.journal}?mode=ro", uri=True) as db:
            columns = [c[1] for c in db.execute("PRAGMA table_info(attempts)")]
            return [dict(zip(columns, row)) for row in db.execute("SELECT * FROM attempts")]

    def export(self):
        result = subprocess.run([tool("PAGER_CRADLE"), "journal", self.journal, "--csv"],
                                env=self.env, check=True, capture_output=True, text=True)
        return list(csv.DictReader(io.StringIO(result.stdout)))

    def assignment_states(self):
        states = {n: "left" for n in range(self.args.pagers)}
        rank = {"left": 0, "failed": 1, "interrupted": 2, "started": 3, "programmed": 4}
        for row in self.rows():
            outcome = row["outcome"]
            index = row["assignment"]
            if rank[outcome] > rank[states[index]]:
                states[index] = outcome
        return states

    def assigned_capcodes(self):
        """The capcodes the list hands out; the template's own shared rows are not among them."""
        with open(os.path.join(self.folder, "list.csv")) as f:
            return {int(value) for row in csv.DictReader(f)
                    for key, value in row.items() if key.startswith("capcode") and value}

    def check(self):
        problems = []
        assigned = self.assigned_capcodes()
        entries = self.export()
        programmed = [e for e in entries if e["outcome"] == "programmed"]
        started = [e for e in entries if e["outcome"] == "started"]
        if started:
            problems.append(f"{len(started)} attempts are still 'started'")

        seen = {}
        for entry in programmed:
            for capcode in {c for c in entry["capcodes"].split() if int(c) in assigned}:
                if capcode in seen:
                    problems.append(f"capcode {capcode} programmed twice "
                                    f"({seen[capcode]} and {entry['serial']})")
                seen[capcode] = entry["serial"]

        memories = {}
        for site in range(self.args.cradles):
            folder = os.path.join(self.folder, f"memory-{site + 1}")
            for name in sorted(os.listdir(folder)):
                with open(os.path.join(folder, name), "rb") as f:
                    memories[os.path.join(folder, name)] = f.read()
        by_digest = {}
        for path, memory in memories.items():
            by_digest.setdefault(hashlib.sha256(as_read(memory)).hexdigest(), []).append(path)
        for entry in programmed:
            files = by_digest.get(entry["sha256"], [])
            if len(files) != 1:
                problems.append(f"success {entry['serial']} matches {len(files)} pager memories")

        # The pagers themselves: a capcode the batch handed out (to a success or not) in the
        # enabled rows of two memories.
        owners = {}
        for path in memories:
            decoded = json.loads(subprocess.run([tool("PAGER_IMAGE"), "decode", path],
                                                check=True, capture_output=True,
                                                text=True).stdout)
            enabled = {c for c, on in zip(decoded["capcodes"], decoded["capcodeEnabled"]) if on}
            for capcode in enabled & assigned:
                if capcode in owners:
                    problems.append(f"capcode {capcode} is in two pagers: {owners[capcode]}, {path}")
                owners[capcode] = path

        states = self.assignment_states()
        counts = {}
        for state in states.values():
            counts[state] = counts.get(state, 0) + 1
        per_assignment = {}
        for row in self.rows():
            if row["outcome"] == "programmed":
                per_assignment[row["assignment"]] = per_assignment.get(row["assignment"], 0) + 1
        for index, times in per_assignment.items():
            if times > 1:
                problems.append(f"assignment {index + 1} programmed {times} times")
        return problems, counts, len(entries), len(memories)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mode", choices=["crash", "faults"], default="crash")
    parser.add_argument("--pagers", type=int, default=50)
    parser.add_argument("--cradles", type=int, default=2)
    parser.add_argument("--kills", type=int, default=20)
    parser.add_argument("--max-kill-s", type=float, default=1.0)
    parser.add_argument("--budget-s", type=float, default=120)
    parser.add_argument("--delay-ms", type=int, default=1)
    parser.add_argument("--faults-per-million", type=int, default=0)
    parser.add_argument("--attempts", type=int, default=3)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    if args.mode == "faults":
        args.faults_per_million = args.faults_per_million or 10000
        args.kills = 0
        args.attempts = max(args.attempts, 100)

    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="pager-batch-soak-") as folder:
        soak = Soak(args, folder)
        soak.start_cradles()
        try:
            soak.prepare_batch()
            if args.mode == "crash":
                soak.crash_soak()
            else:
                soak.run_batch(stop_after=args.budget_s)
            problems, counts, attempts, memories = soak.check()
        finally:
            soak.stop_cradles()
    elapsed = time.monotonic() - started
    print(f"{args.mode}: {args.pagers} assignments on {args.cradles} cradles, seed {args.seed}: "
          f"{soak.runs} runs, {soak.kills} kills, {attempts} attempts, {memories} pagers seated, "
          f"{elapsed:.1f} s")
    print("assignments: " + ", ".join(f"{n} {state}" for state, n in sorted(counts.items())))
    for problem in problems:
        print("LOST: " + problem)
    if not problems:
        print("nothing lost: no capcode programmed twice, every success matches its pager, "
              "every assignment accounted for")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
