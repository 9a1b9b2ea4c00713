// What a PDF says, through poppler-utils (installed by scripts/setup): its text laid out as on the
// page, and its document information.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace quellix {

// The output of a poppler tool run on `path`, or a text starting with "FAILED:" when it cannot run.
inline QString PopplerOutput(const QString& tool, const QStringList& args) {
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QStringLiteral("FAILED: ") + tool + u' ' + process.errorString() + u' ' +
               QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of every page, each line as pdftotext -layout places it.
inline QString PdfText(const QString& path) {
    return PopplerOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                       QStringLiteral("UTF-8"), path, QStringLiteral("-")});
}

inline QString PdfInfo(const QString& path) {
    return PopplerOutput(QStringLiteral("pdfinfo"), {path});
}

} // namespace quellix
