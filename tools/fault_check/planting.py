"""What both fault tools share: a build or test run as a child process that
an interruption stops too, and planted files put back whatever ends the run."""

from __future__ import annotations

import os
import pathlib
import signal
import subprocess
import sys

# The build or test run under way, so an interruption can stop it too.
_running: subprocess.Popen | None = None


def run(command: list[str], log, timeout: int, capture: bool = False,
        cwd: pathlib.Path | None = None) -> tuple[int, str]:
    """Runs `command` with its output in `log` (and returned, with `capture`);
    its exit code, or -1 when it ran past `timeout` seconds and was stopped."""
    global _running
    log.write(f"$ {' '.join(command)}\n")
    log.flush()
    _running = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE if capture else log,
                                stderr=subprocess.STDOUT, text=True, start_new_session=True)
    try:
        output, _ = _running.communicate(timeout=timeout)
        if capture:
            log.write(output)
        return _running.returncode, output or ""
    except subprocess.TimeoutExpired:
        log.write("timed out\n")
        stop_running()
        return -1, ""
    finally:
        _running = None


def stop_running() -> None:
    if _running is not None and _running.poll() is None:
        os.killpg(_running.pid, signal.SIGTERM)
        try:
            _running.wait(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(_running.pid, signal.SIGKILL)


class PlantedFiles:
    """The files that hold a fault now, with their own text. An interrupt or
    a termination stops the running child and puts every file back first."""

    def __init__(self) -> None:
        self._originals: dict[pathlib.Path, str] = {}
        signal.signal(signal.SIGINT, self._on_signal)
        signal.signal(signal.SIGTERM, self._on_signal)

    def plant(self, path: pathlib.Path, text: str) -> None:
        # Kept before the write, so that a signal in between still restores.
        self._originals.setdefault(path, path.read_text(encoding="utf-8"))
        path.write_text(text, encoding="utf-8")

    def restore(self) -> None:
        for path, text in list(self._originals.items()):
            path.write_text(text, encoding="utf-8")
            del self._originals[path]

    def _on_signal(self, signum, _frame) -> None:
        stop_running()
        self.restore()
        sys.exit(128 + signum)
