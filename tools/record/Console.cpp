// SPDX-License-Identifier: GPL-3.0-or-later
#include "Console.h"

#include <cstdlib>
#include <sys/ioctl.h>
#include <unistd.h>

namespace k12 {

namespace {

// The line cut to fit `columns` columns of a terminal (East Asian characters take two), so that a
// rewrite in place never wraps.
QString FitTo(const QString& line, int columns) {
    int used = 0;
    for (qsizetype k = 0; k < line.size(); ++k) {
        used += line[k].unicode() >= 0x1100 ? 2 : 1;
        if (used > columns) {
            return line.left(k);
        }
    }
    return line;
}

} // namespace

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
    winsize size{};
    const bool known = ::ioctl(::fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1;
    status_ = known ? FitTo(text, size.ws_col - 1) : text;
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
