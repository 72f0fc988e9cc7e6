"""The README's History -> Missed calls: a call the caller gives up before it is answered is listed
in the call log that the menu opens on unanswered inbound calls, with the caller and the time; an
answered call is not. The call log has no dial control: the operator calls the number it shows
back from the number field."""

import datetime

import pyatspi

from orvalo_ui import Bed, answered_call, called_back, check, step, walk, wait_for

COLUMNS = 7  # Account, Remote Party, Date/Time, Call end, Duration, Disposition, Direction


def rows_of(window):
    """The call log's rows as lists of cell texts, in the order shown."""
    cells = [n.name or "" for n in walk(window) if n.getRoleName() == "table cell"]
    return [cells[i:i + COLUMNS] for i in range(0, len(cells) - COLUMNS + 1, COLUMNS)]


def history_missed_calls(bed):
    panel = bed.desk()
    caller = bed.peer("1002")

    step("an answered call from 1002 (it must not count as missed)")
    answered_call(bed, panel, caller)

    step("a call from 1002 rings; 1002 gives up before it is answered")
    # The call log shows UTC times to the second.
    rang = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0, tzinfo=None)
    caller.command("call " + bed.registrar.uri("1001"))
    caller.wait(r"state=OutgoingRinging")
    wait_for(lambda: panel.call_labels(), "the ringing call's label")
    caller.command("hangup")
    caller.wait(r"state=End ")
    wait_for(lambda: not panel.call_labels(), "the missed call's label to go")
    # Both calls are written once they have ended.
    wait_for(lambda: panel.db("SELECT count(*) FROM cdr WHERE hangupdatetime IS NOT NULL "
                              "AND hangupdatetime != ''") == [(2,)], "two ended calls in cdr")

    step("History -> Missed calls: the call log lists the missed call alone, caller and time")
    panel.raise_main_window()  # the Missed Calls window popped up in front of it
    panel.menu("History", "Missed calls")
    log = panel.dialog("Call Log")
    rows = wait_for(lambda: rows_of(log), "rows in the call log")
    check(len(rows) == 1, "the missed calls view lists %d rows: %s" % (len(rows), rows))
    _, remote, started, _, _, disposition, direction = rows[0]
    check("1002" in remote, "the row's caller reads %r" % remote)
    when = datetime.datetime.strptime(started, "%Y-%m-%d %H:%M:%S")
    check(rang - datetime.timedelta(seconds=2) <= when <= rang + datetime.timedelta(seconds=30),
          "the row's time %s, the call rang at %s (UTC)" % (started, rang))
    check((disposition, direction) == ("No Answer", "Inbound"),
          "the row reads %s, %s" % (disposition, direction))

    step("   the operator calls 1002 back: the number field, Return")
    panel.click("Close", log)
    wait_for(lambda: not log.getState().contains(pyatspi.STATE_SHOWING), "the call log to close")
    panel.type_number("1002")
    panel.key("Return")
    called_back(panel, caller)

Bed().run(history_missed_calls)
