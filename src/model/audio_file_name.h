#pragma once
// The names this system gives the sound files of its songs. Only such a name is ever written by a
// restore or served as a song's file: every other name in the user-data directory belongs to the
// system itself (the documents, the password store, the quiet periods, the play log, temporary
// files), and a database that names one of those for a song was not made by this system.
#include <string_view>

namespace tollwick {

// Announcements played at once are downloaded into user files named with this prefix, a new UUID
// and ".mp3", one per announcement, and deleted once played (and at start-up): never a song's file.
inline constexpr const char* ANNOUNCEMENT_FILE_PREFIX = "announcement-";

// The extensions, in lower case, under which uploads are accepted and stored.
bool isUploadExtension(std::string_view extension) noexcept;

// Whether `name` is a file name this system gives a song's sound: "<uuid>.<upload extension>" for
// an upload (the UUID in its lower-case 36-character form), "<id>.mp3" for a built-in signal or a
// programmed announcement (the id of letters, digits, "-" and "_", at most 128 of them, neither an
// announcement played at once nor a name that Windows keeps for a device, such as "NUL").
bool isAudioFileName(std::string_view name) noexcept;

} // namespace tollwick
