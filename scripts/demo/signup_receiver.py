#!/usr/bin/env python3
"""A loopback stand-in for the sign-up server: accepts connections, prints what arrives, and keeps
each connection's bytes in OUTDIR/conn-N.bin (written when the peer closes; OUTDIR/conn-N.open exists
while it is open).

usage: signup_receiver.py ADDRESS PORT OUTDIR
"""
import os
import selectors
import socket
import sys


def main():
    address, port, outdir = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    os.makedirs(outdir, exist_ok=True)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, port))
    listener.listen(8)
    with open(os.path.join(outdir, "ready"), "w") as f:
        f.write("%d\n" % os.getpid())
    print("sign-up receiver listening on %s:%d" % (address, port), flush=True)
    sel = selectors.DefaultSelector()
    sel.register(listener, selectors.EVENT_READ, None)
    count = 0
    while True:
        for key, _ in sel.select():
            if key.data is None:
                conn, peer = listener.accept()
                count += 1
                state = {"n": count, "bytes": b""}
                open(os.path.join(outdir, "conn-%d.open" % count), "w").close()
                sel.register(conn, selectors.EVENT_READ, state)
                continue
            conn, state = key.fileobj, key.data
            try:
                chunk = conn.recv(65536)
            except ConnectionError:
                chunk = b""
            if chunk:
                state["bytes"] += chunk
                text = chunk.decode("cp1252", errors="replace")
                print("sign-up notice received: %r" % text, flush=True)
                with open(os.path.join(outdir, "conn-%d.part" % state["n"]), "wb") as f:
                    f.write(state["bytes"])
                continue
            sel.unregister(conn)
            conn.close()
            n = state["n"]
            with open(os.path.join(outdir, "conn-%d.bin" % n), "wb") as f:
                f.write(state["bytes"])
            os.remove(os.path.join(outdir, "conn-%d.open" % n))
            print("connection %d closed by the installer" % n, flush=True)


if __name__ == "__main__":
    main()
