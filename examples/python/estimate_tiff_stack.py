#!/usr/bin/python3
"""Estimates V2, V1 and V0 of a segmented TIFF stack and plots the Steiner fit.

    python3 examples/python/estimate_tiff_stack.py STACK.tif PLOT.png [--white-objects]
        [--threshold T] [--balls FILE] [--epsilon K]

Reads a greyscale stack with tifffile (one page per z-plane), makes the voxels darker than the
threshold the set (the brighter ones with --white-objects), as ImageMagick's -threshold does,
estimates with talvik's /a (the balls chosen from the data, standard errors), prints what
talvik /a prints and saves a plot of every ball's shell volume fraction against its correction
value de, with the fitted Steiner polynomial and the balls it did not use in grey.
"""
import argparse
import math
import pathlib
import sys

import matplotlib

matplotlib.use("Agg")  # draws into the file only: no display needed
import matplotlib.pyplot as plt
import numpy as np
import tifffile

import talvik

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent


def segment(stack, threshold, white_objects):
    """The set as a bool array: voxels at or below the threshold (mid-range by default), or
    above it with white objects."""
    if threshold is None:
        top = np.iinfo(stack.dtype).max if stack.dtype.kind in "iu" else stack.max()
        threshold = top / 2
    return stack > threshold if white_objects else stack <= threshold


def steiner(result, de):
    """The fitted shell volume fraction at de: 2 V2 de - pi V1 de^2 + 4/3 pi V0 de^3."""
    return 2 * result.V2 * de - math.pi * result.V1 * de**2 + 4 / 3 * math.pi * result.V0 * de**3


def plot(result, path, title):
    used = result.balls_used
    de = np.linspace(0, result.de.max() * 1.05, 200)
    fig, ax = plt.subplots(figsize=(6.4, 4.4), layout="constrained")
    ax.plot(de, steiner(result, de), color="tab:blue", label="Steiner fit")
    ax.plot(result.de[:used], result.fractions[:used], "o", color="tab:orange",
            label="shell fractions")
    if used < len(result.de):
        ax.plot(result.de[used:], result.fractions[used:], "o", color="0.7",
                label="balls not used")
    ax.set_xlabel("de (voxels)")
    ax.set_ylabel("volume fraction of the shell")
    ax.set_title(title, fontsize="medium")
    ax.text(0.02, 0.97, f"V2 = {result.V2:.6g}\nV1 = {result.V1:.6g}\nV0 = {result.V0:.6g}",
            transform=ax.transAxes, va="top", family="monospace")
    ax.legend(loc="lower right")
    fig.savefig(path, dpi=100)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("stack", type=pathlib.Path, help="a greyscale TIFF stack")
    parser.add_argument("plot", type=pathlib.Path, help="the PNG to write")
    parser.add_argument("--white-objects", action="store_true",
                        help="the objects are brighter than the background")
    parser.add_argument("--threshold", type=float, help="default: half the value range")
    parser.add_argument("--balls", type=pathlib.Path,
                        default=EXAMPLES / "balls_fine.txt")
    parser.add_argument("--epsilon", type=int, default=1, help="ball K of the file, from 1")
    args = parser.parse_args()

    volume = segment(tifffile.imread(args.stack), args.threshold, args.white_objects)
    result = talvik.estimate(volume, args.balls, args.epsilon, adaptive=True)
    print(f"V2: {result.V2:20.16f}\nV1: {result.V1:20.16f}\nV0: {result.V0:20.16f}")
    print(f"SE(V2): {result.SE_V2:20.16f}\nSE(V1): {result.SE_V1:20.16f}\n"
          f"SE(V0): {result.SE_V0:20.16f}")
    print(f"Balls used: 1..{result.balls_used} of {len(result.de)}")
    for warning in result.warnings:
        print(f"talvik: warning: {warning}", file=sys.stderr)
    plot(result, args.plot, f"{args.stack.name}: {volume.shape[2]} x {volume.shape[1]} x "
         f"{volume.shape[0]} voxels, {volume.mean():.1%} set")


if __name__ == "__main__":
    main()
