#!/usr/bin/python3
"""Holds the left Ctrl key down on a virtual X display before the editor's window exists, so the
window never sees the key go down, then draws with the ellipse tool through real mouse clicks:
the shape must come out as a circle, because the editor asks the X server which keys are down
when a mouse button goes down.

Usage (under an X server, e.g. xvfb-run): e2e_leftctrl.py <linovex binary> <folder for artifacts>
"""
import os
import subprocess
import sys
import time

from e2e_smoke import Failure, Screen, click, run, run_test, start_editor, stop_editor, \
    tool_button, wait_for_picture

CIRCLE_TOOL = 5  # hand, line, the three curve tools, then the ellipse


def changed_near(before, after, x, y):
    return any(after.at(x + dx, y + dy) != before.at(x + dx, y + dy)
               for dx in range(-2, 3) for dy in range(-2, 3))


def circle(binary, artifacts, work):
    # Down before the window exists: its press goes to no window of the editor. The server lets
    # go of a key when the client that pressed it leaves, so xdotool stays until the end.
    holder = subprocess.Popen(["xdotool", "keydown", "Control_L", "sleep", "120"])
    time.sleep(0.5)
    editor, log = start_editor(binary, artifacts, work)
    try:
        window, before, picture = wait_for_picture(editor, artifacts)
        click(*tool_button(before, window, picture, CIRCLE_TOOL))

        # From the start 120 right and 60 down: an ellipse of 120 x 60, or with the left Ctrl
        # key a circle of the smaller size, 60 x 60.
        x0, y0 = picture[0] + 20, picture[1] + 20
        click(x0, y0)
        click(x0 + 120, y0 + 60)
        run(["xdotool", "mousemove", "--sync", str(window[0] + window[2] - 60),
             str(window[1] + window[3] - 60)], timeout=10)
        time.sleep(0.8)
        after = Screen(os.path.join(artifacts, "2-shape.ppm"))
        circle_edge = changed_near(before, after, x0 + 60, y0 + 30)
        ellipse_edge = changed_near(before, after, x0 + 120, y0 + 30)
        print("right edge of the circle drawn: %s, of the full ellipse: %s"
              % (circle_edge, ellipse_edge))
        if not circle_edge or ellipse_edge:
            raise Failure("the left Ctrl key, down since before the window appeared, did not "
                          "make a circle")
    finally:
        holder.terminate()
        holder.wait(timeout=10)
        stop_editor(editor, log)


if __name__ == "__main__":
    sys.exit(run_test(circle, sys.argv, "left Ctrl end-to-end test passed"))
