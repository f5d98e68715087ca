#!/usr/bin/env python3
"""The figures of bench/run_record_rate.sh.

  record_rate_figures.py run RECORDING SAID INTERVAL_MS SECONDS FFMPEG_FOLDER RATE CPU...
      checks one run's recording and prints its figures as one JSON line; CPU... are eight numbers, CPU
      seconds and frames of: our long run, ffmpeg's long run, ffmpeg's short run, our short run
  record_rate_figures.py summary RUNS_FILE
      prints the table of all runs and the spread of the ratios
"""
import json
import math
import os
import re
import statistics
import sys


def fail(text):
    sys.exit(f"run_record_rate: {text}")


def frame_times(folder, pattern):
    """Modification times (seconds) of the folder's frames in the order of their numbers, and their sizes."""
    numbered = []
    for name in os.listdir(folder):
        match = re.fullmatch(pattern, name)
        if not match:
            fail(f"{folder} holds {name!r}, which is no frame")
        numbered.append((int(match.group(1)), name))
    numbered.sort()
    stats = [os.stat(os.path.join(folder, name)) for _, name in numbered]
    return [n for n, _ in numbered], [s.st_mtime_ns / 1e9 for s in stats], [s.st_size for s in stats]


def timing(times, interval, slots):
    """Spacing of the ticks, and how many of `slots` due times kept exactly one tick within half an interval.

    The due times are a grid of `interval` whose phase is the ticks' circular mean: the part of a tick's time
    that every tick has (the grab, the encode, the write before the file's time is set) is not lateness."""
    angles = [2 * math.pi * ((t - times[0]) % interval) / interval for t in times]
    phase = math.atan2(sum(map(math.sin, angles)), sum(map(math.cos, angles))) / (2 * math.pi) * interval
    origin = times[0] + phase
    hits = {}
    deviations = []
    for t in times:
        slot = round((t - origin) / interval)
        hits[slot] = hits.get(slot, 0) + 1
        deviations.append(abs(t - origin - slot * interval))
    kept = sum(1 for slot in range(slots) if hits.get(slot) == 1)
    spacing = [b - a for a, b in zip(times, times[1:])]
    deviations.sort()
    return {
        "slots": slots,
        "kept": kept,
        "spacing_mean": statistics.fmean(spacing),
        "spacing_min": min(spacing),
        "spacing_max": max(spacing),
        "deviation_p99": deviations[int(0.99 * (len(deviations) - 1))],
        "deviation_max": deviations[-1],
    }


def run(recording, said, interval_ms, seconds, ffmpeg_folder, rate, cpu):
    interval = interval_ms / 1000
    folders = os.listdir(recording)
    if len(folders) != 1:
        fail(f"the recording made {len(folders)} folders")
    folder = os.path.join(recording, folders[0])
    numbers, times, sizes = frame_times(folder, r"bob(\d{7})\.jpg")
    if numbers != list(range(len(numbers))):
        fail("the frames are not numbered 0, 1, 2 ... without a gap")
    lines = open(said).read().splitlines()
    if lines[1:] != [f"frame {n}" for n in numbers]:
        fail("the program did not say \"frame N\" once for each stored frame, in order")
    if any(b < a for a, b in zip(times, times[1:])):
        fail("a frame was stored before the one numbered before it")
    # The due times in the run: one at each multiple of the interval before its end. The program counts
    # them from the end of its first tick, so the last may fall after the end: then it is not kept.
    slots = math.ceil(seconds * 1000 / interval_ms)
    ours = timing(times, interval, slots)
    # What the program said on standard error: the due times it left out, if any.
    notes = open(re.sub(r"\.said$", ".err", said)).read().strip()
    ours.update(frames=len(numbers), bytes=statistics.fmean(sizes), notes=notes)
    _, ff_times, ff_sizes = frame_times(ffmpeg_folder, r"(\d{7})\.jpg")
    theirs = timing(ff_times, 1 / rate, round(seconds * rate))
    theirs.update(frames=len(ff_times), bytes=statistics.fmean(ff_sizes))
    seconds_of = [float(value) for value in cpu[0::2]]
    frames_of = [int(value) for value in cpu[1::2]]
    sides = {
        "ours": [seconds_of[0], frames_of[0], seconds_of[3], frames_of[3]],
        "ffmpeg": [seconds_of[1], frames_of[1], seconds_of[2], frames_of[2]],
    }
    print(json.dumps({"ours": ours, "ffmpeg": theirs, "cpu": sides}))


def per_frame_ms(long_cpu, long_frames, short_cpu, short_frames):
    return (long_cpu - short_cpu) * 1000 / (long_frames - short_frames)


def summary(runs_file):
    runs = [json.loads(line) for line in open(runs_file)]
    print("CPU a frame in ms: (long run - short run) / (frames between), user + system of the whole process;")
    print("whole-run CPU / frames in brackets. Spacing in ms from the frames' modification times; due times")
    print("kept: those with exactly one frame within half an interval of them.")
    header = (f"{'run':>3} {'side':>6} {'frames':>7} {'due':>6} {'kept %':>7} {'spacing mean':>12} {'min':>6}"
              f" {'max':>7} {'dev p99':>7} {'CPU/frame':>10} {'(whole)':>8} {'KiB':>6}")
    print(header)
    ratios = []
    for index, figures in enumerate(runs, 1):
        per_frame = {}
        for side in ("ours", "ffmpeg"):
            t = figures[side]
            long_cpu, long_frames, short_cpu, short_frames = figures["cpu"][side]
            per_frame[side] = per_frame_ms(long_cpu, long_frames, short_cpu, short_frames)
            print(f"{index:>3} {side:>6} {t['frames']:>7} {t['slots']:>6} {100 * t['kept'] / t['slots']:>7.2f}"
                  f" {1000 * t['spacing_mean']:>12.2f} {1000 * t['spacing_min']:>6.1f}"
                  f" {1000 * t['spacing_max']:>7.1f} {1000 * t['deviation_p99']:>7.2f}"
                  f" {per_frame[side]:>10.3f} {long_cpu * 1000 / long_frames:>8.3f} {t['bytes'] / 1024:>6.1f}")
        ratios.append(per_frame["ours"] / per_frame["ffmpeg"])
        print(f"{index:>3}  ours / ffmpeg CPU a frame: {ratios[-1]:.3f}")
        if figures["ours"]["notes"]:
            print(f"{index:>3}  ours said: {figures['ours']['notes']}")
    kept = [100 * r["ours"]["kept"] / r["ours"]["slots"] for r in runs]
    print(f"ours / ffmpeg CPU a frame over {len(runs)} runs: median {statistics.median(ratios):.3f},"
          f" {min(ratios):.3f} to {max(ratios):.3f}")
    print(f"our due times kept over {len(runs)} runs: {min(kept):.2f} % to {max(kept):.2f} %;"
          f" every run stored every tick's frame, numbered in order")
    print("targets: every frame stored, >= 99.5 % of due times kept, CPU a frame <= 0.3 x ffmpeg's")


if __name__ == "__main__":
    if len(sys.argv) == 16 and sys.argv[1] == "run":
        run(sys.argv[2], sys.argv[3], int(sys.argv[4]), float(sys.argv[5]), sys.argv[6], int(sys.argv[7]),
            sys.argv[8:])
    elif len(sys.argv) == 3 and sys.argv[1] == "summary":
        summary(sys.argv[2])
    else:
        sys.exit(__doc__)
