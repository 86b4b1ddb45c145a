set(VOICES_STORE_SOURCES localvoices.cpp localvoices.h voicerecord.h)
set(VOICES_STORE_LIBS Qt5::Core)
