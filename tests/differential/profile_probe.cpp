// Runs private-profile calls from a script and prints what they return, so
// that one script can be run through two implementations of the service and
// the answers compared: built for Linux on our profile service, and for
// Windows on kernel32 (run under Wine in tests).
//
// Each line of standard input is one call, fields separated by tabs, every
// text hex-encoded ("." for an empty text) so that any byte reaches the call:
//   get FILE SECTION KEY DEFAULT SIZE  ->  "<returned> <cut> <buffer hex>"
//   put FILE SECTION KEY VALUE         ->  "<returned>"
// where <cut> is 1 when the last error is ERROR_MORE_DATA. One line of output
// per line of input; a line it cannot parse prints "bad" and goes on.
#include "shell/app_shell.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kMoreData = 234;

std::optional<std::string> FromHex(const std::string& field) {
    if (field == ".") return std::string();
    if (field.size() % 2 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < field.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(field.c_str() + i, "%2x", &value) != 1) return std::nullopt;
        out.push_back(static_cast<char>(value));
    }
    return out;
}

std::string ToHex(const char* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out = size == 0 ? "." : "";
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

std::string Run(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    std::vector<std::string> texts;
    for (std::size_t i = 1; i < fields.size() && i < 5; ++i) {
        std::optional<std::string> text = FromHex(fields[i]);
        if (!text) return "bad";
        texts.push_back(*text);
    }
    if (fields.size() == 6 && fields[0] == "get") {
        unsigned long size = std::stoul(fields[5]);
        // A guard byte past the buffer shows a write beyond its size.
        std::vector<char> buffer(size + 1, '\x7f');
        SetLastError(0);
        DWORD got = GetPrivateProfileStringA(texts[1].c_str(), texts[2].c_str(), texts[3].c_str(), buffer.data(),
                                             static_cast<DWORD>(size), texts[0].c_str());
        bool cut = GetLastError() == kMoreData;
        if (buffer[size] != '\x7f') return "overrun";
        return std::to_string(got) + " " + (cut ? "1" : "0") + " " +
               ToHex(buffer.data(), got <= size ? got : size);
    }
    if (fields.size() == 5 && fields[0] == "put") {
        BOOL ok = WritePrivateProfileStringA(texts[1].c_str(), texts[2].c_str(), texts[3].c_str(), texts[0].c_str());
        return ok ? "1" : "0";
    }
    return "bad";
}

}  // namespace

int main() {
    try {
        for (std::string line; std::getline(std::cin, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::cout << Run(line) << '\n';
        }
        std::cout.flush();
        return std::cout ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "profile_probe: " << e.what() << '\n';
        return 1;
    }
}
