#include "util/settings_xml.h"

#include <charconv>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <system_error>

#include "util/av_error.h"
#include "util/float_text.h"
#include "util/format.h"
#include "util/text_file.h"

namespace tw {

namespace {

constexpr int64_t kMaxListLines = 1000000;

void WriteProperties(pugi::xml_node element, const TPersistent& object);

void WriteText(pugi::xml_node parent, const std::string& name, const std::string& text) {
    parent.append_child(name.c_str()).text().set(text.c_str());
}

void WriteProperty(pugi::xml_node element, const TPersistent& object, const PropertyInfo& p) {
    switch (p.kind) {
        case PropKind::Integer:
        case PropKind::Boolean:
        case PropKind::Enum: {
            const int64_t value = p.getOrdinal(object);
            if (p.declaredDefault && *p.declaredDefault == value) {
                return;
            }
            if (p.kind == PropKind::Enum) {
                const bool known = value >= 0 && value < static_cast<int64_t>(p.enumNames.size());
                WriteText(element, p.name,
                          known ? p.enumNames[static_cast<size_t>(value)] : std::to_string(value));
            } else {
                WriteText(element, p.name, std::to_string(value));
            }
            return;
        }
        case PropKind::Int64: {
            const int64_t value = p.getOrdinal(object);
            if (value != 0) {
                WriteText(element, p.name, std::to_string(value));
            }
            return;
        }
        case PropKind::Single:
        case PropKind::Double: {
            const double value = p.getFloat(object);
            if (value != 0) {
                WriteText(element, p.name, FloatToText(value, p.kind == PropKind::Single));
            }
            return;
        }
        case PropKind::String: {
            const std::string value = p.getString(object);
            if (!value.empty()) {
                WriteText(element, p.name, value);
            }
            return;
        }
        case PropKind::StringList: {
            const TStringList& lines = p.getList(object);
            pugi::xml_node list = element.append_child(p.name.c_str());
            list.append_attribute("Count") = static_cast<long long>(lines.size());
            for (size_t i = 0; i < lines.size(); ++i) {
                if (!lines[i].empty()) {
                    // Appended, not `"l" + ...`: GCC 12 warns falsely on that at -O2 and above.
                    WriteText(list, std::string("l").append(std::to_string(i)), lines[i]);
                }
            }
            return;
        }
        case PropKind::Object: {
            pugi::xml_node child = element.append_child(p.name.c_str());
            WriteProperties(child, p.object(const_cast<TPersistent&>(object)));
            if (!child.first_child()) {
                element.remove_child(child);
            }
            return;
        }
    }
}

void WriteProperties(pugi::xml_node element, const TPersistent& object) {
    for (const PropertyInfo& p : object.Properties()) {
        WriteProperty(element, object, p);
    }
}

int64_t ParseInteger(const std::string& text, bool wide) {
    int64_t value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    const auto result = std::from_chars(begin, end, value);
    const bool ok = result.ec == std::errc{} && result.ptr == end && begin != end;
    if (wide) {
        if (!ok) {
            throw EAVError(FormatPrintf("Invalid int64 value (%s).", text.c_str()));
        }
        return value;
    }
    if (!ok || value < INT32_MIN || value > INT32_MAX) {
        throw EAVError(FormatPrintf("'%s' is not a valid integer value", text.c_str()));
    }
    return value;
}

void ReadProperties(pugi::xml_node element, TPersistent& object);

void ReadProperty(pugi::xml_node element, TPersistent& object, const PropertyInfo& p) {
    const pugi::xml_node node = element.child(p.name.c_str());
    if (!node) {
        return;
    }
    const std::string text = node.child_value();
    switch (p.kind) {
        case PropKind::Integer:
            p.setOrdinal(object, ParseInteger(text, false));
            return;
        case PropKind::Int64:
            p.setOrdinal(object, ParseInteger(text, true));
            return;
        case PropKind::Boolean:
            if (text == "1" || text == "true" || text == "True") {
                p.setOrdinal(object, 1);
            } else if (text == "0" || text == "false" || text == "False") {
                p.setOrdinal(object, 0);
            } else {
                throw EAVError(FormatPrintf("'%s' is not a valid boolean value", text.c_str()));
            }
            return;
        case PropKind::Enum: {
            for (size_t i = 0; i < p.enumNames.size(); ++i) {
                if (p.enumNames[i] == text) {
                    p.setOrdinal(object, static_cast<int64_t>(i));
                    return;
                }
            }
            throw EAVError(
                FormatPrintf("Invalid value (%s) for property %s.", text.c_str(), p.name.c_str()));
        }
        case PropKind::Single:
        case PropKind::Double: {
            const auto value = TextToFloat(text);
            if (!value) {
                throw EAVError(
                    FormatPrintf("'%s' is not a valid floating point value", text.c_str()));
            }
            p.setFloat(object, *value);
            return;
        }
        case PropKind::String:
            p.setString(object, text);
            return;
        case PropKind::StringList: {
            const pugi::xml_attribute countAttribute = node.attribute("Count");
            const int64_t count = countAttribute ? ParseInteger(countAttribute.value(), false) : 0;
            // A damaged count must not make the reader reserve gigabytes.
            if (count > kMaxListLines) {
                throw EAVError(
                    FormatPrintf("Invalid list count (%lld).", static_cast<long long>(count)));
            }
            TStringList lines(static_cast<size_t>(count < 0 ? 0 : count));
            for (const pugi::xml_node line : node.children()) {
                const std::string_view name = line.name();
                size_t index = 0;
                const auto parsed = std::from_chars(name.data() + std::min<size_t>(1, name.size()),
                                                    name.data() + name.size(), index);
                if (name.size() > 1 && name[0] == 'l' && parsed.ec == std::errc{} &&
                    parsed.ptr == name.data() + name.size() && index < lines.size()) {
                    lines[index] = line.child_value();
                }
            }
            p.setList(object, lines);
            return;
        }
        case PropKind::Object:
            ReadProperties(node, p.object(object));
            return;
    }
}

void ReadProperties(pugi::xml_node element, TPersistent& object) {
    for (const PropertyInfo& p : object.Properties()) {
        ReadProperty(element, object, p);
    }
}

// pugixml writes LF line breaks; the stored form uses CR LF. pugixml itself never writes a CR,
// so any CR here comes from a value's text: it goes out as a character reference, because a
// reader turns a raw CR into LF and a value's CR LF would come back as two line breaks.
class CrLfWriter : public pugi::xml_writer {
public:
    explicit CrLfWriter(std::string& out) : out_(out) {}
    void write(const void* data, size_t size) override {
        const char* bytes = static_cast<const char*>(data);
        for (size_t i = 0; i < size; ++i) {
            if (bytes[i] == '\r') {
                out_ += "&#13;";
                continue;
            }
            if (bytes[i] == '\n') {
                out_ += '\r';
            }
            out_ += bytes[i];
        }
    }

private:
    std::string& out_;
};

}  // namespace

std::string WriteSettingsXml(const TPersistent& object) {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("data");
    root.append_attribute("PropFormat") = "node";
    WriteProperties(root.append_child(object.ClassName()), object);
    std::string out;
    CrLfWriter writer(out);
    document.save(writer, "  ", pugi::format_indent | pugi::format_no_declaration,
                  pugi::encoding_utf8);
    return out;
}

void ReadSettingsXml(std::string_view text, TPersistent& object) {
    pugi::xml_document document;
    // Keep a value made only of blanks: by default pugixml drops whitespace-only text.
    const pugi::xml_parse_result parsed = document.load_buffer(
        text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
        pugi::encoding_auto);
    if (!parsed) {
        throw EMalformedXml(FormatPrintf("Invalid XML (%s at offset %lld).", parsed.description(),
                                         static_cast<long long>(parsed.offset)));
    }
    const pugi::xml_node root = document.document_element();
    const pugi::xml_node element = root.child(object.ClassName());
    if (element) {
        ReadProperties(element, object);
    }
}

void SaveSettingsXmlFile(const TPersistent& object, const std::filesystem::path& file) {
    WriteTextFileAtomically(file, WriteSettingsXml(object));
}

void LoadSettingsXmlFile(const std::filesystem::path& file, TPersistent& object) {
    ReadSettingsXml(ReadTextFile(file), object);
}

}  // namespace tw
