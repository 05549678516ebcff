// Whole-file reads and writes for tests that look at a settings file byte
// for byte.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// The file's bytes; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);
// Replaces the file's content with `bytes`, creating it when missing.
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace testsupport
