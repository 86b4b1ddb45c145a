#pragma once
// The boundary between the interface (Qt strings) and the engine side (UTF-8 byte strings).

#include <QString>
#include <string>

// UTF-8 bytes of s, cut at the first NUL character.
inline std::string q2str(const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    return std::string(utf8.constData());
}

inline QString str2q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
