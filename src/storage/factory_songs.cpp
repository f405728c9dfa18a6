#include "storage/factory_songs.h"

#include "model/factory_ids.h"

namespace tollwick {

// The md5 column is that of our own files in assets/ (made by tools/make-signals).
const std::array<FactorySong, 12> FACTORY_SONGS{{
    {"ID_double", "double", "p-double.mp3", 2, "f49bf8e78fa840aa54d6aa51075b521e"},
    {"ID_robot", "robot", "p-robot.mp3", 2, "39809a9a57937bbec7e784e5fd287569"},
    {FACTORY_DEFAULT_SIGNAL_ID_PING, "ping", "p-ping.mp3", 3, "cd532c8a3ebeb1e57d7cb69b6a1b3d32"},
    {"ID_triplet", "triplet", "p-triplet.mp3", 2, "78042ede4bc780c56bbf0b6f4067f761"},
    {"ID_vibraphone", "vibraphone", "p-vibraphone.mp3", 3, "43b28621ebfc01fdf08d6c37b497ab2c"},
    {"ID_cartoon", "cartoon", "s-cartoon.mp3", 11, "7201769763a2ab79ef679bc70017eef4"},
    {"ID_guitar", "guitar", "s-guitar.mp3", 5, "3a1a143919f455c150be663fd3e99353"},
    {FACTORY_DEFAULT_SIGNAL_ID_MELODY, "melody", "s-melody.mp3", 11, "789553c591c82194179c6441a8729177"},
    {"ID_ring", "ring", "s-ring.mp3", 3, "ee28447aa31b27cfa898fefe81601964"},
    {FACTORY_DEFAULT_SIGNAL_ID_ALARM, "alarm", "alarm.mp3", 5, "97d651e161f4d1f7a817ebbbdd0b9d83"},
    {FACTORY_DEFAULT_SIGNAL_ID_INTERCOM, "intercom", "p-intercom.mp3", 2, "533f68aa533db4de558f0439538e63db"},
    {"ID_bigben", "BigBen", "s-bigben.mp3", 7, "dec6730cf40a376063e9b7d0d9f3000b"},
}};

} // namespace tollwick
