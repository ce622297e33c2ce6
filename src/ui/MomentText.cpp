#include "ui/MomentText.h"

#include "engine/DateTimeFormat.h"
#include "platform/FormatSettings.h"
#include "ui/TextBytes.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionViewItem>

#include <algorithm>

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

std::string WeekdayMomentText(TDateTime moment, const TFormatSettings& settings) {
    return FormatDateTime("ddd", moment, settings) + ' ' + MomentText(moment, settings);
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
