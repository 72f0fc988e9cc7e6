"""The README's "Incoming Call" and "Missed Calls" windows: Decline in the incoming-call window
declines the call with 603; a call the caller gives up before it is answered closes its window and
is listed in "Missed Calls", whose green button calls the number back."""

import re

import pyatspi

from orvalo_ui import Bed, called_back, check, click_at, colour_spot, find, step, walk, wait_for

GREEN = (0x6F, 0xCF, 0x97)  # the call-back button's colour


def incoming_windows(bed):
    panel = bed.desk()
    caller = bed.peer("1002")

    step("5. a call pops the Incoming Call window; Decline: the caller hears 603")
    caller.command("call " + bed.registrar.uri("1001"))
    caller.wait(r"state=OutgoingRinging")
    window = panel.dialog("Incoming Call")
    wait_for(lambda: any("1002" in (n.name or "") for n in walk(window)), "the caller in the window")
    panel.click("Decline incoming call", window)
    ended = caller.wait(r"state=(End|Error) ")
    check("code=603" in ended, "the caller's call ended with " + ended)
    wait_for(lambda: not window.getState().contains(pyatspi.STATE_SHOWING), "the Incoming Call window to close")
    wait_for(lambda: not panel.call_labels(), "the call label to go")

    step("   a call the caller hangs up before it is answered: its window closes, Missed Calls lists it")
    caller.command("call " + bed.registrar.uri("1001"))
    caller.wait(r"state=OutgoingRinging")
    window = panel.dialog("Incoming Call")
    caller.command("hangup")
    caller.wait(r"state=End ")
    wait_for(lambda: not window.getState().contains(pyatspi.STATE_SHOWING), "the Incoming Call window to close")
    missed = panel.dialog("Missed Calls")
    rows = wait_for(lambda: find(missed, role="list", name="Missed calls"), "the list of missed calls")
    check(rows.childCount == 1, "%d rows in Missed Calls" % rows.childCount)
    row = rows.getChildAtIndex(0)
    check(re.fullmatch(r"1002 at \d\d:\d\d:\d\d", row.name or ""), "the missed call reads %r" % row.name)

    step("   its green button calls 1002 back")
    button = wait_for(lambda: colour_spot(row, GREEN), "the green call-back button in the row")
    click_at(*button)
    called_back(panel, caller)


Bed().run(incoming_windows)
