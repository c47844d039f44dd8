// Runs a program to its end and collects its exit status and output.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

struct ProgramResult {
    int status = -1; // -1: did not start, crashed or ran past the limit
    QString out;     // standard output, with standard error after it
};

inline ProgramResult runProgram(const QString& program, const QStringList& args,
                                int limitMs = 240000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool finished = p.waitForFinished(limitMs);
    if (!finished) {
        p.kill();
        p.waitForFinished();
    }
    return {finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput())};
}
