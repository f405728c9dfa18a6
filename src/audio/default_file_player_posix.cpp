#include "audio/file_player.h"
#include "audio/linux_file_player.h"

namespace tollwick {

FilePlayerFactory defaultFilePlayerFactory() {
    return [] { return std::make_unique<LinuxFilePlayer>(); };
}

} // namespace tollwick
