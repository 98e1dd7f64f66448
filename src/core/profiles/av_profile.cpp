#include "profiles/av_profile.h"

#include "engine/converter.h"
#include "profiles/profile_list.h"
#include "util/format.h"
#include "util/ini_file.h"

namespace tw {

TAVProfile::TAVProfile(std::string description, std::string extension)
    : extension_(std::move(extension)) {
    Description_ = std::move(description);
}

const PropertyTable& TAVProfile::Properties() const {
    using T = TAVProfile;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .String("Description", &T::Description, &T::SetDescription)
            .String("Extension", &T::Extension, &T::SetExtension)
            .String("Category", &T::Category, &T::SetCategory)
            .Build();
    return table;
}

bool TAVProfile::InCategory(std::string_view category) const {
    return !Category_.empty() && SameText(Category_, category);
}

int TAVProfile::Index() const {
    return list_ ? list_->IndexOf(this) : -1;
}

void TAVProfile::SetIndex(int index) {
    if (list_) {
        list_->SetChildOrder(*this, index);
    }
}

void TAVProfile::SetProfileList(TAVProfileList& list) {
    TW_ASSERT(list_ != nullptr && "a profile outside a list is handed over with Add");
    list.Add(list_->Extract(*this));
}

std::string TAVProfile::Key(std::string_view name, int number) {
    return std::string(name) + std::to_string(number);
}

void TAVProfile::SaveToIni(TIniFile& ini, int number) const {
    ini.WriteString(kProfileSection, Key("Description", number), Description_);
    ini.WriteString(kProfileSection, Key("Extension", number), extension_);
    ini.WriteString(kProfileSection, Key("Category", number), Category_);
}

void TAVProfile::LoadFromIni(const TIniFile& ini, int number) {
    SetDescription(ini.ReadString(kProfileSection, Key("Description", number), Description_));
    SetExtension(ini.ReadString(kProfileSection, Key("Extension", number), extension_));
    SetCategory(ini.ReadString(kProfileSection, Key("Category", number), Category_));
}

bool TAVProfile::ApplyTo(TAVConverter& converter) const {
    return ApplyTo(converter.ConvertOptions());
}

}  // namespace tw
