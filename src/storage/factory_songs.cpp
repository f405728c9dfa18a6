#include "storage/factory_songs.h"

#include "model/factory_ids.h"

namespace tollwick {

// The md5 column is that of our own files in assets/ (made by tools/make-signals).
const std::array<FactorySong, 12> FACTORY_SONGS{{
    {"ID_double", "double", "p-double.mp3", 2, "91945f57b3ab52e78e475f4fb5f2b80c"},
    {"ID_robot", "robot", "p-robot.mp3", 2, "f7b3505e88db3302b379a42b67fd01da"},
    {FACTORY_DEFAULT_SIGNAL_ID_PING, "ping", "p-ping.mp3", 3, "1dee8883b85e90324d37c961cb36ad59"},
    {"ID_triplet", "triplet", "p-triplet.mp3", 2, "67c6a8d37a64f6aa26cd1880901d8b14"},
    {"ID_vibraphone", "vibraphone", "p-vibraphone.mp3", 3, "b51f204ef372620652b2ce3382f25cfb"},
    {"ID_cartoon", "cartoon", "s-cartoon.mp3", 11, "9f5738324f172e48240837b90f68a8a5"},
    {"ID_guitar", "guitar", "s-guitar.mp3", 5, "aad56bdcc92a142af30ff81af8fdd902"},
    {FACTORY_DEFAULT_SIGNAL_ID_MELODY, "melody", "s-melody.mp3", 11, "f36f23527bcda212d390198d8ce919d4"},
    {"ID_ring", "ring", "s-ring.mp3", 3, "59a7a8cac6967e5fcd58d1783a89a466"},
    {FACTORY_DEFAULT_SIGNAL_ID_ALARM, "alarm", "alarm.mp3", 5, "a2ce319af77ed6716eab684284604dd9"},
    {FACTORY_DEFAULT_SIGNAL_ID_INTERCOM, "intercom", "p-intercom.mp3", 2, "db79aba039c1b0e17fb2475c48d38d1a"},
    {"ID_bigben", "BigBen", "s-bigben.mp3", 7, "c19bd2e0ff7c8e4b65ec97f45c35b1b7"},
}};

} // namespace tollwick
