"""Every window of the desktop application as assistive technology sees it,
over the AT-SPI bus: opened through its menu item, its tree compared with
the window's table below, then walked with Tab and with each mnemonic.

Run by run-accessibility-test inside an X server and a D-Bus session:
  accessibility_test.py VORNA BOARD_SIM HEX_FILE WORK_FOLDER

A table has one row per object, indented by depth: role, 'name',
'description' (shell patterns), the label it is labelled by, "focusable"
and "hidden" where they hold, and <alt+x> when Alt+x must move the focus
to it. The focusable controls that are not hidden, in table order, are the
tab order (a label is never a tab stop). Combo boxes, text boxes and hidden
objects are listed without their parts."""

import fnmatch
import os
import shutil
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

MAIN = """\
dialog 'FM Transmitter Setting' ''
  menu bar '' ''
    menu item 'Setting' ''
      popup menu '' '' hidden
    menu item 'Option' ''
      popup menu '' '' hidden
    menu item 'Other' ''
      popup menu '' '' hidden
  filler '' ''
    push button 'Close' '' focusable
    push button 'Cancel' '' focusable hidden
    text 'Status' '' focusable
    progress bar 'Download progress' '' hidden
    push button 'Stop the download' '' focusable hidden
"""

QUICK = """\
dialog 'Quick Setting' ''
  label 'Transmission Freq.' ''
  combo box '*' 'Transmission frequency, MHz' labelled 'Transmission Freq.' focusable <alt+t>
  combo box '*' 'Transmission frequency, tenths of a MHz' focusable
  combo box '*' 'Output power, mW' labelled 'Output Power' focusable <alt+o>
  combo box '*' 'Audio input level, mVrms' labelled 'Audio Input Level' focusable <alt+a>
  combo box '*' 'Pre-emphasis' labelled 'Pre-emphasis' focusable <alt+p>
  combo box '*' 'Pre-emphasis time constant, microseconds' labelled 'Pre-emphasis Time Constant' focusable <alt+c>
  push button 'OK' '' focusable
  push button 'Cancel' '' focusable
  label '.' ''
  label 'MHz' ''
  label 'Output Power' ''
  label 'mW' ''
  label 'Audio Input Level' ''
  label 'mVrms' ''
  label 'Pre-emphasis' ''
  label 'Pre-emphasis Time Constant' ''
  label 'uSec' ''
  check box 'Set as default values' '' focusable <alt+s>
"""

ADVANCED = """\
dialog 'Advanced Setting' ''
  combo box '*' 'Register field: A0*' focusable
  label 'A0*' ''
  combo box '*' 'Value of the field: A0*' focusable
  text 'P (hexadecimal)' 'A0*' labelled '0x' focusable hidden
  check box 'Restore default values.' '' focusable <alt+r>
  push button 'OK' '' focusable
  push button 'Cancel' '' focusable
  label '0x' '' hidden
"""

COM_PORT = """\
dialog 'COM Port' ''
  label 'COM' ''
  combo box '*' 'COM7*' labelled 'COM' focusable <alt+c>
  push button 'OK' '' focusable
  push button 'Cancel' '' focusable
  label 'Device at this port number' 'COM7*' focusable
"""

DOWNLOAD = """\
dialog 'Download user program' ''
  label 'File Name' ''
  text 'Hex file name' '' labelled 'File Name' focusable <alt+f>
  push button 'Browse for the hex file' '' focusable
  push button 'OK' '' focusable
  push button 'Cancel' '' focusable
"""

ABOUT = """\
dialog 'About vorna' ''
  image 'vorna icon' ''
  label 'vorna Version *' ''
  push button 'OK' '' focusable
"""

HEX_PROBLEMS = """\
alert 'vorna' 'The hex file has problems:*Download anyway?'
  label '' '' hidden
  label 'The hex file has problems:*Download anyway?' '' focusable
  panel '' ''
    push button 'Yes' '' focusable
    push button 'No' '' focusable
"""

PORT_NOT_OPENED = """\
alert 'vorna' 'Can not open COM99?COM99: *'
  label '' '' hidden
  label 'Can not open COM99' '' focusable
  panel '' ''
    push button 'OK' '' focusable
  label 'COM99: *' '' focusable
"""


def wait_for(what, find):
    """What find() returns once it is not empty, within a minute."""
    for _ in range(600):
        if found := find():
            return found
        time.sleep(0.1)
    sys.exit(f"accessibility: {what} never appeared")


def children(acc):
    """Its children; one that is going away reads as None."""
    return [child for i in range(acc.childCount) if (child := acc.getChildAtIndex(i)) is not None]


def labelled_by(acc):
    targets = [r.getTarget(0).name for r in acc.getRelationSet()
               if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    return targets[0] if targets else ""


def dump(acc, depth=0):
    """The tree as (row, object) pairs in table form."""
    states = acc.getState()
    label = labelled_by(acc)
    row = ("  " * depth + f"{acc.getRoleName()} '{acc.name}' '{acc.description}'"
           + (f" labelled '{label}'" if label else "")
           + (" focusable" if states.contains(pyatspi.STATE_FOCUSABLE) else "")
           + (" hidden" if not states.contains(pyatspi.STATE_VISIBLE) else ""))
    found = [(row, acc)]
    if not row.endswith(" hidden") and acc.getRole() not in (pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT):
        for child in children(acc):
            found += dump(child, depth + 1)
    return found


def spoken_name(acc):
    """Qt names a combo box after its current item on this bus; a screen
    reader names it after its label, or else reads its description."""
    if acc.getRole() == pyatspi.ROLE_COMBO_BOX:
        return labelled_by(acc) or acc.description
    return acc.name


def fail(title, seen, message):
    sys.exit(f"accessibility: {title}: {message}\nThe tree seen:\n" + "\n".join("  " + row for row, _ in seen))


def focused(window):
    hits = [i for i, (_, acc) in enumerate(dump(window)) if acc.getState().contains(pyatspi.STATE_FOCUSED)]
    return hits[0] if len(hits) == 1 else None


def key(name):
    subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)


def check_window(title, window, table, walk=True):
    """The window's tree against `table`; then Tab once round, and each
    mnemonic, each moving the focus where the table says."""
    expected = [(line[:-1].rsplit(" <", 1) if line.endswith(">") else (line, None)) for line in table.splitlines()]
    seen = dump(window)
    for i in range(max(len(seen), len(expected))):
        row, pattern = seen[i][0] if i < len(seen) else "(none)", expected[i][0] if i < len(expected) else "(none)"
        if not fnmatch.fnmatchcase(row, pattern):
            fail(title, seen, f"row {i + 1} is\n  {row}\nexpected\n  {pattern}")
    controls = [i for i, (row, acc) in enumerate(seen)
                if row.endswith(" focusable") and acc.getRole() != pyatspi.ROLE_LABEL]
    names = [spoken_name(seen[i][1]) for i in controls]
    if "" in names or len(set(names)) != len(names):
        fail(title, seen, f"controls without a name, or two alike: {names}")
    if walk:
        start = controls.index(wait_for(f"the focus in {title}", lambda: focused(window)))
        for step in controls[start + 1:] + controls[:start + 1]:
            key("Tab")
            if (now := wait_for("a focus after Tab", lambda: focused(window))) != step:
                fail(title, seen, f"Tab moved the focus to row {now + 1}, not row {step + 1}")
        for i, letter in ((i, letter) for i, (_, letter) in enumerate(expected) if letter):
            key(letter)
            if wait_for(f"a focus after {letter}", lambda: focused(window)) != i:
                fail(title, seen, f"{letter} did not move the focus to row {i + 1}")
    return seen


def named(acc, role, name):
    """The object of that role and name below `acc`, hidden ones included."""
    if acc.getRole() == role and acc.name == name:
        return acc
    return next((found for child in children(acc) if (found := named(child, role, name))), None)


def press(acc):
    """A menu item answers only once the window it opens has closed: the
    answer is not waited for; the window that opens tells it worked."""
    try:
        acc.queryAction().doAction(0)
    except GLib.GError as error:
        if "reply" not in str(error):
            raise


def shown(app, role, title="*"):
    return next((w for w in children(app) if w.getRole() == role and fnmatch.fnmatchcase(w.name, title)
                 and w.getState().contains(pyatspi.STATE_VISIBLE)), None)


def run_menu(app, main, menu, item, title, role=pyatspi.ROLE_DIALOG):
    """Chooses the menu item; the window it opens."""
    press(named(named(main, pyatspi.ROLE_MENU_ITEM, menu), pyatspi.ROLE_MENU_ITEM, item))
    return wait_for(title, lambda: shown(app, role, title))


def close(app, window, button=None):
    """Presses the button, or waits for the window to close by itself."""
    if button:
        press(named(window, pyatspi.ROLE_PUSH_BUTTON, button))
    wait_for(f"the end of {window.name}", lambda: window not in [
        w for w in children(app) if w.getState().contains(pyatspi.STATE_VISIBLE)])


def main():
    vorna, board_sim, hex_file, work = sys.argv[1:5]
    desktop = pyatspi.Registry.getDesktop(0)  # starts the bus before the application
    folder = os.path.join(work, "app")
    os.makedirs(folder)
    shutil.copy(vorna, folder)
    problems = os.path.join(work, "no-end.hex")
    with open(hex_file) as source, open(problems, "w") as target:
        target.write(source.readline())  # one record and no end record
    with open(os.path.join(folder, "vorna.ini"), "w") as ini:
        ini.write(f"[SETTING]\nCOM=7\nFILE={problems}\n")
    runtime = os.path.join(work, "runtime")
    os.mkdir(runtime, 0o700)
    env = dict(os.environ, HOME=work, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(work, "config"),
               QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LC_ALL="C", LANGUAGE="")
    if "ASAN_OPTIONS" in env:
        # libxkbcommon-x11 strndup()s key names that end an X reply without a
        # NUL; strict string checks read on past them and stop the program.
        env["ASAN_OPTIONS"] += ":strict_string_checks=0"
    board = subprocess.Popen([board_sim, "--com", "7"], env=env, stdout=subprocess.PIPE, text=True)
    board.stdout.readline()
    app_process = subprocess.Popen([os.path.join(folder, "vorna")], env=env)
    try:
        app = wait_for("the application", lambda: next(
            (a for a in children(desktop) if a.name == "vorna"), None))
        window = wait_for("the main window", lambda: shown(app, pyatspi.ROLE_DIALOG, "FM Transmitter Setting"))
        check_window("main window", window, MAIN)

        quick = run_menu(app, window, "Setting", "Quick", "Quick Setting")
        check_window("Quick Setting", quick, QUICK)
        close(app, quick, "OK")
        pane = named(window, pyatspi.ROLE_TEXT, "Status")
        wait_for("the result as the status pane's description",
                 lambda: pane.description == pane.queryText().getText(0, -1) != "")

        advanced = run_menu(app, window, "Setting", "Advanced", "Advanced Setting")
        seen = check_window("Advanced Setting", advanced, ADVANCED)
        if not seen[1][1].description.endswith(seen[2][1].name.split("\n")[0]):
            fail("Advanced Setting", seen, "the field list's description is not the help's heading")
        close(app, advanced, "Cancel")
        about = run_menu(app, window, "Other", "About VORNA...", "About vorna")
        check_window("About", about, ABOUT)
        close(app, about, "OK")

        download = run_menu(app, window, "Option", "Download", "Download user program")
        check_window("Download", download, DOWNLOAD)
        press(named(download, pyatspi.ROLE_PUSH_BUTTON, "OK"))
        box = wait_for("the hex problems box", lambda: shown(app, pyatspi.ROLE_ALERT))
        check_window("hex problems", box, HEX_PROBLEMS, walk=False)
        close(app, box, "No")

        com_port = run_menu(app, window, "Option", "COM Port", "COM Port")
        check_window("COM Port", com_port, COM_PORT)
        key("ctrl+a")
        subprocess.run(["xdotool", "type", "99"], check=True)
        key("Return")
        close(app, com_port)
        box = run_menu(app, window, "Setting", "Quick", "*", pyatspi.ROLE_ALERT)
        check_window("port not opened", box, PORT_NOT_OPENED, walk=False)
        close(app, box, "OK")
        press(named(window, pyatspi.ROLE_PUSH_BUTTON, "Close"))
        if app_process.wait(60) != 0:
            sys.exit("accessibility: the application did not end well")
    finally:
        for process in (app_process, board):
            if process.poll() is None:
                process.kill()
                process.wait()
    print("accessibility: every window as its table says")


main()
