# Prints "SKIPPED: Suite.Test: reason" once for each test that GoogleTest
# skipped, from its output (a test program's own, or CTest's LastTest.log),
# with the message the test gave; CR LF line ends as wine leaves them.
{ sub(/\r$/, "") }
/^\[ RUN      \] / { test = $4; reason = ""; grab = 0; next }
/: Skipped$/ { grab = 1; next }
/^\[  SKIPPED \] .* \([0-9]+ ms\)$/ {
  print "SKIPPED: " $4 (reason == "" ? "" : ": " reason)
  grab = 0
  next
}
/^\[/ { grab = 0 }
grab { reason = reason (reason == "" ? "" : " ") $0 }
