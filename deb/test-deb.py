#!/usr/bin/python3
"""The Debian package as an administrator and the staff meet it, in a fresh Debian 12 root made
here with debootstrap (never on the test machine itself):

    deb/test-deb.py DEB WORK_DIR

Run as root. First lintian, desktop-file-validate and appstreamcli validate on the package. The
root is made in WORK_DIR/root from Debian's archive (the machine's own mirror);
the packages debootstrap and apt fetch are kept in ~/.cache/tolvar/deb-test so that a second run
downloads nothing. The package is installed with apt as an administrator installs it, then:
the template check, a workbook from the demo database, the office's files readable by the group
tolvar only and writable by no one but root, a user outside the group refused at start-up, each
member's save folder picked through the window (started by the desktop entry's command on a virtual
display) and kept in that member's own settings, a link planted in a shared save folder replaced
rather than written through, an upgrade from the earlier modes (group-writable files) that keeps
the office's changed settings and template and makes them the administrator's, remove that keeps
them and purge that takes them.
Every mount is made in a mount namespace of this process's own, so none outlives it.
"""
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(TOP, "tests", "display"))
from real_display_test import Display  # noqa: E402

CONF = "/etc/opt/tolvar"
CACHE = os.path.expanduser("~/.cache/tolvar/deb-test")
STAFF, STAFF2, OTHER = "staff1", "staff2", "other1"


def mirror():
    """The Debian mirror this machine's apt uses, so the test reaches what the machine reaches."""
    for path in glob.glob("/etc/apt/sources.list.d/*.sources") + ["/etc/apt/sources.list"]:
        try:
            text = open(path, encoding="utf-8").read()
        except OSError:
            continue
        m = re.search(r"^URIs:\s*(\S+/debian)/?\s*$", text, re.M) or re.search(r"^deb\s+(\S+/debian)/?\s", text, re.M)
        if m:
            return m.group(1)
    return "http://deb.debian.org/debian"


class Root:
    def __init__(self, path):
        self.path = path
        self.mounts = []

    def mount(self, source, target):
        target = os.path.join(self.path, target)
        subprocess.run(["mount"] + source + [target], check=True)
        self.mounts.append(target)

    def command(self, user, env):
        """The start of a command run in the root: as the user (root when None), with a clean
        environment and the variables given."""
        command = ["chroot", self.path]
        if user:
            command += ["runuser", "-u", user, "--"]
        return command + ["env", "-i", "PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin", "LANG=C.UTF-8",
                          f"HOME={'/home/' + user if user else '/root'}"] + [f"{k}={v}" for k, v in (env or {}).items()]

    def run(self, *args, user=None, env=None, check=True, timeout=300):
        r = subprocess.run(self.command(user, env) + list(args), capture_output=True, text=True, timeout=timeout)
        if check and r.returncode != 0:
            raise AssertionError(f"{' '.join(args)} failed ({r.returncode}):\n{r.stdout}{r.stderr}")
        return r

    def popen(self, args, user, env):
        return subprocess.Popen(self.command(user, env) + args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def file(self, path):
        return os.path.join(self.path, path.lstrip("/"))

    def digest(self, path):
        with open(self.file(path), "rb") as f:
            return hashlib.sha256(f.read()).hexdigest()


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def make_root(work):
    root = os.path.join(work, "root")
    if os.path.exists(root):
        subprocess.run(["rm", "-rf", "--one-file-system", root], check=True)
    os.makedirs(os.path.join(CACHE, "debootstrap"), exist_ok=True)
    os.makedirs(os.path.join(CACHE, "apt"), exist_ok=True)
    subprocess.run(["debootstrap", "--variant=minbase", f"--cache-dir={CACHE}/debootstrap", "bookworm", root, mirror()],
                   check=True, stdout=subprocess.DEVNULL)
    # The X server's socket, for the window.
    if not os.path.isdir("/tmp/.X11-unix"):
        os.makedirs("/tmp/.X11-unix")
        os.chmod("/tmp/.X11-unix", 0o1777)
    os.makedirs(os.path.join(root, "tmp/.X11-unix"), exist_ok=True)
    r = Root(root)
    r.mount(["-t", "proc", "proc"], "proc")
    r.mount(["--bind", "/dev"], "dev")
    r.mount(["--bind", os.path.join(CACHE, "apt")], "var/cache/apt/archives")
    r.mount(["--bind", "/tmp/.X11-unix"], "tmp/.X11-unix")
    return r


def remove_root(r):
    """The root taken away, its mounts first: a bind mount is on the same file system, and removing
    through it would remove what it shows."""
    for target in reversed(r.mounts):
        subprocess.run(["umount", target], check=True)
    subprocess.run(["rm", "-rf", "--one-file-system", r.path], check=True)


def apt_install(r, deb):
    shutil.copy(deb, r.file("/tmp/"))
    r.run("apt-get", "update", "-qq")
    r.run("apt-get", "install", "-y", "-qq", "--no-install-recommends", "/tmp/" + os.path.basename(deb),
          env={"DEBIAN_FRONTEND": "noninteractive"}, timeout=900)


def installed(r, version):
    check(r.run("tolvar-po", "--version").stdout == f"tolvar-po {version}\n", "tolvar-po --version")
    check(r.run("tolvar", "--version").stdout == f"tolvar {version}\n", "tolvar --version")
    office_modes(r)
    # The executables are root's alone: no member of the group can replace them.
    for f in ("/opt/tolvar", "/opt/tolvar/tolvar", "/opt/tolvar/tolvar-po"):
        st = os.stat(r.file(f))
        check(st.st_uid == 0 and st.st_mode & 0o022 == 0, f"{f} is writable by others: {oct(st.st_mode)}")
    out = r.run("tolvar-po", "--check-template").stdout
    check(out.strip().endswith("OK"), f"--check-template: {out}")
    print("installed: --version, the folders' owners and modes, --check-template OK")


def office_modes(r):
    """The office's files are root's: the settings (with the password) readable by the group only."""
    group = int(r.run("getent", "group", "tolvar").stdout.split(":")[2])
    expected = {CONF: (0, group, 0o750), f"{CONF}/tolvar.ini": (0, group, 0o640), f"{CONF}/MST_PO.xls": (0, 0, 0o644)}
    for path, (uid, gid, mode) in expected.items():
        st = os.stat(r.file(path))
        check((st.st_uid, st.st_gid, st.st_mode & 0o7777) == (uid, gid, mode),
              f"{path}: owner {st.st_uid}:{st.st_gid} mode {oct(st.st_mode & 0o7777)}, not {uid}:{gid} {oct(mode)}")


def workbook(r):
    listed = r.run("tolvar-po", "--list", "--staff", "12", user=STAFF).stdout.splitlines()
    check(len(listed) >= 3, f"--list --staff 12: {listed}")
    po = listed[0].split("\t")[0]
    r.run("mkdir", "-p", f"/home/{STAFF}/made", user=STAFF)
    out = r.run("tolvar-po", "--out", f"/home/{STAFF}/made", po, user=STAFF).stdout
    path = f"/home/{STAFF}/made/{po}.xls"
    check(out == path + "\n", f"tolvar-po printed {out!r}")
    import xlrd
    book = xlrd.open_workbook(r.file(path))
    texts = {str(sheet.cell_value(row, col)) for sheet in book.sheets() for row in range(sheet.nrows)
             for col in range(sheet.ncols)}
    check(po in texts, f"{po} is in no cell of {path}")
    print(f"tolvar-po: {po}.xls from the demo database, read back by xlrd")
    # A user outside the group cannot read the office's settings: the start-up failure, no crash.
    refused = r.run("tolvar-po", "--list", user=OTHER, check=False)
    check(refused.returncode == 1 and "(-3008)" in refused.stderr, f"outside the group: {refused.returncode} "
          f"{refused.stderr}")
    # Neither members nor others may change the office's files.
    for user in (STAFF, OTHER):
        for f in ("tolvar.ini", "MST_PO.xls"):
            wrote = r.run("sh", "-c", f"echo x >>{CONF}/{f}", user=user, check=False)
            check(wrote.returncode != 0, f"{user} wrote {CONF}/{f}")
    print("the office's files: the group reads the settings, no one but root writes them; "
          "a user outside the group refused at start-up")
    return po


def new_window(x, name, before, timeout=15):
    """The window named `name` that was not there before."""
    end = time.time() + timeout
    while time.time() < end:
        for wid, names in x.windows().items():
            if wid not in before and names and all(n == name for n in names):
                return wid
        time.sleep(0.1)
    raise AssertionError(f"no new window named {name!r}: {sorted(x.windows().values())}")


def pick_save_folder(x, folder, before):
    """From the search window's start: the search, then "..." and the folder typed into the
    folder dialog."""
    main = new_window(x, "Tolvar", before)
    x.activate(main)
    # 担当CD has the focus: Tab through 区分, the dates and 番号 to 検索 and search; on through the
    # grid, 得意先 and the save folder to "...".
    x.key("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
    time.sleep(1)
    x.key("Tab", "Tab", "Tab", "Tab", "Return")
    x.wait_for("保存先の指定")
    x.type(folder)
    x.key("Return")
    x.gone("保存先の指定")


def make_from_window(x, r, folder):
    """Back from "..." to the grid, Enter on the first row and OK: the workbook in the folder."""
    x.key("shift+Tab", "shift+Tab", "shift+Tab", "Return")
    time.sleep(1)
    x.key("Return")
    x.wait_for("終了")
    x.key("Return")
    x.gone("終了")
    made = os.listdir(r.file(folder))
    check(len(made) == 1 and made[0].endswith(".xls"), f"the window made {made} in {folder}")


def desktop_command(r):
    entry = open(r.file("/usr/share/applications/org.tolvar.Tolvar.desktop"), encoding="utf-8").read()
    return re.search(r"^Exec=(.*)$", entry, re.M).group(1).split()


def save_folder_by_window(r, x):
    """Each member picks a save folder through the window: it goes to the member's own settings,
    the office's stay as they were, and the next run (tolvar-po as well) uses it."""
    env = {"DISPLAY": x.env["DISPLAY"], "QT_QPA_PLATFORM": "xcb"}
    r.run("useradd", "-m", "-G", "tolvar", STAFF2)
    for user in (STAFF, STAFF2):
        r.run("mkdir", "-p", f"/home/{user}/po", user=user)
    command = desktop_command(r)
    check(command[0] == "tolvar", f"the desktop entry runs {command}")
    before = r.digest(f"{CONF}/tolvar.ini")
    staff = r.popen(command + ["12"], STAFF, env)
    try:
        pick_save_folder(x, f"/home/{STAFF}/po", set(x.windows()))
        # The second member's copy starts while the first runs: one copy per user, not per machine.
        windows = set(x.windows())
        other = r.popen(command + ["12"], STAFF2, env)
        try:
            pick_save_folder(x, f"/home/{STAFF2}/po", windows)
            make_from_window(x, r, f"/home/{STAFF2}/po")
        finally:
            other.terminate()
            other.wait(10)
    finally:
        staff.terminate()
        staff.wait(10)
    check(r.digest(f"{CONF}/tolvar.ini") == before, "picking a save folder changed the office's settings")
    for user in (STAFF, STAFF2):
        own = open(r.file(f"/home/{user}/.config/tolvar/tolvar.ini"), "rb").read().decode("cp932")
        check(f"PO_SAVE_FOLDER=/home/{user}/po/" in own, f"{user}'s own settings: {own!r}")
    po = r.run("tolvar-po", "--list", "--staff", "12", user=STAFF).stdout.split("\t")[0]
    made = r.run("tolvar-po", po, user=STAFF).stdout
    check(made == f"/home/{STAFF}/po/{po}.xls\n", f"tolvar-po without --out: {made!r}")
    office_modes(r)
    print("the window: each member's save folder in the member's own settings, the office's unchanged")


def planted_link(r):
    """Another user's link in a save folder shared by the staff: the workbook replaces the link and
    never reaches the file it points at."""
    r.run("install", "-d", "-m", "2775", "-g", "tolvar", "/srv/po")
    po = r.run("tolvar-po", "--list", "--staff", "12", user=STAFF).stdout.split("\t")[0]
    r.run("sh", "-c", f"echo mine >/home/{STAFF}/.bashrc", user=STAFF)
    r.run("ln", "-s", f"/home/{STAFF}/.bashrc", f"/srv/po/{po}.xls", user=STAFF2)
    made = r.run("tolvar-po", "--out", "/srv/po", po, user=STAFF, check=False)
    check(made.returncode == 0 and not os.path.islink(r.file(f"/srv/po/{po}.xls")), f"the link: {made.stderr}")
    check(open(r.file(f"/home/{STAFF}/.bashrc")).read() == "mine\n", "the workbook went through the link")
    print("a link planted in a shared save folder: replaced, the file it named untouched")


def higher_version(deb, work):
    """The same package at a higher version, as the next release would be."""
    tree = os.path.join(work, "next")
    shutil.rmtree(tree, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-R", deb, tree], check=True)
    control = os.path.join(tree, "DEBIAN", "control")
    text = open(control, encoding="utf-8").read()
    version = re.search(r"^Version: (.*)$", text, re.M).group(1) + "+next1"
    open(control, "w", encoding="utf-8").write(re.sub(r"^Version: .*$", "Version: " + version, text, flags=re.M))
    out = os.path.join(work, f"tolvar_{version}_amd64.deb")
    subprocess.run(["dpkg-deb", "--root-owner-group", "--build", tree, out], check=True, stdout=subprocess.DEVNULL)
    return out, version


def upgrade_remove_purge(r, deb, work):
    # The administrator's own template: the demo template saved again under another size. And the
    # modes an earlier version left: the group may write both files and the folder.
    with open(r.file(f"{CONF}/MST_PO.xls"), "ab") as f:
        f.write(b"\0" * 512)
    r.run("chmod", "2775", CONF)
    r.run("chown", "root:tolvar", f"{CONF}/MST_PO.xls")
    r.run("chmod", "0664", f"{CONF}/tolvar.ini", f"{CONF}/MST_PO.xls")
    kept = {f: r.digest(f"{CONF}/{f}") for f in ("tolvar.ini", "MST_PO.xls")}
    next_deb, version = higher_version(deb, work)
    apt_install(r, next_deb)
    check(r.run("dpkg-query", "-W", "-f=${Version}", "tolvar").stdout == version, "not upgraded")
    check({f: r.digest(f"{CONF}/{f}") for f in kept} == kept, "the upgrade changed the office's files")
    office_modes(r)
    print(f"upgrade to {version}: the changed settings and template kept, made the administrator's")

    r.run("dpkg", "--remove", "tolvar")
    check(not os.path.exists(r.file("/opt/tolvar/tolvar")) and not os.path.lexists(r.file("/usr/bin/tolvar-po")),
          "remove left the programs")
    check({f: r.digest(f"{CONF}/{f}") for f in kept} == kept, "remove changed the office's files")
    print("remove: the programs gone, the settings and template kept")

    r.run("dpkg", "--purge", "tolvar")
    check(not os.path.exists(r.file(CONF)), f"purge left {CONF}")
    check(not os.path.exists(r.file("/opt/tolvar")), "purge left /opt/tolvar")
    print("purge: the settings and template gone")


def static_checks(deb, work):
    """What Debian's own checkers say of the package: no error or warning."""
    lintian = subprocess.run(["lintian", "--fail-on", "error,warning", deb], capture_output=True, text=True)
    said = [line for line in lintian.stdout.splitlines() if line and not line.startswith("N:")]
    check(lintian.returncode == 0 and not [s for s in said if s[:2] in ("E:", "W:")], f"lintian:\n{lintian.stdout}")
    tree = os.path.join(work, "contents")
    shutil.rmtree(tree, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-x", deb, tree], check=True)
    desktop = subprocess.run(["desktop-file-validate", f"{tree}/usr/share/applications/org.tolvar.Tolvar.desktop"],
                             capture_output=True, text=True)
    check(desktop.returncode == 0 and not desktop.stdout.strip(), f"desktop-file-validate: {desktop.stdout}")
    metainfo = subprocess.run(["appstreamcli", "validate", "--no-net",
                               f"{tree}/usr/share/metainfo/org.tolvar.Tolvar.metainfo.xml"], capture_output=True, text=True)
    check(metainfo.returncode == 0, f"appstreamcli validate: {metainfo.stdout}")
    print("lintian, desktop-file-validate, appstreamcli validate: no error or warning"
          + (f" (lintian's notes: {len(said)})" if said else ""))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    if os.geteuid() != 0:
        sys.exit("test-deb.py makes a Debian root with debootstrap and chroot: run it as root")
    if os.environ.get("TOLVAR_DEB_TEST_NS") != "1":
        # Again in a mount namespace of its own: the root's mounts end with the process.
        env = dict(os.environ, TOLVAR_DEB_TEST_NS="1")
        os.execvpe("unshare", ["unshare", "--mount", "--propagation", "private", sys.executable] + sys.argv, env)
    deb, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    os.makedirs(work, exist_ok=True)
    started = time.time()
    static_checks(deb, work)
    r = make_root(work)
    made = time.time()
    print(f"a fresh Debian 12 root by debootstrap: {made - started:.0f} s")
    apt_install(r, deb)
    print(f"installed with apt and the package's dependencies: {time.time() - made:.0f} s")
    version = re.search(r"tolvar_([^_]+)_", os.path.basename(deb)).group(1)
    installed(r, version)
    r.run("useradd", "-m", "-G", "tolvar", STAFF)
    r.run("useradd", "-m", OTHER)
    workbook(r)
    xdir = tempfile.mkdtemp(prefix="tolvar-deb-x-")
    subprocess.run([os.path.join(TOP, "tests", "display", "x-session.sh"), "start", xdir], check=True,
                   stdout=subprocess.DEVNULL)
    try:
        x = Display(open(os.path.join(xdir, "display")).read().strip())
        save_folder_by_window(r, x)
    finally:
        subprocess.run([os.path.join(TOP, "tests", "display", "x-session.sh"), "stop", xdir])
    planted_link(r)
    upgrade_remove_purge(r, deb, work)
    remove_root(r)
    print(f"the package's test passed in {time.time() - started:.0f} s")


if __name__ == "__main__":
    main()
