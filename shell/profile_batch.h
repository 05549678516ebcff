// A bracket around several WritePrivateProfileStringA calls to one file, so
// that a platform whose profile service can replace a file in one step makes
// them one change: all of them or none, also when the process dies midway.
//
// On Linux our profile service holds the writes to the batch's file in
// memory while the batch is open (reads of that file see them) and Commit
// replaces the file once with all of them; a write that fails marks the batch
// failed, and then Commit writes nothing. On Windows kernel32 writes each
// call to the file as it is made; the bracket changes nothing there and
// Commit only reports success.
#pragma once

#include "win32_api.h"

namespace shell {

class CProfileWriteBatch {
public:
    // Opens the batch for `fileName`, which must stay valid until Commit or
    // destruction. One batch at a time; writes to other files are not held.
    explicit CProfileWriteBatch(const char* fileName);
    CProfileWriteBatch(const CProfileWriteBatch&) = delete;
    CProfileWriteBatch& operator=(const CProfileWriteBatch&) = delete;
    // Drops whatever was not committed: the file stays as it was.
    ~CProfileWriteBatch();

    // Writes what the batch holds and closes it. TRUE when every write of the
    // batch reached the file (also when there were none); FALSE with the
    // last error of the first failure when none did. Later calls return TRUE
    // and do nothing.
    BOOL Commit();
};

}  // namespace shell
