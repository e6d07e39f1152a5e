"""What differs between the Linux program and the Windows build under Wine, for the end-to-end
tests: paths as the program sees them, where its settings are stored, running Wine's own
programs (reg) and the test's helpers, the screen's scale, and ending a prefix's Wine session.

Environment: QUILDOR_KIND is "linux" or "wine"; for Wine, WINELOADER and WINESERVER are the Wine
loader for the build's programs and the wineserver, as the build found them.
"""
import contextlib
import os
import subprocess
import tempfile

KIND = os.environ.get("QUILDOR_KIND", "linux")
APP_TITLE = "SCRNSAVE: The Quildor Anthology"
# The loader that runs the build's Windows programs, and the prefix's server.
WINE = os.environ.get("WINELOADER", "")
WINESERVER = os.environ.get("WINESERVER", "")


def native_path(path):
    """`path` as the program sees it: Wine shows the Unix root as drive Z:."""
    if KIND == "wine":
        return "Z:" + path.replace("/", "\\")
    return path


def folder_setting(folder):
    """The "QuildorsDir" text that names `folder`: its path with a separator at the end."""
    return native_path(folder) + ("\\" if KIND == "wine" else "/")


def wine_env(display):
    """The environment for running other Windows programs of the test on `display`."""
    return dict(os.environ, DISPLAY=display.name, WINEDEBUG="-all",
                WINEDLLOVERRIDES=os.environ.get("WINEDLLOVERRIDES", "mscoree,mshtml="))


def set_linux_settings(settings, config_home):
    os.makedirs(config_home, exist_ok=True)
    with open(os.path.join(config_home, APP_TITLE + ".ini"), "w", encoding="utf-8") as f:
        f.write("[Settings]\n")
        for key, value in settings.items():
            f.write("%s=%s\n" % (key, value))


def wine_run(args, env, timeout=60, check=False, stderr=subprocess.STDOUT, loader=None):
    """Runs the Windows program `args` (its path, then its arguments) with the build's Wine
    loader, or `loader`, until it ends; a CompletedProcess with its output as text. The output
    goes through a file, never a pipe: the wineserver and services a Wine program starts inherit
    it, and would keep a pipe open for as long as they linger after the program has ended."""
    with tempfile.TemporaryFile() as out:
        done = subprocess.run([loader or WINE] + list(args), env=env, stdout=out, stderr=stderr,
                              check=check, timeout=timeout)
        out.seek(0)
        done.stdout = out.read().decode("utf-8", "replace")
        return done


def wine_reg(args, env, check=False):
    """Wine's reg command with `args`; its standard output as text."""
    return wine_run(["reg"] + list(args), env, check=check, stderr=subprocess.DEVNULL).stdout


def set_wine_settings(settings, env):
    key = r"HKCU\Software\VB and VBA Program Settings\%s\Settings" % APP_TITLE
    wine_reg(["delete", key, "/f"], env)
    for name, value in settings.items():
        wine_reg(["add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f"], env, check=True)


def stored_setting(program, key):
    """The stored text of a setting as the program's store holds it, or None."""
    if KIND == "wine":
        out = wine_reg(["query", r"HKCU\Software\VB and VBA Program Settings\%s\Settings"
                        % APP_TITLE, "/v", key], program.env)
        for line in out.splitlines():
            parts = line.split(None, 2)
            if len(parts) >= 2 and parts[0] == key and parts[1] == "REG_SZ":
                return parts[2] if len(parts) == 3 else ""
        return None
    path = os.path.join(program.env["XDG_CONFIG_HOME"], APP_TITLE + ".ini")
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                name, sep, value = line.strip().partition("=")
                if sep and name.strip() == key:
                    return value.strip()
    except FileNotFoundError:
        pass
    return None


@contextlib.contextmanager
def screen_scale(scale):
    """The programs started inside draw at `scale` device pixels per logical pixel: on Linux by
    Qt's scale factor (the environment yielded for them); under Wine by the prefix's DPI, which
    is set back when the block ends."""
    if KIND != "wine":
        yield {"QT_SCALE_FACTOR": str(scale)}
        return
    key = r"HKCU\Control Panel\Desktop"
    env = dict(os.environ, WINEDEBUG="-all")
    wine_reg(["add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(round(96 * scale)),
              "/f"], env, check=True)
    # The reg command's wineserver and desktop process outlive it for a few seconds, and were
    # started without the test's display: a program joining them could make no window.
    end_wine()
    try:
        yield {}
    finally:
        end_wine()
        wine_reg(["delete", key, "/v", "LogPixels", "/f"], env, check=True)
        end_wine()


def end_wine():
    """Ends every Wine process of the prefix, so that the next test starts clean."""
    if KIND == "wine":
        subprocess.run([WINESERVER, "-k"], capture_output=True, timeout=60)
        subprocess.run([WINESERVER, "-w"], capture_output=True, timeout=60)
