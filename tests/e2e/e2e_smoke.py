#!/usr/bin/python3
"""Starts the real editor on a virtual X display with a picture on the command line, checks
that the picture appears on screen, draws one line with the line tool through real mouse clicks
and checks that the line appears over the picture and the caption marks the change. Undo and
redo by keyboard are tried right after start.

Usage (under an X server, e.g. xvfb-run): e2e_smoke.py <linovex binary> <folder for artifacts>
Screenshots of a failed run are left in the artifacts folder.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

# The picture: a left half and a right half in colours no window element uses.
WIDTH, HEIGHT = 200, 150
LEFT = (250, 40, 170)
RIGHT = (40, 200, 90)
TOLERANCE = 6
RULER_STRIP = 49  # the ruler strips above and left of the drawing area, in pixels


class Failure(Exception):
    pass


def write_bmp(path):
    stride = (WIDTH * 3 + 3) // 4 * 4
    rows = []
    for _ in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = LEFT if x < WIDTH // 2 else RIGHT
            row += bytes((b, g, r))
        rows.append(bytes(row.ljust(stride, b"\0")))
    pixels = b"".join(rows)
    header = (b"BM" + (54 + len(pixels)).to_bytes(4, "little") + bytes(4)
              + (54).to_bytes(4, "little") + (40).to_bytes(4, "little")
              + WIDTH.to_bytes(4, "little") + HEIGHT.to_bytes(4, "little")
              + (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(4)
              + len(pixels).to_bytes(4, "little") + (2835).to_bytes(4, "little") * 2 + bytes(8))
    with open(path, "wb") as f:
        f.write(header + pixels)


class Screen:
    """A screenshot of the whole display, read from ImageMagick's binary PPM output."""

    def __init__(self, save_as=None):
        data = run(["import", "-window", "root", "-depth", "8", "ppm:-"], timeout=20, binary=True)
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise Failure("unexpected screenshot format %r" % fields)
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]
        if save_as:
            with open(save_as, "wb") as f:
                f.write(data)

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])


def close(a, b):
    return all(abs(p - q) <= TOLERANCE for p, q in zip(a, b))


def run(command, timeout, binary=False):
    try:
        result = subprocess.run(command, capture_output=True, timeout=timeout, check=False)
    except subprocess.TimeoutExpired:
        raise Failure("%s did not finish within %d s" % (command[0], timeout))
    if result.returncode != 0:
        raise Failure("%s failed (%d): %s" % (" ".join(command), result.returncode,
                                              result.stderr.decode(errors="replace").strip()))
    return result.stdout if binary else result.stdout.decode()


def find_picture(screen):
    """The screen position of the picture's top-left pixel, or None. The picture counts as shown
    when a grid of samples over both halves has its colours."""
    for y in range(screen.height - HEIGHT):
        row = y * screen.width * 3
        for x in range(screen.width - WIDTH):
            i = row + x * 3
            if not close(screen.pixels[i:i + 3], LEFT):
                continue
            if all(close(screen.at(x + dx, y + dy), LEFT if dx < WIDTH // 2 else RIGHT)
                   for dx in range(0, WIDTH, 9) for dy in range(0, HEIGHT, 7)):
                return x, y
            return None
    return None


def tool_buttons(screen, window, picture):
    """Centres of the buttons of the vertical tool bar, top to bottom: runs of rows whose strip
    left of the rulers holds icon pixels."""
    # Keep clear of the frames at both sides of the tool bar.
    left = window[0] + 3
    right = picture[0] - RULER_STRIP - 6
    top = picture[1] - RULER_STRIP
    background = screen.at(left, top + 2)
    buttons = []
    run_start = None
    for y in range(top, window[1] + window[3]):
        xs = [x for x in range(left, right)
              if max(abs(p - q) for p, q in zip(screen.at(x, y), background)) > 60]
        if xs and run_start is None:
            run_start, run_xs = y, xs
        elif xs:
            run_xs += xs
        elif run_start is not None:
            if y - run_start >= 8:
                buttons.append(((min(run_xs) + max(run_xs)) // 2, (run_start + y) // 2))
            run_start = None
    return buttons


def tool_button(screen, window, picture, index):
    """The centre of the tool button at `index` from the top (0 the hand, 1 the line tool). The
    buttons stand at equal distances, and an icon in two pieces can count twice, so the place is
    worked out from the first two buttons and must hold one."""
    buttons = tool_buttons(screen, window, picture)
    if len(buttons) < 2:
        raise Failure("found %d tool buttons, expected the hand and the line tool first"
                      % len(buttons))
    x = buttons[0][0]
    y = buttons[0][1] + index * (buttons[1][1] - buttons[0][1])
    if not any(abs(bx - x) <= 3 and abs(by - y) <= 3 for bx, by in buttons):
        raise Failure("no tool button at %d, %d where tool %d belongs" % (x, y, index))
    return x, y


def window_geometry(window_id):
    out = run(["xdotool", "getwindowgeometry", "--shell", window_id], timeout=10)
    values = dict(line.split("=", 1) for line in out.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def click(x, y):
    run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], timeout=10)
    time.sleep(0.4)


def start_editor(binary, artifacts, work):
    """Starts the editor on the display with a fresh home and data folder and the test picture
    on its command line; returns the process and its log file."""
    picture_path = os.path.join(work, "picture.bmp")
    write_bmp(picture_path)
    env = dict(os.environ)
    for name, folder in (("HOME", "home"), ("XDG_CONFIG_HOME", "home/.config"),
                         ("XDG_DATA_HOME", "home/.local/share"), ("LINOVEX_DATA_DIR", "data"),
                         ("XDG_RUNTIME_DIR", "runtime")):
        env[name] = os.path.join(work, folder)
        os.makedirs(env[name], mode=0o700, exist_ok=True)
    env.pop("QT_QPA_PLATFORM", None)  # the real display, not the offscreen platform
    log = open(os.path.join(artifacts, "linovex.log"), "w")
    editor = subprocess.Popen([binary, picture_path], env=env, stdout=log, stderr=subprocess.STDOUT)
    return editor, log


def wait_for_picture(editor, artifacts):
    """Waits until the editor's window shows the picture; returns the window's geometry, the
    screenshot and the screen position of the picture's top-left pixel."""
    ids = run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "Linovex"], timeout=30)
    window = window_geometry(ids.split()[0])

    # The picture is loaded once the window is on screen; give it a moment.
    deadline = time.time() + 20
    while True:
        if editor.poll() is not None:
            raise Failure("the editor ended with status %d" % editor.returncode)
        before = Screen(os.path.join(artifacts, "1-picture.ppm"))
        picture = find_picture(before)
        if picture or time.time() > deadline:
            break
        time.sleep(0.5)
    if not picture:
        raise Failure("the picture's pixels are not on the screen")
    print("picture shown at", picture)
    return window, before, picture


def stop_editor(editor, log):
    if editor.poll() is None:
        editor.terminate()
        try:
            editor.wait(timeout=10)
        except subprocess.TimeoutExpired:
            editor.kill()
    log.close()


def smoke(binary, artifacts, work):
    editor, log = start_editor(binary, artifacts, work)
    try:
        window, before, picture = wait_for_picture(editor, artifacts)

        window_id = run(["xdotool", "search", "--onlyvisible", "--name", "Linovex"],
                        timeout=10).split()[0]

        # Right after start the keys reach the document: Ctrl+Z takes the loaded picture back
        # and Ctrl+Y brings it again. The virtual display has no window manager, so the window
        # is given the keyboard as a window manager would give it.
        run(["xdotool", "windowfocus", "--sync", window_id], timeout=10)
        for keys, shown in (("ctrl+z", False), ("ctrl+y", True)):
            run(["xdotool", "key", keys], timeout=10)
            time.sleep(0.8)
            if (find_picture(Screen()) is not None) != shown:
                raise Failure("%s right after start did not %s the picture"
                              % (keys, "bring back" if shown else "take back"))

        click(*tool_button(before, window, picture, 1))  # the line tool, below the hand

        start = (picture[0] + 30, picture[1] + 30)
        end = (picture[0] + 170, picture[1] + 120)
        click(*start)
        click(*end)
        # Leave the pointer outside the picture so only the drawn line differs.
        run(["xdotool", "mousemove", "--sync", str(window[0] + window[2] - 60),
             str(window[1] + window[3] - 60)], timeout=10)
        time.sleep(0.8)
        after = Screen(os.path.join(artifacts, "2-line.ppm"))

        samples = 40
        changed = 0
        for k in range(1, samples):
            x = start[0] + (end[0] - start[0]) * k // samples
            y = start[1] + (end[1] - start[1]) * k // samples
            if any(after.at(x + dx, y + dy) != before.at(x + dx, y + dy)
                   for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                changed += 1
        print("line pixels changed at %d of %d samples" % (changed, samples - 1))
        if changed < (samples - 1) * 3 // 4:
            raise Failure("no line appeared between the two clicks")
        # The caption the window system shows: the program's own, marked as changed, and
        # nothing appended.
        title = run(["xdotool", "getwindowname", window_id], timeout=10).strip()
        if title != "Mervane Linovex 1.0*":
            raise Failure("the window's caption is %r" % title)
        if editor.poll() is not None:
            raise Failure("the editor ended with status %d" % editor.returncode)
    finally:
        stop_editor(editor, log)


def run_test(test, argv, passed):
    """The command line of a test script: the editor binary and a fresh artifacts folder; a
    scratch folder for the test's files that is removed afterwards."""
    if len(argv) != 3:
        print("usage: %s <linovex binary> <folder for artifacts>" % argv[0], file=sys.stderr)
        return 2
    binary, artifacts = os.path.abspath(argv[1]), argv[2]
    shutil.rmtree(artifacts, ignore_errors=True)
    os.makedirs(artifacts)
    work = tempfile.mkdtemp(prefix="linovex-e2e-")
    try:
        test(binary, artifacts, work)
    except Failure as failure:
        print("FAILED:", failure, file=sys.stderr)
        print("screenshots and the editor's output are in", artifacts, file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(passed)
    return 0


if __name__ == "__main__":
    sys.exit(run_test(smoke, sys.argv, "end-to-end smoke test passed"))
