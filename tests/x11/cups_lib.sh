# A private CUPS scheduler with one cups-pdf queue, for tests that print for real. Source it
# after lib.sh; cups_start sets CUPS_SERVER for every client started afterwards (lpadmin,
# lpstat, the program) and CUPS_OUT to the folder where the queue writes its PDF files.
# Nothing of a system scheduler that may run on the machine is touched.

cups_start() {
    local queue="${1:-QlyPDF}" i
    # Filters run as the unprivileged "lp" user: the folder must be reachable by it.
    CUPS_DIR="$(mktemp -d /tmp/qly-cups.XXXXXX)"
    chmod 755 "$CUPS_DIR"
    mkdir -p "$CUPS_DIR"/{etc/ppd,spool,cache,state,tmp,log,out}
    chmod 1777 "$CUPS_DIR/tmp"
    cat >"$CUPS_DIR/etc/cupsd.conf" <<CONF
LogLevel warn
Listen $CUPS_DIR/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    cat >"$CUPS_DIR/etc/cups-files.conf" <<CONF
ServerRoot $CUPS_DIR/etc
RequestRoot $CUPS_DIR/spool
CacheDir $CUPS_DIR/cache
StateDir $CUPS_DIR/state
TempDir $CUPS_DIR/tmp
AccessLog $CUPS_DIR/log/access_log
ErrorLog $CUPS_DIR/log/error_log
PageLog $CUPS_DIR/log/page_log
SystemGroup root
CONF
    # cups-pdf reads only /etc/cups/cups-pdf.conf: the scheduler runs in a mount namespace
    # of its own where that file is ours (output, spool and log in our folder; the job id in
    # each file name so that nothing is overwritten).
    mkdir -p "$CUPS_DIR/pdfspool"
    cat >"$CUPS_DIR/etc/cups-pdf.conf" <<CONF
Out $CUPS_DIR/out
AnonDirName $CUPS_DIR/out
Spool $CUPS_DIR/pdfspool
Log $CUPS_DIR/log
Label 1
CONF
    unshare -m --propagation private sh -c '
        mount --bind "$1/etc/cups-pdf.conf" /etc/cups/cups-pdf.conf &&
        exec cupsd -f -c "$1/etc/cupsd.conf" -s "$1/etc/cups-files.conf"' sh "$CUPS_DIR" \
        >"$CUPS_DIR/log/cupsd.out" 2>&1 &
    _x_pids+=($!)
    # unshare and sh exec the scheduler: a test may stop it by this id.
    export CUPSD_PID=$!
    export CUPS_SERVER="$CUPS_DIR/cups.sock"
    for i in $(seq 100); do lpstat -r >/dev/null 2>&1 && break; sleep 0.1; done
    lpstat -r >/dev/null 2>&1 || { cat "$CUPS_DIR/log/"* >&2; fail "cupsd did not start"; }
    # The scheduler may answer before it takes administration requests: try a few times.
    for i in $(seq 50); do
        lpadmin -p "$queue" -E -v "cups-pdf:/" -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
            2>"$CUPS_DIR/log/lpadmin.err" && lpadmin -d "$queue" 2>>"$CUPS_DIR/log/lpadmin.err" &&
            break
        sleep 0.2
    done
    lpstat -d 2>/dev/null | grep -q "$queue" ||
        { cat "$CUPS_DIR/log/"* >&2; fail "the queue $queue could not be made"; }
    CUPS_OUT="$CUPS_DIR/out"
    export CUPS_OUT
}

cups_cleanup() {
    [ -n "${CUPS_DIR:-}" ] && rm -rf "$CUPS_DIR"
}
