#include "util/property_path.h"

#include <charconv>

#include "util/av_error.h"
#include "util/float_text.h"
#include "util/format.h"

namespace tw {

namespace {

struct Target {
    TPersistent* object;
    const PropertyInfo* property;
};

Target Resolve(TPersistent& root, const std::string& path) {
    TPersistent* object = &root;
    size_t begin = 0;
    while (true) {
        const size_t dot = path.find('.', begin);
        const std::string name = path.substr(begin, dot == std::string::npos ? dot : dot - begin);
        const PropertyInfo* property = object->FindProperty(name);
        if (!property) {
            throw EAVError(FormatPrintf("Unknown setting \"%s\"", path.c_str()));
        }
        if (dot == std::string::npos) {
            return {object, property};
        }
        if (property->kind != PropKind::Object) {
            throw EAVError(FormatPrintf("Unknown setting \"%s\"", path.c_str()));
        }
        object = &property->object(*object);
        begin = dot + 1;
    }
}

bool ParseInt64(const std::string& text, int64_t* value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    const auto result = std::from_chars(begin, end, *value);
    return result.ec == std::errc{} && result.ptr == end && begin != end;
}

[[noreturn]] void BadValue(const std::string& path, const std::string& value) {
    throw EAVError(
        FormatPrintf("Invalid value \"%s\" for setting \"%s\"", value.c_str(), path.c_str()));
}

}  // namespace

void SetPropertyByPath(TPersistent& root, const std::string& path, const std::string& value) {
    const Target target = Resolve(root, path);
    const PropertyInfo& p = *target.property;
    int64_t number = 0;
    switch (p.kind) {
        case PropKind::Integer:
            if (!ParseInt64(value, &number) || number < INT32_MIN || number > INT32_MAX) {
                BadValue(path, value);
            }
            p.setOrdinal(*target.object, number);
            return;
        case PropKind::Int64:
            if (!ParseInt64(value, &number)) {
                BadValue(path, value);
            }
            p.setOrdinal(*target.object, number);
            return;
        case PropKind::Boolean:
            if (value == "1" || value == "true") {
                p.setOrdinal(*target.object, 1);
            } else if (value == "0" || value == "false") {
                p.setOrdinal(*target.object, 0);
            } else {
                BadValue(path, value);
            }
            return;
        case PropKind::Enum:
            for (size_t i = 0; i < p.enumNames.size(); ++i) {
                if (p.enumNames[i] == value) {
                    p.setOrdinal(*target.object, static_cast<int64_t>(i));
                    return;
                }
            }
            BadValue(path, value);
        case PropKind::Single:
        case PropKind::Double: {
            const auto parsed = TextToFloat(value);
            if (!parsed) {
                BadValue(path, value);
            }
            p.setFloat(*target.object, *parsed);
            return;
        }
        case PropKind::String:
            p.setString(*target.object, value);
            return;
        case PropKind::StringList:
            p.setList(*target.object, TStringList{value});
            return;
        case PropKind::Object: {
            // A rational ("num/den" or a whole number) given to an object of num and den.
            TPersistent& object = p.object(*target.object);
            const PropertyInfo* num = object.FindProperty("num");
            const PropertyInfo* den = object.FindProperty("den");
            const size_t slash = value.find('/');
            int64_t n = 0;
            int64_t d = 1;
            if (!num || !den || !ParseInt64(value.substr(0, slash), &n) ||
                (slash != std::string::npos && !ParseInt64(value.substr(slash + 1), &d)) ||
                d <= 0 || n < 0 || n > INT32_MAX || d > INT32_MAX) {
                BadValue(path, value);
            }
            num->setOrdinal(object, n);
            den->setOrdinal(object, d);
            return;
        }
    }
}

void AppendPropertyLine(TPersistent& root, const std::string& path, const std::string& line) {
    const Target target = Resolve(root, path);
    if (target.property->kind != PropKind::StringList) {
        throw EAVError(FormatPrintf("Setting \"%s\" is not a list", path.c_str()));
    }
    TStringList lines = target.property->getList(*target.object);
    lines.push_back(line);
    target.property->setList(*target.object, lines);
}

}  // namespace tw
