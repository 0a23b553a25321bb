#!/usr/bin/env python3
"""Proof that no capcode of a production order ever reaches two pagers, whatever happens.

Runs `pager-cradle batch --auto` over simulated cradles that each pass a stream of pagers and
keep every pager's memory in a file, with everything a user may turn on at once: backups, random
link faults (the cradle sometimes unplugged, then back), the batch killed with SIGKILL at random
moments and run again, the backup folder taken away for a while (a file in its place), and the
order extended twice by rows appended to its list between kills. Then the pagers still held are
resolved in their cradles (pager-cradle resolve). Afterwards:

  1. no individual capcode is in the enabled rows of two pager memories,
  2. every programmed assignment's image matches exactly one pager memory byte for byte,
  3. every assignment is programmed, free, or held with its pager named (station and cradle),
     none still claimed.

Prints the figures; exits 1 when a fact does not hold.
"""
import argparse
import contextlib
import csv
import hashlib
import io
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
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
        self.ledger = os.path.join(folder, "ledger.db")
        self.backups = os.path.join(folder, "backups")
        self.list = os.path.join(folder, "list.csv")
        self.simulators = []
        self.runs = 0
        self.kills = 0
        self.rows = 0
        self.extensions = 0
        self.backup_outages = 0
        self.reseated = 0
        self.statuses = {}

    def start_cradles(self):
        for site in range(self.args.cradles):
            memory = os.path.join(self.folder, f"memory-{site + 1}")
            os.mkdir(memory)
            command = [tool("PAGER_CRADLE_SIM"), "--name", f"soak-{site + 1}",
                       "--pagers", str(self.args.pagers * 4), "--memory-dir", memory,
                       "--empty-ms", "200", "--delay-ms", str(self.args.delay_ms),
                       "--random-faults", str(self.args.faults_per_million),
                       "--seed", str(self.args.seed + site), "--replug-ms", "200"]
            process = subprocess.Popen(command, env=self.env, stdout=subprocess.PIPE, text=True)
            if not process.stdout.readline().startswith("ready:"):
                sys.exit("a simulator did not start")
            self.simulators.append(process)

    def stop_cradles(self):
        for process in self.simulators:
            process.terminate()
            process.wait()

    def extend_list(self, rows):
        """The order's list grows to `rows` rows; rows already there stay as they are."""
        with open(self.list, "a") as out:
            if self.rows == 0:
                out.write("serial,capcode1\n")
            for n in range(self.rows, rows):
                out.write(f"SOAK{n + 1:05d},{1000000 + 8 * n}\n")
        self.rows = rows

    def batch_command(self):
        return [tool("PAGER_CRADLE"), "batch", TEMPLATE, "--order", "soak",
                "--journal", self.ledger, "--assignments", self.list, "--auto", "--json",
                "--attempts", str(self.args.attempts), "--backup-dir", self.backups,
                "--station", "soak-station"]

    def run_batch(self, kill_after=None, stop_after=None, outage_after=None):
        """One run; killed after kill_after s, Ctrl-C after stop_after s; the backup folder
        replaced by a file after outage_after s until the run ends."""
        self.runs += 1
        # Its JSON lines go to a file: a pipe nobody reads while it runs would fill and stall it.
        with open(os.path.join(self.folder, "batch.log"), "ab") as log:
            process = subprocess.Popen(self.batch_command(), env=self.env, stdout=log,
                                       stderr=subprocess.DEVNULL)
        timer = None
        if outage_after is not None:
            timer = threading.Timer(outage_after, self.take_backups_away)
            timer.start()
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
        if timer:
            timer.cancel()
            self.bring_backups_back()
        self.statuses[process.returncode] = self.statuses.get(process.returncode, 0) + 1
        return process.returncode

    def take_backups_away(self):
        if os.path.isdir(self.backups):
            os.rename(self.backups, self.backups + ".away")
            with open(self.backups, "w") as f:
                f.write("not a folder")
            self.backup_outages += 1

    def bring_backups_back(self):
        if os.path.isdir(self.backups + ".away"):
            os.remove(self.backups)
            os.rename(self.backups + ".away", self.backups)

    def soak(self):
        random.seed(self.args.seed)
        kills = self.args.kills
        self.extend_list(self.args.pagers * 3 // 5)
        while self.kills < kills:
            if self.kills in (kills // 3, 2 * kills // 3) and self.extensions < 2 and \
                    self.rows < self.args.pagers:
                self.extend_list(self.args.pagers if self.extensions else self.args.pagers * 4 // 5)
                self.extensions += 1
            if self.kills == kills // 2 and not self.backup_outages:
                # The backup folder goes away while a run writes: that run stops by itself.
                self.run_batch(stop_after=3.0, outage_after=random.uniform(0.2, 0.6))
            status = self.run_batch(kill_after=random.uniform(0.05, self.args.max_kill_s))
            if status in (0, 1) and self.order_finished():
                break
        self.extend_list(self.args.pagers)
        deadline = time.monotonic() + self.args.budget_s
        while not self.order_finished() and time.monotonic() < deadline:
            self.run_batch(stop_after=max(1.0, deadline - time.monotonic()))
        self.resolve_held()

    def resolve_held(self):
        """Each pager that may hold held numbers is seated again and resolved: those still in
        their cradles there, those taken out in a cradle of their own, one by one."""
        for site in range(self.args.cradles):
            self.resolve(f"virtual:soak-{site + 1}")
        held = {int(e["capcodes"].split()[0]) for e in self.export() if e["state"] == "held"}
        for path, enabled in self.pager_capcodes().items():
            if not enabled & held:
                continue
            process = subprocess.Popen([tool("PAGER_CRADLE_SIM"), "--name", "reseat",
                                        "--memory", path], env=self.env,
                                       stdout=subprocess.PIPE, text=True)
            if process.stdout.readline().startswith("ready:"):
                self.resolve("virtual:reseat")
                self.reseated += 1
            process.terminate()
            process.wait()

    def resolve(self, cradle):
        for _ in range(5):
            result = subprocess.run([tool("PAGER_CRADLE"), "resolve", "--journal", self.ledger,
                                     "-c", cradle, "-q"], env=self.env, capture_output=True,
                                    text=True)
            if result.returncode != 3:  # 3: the link failed; seat it again
                return

    def pager_capcodes(self):
        """Each pager memory file, with the capcodes of its enabled rows."""
        found = {}
        for site in range(self.args.cradles):
            folder = os.path.join(self.folder, f"memory-{site + 1}")
            for name in sorted(os.listdir(folder)):
                path = os.path.join(folder, name)
                decoded = json.loads(subprocess.run([tool("PAGER_IMAGE"), "decode", path],
                                                    check=True, capture_output=True,
                                                    text=True).stdout)
                found[path] = {c for c, on in zip(decoded["capcodes"], decoded["capcodeEnabled"])
                               if on}
        return found

    def export(self):
        result = subprocess.run([tool("PAGER_CRADLE"), "journal", self.ledger, "--csv"],
                                env=self.env, check=True, capture_output=True, text=True)
        return list(csv.DictReader(io.StringIO(result.stdout)))

    def states(self, entries=None):
        """The state of each assignment now, from the journal's last column."""
        states = {}
        for entry in entries if entries is not None else self.export():
            states[int(entry["assignment"])] = entry["state"]
        return states

    def order_finished(self):
        states = self.states()
        return len(states) == self.rows and all(s in ("programmed", "held")
                                                for s in states.values())

    def check(self):
        problems = []
        entries = self.export()
        with open(self.list) as f:
            assigned = {int(row["capcode1"]) for row in csv.DictReader(f)}

        memories = {}
        for site in range(self.args.cradles):
            folder = os.path.join(self.folder, f"memory-{site + 1}")
            for name in sorted(os.listdir(folder)):
                with open(os.path.join(folder, name), "rb") as f:
                    memories[os.path.join(folder, name)] = f.read()

        # 1. The pagers themselves.
        owners = {}
        for path in memories:
            decoded = json.loads(subprocess.run([tool("PAGER_IMAGE"), "decode", path],
                                                check=True, capture_output=True,
                                                text=True).stdout)
            enabled = {c for c, on in zip(decoded["capcodes"], decoded["capcodeEnabled"]) if on}
            for capcode in enabled & assigned:
                if capcode in owners:
                    problems.append(f"capcode {capcode} is in two pagers: {owners[capcode]}, "
                                    f"{path}")
                owners[capcode] = path

        # 2. Each programmed assignment, by the image of the attempt that programmed it.
        by_digest = {}
        for path, memory in memories.items():
            by_digest.setdefault(hashlib.sha256(as_read(memory)).hexdigest(), []).append(path)
        states = self.states(entries)
        last_good = {}
        for entry in entries:
            if entry["outcome"] in ("programmed", "resolved") and \
                    entry["state"] == "programmed":
                last_good[int(entry["assignment"])] = entry
        for number, state in states.items():
            if state != "programmed":
                continue
            entry = last_good.get(number)
            files = by_digest.get(entry["sha256"], []) if entry else []
            if len(files) != 1:
                problems.append(f"programmed assignment {number} matches {len(files)} pagers")

        # 3. Every assignment accounted for.
        counts = {}
        for number in range(1, self.rows + 1):
            state = states.get(number, "free")
            counts[state] = counts.get(state, 0) + 1
            if state not in ("programmed", "free", "held"):
                problems.append(f"assignment {number} is {state}")
        for entry in entries:
            if entry["state"] == "held" and not (entry["cradle"] and entry["station"]):
                problems.append(f"held assignment {entry['assignment']} names no pager")
        return problems, counts, len(entries), len(memories)


def soak_arguments(description, kills, max_kill_s, budget_s):
    """The options both soaks take, with their own defaults for how hard they go."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--pagers", type=int, default=60)
    parser.add_argument("--kills", type=int, default=kills)
    parser.add_argument("--max-kill-s", type=float, default=max_kill_s)
    parser.add_argument("--budget-s", type=float, default=budget_s)
    parser.add_argument("--delay-ms", type=int, default=1)
    parser.add_argument("--faults-per-million", type=int, default=5000)
    parser.add_argument("--attempts", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    return parser


def main():
    parser = soak_arguments(__doc__.splitlines()[0], kills=30, max_kill_s=1.0, budget_s=120)
    parser.add_argument("--cradles", type=int, default=3)
    parser.add_argument("--keep", help="run in this folder and keep it, to look into afterwards")
    args = parser.parse_args()

    started = time.monotonic()
    if args.keep:
        shutil.rmtree(args.keep, ignore_errors=True)
        os.makedirs(args.keep)
    with (tempfile.TemporaryDirectory(prefix="pager-batch-soak-") if not args.keep
          else contextlib.nullcontext(args.keep)) as folder:
        soak = Soak(args, folder)
        soak.start_cradles()
        try:
            soak.soak()
            problems, counts, attempts, memories = soak.check()
        finally:
            soak.stop_cradles()
    elapsed = time.monotonic() - started
    print(f"soak: {soak.rows} assignments (extended {soak.extensions} times) on {args.cradles} "
          f"cradles, {args.faults_per_million / 10000:.2f} % link faults, backups on "
          f"(taken away {soak.backup_outages} times), seed {args.seed}: {soak.runs} runs, "
          f"{soak.kills} kills, {attempts} attempts, {memories} pagers seated, {soak.reseated} "
          f"seated again to resolve, {elapsed:.1f} s")
    return report(soak, problems, counts)


def report(soak, problems, counts):
    """The facts of a soak, after its first line; the exit status."""
    print("exit statuses: " + ", ".join(f"{n}x {s}" for s, n in sorted(soak.statuses.items())))
    print("assignments: " + ", ".join(f"{n} {state}" for state, n in sorted(counts.items())))
    for problem in problems:
        print("LOST: " + problem)
    if not problems:
        print("nothing lost: no capcode in two pagers, every programmed assignment matches its "
              "pager, every assignment accounted for")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
