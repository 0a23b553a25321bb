#!/usr/bin/env python3
"""Figures of pager-cradle against virtual cradles at 1 ms per exchange (the real socket path).

  list:     `pager-cradle list` with no cradle (target: under 50 ms)
  read:     `pager-cradle read`, 276 exchanges
  write:    `pager-cradle write --no-backup --no-verify`, 139 exchanges
            (target for both: at most 1.03 x exchanges x 1 ms + 50 ms of start-up)
  batch:    pagers per second of a hands-free batch on 1, 2, 4 and 24 cradles of one PC, on an
            SQLite ledger (targets: 2, 4 and 24 cradles at least 1.9, 3.6 and 22 times one
            cradle's), and the time per pager beyond the link's own, seating excluded (target:
            at most 5 %)
  stations: pagers per second of 3 stations (separate `pager-cradle batch --station` programs)
            with 8 cradles each, on one order of a PostgreSQL ledger (target: at least
            0.9 x 24 = 21.6 times one cradle's)

Each figure is given against the nominal link time (exchanges x 1 ms) and against the link's
own time measured on this machine: the same number of bare exchanges over the same socket path
(bench_exchange_floor), which includes what every hop between two processes costs here.
The one-cradle, 24-cradle and station batches run --runs times (default 3), interleaved; their
ratios are given as the ratio of the medians with the range over the runs.

Environment: PAGER_CRADLE, PAGER_CRADLE_SIM, PAGER_EXCHANGE_FLOOR (the built programs);
PAGER_BENCH_POSTGRES, a libpq connection text of a PostgreSQL server for the stations (they
work in a schema of their own there, dropped afterwards; psql must be installed); without it a
throwaway server is started with tests/production/postgres-cluster.

Options: --runs N; --only transfers|batch|stations: the list, read and write figures, and of the
batches none, those of one PC, or the one-cradle and station runs.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

DELAY_MS = 1
READ_EXCHANGES = 276
WRITE_EXCHANGES = 139
# Per pager of a batch: identity, 138 blocks, final identity, 138 blocks read back.
PAGER_EXCHANGES = 278
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
TEMPLATE = os.path.join(SOURCE, "packaging", "samples", "demo-pager-v2.json")
POSTGRES_CLUSTER = os.path.join(SOURCE, "tests", "production", "postgres-cluster")
# Pagers each cradle programs in a batch run.
PAGERS_PER_CRADLE = 6
STATIONS = 3
CRADLES_PER_STATION = 8


def program(name):
    path = os.environ.get(name)
    if not path:
        sys.exit(f"{name} is not set")
    return path


def timed(command, env, runs):
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        subprocess.run(command, env=env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - started)
    return statistics.median(times) * 1000


def start_cradle(env, name, extra):
    process = subprocess.Popen([program("PAGER_CRADLE_SIM"), "--name", name,
                                "--delay-ms", str(DELAY_MS)] + extra,
                               env=env, stdout=subprocess.PIPE, text=True)
    if not process.stdout.readline().startswith("ready:"):
        sys.exit("the simulator did not start")
    return process


def stop(processes):
    for process in processes:
        process.terminate()
        process.wait()


def exchange_floor(env, cradle_id):
    """Milliseconds one bare exchange takes on this machine's socket path."""
    runs = [float(subprocess.run([program("PAGER_EXCHANGE_FLOOR"), cradle_id,
                                  str(READ_EXCHANGES)], env=env, check=True,
                                 capture_output=True, text=True).stdout)
            for _ in range(5)]
    return statistics.median(runs)


def single_commands(folder, env):
    cradle = program("PAGER_CRADLE")
    empty = dict(env, XDG_RUNTIME_DIR=os.path.join(folder, "none"))
    os.mkdir(empty["XDG_RUNTIME_DIR"], 0o700)
    listing = timed([cradle, "list"], empty, 20)
    print(f"list, no cradle: {listing:.1f} ms (target < 50 ms)")

    simulator = start_cradle(env, "bench", [])
    try:
        floor = exchange_floor(env, "virtual:bench")
        # Start-up: what a one-exchange command costs beyond its exchange.
        startup = timed([cradle, "list"], env, 10) - floor
        print(f"link's own time here: {floor:.3f} ms per exchange ({floor / DELAY_MS:.3f} x "
              f"nominal); start-up {startup:.1f} ms")
        image = os.path.join(folder, "pager.sav")
        subprocess.run([cradle, "read", "-o", image, "-q"], env=env, check=True,
                       stderr=subprocess.DEVNULL)
        for what, command, exchanges in (
                ("read", [cradle, "read", "-o", image, "-q"], READ_EXCHANGES),
                ("write", [cradle, "write", image, "--no-backup", "--no-verify", "-q"],
                 WRITE_EXCHANGES)):
            elapsed = timed(command, env, 7)
            bound = 1.03 * exchanges * DELAY_MS + 50
            print(f"{what}: {elapsed:.0f} ms for {exchanges} exchanges; "
                  f"{(elapsed - startup) / (exchanges * floor):.3f} x the link's own time "
                  f"after start-up; {(elapsed - startup) / (exchanges * DELAY_MS):.3f} x nominal "
                  f"(bound 1.03 x nominal + 50 ms = {bound:.0f} ms: "
                  f"{'met' if elapsed <= bound else 'missed'})")
    finally:
        stop([simulator])
    return floor


def write_list(path, pagers):
    with open(path, "w") as out:
        out.write("serial,capcode1\n")
        for n in range(pagers):
            out.write(f"B{n:05d},{800000 + 8 * n}\n")


def run_folder(folder, env, name):
    """A fresh folder for one run, with a runtime folder of its own for its cradles."""
    run = os.path.join(folder, name)
    os.mkdir(run)
    env = dict(env, XDG_RUNTIME_DIR=os.path.join(run, "runtime"))
    os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
    return run, env


def batch_command(journal, run, extra):
    return [program("PAGER_CRADLE"), "batch", TEMPLATE, "--journal", journal, "--assignments",
            os.path.join(run, "list.csv"), "--auto", "--json"] + extra


class Station:
    """One `pager-cradle batch` program: its events as they come, per pager timed from the
    start of its write to its programmed event."""

    def __init__(self, command, env, messages):
        self.messages = messages
        with open(messages, "w") as out:
            self.process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                                            stderr=out, text=True)
        self.writing = {}
        self.per_pager = []

    def read_events(self):
        for line in self.process.stdout:
            event = json.loads(line)
            now = time.perf_counter()
            if event["event"] == "site" and event["activity"] == "writing":
                self.writing[event["cradle"]] = now
            elif event["event"] == "pager" and event["outcome"] == "programmed":
                self.per_pager.append(now - self.writing.pop(event["cradle"]))
        self.process.wait()

    def check(self, allowed=(0,)):
        if self.process.returncode not in allowed:
            with open(self.messages) as text:
                sys.exit(f"a batch ended with status {self.process.returncode}:\n{text.read()}")


def batch(folder, env, cradles, run_name):
    """Pagers per second of a batch over `cradles` of one PC, and the median time per pager."""
    pagers = PAGERS_PER_CRADLE * cradles
    run, env = run_folder(folder, env, run_name)
    write_list(os.path.join(run, "list.csv"), pagers)
    simulators = [start_cradle(env, f"site-{n}", ["--pagers", str(pagers), "--empty-ms", "300"])
                  for n in range(cradles)]
    try:
        started = time.perf_counter()
        station = Station(batch_command(os.path.join(run, "journal.db"), run, []), env,
                          os.path.join(run, "messages.txt"))
        station.read_events()
        elapsed = time.perf_counter() - started
    finally:
        stop(simulators)
    station.check()
    if len(station.per_pager) != pagers:
        sys.exit(f"{len(station.per_pager)} of {pagers} pagers were programmed")
    return pagers / elapsed, statistics.median(station.per_pager) * 1000


class LedgerServer:
    """The PostgreSQL server of the station runs: PAGER_BENCH_POSTGRES, or a throwaway one."""

    def __init__(self, folder):
        self.state = None
        self.schemas = []
        self.connection = os.environ.get("PAGER_BENCH_POSTGRES")
        if not self.connection:
            self.state = os.path.join(folder, "postgres")
            subprocess.run([POSTGRES_CLUSTER, "start", self.state], check=True)
            with open(os.path.join(self.state, "connection")) as text:
                self.connection = text.read().strip()

    def psql(self, sql):
        subprocess.run(["psql", "-q", "-v", "ON_ERROR_STOP=1", "-d", self.connection, "-c", sql],
                       check=True, stdout=subprocess.DEVNULL)

    def new_ledger(self, env, name):
        """A fresh schema with the ledger's tables, made by `pager-cradle ledger init`."""
        schema = f"pager_bench_{os.getpid()}_{name}"
        self.psql(f"CREATE SCHEMA {schema}")
        self.schemas.append(schema)
        if self.connection.startswith(("postgresql://", "postgres://")):
            where = (self.connection + ("&" if "?" in self.connection else "?")
                     + f"options=-csearch_path%3D{schema}")
        else:
            where = self.connection + f" options='-csearch_path={schema}'"
        init = subprocess.run([program("PAGER_CRADLE"), "ledger", "init", where], env=env,
                              capture_output=True, text=True)
        if init.returncode != 0:
            sys.exit(f"pager-cradle ledger init failed:\n{init.stderr}")
        return where

    def close(self):
        if self.state:
            subprocess.run([POSTGRES_CLUSTER, "stop", self.state], check=True)
            return
        for schema in self.schemas:
            self.psql(f"DROP SCHEMA {schema} CASCADE")


def stations(folder, env, server, run_name):
    """Pagers per second of STATIONS programs with CRADLES_PER_STATION cradles each, all on one
    order of a PostgreSQL ledger, from the first start to the last end."""
    cradles = STATIONS * CRADLES_PER_STATION
    pagers = PAGERS_PER_CRADLE * cradles
    run, env = run_folder(folder, env, run_name)
    write_list(os.path.join(run, "list.csv"), pagers)
    where = server.new_ledger(env, run_name.replace("-", "_"))
    names = [[f"st{s}-{n}" for n in range(CRADLES_PER_STATION)] for s in range(STATIONS)]
    simulators = [start_cradle(env, name, ["--pagers", str(pagers), "--empty-ms", "300"])
                  for station in names for name in station]
    try:
        started = time.perf_counter()
        programs = [Station(batch_command(where, run, [
            "--order", "bench", "--station", f"station-{s}",
            "--cradles", ",".join(f"virtual:{name}" for name in names[s])]), env,
            os.path.join(run, f"station-{s}.txt")) for s in range(STATIONS)]
        # Each program's events are read as they come, so that none waits on a full pipe.
        readers = [threading.Thread(target=station.read_events) for station in programs]
        for reader in readers:
            reader.start()
        for reader in readers:
            reader.join()
        elapsed = time.perf_counter() - started
    finally:
        stop(simulators)
    # A station that finds nothing free while the others still program their last pagers ends
    # with status 1 ("N pagers of this order are not programmed"): what counts is that every
    # pager of the order was programmed by one of them.
    for station in programs:
        station.check(allowed=(0, 1))
    done = [len(station.per_pager) for station in programs]
    if sum(done) != pagers:
        sys.exit(f"{sum(done)} of {pagers} pagers were programmed")
    per_pager = [t for station in programs for t in station.per_pager]
    return pagers / elapsed, statistics.median(per_pager) * 1000, done


def spread(values, unit="", digits=2):
    if len(values) == 1:
        return f"{values[0]:.{digits}f}{unit}"
    return (f"{statistics.median(values):.{digits}f}{unit} (median of {len(values)}, "
            f"{min(values):.{digits}f} to {max(values):.{digits}f})")


def verdict(met):
    return "met" if met else "MISSED"


def batches(folder, env, floor, runs, only):
    link_ms = PAGER_EXCHANGES * floor

    def per_pager_text(pager_ms):
        return (f"per pager {pager_ms:.0f} ms for {link_ms:.0f} ms of link time "
                f"({100 * (pager_ms / link_ms - 1):+.1f} %; "
                f"{100 * (pager_ms / (PAGER_EXCHANGES * DELAY_MS) - 1):+.1f} % over nominal)")

    one, many, shared, pager_times = [], [], [], []
    server = LedgerServer(folder) if only != "batch" else None
    try:
        for r in range(runs):
            rate, pager_ms = batch(folder, env, 1, f"batch-1-{r}")
            one.append(rate)
            pager_times.append(pager_ms)
            print(f"run {r + 1}: batch on 1 cradle: {rate:.3f} pagers/s; "
                  + per_pager_text(pager_ms), flush=True)
            if only != "stations":
                rate, pager_ms = batch(folder, env, 24, f"batch-24-{r}")
                many.append(rate)
                print(f"run {r + 1}: batch on 24 cradles: {rate:.2f} pagers/s "
                      f"({rate / one[-1]:.2f} x this run's one cradle); "
                      + per_pager_text(pager_ms), flush=True)
            if server:
                rate, pager_ms, done = stations(folder, env, server, f"stations-{r}")
                shared.append(rate)
                print(f"run {r + 1}: {STATIONS} stations x {CRADLES_PER_STATION} cradles on "
                      f"PostgreSQL: {rate:.2f} pagers/s ({rate / one[-1]:.2f} x this run's one "
                      f"cradle; pagers per station {done}); " + per_pager_text(pager_ms),
                      flush=True)
    finally:
        if server:
            server.close()
    rates = {1: statistics.median(one)}
    if only == "batch" or only is None:
        for cradles in (2, 4):
            rate, pager_ms = batch(folder, env, cradles, f"batch-{cradles}")
            rates[cradles] = rate
            print(f"batch on {cradles} cradles: {rate:.2f} pagers/s "
                  f"({rate / rates[1]:.2f} x one cradle); " + per_pager_text(pager_ms))
    base = rates[1]
    print(f"one cradle: {spread(one, ' pagers/s', 3)}; per pager "
          f"{100 * (statistics.median(pager_times) / link_ms - 1):+.1f} % over the link's own "
          f"time (target <= +5 %: "
          f"{verdict(statistics.median(pager_times) <= 1.05 * link_ms)})")
    if 2 in rates:
        print(f"targets: 2 cradles >= 1.9 x (got {rates[2] / base:.2f}: "
              f"{verdict(rates[2] / base >= 1.9)}), 4 cradles >= 3.6 x (got "
              f"{rates[4] / base:.2f}: {verdict(rates[4] / base >= 3.6)})")
    if many:
        ratios = [rate / base for rate in many]
        print(f"24 cradles on one PC: {spread(many, ' pagers/s')}, "
              f"{spread(ratios, ' x')} one cradle's (target >= 22 x: "
              f"{verdict(min(ratios) >= 22)})")
    if shared:
        ratios = [rate / base for rate in shared]
        target = 0.9 * STATIONS * CRADLES_PER_STATION
        print(f"{STATIONS} stations x {CRADLES_PER_STATION} cradles on one PostgreSQL order: "
              f"{spread(shared, ' pagers/s')}, {spread(ratios, ' x')} one cradle's "
              f"(target >= {target:.1f} x: {verdict(min(ratios) >= target)})")


def main():
    parser = argparse.ArgumentParser(description="pager-cradle figures at 1 ms per exchange")
    parser.add_argument("--runs", type=int, default=3,
                        help="runs of the 1-cradle, 24-cradle and station batches")
    parser.add_argument("--only", choices=("transfers", "batch", "stations"),
                        help="one part alone")
    arguments = parser.parse_args()
    began = time.perf_counter()
    with tempfile.TemporaryDirectory(prefix="pager-cradle-bench-") as folder:
        env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(folder, "runtime"),
                   PAGER_NO_LIBUSB="1")
        os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
        floor = single_commands(folder, env)
        if arguments.only != "transfers":
            batches(folder, env, floor, arguments.runs, arguments.only)
    print(f"the whole benchmark took {time.perf_counter() - began:.0f} s")


if __name__ == "__main__":
    main()
