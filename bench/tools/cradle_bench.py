#!/usr/bin/env python3
"""Figures of pager-cradle against virtual cradles at 1 ms per exchange (the real socket path).

  list:     `pager-cradle list` with no cradle (target: under 50 ms)
  read:     `pager-cradle read`, 276 exchanges
  write:    `pager-cradle write --no-backup --no-verify`, 139 exchanges
            (target for both: at most 1.03 x exchanges x 1 ms + 50 ms of start-up)
  batch:    pagers per second of a hands-free batch on 1, 2 and 4 cradles (targets: 2 and 4
            cradles at least 1.9 and 3.6 times one cradle's), and the time per pager beyond
            the link's own, seating excluded (target: at most 5 %)

Each figure is given against the nominal link time (exchanges x 1 ms) and against the link's
own time measured on this machine: the same number of bare exchanges over the same socket path
(bench_exchange_floor), which includes what every hop between two processes costs here.

Environment: PAGER_CRADLE, PAGER_CRADLE_SIM, PAGER_EXCHANGE_FLOOR (the built programs).
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

DELAY_MS = 1
READ_EXCHANGES = 276
WRITE_EXCHANGES = 139
# Per pager of a batch: identity, 138 blocks, final identity, 138 blocks read back.
PAGER_EXCHANGES = 278
TEMPLATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging",
                        "samples", "demo-pager-v2.json")


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


def batch(folder, env, cradles, pagers):
    """Pagers per second of a batch of `pagers` over `cradles`, and the time per pager."""
    run = os.path.join(folder, f"batch-{cradles}")
    os.mkdir(run)
    env = dict(env, XDG_RUNTIME_DIR=os.path.join(run, "runtime"))
    os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
    with open(os.path.join(run, "list.csv"), "w") as out:
        out.write("serial,capcode1\n")
        for n in range(pagers):
            out.write(f"B{n:05d},{800000 + 8 * n}\n")
    simulators = [start_cradle(env, f"site-{n}", ["--pagers", str(pagers), "--empty-ms", "300"])
                  for n in range(cradles)]
    try:
        command = [program("PAGER_CRADLE"), "batch", TEMPLATE, "--journal",
                   os.path.join(run, "journal.db"), "--assignments",
                   os.path.join(run, "list.csv"), "--auto", "--json"]
        started = time.perf_counter()
        process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, text=True)
        writing = {}
        per_pager = []
        for line in process.stdout:
            event = json.loads(line)
            now = time.perf_counter()
            if event["event"] == "site" and event["activity"] == "writing":
                writing[event["cradle"]] = now
            elif event["event"] == "pager" and event["outcome"] == "programmed":
                per_pager.append(now - writing.pop(event["cradle"]))
        process.wait()
        elapsed = time.perf_counter() - started
    finally:
        stop(simulators)
    return pagers / elapsed, statistics.median(per_pager) * 1000


def main():
    with tempfile.TemporaryDirectory(prefix="pager-cradle-bench-") as folder:
        env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(folder, "runtime"),
                   PAGER_NO_LIBUSB="1")
        os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
        floor = single_commands(folder, env)
        rates = {}
        for cradles in (1, 2, 4):
            rate, pager_ms = batch(folder, env, cradles, 6 * cradles)
            rates[cradles] = rate
            link_ms = PAGER_EXCHANGES * floor
            print(f"batch on {cradles} cradle{'s' if cradles > 1 else ''}: {rate:.2f} pagers/s"
                  + (f" ({rate / rates[1]:.2f} x one cradle)" if cradles > 1 else "")
                  + f"; per pager {pager_ms:.0f} ms for {link_ms:.0f} ms of link time "
                  f"({100 * (pager_ms / link_ms - 1):+.1f} %; "
                  f"{100 * (pager_ms / (PAGER_EXCHANGES * DELAY_MS) - 1):+.1f} % over nominal)")
        print(f"targets: 2 cradles >= 1.9 x (got {rates[2] / rates[1]:.2f}), "
              f"4 cradles >= 3.6 x (got {rates[4] / rates[1]:.2f}), per pager <= +5 %")


if __name__ == "__main__":
    main()
