// Copies a file so that the copy carries the source's modification date (the start-up database
// fetch and the hourly backup rely on it).
#pragma once

#include <QString>
#include <stdexcept>

// Raised when a copy cannot be made; the destination is then left as it was.
class EFileCopyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Copies source to dest through a temporary file beside dest that is flushed to disk and then
// renamed over dest, so dest is either the old file or the complete copy. The copy gets the
// source's modification time and permission bits. Copying a file onto itself (also through
// another path or a hard link) is refused. Raises EFileCopyError.
void CopyFileKeepDate(const QString& source, const QString& dest);
