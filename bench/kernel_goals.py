#!/usr/bin/env python3
# The kernel speed table: each case as a ratio to the memcpy of a 640x480x4
# buffer measured by the same benchmark program in the same run (medians of
# four rounds, every program pinned to one core), beside its goal; and the
# game-like frame (1,000 keyed sprites through DrawGraphAt) of this build
# against an older build of the graph benchmark, in alternating rounds.
#
#   bench/kernel_goals.py [--build build] [--cpu 5] [--old-graph-bench PATH]
import argparse
import json
import os
import statistics
import subprocess
import sys


def run(binary, cpu, pattern, rounds=4):
    """Median cpu time (ns) and items per second of each benchmark matching pattern."""
    args = ["taskset", "-c", str(cpu), binary, "--benchmark_filter=" + pattern, "--benchmark_format=json"]
    if rounds > 1:
        args += ["--benchmark_repetitions=%d" % rounds, "--benchmark_report_aggregates_only=true"]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    found = {}
    for b in json.loads(out[out.index("{"):])["benchmarks"]:
        if rounds > 1 and b.get("aggregate_name") != "median":
            continue
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        found[b["run_name"]] = (b["cpu_time"] * scale, b.get("items_per_second"))
    return found


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


# (program, memcpy anchor, case, what, goal)
RATIO_ROWS = [
    ("stretch_shapes_bench", "BM_MemcpyScreen", "BM_StretchToScreen/srcw:320/mode:0", "2x stretch, opaque", 0.30),
    ("blit_bench", "BM_MemcpyScreen/xrgb", "BM_BlitScreen/xrgb_alpha_mode0", "per-pixel alpha, mode 0", 0.30),
    ("blit_bench", "BM_MemcpyScreen/xrgb", "BM_BlitScreen/xrgb_mode2_p255_mmx", "additive, p=255", 0.60),
    ("blit_bench", "BM_MemcpyScreen/xrgb", "BM_BlitScreen/xrgb_keyed_copy", "keyed copy, scattered key", 0.50),
    ("blit_bench", "BM_MemcpyScreen/xrgb", "BM_BlitScreen/xrgb_keyed_runs", "keyed copy, run table, sprite keys", 0.80),
    ("blit_bench", "BM_MemcpyScreen/xrgb", "BM_BlitScreen/xrgb_mode1_p100", "constant blend p=100", 0.35),
    ("rotate_triangle3d_bench", "BM_MemcpyScreen/x8888", "BM_RotateSprite64/x8888_copy", "rotation 30 deg, 1,000 64x64", 0.10),
    ("blit_bench", "BM_MemcpyScreen/xrgb", "BM_BlitSprites/xrgb_sprites_alpha_mode0", "1,000 alpha sprites 20x20", 0.15),
    ("triangle_bench", "BM_MemcpyScreen/4", "BM_FullScreenQuadTextured/0/1", "full-screen textured triangles, 2D", 0.20),
    ("rotate_triangle3d_bench", "BM_MemcpyScreen/x8888", "BM_Triangle3DScreenQuad/x8888_no_depth", "full-screen textured triangles, 3D", 0.08),
]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--cpu", type=int, default=5)
    ap.add_argument("--old-graph-bench", help="graph_draw_bench of the build to compare with")
    ap.add_argument("--graph-rounds", type=int, default=5)
    a = ap.parse_args()
    bench = os.path.join(a.build, "bench")
    print("load average before: %s (cpu %d)" % (load(), a.cpu))

    by_program = {}
    for prog, anchor, case, _, _ in RATIO_ROWS:
        by_program.setdefault(prog, set()).update({anchor, case})
    results = {}
    for prog, names in by_program.items():
        pattern = "^(" + "|".join(n + "$" for n in sorted(names)) + ")"
        results[prog] = run(os.path.join(bench, prog), a.cpu, pattern)

    rows = []
    for prog, anchor, case, what, goal in RATIO_ROWS:
        r = results[prog]
        if case not in r or anchor not in r:  # an older build may lack a case
            rows.append((what, case, "absent", ">= %.2fx" % goal, ""))
            continue
        ratio = r[case][1] / r[anchor][1]
        rows.append((what, case, "%.3fx" % ratio, ">= %.2fx" % goal, "met" if ratio >= goal else "NOT met"))

    if os.path.exists(os.path.join(bench, "image_decode_bench")):
        jpeg = run(os.path.join(bench, "image_decode_bench"), a.cpu, "^BM_Jpeg(Library|BareLibjpeg)$")
        jr = jpeg["BM_JpegLibrary"][0] / jpeg["BM_JpegBareLibjpeg"][0]
        rows.append(("JPEG load vs bare libjpeg (time)", "BM_JpegLibrary", "%.3fx" % jr, "<= 1.05x",
                     "met" if jr <= 1.05 else "NOT met"))

    if a.old_graph_bench:
        new_t, old_t = [], []
        for _ in range(a.graph_rounds):
            old_t.append(run(a.old_graph_bench, a.cpu, "^BM_DrawGraphAtRoad$", 1)["BM_DrawGraphAtRoad"][0])
            new_t.append(run(os.path.join(bench, "graph_draw_bench"), a.cpu, "^BM_DrawGraphAtRoad$", 1)["BM_DrawGraphAtRoad"][0])
        speed = statistics.median(old_t) / statistics.median(new_t)
        rows.append(("1,000 keyed sprites via DrawGraphAt, old/new", "BM_DrawGraphAtRoad",
                     "%.2fx (%.0f -> %.0f us)" % (speed, statistics.median(old_t) / 1e3, statistics.median(new_t) / 1e3),
                     ">= 1.50x", "met" if speed >= 1.5 else "NOT met"))

    widths = [max(len(r[i]) for r in rows) for i in range(5)]
    head = ("case", "benchmark", "ratio", "goal", "")
    widths = [max(w, len(h)) for w, h in zip(widths, head)]
    for r in [head] + rows:
        print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
    print("load average after: %s" % load())
    return 0


if __name__ == "__main__":
    sys.exit(main())
