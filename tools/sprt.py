#!/usr/bin/env python3
# Sequential probability ratio test (SPRT) of a "new" engine against an "old"
# one in self-play under the xboard GUI, for deciding whether a change is kept.
#
# The games are played by Debian's xboard in match mode, headless under
# `xvfb-run -a`, without pondering, with one thread per engine (`-smpCores 1`,
# so both engines get `cores 1`), xboard's flag calling and legality testing
# on. The openings are the positions after the first eight plies of the games
# in ../shared/data/games-lichess.pgn (made by tools/openings.sh); each opening
# is played twice, once with each colour, and the two games form a pair. When a
# test needs more pairs than there are openings (977 from the shared games),
# the openings are used again from the start.
#
# Several xboard instances run at once (--concurrency, default 2). Each plays a
# block of openings (a "chunk", --chunk-pairs openings, so twice as many games)
# and writes its own PGN, which this script reads while the games finish; when
# a chunk is done the next block of openings goes to a new xboard instance.
# After every finished game a status line gives the games, wins, losses and
# draws of the new engine, its score, the Elo difference with its 95% error
# bar, and the log-likelihood ratio (LLR) with its bounds.
#
# The test is the generalised SPRT (GSPRT) on logistic Elo, with the
# pentanomial model: the statistic is the score of each game pair (0, 0.5, 1,
# 1.5 or 2 points), so that the correlation between the two games of an
# opening is accounted for. H0: the new engine is elo0 stronger, H1: it is
# elo1 stronger. The LLR is the maximum-likelihood one: for each hypothesis the
# pair-score distribution closest to the observed one whose mean is the
# expected score of that hypothesis. The test stops when the LLR leaves
# [log(beta/(1-alpha)), log((1-beta)/alpha)]: PASSED (H1 accepted) above,
# FAILED (H0 accepted) below; INCONCLUSIVE when --max-games are played first.
# Only complete pairs count for the LLR, the Elo and the final result; a game
# whose partner was never played is reported as unpaired.
#
# Games lost on time, by an illegal move (or a false claim), or by a crashed or
# disconnected engine are counted for each engine and printed: they are faults,
# not strength, and a run that has any should be looked at. xboard scores them
# as ordinary losses and so does the test. A crash is seen from each engine's
# exit status (each engine runs under a small wrapper, the `--wrap` mode of this
# script) and from xboard's error messages; a game lost by an engine that had
# died during that game counts as lost by a crash (xboard itself usually
# records it as a loss on time).
#
# Each engine runs in a working folder of its own, with a falkmere.ini made of
# --new-ini or --old-ini. xboard's `memory` command (--hash) sets the table
# sizes of both engines, whatever their ini says. The engine binaries are
# copied into the run's folder first (unless --no-copy), so that a rebuild
# during the run does not change the engines.
#
# Every process started (xvfb-run, Xvfb, xboard, the engines) runs in a session
# of its own and is ended when its chunk ends, when the test stops, on Ctrl-C
# and on SIGTERM.
#
# Usage:
#   tools/sprt.py --new build/release/falkmere --new-ini 'PROFILE modern' \
#                 --old /path/to/falkmere-before --old-ini 'PROFILE modern' \
#                 [--tc 4 --inc 0.04] \
#                 [--elo0 0 --elo1 10 --alpha 0.05 --beta 0.05] \
#                 [--concurrency 2] [--max-games 20000] \
#                 [--log doc/strength-log.md --change 'what was changed']
#   tools/sprt.py --selftest        checks of the statistics and the PGN reading
# `tools/sprt.py --help` lists every option. Everything a run makes is kept in
# its folder (--out, default build/sprt/<date-time>): the openings, each chunk's
# PGN and xboard output, status.txt (the lines printed) and games.pgn (all games).
#
# Exit status: 0 PASSED, 1 FAILED, 3 INCONCLUSIVE, 4 the games could not be
# played, 130 interrupted, 2 bad options.

import argparse
import datetime
import hashlib
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
XBOARD = "/usr/games/xboard"
DEFAULT_OPENINGS_PGN = ROOT.parent / "shared" / "data" / "games-lichess.pgn"

# The signals (SIGINT, SIGTERM, SIGHUP) received: the run stops at its next
# look at the games, so that no signal can cut the clean-up short.
SIGNALLED = []

# Exit statuses.
EXIT_PASSED, EXIT_FAILED, EXIT_USAGE, EXIT_INCONCLUSIVE, EXIT_ERROR = 0, 1, 2, 3, 4
EXIT_INTERRUPTED = 130


# --------------------------------------------------------------------------
# Statistics
# --------------------------------------------------------------------------

# The pair scores of the pentanomial model, as the mean score per game of the
# pair: 0, 0.5, 1, 1.5 or 2 points out of 2.
PAIR_SCORES = (0.0, 0.25, 0.5, 0.75, 1.0)


def score_from_elo(elo):
    """Expected score for a logistic Elo difference."""
    return 1.0 / (1.0 + 10.0 ** (-elo / 400.0))


def elo_from_score(score):
    """Logistic Elo difference for an expected score (0 < score < 1)."""
    if score <= 0.0:
        return -math.inf
    if score >= 1.0:
        return math.inf
    return -400.0 * math.log10(1.0 / score - 1.0)


def llr_bounds(alpha, beta):
    """Lower and upper stopping bounds of the SPRT (Wald's approximations)."""
    return math.log(beta / (1.0 - alpha)), math.log((1.0 - beta) / alpha)


def _constrained_lambda(xs, ps, s):
    """Solves sum p_i (x_i - s) / (1 + lam (x_i - s)) = 0 for lam.

    The distribution q_i = p_i / (1 + lam (x_i - s)) is then the one of mean s
    that is closest to p (it maximises the likelihood of the observations
    under the constraint that the mean is s). The left side decreases in lam
    on the interval where every 1 + lam (x_i - s) is positive, from +inf to
    -inf, so bisection finds the root. Needs min(x) < s < max(x).
    """
    lo_x, hi_x = min(xs), max(xs)
    if not lo_x < s < hi_x:
        raise ValueError("the mean %g is outside the observed outcomes" % s)
    lo = -1.0 / (hi_x - s)
    hi = 1.0 / (s - lo_x)

    def f(lam):
        return sum(p * (x - s) / (1.0 + lam * (x - s)) for x, p in zip(xs, ps))

    # Shrink the interval slightly so that the denominators stay positive.
    width = hi - lo
    lo += width * 1e-12
    hi -= width * 1e-12
    for _ in range(200):
        mid = 0.5 * (lo + hi)
        if f(mid) > 0.0:
            lo = mid
        else:
            hi = mid
    return 0.5 * (lo + hi)


def mle_llr(xs, counts, s0, s1):
    """GSPRT log-likelihood ratio of H1 (mean s1) against H0 (mean s0).

    xs are the possible outcomes of one observation (scores in [0, 1]) and
    counts how often each was observed. Outcomes never observed are left out.
    For each hypothesis the observed frequencies are replaced by the closest
    distribution with that mean (see _constrained_lambda); the LLR is the sum
    over the observations of log(q1 / q0).
    """
    pairs = [(x, c) for x, c in zip(xs, counts) if c > 0]
    n = sum(c for _, c in pairs)
    if n <= 0:
        return 0.0
    xs = [x for x, _ in pairs]
    ps = [c / n for _, c in pairs]
    lam0 = _constrained_lambda(xs, ps, s0)
    lam1 = _constrained_lambda(xs, ps, s1)
    # log(q1_i / q0_i) = log((1 + lam0 (x_i - s0)) / (1 + lam1 (x_i - s1)))
    per_obs = sum(p * math.log((1.0 + lam0 * (x - s0)) / (1.0 + lam1 * (x - s1)))
                  for x, p in zip(xs, ps))
    return n * per_obs


def normal_llr(xs, counts, s0, s1):
    """The usual normal approximation of the same LLR:
    N (s1 - s0) (2 mean - s0 - s1) / (2 variance), per-observation variance."""
    n = sum(counts)
    if n <= 0:
        return 0.0
    mean = sum(x * c for x, c in zip(xs, counts)) / n
    var = sum(c * (x - mean) ** 2 for x, c in zip(xs, counts)) / n
    if var <= 0.0:
        return 0.0
    return n * (s1 - s0) * (2.0 * mean - s0 - s1) / (2.0 * var)


def pentanomial_llr(penta, elo0, elo1):
    """LLR of the GSPRT for the pair-score counts penta[0..4].

    Counts that are still zero get 1e-3 (a negligible weight) so that the
    statistic exists from the first pairs on, when not every pair score has
    been seen yet (the constrained distributions need outcomes on both sides
    of the hypothesised means).
    """
    if sum(penta) == 0:
        return 0.0
    counts = [c if c > 0 else 1e-3 for c in penta]
    return mle_llr(PAIR_SCORES, counts, score_from_elo(elo0), score_from_elo(elo1))


def elo_interval(penta):
    """(score, Elo, low Elo, high Elo) from the pair-score counts: the mean
    score per game, its Elo, and the Elo of the ends of the 95% interval of
    the score, mean +- 1.96 standard errors, where the standard error comes
    from the spread of the pair scores. An end beyond 0% or 100% is -inf or
    +inf; the ends are None with fewer than two pairs, all None with none."""
    n = sum(penta)
    if n == 0:
        return None, None, None, None
    mean = sum(x * c for x, c in zip(PAIR_SCORES, penta)) / n
    elo = elo_from_score(mean)
    if n < 2:
        return mean, elo, None, None
    var = sum(c * (x - mean) ** 2 for x, c in zip(PAIR_SCORES, penta)) / n
    se = math.sqrt(var / n)
    return mean, elo, elo_from_score(mean - 1.96 * se), elo_from_score(mean + 1.96 * se)


def pentanomial_elo(penta):
    """(score, Elo, 95% error bar of the Elo) from the pair-score counts: the
    error bar is half the width of the Elo interval (see elo_interval); None
    where not defined, or where an end of the interval is infinite."""
    score, elo, lo, hi = elo_interval(penta)
    if lo is None or not all(math.isfinite(x) for x in (elo, lo, hi)):
        return score, elo, None
    return score, elo, (hi - lo) / 2.0


# --------------------------------------------------------------------------
# PGN reading
# --------------------------------------------------------------------------

TAG_RE = re.compile(r'^\[(\w+)\s+"((?:[^"\\]|\\.)*)"\]\s*$')
END_RE = re.compile(r'(1-0|0-1|1/2-1/2|\*)\s*$')
REASON_RE = re.compile(r'\{([^{}]*)\}\s*(?:1-0|0-1|1/2-1/2|\*)\s*$')


class Game:
    """One game of a PGN file as xboard writes it."""

    def __init__(self, headers, result, reason, complete):
        self.headers = headers
        self.result = result      # "1-0", "0-1", "1/2-1/2" or "*"; None if incomplete
        self.reason = reason      # the comment before the result, xboard's reason
        self.complete = complete  # the whole game has been written

    def loser(self):
        """The colour that lost ("White"/"Black"), or None."""
        return {"1-0": "Black", "0-1": "White"}.get(self.result)


def parse_pgn(text):
    """The games of a PGN text, in order. A game that is still being written
    (its movetext does not end with its result) is returned as incomplete."""
    games = []
    starts = [m.start() for m in re.finditer(r'^\[Event ', text, re.M)]
    for k, start in enumerate(starts):
        end = starts[k + 1] if k + 1 < len(starts) else len(text)
        lines = text[start:end].split("\n")
        headers = {}
        i = 0
        while i < len(lines) and lines[i].startswith("["):
            m = TAG_RE.match(lines[i])
            if m:
                headers[m.group(1)] = m.group(2)
            i += 1
        body = "\n".join(lines[i:]).strip()
        m = END_RE.search(body)
        complete = m is not None and headers.get("Result") == m.group(1)
        r = REASON_RE.search(body)
        reason = r.group(1).strip() if r else ""
        games.append(Game(headers, headers.get("Result") if complete else None,
                          reason, complete))
    return games


def fault_kind(reason):
    """What kind of fault xboard's end-of-game comment describes, if any:
    "time", "illegal" (an illegal move or a false claim), "crash", or None."""
    r = reason.lower()
    if "wins on time" in r or "loses on time" in r or "time forfeit" in r:
        return "time"
    if "illegal" in r or "invalid move" in r or re.search(r"false .*claim", r):
        return "illegal"
    if any(w in r for w in ("exited", "disconnect", "crash", "error reading",
                            "error writing", "forfeit")):
        return "crash"
    return None


# --------------------------------------------------------------------------
# The engine wrapper (run by xboard in place of each engine)
# --------------------------------------------------------------------------

def engine_wrapper(status_file, argv):
    """Runs an engine with the standard input and output it was given, passes
    on the signals xboard sends, and appends the engine's start and exit status
    to status_file ("start TIME PID", "exit TIME CODE"; a negative code is the
    signal that ended it). Exits the way the engine did."""
    pid = 0

    def forward(sig, _frame):
        if pid > 0:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass

    # Handlers go in before the fork, so that no signal can end the wrapper
    # alone; the engine gets the default actions back at exec.
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT,
                signal.SIGUSR1, signal.SIGUSR2):
        signal.signal(sig, forward)
    pid = os.fork()
    if pid == 0:
        try:
            # Python ignores these two; the engine must not inherit that.
            signal.signal(signal.SIGPIPE, signal.SIG_DFL)
            signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
            os.execv(argv[0], argv)
        finally:
            os._exit(127)
    # The wrapper reads and writes nothing: closing its copies of the pipes
    # lets xboard see the end of the engine's output as soon as the engine ends.
    os.close(0)
    os.close(1)
    with open(status_file, "a") as f:
        f.write("start %.3f %d\n" % (time.time(), pid))
    while True:
        try:
            _, status = os.waitpid(pid, 0)
            break
        except ChildProcessError:
            status = 0
            break
    code = os.waitstatus_to_exitcode(status)
    with open(status_file, "a") as f:
        f.write("exit %.3f %d\n" % (time.time(), code))
    if code < 0:
        signal.signal(-code, signal.SIG_DFL)
        os.kill(os.getpid(), -code)
        code = 128 - code
    os._exit(code)


# --------------------------------------------------------------------------
# Processes
# --------------------------------------------------------------------------

def session_pids(sid, zombies=False):
    """The processes whose session id is sid, with their command names;
    zombies (ended, not yet collected by their parent) only if asked."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        # The command name is in parentheses and may contain blanks.
        close = stat.rfind(")")
        comm = stat[stat.find("(") + 1:close]
        fields = stat[close + 2:].split()
        # fields: state ppid pgrp session ...
        if (zombies or fields[0] != "Z") and int(fields[3]) == sid:
            found.append((int(entry), comm))
    return found


def signal_pids(pids, sig):
    for pid in pids:
        try:
            os.kill(pid, sig)
        except (ProcessLookupError, PermissionError):
            pass


def end_session(popen, grace=3.0):
    """Ends everything a chunk started: xboard first (so that xvfb-run closes
    its X server and removes its files), then whatever is left of the session
    (engines, Xvfb) with SIGTERM, then SIGKILL."""
    sid = popen.pid
    xboards = [p for p, comm in session_pids(sid) if comm == "xboard"]
    signal_pids(xboards, signal.SIGTERM)
    signal_pids(xboards, signal.SIGCONT)
    deadline = time.time() + grace
    while popen.poll() is None and time.time() < deadline:
        time.sleep(0.1)
    for sig in (signal.SIGTERM, signal.SIGKILL):
        rest = [p for p, _ in session_pids(sid)]
        if not rest:
            break
        signal_pids(rest, sig)
        # A stopped process acts on SIGTERM only once it runs again.
        signal_pids(rest, signal.SIGCONT)
        deadline = time.time() + grace
        while session_pids(sid) and time.time() < deadline:
            time.sleep(0.1)
    if popen.poll() is None:
        try:
            popen.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            pass
    # Processes left by an ended parent are collected by init: give that a
    # moment, so that none is seen after the run.
    deadline = time.time() + grace
    while session_pids(sid, zombies=True) and time.time() < deadline:
        time.sleep(0.05)


# --------------------------------------------------------------------------
# Openings
# --------------------------------------------------------------------------

def make_openings(needed, engine, pgn, dest):
    """Writes up to `needed` FEN openings into dest with tools/openings.sh and
    returns them; fewer when the PGN has fewer usable games."""
    script = ROOT / "tools" / "openings.sh"

    def run(count):
        return subprocess.run([str(script), str(count), str(engine), str(pgn)],
                              capture_output=True, text=True)

    proc = run(needed)
    if proc.returncode != 0:
        # "could only make M of N openings": take the M there are.
        m = re.search(r"could only make (\d+) of", proc.stderr)
        if not m or int(m.group(1)) == 0:
            raise RuntimeError("tools/openings.sh failed: " + proc.stderr.strip())
        proc = run(int(m.group(1)))
        if proc.returncode != 0:
            raise RuntimeError("tools/openings.sh failed: " + proc.stderr.strip())
    fens = [line.strip() for line in proc.stdout.splitlines() if line.strip()]
    dest.write_text("".join(f + "\n" for f in fens))
    return fens


# --------------------------------------------------------------------------
# The match
# --------------------------------------------------------------------------

class Pair:
    """One opening, to be played once with each colour."""

    def __init__(self, number, fen):
        self.number = number  # 1, 2, ... in the order the openings were handed out
        self.fen = fen
        self.attempts = 0
        self.done = False


class Chunk:
    """One xboard instance playing a block of pairs."""

    def __init__(self, index, slot, pairs, folder):
        self.index = index
        self.slot = slot
        self.pairs = pairs
        self.dir = folder
        self.popen = None
        self.last_activity = 0.0     # when its files last grew
        self.sizes = {}
        self.games_seen = 0          # complete games already counted
        # Per game counted: (points of the new engine or None, its colour, FEN).
        self.results = []
        self.last_game_end = 0.0     # time the last counted game was written
        self.out_read = 0            # bytes of xboard's output already scanned
        self.debug_read = 0
        # Per engine: its exits as its wrapper recorded them, (time, code), and
        # the times xboard reported it dead or unreachable.
        self.exits = {"new": [], "old": []}
        self.messages = {"new": [], "old": []}
        self.closing = False         # being ended by this script: nothing more is read
        self.faulty = False          # keep the debug log

    @property
    def pgn(self):
        return self.dir / "games.pgn"

    @property
    def debug(self):
        return self.dir / "xboard.debug"

    @property
    def output(self):
        return self.dir / "xboard.out"


class Tally:
    """Everything counted over the run."""

    def __init__(self):
        self.games = 0                # finished games (a result other than "*")
        self.wld = [0, 0, 0]          # of the new engine, all finished games
        self.penta = [0] * 5          # complete pairs by points of the new engine
        self.paired_wld = [0, 0, 0]   # wins, losses, draws in complete pairs
        self.unfinished = 0           # games with result "*"
        self.broken_pairs = 0         # pairs whose games did not match the opening
        self.dropped_pairs = 0        # pairs given up after repeated failures
        self.stalled = 0              # xboard instances ended for not moving
        self.failed_runs = 0          # xboard instances that ended before their games
        self.lost = {who: {"time": 0, "illegal": 0, "crash": 0} for who in ("new", "old")}
        self.crashes = {"new": 0, "old": 0}

    def faults_text(self):
        parts = []
        for who in ("new", "old"):
            items = ["%d %s" % (n, kind) for kind, n in self.lost[who].items() if n]
            if self.crashes[who]:
                items.append("%d dead" % self.crashes[who])
            if items:
                parts.append("%s %s" % (who, ", ".join(items)))
        return "; ".join(parts)

    def any_faults(self):
        return (any(n for d in self.lost.values() for n in d.values())
                or any(self.crashes.values()) or self.unfinished or self.stalled
                or self.failed_runs or self.broken_pairs or self.dropped_pairs)


def fmt_signed(x, digits=1):
    if x is None:
        return "-"
    if math.isinf(x):
        return "+inf" if x > 0 else "-inf"
    text = "%+.*f" % (digits, x)
    # No "-0.0": a value that rounds to zero is shown as +0.
    return "+" + text[1:] if float(text) == 0 else text


def fmt_elo(penta):
    """"+12.3 ± 4.5"; near 0% or 100%, where the interval is lopsided or
    open, the interval itself: "+589 (+420 to +inf)"."""
    _, elo, lo, hi = elo_interval(penta)
    _, _, err = pentanomial_elo(penta)
    if elo is None:
        return "-"
    if not math.isfinite(elo):
        return fmt_signed(elo)
    if err is not None and (err == 0 or (hi - elo < 2 * (elo - lo) and elo - lo < 2 * (hi - elo))):
        return "%s ± %.1f" % (fmt_signed(elo), err)
    if lo is None:
        return "%s ± -" % fmt_signed(elo)
    return "%s (%s to %s)" % (fmt_signed(elo, 0), fmt_signed(lo, 0), fmt_signed(hi, 0))


class Match:
    def __init__(self, args):
        self.a = args
        self.out = args.out
        self.tally = Tally()
        self.lower, self.upper = llr_bounds(args.alpha, args.beta)
        self.llr = 0.0
        self.queue = []
        self.running = []
        self.finished_chunks = []
        self.chunk_count = 0
        self.status_file = open(self.out / "status.txt", "a")
        self.stop_reason = None
        self.consecutive_failures = 0

    # ---- output ----

    def say(self, line):
        print(line, flush=True)
        self.status_file.write(line + "\n")
        self.status_file.flush()

    def status_line(self):
        t = self.tally
        w, l, d = t.wld
        score = (w + 0.5 * d) / t.games * 100 if t.games else 0.0
        pairs = sum(t.penta)
        line = ("games %4d  new +%d -%d =%d  %5.1f%%  Elo %s (%d pair%s)  LLR %s [%.2f, %+.2f]"
                % (t.games, w, l, d, score, fmt_elo(t.penta), pairs, "" if pairs == 1 else "s",
                   fmt_signed(self.llr, 2), self.lower, self.upper))
        faults = t.faults_text()
        if faults:
            line += "  faults: " + faults
        return line

    # ---- set-up ----

    def write_engine_folders(self):
        """Each slot (a place for one xboard instance at a time) has a working
        folder for each engine holding that engine's falkmere.ini."""
        for slot in range(1, self.a.concurrency + 1):
            for who, ini in (("new", self.a.new_ini), ("old", self.a.old_ini)):
                folder = self.out / ("slot%d" % slot) / who
                folder.mkdir(parents=True, exist_ok=True)
                text = ini.replace("\\n", "\n")
                if text and not text.endswith("\n"):
                    text += "\n"
                (folder / "falkmere.ini").write_text(text)

    def xboard_command(self, chunk):
        a = self.a
        base = int(a.tc)
        tc = "%d:%02d" % (base // 60, base % 60)
        slot = self.out / ("slot%d" % chunk.slot)
        return [
            "xvfb-run", "-a", XBOARD,
            "-fcp", str(chunk.dir / "engine-new"), "-fd", str(slot / "new"), "-fn", a.new_name,
            "-scp", str(chunk.dir / "engine-old"), "-sd", str(slot / "old"), "-sn", a.old_name,
            *(["-sUCI", "-adapterCommand", '/usr/games/polyglot -noini -ec "%fcp" -ed "%fd"']
              if a.old_uci else []),
            "-smpCores", "1", "-xponder",
            "-defaultHashSize", str(a.hash), "-defaultCacheSizeEGTB", "0",
            "-matchGames", str(2 * len(chunk.pairs)), "-matchPause", "500",
            "-tc", tc, "-inc", "%g" % a.inc,
            "-loadPositionFile", str(chunk.dir / "openings.fen"), "-loadPositionIndex", "-2",
            "-autoCallFlag", "true", "-testLegality", "true",
            "-xexit", "-xpopup", "-animateMoving", "false", "-animateDragging", "false",
            "-flashCount", "0", "-egtFormats", "", "-soundProgram", "",
            "-saveSettingsOnExit", "false", "-settingsFile", "/dev/null",
            "-saveGameFile", str(chunk.pgn),
            "-debugMode", "true", "-nameOfDebugFile", str(chunk.debug),
        ]

    def start_chunk(self, slot):
        # Blocks of --chunk-pairs openings, smaller when few are left, so that
        # the last openings are shared between the slots.
        size = min(self.a.chunk_pairs, max(1, -(-len(self.queue) // self.a.concurrency)))
        pairs = self.queue[:size]
        del self.queue[:len(pairs)]
        self.chunk_count += 1
        folder = self.out / "chunks" / ("%04d" % self.chunk_count)
        folder.mkdir(parents=True)
        chunk = Chunk(self.chunk_count, slot, pairs, folder)
        for p in pairs:
            p.attempts += 1
        (folder / "openings.fen").write_text("".join(p.fen + "\n" for p in pairs))
        (folder / "pairs.txt").write_text("".join("%d\n" % p.number for p in pairs))
        for who, binary, extra in (("new", self.a.new, ""), ("old", self.a.old, self.a.old_args)):
            wrapper = folder / ("engine-" + who)
            wrapper.write_text("#!/bin/sh\nexec %s %s --wrap %s %s %s \"$@\"\n" % (
                sys.executable, Path(__file__).resolve(), folder / (who + ".exits"), binary, extra))
            wrapper.chmod(0o755)
        out = open(chunk.output, "wb")
        chunk.popen = subprocess.Popen(self.xboard_command(chunk), cwd=str(folder),
                                       stdin=subprocess.DEVNULL, stdout=out,
                                       stderr=subprocess.STDOUT, start_new_session=True)
        out.close()
        chunk.last_activity = time.time()
        self.running.append(chunk)

    # ---- reading a chunk ----

    def read_exits(self, chunk):
        """The engines' exits from their wrappers' records."""
        for who in ("new", "old"):
            path = chunk.dir / (who + ".exits")
            try:
                lines = path.read_text().splitlines()
            except OSError:
                continue
            exits = []
            for line in lines:
                parts = line.split()
                if len(parts) == 3 and parts[0] == "exit":
                    exits.append((float(parts[1]), int(parts[2])))
            chunk.exits[who] = exits

    def read_messages(self, chunk):
        """xboard's error messages about engines: in its output, and in its
        debug log (its own lines, not what the engines said)."""
        pattern = re.compile(r"(exited unexpectedly|Error reading from|Error writing to)"
                             r".*?\b(first|second) chess program|"
                             r"\b(first|second) chess program.*exited unexpectedly")
        for attr, path, skip_engine_lines in (("out_read", chunk.output, False),
                                              ("debug_read", chunk.debug, True)):
            try:
                with open(path, "rb") as f:
                    f.seek(getattr(chunk, attr))
                    data = f.read()
            except OSError:
                continue
            # Only whole lines; the rest is read next time.
            end = data.rfind(b"\n") + 1
            setattr(chunk, attr, getattr(chunk, attr) + end)
            for raw in data[:end].decode("utf-8", "replace").splitlines():
                if skip_engine_lines and re.match(r"^\d+ [<>](first|second)", raw):
                    continue
                m = pattern.search(raw)
                if m:
                    which = m.group(2) or m.group(3)
                    chunk.messages["new" if which == "first" else "old"].append(time.time())
                    chunk.faulty = True

    def died_between(self, chunk, who, start, end):
        """Whether the engine ended (by any exit, or as xboard reported) in the
        time from start to end. Engines stay up for all games of a chunk, so
        any exit before the chunk's last game is a crash or a disconnection."""
        return any(start <= t <= end for t, _ in chunk.exits[who]) or \
            any(start <= t <= end for t in chunk.messages[who])

    def count_deaths(self, chunk):
        """Counts each engine that died during a chunk. Once the chunk has
        played all its games, exits are the engines being told to quit; when
        it stopped early, an exit with status 0 after the last game is the
        engine following xboard out, but an abnormal one is a crash."""
        complete = chunk.games_seen == 2 * len(chunk.pairs)
        for who in ("new", "old"):
            dead = any(t < chunk.last_game_end or (code != 0 and not complete)
                       for t, code in chunk.exits[who])
            dead = dead or any(t < chunk.last_game_end or not complete for t in chunk.messages[who])
            if dead:
                self.tally.crashes[who] += 1
                chunk.faulty = True

    def poll_chunk(self, chunk):
        """Counts the games a chunk finished since the last look."""
        if chunk.closing:
            return
        for path in (chunk.pgn, chunk.debug, chunk.output):
            try:
                size = path.stat().st_size
            except OSError:
                continue
            if chunk.sizes.get(path) != size:
                chunk.sizes[path] = size
                chunk.last_activity = time.time()
        self.read_exits(chunk)
        self.read_messages(chunk)
        try:
            mtime = chunk.pgn.stat().st_mtime
            text = chunk.pgn.read_text(errors="replace")
        except OSError:
            return
        games = parse_pgn(text)
        while chunk.games_seen < len(games) and games[chunk.games_seen].complete:
            self.count_game(chunk, chunk.games_seen, games, mtime)
            chunk.games_seen += 1
            if self.stop_reason:
                return

    def count_game(self, chunk, i, games, end_time):
        t = self.tally
        game = games[i]
        white, black = game.headers.get("White"), game.headers.get("Black")
        new_colour = "White" if white == self.a.new_name else "Black" if black == self.a.new_name else None
        points = None
        if game.result == "*" or new_colour is None:
            t.unfinished += 1
            chunk.faulty = True
        else:
            points = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[game.result]
            if new_colour == "Black":
                points = 1.0 - points
            t.games += 1
            t.wld[0 if points == 1.0 else 1 if points == 0.0 else 2] += 1
            loser_colour = game.loser()
            if loser_colour:
                loser = "new" if loser_colour == new_colour else "old"
                # An engine that died during this game lost it by its crash,
                # whatever xboard wrote (usually a loss on time).
                died = self.died_between(chunk, loser, chunk.last_game_end, end_time)
                kind = "crash" if died else fault_kind(game.reason)
                if kind:
                    t.lost[loser][kind] += 1
                    chunk.faulty = True
        chunk.last_game_end = end_time
        chunk.results.append((points, new_colour, game.headers.get("FEN", "")))
        if i % 2 == 1:
            self.count_pair(chunk, i // 2)
        self.say(self.status_line())

    def count_pair(self, chunk, k):
        t = self.tally
        pair = chunk.pairs[k]
        (p1, c1, fen1), (p2, c2, fen2) = chunk.results[2 * k], chunk.results[2 * k + 1]
        if p1 is None or p2 is None:
            return
        # Both games must come from this pair's opening (placement, side to move
        # and castling: xboard may rewrite the other fields), with the new
        # engine on each side once.
        want = pair.fen.split()[:3]
        if fen1.split()[:3] != want or fen2.split()[:3] != want or c1 == c2:
            t.broken_pairs += 1
            chunk.faulty = True
            self.say("warning: the games %d and %d of %s are not one opening played with "
                     "each colour; pair not counted" % (2 * k + 1, 2 * k + 2, chunk.dir))
            return
        pair.done = True
        t.penta[int(round((p1 + p2) * 2))] += 1
        for p in (p1, p2):
            t.paired_wld[0 if p == 1.0 else 1 if p == 0.0 else 2] += 1
        self.llr = pentanomial_llr(t.penta, self.a.elo0, self.a.elo1)
        if self.llr >= self.upper:
            self.stop_reason = "PASSED"
        elif self.llr <= self.lower:
            self.stop_reason = "FAILED"

    def finish_chunk(self, chunk, stopping=False, stalled=False):
        """Ends what is left of a chunk's processes and takes stock. With
        stopping (the test is over or interrupted) nothing more is read: the
        games still in progress are not counted."""
        if not stopping:
            self.poll_chunk(chunk)
        # From here on, exits are this script ending the processes.
        chunk.closing = True
        end_session(chunk.popen)
        self.count_deaths(chunk)
        if not stopping and not self.stop_reason:
            if chunk.games_seen == 0:
                # (A stalled run is counted as such, not again here.)
                self.tally.failed_runs += 0 if stalled else 1
                self.consecutive_failures += 1
                chunk.faulty = True
            else:
                self.consecutive_failures = 0
            # Openings whose pair was not completed go back to the front of
            # the queue, once.
            retry = [p for p in chunk.pairs if not p.done]
            for p in reversed(retry):
                if p.attempts < 2:
                    self.queue.insert(0, p)
                else:
                    self.tally.dropped_pairs += 1
            if retry:
                chunk.faulty = True
        if not (chunk.faulty or self.a.keep_debug):
            try:
                chunk.debug.unlink()
            except OSError:
                pass
        if chunk in self.running:
            self.running.remove(chunk)
        if chunk not in self.finished_chunks:
            self.finished_chunks.append(chunk)

    # ---- the run ----

    def run(self, fens):
        a = self.a
        pairs = a.max_games // 2
        self.queue = [Pair(n + 1, fens[(a.skip_openings + n) % len(fens)]) for n in range(pairs)]
        self.write_engine_folders()
        stall_limit = a.stall or 60 + 3 * a.tc + 200 * a.inc
        last_start = 0.0
        while True:
            if SIGNALLED:
                self.stop_reason = "INTERRUPTED"
                print("\ninterrupted: ending the games", flush=True)
                break
            # Start xboard instances in the free slots, one at a time.
            busy = {c.slot for c in self.running}
            free = [s for s in range(1, a.concurrency + 1) if s not in busy]
            if free and self.queue and not self.stop_reason and time.time() - last_start > 1.0:
                self.start_chunk(free[0])
                last_start = time.time()
            for chunk in list(self.running):
                self.poll_chunk(chunk)
                if self.stop_reason:
                    break
                if chunk.popen.poll() is not None:
                    self.finish_chunk(chunk)
                elif time.time() - chunk.last_activity > stall_limit:
                    self.say("warning: %s made no progress for %d s; ended" % (chunk.dir, stall_limit))
                    chunk.faulty = True
                    self.tally.stalled += 1
                    self.finish_chunk(chunk, stalled=True)
            if self.stop_reason:
                break
            if self.consecutive_failures >= 3:
                self.stop_reason = "ERROR"
                self.say("error: %d xboard runs in a row finished no game; see %s"
                         % (self.consecutive_failures, self.finished_chunks[-1].output))
                break
            if not self.running and not self.queue:
                self.stop_reason = "INCONCLUSIVE"
                break
            time.sleep(0.25)
        self.stop_all()

    def stop_all(self):
        for chunk in list(self.running):
            self.finish_chunk(chunk, stopping=True)

    def write_all_games(self):
        """All games of the run in one PGN, chunk by chunk."""
        with open(self.out / "games.pgn", "w") as dest:
            for chunk in sorted(self.finished_chunks, key=lambda c: c.index):
                try:
                    dest.write(chunk.pgn.read_text(errors="replace"))
                except OSError:
                    pass

    def summary(self):
        """Prints the final result and returns it (PASSED, FAILED, ...)."""
        a, t = self.a, self.tally
        result = self.stop_reason or "INCONCLUSIVE"
        pairs = sum(t.penta)
        w, l, d = t.paired_wld
        score, _, _ = pentanomial_elo(t.penta)
        self.say("")
        self.say("SPRT elo0=%g elo1=%g alpha=%g beta=%g (logistic Elo, pentanomial on game pairs)"
                 % (a.elo0, a.elo1, a.alpha, a.beta))
        self.say("time control %s s, openings from %s, results in %s"
                 % (self.tc_text(), a.openings_pgn, self.out))
        self.say("games counted: %d (%d pair%s); new engine +%d -%d =%d, score %s"
                 % (2 * pairs, pairs, "" if pairs == 1 else "s", w, l, d, "-" if score is None else "%.1f%%" % (100 * score)))
        unpaired = t.games - 2 * pairs
        if unpaired:
            self.say("games not counted: %d (their pair was not completed)" % unpaired)
        self.say("pairs scoring 0, 0.5, 1, 1.5, 2 points: %s" % " ".join(str(c) for c in t.penta))
        self.say("Elo %s (95%%)" % fmt_elo(t.penta))
        self.say("LLR %s, bounds [%.2f, %+.2f]" % (fmt_signed(self.llr, 2), self.lower, self.upper))
        self.say("faults (not strength)               %8s %8s" % (a.new_name[:8], a.old_name[:8]))
        for label, key in (("games lost on time", "time"),
                           ("games lost by illegal move/claim", "illegal"),
                           ("games lost by crash/disconnect", "crash")):
            self.say("  %-34s %8d %8d" % (label, t.lost["new"][key], t.lost["old"][key]))
        self.say("  %-34s %8d %8d" % ("engine crashes/disconnects", t.crashes["new"], t.crashes["old"]))
        other = []
        if t.unfinished:
            other.append("%d unfinished games" % t.unfinished)
        if t.stalled:
            other.append("%d xboard run(s) ended for not moving" % t.stalled)
        if t.failed_runs:
            other.append("%d xboard run(s) that played no game" % t.failed_runs)
        if t.broken_pairs:
            other.append("%d pairs not counted (games did not match)" % t.broken_pairs)
        if t.dropped_pairs:
            other.append("%d openings given up after failing twice" % t.dropped_pairs)
        if other:
            self.say("  also: " + ", ".join(other))
        explain = {"PASSED": "H1 accepted: the new engine is better by elo1 rather than elo0",
                   "FAILED": "H0 accepted: the new engine is not better by elo1",
                   "INCONCLUSIVE": "no bound reached within --max-games",
                   "INTERRUPTED": "stopped by a signal; logged as STOPPED when a pair was counted",
                   "ERROR": "the games could not be played; nothing logged"}
        self.say("Result: %s (%s)" % (result, explain[result]))
        if t.any_faults():
            self.say("Warning: the run had faults (see above); look at the games before trusting it.")
        return result

    def tc_text(self):
        return "%d+%g" % (int(self.a.tc), self.a.inc)


# --------------------------------------------------------------------------
# The strength log
# --------------------------------------------------------------------------

LOG_HEADER = ("| Date | Commit | Change | TC | SPRT | Games | W-L-D | Score | Elo | LLR (bounds) | Result |\n"
              "|---|---|---|---|---|---|---|---|---|---|---|\n")


def git_commit():
    """The short hash of HEAD, with "-dirty" when the engine's sources differ from it."""
    try:
        head = subprocess.run(["git", "-C", str(ROOT), "rev-parse", "--short", "HEAD"],
                              capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "unknown"
    changed = subprocess.run(["git", "-C", str(ROOT), "status", "--porcelain", "--untracked-files=no",
                              "--", "src", "CMakeLists.txt"], capture_output=True, text=True).stdout
    return head + ("-dirty" if changed.strip() else "")


def cell(text):
    """Text made safe for one Markdown table cell."""
    return " ".join(str(text).split()).replace("|", "\\|")


def append_log(match, result):
    a, t = match.a, match.tally
    pairs = sum(t.penta)
    w, l, d = t.paired_wld
    score, _, _ = pentanomial_elo(t.penta)
    outcome = result
    faults = t.faults_text()
    if faults:
        outcome += " (faults: %s)" % faults
    row = [
        datetime.date.today().isoformat(),
        a.commit or git_commit(),
        a.change,
        match.tc_text(),
        "[%g, %g] α=%g β=%g" % (a.elo0, a.elo1, a.alpha, a.beta),
        str(2 * pairs),
        "%d-%d-%d" % (w, l, d),
        "-" if score is None else "%.1f%%" % (100 * score),
        fmt_elo(t.penta),
        "%s (%.2f, %+.2f)" % (fmt_signed(match.llr, 2), match.lower, match.upper),
        outcome,
    ]
    line = "| " + " | ".join(cell(x) for x in row) + " |\n"
    log = Path(a.log)
    if not log.exists():
        log.parent.mkdir(parents=True, exist_ok=True)
        log.write_text("# Strength log\n\n" + LOG_HEADER)
    text = log.read_text()
    with open(log, "a") as f:
        if text and not text.endswith("\n"):
            f.write("\n")
        f.write(line)
    match.say("logged in %s: %s" % (log, line.strip()))


# --------------------------------------------------------------------------
# Self-test
# --------------------------------------------------------------------------

def selftest():
    passed = failures = 0

    def check(name, ok, detail=""):
        nonlocal passed, failures
        print("%s %s %s" % ("ok  " if ok else "FAIL", name, detail))
        if ok:
            passed += 1
        else:
            failures += 1

    def close(x, y, tol):
        return abs(x - y) <= tol

    # Elo and score.
    check("score of 0 Elo is 50%", close(score_from_elo(0), 0.5, 1e-12))
    check("75% is 400 log10(3) = +190.85 Elo", close(elo_from_score(0.75), 190.848501887865, 1e-9),
          "%.6f" % elo_from_score(0.75))
    check("Elo and score are inverse", close(elo_from_score(score_from_elo(-123.4)), -123.4, 1e-9))
    lo, hi = llr_bounds(0.05, 0.05)
    check("bounds for alpha = beta = 0.05 are -+log(19)", close(lo, -2.944438979, 1e-8)
          and close(hi, 2.944438979, 1e-8), "[%.6f, %.6f]" % (lo, hi))
    lo, hi = llr_bounds(0.05, 0.10)
    check("bounds for alpha 0.05, beta 0.10", close(lo, math.log(0.1 / 0.95), 1e-12)
          and close(hi, math.log(0.9 / 0.05), 1e-12), "[%.4f, %.4f]" % (lo, hi))

    # With only wins and losses the constrained distributions are fixed by their
    # means (P(win) = s), so the LLR has the closed form W log(s1/s0) + L log((1-s1)/(1-s0)).
    s0, s1 = score_from_elo(0), score_from_elo(10)
    W, L = 60, 40
    exact = W * math.log(s1 / s0) + L * math.log((1 - s1) / (1 - s0))
    got = mle_llr([0.0, 1.0], [L, W], s0, s1)
    check("wins/losses only: closed form", close(got, exact, 1e-9), "%.9f vs %.9f" % (got, exact))
    got = mle_llr([0.0, 0.5, 1.0], [L, 0, W], s0, s1)
    check("an unseen outcome changes nothing", close(got, exact, 1e-9))

    # Symmetric data and hypotheses symmetric about 50%: LLR exactly 0.
    got = pentanomial_llr([10, 30, 50, 30, 10], -5, 5)
    check("symmetric data, hypotheses -5/+5 Elo: LLR 0", close(got, 0.0, 1e-9), "%.2e" % got)

    # For small Elo differences the normal approximation is close to the exact
    # value; compare on a realistic pentanomial and on a trinomial.
    penta = [120, 1050, 2600, 1150, 160]
    s0, s1 = score_from_elo(0), score_from_elo(5)
    exact, approx = mle_llr(PAIR_SCORES, penta, s0, s1), normal_llr(PAIR_SCORES, penta, s0, s1)
    check("pentanomial: GSPRT and normal approximation agree (1%)",
          close(exact, approx, 0.01 * abs(approx)), "%.4f vs %.4f" % (exact, approx))
    # Hand-worked normal approximation for these counts: n = 5080 pairs,
    # mean = 2576/5080 per game, per-pair variance from the counts.
    n = 5080
    mean = (1050 * 0.25 + 2600 * 0.5 + 1150 * 0.75 + 160 * 1.0) / n
    var = (120 * mean ** 2 + 1050 * (0.25 - mean) ** 2 + 2600 * (0.5 - mean) ** 2
           + 1150 * (0.75 - mean) ** 2 + 160 * (1 - mean) ** 2) / n
    hand = n * (s1 - s0) * (2 * mean - s0 - s1) / (2 * var)
    check("normal approximation by hand", close(approx, hand, 1e-9), "%.6f" % hand)
    tri = [1500, 4000, 1800]  # losses, draws, wins
    exact = mle_llr([0.0, 0.5, 1.0], tri, s0, s1)
    approx = normal_llr([0.0, 0.5, 1.0], tri, s0, s1)
    check("trinomial: GSPRT and normal approximation agree (1%)",
          close(exact, approx, 0.01 * abs(approx)), "%.4f vs %.4f" % (exact, approx))
    check("more wins raise the LLR",
          pentanomial_llr([1, 4, 10, 6, 2], 0, 10) < pentanomial_llr([1, 4, 10, 6, 4], 0, 10))
    check("no pairs: LLR 0", pentanomial_llr([0] * 5, 0, 10) == 0.0)
    check("first pair only: LLR finite", math.isfinite(pentanomial_llr([0, 0, 0, 0, 1], 0, 50)))

    # Elo and its error bar: 100 pairs that all scored 1 point of 2 have no
    # spread; 25 lost, 50 shared and 25 won pairs have a per-pair variance 0.125.
    score, elo, err = pentanomial_elo([0, 0, 100, 0, 0])
    check("all pairs 1-1: Elo 0, no spread", score == 0.5 and elo == 0.0 and close(err, 0.0, 1e-9))
    score, elo, err = pentanomial_elo([25, 0, 50, 0, 25])
    # mean 0.5, pair sd 0.3536, se 0.03536, interval 0.4307..0.5693 -> +-48.4 Elo
    check("Elo error bar", close(err, elo_from_score(0.5 + 1.96 * math.sqrt(0.125 / 100)), 1e-9),
          "±%.2f" % err)

    # Reading xboard's PGN and its reasons.
    pgn = ('[Event "Computer Chess Game"]\n[White "new"]\n[Black "old"]\n[Result "0-1"]\n'
           '[FEN "r1bqkb1r/pppp1ppp/2n2n2/8/2PQ4/2N5/PP2PPPP/R1B1KBNR w KQkq - 0 1"]\n'
           '[SetUp "1"]\n\n{--------------\nr . b q\n--------------}\n1. Qe3+ {-0.57/8} Be7\n'
           '{Black wins on time} 0-1\n\n'
           '[Event "Computer Chess Game"]\n[White "old"]\n[Black "new"]\n[Result "0-1"]\n\n'
           '1. e4 e5 {Xboard: Forfeit due to invalid move: e1e5 (e1e5 via `0, `0) res=24} 0-1\n\n'
           '[Event "Computer Chess Game"]\n[White "new"]\n[Black "old"]\n[Result "1-0"]\n\n'
           '1. e4 e5 2. Qh5 {+0.3')
    games = parse_pgn(pgn)
    check("PGN: three games, the last incomplete", len(games) == 3 and games[0].complete
          and games[1].complete and not games[2].complete)
    check("PGN: loss on time", games[0].loser() == "White" and fault_kind(games[0].reason) == "time")
    check("PGN: illegal move", games[1].loser() == "White" and fault_kind(games[1].reason) == "illegal")
    check("PGN: ordinary ends are no faults", fault_kind("Black resigns") is None
          and fault_kind("Xboard adjudication: Checkmate") is None
          and fault_kind("XBoard adjudication: repetition draw") is None)
    check("PGN: false claims and dead engines", fault_kind("False win claim: '1-0'") == "illegal"
          and fault_kind("first chess program (x) exited unexpectedly") == "crash")

    print("selftest: %d passed, %d failed" % (passed, failures))
    return 0 if failures == 0 else 1


# --------------------------------------------------------------------------
# Main
# --------------------------------------------------------------------------

def parse_args(argv):
    p = argparse.ArgumentParser(
        description="SPRT self-play test of a new engine against an old one under xboard.",
        epilog="Exit status: 0 PASSED, 1 FAILED, 3 INCONCLUSIVE, 4 the games could not be "
               "played, 130 interrupted.")
    p.add_argument("--selftest", action="store_true", help="check the statistics and the PGN reading, play nothing")
    p.add_argument("--new", help="the new engine's binary (xboard protocol)")
    p.add_argument("--old", help="the old engine's binary (may be the same file)")
    p.add_argument("--new-ini", default="", metavar="TEXT",
                   help="lines of the new engine's falkmere.ini, separated by \\n (default: empty, the engine's defaults)")
    p.add_argument("--old-ini", default="", metavar="TEXT", help="the same for the old engine")
    p.add_argument("--new-name", default="new", help="the new engine's name in the PGN (default new)")
    p.add_argument("--old-name", default="old", help="the old engine's name in the PGN (default old)")
    p.add_argument("--old-args", default="", metavar="TEXT",
                   help="arguments the old engine is started with (for another engine as the "
                        "opponent, e.g. '-x' for GNU Chess)")
    p.add_argument("--old-uci", action="store_true",
                   help="the old engine speaks UCI: xboard runs it through Debian's polyglot adapter")
    p.add_argument("--tc", type=float, default=4, help="base time per game in whole seconds (default 4)")
    p.add_argument("--inc", type=float, default=0.04, help="increment per move in seconds (default 0.04)")
    p.add_argument("--hash", type=int, default=64,
                   help="megabytes xboard gives each engine with its memory command, which sets the "
                        "engine's table sizes (default 64, xboard's own default)")
    p.add_argument("--elo0", type=float, default=0.0, help="Elo of H0 (default 0)")
    p.add_argument("--elo1", type=float, default=10.0, help="Elo of H1 (default 10)")
    p.add_argument("--alpha", type=float, default=0.05, help="false positive rate (default 0.05)")
    p.add_argument("--beta", type=float, default=0.05, help="false negative rate (default 0.05)")
    p.add_argument("--concurrency", type=int, default=2, help="games played at once (default 2)")
    p.add_argument("--max-games", type=int, default=20000,
                   help="stop (INCONCLUSIVE) after this many games (default 20000); pairs, so rounded down to even")
    p.add_argument("--chunk-pairs", type=int, default=10,
                   help="openings per xboard instance (default 10, so 20 games)")
    p.add_argument("--skip-openings", type=int, default=0, metavar="N",
                   help="start at the N+1th opening of the list (default 0)")
    p.add_argument("--openings-pgn", default=str(DEFAULT_OPENINGS_PGN),
                   help="games whose positions after eight plies are the openings "
                        "(default ../shared/data/games-lichess.pgn)")
    p.add_argument("--openings-engine",
                   help="Falkmere binary that tools/openings.sh plays the openings with "
                        "(default build/release/falkmere, else --new)")
    p.add_argument("--out", help="folder for everything of the run (default build/sprt/<date-time>)")
    p.add_argument("--stall", type=float, metavar="SECONDS",
                   help="end an xboard instance whose PGN, output and debug log have not grown for "
                        "this long (xboard can hang when an engine dies; default 60 + 3 tc + 200 inc); "
                        "its unfinished openings are played again")
    p.add_argument("--no-copy", action="store_true",
                   help="run the engine binaries where they are (default: copies in the run's folder, "
                        "so that a rebuild during the run changes nothing)")
    p.add_argument("--keep-debug", action="store_true",
                   help="keep every xboard debug log (default: only those of chunks with faults)")
    p.add_argument("--log", metavar="FILE", help="strength log to append the result to (with --change)")
    p.add_argument("--change", metavar="TEXT", help="what the new engine changes, for the log")
    p.add_argument("--commit", help="commit of the new engine for the log (default: HEAD's short hash)")
    args = p.parse_args(argv)
    if args.selftest:
        return args
    if not args.new or not args.old:
        p.error("--new and --old are needed")
    if (args.log is None) != (args.change is None):
        p.error("--log and --change go together")
    if args.tc < 1 or args.tc != int(args.tc):
        p.error("--tc must be a whole number of seconds (xboard's clock drops fractions of the base time)")
    if args.inc < 0:
        p.error("--inc must not be negative")
    if args.concurrency < 1 or args.chunk_pairs < 1 or args.skip_openings < 0:
        p.error("--concurrency and --chunk-pairs must be positive, --skip-openings not negative")
    if args.max_games < 2:
        p.error("--max-games must be at least 2 (one pair)")
    if not (0 < args.alpha < 1 and 0 < args.beta < 1 and args.elo1 > args.elo0):
        p.error("need 0 < alpha, beta < 1 and elo1 > elo0")
    if args.new_name == args.old_name or not args.new_name or not args.old_name:
        p.error("--new-name and --old-name must differ")
    for opt in ("new", "old"):
        path = shutil.which(getattr(args, opt)) or getattr(args, opt)
        path = os.path.realpath(path)
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            p.error("--%s: no executable %s" % (opt, getattr(args, opt)))
        setattr(args, opt, path)
    stamp = datetime.datetime.now().strftime("%Y%m%d-%H%M%S")
    args.out = Path(os.path.abspath(args.out or ROOT / "build" / "sprt" / stamp))
    # xboard splits engine command lines at blanks.
    for path in (args.out, args.new, args.old, Path(__file__).resolve()):
        if re.search(r"\s|['\"]", str(path)):
            p.error("xboard cannot start engines from a path with blanks or quotes: %s" % path)
    return args


def main(argv):
    # The engine wrapper that xboard starts: sprt.py --wrap STATUS BINARY [ARGS]
    if len(argv) >= 3 and argv[0] == "--wrap":
        engine_wrapper(argv[1], argv[2:])
    args = parse_args(argv)
    if args.selftest:
        return selftest()
    for tool in (XBOARD, "xvfb-run"):
        if not shutil.which(tool):
            print("error: %s is not installed (Debian packages xboard, xvfb, xauth)" % tool, file=sys.stderr)
            return EXIT_ERROR
    if args.out.exists() and any(args.out.iterdir()):
        print("error: %s exists and is not empty" % args.out, file=sys.stderr)
        return EXIT_USAGE
    # Ctrl-C (SIGINT), SIGTERM and SIGHUP stop the run: its games are ended and
    # the result so far is printed.
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda sig, _frame: SIGNALLED.append(sig))
    args.out.mkdir(parents=True, exist_ok=True)
    if args.max_games % 2:
        args.max_games -= 1
    digests = {}
    for who in ("new", "old"):
        path = getattr(args, who)
        with open(path, "rb") as f:
            digests[who] = hashlib.sha256(f.read()).hexdigest()[:12]
        if not args.no_copy:
            copy = args.out / "engines" / who / os.path.basename(path)
            copy.parent.mkdir(parents=True)
            shutil.copy2(path, copy)
            setattr(args, who, str(copy))

    opener = args.openings_engine or (ROOT / "build" / "release" / "falkmere")
    if not os.access(str(opener), os.X_OK):
        opener = args.new
    pairs = args.max_games // 2
    try:
        fens = make_openings(args.skip_openings + pairs, os.path.realpath(opener),
                             args.openings_pgn, args.out / "openings.fen")
    except RuntimeError as e:
        print("error: %s" % e, file=sys.stderr)
        return EXIT_ERROR
    if args.skip_openings >= len(fens):
        print("error: --skip-openings %d, but there are only %d openings" % (args.skip_openings, len(fens)),
              file=sys.stderr)
        return EXIT_USAGE
    if SIGNALLED:
        return EXIT_INTERRUPTED

    match = Match(args)
    match.say("SPRT %s (%s, sha256 %s) against %s (%s, sha256 %s)"
              % (args.new_name, args.new, digests["new"], args.old_name, args.old, digests["old"]))
    for who, ini in ((args.new_name, args.new_ini), (args.old_name, args.old_ini)):
        match.say("  %s falkmere.ini: %s" % (who, ini.replace("\\n", "; ") if ini else "(empty: defaults)"))
    match.say("  tc %s s, %d at once, at most %d games, %d openings from #%d (%s)%s"
              % (match.tc_text(), args.concurrency, args.max_games, len(fens), args.skip_openings + 1,
                 args.openings_pgn,
                 ", used again after %d pairs" % (len(fens) - args.skip_openings)
                 if pairs > len(fens) - args.skip_openings else ""))
    match.say("  elo0 %g, elo1 %g, alpha %g, beta %g: LLR bounds [%.2f, %+.2f]; results in %s"
              % (args.elo0, args.elo1, args.alpha, args.beta, match.lower, match.upper, args.out))
    try:
        match.run(fens)
    finally:
        # Also after an error in this script: no process of the run is left.
        match.stop_all()
    match.write_all_games()
    result = match.summary()
    # A test stopped by hand is logged too (when it counted any pair), so that
    # its games are on record; the reason for stopping is for the log's reader
    # to add to the Change column.
    if args.log and result in ("PASSED", "FAILED", "INCONCLUSIVE"):
        append_log(match, result)
    elif args.log and result == "INTERRUPTED" and sum(match.tally.penta) > 0:
        append_log(match, "STOPPED")
    return {"PASSED": EXIT_PASSED, "FAILED": EXIT_FAILED, "INCONCLUSIVE": EXIT_INCONCLUSIVE,
            "INTERRUPTED": EXIT_INTERRUPTED}.get(result, EXIT_ERROR)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
