"""Logging in to the cloud the first time: the panel starts, the login window opens over it, the
person types company code, user name and password and presses OK, picks both devices, answers
"Load configurations?" (and merges the second device with the first), and "My Extensions" fills
with the two provisioned extensions, which register and turn green."""

import pyatspi

from orvalo_ui import LOGIN_TITLE, Bed, check, click, find, step, wait_for


def box_with_text(panel, text):
    """The message box on screen that says text."""
    def look():
        for i in range(panel.app.childCount):
            w = panel.app.getChildAtIndex(i)
            if w is not None and w.getState().contains(pyatspi.STATE_SHOWING) \
                    and find(w, role="label", name=text):
                return w
        return None
    return wait_for(look, "a box saying " + text)


def cloud_login(bed):
    bed.registrar.start()
    cloud = bed.cloud()  # its devices register at the bed's registrar; stopped with the bed
    step("the panel starts; nobody is logged in, so the login window opens")
    # Questions go to real message boxes: the person answers them.
    panel = bed.start_panel(env={"ORVALO_UNATTENDED": ""}, cloud=cloud.base_url, login=True)
    login = panel.dialog(LOGIN_TITLE)
    company = panel.field("Company Code", login)
    wait_for(lambda: company.getState().contains(pyatspi.STATE_ENABLED), "the form enabled after hello")

    step("company code, user name and password; OK")
    panel.type_into("Company Code", "demo", login)
    panel.type_into("Username", "operator", login)
    password = wait_for(lambda: find(login, role=("password text", "text"), name="Password"), "field Password")
    password.queryEditableText().setTextContents("operator-pw")
    panel.click("OK", login)

    step("both devices chosen")
    chooser = panel.dialog("Select which devices to use")
    devices = wait_for(lambda: find(chooser, role="list", name="Devices"), "the device list")
    check(devices.childCount == 2, "two devices offered, got %d" % devices.childCount)
    rows = sorted(devices.getChildAtIndex(i).name for i in range(devices.childCount))
    check(rows == ["dev-1001 Front desk phone", "dev-1003 Sales phone"], "device rows: %s" % rows)
    for i in range(devices.childCount):  # a click selects one more row
        row = devices.getChildAtIndex(i)
        click(row)
        wait_for(lambda: row.getState().contains(pyatspi.STATE_SELECTED), "row %d selected" % i)
    panel.click("OK", chooser)

    step("\"Load configurations?\" Yes; the second device joins the first: Merge")
    panel.click("Yes", box_with_text(panel, "Load configurations?"))
    panel.click("Merge", box_with_text(panel, "Extension configurations found"))
    wait_for(lambda: not login.getState().contains(pyatspi.STATE_SHOWING), "the login window to close")

    step("My Extensions lists both, registered")
    wait_for(lambda: len(panel.extension_rows()) == 2, "two extensions under My Extensions")
    wait_for(lambda: {"1001", "1003"} <= bed.registrar.registered(), "1001 and 1003 registered")
    for i in range(2):
        wait_for(lambda: panel.extension_colour(i) == "green", "extension %d green" % i)
    check(panel.db("SELECT extension FROM accounts WHERE fromapi = 1 ORDER BY extension")
          == [("1001",), ("1003",)], "provisioned rows")
    cloud.wait_for_request("get_orvalo_login_device_details")
    check("operator-pw" not in panel.log(), "the password in the log")
    panel.menu("Accounts")
    check(find(panel.window, role="menu item", name="Logout") is not None, "the Logout entry")


Bed().run(cloud_login)
