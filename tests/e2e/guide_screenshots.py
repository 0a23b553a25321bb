"""Photographs the real program for the user guide, driving it like the end-to-end tests do:
  guide_screenshots.py OUTPUT_FOLDER
Run it through run-e2e (scripts/screenshots does), which provides the X display and AT-SPI."""

import json
import os
import subprocess
import sys

import e2e_support as e2e

SAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "samples",
                      "demo-pager-v2.json")


class Photographer:
    def __init__(self, program, folder):
        self.program = program
        self.folder = folder

    def shoot(self, name):
        """Saves the main window as it is on screen, without metadata that would change the
        file on every run."""
        x, y, width, height = e2e.extents(self.program.window)
        path = os.path.join(self.folder, name + ".png")
        subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                        "+repage", "-strip", "-define", "png:exclude-chunks=date,time", path],
                       check=True)
        print("wrote", path)


def main():
    folder = os.path.abspath(sys.argv[1])
    os.makedirs(folder, exist_ok=True)
    workspace = e2e.Workspace()
    cradle = e2e.Cradle(workspace, e2e.encode(json.load(open(SAMPLE)),
                                              workspace.path("pager.sav"), "v2"),
                        ["--delay-ms", "6"])
    program = None
    try:
        # Started before the cradle is plugged in: Read and Write wait for it, greyed.
        program = e2e.Program(workspace)
        camera = Photographer(program, folder)
        camera.shoot("no-cradle")
        cradle.plug_in()
        e2e.wait_until(program.transfer_buttons_enabled, 10, "Read and Write enabled")

        program.press("Read")
        e2e.wait_until(lambda: program.status() == "Read OK !", 30, "Read OK !")
        camera.shoot("read")
        e2e.wait_until(lambda: e2e.is_enabled(program.button("Save")), 10, "the read to end")

        program.type_text("Advanced setting password", e2e.ADVANCED_CODE, role="password text")
        program.press("OK")
        e2e.wait_until(lambda: len(program.tab_names()) > 1, 5, "the tabs")
        program.press("Change S/N")
        dialog = program.dialog("Tarnwick Wireless 4730")
        e2e.set_text(program.find("password text", "Input password", root=dialog),
                     e2e.SERIAL_CODE)
        program.press("OK", root=dialog)
        e2e.wait_until(lambda: e2e.is_enabled(program.text_field("S/N")), 5, "S/N")
        e2e.press(program.find("check box", "INC"))
        camera.shoot("unlocked")

        for caption, name in ((" Tone Settings ", "tone-settings"),
                              (" Can Message 1 ", "canned-messages"),
                              (" RF Settings ", "rf-settings")):
            program.select_tab(caption)
            camera.shoot(name)
        program.select_tab(" General ")

        progress = program.find("progress bar", "Progress").queryValue()
        program.press("Write")
        e2e.wait_until(lambda: progress.currentValue >= 40, 20, "the write under way")
        camera.shoot("writing")
        cradle.pull_out()
        caption, box = program.wait_for_alert(e2e.USB_ERROR)
        camera.shoot("usb-error")
        program.answer_alert(box)
    finally:
        if program:
            program.close()
        cradle.pull_out()
        workspace.remove()


if __name__ == "__main__":
    main()
