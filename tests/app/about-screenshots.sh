#!/usr/bin/env bash
# Runs the About box and start-up tip tests holding each window for a picture and takes
# the pictures from the X server: bash tests/app/about-screenshots.sh OUTDIR. Not a test.
exec bash "$(dirname "${BASH_SOURCE[0]}")/../window/screenshots.sh" "${1:-/tmp/about-shots}" \
  app app_about_tip_test '*AboutCommandRuns*:*StartupTipShows*'
