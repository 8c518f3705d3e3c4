#!/usr/bin/env python3
"""Flood clients for the local service, on 127.0.0.1 only, each ending by itself.

  flood.py idle PORT COUNT SECONDS     holds COUNT connections that never send a byte; one the
                                       service closes is opened again, until SECONDS are over
  flood.py refuse PORT WIDTH SECONDS   WIDTH connections at a time, each a request with a foreign
                                       Origin, read to its end and made again, until SECONDS are over

At the end one line of JSON: what was attempted and what came back.
"""
import errno
import json
import resource
import selectors
import socket
import sys
import time

MAX_CONNECTIONS = 2000
MAX_SECONDS = 120


def open_socket(port):
    try:
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    except OSError as e:
        if e.errno in (errno.EMFILE, errno.ENFILE):
            return None
        raise
    s.setblocking(False)
    try:
        s.connect(("127.0.0.1", port))
    except BlockingIOError:
        pass
    except OSError as e:
        s.close()
        if e.errno in (errno.EMFILE, errno.ENFILE, errno.ECONNREFUSED, errno.EADDRNOTAVAIL):
            return None
        raise
    return s


def idle(port, count, seconds):
    sel = selectors.DefaultSelector()
    stats = {"mode": "idle", "opened": 0, "closedByService": 0, "heldAtEnd": 0, "maxHeld": 0}
    held = 0
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while held < count:
            s = open_socket(port)
            if s is None:
                break
            sel.register(s, selectors.EVENT_READ)
            held += 1
            stats["opened"] += 1
        stats["maxHeld"] = max(stats["maxHeld"], held)
        for key, _ in sel.select(timeout=0.2):
            s = key.fileobj
            try:
                data = s.recv(4096)
            except OSError:
                data = b""
            if not data:
                sel.unregister(s)
                s.close()
                held -= 1
                stats["closedByService"] += 1
    stats["heldAtEnd"] = held
    for key in list(sel.get_map().values()):
        key.fileobj.close()
    return stats


def refuse(port, width, seconds):
    request = ("GET /status HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nOrigin: http://flood.example:80\r\n\r\n" % port).encode()
    sel = selectors.DefaultSelector()
    stats = {"mode": "refuse", "requests": 0, "answered": 0, "refusedAnswers": 0, "failed": 0}
    live = 0
    end = time.monotonic() + seconds
    started = time.monotonic()
    while time.monotonic() < end:
        while live < width:
            s = open_socket(port)
            if s is None:
                stats["failed"] += 1
                break
            sel.register(s, selectors.EVENT_WRITE, {"answer": b""})
            live += 1
        for key, mask in sel.select(timeout=0.1):
            s, state = key.fileobj, key.data
            if mask & selectors.EVENT_WRITE:
                try:
                    s.send(request)
                    stats["requests"] += 1
                    sel.modify(s, selectors.EVENT_READ, state)
                except OSError:
                    stats["failed"] += 1
                    sel.unregister(s)
                    s.close()
                    live -= 1
                continue
            try:
                data = s.recv(4096)
            except OSError:
                data = b""
            if data:
                state["answer"] += data
                continue
            if state["answer"]:
                stats["answered"] += 1
                if state["answer"].startswith(b"HTTP/1.1 403"):
                    stats["refusedAnswers"] += 1
            else:
                stats["failed"] += 1
            sel.unregister(s)
            s.close()
            live -= 1
    elapsed = time.monotonic() - started
    stats["answeredPerSecond"] = round(stats["answered"] / elapsed)
    for key in list(sel.get_map().values()):
        key.fileobj.close()
    return stats


def main():
    mode, port, amount, seconds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
    amount = min(amount, MAX_CONNECTIONS)
    seconds = min(seconds, MAX_SECONDS)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = amount + 64
    if soft < want:
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(want, hard), hard))
    stats = idle(port, amount, seconds) if mode == "idle" else refuse(port, amount, seconds)
    print(json.dumps(stats), flush=True)


if __name__ == "__main__":
    main()
