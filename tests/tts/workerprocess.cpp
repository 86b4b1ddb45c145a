#include "tests/tts/workerprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

WorkerRun runParlona(const QStringList& args, const QByteArray& input, const QString& program) {
    WorkerRun run;
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(10000)) {
        return run;
    }
    process.write(input);
    process.closeWriteChannel();
    run.finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    if (run.finished) {
        run.exitCode = process.exitCode(); // a crash or a hang keeps -1, never a status to pass on
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

WorkerRun runWorker(const QByteArray& input, const QString& program) {
    return runParlona({QStringLiteral("--convert")}, input, program);
}

QByteArray framed(const QByteArray& body) {
    const auto n = static_cast<uint32_t>(body.size());
    QByteArray out;
    for (int i = 0; i < 4; ++i) {
        out.append(static_cast<char>((n >> (8 * i)) & 0xff));
    }
    return out + body;
}

QByteArray requestBody(const std::string& uid, const QByteArray& spkJson, const QByteArray& srateJson,
                       const std::string& wav, const std::vector<std::string>& sentences) {
    QJsonArray list;
    for (const std::string& s : sentences) {
        list.append(QString::fromStdString(s));
    }
    const auto quoted = [](const std::string& s) {
        const QByteArray a =
            QJsonDocument(QJsonArray{QString::fromStdString(s)}).toJson(QJsonDocument::Compact);
        return a.mid(1, a.size() - 2);
    };
    QByteArray body = "{\"voice_uid\":" + quoted(uid);
    if (!spkJson.isEmpty()) {
        body += ",\"voice_spk\":" + spkJson;
    }
    if (!srateJson.isEmpty()) {
        body += ",\"srate\":" + srateJson;
    }
    body += ",\"wav\":" + quoted(wav) +
            ",\"sentences\":" + QJsonDocument(list).toJson(QJsonDocument::Compact) + "}";
    return body;
}
