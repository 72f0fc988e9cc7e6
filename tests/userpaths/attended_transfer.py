"""The README's transfer step through the window: a caller answered, the attended Transfer button,
the number typed into the transfer window, the caller held while the target answers, Transfer
again; the caller and the target end up talking to each other, and the operator's call leaves its
one cdr row."""

import os
import subprocess
import time

from orvalo_ui import Bed, check, clearest_second, step, wait_for, write_tone


def attended_transfer(bed):
    bed.registrar.start()
    panel = bed.start_panel(hz=700)
    step("3. an extension 1001")
    panel.add_extension("Desk", "1001", bed.registrar.hostport())
    wait_for(lambda: "1001" in bed.registrar.registered(), "1001 registered at the registrar")

    step("6. a second party 1003 answering by itself; 1002 calls and is answered")
    heard = os.path.join(bed.workdir, "target-heard.wav")
    voice = os.path.join(bed.workdir, "caller-1300.wav")
    write_tone(voice, 1300, 120)
    target = bed.peer("1003", "--auto-answer", "500", "--record", heard)
    caller = bed.peer("1002", "--play", voice, "--call", bed.registrar.uri("1001"))
    wait_for(lambda: panel.call_labels(), "a call label under Call status")
    panel.click("Answer")
    caller.wait(r"state=StreamsRunning")

    step("   Transfer (attended), 1003, Transfer: the caller is held while 1003 answers")
    panel.click("Transfer")
    window = panel.dialog("Transfer call (attended)")
    panel.type_into("Transfer Number", "1003", root=window)
    panel.click("Transfer", root=window)
    caller.wait(r"state=PausedByRemote")
    target.wait(r"state=IncomingReceived .*from=sip:1001@")
    target.wait(r"state=StreamsRunning")

    step("   Transfer again hands the caller over; the operator's call ends")
    # The pointer still rests on the button, where a synchronous move would wait forever.
    subprocess.run(["xdotool", "mousemove", "1", "1"], check=True, timeout=10)
    panel.click("Transfer", root=window)
    target.wait(r"call id=2 state=IncomingReceived .*from=sip:1002@")
    target.wait(r"call id=2 state=StreamsRunning")
    wait_for(lambda: not panel.call_labels(), "the call label to go")
    time.sleep(2)  # the caller talks to the target
    target.stop()
    caller.stop()
    share = clearest_second(heard, 1300)
    check(share > 0.6, "the target heard the caller's 1300 Hz at %.2f of a second at best" % share)

    step("7. one cdr row: the consultation call has none")
    rows = panel.db("SELECT calldirection, disposition FROM cdr ORDER BY cdrid")
    check(rows == [("I", "Answered")], "cdr rows: %s" % rows)
    panel.menu("Accounts", "Exit")
    check(panel.exited() == 0, "the panel's exit status")


Bed().run(attended_transfer)
