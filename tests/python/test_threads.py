"""test_threads.py - the computation runs without the GIL, and Ctrl-C (a
KeyboardInterrupt) stops a long one promptly, leaving no thread behind."""
import _thread
import os
import threading
import time

import pytest

import binscope

# Around every region 40 kb of a score file with a record every 10 bases.
LONG_RUN = {"before_region_start_length": 20000, "after_region_start_length": 20000, "bin_size": 1000,
            "number_of_processors": 2}


def regions(path, count):
    """count regions 1 kb long, 200 bases apart, on the big score file."""
    path.write_text("".join(f"chr1\t{s}\t{s + 1000}\tr{s}\t0\t+\n" for s in range(30000, 30000 + 200 * count, 200)))
    return path


def thread_count():
    return len(os.listdir("/proc/self/task"))


def test_other_python_threads_run_during_a_computation(tmp_path, data):
    bed = regions(tmp_path / "some.bed", 15000)
    ticks = []
    stop = threading.Event()

    def tick():
        while not stop.wait(0.01):
            ticks.append(time.monotonic())

    ticking = threading.Thread(target=tick)
    ticking.start()
    try:
        started = time.monotonic()
        binscope.reference_point(data / "big.bw", bed, **LONG_RUN)
        finished = time.monotonic()
    finally:
        stop.set()
        ticking.join()
    # Were the GIL held by the computation, the other thread would not
    # tick at all once the call is under way.
    during = [t for t in ticks if started + 0.1 < t < finished]
    assert finished - started > 0.5
    assert len(during) > 0.3 * 100 * (finished - started - 0.1)


def test_keyboard_interrupt_stops_a_long_run_within_a_second(tmp_path, data):
    bed = regions(tmp_path / "many.bed", 99000)  # about a minute's work
    before = thread_count()
    timer = threading.Timer(0.5, _thread.interrupt_main)
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        binscope.reference_point(data / "big.bw", bed, **LONG_RUN)
    seconds = time.monotonic() - started
    timer.join()
    assert seconds < 1.5
    assert thread_count() == before
    # The module is usable afterwards.
    assert binscope.reference_point(data / "a.bw", data / "genes.bed").values.shape[0] > 0
