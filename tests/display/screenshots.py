#!/usr/bin/python3
"""Makes the README's pictures from a real X server, as a user sees them: the search window after
a search, the output dialog, the grid's menu over three selected rows; and the first two pages of
a PDF that tolvar-po --pdf prints (LibreOffice and poppler's pdftoppm).

    screenshots.py BUILD_DIR OUT_DIR

BUILD_DIR is a build with the tests (it has tolvar, tolvar-po and tests/window_grab); the pictures
go to OUT_DIR/search-window.png, output-dialog.png, grid-menu.png, workbook-page-1.png and
workbook-page-2.png. It starts and stops its own X session.
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
                x.gone(rows[2])
                # Three rows selected and the grid's menu.
                x.key("Up", "Up", "shift+Down", "shift+Down", "Menu")
                time.sleep(0.7)
                rd.picture(x, grab, proc_window(x), os.path.join(out, "grid-menu.png"))
                x.key("Escape")
            finally:
                proc.terminate()
                proc.wait(10)
        finally:
            subprocess.run([session, "stop", xdir], check=True)
        pdf_pages(build, folder, save, out)
    print(f"pictures in {out}: search-window.png, output-dialog.png, grid-menu.png, workbook-page-1.png, "
          "workbook-page-2.png")


def proc_window(x):
    return x.wait_for("Tolvar")


def pdf_pages(build, folder, save, out):
    """The first two pages of the PDF of the demo's PO of 45 lines: its delivery and order sheets."""
    tolvar_po = os.path.join(folder, "tolvar-po")
    subprocess.run(["cp", os.path.join(build, "app", "tolvar-po"), tolvar_po], check=True)
    subprocess.run([tolvar_po, "--pdf", "P26-0007"], check=True, capture_output=True)
    subprocess.run(["pdftoppm", "-r", "60", "-png", "-f", "1", "-l", "2", os.path.join(save, "P26-0007.pdf"),
                    os.path.join(out, "workbook-page")], check=True)


if __name__ == "__main__":
    main()
