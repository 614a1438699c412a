#!/usr/bin/python3
"""Makes the README's pictures of the windows from a real X server, as a user sees them: the
search window after a search, and the output dialog.

    screenshots.py BUILD_DIR OUT_DIR

BUILD_DIR is a build with the tests (it has tolvar and tests/window_grab); the pictures go to
OUT_DIR/search-window.png and OUT_DIR/output-dialog.png. It starts and stops its own X session.
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import real_display_test as rd  # noqa: E402


def main():
    build, out = (os.path.abspath(a) for a in sys.argv[1:3])
    os.makedirs(out, exist_ok=True)
    grab = os.path.join(build, "tests", "window_grab")
    session = os.path.join(rd.HERE, "x-session.sh")
    with tempfile.TemporaryDirectory() as work:
        xdir = os.path.join(work, "x")
        subprocess.run([session, "start", xdir], check=True, stdout=subprocess.DEVNULL)
        try:
            x = rd.Display(open(os.path.join(xdir, "display")).read().strip())
            folder, db = rd.program_folder(os.path.join(build, "app", "tolvar"), work, "/srv/po/output/")
            rows = rd.expected_rows(db)
            proc, main_window = rd.start(x, folder)
            try:
                x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
                time.sleep(1)
                x.key("Tab", "Down", "Down")
                time.sleep(0.5)
                rd.picture(x, grab, main_window, os.path.join(out, "search-window.png"))
            finally:
                proc.terminate()
                proc.wait(10)
            # The output dialog opens only for a save folder that exists.
            save = os.path.join(work, "output")
            os.makedirs(save)
            folder, _ = rd.program_folder(os.path.join(build, "app", "tolvar"), work, save + "/")
            proc, _ = rd.start(x, folder)
            try:
                x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
                time.sleep(1)
                x.key("Tab", "Down", "Down", "Return")
                dialog = x.wait_for(rows[2])
                time.sleep(0.5)
                rd.picture(x, grab, dialog, os.path.join(out, "output-dialog.png"))
                x.key("Escape")
            finally:
                proc.terminate()
                proc.wait(10)
        finally:
            subprocess.run([session, "stop", xdir], check=True)
    print(f"pictures in {out}: search-window.png, output-dialog.png")


if __name__ == "__main__":
    main()
