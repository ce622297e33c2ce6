#include "sched/LenientFields.h"

#include "platform/TextUtils.h"
#include "sched/TimeField.h"

#include <algorithm>

namespace vantle {

namespace {

// Whether the reading takes the text otherwise than it looks: an item or range end it
// cannot read as a number, or an empty item with more after it.
bool ReadOtherwise(std::string_view text) {
    if (text == "*")
        return false;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, end - start);
        if (item.empty())
            return text.substr(start).find_first_not_of(',') != std::string_view::npos;
        const std::size_t dash = item.find('-');
        if (dash == std::string_view::npos
                ? !ReadInt(item)
                : !ReadInt(item.substr(0, dash)) || !ReadInt(item.substr(dash + 1)))
            return true;
        start = end + 1;
    }
    return false;
}

// The values matched, as ranges in the stored form: "0", "1-5,7"; "nothing" for none.
std::string MatchedValues(const TTimeField& field, std::string_view text) {
    std::string values;
    for (std::int32_t v = field.Low; v <= field.High; ++v) {
        if (!FieldMatches(v, text))
            continue;
        std::int32_t last = v;
        while (last < field.High && FieldMatches(last + 1, text))
            ++last;
        // Appended piece by piece: GCC 12 at -O3 takes "," + string for an overlapping copy.
        if (!values.empty())
            values += ',';
        values += std::to_string(v);
        if (last > v) {
            values += last == v + 1 ? ',' : '-';
            values += std::to_string(last);
        }
        v = last;
    }
    return values.empty() ? "nothing" : values;
}

} // namespace

std::optional<std::string> LenientReading(TTimeFieldKind kind, std::string_view text) {
    if (!ReadOtherwise(text))
        return std::nullopt;
    return MatchedValues(TimeFieldOf(kind), text);
}

std::vector<TLenientField> LenientFields(const TSchedule& entry) {
    std::vector<TLenientField> fields;
    for (const TTimeField& field : TimeFields) {
        const std::string& text = entry.*field.Text;
        if (std::optional<std::string> readsAs = LenientReading(field.Kind, text))
            fields.push_back({field.Kind, field.Name, text, *readsAs});
    }
    return fields;
}

std::string LenientFieldText(const TLenientField& field) {
    return field.Name + " " + Quoted(field.Text) + " reads as " + Quoted(field.ReadsAs);
}

} // namespace vantle
