#!/usr/bin/python3
"""Reads Quorvane as a screen reader does, over AT-SPI.

Starts a virtual X screen, a private D-Bus session with the accessibility bus,
the meter simulator on a pseudo-terminal and the program on the xcb platform,
then walks the program's accessible tree with pyatspi: the value panels must
tell their values ("----" for a silent meter, "-500.0" for a meter that reads
-500.0), the chart legend and the line statistics their values, and the tool
windows must be announced as windows, not as fillers.

    /usr/bin/python3 scripts/screen-reader-check.py --program build/bin/quorvane \
        --simulator build/bin/quorvane-meter-sim [--dump]

--dump prints the accessible tree of every window it opened. Exits 0 when all
checks pass, 1 when one fails and 77 when the AT-SPI tools are not installed
(scripts/packages.sh installs them). Needs Debian's python3 for pyatspi.
"""

import argparse
import importlib.util
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
AT_SPI_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
AT_SPI_REGISTRY = "/usr/libexec/at-spi2-registryd"
DEADLINE_S = 60

# The simulated line: meter 1 answers its curve, 2 is silent, 3 reads -500.0
# (register 200 = -5000 tenths), 4 answers its curve.
METERS = "1-4"
SILENT_METER = 2
LOW_METER = 3
LOW_TENTHS = -5000


def missing_tools():
    missing = [tool for tool in ("Xvfb", "dbus-daemon", "dbus-send") if shutil.which(tool) is None]
    missing += [path for path in (AT_SPI_LAUNCHER, AT_SPI_REGISTRY) if not os.access(path, os.X_OK)]
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("pyatspi (python3-pyatspi)")
    return missing


class Processes:
    """The processes this check started, each in a session of its own so that
    ending one ends what it started (the accessibility bus and registry)."""

    def __init__(self):
        self.started = []

    def start(self, args, **kwargs):
        process = subprocess.Popen(args, start_new_session=True, **kwargs)
        self.started.append(process)
        return process

    def stop_all(self):
        # Last started first: the program goes before its X server and buses.
        for process in reversed(self.started):
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                continue
            try:
                process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()


def read_line(fd, what, deadline_s=DEADLINE_S):
    """The first line a child writes to `fd`, within the deadline."""
    data = b""
    end = time.monotonic() + deadline_s
    while b"\n" not in data:
        remaining = end - time.monotonic()
        if remaining <= 0 or not select.select([fd], [], [], remaining)[0]:
            raise RuntimeError(f"no answer from {what}")
        chunk = os.read(fd, 256)
        if not chunk:
            raise RuntimeError(f"{what} ended before it answered")
        data += chunk
    return data.split(b"\n", 1)[0].decode().strip()


def start_x(processes):
    read_end, write_end = os.pipe()
    processes.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                    pass_fds=(write_end,), stderr=subprocess.DEVNULL)
    os.close(write_end)
    display = ":" + read_line(read_end, "Xvfb")
    os.close(read_end)
    return display


def start_session_bus(processes, env):
    bus = processes.start(["dbus-daemon", "--session", "--nofork", "--print-address"], stdout=subprocess.PIPE,
                          env=env)
    return read_line(bus.stdout.fileno(), "dbus-daemon")


def accessibility_bus_ready(env):
    """True once the session bus hands out the accessibility bus's address."""
    ask = ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
           "org.a11y.Bus.GetAddress"]
    return subprocess.run(ask, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def wait_until(condition, what, deadline_s=DEADLINE_S):
    """Polls `condition` until it gives something true; that value, or an
    error naming `what` at the deadline."""
    end = time.monotonic() + deadline_s
    last_error = None
    while time.monotonic() < end:
        try:
            value = condition()
            if value:
                return value
        except Exception as error:  # an object that went away while it was read
            last_error = error
        time.sleep(0.2)
    raise RuntimeError(f"timed out waiting for {what}" + (f" ({last_error})" if last_error else ""))


def set_setting(path, section, key, value):
    """Sets one key of the program's settings file, keeping every other line."""
    with open(path, encoding="utf-8", errors="surrogateescape") as file:
        lines = file.read().splitlines()
    out, in_section, done = [], False, False
    for line in lines:
        stripped = line.strip()
        if stripped.startswith("["):
            if in_section and not done:
                out.append(f"{key}={value}")
                done = True
            in_section = stripped[1:-1].lower() == section.lower()
        elif in_section and not done and stripped.split("=", 1)[0].strip().lower() == key.lower():
            out.append(f"{key}={value}")
            done = True
            continue
        out.append(line)
    if not done:
        if not in_section:
            out.append(f"[{section}]")
        out.append(f"{key}={value}")
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as file:
        file.write("\n".join(out) + "\n")


def start_simulator(processes, simulator, home, log):
    sim = processes.start([simulator, "--data-dir", home, "--addresses", METERS, "--silent", str(SILENT_METER),
                           "--value", f"{LOW_METER}={LOW_TENTHS}"], stdout=subprocess.PIPE, stderr=log)
    device = read_line(sim.stdout.fileno(), "the meter simulator")
    settings = os.path.join(home, "qlvmsys.dll")
    set_setting(settings, "Programme", "Lang", "1")
    for key, value in (("samplingtime", 200), ("singleormulti", 2), ("startaddress", 1), ("endaddress", 4),
                       ("meteramount", 4)):
        set_setting(settings, "MeterConfig", key, value)
    return device


# --- the accessible tree ----------------------------------------------------


def role(node):
    return node.getRoleName()


def children(node):
    """The children that can be read now; one that went away in the
    meantime is left out, not its siblings."""
    try:
        count = node.childCount
    except Exception:
        return []
    found = []
    for i in range(count):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        if child is not None:
            found.append(child)
    return found


def walk(node, depth=0):
    yield node, depth
    for child in children(node):
        yield from walk(child, depth + 1)


def dump(node, out=sys.stdout):
    for item, depth in walk(node):
        description = item.description
        out.write("  " * depth + f"[{role(item)}] {item.name!r}" + (f" ({description!r})" if description else "")
                  + "\n")


def find(node, predicate):
    return [item for item, _ in walk(node) if predicate(item)]


def fresh(app):
    # A screen reader is told of changes by events; this check reads afresh.
    app.clear_cache()
    return app


def do_action(node, name):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == name:
            return action.doAction(i)
    raise RuntimeError(f"{node.name!r} has no action {name!r}")


def choose_menu(app, text):
    try:
        items = wait_until(lambda: find(fresh(app), lambda n: role(n) == "menu item" and n.name == text),
                           f"menu item {text!r}")
    except RuntimeError:
        dump(fresh(app))
        raise
    do_action(items[0], "press")


def window(app, title):
    return wait_until(lambda: [w for w in children(fresh(app)) if w.name == title], f"window {title!r}")[0]


# --- checks -------------------------------------------------------------------


class Checks:
    def __init__(self):
        self.failed = []

    def expect(self, ok, what):
        print(("ok    " if ok else "FAIL  ") + what)
        if not ok:
            self.failed.append(what)


def panel_value(app, caption):
    """The labels of the value panel `caption` ("3#", its position may
    follow): (name, description) each."""
    panels = find(fresh(app), lambda n: (n.name == caption or n.name.startswith(caption + " "))
                  and any(role(c) == "label" for c in children(n)))
    return [(n.name, n.description) for p in panels for n in children(p) if role(n) == "label"]


def is_number(text):
    try:
        float(text)
        return True
    except ValueError:
        return False


def check_panels(app, checks):
    choose_menu(app, "Meter Interface")

    def shown(caption, accept):
        return wait_until(lambda: [label for label in panel_value(app, caption) if accept(label)],
                          f"the value of {caption}")

    def report(caption, accept, what):
        try:
            label = shown(caption, accept)[0]
            checks.expect(True, f"panel {caption} reads {label[0]!r}" + (f" ({label[1]})" if label[1] else ""))
        except RuntimeError:
            checks.expect(False, f"panel {caption}: {what}; its labels read {panel_value(app, caption)}")

    report("1#", lambda label: is_number(label[0]), "a number")
    report(f"{SILENT_METER}#", lambda label: label == ("----", "not answering"), "'----', not answering")
    report(f"{LOW_METER}#", lambda label: label == ("-500.0", ""), "'-500.0', answering")


def tick(tree, meter, pyatspi):
    """Ticks the meter in the chart's tree as a user does: a click on the
    item, then the space bar. (Qt offers no action that ticks an item.)"""
    def item():
        return [c for c in children(tree) if c.name == meter][0]

    box = item().queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "b1c")
    wait_until(lambda: item().getState().contains(pyatspi.STATE_FOCUSED), f"{meter} focused in the tree")
    pyatspi.Registry.generateKeyboardEvent(0x20, None, pyatspi.KEY_SYM)  # XK_space
    wait_until(lambda: item().getState().contains(pyatspi.STATE_CHECKED), f"{meter} ticked")


def check_legend(app, checks, pyatspi):
    choose_menu(app, "Realtime Chart")

    def tree_of_meters():
        trees = find(fresh(app), lambda n: role(n) == "tree" and n.name == "Item To Watch")
        return [tree for tree in trees if any(c.name == "1#" for c in children(tree))]

    tree = wait_until(tree_of_meters, "the tree of meters to watch")[0]
    for meter in ("1#", f"{SILENT_METER}#", f"{LOW_METER}#"):
        tick(tree, meter, pyatspi)
    start = wait_until(lambda: find(fresh(app), lambda n: role(n) == "push button" and n.name == "Start"),
                       "the Start button")[0]
    do_action(start, "press")

    def rows():
        lists = find(fresh(app), lambda n: role(n) == "list" and n.name == "Legend")
        return [row.name for legend in lists for row in children(legend)]

    for meter, accept, what in (("1#", is_number, "a number"),
                                (f"{SILENT_METER}#", lambda value: value == "----", "'----'"),
                                (f"{LOW_METER}#", lambda value: value == "-500.0", "'-500.0'")):
        prefix = meter + ": "
        try:
            row = wait_until(lambda: [r for r in rows() if r.startswith(prefix) and accept(r[len(prefix):])],
                             f"the legend row of {meter}")[0]
            checks.expect(True, f"legend row reads {row!r}")
        except RuntimeError:
            checks.expect(False, f"legend row of {meter}: {what}; the rows read {rows()}")


def check_windows(app, checks, dump_tree):
    for menu, title in (("Line Statistics", "Line Statistics"), ("Traffic Monitor", "Traffic Monitor"),
                        ("History Chart", "History Chart"), ("Scan the Line", "Scan the Line"),
                        ("Alarms", "Alarms")):
        choose_menu(app, menu)
        found = window(app, title)
        checks.expect(role(found) in ("frame", "window"), f"window {title!r} is a {role(found)}")
        if dump_tree:
            dump(found)


def check_statistics(app, checks):
    table = wait_until(lambda: find(window(app, "Line Statistics"), lambda n: role(n) == "table"),
                       "the statistics table")[0]

    def state_of(meter):
        cells = table.queryTable()
        for row in range(cells.nRows):
            if cells.getAccessibleAt(row, 0).name == meter:
                columns = [cells.getColumnDescription(c) for c in range(cells.nColumns)]
                return cells.getAccessibleAt(row, columns.index("State")).name
        return None

    for meter, state in ((f"{SILENT_METER}#", "not answering"), (f"{LOW_METER}#", "answering"),
                         ("1#", "answering")):
        try:
            wait_until(lambda: state_of(meter) == state, f"state of {meter}")
            checks.expect(True, f"statistics row {meter} reads state {state!r}")
        except RuntimeError:
            checks.expect(False, f"statistics row {meter}: state {state!r}, read {state_of(meter)!r}")


def run(args):
    processes = Processes()
    work = tempfile.mkdtemp(prefix="quorvane-a11y-")
    try:
        env = dict(os.environ)
        env["DISPLAY"] = start_x(processes)
        runtime = os.path.join(work, "run")
        os.mkdir(runtime, 0o700)
        env["XDG_RUNTIME_DIR"] = runtime
        env.pop("AT_SPI_BUS_ADDRESS", None)
        env["DBUS_SESSION_BUS_ADDRESS"] = start_session_bus(processes, env)
        processes.start([AT_SPI_LAUNCHER, "--launch-immediately"], env=env, stderr=subprocess.DEVNULL)
        # The program looks for the accessibility bus once, when it starts:
        # the bus and its registry must be there before it.
        wait_until(lambda: accessibility_bus_ready(env), "the accessibility bus")
        os.environ.update(env)  # pyatspi connects with the environment it finds
        import pyatspi
        desktop = pyatspi.Registry.getDesktop(0)
        wait_until(lambda: desktop.childCount >= 0, "the accessibility registry")

        home = os.path.join(work, "home")
        os.mkdir(home)
        with open(os.path.join(work, "simulator.log"), "wb") as sim_log, \
                open(os.path.join(work, "program.log"), "wb") as program_log:
            start_simulator(processes, args.simulator, home, sim_log)
            program_env = dict(env, QUORVANE_HOME=home, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
            program = processes.start([args.program], env=program_env, stdout=program_log, stderr=program_log)
            app = wait_until(lambda: [a for a in children(desktop) if a.get_process_id() == program.pid],
                             "the program on the accessibility bus")[0]
            checks = Checks()
            check_panels(app, checks)
            if args.dump:
                dump(fresh(app))
            check_legend(app, checks, pyatspi)
            check_windows(app, checks, args.dump)
            check_statistics(app, checks)
        if checks.failed:
            print(f"{len(checks.failed)} check(s) failed")
            return 1
        return 0
    except Exception:
        log = os.path.join(work, "program.log")
        if os.path.exists(log):
            with open(log, errors="replace") as text:
                print("program output:\n" + text.read()[-4000:])
        raise
    finally:
        processes.stop_all()
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--simulator", required=True)
    parser.add_argument("--dump", action="store_true", help="print the accessible tree")
    parser.add_argument("--keep", action="store_true", help="keep the logs and the data directory")
    args = parser.parse_args()
    missing = missing_tools()
    if missing:
        print("skipped: missing " + ", ".join(missing) + " (scripts/packages.sh installs them)")
        return SKIP
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
