#include "ui/MomentText.h"

#include "engine/DateTimeFormat.h"
#include "platform/FormatSettings.h"
#include "platform/TextUtils.h"
#include "ui/TextBytes.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>
#include <vector>

namespace vantle {

std::string MomentText(TDateTime moment, const TFormatSettings& settings, TMomentDetail detail) {
    // Each part formatted on its own: a quote left open in one pattern must not swallow
    // the other.
    return FormatDateTime(settings.ShortDateFormat, moment, settings) + ' ' +
           FormatDateTime(detail == TMomentDetail::Second ? settings.LongTimeFormat
                                                          : settings.ShortTimeFormat,
                          moment, settings);
}

std::string TimeOfDayText(TDateTime moment, const TFormatSettings& settings) {
    return FormatDateTime(settings.ShortTimeFormat, moment, settings);
}

namespace {

// The date pattern without its year: the year goes with the separator before it back to
// the field before ("d/m/yyyy" gives "d/m"), or, coming first, with what follows it up to
// the next field ("yyyy-mm-dd" gives "mm-dd"). Letters in quotes are text, not fields.
std::string WithoutYear(const std::string& pattern) {
    std::vector<bool> field(pattern.size(), false);
    char quote = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (quote != 0)
            quote = c == quote ? 0 : quote;
        else if (c == '\'' || c == '"')
            quote = c;
        else
            field[i] = IsAsciiLetter(c);
    }
    std::size_t start = 0;
    while (start < pattern.size() && !(field[start] && AsciiLower(pattern[start]) == 'y'))
        ++start;
    if (start == pattern.size())
        return pattern;
    std::size_t end = start;
    while (end < pattern.size() && field[end] && AsciiLower(pattern[end]) == 'y')
        ++end;
    std::size_t from = start;
    while (from > 0 && !field[from - 1])
        --from;
    if (from == 0) {
        while (end < pattern.size() && !field[end])
            ++end;
        from = start;
    }
    return pattern.substr(0, from) + pattern.substr(end);
}

} // namespace

std::string WeekdayMomentText(TDateTime moment, const TFormatSettings& settings, bool withYear) {
    if (withYear)
        return FormatDateTime("ddd", moment, settings) + ' ' + MomentText(moment, settings);
    return FormatDateTime("ddd", moment, settings) + ' ' +
           FormatDateTime(WithoutYear(settings.ShortDateFormat), moment, settings) + ' ' +
           TimeOfDayText(moment, settings);
}

int MomentColumnWidth(const QAbstractItemView& view, const TFormatSettings& settings,
                      TMomentDetail detail) {
    // A cell as the view's delegate measures it: its text in the view's font and style.
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();
    option.fontMetrics = QFontMetrics(view.font());
    option.features = QStyleOptionViewItem::HasDisplay;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    // Two-digit days and hours, every month's name where the date has one, a morning and
    // an evening where the clock has twelve hours.
    int widest = 0;
    for (int month = 1; month <= 12; ++month)
        for (int hour : {10, 22}) {
            option.text = TextOfBytes(MomentText(
                EncodeDate(2026, month, 28) + EncodeTime(hour, 58, 58, 0), settings, detail));
            const QSize cell =
                view.style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &view);
            widest = std::max(widest, cell.width());
        }
    return widest + 1; // and a table's grid line
}

} // namespace vantle
