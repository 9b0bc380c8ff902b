#pragma once

// The number of scan workers a test program runs with: TWINSEEK_TEST_SCAN_WORKERS when set (the
// scan-thread suites run once with 1 and once with 2), else as many as the CPUs allow. Linking
// TestScanWorkers.cpp into a program fixes the number before its first test.
int TestScanWorkers();
