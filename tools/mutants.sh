#!/usr/bin/env bash
# tools/mutants.sh BUILD [NAME...]: plants each fault of tools/mutants.tsv (or those named) alone
# in a copy of the source tree, builds what its checks need and runs them; a fault is caught
# when one of them fails. The copy and its build folder stay in BUILD/mutants/tree, so that the
# next fault only rebuilds what the last one touched. Prints one line per fault and a summary;
# exit status 0 only when every fault was caught and the unchanged tree passed every check.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$1
shift
TABLE=$ROOT/tools/mutants.tsv
WORK=$BUILD/mutants
TREE=$WORK/tree
LOGS=$WORK/logs
JOBS=$(nproc)
STAGE_LIMIT=900  # seconds for one check; a fault that makes a run hang is caught by this

# The sweep's and the soak's samples as the test stage runs them (tests/reliability).
SWEEP=(sweep --torn-sample 100 --jobs 2)
SOAK=(soak --seeds 1-40 --jobs 2)

say() { printf '==> %s\n' "$*"; }

# The table's rows, comments left out; the names given on the command line only, when any.
rows() {
    local name
    grep -v -e '^#' -e '^$' "$TABLE" | while IFS=$'\t' read -r name rest; do
        if [ $# -eq 0 ] || [[ " $* " == *" $name "* ]]; then
            printf '%s\t%s\n' "$name" "$rest"
        fi
    done
}

# A copy of the sources (the repository's files as they stand in the working tree). A file that
# did not change keeps its time, so nothing is rebuilt for it; one restored after a fault is
# taken again.
copy_tree() {
    mkdir -p "$TREE"
    (cd "$ROOT" && git ls-files -z --cached --others --exclude-standard) |
        while IFS= read -r -d '' file; do
            if [ -f "$ROOT/$file" ] && ! cmp -s "$ROOT/$file" "$TREE/$file"; then
                mkdir -p "$(dirname "$TREE/$file")"
                cp -p "$ROOT/$file" "$TREE/$file"
                touch "$TREE/$file"
            fi
        done
    cmake -S "$TREE" -B "$TREE/build" -G Ninja -Wno-dev -DPELION_GUI=OFF >/dev/null
}

# plant FILE FROM TO: replaces the one place where FROM stands (\n a line break) with TO.
plant() {
    FROM=$2 TO=$3 perl -e '
        my ($file) = @ARGV;
        my ($from, $to) = map { s/\\(\\|n)/$1 eq "n" ? "\n" : "\\"/ger } @ENV{qw(FROM TO)};
        open(my $in, "<", $file) or die "$file: $!\n";
        my $text = do { local $/; <$in> };
        close $in;
        my $count = () = $text =~ /\Q$from\E/g;
        die "$file: the text to replace stands $count times, not once\n" unless $count == 1;
        $text =~ s/\Q$from\E/$to/;
        open(my $out, ">", $file) or die "$file: $!\n";
        print $out $text;
        close $out;' "$TREE/$1"
}

# The build targets of a list of checks.
targets_of() {
    local check
    for check in "$@"; do
        case $check in
            sweep | soak) echo pelion-reliability ;;
            *) echo "$check" ;;
        esac
    done | sort -u
}

# run_check CHECK LOG: true when the check passes.
run_check() {
    local check=$1 log=$2
    case $check in
        sweep) timeout "$STAGE_LIMIT" "$TREE/build/pelion-reliability" "${SWEEP[@]}" >"$log" 2>&1 ;;
        soak) timeout "$STAGE_LIMIT" "$TREE/build/pelion-reliability" "${SOAK[@]}" >"$log" 2>&1 ;;
        *) PELION_BUILD_DIR=$TREE/build timeout "$STAGE_LIMIT" "$TREE/build/tests/$check" \
            --gtest_brief=1 >"$log" 2>&1 ;;
    esac
}

# What failed first in a check's log: the test, the sweep's cut point or the soak's seed, or
# the time limit.
first_failure() {
    local log=$1 status=$2
    if [ "$status" -eq 124 ]; then
        echo "over ${STAGE_LIMIT} s"
        return
    fi
    sed -n -e 's/^\[  FAILED  \] \([^ ,]*\)[ ,].*/\1/p' -e 's/^FAILED \(sweep\|soak\) \([^ ]*\): .*/\1 \2/p' "$log" |
        head -n 1
}

# The unchanged tree must pass every check that the faults use; else "caught" means nothing.
baseline() {
    local checks
    read -r -a checks <<<"$(rows "$@" | cut -f5 | tr ' ' '\n' | sort -u | tr '\n' ' ')"
    say "build and run the checks on the unchanged tree: ${checks[*]}"
    # shellcheck disable=SC2046
    cmake --build "$TREE/build" -j "$JOBS" --target $(targets_of "${checks[@]}") >"$LOGS/baseline-build.log"
    local check
    for check in "${checks[@]}"; do
        if ! run_check "$check" "$LOGS/baseline-$check.log"; then
            say "the unchanged tree fails $check (see $LOGS/baseline-$check.log)"
            return 1
        fi
    done
}

main() {
    mkdir -p "$LOGS"
    say "copy the tree into $TREE"
    copy_tree
    local started=$SECONDS
    baseline "$@"
    say "plant each fault alone"
    local name file from to checks caught=0 survived=0 broken=0 total=0
    local results=$WORK/results.tsv
    : >"$results"
    while IFS=$'\t' read -r name file from to checks; do
        total=$((total + 1))
        local began=$SECONDS verdict="survived" by="-"
        cp "$TREE/$file" "$WORK/pristine"
        trap 'cp "$WORK/pristine" "$TREE/$file"' EXIT INT TERM
        if ! plant "$file" "$from" "$to" 2>"$LOGS/$name-plant.log"; then
            verdict="not planted"
        else
            local list
            read -r -a list <<<"$checks"
            # shellcheck disable=SC2046
            if ! cmake --build "$TREE/build" -j "$JOBS" --target $(targets_of "${list[@]}") \
                >"$LOGS/$name-build.log" 2>&1; then
                verdict="did not build"
            else
                local check status
                for check in "${list[@]}"; do
                    status=0
                    run_check "$check" "$LOGS/$name-$check.log" || status=$?
                    if [ "$status" -ne 0 ]; then
                        verdict="caught"
                        by="$check: $(first_failure "$LOGS/$name-$check.log" "$status")"
                        break
                    fi
                done
            fi
        fi
        # A fresh time on the restored file: the next build takes it again, not the fault.
        cp "$WORK/pristine" "$TREE/$file"
        trap - EXIT INT TERM
        case $verdict in
            caught) caught=$((caught + 1)) ;;
            survived) survived=$((survived + 1)) ;;
            *) broken=$((broken + 1)) ;;
        esac
        printf '%-36s %-9s %4d s  %s\n' "$name" "$verdict" $((SECONDS - began)) "$by"
        printf '%s\t%s\t%s\t%s\t%d\n' "$name" "$file" "$verdict" "$by" $((SECONDS - began)) >>"$results"
    done < <(rows "$@")
    say "$total faults: $caught caught, $survived survived, $broken not planted or not built;" \
        "$((SECONDS - started)) s (logs in $LOGS, the table in $results)"
    [ "$caught" -eq "$total" ]
}

main "$@"
