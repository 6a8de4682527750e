#include "core/engine/downloaded_bytes.h"

namespace kelvo {

namespace fs = std::filesystem;

std::uintmax_t downloadedBytes(const fs::path& folder, std::string_view baseName) {
    std::uintmax_t total = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(baseName)) {
            continue;
        }
        std::error_code sizeError;
        if (it->is_regular_file(sizeError)) {
            const std::uintmax_t size = it->file_size(sizeError);
            if (!sizeError) {
                total += size;
            }
        }
    }
    return total;
}

}  // namespace kelvo
