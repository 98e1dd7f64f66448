#pragma once

// Published properties: every persistent class lists its properties, in declaration order, in
// a table of accessors. The settings XML form (settings_xml.h) walks that table; Assign is
// written by hand per class because each class has its own copy order.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/string_list.h"

namespace tw {

class TPersistent;

enum class PropKind { Integer, Int64, Boolean, Enum, Single, Double, String, StringList, Object };

struct PropertyInfo {
    std::string name;
    PropKind kind = PropKind::Integer;
    // The value for which the stored form leaves an ordinal out; most properties have none.
    std::optional<int64_t> declaredDefault;
    // Enum identifiers by ordinal.
    std::vector<std::string> enumNames;

    std::function<int64_t(const TPersistent&)> getOrdinal;
    std::function<void(TPersistent&, int64_t)> setOrdinal;
    std::function<double(const TPersistent&)> getFloat;
    std::function<void(TPersistent&, double)> setFloat;
    std::function<std::string(const TPersistent&)> getString;
    std::function<void(TPersistent&, const std::string&)> setString;
    std::function<const TStringList&(const TPersistent&)> getList;
    std::function<void(TPersistent&, const TStringList&)> setList;
    // The owned sub-object; reading writes into it in place, it is never replaced.
    std::function<TPersistent&(TPersistent&)> object;

    bool IsOrdinal() const {
        return kind == PropKind::Integer || kind == PropKind::Boolean || kind == PropKind::Enum;
    }
};

using PropertyTable = std::vector<PropertyInfo>;

class TPersistent {
public:
    virtual ~TPersistent() = default;
    TPersistent(const TPersistent&) = delete;
    TPersistent& operator=(const TPersistent&) = delete;

    virtual const char* ClassName() const = 0;
    virtual const PropertyTable& Properties() const = 0;

    // Copies source into this object. The base class accepts nothing and raises
    // "Cannot assign a <source class> to a <this class>".
    virtual void Assign(const TPersistent& source);

    const PropertyInfo* FindProperty(std::string_view name) const;

protected:
    TPersistent() = default;
    [[noreturn]] void AssignError(const TPersistent& source) const;
};

// Builds a property table for class T from its getters and setters.
template <class T>
class PropertyTableBuilder {
public:
    PropertyTableBuilder& Integer(std::string name, int (T::*get)() const, void (T::*set)(int),
                                  std::optional<int64_t> declaredDefault = std::nullopt) {
        PropertyInfo& p = Add(std::move(name), PropKind::Integer);
        p.declaredDefault = declaredDefault;
        p.getOrdinal = [get](const TPersistent& o) { return int64_t{(Self(o).*get)()}; };
        p.setOrdinal = [set](TPersistent& o, int64_t v) { (Self(o).*set)(static_cast<int>(v)); };
        return *this;
    }

    PropertyTableBuilder& Int64(std::string name, int64_t (T::*get)() const,
                                void (T::*set)(int64_t)) {
        PropertyInfo& p = Add(std::move(name), PropKind::Int64);
        p.getOrdinal = [get](const TPersistent& o) { return (Self(o).*get)(); };
        p.setOrdinal = [set](TPersistent& o, int64_t v) { (Self(o).*set)(v); };
        return *this;
    }

    PropertyTableBuilder& Boolean(std::string name, bool (T::*get)() const, void (T::*set)(bool),
                                  std::optional<bool> declaredDefault = std::nullopt) {
        PropertyInfo& p = Add(std::move(name), PropKind::Boolean);
        if (declaredDefault) {
            p.declaredDefault = *declaredDefault ? 1 : 0;
        }
        p.getOrdinal = [get](const TPersistent& o) { return int64_t{(Self(o).*get)() ? 1 : 0}; };
        p.setOrdinal = [set](TPersistent& o, int64_t v) { (Self(o).*set)(v != 0); };
        return *this;
    }

    template <class E>
    PropertyTableBuilder& Enum(std::string name, E (T::*get)() const, void (T::*set)(E),
                               std::vector<std::string> identifiers) {
        PropertyInfo& p = Add(std::move(name), PropKind::Enum);
        p.enumNames = std::move(identifiers);
        p.getOrdinal = [get](const TPersistent& o) {
            return static_cast<int64_t>((Self(o).*get)());
        };
        p.setOrdinal = [set](TPersistent& o, int64_t v) { (Self(o).*set)(static_cast<E>(v)); };
        return *this;
    }

    PropertyTableBuilder& Single(std::string name, float (T::*get)() const, void (T::*set)(float)) {
        PropertyInfo& p = Add(std::move(name), PropKind::Single);
        p.getFloat = [get](const TPersistent& o) { return double{(Self(o).*get)()}; };
        p.setFloat = [set](TPersistent& o, double v) { (Self(o).*set)(static_cast<float>(v)); };
        return *this;
    }

    PropertyTableBuilder& Double(std::string name, double (T::*get)() const,
                                 void (T::*set)(double)) {
        PropertyInfo& p = Add(std::move(name), PropKind::Double);
        p.getFloat = [get](const TPersistent& o) { return (Self(o).*get)(); };
        p.setFloat = [set](TPersistent& o, double v) { (Self(o).*set)(v); };
        return *this;
    }

    PropertyTableBuilder& String(std::string name, const std::string& (T::*get)() const,
                                 void (T::*set)(const std::string&)) {
        PropertyInfo& p = Add(std::move(name), PropKind::String);
        p.getString = [get](const TPersistent& o) { return (Self(o).*get)(); };
        p.setString = [set](TPersistent& o, const std::string& v) { (Self(o).*set)(v); };
        return *this;
    }

    PropertyTableBuilder& List(std::string name, const TStringList& (T::*get)() const,
                               void (T::*set)(const TStringList&)) {
        PropertyInfo& p = Add(std::move(name), PropKind::StringList);
        p.getList = [get](const TPersistent& o) -> const TStringList& { return (Self(o).*get)(); };
        p.setList = [set](TPersistent& o, const TStringList& v) { (Self(o).*set)(v); };
        return *this;
    }

    // access returns the owned sub-object of a T.
    template <class Access>
    PropertyTableBuilder& Object(std::string name, Access access) {
        PropertyInfo& p = Add(std::move(name), PropKind::Object);
        p.object = [access](TPersistent& o) -> TPersistent& { return access(static_cast<T&>(o)); };
        return *this;
    }

    PropertyTable Build() { return std::move(table_); }

private:
    static const T& Self(const TPersistent& o) { return static_cast<const T&>(o); }
    static T& Self(TPersistent& o) { return static_cast<T&>(o); }

    PropertyInfo& Add(std::string name, PropKind kind) {
        table_.emplace_back();
        table_.back().name = std::move(name);
        table_.back().kind = kind;
        return table_.back();
    }

    PropertyTable table_;
};

}  // namespace tw

// Plain published properties: a getter named after the property, a setter SetName storing the
// value, and the field Name_ with its initial value. Properties with a setter rule are written
// out by hand.
#define TW_VALUE_PROPERTY(Type, Name, Initial) \
public:                                        \
    Type Name() const {                        \
        return Name##_;                        \
    }                                          \
    void Set##Name(Type value) {               \
        Name##_ = value;                       \
    }                                          \
                                               \
private:                                       \
    Type Name##_ = Initial;

#define TW_REF_PROPERTY(Type, Name)     \
public:                                 \
    const Type& Name() const {          \
        return Name##_;                 \
    }                                   \
    void Set##Name(const Type& value) { \
        Name##_ = value;                \
    }                                   \
                                        \
private:                                \
    Type Name##_{};
