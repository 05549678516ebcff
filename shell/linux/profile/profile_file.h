// The text format of a private-profile (INI) file, on the bytes of a whole
// file held in memory: finding a value and planning the one splice that sets
// one. profile_file.cpp reads and replaces the files; everything here is pure,
// never allocates while it scans, and is linear in the size of the file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace shell::profile {

// A section or key name as a caller passes it, less the spaces (0x20 only)
// around it: tabs and other blanks stay part of the name, as in kernel32.
std::string_view TrimNameParameter(std::string_view name);

// A default text less its trailing spaces (0x20 only); leading ones stay.
std::string_view TrimDefaultText(std::string_view text);

// True when the bytes start with a UTF-16 byte-order mark (FF FE or FE FF):
// text this service neither reads nor edits.
bool IsUtf16(std::string_view bytes);

// The value of `key` in the first block of `section`, with the blanks around
// it and one matching pair of outer quotes removed. Names match without
// regard to ASCII case. nullopt when that block holds no such key or the file
// has no such section; an empty view when the key is there with no value.
// The view points into `bytes`.
std::optional<std::string_view> FindValue(std::string_view bytes, std::string_view section,
                                          std::string_view key);

// One splice of a file's bytes: the `removed` bytes at `offset` give way to
// `inserted`. Applying it leaves every other byte of the file as it was.
struct Edit {
    std::size_t offset = 0;
    std::size_t removed = 0;
    std::string inserted;
};

// The splice that makes `key` hold `value` (written as given) in the first
// block of `section`: the key's first line rewritten in place, else a new
// line after the block's last entry, else a new section at the end of the
// file. The names are written only where they are new. Throws only
// std::bad_alloc.
Edit PlanWrite(std::string_view bytes, std::string_view section, std::string_view key,
               std::string_view value);

}  // namespace shell::profile
