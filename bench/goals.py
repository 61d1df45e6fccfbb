#!/usr/bin/env python3
"""The speed goals of whole runs: each job run by panelwright-cli and by its peer tool on the same
2048x2048 pictures, in turns, several rounds; prints the medians, ours over the peer's, the goal
and the peak memory of each side. Usage: goals.py BIN_DIR [ROUNDS]"""
import os
import shutil
import statistics
import subprocess
import sys
import time

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


def prepare():
    os.makedirs(WORK, exist_ok=True)
    if os.path.exists(path("ready")):
        return
    flat8_bmp()
    # A photograph-like picture: a seeded plasma with a little noise.
    run_quiet([MAGICK, "-seed", "7", "-size", f"{SIZE}x{SIZE}", "plasma:fractal", "-blur", "0x1",
               "-attenuate", "0.4", "+noise", "Uniform", "-depth", "8", path("photo.ppm")])
    run_quiet([MAGICK, path("photo.ppm"), "-type", "TrueColor", "BMP3:" + path("photo.bmp")])
    run_quiet([MAGICK, path("photo.ppm"), "-define", "png:compression-filter=4", "-interlace", "PNG",
               "PNG24:" + path("photo_paeth_i.png")])
    run_quiet([MAGICK, path("photo.ppm"), "+dither", "-colors", "256", "PNG8:" + path("palette8.png")])
    run_quiet([CLI, "convert", path("photo.bmp"), path("photo8.bmp"), "--depth", "8"])
    run_quiet([MAGICK, path("photo8.bmp"), path("photo8.ppm")])
    open(path("ready"), "w").close()


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
            "Image.open(sys.argv[1]).quantize(256).save(sys.argv[2])")
    return [PYTHON, "-c", code, path("photo.bmp"), path("peer_q8.bmp")]


def jobs():
    stb = os.path.join(BIN, "stb_peer")
    return [
        ("PNG decode 2048² photo, all-Paeth, interlaced", "libpng (pngtopnm)", 0.45, None,
         [CLI, "convert", path("photo_paeth_i.png"), path("ours_png.bmp")], None,
         ["pngtopnm", path("photo_paeth_i.png")], path("peer_png.ppm"), "pngtopnm"),
        ("PNG decode 2048² 8-bit palette", "libpng (pngtopnm)", 0.6, None,
         [CLI, "convert", path("palette8.png"), path("ours_pal.bmp")], None,
         ["pngtopnm", path("palette8.png")], path("peer_pal.ppm"), "pngtopnm"),
        ("RLE8 convert of a flat 2048² picture", "ImageMagick", 0.25, None,
         [CLI, "convert", path("flat8.bmp"), path("ours_rle.dib"), "--rle"], None,
         [MAGICK, path("flat8.bmp"), "-compress", "RLE", "BMP3:" + path("peer_rle.bmp")], None, MAGICK),
        ("24 -> 8-bit convert 2048² photo", "Pillow quantize", 0.35, None,
         [CLI, "convert", path("photo.bmp"), path("ours_q8.bmp"), "--depth", "8"], None,
         pillow_quantize(), None, PYTHON),
        ("BMP read 2048² 24-bit (convert to BMP)", "stb_image", 0.25, None,
         [CLI, "convert", path("photo.bmp"), path("ours_copy.bmp")], None,
         [stb, path("photo.bmp"), path("peer_copy.bmp")], None, stb),
        ("PNG encode 2048² photo, 24-bit", "libpng default (pnmtopng)", 0.9, 0.98,
         [CLI, "convert", path("photo.bmp"), path("ours_24.png")], None,
         ["pnmtopng", path("photo.ppm")], path("peer_24.png"), "pnmtopng"),
        ("PNG encode 2048² photo, 8-bit palette", "libpng default (pnmtopng)", 1.0, 0.98,
         [CLI, "convert", path("photo8.bmp"), path("ours_8.png")], None,
         ["pnmtopng", path("photo8.ppm")], path("peer_8.png"), "pnmtopng"),
    ]


def size_of(command, stdout_to):
    return os.path.getsize(stdout_to if stdout_to else command[-1])


def main():
    prepare()
    print(f"Whole runs, medians of {ROUNDS} rounds in turns (load average {os.getloadavg()[0]:.1f}). The ratio"
          " is of processor time (user + system), which a busy machine disturbs less than wall time.")
    print(f"{'job':46} {'peer':26} {'ours cpu':>8} {'peer cpu':>8} {'ratio':>6} {'goal':>5}   "
          f"{'wall':>5} {'size':>6} {'goal':>5}  {'ours MB':>7} {'peer MB':>7}")
    for name, peer, goal, size_goal, ours, ours_out, theirs, theirs_out, tool in jobs():
        if shutil.which(tool) is None and not os.access(tool, os.X_OK):
            print(f"{name:46} {peer:26} (peer not installed)")
            continue
        a, b = [], []
        for _ in range(ROUNDS):
            a.append(run(ours, ours_out))
            b.append(run(theirs, theirs_out))
        median = lambda runs, i: statistics.median(r[i] for r in runs)
        ratio = median(a, 1) / median(b, 1)
        wall = median(a, 0) / median(b, 0)
        size = size_goal_text = ""
        if size_goal:
            size = f"{size_of(ours, ours_out) / size_of(theirs, theirs_out):.3f}"
            size_goal_text = f"{size_goal:.2f}"
        mark = "ok" if ratio <= goal else "--"
        print(f"{name:46} {peer:26} {median(a, 1):8.1f} {median(b, 1):8.1f} {ratio:6.2f} {goal:5.2f}{mark:>3}"
              f" {wall:5.2f} {size:>6} {size_goal_text:>5}  {max(r[2] for r in a):7.1f} {max(r[2] for r in b):7.1f}")


if __name__ == "__main__":
    main()
