"""What the whole-process benchmarks share: the stand-in site and the process tree's memory."""
import json
import os
import signal
import subprocess
import tempfile
import time
import urllib.request


class Site:
    """The stand-in site on a free port, with data of its own."""

    def __init__(self, bin_folder, arguments=()):
        self.data = tempfile.NamedTemporaryFile(suffix=".json", delete=False).name
        self.process = subprocess.Popen([os.path.join(bin_folder, "orvela-demo-site"), "--port", "0", "--data",
                                         self.data, *arguments], stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        self.port = int(line.strip().rstrip("/").rsplit(":", 1)[1])
        self.origin = f"http://localhost:{self.port}"

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.process.terminate()
        self.process.wait()
        os.unlink(self.data)

    def state(self):
        with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/__state", timeout=5) as reply:
            return json.load(reply)

    def control(self, query, body=b""):
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}/__control?{query}", data=body, method="POST")
        with urllib.request.urlopen(request, timeout=5) as reply:
            return reply.read()

    def ready_after(self, since_ms):
        for entry in self.state()["trace"]:
            if entry.get("call") == "ready" and entry.get("receivedAt", 0) >= since_ms:
                return entry["receivedAt"]
        return None


def process_tree(root):
    tree = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as stat:
                parent = int(stat.read().rsplit(")", 1)[1].split()[1])
        except OSError:
            continue
        tree.setdefault(parent, []).append(int(name))
    found, queue = [], [root]
    while queue:
        pid = queue.pop()
        found.append(pid)
        queue.extend(tree.get(pid, []))
    return found


def pss_by_process(pids, fields=("Pss:",)):
    """Memory in KiB summed per program name (orvela, WebKitWebProcess, bwrap, ...):
    PSS, or the sum of other smaps_rollup fields (Private_Clean: and Private_Dirty:
    for the memory no other process shares)."""
    kinds = {}
    for pid in pids:
        try:
            with open(f"/proc/{pid}/comm") as comm:
                kind = comm.read().strip()
            with open(f"/proc/{pid}/smaps_rollup") as rollup:
                for line in rollup:
                    if line.startswith(fields):
                        kinds[kind] = kinds.get(kind, 0) + int(line.split()[1])
        except OSError:
            pass
    return kinds


def cpu_seconds(pid):
    """User and system time the process has used so far."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def end(pids):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in pids:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        time.sleep(0.5)


def started_after(root, pids):
    """Milliseconds from the root's start to each program's first start, by name
    (to the kernel's clock tick, 10 ms)."""
    def start_ticks(pid):
        with open(f"/proc/{pid}/stat") as stat:
            return int(stat.read().rsplit(")", 1)[1].split()[19])

    def name(pid):
        with open(f"/proc/{pid}/comm") as comm:
            return comm.read().strip()

    ticks = os.sysconf("SC_CLK_TCK")
    starts = {}
    try:
        origin = start_ticks(root)
        for pid in pids:
            try:
                offset = (start_ticks(pid) - origin) * 1000 / ticks
                starts[name(pid)] = min(starts.get(name(pid), offset), offset)
            except OSError:
                pass
    except OSError:
        pass
    return starts
