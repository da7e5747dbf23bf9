#pragma once

// Ends a test process that is stuck, well before ctest's own limit, and says where: the test by
// name, or the process's start or end outside its tests, and the stacks of all its threads (gdb).
// Each test, and the time before, between and after them, may last KADREL_TEST_WATCHDOG_SECONDS
// (75 by default); the process then exits with status 3. Returns at once; the watch lasts until exit.
void startTestWatchdog();
