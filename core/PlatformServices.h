#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

// A plain GET. The answer never comes from a local cache and carries no headers of our own.
struct HttpRequest {
    QUrl url;
    // The request fails when no data arrives for this long once it is on its way to the server,
    // and when finding its proxy and looking up its host name take this long together. A request
    // still waiting for a connection of its own is never timed out.
    std::chrono::milliseconds idleTimeout{0};
    // Reading stops and the request fails with Outcome::TooLarge past this many body bytes.
    qint64 maxBodyBytes = 0;
    // When set, the request is abandoned with Outcome::DeadlineExceeded once it has run this
    // long, however steadily data arrives.
    std::optional<std::chrono::milliseconds> deadline;
    // When set, every redirect hop, from the address being answered to the one it names, must
    // pass it before it is asked, or the request ends with Outcome::RedirectRefused. Unset: every
    // hop is taken but one from https to anything less.
    std::function<bool(const QUrl& from, const QUrl& to)> acceptsRedirect;
};

struct HttpReply {
    enum class Outcome {
        Answered, // the server answered; statusCode and body are set
        // No complete, plain answer: no connection, an idle timeout, a dropped connection, a
        // body other than its one announced length or sent with an encoding not asked for…
        Failed,
        TooLarge,         // the body grew past the request's maxBodyBytes
        DeadlineExceeded, // still unfinished at the request's deadline
        RedirectRefused,  // a redirect hop failed the request's acceptsRedirect
    };
    Outcome outcome = Outcome::Failed;
    // The platform's description of a failure, for Outcome::Failed.
    QString errorDescription;
    int statusCode = 0;
    // Absent when the answer has no body by its nature (204 No Content, 304 Not Modified);
    // a body of zero bytes is still a body.
    std::optional<QByteArray> body;
    // The server said where the body ends, with a length or the last chunk of a chunked body,
    // and the body ended there. False for a body that ended only because the connection closed:
    // whatever cut it off early, it cannot be told from a whole one.
    bool lengthKnown = false;
};

// A child process whose standard output and error are read together, with the inherited
// environment and working directory.
struct ProcessRequest {
    QString program;
    QStringList arguments;
    // When set, the child's PATH is what this makes of the inherited one.
    std::function<QString(const QString& inheritedPath)> searchPath;
    // A child still running this long after its launch is killed.
    std::chrono::milliseconds timeout{0};
};

struct ProcessResult {
    enum class Outcome {
        Exited,        // exitCode and output are set
        FailedToStart, // the program could not be launched
        Crashed,       // ended by a signal
        TimedOut,      // killed after the request's timeout
    };
    Outcome outcome = Outcome::FailedToStart;
    int exitCode = -1;
    // Everything the child wrote to either stream, interleaved as written (bounded in size).
    QByteArray output;
};

// Who may read a created folder or file.
enum class FileAccess {
    Default,   // the platform's defaults for new files and folders
    OwnerOnly, // folders 0700, files 0600, also when an existing file is replaced
};

struct FileStatus {
    bool ok = true;
    // The platform's description of what went wrong, when !ok.
    QString errorDescription;
};

// The operating-system services the installer core needs. The application supplies the real
// ones; tests supply scripted ones.
class PlatformServices {
public:
    using HttpCompletion = std::function<void(const HttpReply&)>;

    virtual ~PlatformServices() = default;

    // Starts the request and returns at once. The completion runs later, exactly once, on the
    // main thread, unless `receiver` has been destroyed by then: then it is dropped.
    virtual void get(const HttpRequest& request, QObject* receiver, HttpCompletion completion) = 0;

    // Runs the child to its end (or its timeout) and returns what it did. Blocks the caller. The
    // child and whatever it started end with the application too, however it is ended.
    virtual ProcessResult run(const ProcessRequest& request) = 0;

    // The current user's home directory, as an absolute path; never created here.
    virtual QString homeDirectory() const = 0;
    // The installer's own folder for what it keeps between runs; never created here. Empty when
    // the system names none.
    virtual QString dataFolder() const = 0;
    // True for an existing file or folder.
    virtual bool exists(const QString& path) const = 0;
    // The whole file when it is a regular file of at most `maxBytes`; nothing for anything else
    // (a FIFO, a device, a folder, a larger file) or when it cannot be read. Never blocks.
    virtual std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes) const = 0;
    // The names of the regular files in the folder, links left out, in no particular order.
    virtual QStringList filesIn(const QString& folder) const = 0;
    // Creates the folder and every missing folder above it; an existing folder is no failure.
    // With FileAccess::OwnerOnly a folder of the user's own is made 0700, and a link must lead to
    // a folder of the user's that neither group nor others can write to, which is left as it is.
    virtual FileStatus createFolder(const QString& path, FileAccess access) = 0;
    // Replaces the file in one step with exactly these bytes: a reader sees either the old
    // content or the new, and a failed write leaves the old file and no temporary file behind;
    // the leftovers of a write that was killed are removed by the next one. A link at the path is
    // replaced, never written through.
    virtual FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes,
                                           FileAccess access) = 0;
    // Removes the file, or the link at the path; nothing is reported.
    virtual void removeFile(const QString& path) = 0;
    // Closes a file of the user's to others as FileAccess::OwnerOnly would have made it: the file
    // 0600, its folder 0700. Only a regular file of the user's in a real folder of the user's, with
    // neither reached through a link, is changed; its bytes never are. Nothing is reported.
    virtual void keepPrivate(const QString& path) = 0;

    // Opens a web page, folder or file in its default application; success is not reported.
    virtual void openInDefaultApplication(const QUrl& url) = 0;
    // Ends the application.
    virtual void quit() = 0;
};
