"""The registrar restarts (the test bed's Kamailio keeps its location table in memory, so it forgets
every registration and tells nobody): the extension comes back by itself with its next refresh,
turns green again and takes a call. The refresh interval is shortened from the panel's 300 s."""

from orvalo_ui import Bed, answered_call, check, step, wait_for

REFRESH_EVERY = 10  # seconds, ORVALO_REGISTRATION_INTERVAL
COMES_BACK_WITHIN = 3 * REFRESH_EVERY


def registrar_restart(bed):
    panel = bed.desk(env={"ORVALO_REGISTRATION_INTERVAL": str(REFRESH_EVERY)})
    wait_for(lambda: panel.extension_colour(0) == "green", "the extension's label to turn green")

    step("the registrar stops and starts again on the same port")
    bed.registrar.stop()
    bed.registrar.start()
    wait_for(lambda: "1001" in bed.registrar.registered(), "1001 registered again", COMES_BACK_WITHIN)
    wait_for(lambda: panel.extension_colour(0) == "green", "the extension's label green again")

    step("a call after the restart rings and is answered")
    caller = bed.peer("1002")
    answered_call(bed, panel, caller)
    rows = panel.db("SELECT calldirection, disposition FROM cdr")
    check(rows == [("I", "Answered")], "cdr rows: %s" % rows)


Bed().run(registrar_restart)
