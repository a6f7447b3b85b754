# Reads a ctest log (run with --output-on-failure) and prints, for each test that did not pass,
# its status line and its own assertion messages: each GoogleTest failure with a few lines of its
# text, the trace lines, and the runner's exit note. A long dump in a message is cut, so that every
# failure stays in sight. For a test that timed out, the last lines it printed.
function flush_tail(   i, n) {
  if (!timeout) return
  n = tailn < 5 ? tailn : 5
  for (i = tailn - n + 1; i <= tailn; i++) show("  | " tail[i % 5])
}
function show(line) {
  if (shown >= 40) { if (shown++ == 40) print "  ..."; return }
  if (length(line) > 240) line = substr(line, 1, 240) " ..."
  print line
  shown++
}
function end_test() {
  flush_tail()
  intest = 0; timeout = 0; tailn = 0; block = 0
}
/^ *([0-9]+\/[0-9]+ )?Test +#[0-9]+: / {
  if (intest) end_test()
  if ($0 ~ /\*\*\*/ && $0 !~ /\*\*\*Skipped/) {
    line = $0
    sub(/^ *([0-9]+\/[0-9]+ )?Test +#[0-9]+: /, "", line)
    gsub(/ \.\.\.+ */, " ", line)
    if (!header++) print "test: the failures, each with its own messages (the whole log: " logname ")"
    print "- " line
    intest = 1; shown = 0; timeout = ($0 ~ /Timeout/)
  }
  next
}
/^ +Start +[0-9]+: / || /^[0-9]+% tests passed/ { if (intest) end_test(); next }
!intest { next }
{
  if (timeout) { tailn++; tail[tailn % 5] = $0 }
  if ($0 ~ /: Failure$/ || $0 ~ /^unknown file: Failure/) { block = 8; show("  " $0); next }
  if ($0 ~ /^\[  FAILED  \]|^\[  SKIPPED \]|^\[       OK \]|^\[----------\]|^\[==========\]/) { block = 0; next }
  if ($0 ~ /^wine-run: /) { show("  " $0); next }
  if (block > 0) { block--; show("    " $0) }
}
END { if (intest) end_test() }
