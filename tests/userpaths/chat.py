"""The README's chat steps through the window: the settings line and the chatlogs folder, a
restart, a chat opened from the number field and a message sent with Return; a message from the
far end marks the extension, a click on the mark opens the chat at it, both lines land in the chat
log file and History -> Chat history lists them after Filter."""

import os

import pyatspi

from orvalo_ui import Bed, check, click, click_at, find, step, text_of, unread_mark, walk, wait_for

SENT = "hello from the desk"
RECEIVED = "hello back"


def chat(bed):
    panel = bed.desk()
    check(not panel.shows("Chat"), "the Chat button shows before the chat is enabled")

    step("8. EnableChat=1 in the settings, a chatlogs folder, restart")
    with open(os.path.join(panel.dir, "settings"), "a") as settings:
        settings.write("EnableChat=1\n")
    chatlogs = os.path.join(panel.dir, "chatlogs")
    os.mkdir(chatlogs)
    panel.menu("Accounts", "Exit")
    check(panel.exited() == 0, "the panel's exit status")
    panel.start()
    wait_for(lambda: "1001" in bed.registrar.registered(), "1001 registered again after the restart")
    wait_for(lambda: panel.extension_colour(0) == "green", "the extension's label to turn green")
    peer = bed.peer("1002")

    step("   1002 in the number field, Chat; 1002 in the chat's list, a message, Return")
    panel.type_number("1002")
    panel.click("Chat")
    window = panel.dialog("Conversation between Desk")
    click(wait_for(lambda: find(window, role="list item", name="1002"), "1002 in the chat's list"))
    window = panel.dialog("Conversation between Desk and 1002")
    message = panel.field("Message", window)
    panel.type_text(message, SENT)
    panel.press("Return")
    line = peer.wait(r"^EVENT message ")
    check("from=sip:1001@" in line and 'body="%s"' % SENT in line, "1002 received: " + line)
    wait_for(lambda: text_of(message) == "", "the message field to empty")
    wait_for(lambda: find(window, name=SENT, showing=True), "the sent line in the chat")

    step("9. the chat closed, 1002 writes back: the unread mark, a click opens the chat")
    panel.click("Exit", window)
    wait_for(lambda: not window.getState().contains(pyatspi.STATE_SHOWING), "the chat window to close")
    peer.command("message %s %s" % (bed.registrar.uri("1001"), RECEIVED))
    peer.wait(r"^EVENT message-state .*state=Delivered")
    wait_for(lambda: panel.extension_rows()[0].name == "Desk 1001, registered, 1 unread message",
             "a screen reader to read the unread message in the extension's row")
    mark = wait_for(lambda: unread_mark(panel.extension_rows()[0]), "the unread mark on the extension's row")
    panel.raise_main_window()
    click_at(*mark)
    window = panel.dialog("Conversation between Desk and 1002")
    wait_for(lambda: find(window, name=RECEIVED, showing=True), "the received line in the chat")
    wait_for(lambda: panel.extension_rows()[0].name == "Desk 1001, registered", "the unread mark to go")

    step("   both lines in chatlogs/1001-1002")
    with open(os.path.join(chatlogs, "1001-1002"), "rb") as log:
        lines = log.read().splitlines()
    check([(l[:1], l.split(b"\x1f")[-1]) for l in lines] == [(b"\x0e", SENT.encode()), (b"\x0f", RECEIVED.encode())],
          "the chat log holds %r" % lines)

    step("   History -> Chat history, Filter: both lines")
    panel.menu("History", "Chat history")
    history = panel.dialog("Chat History")
    panel.click("Filter", history)
    cells = wait_for(lambda: [n.name for n in walk(history) if n.name in (SENT, RECEIVED)],
                     "the chat lines in the history")
    check(sorted(cells) == sorted([SENT, RECEIVED]), "the history lists %s" % cells)


Bed().run(chat)
