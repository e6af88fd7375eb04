#!/usr/bin/env python3
# The renderer speed table: the 1,000-sprite frame through Direct3D on the
# software device against the software renderer and SDL2's software renderer,
# and the game's heaviest frame through both of the library's renderers. Medians
# of several rounds, each program pinned to one core; every pair is measured by
# one program in one run.
#
#   bench/renderer_goals.py [--build build] [--cpu 5] [--rounds 5]
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kernel_goals import load, run  # noqa: E402


# (program, case, against, what, goal as the most case/against may be)
ROWS = [
    ("sprite_frame_bench", "BM_SpriteFrameDirect3D", "BM_SpriteFrameSoftware",
     "1,000 sprites, Direct3D / software renderer", 1.0),
    ("sprite_frame_bench", "BM_SpriteFrameDirect3D", "BM_SpriteFrameSdlSoftware",
     "1,000 sprites, Direct3D / SDL2 software renderer", 0.5),
    ("game_frame_bench", "BM_GameFrameDirect3D", "BM_GameFrameSoftware",
     "game's heaviest frame, Direct3D / software renderer", 1.0),
]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--cpu", type=int, default=5)
    ap.add_argument("--rounds", type=int, default=5)
    a = ap.parse_args()
    bench = os.path.join(a.build, "bench")
    print("load average before: %s (cpu %d)" % (load(), a.cpu))
    results = {}
    for prog in sorted({r[0] for r in ROWS}):
        results[prog] = run(os.path.join(bench, prog), a.cpu, ".*", a.rounds)
    rows = []
    for prog, case, against, what, goal in ROWS:
        r = results[prog]
        # run() answers (cpu ns, items per second) per benchmark.
        case_ms, against_ms = r[case][0] / 1e6, r[against][0] / 1e6
        ratio = case_ms / against_ms
        rows.append((what, "%.2f / %.2f ms" % (case_ms, against_ms), "%.2fx" % ratio, "<= %.1fx" % goal,
                     "met" if ratio <= goal else "NOT met"))
    head = ("case", "times", "ratio", "goal", "")
    widths = [max(len(x[i]) for x in rows + [head]) for i in range(5)]
    for r in [head] + rows:
        print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
    print("load average after: %s" % load())
    return 0


if __name__ == "__main__":
    sys.exit(main())
