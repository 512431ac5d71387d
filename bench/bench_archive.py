#!/usr/bin/python3
"""The station's history over a 31-day archive at the sensor's full rate, and event streams that
never read:

    bench_archive.py PROGRAM [STALLED_SECONDS]
    bench_archive.py PROGRAM --year

With --year, the archive is a year of blocks at a real sensor's pace (one every 5 minutes, about
105,000 rows) instead, and only the reading and the climate's answers are measured.

PROGRAM is korad (or kora, run with --headless). Its archive is made first: a block every 6 s
for 31 days (446,400 rows, about 35 MB). Then, while a pseudo-terminal sends 55 sensor lines a
second:
  - the first page request starts the archive's reading: the longest pause of the event loop
    meanwhile, as the longest wait of /api/now asked every 20 ms, and how long the reading took;
  - each history answer for 31 days: its time (median of 5) and size;
  - resident memory once the archive is read;
  - the CPU of a browser tab left on "Last 31 days" (the page and its chart fetched again at each
    block, as the page's script does), against the same minute without the tab;
  - 100 event streams that never read, for STALLED_SECONDS (300): resident memory before and
    after, and the slowest answer of /api/now asked once a second meanwhile.
"""
import datetime
import os
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

LINE_RATE = 55
BLOCK_SECONDS = 6


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def get(port, path):
    started = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=60) as connection:
        connection.sendall(("GET %s HTTP/1.1\r\nHost: station\r\nConnection: close\r\n\r\n"
                            % path).encode())
        answer = b""
        while True:
            part = connection.recv(1 << 20)
            if not part:
                break
            answer += part
    body = answer.split(b"\r\n\r\n", 1)[-1]
    return time.monotonic() - started, body, len(body)


def make_archive(folder, days, spacing):
    os.makedirs(folder)
    now = datetime.datetime.now().astimezone()
    at = now - datetime.timedelta(days=days)
    files = {}
    rows = 0
    while at < now - datetime.timedelta(seconds=60):
        name = at.strftime("kora-%Y-%m.csv")
        if name not in files:
            files[name] = open(os.path.join(folder, name), "w")
            files[name].write("time,temperature_avg_c,temperature_min_c,temperature_max_c,"
                              "humidity_avg_pct,humidity_min_pct,humidity_max_pct,readings,"
                              "event,detail\n")
        stamp = at.isoformat(timespec="seconds")
        t = 15.0 + 10.0 * ((rows % 14400) / 14400.0)
        files[name].write("%s,%.1f,%.1f,%.1f,45.0,40.0,50.0,300,,\n" % (stamp, t, t - 0.5, t + 0.5))
        rows += 1
        at += datetime.timedelta(seconds=spacing)
    for file in files.values():
        file.close()
    return rows


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    program = sys.argv[1:2] + (["--headless"] if os.path.basename(sys.argv[1]) == "kora" else [])
    year = sys.argv[2:3] == ["--year"]
    stalled_seconds = int(sys.argv[2]) if len(sys.argv) > 2 and not year else 300
    days, spacing = (365, 300) if year else (31, BLOCK_SECONDS)
    work = tempfile.mkdtemp(prefix="kora-bench-archive-")
    rows = make_archive(os.path.join(work, "archive"), days, spacing)
    size = sum(os.path.getsize(os.path.join(work, "archive", name))
               for name in os.listdir(os.path.join(work, "archive")))
    print("archive.rows %d (%.1f MB, a block every %d s for %d days)" % (rows, size / 1e6,
                                                                        spacing, days))
    master, slave = os.openpty()
    os.makedirs(os.path.join(work, "config/KORA"))
    with open(os.path.join(work, "config/KORA/KORA.conf"), "w") as settings:
        settings.write("[Ports]\nCom1=%s\n" % os.ttyname(slave))
    log = open(os.path.join(work, "log"), "w+")
    station = subprocess.Popen(
        program + ["--report-dir", work, "--archive-dir", os.path.join(work, "archive"),
                   "--listen", "127.0.0.1:0"],
        env=dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
                 XDG_DATA_HOME=os.path.join(work, "data")), stderr=log, stdout=log)
    port = None
    for _ in range(300):
        log.seek(0)
        found = re.search(r"Web page on http://127\.0\.0\.1:(\d+)/", log.read())
        if found:
            port = int(found.group(1))
            break
        time.sleep(0.1)
    if port is None:
        print("bench_archive: the program did not serve its page")
        return 1
    running = [True]

    def sensor():
        while running[0]:
            os.write(master, b"1=22.5deg2=45\r\n")
            time.sleep(1.0 / LINE_RATE)

    threading.Thread(target=sensor, daemon=True).start()
    time.sleep(2)
    try:
        # The first look at the history starts the reading; /api/now meanwhile tells the pauses.
        waits = []
        started = time.monotonic()
        first = get(port, "/?span=%s" % ("1y" if year else "31d"))[0]
        loaded = None
        while time.monotonic() - started < 120:
            waits.append(get(port, "/api/now")[0])
            if b'"complete":true' in get(port, "/api/history?span=24h")[1]:
                loaded = time.monotonic() - started
                break
            time.sleep(0.02)
        print("history.first_page_ms %.0f (the request that starts the reading)" % (first * 1000))
        print("history.load_seconds %.1f (all %d days read, while the sensor's lines are read)"
              % (loaded or -1, days))
        print("history.longest_pause_ms %.0f (the slowest /api/now while the archive was read; "
              "target <= 50)" % (max(waits) * 1000))
        this_year = datetime.date.today().year
        for path in ("/climate/%d.txt" % this_year, "/api/climate?year=%d" % this_year,
                     "/api/records", "/?span=1y", "/history.svg?span=1y"):
            times = []
            for _ in range(5):
                took, _, length = get(port, path + ("&" if "?" in path else "?") +
                                      "new=%d" % len(times))
                times.append(took)
            print("climate.request_ms %-24s %.1f ms, at most %.1f ms, %d bytes (target <= 50 ms)"
                  % (path, statistics.median(times) * 1000, max(times) * 1000, length))
        if year:
            print("history.rss_mb %.1f (the archive read; target <= 80)"
                  % (rss_kb(station.pid) / 1024))
            return 0
        for path in ("/?span=31d", "/history.svg?span=31d", "/api/history?span=31d"):
            times = []
            # Made anew for each new block (one every 6 s here), from memory.
            for _ in range(5):
                took, _, length = get(port, path + "&new=%d" % len(times))
                times.append(took)
                time.sleep(BLOCK_SECONDS)
            print("history.request_ms %-24s %.1f ms, at most %.1f ms, %d bytes (targets <= 100 "
                  "ms, <= 1 MB)" % (path, statistics.median(times) * 1000, max(times) * 1000,
                                    length))
        print("history.rss_mb %.1f (the archive read; target <= 80)" % (rss_kb(station.pid) / 1024))

        # A minute without a tab, then a minute with one on "Last 31 days".
        def minute(tab):
            before = cpu_seconds(station.pid)
            end = time.monotonic() + 60
            while time.monotonic() < end:
                if tab:
                    get(port, "/?span=31d")
                    get(port, "/history.svg?span=31d&rows=%d" % time.time())
                time.sleep(BLOCK_SECONDS)
            return (cpu_seconds(station.pid) - before) / 60 * 100
        idle = minute(False)
        tab = minute(True)
        print("history.tab_cpu_percent %.2f (a tab on 31 days, over %.2f %% without it; "
              "target <= 2)" % (tab - idle, idle))

        # Readers that never read.
        before = rss_kb(station.pid)
        streams = []
        for _ in range(100):
            reader = socket.create_connection(("127.0.0.1", port))
            reader.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            reader.sendall(b"GET /events HTTP/1.1\r\nHost: station\r\n\r\n")
            streams.append(reader)
        slowest = 0.0
        end = time.monotonic() + stalled_seconds
        while time.monotonic() < end:
            slowest = max(slowest, get(port, "/api/now")[0])
            time.sleep(1)
        after = rss_kb(station.pid)
        print("streams.stalled_rss_growth_mb %.1f (%.1f to %.1f MB, 100 readers that never read "
              "for %d s; target < 10)" % ((after - before) / 1024, before / 1024, after / 1024,
                                          stalled_seconds))
        print("streams.slowest_answer_ms %.0f (/api/now meanwhile; target < 1000)"
              % (slowest * 1000))
        for reader in streams:
            reader.close()
    finally:
        running[0] = False
        station.terminate()
        station.wait(10)
    return 0


if __name__ == "__main__":
    sys.exit(main())
