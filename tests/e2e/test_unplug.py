"""The cradle pulled out in the middle of a write: the technician sees one USB error, Read and
Write go grey; plugging the cradle back in gives them back by themselves, and writing again
programs the pager completely."""

import os
import time

import e2e_support as e2e

SAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "samples",
                      "demo-pager-v2.json")
# Slows every cradle reply, so a write lasts long enough to be interrupted on purpose.
REPLY_DELAY_MS = "8"


class CradlePulledDuringWrite(e2e.ProgramTestCase):

    def test_one_usb_error_then_replug_and_write_again(self):
        self.put_pager_in_cradle(self.load_settings(SAMPLE), "v2",
                                 ["--delay-ms", REPLY_DELAY_MS])
        program = self.start_program()
        e2e.wait_until(program.transfer_buttons_enabled, 10, "Read and Write enabled")
        self.assertIn("Read OK !", self.read_pager())

        expected = e2e.decode(self.cradle.memory_path)
        program.type_text("Capcode 3", "1250000")
        expected["capcodes"][2] = 1250000

        progress = program.find("progress bar", "Progress").queryValue()
        program.press("Write")
        e2e.wait_until(lambda: progress.currentValue >= 20, 20, "the write to be under way")
        self.cradle.pull_out()

        caption, box = program.wait_for_alert(e2e.USB_ERROR)
        self.assertEqual(caption, "V2 Pager Programmer")
        self.assertEqual(len(program.alerts()), 1)
        program.answer_alert(box)
        # Nothing follows the USB error: no second message, no write error.
        time.sleep(1.5)
        self.assertEqual(program.alerts(), [])
        self.assertFalse(e2e.is_enabled(program.button("Read")))
        self.assertFalse(e2e.is_enabled(program.button("Write")))
        # The bar stays where the write stopped.
        self.assertGreaterEqual(progress.currentValue, 20)
        self.assertLess(progress.currentValue, progress.maximumValue)

        self.cradle.plug_in()
        e2e.wait_until(program.transfer_buttons_enabled, 5, "Read and Write enabled again")

        self.assertIn("WRITE OK !", program.run_transfer("Write"))
        self.assertEqual(program.alerts(), [])
        self.assert_pager_holds(expected, "v2")


if __name__ == "__main__":
    e2e.main()
