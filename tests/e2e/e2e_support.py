"""Drives the real pager-programmer from outside, as a technician would: a simulated cradle
(pager-cradle-sim) holds the pager, the program runs on the X display the wrapper provides, and
its controls are reached over AT-SPI by their accessible names. Combo boxes, whose items
AT-SPI cannot select, are opened with a click and picked with the arrow keys (xdotool).

Paths of the three programs come from the environment: PAGER_PROGRAMMER, PAGER_CRADLE_SIM,
PAGER_IMAGE.
"""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import warnings

import pyatspi

# pyatspi still calls the interface getters its own library has deprecated.
warnings.filterwarnings("ignore", category=DeprecationWarning)

PROGRAMMER = os.environ.get("PAGER_PROGRAMMER", "pager-programmer")
CRADLE_SIM = os.environ.get("PAGER_CRADLE_SIM", "pager-cradle-sim")
PAGER_IMAGE = os.environ.get("PAGER_IMAGE", "pager-image")

TITLE_V1 = "4730 & 6920 Pager Programmer v3.05 (V1 mode)"
TITLE_V2 = "4730 & 6920 Pager Programmer v3.05 (V2 mode)"
ADVANCED_CODE = "techmod417"
SERIAL_CODE = "techmod952"
USB_ERROR = "USB error,Please reinsert the USB device ! "
# The time stamp EncodeImage writes with every gather; it is the one part of a written image
# the test cannot predict.
TIME_STAMP = range(196, 201)
FIXED_TIME = "2025-06-01T09:00"

DEFAULT_TIMEOUT = 20.0


class E2eFailure(AssertionError):
    pass


def wait_until(condition, timeout=DEFAULT_TIMEOUT, what="condition", interval=0.05):
    """Polls condition() until it returns a true value, which is returned."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except (E2eFailure, RuntimeError, LookupError) as error:
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last problem: {last_error})" if last_error else ""
            raise E2eFailure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


# ---- files and images -------------------------------------------------------------------------


def pager_image(*arguments):
    done = subprocess.run([PAGER_IMAGE, *arguments], capture_output=True, text=True)
    if done.returncode != 0:
        raise E2eFailure(f"pager-image {' '.join(arguments)} failed: {done.stderr.strip()}")
    return done.stdout


def decode(image_path, mode=None):
    arguments = ["decode", image_path] + (["--mode", mode] if mode else [])
    return json.loads(pager_image(*arguments))


def encode(settings, output_path, mode, time_stamp=FIXED_TIME):
    """Writes the image pager-image builds from a settings dict."""
    settings_path = output_path + ".json"
    with open(settings_path, "w", encoding="latin-1") as out:
        json.dump(settings, out, ensure_ascii=True)
    pager_image("encode", settings_path, "--mode", mode, "--time", time_stamp, "-o", output_path)
    return output_path


def read_bytes(path):
    with open(path, "rb") as source:
        return source.read()


def differing_addresses(first, second, ignored=TIME_STAMP):
    if len(first) != len(second):
        return [f"length {len(first)} != {len(second)}"]
    return [a for a in range(len(first)) if first[a] != second[a] and a not in ignored]


def settings_differences(actual, expected):
    """One line per setting whose value differs, for readable failures."""
    lines = []
    for name in sorted(set(actual) | set(expected)):
        if actual.get(name) != expected.get(name):
            lines.append(f"  {name}: got {actual.get(name)!r}, expected {expected.get(name)!r}")
    return lines


# ---- processes ---------------------------------------------------------------------------------


class Workspace:
    """A test's own folders: the program's working directory and its XDG_RUNTIME_DIR, where
    the virtual cradles are announced, so tests running side by side never see each other's
    cradle."""

    def __init__(self):
        # Short: the cradle's socket path below it must fit in 108 bytes.
        self.root = tempfile.mkdtemp(prefix="e2e-")
        self.work = os.path.join(self.root, "work")
        self.runtime = os.path.join(self.root, "runtime")
        os.makedirs(self.work)
        os.makedirs(self.runtime, mode=0o700)
        os.chmod(self.runtime, 0o700)

    def path(self, name):
        return os.path.join(self.root, name)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Cradle:
    """pager-cradle-sim holding the pager whose memory is in memory_path."""

    def __init__(self, workspace, memory_path, extra_arguments=()):
        self.workspace = workspace
        self.memory_path = memory_path
        self.extra_arguments = list(extra_arguments)
        self.process = None
        self.log_path = workspace.path("cradle-sim.log")

    def plug_in(self):
        env = dict(os.environ, XDG_RUNTIME_DIR=self.workspace.runtime)
        log = open(self.log_path, "a")
        self.process = subprocess.Popen(
            [CRADLE_SIM, "--memory", self.memory_path, "--verbose", *self.extra_arguments],
            stdout=log, stderr=subprocess.STDOUT, env=env)
        log.close()

        def ready():
            if self.process.poll() is not None:
                raise E2eFailure(f"pager-cradle-sim ended: {self.log()}")
            return "ready:" in self.log()

        wait_until(ready, 10, "the simulated cradle to be ready")

    def pull_out(self):
        """Stops the simulator, which removes its cradle like an unplugged USB device."""
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(10)
        self.process = None

    def log(self):
        with open(self.log_path) as source:
            return source.read()

    def memory(self):
        return read_bytes(self.memory_path)


class Program:
    """The real pager-programmer, started in the workspace and found over AT-SPI."""

    APP_NAME = "pager-programmer"

    def __init__(self, workspace):
        self.workspace = workspace
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        env.update(
            PAGER_NO_LIBUSB="1",
            XDG_RUNTIME_DIR=workspace.runtime,
            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
            QT_ACCESSIBILITY="1",
        )
        self._status_box = None
        self.log_path = workspace.path("pager-programmer.log")
        log = open(self.log_path, "w")
        self.process = subprocess.Popen([PROGRAMMER], cwd=workspace.work, env=env,
                                        stdout=log, stderr=subprocess.STDOUT)
        log.close()
        try:
            self.app = wait_until(self._find_application, 30,
                                  "pager-programmer on the AT-SPI bus")
            self.window = wait_until(lambda: self._showing_child(self.app, "dialog"), 20,
                                     "the main window")
        except E2eFailure:
            self.stop()
            raise

    def _find_application(self):
        if self.process.poll() is not None:
            raise E2eFailure(f"pager-programmer ended early: {self.log()}")
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name == self.APP_NAME:
                return app
        return None

    @staticmethod
    def _showing_child(node, role):
        for index in range(node.childCount):
            child = node.getChildAtIndex(index)
            if child is not None and child.getRoleName() == role and is_showing(child):
                return child
        return None

    def log(self):
        with open(self.log_path, errors="replace") as source:
            return source.read()

    def close(self):
        """Ends the program as a technician does, with "Exit"; returns its exit status."""
        if self.process.poll() is None:
            try:
                exit_button = find_showing(self.window, "push button", "Exit")
                if exit_button is not None and not self.alerts():
                    press(exit_button)
                    return self.process.wait(10)
            except (RuntimeError, subprocess.TimeoutExpired):
                pass  # stuck or gone from the bus: stopped below
        self.stop()
        return self.process.returncode

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    # ---- finding controls -------------------------------------------------------------------

    def find(self, role, name=None, description=None, root=None, timeout=DEFAULT_TIMEOUT):
        """The showing control with this role and accessible name (or description)."""
        what = f"{role} {name!r}" + (f" ({description})" if description else "")
        return wait_until(lambda: find_showing(root or self.window, role, name, description),
                          timeout, what)

    def button(self, name):
        return self.find("push button", name)

    def text_field(self, name=None, description=None, role="text"):
        return self.find(role, name, description)

    def title(self):
        return self.window.name

    def window_manager_title(self):
        """The main window's title as the window manager reads it (_NET_WM_NAME, what title
        bars and task switchers show), not as Qt reports it. No other window may be open."""
        windows = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                  str(self.process.pid)], capture_output=True, text=True)
        names = [subprocess.run(["xprop", "-id", window, "-notype", "_NET_WM_NAME"],
                                capture_output=True, text=True).stdout.strip()
                 for window in windows.stdout.split()]
        if len(names) != 1 or not names[0].endswith('"'):
            raise E2eFailure(f"expected one window with a title, found {names}")
        # _NET_WM_NAME = "the title" (this program's titles hold no quote or backslash)
        return names[0].partition(' = "')[2][:-1]

    def tab_names(self):
        tabs = self.find("page tab list", "Settings")
        children = (tabs.getChildAtIndex(i) for i in range(tabs.childCount))
        return [tab.name for tab in children
                if tab is not None and tab.getRoleName() == "page tab"]

    # ---- acting ------------------------------------------------------------------------------

    def press(self, name, root=None):
        control = self.find("push button", name, root=root)
        wait_until(lambda: is_enabled(control), 10, f"{name!r} to be enabled")
        press(control)

    def type_text(self, name, text, description=None, role="text"):
        set_text(self.find(role, name, description), text)

    def select_tab(self, caption):
        tab = self.find("page tab", caption)
        press(tab)
        wait_until(lambda: tab.getState().contains(pyatspi.STATE_SELECTED), 5,
                   f"tab {caption!r} selected")

    def choose(self, combo, item):
        """Picks an item of a combo box as a person does: a click opens its list, the arrow
        keys move to the item and Enter takes it. A combo box is named by its label; the item
        it shows is its text."""
        shown = text_of(combo)
        if shown == item:
            return
        listing = first_child(combo, "list")
        items = [listing.getChildAtIndex(i).name for i in range(listing.childCount)]
        if item not in items:
            raise E2eFailure(f"{item!r} is not among the items {items}")
        moves = items.index(item) - (items.index(shown) if shown in items else 0)
        click_centre(combo)
        wait_until(lambda: is_showing(listing), 5, "the combo's list to open")
        key = "Down" if moves > 0 else "Up"
        subprocess.run(["xdotool", "key", "--delay", "40", *([key] * abs(moves)), "Return"],
                       check=True)
        wait_until(lambda: text_of(combo) == item, 5, f"the combo to show {item!r}")

    def pick(self, combo, item):
        """Picks an item of a combo box as an assistive tool does: a click opens its list, and
        a click at the centre of the item's reported place takes it."""
        listing = first_child(combo, "list")
        click_centre(combo)
        wait_until(lambda: is_showing(listing), 5, "the combo's list to open")
        if listing.name != combo.name:
            raise E2eFailure(f"the open list is named {listing.name!r}, not {combo.name!r}")
        items = [listing.getChildAtIndex(i) for i in range(listing.childCount)]
        wanted = [node for node in items if node.name == item]
        if not wanted:
            raise E2eFailure(f"{item!r} is not among the items {[n.name for n in items]}")
        click_centre(wanted[0])
        wait_until(lambda: text_of(combo) == item, 5, f"the combo to show {item!r}")

    # ---- message boxes ------------------------------------------------------------------------

    def alerts(self):
        """The message boxes showing now, as (caption, texts of its labels, node)."""
        found = []
        for index in range(self.app.childCount):
            child = self.app.getChildAtIndex(index)
            if child is not None and child.getRoleName() == "alert" and is_showing(child):
                labels = [n.name for n in descendants(child) if n.getRoleName() == "label"]
                found.append((child.name, labels, child))
        return found

    def wait_for_alert(self, text, timeout=DEFAULT_TIMEOUT):
        def showing():
            for caption, labels, node in self.alerts():
                if text in labels:
                    return caption, node
            return None

        return wait_until(showing, timeout, f"the message {text!r}")

    def answer_alert(self, node, button="OK"):
        self.press(button, root=node)
        wait_until(lambda: not is_showing(node), 5, "the message box to close")

    def dialog(self, title, timeout=DEFAULT_TIMEOUT):
        """A showing top-level dialog other than the main window."""

        def showing():
            for index in range(self.app.childCount):
                child = self.app.getChildAtIndex(index)
                if (child is not None and child.getRoleName() == "dialog" and
                        child.name == title and is_showing(child)):
                    return child
            return None

        return wait_until(showing, timeout, f"the dialog {title!r}")

    # ---- transfers -----------------------------------------------------------------------------

    def status(self):
        # Looked up once: the blinking status is polled quickly, and a tree search is slow.
        if self._status_box is None:
            self._status_box = self.find("text", "Status")
        return text_of(self._status_box)

    def transfer_buttons_enabled(self):
        return is_enabled(self.button("Read")) and is_enabled(self.button("Write"))

    def run_transfer(self, button, started=None, timeout=60):
        """Presses Read or Write and waits until the worker has ended: Save and Load, held
        while it runs, are given back. A transfer too quick to catch Save disabled is seen
        starting by started(). Fails at once on a message box. Returns the status texts seen
        on the way."""
        seen = set()
        save = self.button("Save")
        self.press(button)

        def watching(condition):
            def step():
                seen.add(self.status())
                # A message box would wait for an answer the test is not going to give.
                for caption, labels, _ in self.alerts():
                    raise AssertionError(f"{button} showed the message {labels!r} ({caption})")
                return condition()
            return step

        wait_until(watching(lambda: not is_enabled(save) or (started and started())), 10,
                   f"{button} to start")
        wait_until(watching(lambda: is_enabled(save)), timeout, f"{button} to finish")
        return seen


# ---- AT-SPI helpers ------------------------------------------------------------------------------


def is_showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def is_focusable(node):
    return node.getState().contains(pyatspi.STATE_FOCUSABLE)


def is_enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def descendants(node):
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def first_child(node, role):
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None and child.getRoleName() == role:
            return child
    return None


def find_showing(root, role, name=None, description=None):
    """Depth-first search of the showing part of the tree; hidden pages are skipped whole."""
    for index in range(root.childCount):
        child = root.getChildAtIndex(index)
        if child is None:
            continue
        showing = is_showing(child)
        if (showing and child.getRoleName() == role and (name is None or child.name == name) and
                (description is None or child.description == description)):
            return child
        # A closed combo box's list is not showing, but its items are still wanted.
        if showing or child.getRoleName() == "list":
            found = find_showing(child, role, name, description)
            if found is not None:
                return found
    return None


def press(node):
    action = node.queryAction()
    for index in range(action.nActions):
        if action.getName(index) in ("Press", "press", "Toggle", "toggle", "click"):
            action.doAction(index)
            return
    action.doAction(0)


def set_text(node, text):
    node.queryEditableText().setTextContents(text)
    # A password field reads back as bullets.
    if node.getRoleName() != "password text":
        wait_until(lambda: text_of(node) == text, 5, f"the field to hold {text!r}")


def text_of(node):
    return node.queryText().getText(0, -1)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def click_centre(node):
    x, y, width, height = extents(node)
    subprocess.run(["xdotool", "mousemove", str(x + width // 2), str(y + height // 2),
                    "click", "1"], check=True)


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# ---- test case base ------------------------------------------------------------------------------


class ProgramTestCase(unittest.TestCase):
    """Each test gets its own workspace; on failure it keeps it, with a screenshot and the
    programs' output, and prints where it is."""

    def setUp(self):
        self.workspace = Workspace()
        self.program = None
        self.cradle = None
        # Cleanups run even when setUp fails half-way, so no program is left behind.
        self.addCleanup(self._clean_up)

    def _clean_up(self):
        failed = self._outcome_failed()
        if failed:
            screenshot(self.workspace.path("failure.png"))
        exit_status = self.program.close() if self.program else 0
        if self.cradle:
            self.cradle.pull_out()
        if failed or exit_status != 0:
            sys.stderr.write(f"\nKept for inspection: {self.workspace.root}\n")
            if self.program:
                sys.stderr.write(f"pager-programmer output:\n{self.program.log()}\n")
        else:
            self.workspace.remove()
        self.assertEqual(exit_status, 0, "pager-programmer did not end cleanly on Exit")

    def _outcome_failed(self):
        outcome = getattr(self, "_outcome", None)
        result = getattr(outcome, "result", None)
        if result is None:
            return False
        return any(test is self for test, _ in result.failures + result.errors)

    # ---- building blocks ---------------------------------------------------------------------

    def load_settings(self, path):
        with open(path, encoding="latin-1") as source:
            return json.load(source)

    def put_pager_in_cradle(self, settings, mode, extra_arguments=()):
        memory = encode(settings, self.workspace.path("pager-memory.sav"), mode)
        self.cradle = Cradle(self.workspace, memory, extra_arguments)
        self.cradle.plug_in()
        return memory

    def start_program(self):
        self.program = Program(self.workspace)
        return self.program

    def read_pager(self):
        return self.program.run_transfer("Read")

    def unlock_tabs(self):
        self.program.type_text("Advanced setting password", ADVANCED_CODE, role="password text")
        self.program.press("OK")
        wait_until(lambda: len(self.program.tab_names()) > 1, 5, "the tabs to unlock")

    def assert_pager_holds(self, expected_settings, mode):
        """The cradle's memory decodes to the expected settings and equals, byte for byte,
        what pager-image builds from them (time stamp aside)."""
        expected_image = encode(expected_settings, self.workspace.path("expected.sav"), mode)
        actual = decode(self.cradle.memory_path, mode)
        wanted = decode(expected_image, mode)
        differences = settings_differences(actual, wanted)
        if differences:
            self.fail("settings in the pager differ:\n" + "\n".join(differences))
        addresses = differing_addresses(self.cradle.memory(), read_bytes(expected_image))
        self.assertEqual(addresses, [], "pager memory differs from pager-image encode")


def main():
    # warnings=False keeps the filter above; unittest would otherwise show every warning.
    unittest.main(verbosity=2, warnings=False)
