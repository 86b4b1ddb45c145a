#pragma once
// The player's sound source: a file read through Qt's file layer.

#include "audio/audiofile.h"

#include <QFile>
#include <QString>

class AudioPlayerFile : public AudioFile {
public:
    void setFileName(const QString& path) { file_.setFileName(path); }
    bool open() { return file_.open(QIODevice::ReadOnly); }
    void close() { file_.close(); }
    QString errorString() const { return file_.errorString(); }

    bool eof() override { return file_.atEnd(); }
    int64_t read(unsigned char* dst, int64_t bytes) override;
    int64_t length() override { return file_.size(); }
    bool seek(int64_t offset) override { return file_.seek(offset); }
    int64_t pos() override { return file_.pos(); }

private:
    QFile file_;
};
