#pragma once

// The settings XML form of objects with published properties:
//   <data PropFormat="node"><ClassName><Property>value</Property>...</ClassName></data>
// written indented (two blanks per level, CR LF line breaks, UTF-8, no declaration).
// Reading leaves every property whose element is missing as it was.

#include <filesystem>
#include <string>
#include <string_view>

#include "util/av_error.h"
#include "util/persistent.h"
#include "util/text_file.h"

namespace tw {

// Raised when a settings text is not well-formed XML.
class EMalformedXml : public EAVError {
public:
    using EAVError::EAVError;
};

std::string WriteSettingsXml(const TPersistent& object);

// Throws EMalformedXml when the text is not well-formed XML, EAVError when a value does not
// parse.
void ReadSettingsXml(std::string_view text, TPersistent& object);

// Whole-file forms. Save throws EAVError when the file cannot be written; Load when it cannot be
// read or parsed. A UTF-8 byte-order mark is accepted on reading.
void SaveSettingsXmlFile(const TPersistent& object, const std::filesystem::path& file);
void LoadSettingsXmlFile(const std::filesystem::path& file, TPersistent& object);

}  // namespace tw
