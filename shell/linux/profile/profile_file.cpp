// The private-profile (INI) file service of the Linux layer, with the Win32
// signatures of GetPrivateProfileStringA and WritePrivateProfileStringA, and
// the two path calls keyconfig resolves its file name with.
//
// The file, as this service reads it
//   A line ends at LF; a CR just before the LF belongs to the line break.
//   Blanks are space, tab and VT. A line whose first non-blank byte (CR counts
//   as blank there) is '[' is a section header: the name runs to the first
//   ']' or, without one, to the end of the line, less the blanks around it;
//   the rest of the line is ignored. A first non-blank ';' makes a comment;
//   '#' is an ordinary byte and there are no comments after a value. Any
//   other line holding '=' is an entry: the key before the first '=' and the
//   value after it, each less its blanks, and the value less one matching
//   pair of outer quotes (" or '). Lines before the first header belong to no
//   section. Only the first block of a repeated section counts, and in it the
//   first line of a repeated key. Section and key names match without regard
//   to ASCII case. Bytes from 0x80 up and NULs are ordinary bytes. A
//   caller's section and key names lose the spaces around them (spaces
//   only); a default text loses its trailing spaces. All of this is what
//   kernel32 does.
//
// What a write changes
//   Exactly one place in the file: the value of the key's line (its
//   indentation, the file's spelling of the key and its spacing around '='
//   stay), or one new line right after the last entry of the section (so in
//   front of the comments and blank lines that close it), or a new section at
//   the end of the file, after a line break if the file does not end in one,
//   with no blank line. A new file is "[section]\r\nkey=value\r\n", no BOM.
//   Every other byte of the file is kept.
//
// Where kernel32's behaviour is not known, this service's choice
//   - Line breaks of an edited file. A rewritten line keeps its own break, a
//     new line takes the break of the line it follows, and a new section (or
//     a break added after an unterminated last line) takes the file's first
//     line break, CRLF when it has none: an LF-only file edited on Linux
//     stays LF-only. (kernel32 is only seen writing CRLF.)
//   - A bare CR is not a line break: a CR-only file reads as one line, and
//     is still kept whole when a key is added after it.
//   - A line that holds no '=' is no entry that can be read or rewritten: it
//     is kept as it is, and a new key of its section goes after it.
//   - A rewritten key line keeps its blanks after '=' ("Key1 = 5" becomes
//     "Key1 = 7"), as it keeps the rest of its layout.
//
// Where this service differs from kernel32, and why
//   - A UTF-8 byte-order mark is skipped and kept. kernel32 takes it as part
//     of the first line, so a file that starts with BOM + "[KeyConfig]" would
//     hide the player's bindings and gain a second KeyConfig block on save;
//     every Linux editor that writes a BOM shows that line as the header.
//   - UTF-16 files (FF FE or FE FF first). kernel32 reads and writes UTF-16LE
//     and appends ANSI bytes to UTF-16BE. Here a read gives the default and a
//     write is refused with EILSEQ, leaving the file untouched, since
//     appending single-byte text to UTF-16 text would corrupt it.
//   - Case folding is ASCII only: the code page is UTF-8, where folding bytes
//     from 0x80 up one by one would be wrong.
//   - Value lengths do not wrap at 65536: a value is returned up to the
//     buffer's size.
//   - A file name without a directory is taken in the current directory
//     (kernel32 looks in the Windows directory).
//   - NULL section, key or value (kernel32: list sections, list keys, delete)
//     are not needed by keyconfig: a read gives the default and a write
//     fails, both with ERROR_INVALID_PARAMETER.
//   - Last-error codes are errno values (ENOENT for a missing file or
//     directory, EACCES, EROFS, ENOSPC, EISDIR, ...), ERROR_SUCCESS after a
//     successful write, and ERROR_MORE_DATA (234) when a read was cut.
//
// How a write reaches the disk (where Windows could leave a cut file)
//   Each call reads the whole file, plans its one splice, and writes the
//   result to a new file ".NAME.XXXXXX" in the file's own directory, flushed
//   to disk, with the old file's mode (and owner and group where the process
//   may set them; a new file gets 0666 less the umask), then renamed over the
//   file and the directory flushed. A crash leaves the old or the new file,
//   never a mix. On any failure the new file is removed, the old one is left
//   byte for byte, and the call fails with errno. A symbolic link is written
//   through: the file it ends at is replaced and the link stays a link. A
//   file without any write bit is refused with EACCES even for root, as
//   Windows refuses a file marked read-only; a name that is a directory or a
//   special file is refused too (EISDIR, EINVAL). Replacing the file parts it
//   from any hard links and drops its extended attributes. Two processes
//   writing at once do not corrupt the file; the later rename wins. A temp
//   file is locked (flock) while its save runs; one a killed save left behind
//   is removed by the next successful write to the file once it is unlocked
//   and ten seconds old, so another copy's save in flight keeps its own.
#include "profile/profile_file.h"

#include "shell/profile_batch.h"
#include "win32_api.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace shell::profile {
namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

// A stray CR before a header (an old Mac line break) must not hide it.
constexpr bool IsLeadingBlank(char c) { return IsBlank(c) || c == '\r'; }

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::size_t TextStart(std::string_view bytes) { return bytes.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0; }

struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;   // end of the text, before "\r\n" or "\n"
    std::size_t next = 0;  // where the next line starts; == end when nothing ends this one
    bool Terminated() const { return next != end; }
};

Line LineAt(std::string_view bytes, std::size_t begin) {
    const char* base = bytes.data();
    const void* lf = std::memchr(base + begin, '\n', bytes.size() - begin);
    if (lf == nullptr) return {begin, bytes.size(), bytes.size()};
    std::size_t lfAt = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
    std::size_t end = lfAt > begin && base[lfAt - 1] == '\r' ? lfAt - 1 : lfAt;
    return {begin, end, lfAt + 1};
}

// The file's own line break, for the bytes a write adds where no neighbouring
// line gives one.
std::string_view FileLineBreak(std::string_view bytes) {
    std::size_t start = TextStart(bytes);
    const void* lf = std::memchr(bytes.data() + start, '\n', bytes.size() - start);
    if (lf == nullptr) return "\r\n";
    std::size_t lfAt = static_cast<std::size_t>(static_cast<const char*>(lf) - bytes.data());
    return lfAt > start && bytes[lfAt - 1] == '\r' ? "\r\n" : "\n";
}

struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;
    std::size_t valueBegin = 0;  // just past the key line's '='
    Line lastEntry;              // of the section's block; its header while it has none
};

// One pass over the lines; only lines inside the wanted block are looked at
// beyond their first byte, and the pass stops at the key or at the block's end.
Location Locate(std::string_view bytes, std::string_view section, std::string_view key) {
    Location where;
    bool inBlock = false;
    for (std::size_t pos = TextStart(bytes); pos < bytes.size();) {
        Line line = LineAt(bytes, pos);
        pos = line.next;
        std::size_t p = line.begin;
        while (p < line.end && IsLeadingBlank(bytes[p])) ++p;
        if (p == line.end) continue;
        if (bytes[p] == '[') {
            if (inBlock) break;
            std::string_view rest = bytes.substr(p + 1, line.end - p - 1);
            std::size_t close = rest.find(']');
            std::string_view name = rest.substr(0, close);
            // Without ']' the name runs to the end of the line, and stray CRs
            // there (a bare CR ending the file, or CR CR LF) belong to the line
            // break, not to the name. Taken into it, a save would add a second
            // block, and this first one, still without the key, would win.
            if (close == std::string_view::npos)
                while (!name.empty() && (name.back() == '\r' || IsBlank(name.back()))) name.remove_suffix(1);
            name = TrimBlanks(name);
            if (EqualsIgnoreCase(name, section)) {
                inBlock = true;
                where.sectionFound = true;
                where.lastEntry = line;
            }
            continue;
        }
        if (!inBlock || bytes[p] == ';') continue;
        where.lastEntry = line;
        const void* eq = std::memchr(bytes.data() + p, '=', line.end - p);
        if (eq == nullptr) continue;
        std::size_t eqAt = static_cast<std::size_t>(static_cast<const char*>(eq) - bytes.data());
        if (EqualsIgnoreCase(TrimBlanks(bytes.substr(p, eqAt - p)), key)) {
            where.keyFound = true;
            where.keyLine = line;
            where.valueBegin = eqAt + 1;
            return where;
        }
    }
    return where;
}

}  // namespace

std::string_view TrimNameParameter(std::string_view name) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

std::string_view TrimDefaultText(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool IsUtf16(std::string_view bytes) { return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"); }

std::optional<std::string_view> FindValue(std::string_view bytes, std::string_view section,
                                          std::string_view key) {
    Location where = Locate(bytes, section, key);
    if (!where.keyFound) return std::nullopt;
    std::string_view value = TrimBlanks(bytes.substr(where.valueBegin, where.keyLine.end - where.valueBegin));
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\'')) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

Edit PlanWrite(std::string_view bytes, std::string_view section, std::string_view key,
               std::string_view value) {
    Location where = Locate(bytes, section, key);
    Edit edit;
    if (where.keyFound) {
        const Line& line = where.keyLine;
        // The blanks after '=' are the file's layout ("Key1 = 5"), kept like
        // the spelling of the key; an empty old value keeps none of them.
        std::size_t keep = where.valueBegin;
        while (keep < line.end && IsBlank(bytes[keep])) ++keep;
        if (keep == line.end) keep = where.valueBegin;
        edit.offset = keep;
        edit.removed = line.end - keep;
        std::string_view lineBreak = line.Terminated() ? std::string_view() : FileLineBreak(bytes);
        edit.inserted.reserve(value.size() + lineBreak.size());
        edit.inserted.append(value).append(lineBreak);
        return edit;
    }
    if (where.sectionFound) {
        const Line& after = where.lastEntry;
        std::string_view ownBreak = bytes.substr(after.end, after.next - after.end);
        std::string_view lineBreak = after.Terminated() ? ownBreak : FileLineBreak(bytes);
        edit.offset = after.next;
        edit.inserted.reserve(key.size() + value.size() + 2 * lineBreak.size() + 1);
        if (!after.Terminated()) edit.inserted.append(lineBreak);
        edit.inserted.append(key).append("=").append(value).append(lineBreak);
        return edit;
    }
    std::string_view lineBreak = FileLineBreak(bytes);
    bool needsBreak = bytes.size() > TextStart(bytes) && bytes.back() != '\n';
    edit.offset = bytes.size();
    edit.inserted.reserve(section.size() + key.size() + value.size() + 3 * lineBreak.size() + 3);
    if (needsBreak) edit.inserted.append(lineBreak);
    edit.inserted.append("[").append(section).append("]").append(lineBreak);
    edit.inserted.append(key).append("=").append(value).append(lineBreak);
    return edit;
}

namespace {

// The code Win32 gives a read that did not fit the caller's buffer.
constexpr DWORD kErrorMoreData = 234;

// Enough for any chain of links a user makes; the kernel's own limit.
constexpr int kMaxLinkHops = 40;

// A temp file left by a save that never finished is removed by a later save
// once nobody holds its lock and it is this old: the age covers the moment
// between a save creating its temp file and locking it.
constexpr time_t kStaleTempSeconds = 10;

constexpr char kTempLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::size_t kTempSuffixLength = 6;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    void Reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes now, so that a failing close (a full disk over NFS) is seen.
    int Close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// Opens an existing regular file for reading. ENOENT when there is none.
int OpenRegularFile(const std::string& path, FileDescriptor& fd, struct stat& st) {
    // O_NONBLOCK: a FIFO in the file's place must not hang the dialog.
    FileDescriptor opened(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!opened.Valid()) return errno;
    if (::fstat(opened.Get(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    fd.Reset(opened.Release());
    return 0;
}

int ReadAll(int fd, std::size_t sizeHint, std::string& out) {
    // One byte past the size seen, so that a file that did not grow ends in
    // one read that returns 0 rather than in a second allocation; and room
    // for a write's few new bytes, so that setting a key does not copy the
    // whole file again.
    out.reserve(sizeHint + 4096);
    out.resize(sizeHint + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == out.size()) out.resize(out.size() * 2);
        ssize_t n = ::read(fd, out.data() + used, out.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    out.resize(used);
    return 0;
}

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// The file a name ends at once its symbolic links are followed, so that the
// replacement goes to the link's target and the link stays. A dangling link
// gives its target's name: the write creates the file it names.
int ResolveLinks(const char* fileName, std::string& path) {
    path = fileName;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode)) return 0;
        if (hops == kMaxLinkHops) return ELOOP;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        for (;;) {
            ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
            if (n < 0) return errno;
            if (static_cast<std::size_t>(n) < target.size()) {
                target.resize(static_cast<std::size_t>(n));
                break;
            }
            target.resize(target.size() * 2);
        }
        if (target.empty()) return ENOENT;
        if (target.front() == '/') {
            path = std::move(target);
        } else {
            std::size_t slash = path.rfind('/');
            path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
    }
}

// The new content's file until it is renamed over the old one; removed again
// on every path that does not get that far. It holds an exclusive flock from
// just after its creation until after the rename (through a second
// descriptor, so that closing the written one, and seeing its error, does not
// drop the lock): a lock nobody holds marks a temp file whose save died.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }

    // Creates "<prefix>.XXXXXX". Not mkstemp: its 0600 would leave a new
    // file unreadable to the game run as another user; `mode` goes through
    // the umask as for any new file.
    int Create(const std::string& prefix, mode_t mode) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = prefix + "." + RandomSuffix(attempt);
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0) {
                m_fd.Reset(fd);
                m_path = std::move(path);
                // Without a lock (a file system without flock) the file is
                // still protected by its age while the save runs.
                if (::flock(fd, LOCK_EX | LOCK_NB) == 0) m_lock.Reset(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
                return 0;
            }
            if (errno != EEXIST) return errno;
        }
        return EEXIST;
    }

    int Fd() const { return m_fd.Get(); }
    const std::string& Path() const { return m_path; }
    int Close() { return m_fd.Close(); }
    void Committed() {
        m_path.clear();
        m_lock.Reset(-1);
    }

private:
    static std::string RandomSuffix(int attempt) {
        unsigned long long bits = 0;
        if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            bits = (static_cast<unsigned long long>(now.tv_nsec) * 1000003u) ^
                   static_cast<unsigned long long>(::getpid()) ^ (static_cast<unsigned long long>(attempt) << 40);
        }
        std::string suffix(kTempSuffixLength, 'x');
        for (char& c : suffix) {
            c = kTempLetters[bits % (sizeof kTempLetters - 1)];
            bits /= sizeof kTempLetters - 1;
        }
        return suffix;
    }

    FileDescriptor m_fd;
    FileDescriptor m_lock;
    std::string m_path;
};

// Whether `name` is the name of a temp file of `base`: "." base "." and six
// letters or digits.
bool IsTempNameOf(std::string_view name, std::string_view base) {
    if (name.size() != base.size() + 2 + kTempSuffixLength || name[0] != '.' || name.substr(1, base.size()) != base ||
        name[base.size() + 1] != '.')
        return false;
    std::string_view letters(kTempLetters, sizeof kTempLetters - 1);
    return name.substr(base.size() + 2).find_first_not_of(letters) == std::string_view::npos;
}

// Removes the temp files of `base` in `dir` that saves killed before their
// rename left behind: regular files of this user, unlocked, and older than
// kStaleTempSeconds. A save in flight holds its lock, so another copy's temp
// file is never taken from under it. Best effort: nothing here can fail the
// save that has already replaced the file.
void RemoveStaleTemps(const std::string& dir, std::string_view base) {
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) return;
    int dirFd = ::dirfd(listing);
    time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsTempNameOf(entry->d_name, base)) continue;
        FileDescriptor fd(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            now - st.st_mtime < kStaleTempSeconds || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file that was checked, not one made since under its name.
        struct stat named {};
        if (::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == st.st_dev &&
            named.st_ino == st.st_ino)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(listing);
}

// Flushes the rename to disk. Its failure is not the write's: the new
// content is already in place, and some file systems cannot sync a directory.
void SyncDirectory(const std::string& dir) {
    FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) ::fsync(fd.Get());
}

// Reads the whole file; ENOENT when there is none.
int ReadProfile(const char* fileName, std::string& bytes) {
    FileDescriptor fd;
    struct stat st {};
    if (int error = OpenRegularFile(fileName, fd, st)) return error;
    return ReadAll(fd.Get(), static_cast<std::size_t>(st.st_size), bytes);
}

// A file as a write finds it: where it really is (links followed), what it
// holds, and its mode and owner, which the replacement takes over.
struct WriteTarget {
    std::string path;
    std::string dirPrefix;  // path's directory with its '/', or empty
    std::string bytes;
    struct stat st {};
    bool exists = false;
};

// Finds and reads the file a write to `fileName` changes. Fails, changing
// nothing, where the write would be refused: a directory or special file, a
// file without write bits or not writable, a UTF-16 file.
int LoadTarget(const char* fileName, WriteTarget& target) {
    if (*fileName == '\0') return ENOENT;
    if (int error = ResolveLinks(fileName, target.path)) return error;
    std::size_t slash = target.path.rfind('/');
    target.dirPrefix = slash == std::string::npos ? std::string() : target.path.substr(0, slash + 1);
    if (target.dirPrefix.size() == target.path.size()) return EISDIR;

    FileDescriptor fd;
    int error = OpenRegularFile(target.path, fd, target.st);
    if (error != 0 && error != ENOENT) return error;
    if (error == 0) {
        target.exists = true;
        // Root may write anything; a file the user took every write bit
        // from is read-only all the same, as Windows' read-only mark is.
        if ((target.st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
        if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) return errno;
        if (int readError = ReadAll(fd.Get(), static_cast<std::size_t>(target.st.st_size), target.bytes))
            return readError;
    }
    if (IsUtf16(target.bytes)) return EILSEQ;
    return 0;
}

// Sets one key in the target's bytes, as one write does to the file.
void ApplyWrite(WriteTarget& target, std::string_view section, std::string_view key, std::string_view value) {
    Edit edit = PlanWrite(target.bytes, section, key, value);
    target.bytes.replace(edit.offset, edit.removed, edit.inserted);
}

// Replaces the target's file with its bytes: a temp file beside it, flushed,
// renamed over it. On failure the file is as it was and the temp file gone.
int StoreTarget(const WriteTarget& target) {
    TempFile temp;
    std::string prefix = target.dirPrefix + "." + target.path.substr(target.dirPrefix.size());
    if (int error = temp.Create(prefix, target.exists ? S_IRUSR | S_IWUSR : 0666)) return error;
    if (target.exists) {
        const struct stat& st = target.st;
        // Owner and group first: a change of owner clears set-id bits.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            if (::fchown(temp.Fd(), st.st_uid, st.st_gid) != 0 &&
                ::fchown(temp.Fd(), static_cast<uid_t>(-1), st.st_gid) != 0) {
                // Not this process's to give away: the file becomes its own,
                // as any file it creates would.
            }
        }
        if (::fchmod(temp.Fd(), st.st_mode & 07777) != 0) return errno;
    }
    if (int error = WriteAll(temp.Fd(), target.bytes)) return error;
    if (::fsync(temp.Fd()) != 0) return errno;
    if (int error = temp.Close()) return error;
    if (::rename(temp.Path().c_str(), target.path.c_str()) != 0) return errno;
    temp.Committed();
    std::string dir = target.dirPrefix.empty() ? std::string(".") : target.dirPrefix;
    SyncDirectory(dir);
    RemoveStaleTemps(dir, std::string_view(target.path).substr(target.dirPrefix.size()));
    return 0;
}

int WriteProfile(const char* fileName, std::string_view section, std::string_view key, std::string_view value) {
    WriteTarget target;
    if (int error = LoadTarget(fileName, target)) return error;
    ApplyWrite(target, section, key, value);
    return StoreTarget(target);
}

// The writes an open CProfileWriteBatch holds: the file as they leave it,
// loaded at the first of them. `error` is the first failure, after which the
// batch writes nothing.
struct OpenBatch {
    std::string fileName;
    bool loaded = false;
    int error = 0;
    WriteTarget target;
};

// The service's one piece of state: the batch open on this process, if any.
std::optional<OpenBatch>& CurrentBatch() {
    static std::optional<OpenBatch> batch;
    return batch;
}

// The open batch when it is one for `fileName`.
OpenBatch* BatchFor(const char* fileName) {
    std::optional<OpenBatch>& batch = CurrentBatch();
    return batch && batch->fileName == fileName ? &*batch : nullptr;
}

// One write into an open batch: applied to the held bytes, the file untouched.
int WriteIntoBatch(OpenBatch& batch, std::string_view section, std::string_view key, std::string_view value) {
    if (batch.error != 0) return batch.error;
    if (!batch.loaded) {
        batch.error = LoadTarget(batch.fileName.c_str(), batch.target);
        if (batch.error != 0) return batch.error;
        batch.loaded = true;
    }
    ApplyWrite(batch.target, section, key, value);
    return 0;
}

DWORD CopyOut(std::string_view text, LPSTR buffer, DWORD size, bool& cut) {
    std::size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    cut = n < text.size();
    return static_cast<DWORD>(n);
}

}  // namespace
}  // namespace shell::profile

// Copies the value of `key` in `section` of `fileName` into `buffer`, cut to
// size - 1 bytes and NUL-terminated; when the file, the section or the key
// is missing (or the file cannot be read), the default less its trailing
// spaces instead (NULL: ""). Returns the number of bytes copied. Last error:
// ERROR_SUCCESS, ERROR_MORE_DATA when the text was cut, or the errno of a
// file that could not be read (ENOENT when there is none). With size 0 it
// copies nothing and returns 0. Never changes the file, never throws.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, DWORD size,
                               LPCSTR fileName) {
    using namespace shell::profile;
    if (size == 0) {
        SetLastError(kErrorMoreData);
        return 0;
    }
    if (buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string_view fallback = TrimDefaultText(defaultText != nullptr ? defaultText : "");
    bool cut = false;
    if (section == nullptr || key == nullptr || fileName == nullptr) {
        DWORD n = CopyOut(fallback, buffer, size, cut);
        SetLastError(ERROR_INVALID_PARAMETER);
        return n;
    }
    int error = 0;
    try {
        std::string read;
        std::string_view bytes;
        const OpenBatch* batch = BatchFor(fileName);
        if (batch != nullptr && batch->loaded && batch->error == 0) {
            bytes = batch->target.bytes;  // what the file will hold once the batch is written
        } else {
            error = ReadProfile(fileName, read);
            if (error == 0 && IsUtf16(read)) error = EILSEQ;
            bytes = read;
        }
        std::optional<std::string_view> value;
        if (error == 0) value = FindValue(bytes, TrimNameParameter(section), TrimNameParameter(key));
        DWORD n = CopyOut(value.value_or(fallback), buffer, size, cut);
        SetLastError(error != 0 ? static_cast<DWORD>(error) : cut ? kErrorMoreData : ERROR_SUCCESS);
        return n;
    } catch (...) {
        // Only allocation can fail here: a file too large to hold.
        DWORD n = CopyOut(fallback, buffer, size, cut);
        SetLastError(ENOMEM);
        return n;
    }
}

// Sets `key` in `section` of `fileName` to `value`, creating the file, the
// section or the key where missing and leaving every other byte of the file
// as it was. Relies on the file's directory being writable: the new content
// is written beside the file and renamed over it, so the file is either the
// old one or the new one, never cut. Returns TRUE with ERROR_SUCCESS; on
// failure FALSE with the errno (EACCES also for a file without write bits,
// EISDIR, ENOENT for a missing directory, EILSEQ for a UTF-16 file), the file
// untouched and no stray file left. Never deletes (NULL key or value gives
// ERROR_INVALID_PARAMETER), never throws. While a CProfileWriteBatch is open
// for `fileName`, the write is held in memory and reaches the file with the
// batch's Commit; a failure then fails the whole batch.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    using namespace shell::profile;
    OpenBatch* batch = fileName != nullptr ? BatchFor(fileName) : nullptr;
    if (section == nullptr || key == nullptr || value == nullptr || fileName == nullptr) {
        if (batch != nullptr && batch->error == 0) batch->error = ERROR_INVALID_PARAMETER;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int error = 0;
    try {
        if (batch != nullptr)
            error = WriteIntoBatch(*batch, TrimNameParameter(section), TrimNameParameter(key), value);
        else
            error = WriteProfile(fileName, TrimNameParameter(section), TrimNameParameter(key), value);
    } catch (...) {
        // Only allocation can fail here; the temporary file, if any, is gone.
        error = ENOMEM;
        if (batch != nullptr && batch->error == 0) batch->error = error;
    }
    SetLastError(static_cast<DWORD>(error));
    return error == 0 ? TRUE : FALSE;
}

namespace shell {

CProfileWriteBatch::CProfileWriteBatch(const char* fileName) {
    std::optional<profile::OpenBatch>& batch = profile::CurrentBatch();
    try {
        batch.emplace();  // drops a batch still open
        batch->fileName = fileName != nullptr ? fileName : "";
    } catch (...) {
        // No memory for the name: no batch, each write goes to the file.
        batch.reset();
    }
}

CProfileWriteBatch::~CProfileWriteBatch() { profile::CurrentBatch().reset(); }

BOOL CProfileWriteBatch::Commit() {
    std::optional<profile::OpenBatch>& batch = profile::CurrentBatch();
    if (!batch) return TRUE;
    int error = batch->error;
    if (error == 0 && batch->loaded) {
        try {
            error = profile::StoreTarget(batch->target);
        } catch (...) {
            error = ENOMEM;
        }
    }
    batch.reset();
    SetLastError(static_cast<DWORD>(error));
    return error == 0 ? TRUE : FALSE;
}

}  // namespace shell

// Writes the current directory into `buffer` and returns its length without
// the NUL. When `size` is too small, returns the size needed with the NUL and
// leaves the buffer untouched (a NULL buffer with size 0 asks for that size).
// Returns 0 with the errno when there is no current directory (removed, or
// not reachable from the root).
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    if (buffer == nullptr && size != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // glibc sizes the text itself, so a short buffer is never written into.
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd == nullptr) {
        SetLastError(static_cast<DWORD>(errno));
        return 0;
    }
    std::size_t length = std::strlen(cwd);
    DWORD result = static_cast<DWORD>(length + 1);
    if (length < size) {
        std::memcpy(buffer, cwd, length + 1);
        result = static_cast<DWORD>(length);
    }
    std::free(cwd);
    return result;
}

// Appends `more` to the NUL-terminated `path` (a MAX_PATH buffer) as its last
// component, with exactly one '/' between them; an empty `path` becomes
// `more`, and an empty `more` changes nothing. Returns FALSE, with the buffer
// unchanged, when the result would not fit in MAX_PATH bytes with its NUL
// (ENAMETOOLONG) or an argument is NULL. Unlike shlwapi it resolves no "."
// or "..": on Linux a ".." after a symbolic link is not the lexical parent.
BOOL PathAppendA(LPSTR path, LPCSTR more) {
    if (path == nullptr || more == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::size_t pathLength = ::strnlen(path, MAX_PATH);
    if (pathLength == MAX_PATH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string_view head(path, pathLength);
    std::string_view tail(more);
    std::string_view separator;
    if (!head.empty()) {
        while (!tail.empty() && tail.front() == '/') tail.remove_prefix(1);
        if (tail.empty()) return TRUE;
        std::size_t keep = head.find_last_not_of('/');
        // A path of slashes alone is the root, which keeps its one slash.
        head = head.substr(0, keep == std::string_view::npos ? 1 : keep + 1);
        separator = head == "/" ? "" : "/";
    }
    std::size_t total = head.size() + separator.size() + tail.size();
    if (total + 1 > MAX_PATH) {
        SetLastError(ENAMETOOLONG);
        return FALSE;
    }
    // Built aside first: `more` may point into `path`.
    char joined[MAX_PATH];
    // An empty part may have no storage at all; memcpy must not see its null pointer.
    if (!head.empty()) std::memcpy(joined, head.data(), head.size());
    if (!separator.empty()) std::memcpy(joined + head.size(), separator.data(), separator.size());
    if (!tail.empty()) std::memcpy(joined + head.size() + separator.size(), tail.data(), tail.size());
    joined[total] = '\0';
    std::memcpy(path, joined, total + 1);
    return TRUE;
}
