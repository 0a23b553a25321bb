"""A V2 pager from read to write: the technician reads it, unlocks the advanced tabs, changes a
capcode, a tone, a canned message and the frequency, and writes it back. The simulated pager's
memory must then hold exactly the image pager-image builds from the expected settings."""

import os

import e2e_support as e2e

SAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "samples",
                      "demo-pager-v2.json")


class ProgramV2Pager(e2e.ProgramTestCase):

    def test_read_unlock_edit_write(self):
        settings = self.load_settings(SAMPLE)
        self.put_pager_in_cradle(settings, "v2")
        program = self.start_program()
        self.assertEqual(program.title(), e2e.TITLE_V2)
        e2e.wait_until(program.transfer_buttons_enabled, 10, "Read and Write to be enabled")
        self.assertEqual(program.tab_names(), [" General "])

        statuses = self.read_pager()
        self.assertIn("Read OK !", statuses)
        self.assertEqual(e2e.text_of(program.text_field("Capcode 1")), "1200008")
        self.assertEqual(e2e.text_of(program.text_field("Startup text")), "DEMO PAGER")

        self.unlock_tabs()
        tabs = program.tab_names()
        self.assertEqual(len(tabs), 15, tabs)
        self.assertEqual(tabs[:2], [" General ", " OTA "])
        self.assertTrue(e2e.is_showing(program.find("check box", "Private, capcode 5")))

        expected = e2e.decode(self.cradle.memory_path)

        # A capcode: its frame digit follows the text.
        program.type_text("Capcode 2", "1300019")
        frame = program.find("label", description="Frame, capcode 2")
        e2e.wait_until(lambda: frame.name == "3", 5, "frame digit 3")
        expected["capcodes"][1] = 1300019

        program.select_tab(" Tone Settings ")
        combo = program.find("combo box", description="A Tone, capcode 1")
        items = [combo.getChildAtIndex(0).getChildAtIndex(i).name
                 for i in range(combo.getChildAtIndex(0).childCount)]
        new_tone = items.index("Tone")
        self.assertNotEqual(expected["toneType"][0][0], new_tone)
        program.choose(combo, items[new_tone])
        expected["toneType"][0][0] = new_tone

        program.select_tab(" Can Message 1 ")
        message = program.find("text", "Message", description="Tone B, capcode 1")
        e2e.set_text(message, "BACK AT 3 PM")
        expected["cannedMessages"][1] = "BACK AT 3 PM"

        program.select_tab(" RF Settings ")
        program.type_text("Frequency", "459.1250")
        band = program.find("label", "Frequency band 456MHz - 460MHz ")
        self.assertTrue(e2e.is_showing(band))
        expected["frequencyText"] = "459.1250"

        statuses = program.run_transfer("Write")
        self.assertIn("WRITE OK !", statuses)
        self.assertEqual(program.alerts(), [])
        self.assert_pager_holds(expected, "v2")

    def test_batch_of_pagers_advances_capcodes_and_serial(self):
        """Two pagers programmed one after the other: the second gets each capcode advanced by
        its row's step and the next serial number."""
        self.put_pager_in_cradle(self.load_settings(SAMPLE), "v2")
        program = self.start_program()
        e2e.wait_until(program.transfer_buttons_enabled, 10, "Read and Write enabled")
        self.read_pager()
        self.unlock_tabs()

        program.press("Change S/N")
        dialog = program.dialog("Tarnwick Wireless 4730")
        e2e.set_text(program.find("password text", "Input password", root=dialog),
                     e2e.SERIAL_CODE)
        program.press("OK", root=dialog)
        serial = program.text_field("S/N")
        e2e.wait_until(lambda: e2e.is_enabled(serial), 5, "the serial number to be editable")
        program.type_text("S/N", "BENCH-0099")
        e2e.press(program.find("check box", "INC"))
        # Picked where the narrow pop-up's item says it is.
        step = program.find("combo box", description="Auto Increment, capcode 3")
        program.pick(step, "+1")

        expected = e2e.decode(self.cradle.memory_path)
        expected["autoIncrementStep"][2] = 3
        expected["serialNumber"] = "BENCH-0099"
        self.assertIn("WRITE OK !", program.run_transfer("Write"))
        self.assert_pager_holds(expected, "v2")
        # Ready for the next pager: rows 1 and 2 step +8, row 3 +1, the serial counts on.
        e2e.wait_until(lambda: e2e.text_of(program.text_field("Capcode 3")) == "1200025", 5,
                       "capcode 3 advanced")
        self.assertEqual(e2e.text_of(program.text_field("Capcode 1")), "1200016")
        self.assertEqual(e2e.text_of(serial).strip(), "BENCH-0100")

        self.assertIn("WRITE OK !", program.run_transfer("Write"))
        expected["capcodes"][:3] = [1200016, 1200024, 1200025]
        expected["serialNumber"] = "BENCH-0100"
        self.assert_pager_holds(expected, "v2")

        # A repair sends default.sav; what the page shows and what was typed stay, and no
        # number advances, although INC was ticked at the last write.
        e2e.press(program.find("check box", "INC"))
        program.type_text("Capcode 1", "1200800")
        program.type_text("Startup text", "UNSAVED2")
        shown = {name: e2e.text_of(program.text_field(name))
                 for name in ("Capcode 1", "Capcode 2", "Capcode 3", "Startup text", "S/N")}
        repaired = dict(self.load_settings(SAMPLE), startupText="FROM DEFAULT")
        default_sav = e2e.encode(repaired, os.path.join(self.workspace.work, "default.sav"), "v2")
        program.press("Repair Pager")
        dialog = program.dialog("Pager Programmer")
        program.press("V2 Pager", root=dialog)
        program.press("Exit", root=dialog)
        wanted = e2e.read_bytes(default_sav)
        e2e.wait_until(lambda: self.cradle.memory()[:256] == wanted[:256], 30,
                       "the pager to hold default.sav")
        e2e.wait_until(lambda: e2e.is_enabled(program.button("Save")), 10, "the repair to end")
        self.assertEqual(program.alerts(), [])
        self.assertEqual({name: e2e.text_of(program.text_field(name)) for name in shown}, shown)


if __name__ == "__main__":
    e2e.main()
