#pragma once

// Ends a test process that is stuck, well before ctest's own limit, and says where: the phase it
// stuck in (the start before the first test, a test by name, the end after the last) and the
// stacks of all its threads (gdb). Each phase may last KADREL_TEST_WATCHDOG_SECONDS (75 by
// default); the process then exits with status 3. Returns at once; the watch lasts until exit.
void startTestWatchdog();
