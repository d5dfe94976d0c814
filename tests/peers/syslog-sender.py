#!/usr/bin/env python3
# Test peer for the syslog server, on loopback only:
#   syslog-sender.py send HOST PORT HEX...            one datagram per hex string ("" for an empty one)
#   syslog-sender.py big HOST PORT SIZE               one RFC 3164 datagram of SIZE bytes
#   syslog-sender.py paced HOST PORT RATE SECONDS TAG numbered messages "TAG: seq=NNNNNNN" at RATE/s;
#                                                     prints how many were sent and the rate reached
#   syslog-sender.py hold HOST PORT READYFILE         keeps the UDP port bound (no address reuse)
#                                                     and writes READYFILE once it is
import socket
import sys
import time


def family(host):
    return socket.AF_INET6 if ":" in host else socket.AF_INET


def main():
    mode, host, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
    s = socket.socket(family(host), socket.SOCK_DGRAM)
    if mode == "send":
        for text in sys.argv[4:]:
            s.sendto(bytes.fromhex(text), (host, port))
    elif mode == "big":
        size = int(sys.argv[4])
        head = b"<13>Dec  9 01:12:00 bigsender big: "
        s.sendto(head + b"y" * (size - len(head)), (host, port))
    elif mode == "paced":
        rate, seconds, tag = int(sys.argv[4]), float(sys.argv[5]), sys.argv[6]
        total = int(rate * seconds)
        start = time.perf_counter()
        sent = 0
        while sent < total:
            due = min(total, int((time.perf_counter() - start) * rate) + 1)
            while sent < due:
                sent += 1
                s.sendto(b"<14>Dec  9 01:12:00 paced %s: seq=%07d" % (tag.encode(), sent), (host, port))
            time.sleep(0.0005)
        elapsed = time.perf_counter() - start
        print("%d %.0f" % (sent, sent / elapsed if elapsed > 0 else 0.0))
    elif mode == "hold":
        s.bind((host, port))
        open(sys.argv[4], "w").close()
        while True:
            time.sleep(1)
    else:
        sys.exit("unknown mode " + mode)


if __name__ == "__main__":
    main()
