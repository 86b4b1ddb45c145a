#pragma once
// Runs the real `parlona` executable (the worker with `--convert`) with given standard-input bytes.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

struct WorkerRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

WorkerRun runParlona(const QStringList& args, const QByteArray& input = QByteArray(),
                     const QString& program = QStringLiteral(PARLONA_EXECUTABLE));
WorkerRun runWorker(const QByteArray& input, const QString& program = QStringLiteral(PARLONA_EXECUTABLE));

// A request as the client writes it: 4-byte little-endian length, then the JSON body.
QByteArray framed(const QByteArray& body);
QByteArray requestBody(const std::string& uid, const QByteArray& spkJson, const QByteArray& srateJson,
                       const std::string& wav, const std::vector<std::string>& sentences);
