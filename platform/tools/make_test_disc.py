#!/usr/bin/env python3
"""Writes a CUE+BIN (or CUE+WAVE) disc image with deterministic audio, for tests and demos.

Every audio track t holds a tone of 110*t Hz on the left channel and a counter on the right:
right = ((t & 15) << 12) | (n & 0xFFF) as a signed 16-bit sample, where n is the stereo frame
index counted from the track's INDEX 01 (negative inside an INDEX 00 gap). A reader can check
any sector sample for sample from its LBA and the table of contents alone.

Examples:
  make_test_disc.py --out /tmp/disc --first 3 --lengths 900,600 --data first
  make_test_disc.py --out /tmp/disc --lengths 4500 --read-error 100:2:3 --wave
  make_test_disc.py --out /tmp/disc --lengths 1500,15000 --data last --data-session 2
"""

import argparse
import array
import math
import os
import sys

SECTOR = 2352
FRAMES_PER_SECTOR = 588
RATE = 44100


def msf(frames):
    return "%02d:%02d:%02d" % (frames // 4500, frames // 75 % 60, frames % 75)


def signed16(v):
    return v - 0x10000 if v >= 0x8000 else v


def audio_bytes(track, first_frame, frames):
    """Interleaved little-endian samples for frames first_frame .. first_frame+frames-1."""
    freq = 110 * track
    # An integer frequency repeats every second, so one second of tone serves the whole track.
    tone = array.array("h", (int(round(8000 * math.sin(2 * math.pi * freq * i / RATE)))
                             for i in range(RATE)))
    ramp = array.array("h", (signed16(((track & 15) << 12) | i) for i in range(4096)))
    out = bytearray()
    n = first_frame
    end = first_frame + frames
    while n < end:
        count = min(RATE - n % RATE, end - n)
        left = tone[n % RATE:n % RATE + count]
        start = n & 0xFFF
        right = ramp[start:]
        while len(right) < count:
            right += ramp
        right = right[:count]
        block = array.array("h", bytes(4 * count))
        block[0::2] = left
        block[1::2] = right
        if sys.byteorder != "little":
            block.byteswap()
        out += block.tobytes()
        n += count
    return bytes(out)


def data_sector(lba, mode):
    user = (b"CORVANE TEST DATA %08d " % lba) * 100
    if mode == "MODE1/2048":
        return user[:2048]
    a = lba + 150
    bcd = lambda v: (v // 10) << 4 | v % 10
    header = bytes([0] + [0xFF] * 10 + [0, bcd(a // 4500), bcd(a // 75 % 60), bcd(a % 75)])
    if mode == "MODE1/2352":
        return header + b"\x01" + user[:2048] + bytes(288)
    return header + b"\x02" + user[:2336]


def wave_file(samples):
    import struct
    fmt = struct.pack("<HHIIHH", 1, 2, RATE, RATE * 4, 4, 16)
    return (b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(samples)) + b"WAVE" +
            b"fmt " + struct.pack("<I", len(fmt)) + fmt +
            b"data" + struct.pack("<I", len(samples)) + samples)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--out", required=True, help="folder to write (created)")
    p.add_argument("--name", default="disc", help="base name of the .cue and .bin")
    p.add_argument("--first", type=int, default=1, help="number of the first track")
    p.add_argument("--lengths", default="750,600,450",
                   help="audio track lengths in sectors, comma-separated (75 sectors = 1 s)")
    p.add_argument("--data", choices=["none", "first", "last"], default="none",
                   help="add a data track before or after the audio tracks")
    p.add_argument("--data-mode", choices=["MODE1/2352", "MODE1/2048", "MODE2/2352"],
                   default="MODE1/2352")
    p.add_argument("--data-sectors", type=int, default=300)
    p.add_argument("--data-session", type=int, choices=[1, 2], default=1,
                   help="2: a last data track opens a second session (an enhanced disc), "
                        "which drives place 11400 sectors after the audio")
    p.add_argument("--index0", type=int, default=0,
                   help="INDEX 00 gap in sectors before every track but the first")
    p.add_argument("--pregap", type=int, default=0,
                   help="PREGAP (silence held by no file) in sectors before the second track")
    p.add_argument("--split", action="store_true", help="one BIN file per track")
    p.add_argument("--wave", action="store_true", help="audio tracks as WAVE files")
    p.add_argument("--read-error", action="append", default=[], metavar="LBA:COUNT:FAILURES",
                   help="add REM READ-ERROR (failures -1 = always); may repeat")
    args = p.parse_args()

    lengths = [int(x) for x in args.lengths.split(",") if x]
    tracks = [{"audio": True, "sectors": n} for n in lengths]
    if args.data == "first":
        tracks.insert(0, {"audio": False, "sectors": args.data_sectors})
    elif args.data == "last":
        tracks.append({"audio": False, "sectors": args.data_sectors})
    if not 1 <= args.first or args.first + len(tracks) - 1 > 99:
        p.error("track numbers must stay within 1 to 99")
    if args.data_session == 2 and args.data != "last":
        p.error("--data-session 2 needs --data last")

    os.makedirs(args.out, exist_ok=True)
    lines = ["REM COMMENT \"generated test disc\""]
    if args.data_session == 2:
        lines.append("REM SESSION 01")
    for rule in args.read_error:
        lba, count, failures = (int(x) for x in rule.split(":"))
        lines.append("REM READ-ERROR %d %d %d" % (lba, count, failures))

    single = not args.split and not args.wave
    if single:
        lines.append('FILE "%s.bin" BINARY' % args.name)
        bin_out = open(os.path.join(args.out, args.name + ".bin"), "wb")
    file_frames = 0  # position in the current file, in sectors
    lba = 0
    summary = []
    for i, t in enumerate(tracks):
        number = args.first + i
        mode = "AUDIO" if t["audio"] else args.data_mode
        gap = args.index0 if i > 0 else 0
        own_file = not single
        if own_file:
            wave = args.wave and t["audio"]
            fname = "track%02d.%s" % (number, "wav" if wave else "bin")
            lines.append('FILE "%s" %s' % (fname, "WAVE" if wave else "BINARY"))
            file_frames = 0
        if not t["audio"] and args.data_session == 2:
            # Lead-out and lead-in between the sessions; the track's own pregap is part of it.
            lines.append("REM SESSION 02")
            lba += 11400 - min(gap, 150)
        lines.append("  TRACK %02d %s" % (number, mode))
        if i == 1 and args.pregap:
            lines.append("    PREGAP %s" % msf(args.pregap))
            lba += args.pregap
        if gap:
            lines.append("    INDEX 00 %s" % msf(file_frames))
        lines.append("    INDEX 01 %s" % msf(file_frames + gap))
        start = lba + gap
        if t["audio"]:
            payload = audio_bytes(number, -gap * FRAMES_PER_SECTOR,
                                  (gap + t["sectors"]) * FRAMES_PER_SECTOR)
        else:
            payload = b"".join(data_sector(lba + k, mode) for k in range(gap + t["sectors"]))
        if single:
            bin_out.write(payload)
        else:
            with open(os.path.join(args.out, fname), "wb") as f:
                f.write(wave_file(payload) if wave else payload)
        file_frames += gap + t["sectors"]
        lba += gap + t["sectors"]
        summary.append("track %02d %-10s lba %6d sectors %6d" % (number, mode, start, t["sectors"]))
    if single:
        bin_out.close()
    with open(os.path.join(args.out, args.name + ".cue"), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    for s in summary:
        print(s)
    print("lead-out lba %d" % lba)


if __name__ == "__main__":
    main()
