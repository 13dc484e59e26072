#!/bin/sh
# Runs a test program inside umockdev-wrapper. umockdev's preload library
# comes before the sanitizer runtime in a sanitized build; AddressSanitizer
# is told not to insist on being first.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
export ASAN_OPTIONS
exec umockdev-wrapper "$@"
