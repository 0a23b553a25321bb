"""Image files through the program's own file dialogs: "default.sav" shown at start, a Save
that writes what the pages show, and a Load whose settings a following write puts in the
pager."""

import os

import e2e_support as e2e

SAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "samples",
                      "demo-pager-v2.json")


class ImageFiles(e2e.ProgramTestCase):

    def choose_file(self, title, accept_button, path):
        """Types the path in the Qt file dialog's name field and accepts it."""
        dialog = self.program.dialog(title)
        e2e.set_text(self.program.find("text", "File name:", root=dialog), path)
        self.program.press(accept_button, root=dialog)
        e2e.wait_until(lambda: not e2e.is_showing(dialog), 5, f"the {title!r} dialog to close")

    def test_default_file_save_and_load(self):
        sample = self.load_settings(SAMPLE)
        self.put_pager_in_cradle(sample, "v2")
        # The program loads default.sav from the folder it starts in.
        start_settings = dict(sample, capcodes=[1500000, 1500008, 0, 0, 0, 0, 0, 0],
                              startupText="FROM DEFAULT")
        e2e.encode(start_settings, os.path.join(self.workspace.work, "default.sav"), "v2")
        program = self.start_program()
        self.assertEqual(e2e.text_of(program.text_field("Capcode 1")), "1500000")
        self.assertEqual(e2e.text_of(program.text_field("Startup text")), "FROM DEFAULT")

        # Save: the name typed without its extension gets ".sav".
        program.type_text("Startup text", "SAVED BY TEST")
        program.press("Save")
        self.choose_file("Save As", "Save", "bench-copy")
        saved = os.path.join(self.workspace.work, "bench-copy.sav")
        e2e.wait_until(lambda: os.path.exists(saved), 5, "the saved file")
        expected = e2e.decode(os.path.join(self.workspace.work, "default.sav"))
        expected["startupText"] = "SAVED BY TEST"
        wanted = e2e.encode(expected, self.workspace.path("expected-save.sav"), "v2")
        self.assertEqual(e2e.settings_differences(e2e.decode(saved), e2e.decode(wanted)), [])
        self.assertEqual(e2e.differing_addresses(e2e.read_bytes(saved), e2e.read_bytes(wanted)),
                         [])
        # The working file holds the same image.
        working = os.path.join(self.workspace.work, "TempData.sav")
        self.assertEqual(e2e.differing_addresses(e2e.read_bytes(working), e2e.read_bytes(saved),
                                                 ignored=()), [])

        # Load a file from another folder, then write it to the pager.
        loaded_settings = dict(sample, capcodes=[1700000, 0, 0, 0, 0, 0, 0, 0],
                               capcodeEnabled=[1, 0, 0, 0, 0, 0, 0, 0],
                               startupText="LOADED", frequencyText="153.1250")
        elsewhere = self.workspace.path("elsewhere")
        os.makedirs(elsewhere)
        to_load = e2e.encode(loaded_settings, os.path.join(elsewhere, "next pager.sav"), "v2")
        program.press("Load")
        self.choose_file("Open", "Open", to_load)
        capcode_1 = program.text_field("Capcode 1")
        e2e.wait_until(lambda: e2e.text_of(capcode_1) == "1700000", 5, "the loaded capcode")
        self.assertEqual(e2e.text_of(program.text_field("Startup text")), "LOADED")
        self.assertEqual(e2e.text_of(program.text_field("Capcode 2")), "0")

        self.assertIn("WRITE OK !", program.run_transfer("Write"))
        self.assert_pager_holds(e2e.decode(to_load), "v2")

    def assert_named_for_a_screen_reader(self, dialog):
        """Every drop-down list is named by its label, and no control one can reach is
        nameless."""
        nodes = list(e2e.descendants(dialog))
        lists = sorted(node.name for node in nodes if node.getRoleName() == "combo box")
        self.assertEqual(lists, ["Files of type:", "Look in:"])
        unnamed = [node.getRoleName() for node in nodes
                   if e2e.is_showing(node) and e2e.is_focusable(node) and not node.name]
        self.assertEqual(unnamed, [])

    def test_cancelled_dialogs_change_nothing(self):
        self.put_pager_in_cradle(self.load_settings(SAMPLE), "v2")
        program = self.start_program()
        program.press("Save")
        dialog = program.dialog("Save As")
        self.assert_named_for_a_screen_reader(dialog)
        program.press("Cancel", root=dialog)
        e2e.wait_until(lambda: not e2e.is_showing(dialog), 5, "the dialog to close")
        program.press("Load")
        dialog = program.dialog("Open")
        self.assert_named_for_a_screen_reader(dialog)
        program.press("Cancel", root=dialog)
        e2e.wait_until(lambda: not e2e.is_showing(dialog), 5, "the dialog to close")
        self.assertEqual(sorted(os.listdir(self.workspace.work)), [])
        self.assertEqual(program.alerts(), [])


if __name__ == "__main__":
    e2e.main()
