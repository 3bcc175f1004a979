#pragma once

#include <QString>

// Ends a command: main prints the message and exits with the status.
struct Failure {
    // A release refused, a signature that does not verify, a file or output that took no write.
    static constexpr int rejected = 1;
    // A wrong command line, or a file that is not what the command takes.
    static constexpr int usageError = 2;

    QString message;
    int status = usageError;
};
