#pragma once
// The product's fixed identity, shown in the interface and on the command line.

constexpr const char* PROD_NAME = "Parlona Text to Speech Converter for Mac";
constexpr const char* PROD_VER = "3.1.2";
constexpr int PROD_VERID = 2;
constexpr const char* PROD_UID = "parlona_text2speech_mac";
constexpr const char* RUN_GUARD_KEY = "parlona_text2speech";
