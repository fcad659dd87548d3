"""Polling shared by the whole-program tests."""
import time


def wait_for(what, timeout=20):
    """What `what` returns once it is true, or the last falsy answer after `timeout` s."""
    end = time.monotonic() + timeout
    while True:
        found = what()
        if found or time.monotonic() > end:
            return found
        time.sleep(0.1)
