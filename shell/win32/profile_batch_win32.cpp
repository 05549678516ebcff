// The profile write batch on Windows: kernel32 writes each
// WritePrivateProfileStringA call to the file as it is made and has no way to
// make several one change, so the bracket holds nothing.
#include "shell/profile_batch.h"

namespace shell {

CProfileWriteBatch::CProfileWriteBatch(const char*) {}

CProfileWriteBatch::~CProfileWriteBatch() = default;

BOOL CProfileWriteBatch::Commit() { return TRUE; }

}  // namespace shell
