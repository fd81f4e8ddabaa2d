# SPDX-License-Identifier: MIT
"""Long counts from Python: the GIL is released while they run, Ctrl-C
stops them within a fraction of a second with KeyboardInterrupt, and the progress
callable is called with the share done, its exception stopping the count;
and python -m roughpi, which answers as the roughpi program does."""

import _thread
import os
import signal
import subprocess
import sys
import threading
import time

import pytest
import roughpi


def test_another_thread_runs_during_a_count():
    ticks = 0
    running = True

    def tick():
        nonlocal ticks
        while running:
            ticks += 1
            time.sleep(0.001)

    ticker = threading.Thread(target=tick)
    ticker.start()
    start = time.monotonic()
    assert roughpi.prime_pi(10**15) == 29844570422669
    seconds = time.monotonic() - start
    running = False
    ticker.join()
    # Held, the GIL would have let the ticker run a few times at most.
    assert ticks > 100 * seconds, (ticks, seconds)


@pytest.fixture
def ctrl_c_raises():
    """Python's own SIGINT handler, also when the tests run where SIGINT is
    ignored (started in the background by a shell without job control): then
    Python installs none, and Ctrl-C would raise nothing."""
    previous = signal.signal(signal.SIGINT, signal.default_int_handler)
    yield
    signal.signal(signal.SIGINT, previous)


@pytest.mark.parametrize("count", [lambda: roughpi.prime_pi(10**16), lambda: roughpi.nth_prime(10**15)])
def test_ctrl_c_stops_a_count_within_two_seconds(count, ctrl_c_raises):
    timer = threading.Timer(0.5, _thread.interrupt_main)
    timer.start()
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        count()
    assert time.monotonic() - start < 0.5 + 2.0
    timer.join()


def test_a_real_sigint_stops_a_child_interpreter():
    # SIGINT as a terminal's shell leaves it, whatever this process has.
    child = subprocess.Popen([sys.executable, "-c", "import roughpi; roughpi.prime_pi(10**16)"],
                             stderr=subprocess.PIPE, text=True,
                             preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    time.sleep(1.0)
    child.send_signal(signal.SIGINT)
    start = time.monotonic()
    _, err = child.communicate(timeout=10)
    assert time.monotonic() - start < 2.0
    assert child.returncode != 0
    assert "KeyboardInterrupt" in err


def test_progress_is_reported_and_its_exception_stops_the_count():
    shares = []
    assert roughpi.prime_pi(10**14, progress=shares.append) == 3204941750802
    assert shares and shares[-1] == 1.0
    assert all(0.0 <= a <= b <= 1.0 for a, b in zip(shares, shares[1:]))

    class Stop(Exception):
        pass

    def stop_at_first_call(share):
        raise Stop(f"stopped at {share}")

    start = time.monotonic()
    with pytest.raises(Stop):
        roughpi.prime_pi(10**16, progress=stop_at_first_call)
    with pytest.raises(Stop):
        roughpi.nth_prime(10**14, threads=1, progress=stop_at_first_call)
    assert time.monotonic() - start < 4.0


HINT = "Try 'python -m roughpi --help' for more information.\n"


def run_main(*args):
    """python -m roughpi with the arguments: its status, standard output and
    standard error."""
    done = subprocess.run([sys.executable, "-m", "roughpi", *args], capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def test_python_minus_m_roughpi_takes_the_programs_options():
    for args in (["--nth", "10", "1e6"], ["-n", "10", "1e6"], ["--nth-prime", "-t2", "10", "1e6"]):
        assert run_main(*args) == (0, "29\n15485863\n", ""), args
    for args in (["-t", "0", "1e10"], ["--threads=3", "1e10"], ["--double-check", "1e10"]):
        assert run_main(*args) == (0, "455052511\n", ""), args
    assert run_main("--Li", "1e10", "--") == (0, "455055613\n", "")
    assert run_main("--range", "1e10", "2^34", "0", "100") == (0, "307886600\n25\n", "")
    assert run_main("-R", "1e10")[1] == "455050683\n"
    assert run_main("--RiemannR-inverse", "1e10")[1] == "252097715776\n"
    status, out, _ = run_main("--time", "1e10")
    assert status == 0 and out.startswith("455052511  (") and out.endswith(" s)\n"), out
    assert run_main("-v") == (0, f"roughpi {roughpi.__version__}\n", "")
    status, out, _ = run_main("-h")
    assert status == 0 and "--nth-prime" in out and "--Li-inverse" in out


def test_python_minus_m_roughpi_refuses_in_the_programs_words():
    for args, message in (
        (["--nth", "0"], "roughpi: --nth '0': n must be from 1 to 216289611853439384"),
        (["-t", "5000", "10"], "roughpi: -t '5000': the number of threads must be a whole number from 0 (every CPU)"),
        (["--li", "-n", "10"], "roughpi: '--li' and '--nth' ask for different things: give one of them"),
        (["abc"], "roughpi: 'abc' is not a number"),
        (["--frob", "10"], "roughpi: unknown option '--frob'"),
        (["--checkpoint", "f.txt", "10"], "roughpi: --checkpoint is the roughpi program's"),
        (["-s", "10"], "roughpi: --status is the roughpi program's"),
        (["--test"], "roughpi: --test is the roughpi program's"),
        (["--range", "10"], "roughpi: --range takes its numbers in pairs"),
        (["--gpu", "--nth", "10"], "roughpi: --gpu counts pi(X) on a CUDA device, and --nth is not pi(X)"),
        (["--gpu=emulate", "10"], "roughpi: --gpu=N and --gpu=emulate are the roughpi program's"),
    ):
        status, out, err = run_main(*args)
        assert (status, out) == (2, ""), args
        assert err.startswith(message), (args, err)
        assert "python -m roughpi --help" in err


def test_python_minus_m_roughpi_is_the_program():
    assert run_main("1e10", "2^32+1", "100") == (0, "455052511\n203280221\n25\n", "")
    assert run_main("10", "abc", "-5") == (2, "", "roughpi: 'abc' is not a number\nroughpi: '-5' is negative\n" + HINT)


def python_m_roughpi(*args, redirect=""):
    """python -m roughpi with the arguments (str or bytes), its standard output
    sent where the shell's redirect says; its standard error as text."""
    command = [b"sh", b"-c", f'exec "$@" {redirect}'.encode(), b"sh", os.fsencode(sys.executable), b"-m", b"roughpi"]
    done = subprocess.run(command + [os.fsencode(a) for a in args], capture_output=True)
    return done.returncode, done.stderr.decode()


def test_python_minus_m_roughpi_reports_a_standard_output_it_cannot_write():
    redirects = [">&-"] + ([">/dev/full"] if os.path.exists("/dev/full") else [])
    for redirect in redirects:
        for args in (["1e10"], ["10", "100"], ["--help"]):
            assert python_m_roughpi(*args, redirect=redirect) == (1, "roughpi: cannot write to standard output\n"), \
                (redirect, args)


def test_python_minus_m_roughpi_shows_control_characters_escaped():
    status, err = python_m_roughpi("12\x1b[2J", "a\nb", "\t\\", b"\xff\xc3\xa9")
    assert status == 2
    assert err == ("roughpi: '12\\x1b[2J' is not a number\nroughpi: 'a\\nb' is not a number\n"
                   "roughpi: '\\t\\\\' is not a number\nroughpi: '\\xff\\xc3\\xa9' is not a number\n" + HINT)


def test_without_a_device_gpu_is_a_runtime_error_and_status_1():
    if roughpi._roughpi.gpu_device_count() > 0:
        pytest.skip("this machine has a CUDA device")
    with pytest.raises(RuntimeError, match="^roughpi: no CUDA device: "):
        roughpi.prime_pi(10**12, gpu=True)
    with pytest.raises(ValueError, match="threads and double_check are for a count on the CPU"):
        roughpi.prime_pi(10**12, gpu=True, threads=2)
    status, out, err = run_main("--gpu", "1e12")
    assert (status, out) == (1, "") and err.startswith("roughpi: no CUDA device: ") and err.count("\n") == 1, err
