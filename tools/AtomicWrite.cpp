#include "AtomicWrite.h"

#include "ToolError.h"
#include "storage/SafeFiles.h"

void WriteOutputFile(const std::string& path, std::optional<std::uint64_t> size,
                     const std::function<void(std::ostream&)>& write) {
    const FileOutcome outcome = SaveFileSafely(path, size, write, SpecialFiles::WriteDirectly);
    if (!outcome.ok())
        throw FileError("write", path, outcome.error);
}
