#include "util/text_file.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "util/av_error.h"
#include "util/format.h"

namespace tw {

std::string ReadTextFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw EAVError(FormatPrintf("Cannot open file \"%s\".", file.c_str()));
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteTextFileAtomically(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw EAVError(FormatPrintf("Cannot create file \"%s\".", file.c_str()));
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw EAVError(FormatPrintf("Cannot create file \"%s\".", file.c_str()));
    }
}

std::filesystem::path KeepAside(const std::filesystem::path& file) {
    for (int n = 1; n < 1000; ++n) {
        std::filesystem::path kept = file;
        kept += n == 1 ? std::string(".bad") : ".bad" + std::to_string(n);
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(kept, error))) {
            continue;
        }
        // A plain rename would replace a file made under that name in the meantime; a hard
        // link never does.
        std::filesystem::create_hard_link(file, kept, error);
        if (!error) {
            std::filesystem::remove(file, error);
            if (error) {
                std::filesystem::remove(kept, error);
                return {};
            }
            return kept;
        }
        if (error != std::errc::file_exists) {
            // No hard links here (some file systems have none): renaming is the next best.
            std::filesystem::rename(file, kept, error);
            return error ? std::filesystem::path() : kept;
        }
    }
    return {};
}

}  // namespace tw
