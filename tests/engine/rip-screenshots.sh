#!/usr/bin/env bash
# Runs the rip job tests that hold the progress window for pictures (running, paused,
# finished) and takes each picture from the X server: bash tests/engine/rip-screenshots.sh
# OUTDIR. Not a test; the pictures are for looking at.
exec bash "$(dirname "${BASH_SOURCE[0]}")/../window/screenshots.sh" "${1:-/tmp/rip-shots}" \
  engine engine_rip_test '*StereoCdRate*:*ReadFailingTwice*:*CancelMid*'
