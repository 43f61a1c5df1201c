"""Times the commands of bench/run and prints medians, ratios and peak memory."""
import os
import resource
import statistics
import subprocess
import sys
import time

RUNS = 5


def median_seconds(command, output):
    times = []
    for _ in range(RUNS):
        with open(output, "wb") as out:
            start = time.perf_counter()
            subprocess.run(command, stdout=out, stderr=subprocess.DEVNULL, check=True)
            times.append(time.perf_counter() - start)
    return statistics.median(times)


def peak_kib(command):
    """Peak resident memory of one run, as GNU time reports it.

    A child that Python forks would report Python's own size, so the run is
    measured by time(1), which starts it from a small process."""
    result = subprocess.run(["/usr/bin/time", "-f", "%M", *command], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, check=True)
    return int(result.stderr.split()[-1])


def main():
    work, tesselon = sys.argv[1], sys.argv[2]
    bmp, pbm, header = (os.path.join(work, name) for name in ("pic.bmp", "pic.pbm", "pic.h"))
    commands = {
        "tesselon": [tesselon, bmp],
        "pbmtoxbm": ["pbmtoxbm", pbm],
        "xxd -i": ["xxd", "-i", bmp],
        "cat": ["cat", header],
    }
    medians = {name: median_seconds(cmd, os.path.join(work, "out")) for name, cmd in commands.items()}
    print(f"median of {RUNS} runs, output to a file:")
    for name, seconds in medians.items():
        print(f"  {name:10} {seconds * 1000:9.1f} ms")
    ours = medians["tesselon"]
    print(f"tesselon / pbmtoxbm: {ours / medians['pbmtoxbm']:.3f}  (target at most 0.25)")
    print(f"tesselon / cat:      {ours / medians['cat']:.2f}   (target at most 3)")
    large = os.path.join(work, "large.bmp")
    peak = peak_kib(commands["tesselon"])
    peak_large = peak_kib([tesselon, large])
    print("tesselon peak memory (output discarded):")
    for name, path, kib in (("this picture", bmp, peak), ("large sparse", large, peak_large)):
        print(f"  {name:13} {os.path.getsize(path) / 2**20:8.1f} MiB input  {kib / 1024:6.1f} MiB peak")
    print(f"large - this picture: {(peak_large - peak) / 1024:.1f} MiB  (target at most 4)")


if __name__ == "__main__":
    main()
