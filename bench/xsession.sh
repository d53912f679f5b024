# Sourced by the benchmark scripts that time windows: a work folder and an Xvfb display with
# openbox, both gone when the script ends. Sets src, bin, work, DISPLAY and the Qt platform.
# Usage: . "$(dirname "$0")/xsession.sh" NAME
src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="$src/build/bin"
work="$(mktemp -d "/tmp/qly-$1.XXXXXX")"
# The machine's load goes beside the figures: times are comparable only within one run.
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
trap 'echo "load average at the end: $(cut -d" " -f1-3 /proc/loadavg)"; kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT

Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$work/display" 2>/dev/null &
for i in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=xcb
mkdir -m 700 "$work/run"
openbox --sm-disable >/dev/null 2>&1 &
sleep 1

# The median of the numbers in a file, one a line.
median() { sort -n "$1" | awk '{a[NR]=$1} END{print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
