#!/usr/bin/env python3
"""The speed, size and memory goals of whole runs: each job run by panelwright-cli and by its peer
tool on the same 2048x2048 pictures, in turns, several rounds; prints the medians of processor
time, ours over the peer's, the file sizes of encoders, the peak memory of each side, and each
ratio beside its goal. Usage: goals.py BIN_DIR [ROUNDS]"""
import os
import shutil
import statistics
import subprocess
import sys
import time
from dataclasses import dataclass

BIN = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/bin")
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
WORK = os.environ.get("PW_GOALS_WORK", os.path.join(os.path.dirname(BIN), "bench-goals"))
CLI = os.path.join(BIN, "panelwright-cli")
SIZE = 2048
# ImageMagick's own program, before any other `convert` on the path.
MAGICK = shutil.which("convert-im6.q16") or shutil.which("convert") or "convert"
# Debian's Python, which has Pillow.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def path(name):
    return os.path.join(WORK, name)


def flat8_bmp():
    """An 8-bit picture of flat bands and rectangles with a thin strip of noise."""
    header_size, table = 14 + 40, 256 * 4
    stride = SIZE
    palette = b"".join(bytes(((i * 7) & 255, 255 - i, i, 0)) for i in range(256))
    seed = 12345
    rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        row = bytearray(((y // 128) * 16 + x // 512) & 255 for x in range(0, SIZE, 512) for _ in range(512))
        if 600 < y < 1400:
            row[701:1300] = bytes([200]) * 599
        if y % 256 < 4:
            for x in range(0, SIZE, 64):
                for k in range(20):
                    seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
                    row[x + k] = seed >> 24
        rows.append(bytes(row))
    pixels = b"".join(rows)
    off = header_size + table
    head = b"BM" + (off + len(pixels)).to_bytes(4, "little") + bytes(4) + off.to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + SIZE.to_bytes(4, "little") + SIZE.to_bytes(4, "little") + (1).to_bytes(2, "little")
    info += (8).to_bytes(2, "little") + bytes(4) + len(pixels).to_bytes(4, "little") + bytes(8)
    info += (256).to_bytes(4, "little") + bytes(4)
    with open(path("flat8.bmp"), "wb") as f:
        f.write(head + info + palette + pixels)


def run_quiet(command, **kw):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)


# Made when every picture is there; its name changes with the set of pictures, so that a folder
# prepared for an older set is prepared again.
READY = "ready-decode-rows"


def prepare():
    os.makedirs(WORK, exist_ok=True)
    if os.path.exists(path(READY)):
        return
    flat8_bmp()
    # A photograph-like picture: a seeded plasma with a little noise.
    run_quiet([MAGICK, "-seed", "7", "-size", f"{SIZE}x{SIZE}", "plasma:fractal", "-blur", "0x1",
               "-attenuate", "0.4", "+noise", "Uniform", "-depth", "8", path("photo.ppm")])
    run_quiet([MAGICK, path("photo.ppm"), "-type", "TrueColor", "BMP3:" + path("photo.bmp")])
    run_quiet([MAGICK, path("photo.ppm"), "-define", "png:compression-filter=4", "-interlace", "PNG",
               "PNG24:" + path("photo_paeth_i.png")])
    run_quiet([MAGICK, path("photo.ppm"), "-define", "png:compression-filter=4", "PNG24:" + path("photo_paeth.png")])
    # The photo as libpng writes it by default: its own filter choice, 8 KiB IDAT chunks.
    with open(path("photo.png"), "wb") as f:
        subprocess.run(["pnmtopng", path("photo.ppm")], check=True, stdout=f, stderr=subprocess.DEVNULL)
    run_quiet([MAGICK, path("photo.ppm"), "+dither", "-colors", "256", "PNG8:" + path("palette8.png")])
    run_quiet([CLI, "convert", path("photo.bmp"), path("photo8.bmp"), "--depth", "8"])
    run_quiet([MAGICK, path("photo8.bmp"), path("photo8.ppm")])
    open(path(READY), "w").close()


def run(command, stdout_to=None):
    """Wall time and processor time (user and system, the run's own) in ms and peak resident
    memory in MB of one whole run. The peak is taken by GNU time, a small process between this
    one and the run, whose own peak would else count; its processor time is the run's."""
    out = open(stdout_to, "wb") if stdout_to else subprocess.DEVNULL
    peak_file = path("peak.txt")
    start = time.perf_counter()
    process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file] + command, stdout=out,
                               stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = (time.perf_counter() - start) * 1000
    if stdout_to:
        out.close()
    if status != 0:
        raise RuntimeError("failed: " + " ".join(command))
    with open(peak_file) as f:
        peak = int(f.read().split()[-1]) / 1024
    return elapsed, (usage.ru_utime + usage.ru_stime) * 1000, peak


def pillow_quantize():
    code = ("import sys; from PIL import Image; "
            "Image.open(sys.argv[1]).quantize(256, method=2).save(sys.argv[2])")
    return [PYTHON, "-c", code, path("photo.bmp"), path("peer_q8.bmp")]


@dataclass
class Job:
    name: str
    peer: str
    goal: float  # processor time, ours over the peer's
    ours: list
    theirs: list
    tool: str
    theirs_out: str = None  # the peer's output file when it writes to standard output
    size_goal: float = None  # output size, ours over the peer's
    memory_goal: float = None  # peak resident memory, ours over the peer's


def jobs():
    stb = os.path.join(BIN, "stb_peer")
    libpng = "libpng (pngtopnm)"

    def decode(name, png, goal, memory_goal=None):
        return Job(name, libpng, goal, [CLI, "convert", path(png), path("ours_" + png + ".bmp")],
                   ["pngtopnm", path(png)], "pngtopnm", path("peer_" + png + ".ppm"), memory_goal=memory_goal)

    return [
        decode("PNG decode 2048² RGB photo (libpng's own)", "photo.png", 0.45, 1.1),
        decode("PNG decode 2048² photo, all-Paeth, interlaced", "photo_paeth_i.png", 0.45, 1.1),
        decode("PNG decode 2048² photo, all-Paeth", "photo_paeth.png", 0.45),
        decode("PNG decode 2048² 8-bit palette", "palette8.png", 0.6, 1.1),
        Job("RLE8 convert of a flat 2048² picture", "ImageMagick", 0.25,
            [CLI, "convert", path("flat8.bmp"), path("ours_rle.dib"), "--rle"],
            [MAGICK, path("flat8.bmp"), "-compress", "RLE", "BMP3:" + path("peer_rle.bmp")], MAGICK),
        Job("24 -> 8-bit convert 2048² photo", "Pillow quantize, method 2", 0.35,
            [CLI, "convert", path("photo.bmp"), path("ours_q8.bmp"), "--depth", "8"], pillow_quantize(), PYTHON),
        Job("BMP read 2048² 24-bit (convert to BMP)", "stb_image", 0.25,
            [CLI, "convert", path("photo.bmp"), path("ours_copy.bmp")],
            [stb, path("photo.bmp"), path("peer_copy.bmp")], stb),
        Job("PNG encode 2048² photo, 24-bit", "libpng default (pnmtopng)", 0.9,
            [CLI, "convert", path("photo.bmp"), path("ours_24.png")], ["pnmtopng", path("photo.ppm")], "pnmtopng",
            path("peer_24.png"), size_goal=0.98, memory_goal=1.5),
        Job("PNG encode 2048² photo, 8-bit palette", "libpng default (pnmtopng)", 1.0,
            [CLI, "convert", path("photo8.bmp"), path("ours_8.png")], ["pnmtopng", path("photo8.ppm")], "pnmtopng",
            path("peer_8.png"), size_goal=0.98),
    ]


def size_of(command, stdout_to):
    return os.path.getsize(stdout_to if stdout_to else command[-1])


def ratio_text(ratio, goal, digits):
    """A ratio, its goal and whether it holds; blanks where the job has no such goal."""
    if goal is None:
        return f"{'':>{digits + 2}} {'':>5}   "
    mark = "ok" if ratio <= goal else "--"
    return f"{ratio:{digits + 2}.{digits}f} {goal:5.2f}{mark:>3}"


def main():
    prepare()
    print(f"Whole runs, medians of {ROUNDS} rounds in turns (load average {os.getloadavg()[0]:.1f}). The ratio"
          " is of processor time (user + system), which a busy machine disturbs less than wall time;"
          " memory is the highest peak of any round.")
    print(f"{'job':46} {'peer':26} {'ours cpu':>8} {'peer cpu':>8} {'ratio':>6} {'goal':>5}   {'wall':>5} "
          f"{'size':>6} {'goal':>5}    {'ours MB':>7} {'peer MB':>7} {'ratio':>5} {'goal':>5}")
    for job in jobs():
        if shutil.which(job.tool) is None and not os.access(job.tool, os.X_OK):
            print(f"{job.name:46} {job.peer:26} (peer not installed)")
            continue
        a, b = [], []
        for _ in range(ROUNDS):
            a.append(run(job.ours))
            b.append(run(job.theirs, job.theirs_out))
        median = lambda runs, i: statistics.median(r[i] for r in runs)
        ratio = median(a, 1) / median(b, 1)
        wall = median(a, 0) / median(b, 0)
        size = size_of(job.ours, None) / size_of(job.theirs, job.theirs_out) if job.size_goal else 0.0
        ours_mb, peer_mb = max(r[2] for r in a), max(r[2] for r in b)
        print(f"{job.name:46} {job.peer:26} {median(a, 1):8.1f} {median(b, 1):8.1f} "
              f"{ratio_text(ratio, job.goal, 2)} {wall:5.2f} {ratio_text(size, job.size_goal, 3)} "
              f"{ours_mb:7.1f} {peer_mb:7.1f} {ratio_text(ours_mb / peer_mb, job.memory_goal, 2)}")


if __name__ == "__main__":
    main()
