// SPDX-License-Identifier: GPL-3.0-or-later
#include "Console.h"

#include <cstdlib>

namespace k12 {

Console::Console(std::FILE* out, std::FILE* err, bool terminal, const Clock& clock)
    : out_(out), err_(err), terminal_(terminal), clock_(clock) {}

QString Console::Timestamp(const QDateTime& t) {
    const int offset = t.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

void Console::Line(std::FILE* stream, const QString& text) {
    ClearStatus();
    // A message box's lines, on one line of the log.
    QString line = text.trimmed();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stream, "%s %s\n", Timestamp(clock_.now()).toUtf8().constData(),
                 line.toUtf8().constData());
    std::fflush(stream);
    if (!status_.isEmpty()) {
        std::fprintf(out_, "%s", status_.toUtf8().constData());
        std::fflush(out_);
    }
}

void Console::ClearStatus() {
    if (!status_.isEmpty()) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
    }
}

void Console::Event(const QString& text) {
    Line(out_, text);
}

void Console::Problem(const QString& text) {
    Line(err_, text);
}

void Console::Status(const QString& text) {
    if (!terminal_) {
        Event(text);
        return;
    }
    ClearStatus();
    status_ = text;
    std::fprintf(out_, "%s", status_.toUtf8().constData());
    std::fflush(out_);
}

void Console::EndStatus() {
    if (!status_.isEmpty()) {
        std::fputc('\n', out_);
        std::fflush(out_);
        status_.clear();
    }
}

MsgAnswer ConsoleMessages::show(const QString& text, const QString&, MsgButtons buttons, MsgIcon) {
    console_.Problem(text);
    // Nobody is there to answer: a question gets the answer that changes nothing.
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

void ConsoleMessages::notify(const QString& text, const QString&, MsgIcon) {
    console_.Problem(text);
}

} // namespace k12
