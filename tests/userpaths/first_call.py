"""The README's "Your first call", step by step, through the window: add an extension in the
editor, see it register, take a call with the Answer button, hold, mute and hang up with the keys,
dial out from the number field, leave one cdr row per call, quit from the menu."""

import os
import time

from orvalo_ui import Bed, check, clearest_second, step, wait_for


def first_call(bed):
    step("2. a registrar: tools/testbed/run-kamailio.sh PORT")
    bed.registrar.start()
    step("1. the panel starts with no extension")
    panel = bed.start_panel(hz=700)
    check(panel.extension_rows() == [], "a fresh panel lists extensions")

    step("3. Accounts -> Manage Extensions -> Add new extension; fill in; save")
    panel.add_extension("Desk", "1001", bed.registrar.hostport())
    wait_for(lambda: len(panel.extension_rows()) == 1, "the new extension under My Extensions")
    wait_for(lambda: "1001" in bed.registrar.registered(), "1001 registered at the registrar")
    wait_for(lambda: panel.extension_colour(0) == "green", "the extension's label to turn green")
    wait_for(lambda: panel.extension_rows()[0].name == "Desk 1001, registered",
             "a screen reader to read the row as \"Desk 1001, registered\"")
    check(panel.db("SELECT count(*) FROM accounts WHERE user = '1001'") == [(1,)], "one accounts row")

    step("4. a caller: sippeer --registrar ... --user 1002 --call sip:1001@...")
    caller = bed.peer("1002", "--call", bed.registrar.uri("1001"))
    caller.wait(r"state=OutgoingRinging")

    step("5. the call flashes under Call status; Answer")
    wait_for(lambda: panel.call_labels(), "a call label under Call status")
    check(not panel.shows("Hang up"), "Hang up shows before the call is answered")
    panel.click("Answer")
    caller.wait(r"state=StreamsRunning")
    wait_for(lambda: panel.shows("Hang up"), "Hang up to replace Answer")

    step("   F6 holds, F6 resumes")
    panel.key("F6")
    caller.wait(r"state=PausedByRemote")
    wait_for(lambda: panel.shows("Off hold"), "the Hold button to read Off hold")
    panel.key("F6")
    caller.wait(r"state=StreamsRunning")
    step("   F7 mutes, F7 unmutes, F7 mutes")
    panel.key("F7")
    wait_for(lambda: panel.shows("Unmute"), "the Mute button to read Unmute")
    panel.key("F7")
    wait_for(lambda: panel.shows("Mute"), "the Mute button to read Mute again")
    panel.key("F7")
    wait_for(lambda: panel.shows("Unmute"), "the Mute button to read Unmute")
    step("   F8 hangs up (while muted: the Mute button is reset)")
    panel.key("F8")
    caller.wait(r"state=End")
    wait_for(lambda: not panel.call_labels(), "the call label to go")
    wait_for(lambda: panel.shows("Dial"), "the Dial button back")
    wait_for(lambda: panel.shows("Mute") and not panel.shows("Unmute"), "the Mute button to read Mute")

    step("   dial out: 1002 in the number field, Return")
    caller.stop()
    heard = os.path.join(bed.workdir, "callee-heard.wav")
    callee = bed.peer("1002", "--auto-answer", "0", "--record", heard)
    panel.type_number("1002")
    panel.key("Return")
    callee.wait(r"state=IncomingReceived")
    callee.wait(r"state=StreamsRunning")
    wait_for(lambda: panel.shows("Hang up"), "Hang up while the outgoing call is up")
    time.sleep(2)  # the conversation
    panel.click("Hang up")
    callee.wait(r"state=End")
    callee.stop()
    share = clearest_second(heard, 700)
    # The previous call ended muted and the Mute button reads "Mute" again: the microphone is live.
    check(share > 0.6, "the callee heard the panel's 700 Hz microphone at %.2f of a second at best "
          "(a call that ended muted left the microphone muted?)" % share)
    wait_for(lambda: not panel.call_labels(), "the outgoing call's label to go")

    step("6. one cdr row per call")
    rows = panel.db("SELECT calldirection, disposition, sipresponsecode, remotecli, answerdatetime, hangupdatetime "
                    "FROM cdr ORDER BY cdrid")
    check([r[:3] for r in rows] == [("I", "Answered", "200"), ("O", "Answered", "200")]
          and all("1002" in r[3] and r[4] and r[5] for r in rows), "cdr rows: %s" % rows)

    step("1. Accounts -> Exit closes the panel")
    panel.menu("Accounts", "Exit")
    check(panel.exited() == 0, "the panel's exit status")
    wait_for(lambda: "1001" not in bed.registrar.registered(), "1001 unregistered at exit", 10)


Bed().run(first_call)
