#pragma once

// Setting published properties by a dotted path such as "VideoOptions.FrameWidth", for front
// ends that take settings as text. Values are parsed as the settings XML form writes them
// (integers, enumeration identifiers, 1/0 or true/false, floats with "."), and a rational as
// "num/den".

#include <string>

#include "util/persistent.h"

namespace tw {

// Sets the property at path from text. Throws EAVError naming the path when it does not exist
// or the text does not fit the property's kind. A string-list property takes the text as its
// only line; AppendPropertyLine adds a line instead.
void SetPropertyByPath(TPersistent& root, const std::string& path, const std::string& value);
void AppendPropertyLine(TPersistent& root, const std::string& path, const std::string& line);

}  // namespace tw
