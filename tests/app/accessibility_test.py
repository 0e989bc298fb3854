"""Every window of the desktop application as assistive technology sees it,
over the AT-SPI bus: opened through its menu item, its tree compared with
the window's table below, then walked with Tab and with each mnemonic.

Run by run-accessibility-test inside an X server and a D-Bus session:
  accessibility_test.py VORNA BOARD_SIM HEX_FILE WORK_FOLDER

A table has one row per object, indented by depth: role, 'name',
'description' (a shell pattern: * stands for any text), then "focusable"
and "hidden" where they hold (a label is never a tab stop), and <alt+x> when Alt+x must move the focus to
the object. The focusable rows that are not hidden, in table order, are the
tab order. Combo boxes and text boxes are listed without their parts."""

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
        menu item 'Quick' '' hidden
        menu item 'Advanced' '' hidden
    menu item 'Option' ''
      popup menu '' '' hidden
        menu item 'COM Port' '' hidden
        menu item 'Download' '' hidden
        separator '' '' hidden
        menu item 'Save Board Settings...' '' hidden
        menu item 'Load Board Settings...' '' hidden
    menu item 'Other' ''
      popup menu '' '' hidden
        menu item 'Help' '' hidden
        separator '' '' hidden
        menu item 'About VORNA...' '' hidden
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
  combo box '*' '' labelled 'Transmission Freq.' focusable <alt+t>
  combo box '*' '' labelled '.' focusable
  combo box '*' '' labelled 'Output Power' focusable <alt+o>
  combo box '*' '' labelled 'Audio Input Level' focusable <alt+a>
  combo box '*' '' labelled 'Pre-emphasis' focusable <alt+p>
  combo box '*' '' labelled 'Pre-emphasis Time Constant' focusable <alt+c>
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
    """What find() returns once it is not empty; the test ends when it never
    is within a minute."""
    for _ in range(600):
        found = find()
        if found:
            return found
        time.sleep(0.1)
    sys.exit(f"accessibility: {what} never appeared")


def children(acc):
    return [acc.getChildAtIndex(i) for i in range(acc.childCount)]


def dump(acc, depth=0):
    """The tree as (row, object) pairs in table form."""
    states = acc.getState()
    row = "  " * depth + f"{acc.getRoleName()} '{acc.name}' '{acc.description}'"
    if label := labelled_by(acc):
        row += f" labelled '{label}'"
    if states.contains(pyatspi.STATE_FOCUSABLE):
        row += " focusable"
    if not states.contains(pyatspi.STATE_VISIBLE):
        row += " hidden"
    found = [(row, acc)]
    if acc.getRole() not in (pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT):
        for child in children(acc):
            found += dump(child, depth + 1)
    return found


def labelled_by(acc):
    for relation in acc.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return relation.getTarget(0).name
    return ""


def spoken_name(acc):
    """Qt names a combo box after its current item on this bus; a screen
    reader names it after its label, or else reads its description."""
    if acc.getRole() == pyatspi.ROLE_COMBO_BOX:
        return labelled_by(acc) or acc.description
    return acc.name


def parse(table):
    """(row pattern, Alt key or None) for each row of a table."""
    rows = []
    for line in table.splitlines():
        key = None
        if line.endswith(">"):
            line, key = line[:-1].rsplit(" <", 1)
        rows.append((line, key))
    return rows


def fail(title, seen, message):
    print(f"accessibility: {title}: {message}\nThe tree seen:")
    for row, _ in seen:
        print("  " + row)
    sys.exit(1)


def focused(seen):
    hits = [i for i, (_, acc) in enumerate(seen) if acc.getState().contains(pyatspi.STATE_FOCUSED)]
    return hits[0] if len(hits) == 1 else None


def key(name):
    subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)


def check_window(title, window, table, walk=True):
    """The window's tree against `table`; then Tab once round, and each
    mnemonic, each moving the focus where the table says."""
    expected = parse(table)
    seen = dump(window)
    for i, (pattern, _) in enumerate(expected):
        if i >= len(seen):
            fail(title, seen, f"row {i + 1} missing: {pattern}")
        if not fnmatch.fnmatchcase(seen[i][0], pattern):
            fail(title, seen, f"row {i + 1} is\n  {seen[i][0]}\nexpected\n  {pattern}")
    if len(seen) > len(expected):
        fail(title, seen, f"row {len(expected) + 1} not in the table: {seen[len(expected)][0]}")
    # A label whose text can be selected takes the focus from the mouse only.
    controls = [i for i, (row, acc) in enumerate(seen)
                if " focusable" in row and not row.endswith(" hidden") and acc.getRole() != pyatspi.ROLE_LABEL]
    names = [spoken_name(seen[i][1]) for i in controls]
    if "" in names or len(set(names)) != len(names):
        fail(title, seen, f"controls without a name, or two alike: {names}")
    if not walk:
        return seen
    start = wait_for(f"the focus in {title}", lambda: focused(dump(window)))
    order = controls[controls.index(start):] + controls[: controls.index(start)]
    for step in order[1:] + order[:1]:
        key("Tab")
        now = wait_for("a focus after Tab", lambda: focused(dump(window)))
        if now != step:
            fail(title, seen, f"Tab moved the focus to row {now + 1}, not row {step + 1}")
    for i, (_, letter) in enumerate(expected):
        if letter is None:
            continue
        key(letter)
        if wait_for(f"a focus after {letter}", lambda: focused(dump(window))) != i:
            fail(title, seen, f"{letter} did not move the focus to row {i + 1}")
    return seen


def named(acc, role, name):
    for row, child in dump(acc):
        if child.getRole() == role and child.name == name:
            return child
    return None


def press(acc):
    """A menu item answers only once the window it opens has closed: the
    answer is not waited for; the window that opens tells it worked."""
    try:
        acc.queryAction().doAction(0)
    except GLib.GError as error:
        if "reply" not in str(error):
            raise


def run_menu(app, main, menu, item, window_role, window_name):
    """Chooses the menu item; the window it opens."""
    press(named(named(main, pyatspi.ROLE_MENU_ITEM, menu), pyatspi.ROLE_MENU_ITEM, item))
    return wait_for(window_name, lambda: next(
        (w for w in children(app) if w.getRole() == window_role and fnmatch.fnmatchcase(w.name, window_name)
         and w.getState().contains(pyatspi.STATE_VISIBLE)), None))


def gone(app, window):
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
    env = dict(os.environ, HOME=work, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(work, "config"), QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LC_ALL="C", LANGUAGE="")
    board = subprocess.Popen([board_sim, "--com", "7"], env=env, stdout=subprocess.PIPE, text=True)
    board.stdout.readline()
    app_process = subprocess.Popen([os.path.join(folder, "vorna")], env=env)
    try:
        app = wait_for("the application", lambda: next(
            (a for a in children(desktop) if a is not None and a.name == "vorna"), None))
        window = wait_for("the main window", lambda: next(
            (w for w in children(app) if w.name == "FM Transmitter Setting"), None))
        check_window("main window", window, MAIN)

        quick = run_menu(app, window, "Setting", "Quick", pyatspi.ROLE_DIALOG, "Quick Setting")
        check_window("Quick Setting", quick, QUICK)
        press(named(quick, pyatspi.ROLE_PUSH_BUTTON, "OK"))
        gone(app, quick)
        pane = named(window, pyatspi.ROLE_TEXT, "Status")
        result = pane.queryText().getText(0, -1)
        wait_for("the result in the status pane's description", lambda: pane.description == result)

        for menu, item, role, name, table in (
                ("Setting", "Advanced", pyatspi.ROLE_DIALOG, "Advanced Setting", ADVANCED),
                ("Other", "About VORNA...", pyatspi.ROLE_DIALOG, "About vorna", ABOUT)):
            opened = run_menu(app, window, menu, item, role, name)
            seen = check_window(name, opened, table)
            if name == "Advanced Setting" and not seen[1][1].description.endswith(seen[2][1].name.split("\n")[0]):
                fail(name, seen, "the field list's description is not the help's heading")
            press(named(opened, pyatspi.ROLE_PUSH_BUTTON, "Cancel" if name == "Advanced Setting" else "OK"))
            gone(app, opened)

        download = run_menu(app, window, "Option", "Download", pyatspi.ROLE_DIALOG, "Download user program")
        check_window("Download", download, DOWNLOAD)
        press(named(download, pyatspi.ROLE_PUSH_BUTTON, "OK"))
        box = wait_for("the hex problems box", lambda: next(
            (w for w in children(app) if w.getRole() == pyatspi.ROLE_ALERT), None))
        check_window("hex problems", box, HEX_PROBLEMS, walk=False)
        press(named(box, pyatspi.ROLE_PUSH_BUTTON, "No"))
        gone(app, box)

        com_port = run_menu(app, window, "Option", "COM Port", pyatspi.ROLE_DIALOG, "COM Port")
        check_window("COM Port", com_port, COM_PORT)
        key("ctrl+a")
        subprocess.run(["xdotool", "type", "99"], check=True)
        key("Return")
        gone(app, com_port)
        press(named(named(window, pyatspi.ROLE_MENU_ITEM, "Setting"), pyatspi.ROLE_MENU_ITEM, "Quick"))
        box = wait_for("the port's box", lambda: next(
            (w for w in children(app) if w.getRole() == pyatspi.ROLE_ALERT), None))
        check_window("port not opened", box, PORT_NOT_OPENED, walk=False)
        press(named(box, pyatspi.ROLE_PUSH_BUTTON, "OK"))
        gone(app, box)
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
