#!/usr/bin/python3
"""The station's page under load, while its sensor sends 55 lines a second:

    bench_web.py PROGRAM [SECONDS]

PROGRAM is korad (or kora, run with --headless). For SECONDS (60) it is asked 200 requests a
second, the page, /api/now and /wxnow.txt in turn, each on a connection of its own, while 100
readers hold its live event stream open and a pseudo-terminal sends 55 sensor lines a second.
Printed: the median and 99th percentile of the responses, failed requests, whether every report
was byte-exact and no reading was lost, and the program's memory at the start and the end.
"""
import os
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

RATE = 200
LINE_RATE = 55
STREAMS = 100


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


def get(port, path):
    started = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        connection.sendall(("GET %s HTTP/1.1\r\nHost: station\r\nConnection: close\r\n\r\n"
                            % path).encode())
        answer = b""
        while True:
            part = connection.recv(65536)
            if not part:
                break
            answer += part
    return time.monotonic() - started, answer.startswith(b"HTTP/1.1 200 ")


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    program = sys.argv[1:2] + (["--headless"] if os.path.basename(sys.argv[1]) == "kora" else [])
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    work = tempfile.mkdtemp(prefix="kora-bench-web-")
    master, slave = os.openpty()
    os.makedirs(os.path.join(work, "config/KORA"))
    with open(os.path.join(work, "config/KORA/KORA.conf"), "w") as settings:
        settings.write("[Ports]\nCom1=%s\n" % os.ttyname(slave))
    log = open(os.path.join(work, "log"), "w+")
    station = subprocess.Popen(
        program + ["--report-dir", work, "--archive-dir", os.path.join(work, "archive"),
                   "--listen", "127.0.0.1:0", "--verbose"],
        env=dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), LC_ALL="C.UTF-8"),
        stderr=log)
    port = None
    for _ in range(600):
        log.seek(0)
        found = re.search(r"Web page on http://127\.0\.0\.1:(\d+)/", log.read())
        if found:
            port = int(found.group(1))
            break
        time.sleep(0.05)
    if not port:
        print("bench_web: the program told no address")
        return 1

    streams = []
    for _ in range(STREAMS):
        stream = socket.create_connection(("127.0.0.1", port))
        stream.sendall(b"GET /events HTTP/1.1\r\nHost: station\r\n\r\n")
        streams.append(stream)

    stop = threading.Event()
    reports = []

    def sensor():
        sent = 0
        start = time.monotonic()
        report = os.path.join(work, "wxnow.txt")
        last = None
        while not stop.is_set():
            os.write(master, b"1=21.5deg2=40\r\n")
            sent += 1
            if os.path.exists(report):
                stamp = os.stat(report).st_mtime_ns
                if stamp != last:
                    last = stamp
                    with open(report, "rb") as file:
                        reports.append(file.read())
            time.sleep(max(0.0, start + sent / LINE_RATE - time.monotonic()))
        sensor.sent = sent

    def drain():
        # The readers read what the stream sends, as browsers do.
        while not stop.is_set():
            for stream in streams:
                stream.setblocking(False)
                try:
                    stream.recv(65536)
                except BlockingIOError:
                    pass
            time.sleep(0.1)

    times, failures, reasons = [], 0, []
    lock = threading.Lock()

    def ask(path):
        nonlocal failures
        try:
            took, good = get(port, path)
        except OSError as error:
            took, good = None, False
            reasons.append(repr(error))
        with lock:
            if good:
                times.append(took)
            else:
                failures += 1

    threads = [threading.Thread(target=sensor), threading.Thread(target=drain)]
    for thread in threads:
        thread.start()
    # The load begins once there is a report to ask for.
    while not reports and station.poll() is None:
        time.sleep(0.1)
    memory_start = rss_kb(station.pid)
    memory = [memory_start]
    paths = ["/", "/api/now", "/wxnow.txt", "/history.svg?span=24h"]
    start = time.monotonic()
    asked = 0
    workers = []
    while time.monotonic() - start < seconds:
        worker = threading.Thread(target=ask, args=(paths[asked % len(paths)],))
        worker.start()
        workers.append(worker)
        asked += 1
        if asked % (RATE * 5) == 0:
            memory.append(rss_kb(station.pid))
        time.sleep(max(0.0, start + asked / RATE - time.monotonic()))
    for worker in workers:
        worker.join()
    stop.set()
    for thread in threads:
        thread.join()
    time.sleep(1)
    memory.append(rss_kb(station.pid))
    station.terminate()
    station.wait()

    log.seek(0)
    readings = sum(1 for line in log if " reading " in line or line.startswith("reading "))
    exact = re.compile(rb"^\d\d \d\d \d{4} \d\d:\d\d\r\n000/000g000t071r000p000P000h40b000000w\r\n$")
    good_reports = sum(1 for report in reports if exact.match(report))
    times.sort()
    print("web.requests %d in %d s (%d a second), failed %d" % (asked, seconds, RATE, failures))
    if reasons:
        print("web.failures " + "; ".join(sorted(set(reasons))[:5]))
    print("web.median_ms %.2f" % (statistics.median(times) * 1000))
    print("web.p99_ms %.2f" % (times[int(len(times) * 0.99)] * 1000))
    print("web.sensor_lines %d, readings taken %d (the last line waits for the next)"
          % (sensor.sent, readings))
    print("web.reports %d, byte-exact %d" % (len(reports), good_reports))
    print("web.rss_kb start %d, every 5 s %s, end %d"
          % (memory_start, " ".join(str(kb) for kb in memory[1:-1]), memory[-1]))
    lost = sensor.sent - 1 - readings
    return 0 if failures == 0 and lost <= 1 and good_reports == len(reports) else 1


if __name__ == "__main__":
    sys.exit(main())
