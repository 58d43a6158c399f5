// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace k12::test {

// A program the build put in K12_BIN_DIR.
inline QString ToolPath(const QString& name) {
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("K12_BIN_DIR")) +
           QLatin1Char('/') + name;
}

struct ToolResult {
    int exitCode = -1; // -1 when the program crashed or had to be killed
    QString out;
    QString err;
};

// Runs a program to its end (killed after timeoutMs), with extra environment variables.
inline ToolResult RunTool(const QString& program, const QStringList& args,
                          const QProcessEnvironment& extra = {}, int timeoutMs = 15000) {
    QProcess p;
    if (!extra.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(extra);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace k12::test
