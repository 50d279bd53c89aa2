// File-system operations behind the engine's durable save: a temporary file
// beside the target, and its atomic replacement of the target.
#ifndef KDDAO_FOUNDATION_FILE_SYSTEM_H_
#define KDDAO_FOUNDATION_FILE_SYSTEM_H_

#include <string>

namespace kd {

// The file a save must replace for `path`: on POSIX a symbolic link is followed
// to the file it names, so that the link survives; elsewhere `path` itself.
std::string ResolveSaveTarget(const std::string& path);

// A path for a new temporary file in the directory of `target`, unique in this
// process and unlikely to exist ("~kd" + 8 hexadecimal digits + ".tmp").
std::string TemporaryPathBeside(const std::string& target);

// Gives `temporary` the permission bits of `target` when `target` exists (a
// new file keeps the default bits). POSIX only; Windows replacement keeps the
// target's attributes itself. Raises nothing: false when it could not.
bool CopyPermissionBits(const std::string& target, const std::string& temporary);

// Whether a save may replace `target`: it does not exist yet, or the caller
// may write to it (a read-only database stays read-only).
bool MayReplace(const std::string& target);

// Replaces `target` by `temporary` in one step (rename on POSIX, then the
// directory is flushed; MoveFileEx with replace-existing and write-through on
// Windows). On failure the target is untouched and false comes back.
bool ReplaceFileAtomically(const std::string& temporary, const std::string& target);

// Removes a file; raises nothing.
void RemoveFileQuietly(const std::string& path);

}  // namespace kd

#endif  // KDDAO_FOUNDATION_FILE_SYSTEM_H_
