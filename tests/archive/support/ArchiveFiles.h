// Archive files for the component's tests: a fresh folder in the temporary folder and small
// archives written there by the test zip writer.
#pragma once

#include <string>
#include <vector>

#include "tests/fixtures/ZipWriter.h"

namespace testing_archives {

// A new, empty folder under the system's temporary folder (Windows path, no trailing "\").
std::string FreshFolder(const std::string& name);

// Writes the archive and returns its Windows path.
std::string SaveArchive(const fixtures::Archive& archive, const std::string& folder,
                        const std::string& name);

// An archive of a few stored entries: "readme.txt" (11 bytes), "docs\guide.txt" (5 bytes).
std::string SmallArchive(const std::string& folder);

// The bytes of a file by Windows path.
std::vector<unsigned char> ReadBytes(const std::string& path);

}  // namespace testing_archives
