#!/usr/bin/env python3
# The text speed table: each library case of text_compare_bench as a ratio of
# its time to SDL2_ttf's cached blended glyphs of the same width in the same
# run (medians of four rounds, pinned to one core), beside the goal for the
# anti-aliased strings.
#
#   bench/text_goals.py [--build build] [--cpu 5] [--rounds 4]
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kernel_goals import load, run  # noqa: E402

GOAL = 1.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--cpu", type=int, default=5)
    ap.add_argument("--rounds", type=int, default=4)
    a = ap.parse_args()
    print("load average before: %s (cpu %d)" % (load(), a.cpu))
    r = run(os.path.join(a.build, "bench", "text_compare_bench"), a.cpu, ".", a.rounds)
    print("%-20s %12s %12s %8s %s" % ("case", "us/string", "ttf us/str", "ratio", "goal"))
    for renderer in ("Soft", "D3D"):
        for kind in ("Plain", "AA"):
            for width in ("Half", "Full"):
                case = "BM_%s_%s_%s" % (renderer, kind, width)
                ttf = "BM_Ttf_" + width
                if case not in r or ttf not in r:
                    continue
                ratio = r[case][0] / r[ttf][0]
                goal = ""
                if kind == "AA":
                    goal = "<= %.1fx %s" % (GOAL, "met" if ratio <= GOAL else "NOT met")
                print("%-20s %12.2f %12.2f %7.2fx %s" % (case, r[case][0] / 100e3, r[ttf][0] / 100e3, ratio, goal))
    print("load average after: %s" % load())


if __name__ == "__main__":
    main()
