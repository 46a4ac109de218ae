# A GoogleTest run's counts from its output, as "N passed, N skipped, N
# failed" (skipped and failed only when there are some); nothing when no run
# ended. The failed are counted from the total, since --gtest_brief=1 prints
# no count of them.
/^\[==========\] [0-9]+ tests? from .* ran/ { ran = $2 }
/^\[ +PASSED +\] [0-9]+ tests?/ { passed = $4 }
/^\[ +SKIPPED +\] [0-9]+ tests?/ { skipped = $4 }
END {
    if (ran == "") exit
    counts = (passed + 0) " passed"
    if (skipped > 0) counts = counts ", " skipped " skipped"
    if (ran - passed - skipped > 0) counts = counts ", " (ran - passed - skipped) " failed"
    print counts
}
