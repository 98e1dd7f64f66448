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

}  // namespace tw
