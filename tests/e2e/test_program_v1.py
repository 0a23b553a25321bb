"""A V1 pager in a program that starts in V2 mode: a read follows the pager's generation
without a question, a write first offers the switch and writes nothing. After the switch the
technician edits and writes, and the pager holds the V1 image pager-image builds."""

import os

import e2e_support as e2e

V1_PAGER = os.path.join(os.path.dirname(__file__), "pagers", "v1-pager.json")


class ProgramV1Pager(e2e.ProgramTestCase):

    def setUp(self):
        super().setUp()
        self.memory = self.put_pager_in_cradle(self.load_settings(V1_PAGER), "v1")
        self.program = self.start_program()
        e2e.wait_until(self.program.transfer_buttons_enabled, 10, "Read and Write enabled")

    def test_read_switches_to_v1_then_edit_and_write(self):
        program = self.program
        statuses = program.run_transfer("Read", started=lambda: program.title() == e2e.TITLE_V1)
        self.assertEqual(program.title(), e2e.TITLE_V1)
        self.assertNotIn("Read OK !", statuses)
        self.assertEqual(program.tab_names(), [" General "])
        self.assertEqual(e2e.text_of(program.text_field("Capcode 2")), "804120")

        self.unlock_tabs()
        tabs = program.tab_names()
        self.assertEqual(len(tabs), 14, tabs)
        self.assertNotIn(" OTA ", tabs)

        expected = e2e.decode(self.memory)
        # In V1 mode the pager menu always offers the alert choice: its box is hidden and
        # ticked, and a write with the tabs unlocked stores it.
        expected["menuAlertMenu"] = 1
        program.type_text("Capcode 1", "804200")
        expected["capcodes"][0] = 804200

        program.select_tab(" Tone Settings ")
        combo = program.find("combo box", description="B Tone, capcode 2")
        program.choose(combo, "Disable")
        expected["toneType"][1][1] = 3

        # A slot that was off: ticking Enable makes its text editable.
        program.select_tab(" Can Message 1 ")
        slot = "Tone A, capcode 2"
        message = program.find("text", "Message", description=slot)
        self.assertFalse(e2e.is_enabled(message))
        e2e.press(program.find("check box", "Enable", description=slot))
        e2e.wait_until(lambda: e2e.is_enabled(message), 5, "the message to be editable")
        e2e.set_text(message, "SHIFT CHANGE 6PM")
        expected["cannedEnabled"][4] = 1
        expected["cannedMessages"][4] = "SHIFT CHANGE 6PM"

        program.select_tab(" RF Settings ")
        program.type_text("Frequency", "429.5000")
        program.find("label", "Frequency band 428MHz - 432MHz ")
        expected["frequencyText"] = "429.5000"

        statuses = program.run_transfer("Write")
        self.assertIn("WRITE OK !", statuses)
        self.assertEqual(program.alerts(), [])
        self.assert_pager_holds(expected, "v1")

    def test_write_in_v2_mode_offers_the_switch_and_writes_nothing(self):
        """The switch keeps what was typed, and the desktop shows each mode's title exactly."""
        program = self.program
        self.assertEqual(program.window_manager_title(), e2e.TITLE_V2)
        before = self.cradle.memory()
        program.type_text("Capcode 3", "1234567")
        program.type_text("Startup text", "KEPT ACROSS")
        program.press("Write")
        caption, question = program.wait_for_alert(
            "V1 pager detected. Would you like to change to V1 programming screen? ")
        self.assertEqual(caption, "Pager Programmer")
        program.answer_alert(question, "OK")
        e2e.wait_until(lambda: program.title() == e2e.TITLE_V1, 5, "the V1 title")
        e2e.wait_until(lambda: e2e.is_enabled(program.button("Save")), 5, "the write to end")
        self.assertEqual(self.cradle.memory(), before)
        self.assertEqual(program.alerts(), [])
        self.assertEqual(program.window_manager_title(), e2e.TITLE_V1)
        self.assertEqual(e2e.text_of(program.text_field("Capcode 3")), "1234567")
        self.assertEqual(e2e.text_of(program.text_field("Startup text")), "KEPT ACROSS")


if __name__ == "__main__":
    e2e.main()
