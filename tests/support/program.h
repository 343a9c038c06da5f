// Running a real program of the build as a user would: arguments, working folder, environment,
// where its standard output goes; its exit status and both streams as text.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace support {

struct ProgramRun {
    int code;  // -1 when it crashed or did not finish
    QString out;
    QString err;
};

struct ProgramOptions {
    QString folder;           // working folder; empty: the test's
    QStringList environment;  // "NAME=value" added to the environment
    QString stdoutFile;       // a file standard output goes to instead of `out`
    // The environment the additions go to; the test's own when not given.
    QProcessEnvironment base = QProcessEnvironment::systemEnvironment();
};

inline ProgramRun runProgram(const QString& program, const QStringList& args,
                             const ProgramOptions& options = {}) {
    QProcess p;
    if (!options.folder.isEmpty()) p.setWorkingDirectory(options.folder);
    if (!options.stdoutFile.isEmpty()) p.setStandardOutputFile(options.stdoutFile);
    QProcessEnvironment env = options.base;
    for (const QString& pair : options.environment)
        env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(5000);
        return {-1, {}, "did not finish"};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The same with a whole environment of the test's making.
inline ProgramRun runProgram(const QString& program, const QStringList& args,
                             const QProcessEnvironment& environment, const QString& folder = {}) {
    ProgramOptions options;
    options.base = environment;
    options.folder = folder;
    return runProgram(program, args, options);
}

}  // namespace support
