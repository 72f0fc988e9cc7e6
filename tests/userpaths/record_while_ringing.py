"""Record an answered call while a second call rings on the same extension: the recording holds
the far end on the left and our microphone on the right, each clean of the other and of the ringing,
at the far end's level, as long as the call was recorded."""

import glob
import os
import time

from orvalo_ui import Bed, check, read_channels, step, tone_energy, wait_for

PANEL_HZ, CALLER_HZ, WAITING_HZ = 700, 1300, 450


def rms(samples):
    return (sum(x * x for x in samples) / max(1, len(samples))) ** 0.5 / 32768


def record_while_ringing(bed):
    panel = bed.desk(hz=PANEL_HZ)
    folder = os.path.join(panel.env["HOME"], "Documents", "Orvalo Recordings")

    step("a call, answered, recorded")
    caller = bed.peer("1002", "--play", bed.microphone(CALLER_HZ))
    caller.command("call " + bed.registrar.uri("1001"))
    caller.wait(r"state=OutgoingRinging")
    panel.click("Answer")
    caller.wait(r"state=StreamsRunning")
    panel.click("Record")
    wait_for(lambda: panel.shows("Record on"), "the Record button to read Record on")
    started = time.monotonic()

    # The durations below are the conversation being recorded, not waits for an event.
    time.sleep(2)

    step("a second call rings meanwhile (call-waiting tone, ring) and goes")
    waiting = bed.peer("1003", "--play", bed.microphone(WAITING_HZ))
    waiting.command("call " + bed.registrar.uri("1001"))
    waiting.wait(r"state=OutgoingRinging")
    wait_for(lambda: len(panel.call_labels()) == 2, "the second call's label")
    time.sleep(3)
    waiting.command("hangup")
    waiting.wait(r"state=(End|Released)")
    wait_for(lambda: len(panel.call_labels()) == 1, "the second call's label to go")
    time.sleep(2)

    step("hang up; the recording is whole")
    panel.key("F8")
    caller.wait(r"state=End")
    length = time.monotonic() - started
    panel.click("Record on")
    wait_for(lambda: panel.shows("Record"), "the Record button to read Record")
    files = wait_for(lambda: [f for f in glob.glob(os.path.join(folder, "*.wav"))
                              if not f.endswith(("-l.wav", "-r.wav"))], "the stereo recording")
    check(len(files) == 1, "one recording: %s" % files)
    rate, channels = read_channels(files[0])
    check(len(channels) == 2, "the recording has %d channels" % len(channels))
    left, right = channels
    seconds = len(left) / rate
    measured = {
        "seconds": round(seconds, 2),
        "recorded for": round(length, 2),
        "left caller": tone_energy(left, rate, CALLER_HZ),
        "left panel": tone_energy(left, rate, PANEL_HZ),
        "left waiting caller": tone_energy(left, rate, WAITING_HZ),
        "left rms": rms(left),
        "right panel": tone_energy(right, rate, PANEL_HZ),
        "right caller": tone_energy(right, rate, CALLER_HZ),
    }
    print("measured:", measured)
    # The end is not cut off: the file lasts as long as the call was recorded (set-up aside).
    check(seconds > length - 1.5, "%.1f s recorded of a %.1f s recording" % (seconds, length))
    # Left: the far end alone, at the level it was played (a 0.5 sine: 0.35 rms, PCMU keeps it).
    check(measured["left caller"] > 0.9, "left channel: the caller's tone is %.3f of it" % measured["left caller"])
    check(measured["left panel"] < 1e-3 and measured["left waiting caller"] < 1e-3,
          "left channel holds our microphone or the waiting caller: %s" % measured)
    check(measured["left rms"] > 0.25, "left channel level %.3f: the far end was attenuated" % measured["left rms"])
    # Right: our microphone alone.
    check(measured["right panel"] > 0.9, "right channel: our tone is %.3f of it" % measured["right panel"])
    check(measured["right caller"] < 1e-3, "right channel holds the caller: %s" % measured)


Bed().run(record_while_ringing)
