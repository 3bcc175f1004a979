#pragma once

#include "PlatformServices.h"

// Runs one child at a time to its end, in a process group of its own that ends with the
// application, however the application ends.
class ProcessRunner {
public:
    // Process-wide: when the application is asked to end (SIGTERM, SIGINT, SIGHUP) while a child
    // runs, the child's group is killed before the signal takes its default course. For the
    // application's entry to call once, before anything runs.
    static void endChildrenWithTheApplication();

    ProcessResult run(const ProcessRequest& request);
};
