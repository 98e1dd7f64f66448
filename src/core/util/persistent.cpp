#include "util/persistent.h"

#include "util/av_error.h"
#include "util/format.h"

namespace tw {

void TPersistent::Assign(const TPersistent& source) {
    AssignError(source);
}

void TPersistent::AssignError(const TPersistent& source) const {
    throw EAVError(FormatPrintf("Cannot assign a %s to a %s", source.ClassName(), ClassName()));
}

const PropertyInfo* TPersistent::FindProperty(std::string_view name) const {
    for (const PropertyInfo& p : Properties()) {
        if (p.name == name) {
            return &p;
        }
    }
    return nullptr;
}

}  // namespace tw
