#include "preview/preview_text.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include "preview/preview_rules.h"

namespace tw::ui {

QString LongTimeText(int64_t milliseconds) {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    // A span read off a 12-hour clock would say "12:00:04 AM" for four seconds: the hours count
    // from 0, and the time zone goes too.
    format.remove(QRegularExpression(QStringLiteral("\\s*\\b(t+|[aA][pP]?)\\b\\s*")));
    format.replace(QLatin1Char('h'), QLatin1Char('H'));
    const QTime time = QTime(0, 0).addMSecs(static_cast<int>(milliseconds % (24 * 3600 * 1000)));
    return QLocale::system().toString(time, format.trimmed());
}

QString StatusLineText(int64_t positionMs, int64_t durationMs, bool soundMissing) {
    QString text = QStringLiteral("Position: %1 Duration: %2")
                       .arg(LongTimeText(positionMs), LongTimeText(durationMs));
    if (soundMissing) {
        text += QStringLiteral("  (no sound device: playing without sound)");
    }
    return text;
}

QIcon PlayIcon(preview::GraphState state) {
    return preview::PlayShowsPause(state)
               ? QIcon::fromTheme(QStringLiteral("media-playback-pause"),
                                  QIcon(QStringLiteral(":/preview/pause.svg")))
               : QIcon::fromTheme(QStringLiteral("media-playback-start"),
                                  QIcon(QStringLiteral(":/preview/play.svg")));
}

}  // namespace tw::ui
