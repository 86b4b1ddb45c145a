#pragma once
// What the catalogue tells about one speaker of one voice model; an installed speaker (LocalVoice)
// carries the same record plus where its files are.

#include <QMetaType>

#include <cstdint>
#include <string>

struct ServerVoice {
    int32_t seq = 0;
    std::string uid;
    int32_t spk = 0;
    std::string lang;
    std::string eng;
    std::string native;
    std::string name;
    std::string user_name;
    int32_t sex = 0;
    int32_t quality = 0;
    int32_t downloaded = 0;
    int32_t clicked = 0;
    int32_t fav_amount = 0;
    int32_t fav_persons = 0;
};
Q_DECLARE_METATYPE(ServerVoice)
