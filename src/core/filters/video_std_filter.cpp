#include "filters/video_std_filter.h"

#include "filters/filter_list.h"
#include "util/format.h"

namespace tw {

const PropertyTable& TVideoStdFilter::Properties() const {
    using T = TVideoStdFilter;
    static const PropertyTable table =
        PropertyTableBuilder<T>()
            .Boolean("VerticalFilp", &T::VerticalFilp, &T::SetVerticalFilp)
            .Boolean("HorizontalFilip", &T::HorizontalFilip, &T::SetHorizontalFilip)
            .Boolean("Negate", &T::Negate, &T::SetNegate)
            .Boolean("Rotate", &T::Rotate, &T::SetRotate)
            .Boolean("DrawBox", &T::DrawBox, &T::SetDrawBox)
            .Integer("Degree", &T::Degree, &T::SetDegree)
            .Integer("BX", &T::BX, &T::SetBX)
            .Integer("BY", &T::BY, &T::SetBY)
            .Integer("BWidth", &T::BWidth, &T::SetBWidth)
            .Integer("BHeight", &T::BHeight, &T::SetBHeight)
            .String("BColor", &T::BColor, &T::SetBColor)
            .Build();
    return table;
}

void TVideoStdFilter::Assign(const TPersistent& source) {
    const auto* from = dynamic_cast<const TVideoStdFilter*>(&source);
    if (!from) {
        AssignError(source);
    }
    SetVerticalFilp(from->VerticalFilp());
    SetHorizontalFilip(from->HorizontalFilip());
    SetNegate(from->Negate());
    SetRotate(from->Rotate());
    SetDrawBox(from->DrawBox());
    SetDegree(from->Degree());
    SetBX(from->BX());
    SetBY(from->BY());
    SetBWidth(from->BWidth());
    SetBHeight(from->BHeight());
    SetBColor(from->BColor());
}

std::string TVideoStdFilter::GetSummary() const {
    std::vector<std::string> parts;
    if (VerticalFilp()) {
        parts.emplace_back("Vertical flip");
    }
    if (HorizontalFilip()) {
        parts.emplace_back("Horizontal flip");
    }
    if (DrawBox()) {
        parts.push_back(FormatPrintf("%s box %dx%d at %d,%d", BColor().c_str(), BWidth(), BHeight(),
                                     BX(), BY()));
    }
    if (Negate()) {
        parts.emplace_back("Negate");
    }
    if (Rotate()) {
        parts.push_back(FormatPrintf("Rotate %d\u00B0", Degree()));
    }
    if (parts.empty()) {
        return GetCaption();
    }
    std::string summary = parts.front();
    for (size_t i = 1; i < parts.size(); ++i) {
        summary += ", " + parts[i];
    }
    return summary;
}

std::string TVideoStdFilter::GetFilterText() const {
    std::vector<std::string> items;
    if (VerticalFilp()) {
        items.emplace_back("vflip");
    }
    if (HorizontalFilip()) {
        items.emplace_back("hflip");
    }
    if (DrawBox()) {
        items.push_back(FormatPrintf("drawbox=%d:%d:%d:%d:%s", BX(), BY(), BWidth(), BHeight(),
                                     BColor().c_str()));
    }
    if (Negate()) {
        items.emplace_back("negate");
    }
    if (Rotate()) {
        items.push_back(FormatPrintf("rotate=%d", Degree()));
    }
    return filters::JoinFilterItems(items);
}

}  // namespace tw
