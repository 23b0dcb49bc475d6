#pragma once
// Replacing a file so that a reader sees either the old content or the new,
// never a half-written or empty file: the bytes go to a temporary file in the
// same folder, which is flushed to the disk and then renamed over the target.
#include <QByteArrayView>
#include <QString>
#include <functional>

// The steps of a replacement, in the order they run.
enum class AtomicWriteStep { CreateTemporary, Write, Sync, Rename };

// Lets a test make one step fail as if the system had refused it; returns true
// for the step that should fail.
using AtomicWriteFault = std::function<bool(AtomicWriteStep)>;

// Writes `bytes` to `path` through a temporary file in the same folder; the
// one way this program replaces a file. A file that already exists keeps its
// permissions; a symbolic link is followed, so the file it points to is the
// one replaced; anything but a regular file there is refused. Returns false
// when any step failed, with the system's reason in `error` when given; the
// previous file is then untouched and no temporary file is left behind.
bool writeFileAtomically(const QString& path, QByteArrayView bytes,
                         const AtomicWriteFault& fault = {}, QString* error = nullptr);
