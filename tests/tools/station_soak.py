#!/usr/bin/env python3
"""Proof that several programming stations sharing one order on PostgreSQL never put one
capcode into two pagers, whatever happens to a station or to the server.

Three stations (separate `pager-cradle batch --auto` processes, each with its own --station
and two simulated cradles) program one order from one ledger on a throwaway PostgreSQL server,
with backups on and 0.5 % random link faults (cradles unplugged and back). Meanwhile stations are
killed with SIGKILL at random moments and started again, one station is paused with SIGSTOP
past its lease and resumed, and the server is stopped and started again once. Then the pagers
still held are seated again and resolved. Afterwards the facts of batch_soak.py hold: no
individual capcode in two pagers, every programmed assignment matches exactly one pager, every
assignment programmed, free, or held with its pager named.

Prints the figures; exits 1 when a fact does not hold.
"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

import batch_soak

CLUSTER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "production",
                       "postgres-cluster")
STATIONS = 3
LEASE_S = 3


class StationSoak(batch_soak.Soak):
    def __init__(self, args, folder):
        args.cradles = 2 * STATIONS
        super().__init__(args, folder)
        self.state = os.path.join(folder, "postgres")
        self.stations = {}
        self.restarts = 0
        self.pauses = 0
        self.server_stops = 0

    def start_server(self):
        subprocess.run([CLUSTER, "start", self.state], check=True)
        with open(os.path.join(self.state, "connection")) as f:
            self.ledger = f.read().strip()
        subprocess.run([batch_soak.tool("PAGER_CRADLE"), "ledger", "init", self.ledger],
                       env=self.env, check=True, capture_output=True)

    def stop_server(self):
        subprocess.run([CLUSTER, "stop", self.state], check=False)

    def station_command(self, number):
        cradles = f"virtual:soak-{2 * number - 1},virtual:soak-{2 * number}"
        command = self.batch_command() + ["--cradles", cradles, "--lease", str(LEASE_S)]
        command[command.index("soak-station")] = f"station-{number}"
        command[command.index(self.backups)] = f"{self.backups}-{number}"
        return command

    def start_station(self, number):
        log = open(os.path.join(self.folder, f"station-{number}.log"), "ab")
        self.stations[number] = subprocess.Popen(self.station_command(number), env=self.env,
                                                 stdout=log, stderr=log)
        self.runs += 1

    def station_ended(self, number):
        process = self.stations[number]
        if process.poll() is None:
            return False
        self.statuses[process.returncode] = self.statuses.get(process.returncode, 0) + 1
        return True

    def soak(self):
        random.seed(self.args.seed)
        self.extend_list(self.args.pagers)
        for number in range(1, STATIONS + 1):
            self.start_station(number)
        deadline = time.monotonic() + self.args.budget_s
        paused_at = self.args.kills // 3
        server_at = 2 * self.args.kills // 3
        while time.monotonic() < deadline:
            time.sleep(random.uniform(0.2, self.args.max_kill_s))
            number = random.randint(1, STATIONS)
            if self.kills < self.args.kills:
                if self.kills == paused_at and not self.pauses:
                    # Asleep past its lease: the others hold its claims; awake, it goes on.
                    self.stations[number].send_signal(signal.SIGSTOP)
                    time.sleep(LEASE_S + 1.5)
                    self.stations[number].send_signal(signal.SIGCONT)
                    self.pauses += 1
                if self.kills == server_at and not self.server_stops:
                    subprocess.run([CLUSTER, "halt", self.state], check=True)
                    time.sleep(2.0)
                    subprocess.run([CLUSTER, "resume", self.state], check=True)
                    self.server_stops += 1
                if self.stations[number].poll() is None:
                    self.stations[number].kill()
                    self.stations[number].wait()
                    self.kills += 1
                self.start_station(number)
                continue
            # No more kills: the stations run until the order is done; one that ended by
            # itself while another still worked is started again.
            if all(self.station_ended(n) for n in self.stations):
                if self.order_finished():
                    break
                for n in self.stations:
                    self.start_station(n)
        for process in self.stations.values():
            if process.poll() is None:
                process.send_signal(signal.SIGINT)
                try:
                    process.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.resolve_held()


def main():
    args = batch_soak.soak_arguments(__doc__.splitlines()[0], kills=20, max_kill_s=1.5,
                                     budget_s=150).parse_args()

    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="pager-station-soak-") as folder:
        soak = StationSoak(args, folder)
        soak.start_server()
        soak.start_cradles()
        try:
            soak.soak()
            problems, counts, attempts, memories = soak.check()
        finally:
            soak.stop_cradles()
            soak.stop_server()
    elapsed = time.monotonic() - started
    print(f"stations: {soak.rows} assignments, {STATIONS} stations with 2 cradles each on "
          f"PostgreSQL, {args.faults_per_million / 10000:.2f} % link faults, backups on, seed "
          f"{args.seed}: {soak.runs} station runs, {soak.kills} kills, {soak.pauses} paused past "
          f"the lease, {soak.server_stops} server stops, {attempts} attempts, {memories} pagers "
          f"seated, {soak.reseated} seated again to resolve, {elapsed:.1f} s")
    return batch_soak.report(soak, problems, counts)


if __name__ == "__main__":
    sys.exit(main())
