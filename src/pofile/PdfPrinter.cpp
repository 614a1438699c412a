#include "pofile/PdfPrinter.h"

#include "platform/LibreOfficeLocation.h"
#include "platform/ProcessTree.h"
#include "platform/ReplacingFile.h"
#include "util/FailureCodes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <optional>

namespace tolvar {

namespace {

struct Outcome {
    FailureCode code;
    QString detail;  // what LibreOffice or the file system said, when it says something useful
};

PdfPrinter::Result resultOf(const QString& workbook, const std::optional<Outcome>& failure)
{
    PdfPrinter::Result r{workbook, PdfPrinter::pdfPathFor(workbook), 0, {}};
    if (failure) {
        r.number = toNumber(failure->code);
        r.error = failureText(failure->code);
        if (!failure->detail.isEmpty())
            r.error += QStringLiteral(" (%1)").arg(failure->detail);
    }
    return r;
}

std::vector<PdfPrinter::Result> resultsFor(const std::vector<PdfPrinter::Job>& jobs, const Outcome& failure)
{
    std::vector<PdfPrinter::Result> results;
    for (const PdfPrinter::Job& job : jobs)
        results.push_back(resultOf(job.workbook, failure));
    return results;
}

// A PDF that LibreOffice finished in its private folder, put in place beside the workbook.
std::optional<Outcome> moveIntoPlace(const QString& made, const QString& target)
{
    QFile in(made);
    if (!in.open(QIODevice::ReadOnly))
        return Outcome{FailureCode::PdfPrinterFailed, {}};
    const QByteArray bytes = in.readAll();
    if (!bytes.startsWith("%PDF"))
        return Outcome{FailureCode::PdfPrinterFailed, QStringLiteral("not a PDF")};
    ReplacingFile out(target);
    if (!out.write(bytes.constData(), bytes.size()) || !out.commit())
        return Outcome{FailureCode::PdfWriteFailed, out.errorString()};
    return std::nullopt;
}

}  // namespace

QString PdfPrinter::pdfPathFor(const QString& workbook)
{
    const QFileInfo info(workbook);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
}

std::vector<PdfPrinter::Result> PdfPrinter::print(const std::vector<Job>& jobs, const Progress& progress) const
{
    if (jobs.empty())
        return {};
    const QString soffice = findSoffice();
    if (soffice.isEmpty())
        return resultsFor(jobs, {FailureCode::PdfPrinterMissing, {}});
    QTemporaryDir work;
    if (!work.isValid())
        return resultsFor(jobs, {FailureCode::PdfWriteFailed, work.errorString()});
    const QString out = QDir(work.path()).filePath(QStringLiteral("pdf"));

    // A profile of its own: a LibreOffice the user has open keeps its own, and this one starts clean.
    QStringList arguments = {QStringLiteral("-env:UserInstallation=") +
                                 QUrl::fromLocalFile(QDir(work.path()).filePath(QStringLiteral("profile"))).toString(),
                             QStringLiteral("--headless"),
                             QStringLiteral("--norestore"),
                             QStringLiteral("--nolockcheck"),
                             QStringLiteral("--convert-to"),
                             QStringLiteral("pdf"),
                             QStringLiteral("--outdir"),
                             out};
    // The private copies, by their absolute paths: nothing of the save folder reaches LibreOffice.
    for (const Job& job : jobs)
        arguments << QFileInfo(job.copy).absoluteFilePath();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // LibreOffice runs as a launcher and a child: both go when it is stopped.
    ProcessTree tree(process);
    process.start(soffice, arguments);
    if (!process.waitForStarted(10000))
        return resultsFor(jobs, {FailureCode::PdfPrinterFailed, process.errorString()});
    tree.started();

    // LibreOffice names each workbook on a line of its own as it takes it up: the ones before are done.
    const auto total = static_cast<int>(jobs.size());
    int started = 0;
    QByteArray output;
    std::optional<Outcome> failure;
    // The time-out runs from the start and again from each workbook taken up: a batch of any size
    // has it for every PDF, and a LibreOffice that stops getting on is given up.
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(50)) {
        output += process.readAll();
        for (qsizetype end = output.indexOf('\n'); end >= 0; end = output.indexOf('\n')) {
            if (output.startsWith("convert ")) {
                ++started;
                clock.restart();
            }
            output.remove(0, end + 1);
        }
        if (progress && !progress(std::max(0, started - 1), total)) {
            failure = Outcome{FailureCode::PdfCancelled, {}};
            break;
        }
        if (clock.elapsed() > qint64{timeoutSeconds_} * 1000) {
            failure = Outcome{FailureCode::PdfTimedOut, QStringLiteral("%1 s").arg(timeoutSeconds_)};
            break;
        }
    }
    int done = total;
    if (failure) {
        done = std::max(0, started - 1);
        tree.end();
        process.waitForFinished(5000);
    } else if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        failure = Outcome{FailureCode::PdfPrinterFailed, QStringLiteral("status %1").arg(process.exitCode())};
    }

    std::vector<Result> results;
    for (int i = 0; i < total; ++i) {
        const Job& job = jobs[static_cast<std::size_t>(i)];
        const QString made = QDir(out).filePath(QFileInfo(job.copy).completeBaseName() + QStringLiteral(".pdf"));
        if (i < done && QFileInfo::exists(made))
            results.push_back(resultOf(job.workbook, moveIntoPlace(made, pdfPathFor(job.workbook))));
        else
            results.push_back(resultOf(job.workbook, failure ? *failure : Outcome{FailureCode::PdfPrinterFailed, {}}));
    }
    return results;
}

}  // namespace tolvar
