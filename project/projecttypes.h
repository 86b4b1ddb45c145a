#pragma once
// One row of the project's segment table and one row of its voice table.

#include <QMetaType>

#include <cstdint>
#include <string>

struct ProjectSeg {
    int id = 0;
    int voice_id = 0;
    float srate = 0;
    std::string text;
    int64_t modified = 0;
    int64_t converted = 0;
    double seconds = 0;
    int sentences = 0;
};
Q_DECLARE_METATYPE(ProjectSeg)

struct ProjectVoice {
    int id = 0;
    std::string uid;
    int spk = 0;
    std::string name;
    std::string color;
    std::string lang;
    std::string eng;
    std::string native;
    int quality = 0;
    int sex = 0;
    float srate = 0;
};
