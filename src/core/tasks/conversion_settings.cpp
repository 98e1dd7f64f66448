#include "tasks/conversion_settings.h"

namespace tw {

const PropertyTable& TConversionSettings::Properties() const {
    using T = TConversionSettings;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .String("SourceFile", &T::SourceFile, &T::SetSourceFile)
            .Enum("SourceType", &T::SourceType, &T::SetSourceType, {"stFile", "stDvd"})
            .String("DvdDriver", &T::DvdDriver, &T::SetDvdDriver)
            .Integer("DvdTitle", &T::DvdTitle, &T::SetDvdTitle)
            .Integer("DvdChapter", &T::DvdChapter, &T::SetDvdChapter)
            .Integer("DvdThrough", &T::DvdThrough, &T::SetDvdThrough)
            .Integer("DvdAngle", &T::DvdAngle, &T::SetDvdAngle)
            .String("DvdVolume", &T::DvdVolume, &T::SetDvdVolume)
            .String("TargetFile", &T::TargetFile, &T::SetTargetFile)
            .String("Profile", &T::Profile, &T::SetProfile)
            .Integer("CategoryId", &T::CategoryId, &T::SetCategoryId)
            .Object("ConvertOptions", [](T& o) -> TPersistent& { return o.ConvertOptions(); })
            .Double("Duration", &T::Duration, &T::SetDuration)
            .Int64("SourceFileSize", &T::SourceFileSize, &T::SetSourceFileSize)
            .Build();
    return table;
}

void TConversionSettings::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TConversionSettings*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetSourceFile(from->SourceFile());
    SetSourceType(from->SourceType());
    SetDvdDriver(from->DvdDriver());
    SetDvdTitle(from->DvdTitle());
    SetDvdChapter(from->DvdChapter());
    SetDvdThrough(from->DvdThrough());
    SetDvdAngle(from->DvdAngle());
    SetDvdVolume(from->DvdVolume());
    SetTargetFile(from->TargetFile());
    SetProfile(from->Profile());
    SetCategoryId(from->CategoryId());
    options_.Assign(from->options_);
    SetDuration(from->Duration());
    SetSourceFileSize(from->SourceFileSize());
}

}  // namespace tw
